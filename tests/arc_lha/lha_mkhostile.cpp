// Writes the archives of the safety test into a folder: names that climb
// out, absolute and drive names, links, devices, cut and damaged streams,
// a wrong CRC, a huge declared size and a header of endless extensions.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive.h"
#include "crc16.h"
#include "encoder.h"

using Bytes = std::vector<uint8_t>;

static void put(Bytes& out, const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); }

static Bytes stored(const std::string& path, const std::string& body, bool dir = false) {
  lha::Entry e;
  e.path = path;
  e.method = dir ? "-lhd-" : "-lh0-";
  e.dir = dir;
  e.packed = e.original = dir ? 0 : body.size();
  e.crc = lha::crc16(0, body.data(), body.size());
  e.unixTime = 1600000000;
  Bytes h = lha::build_header(e);
  if (!dir) h.insert(h.end(), body.begin(), body.end());
  return h;
}

namespace {
class Sink : public lha::ByteSink {
 public:
  Bytes v;
  bool put(const uint8_t* p, size_t n) override {
    v.insert(v.end(), p, p + n);
    return true;
  }
};
}  // namespace

static Bytes packed(const std::string& path, const std::string& body, uint64_t declared, uint16_t crc) {
  Sink s;
  auto enc = lha::make_lzh_encoder(13, s);
  enc->write(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  enc->finish();
  lha::Entry e;
  e.path = path;
  e.method = "-lh5-";
  e.packed = s.v.size();
  e.original = declared;
  e.crc = crc;
  e.unixTime = 1600000000;
  Bytes h = lha::build_header(e);
  put(h, s.v);
  return h;
}

// A level-0 header written byte by byte, with a name as given.
static Bytes level0(const std::string& name, const std::string& body) {
  Bytes h(22, 0);
  std::memcpy(h.data() + 2, "-lh0-", 5);
  auto le32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  le32(7, static_cast<uint32_t>(body.size()));
  le32(11, static_cast<uint32_t>(body.size()));
  le32(15, 0x51210000);
  h[19] = 0x20;
  h[20] = 0;
  h[21] = static_cast<uint8_t>(name.size());
  h.insert(h.end(), name.begin(), name.end());
  uint16_t crc = lha::crc16(0, body.data(), body.size());
  h.push_back(static_cast<uint8_t>(crc));
  h.push_back(static_cast<uint8_t>(crc >> 8));
  h[0] = static_cast<uint8_t>(h.size() - 2);
  uint8_t sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
  h[1] = sum;
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

static void save(const std::string& dir, const std::string& name, Bytes b, bool endMark = true) {
  if (endMark) b.push_back(0);
  std::string path = dir + "\\" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string dir = argv[1];
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "row " + std::to_string(i) + " of a text that packs well\r\n";
  uint16_t textCrc = lha::crc16(0, text.data(), text.size());
  Bytes good = stored("good.txt", "hello\r\n");

  Bytes a = good;
  put(a, stored("../evil1.txt", "x"));
  put(a, stored("sub/../../evil1b.txt", "x"));
  save(dir, "dotdot.lzh", a);
  a = good;
  put(a, stored("/evil2.txt", "x"));
  save(dir, "absolute.lzh", a);
  a = good;
  put(a, stored("C:/evil3.txt", "x"));
  save(dir, "drive.lzh", a);
  a = good;
  put(a, level0("..\\evil4.txt", "x"));
  save(dir, "level0.lzh", a);
  a = good;
  put(a, stored("lnk|..", "", true));
  put(a, stored("lnk/evil5.txt", "x"));
  save(dir, "link.lzh", a);
  a = good;
  put(a, stored("CON", "x"));
  put(a, stored("sub/NUL.txt", "x"));
  save(dir, "device.lzh", a);
  a = good;
  Bytes whole = packed("cut.txt", text, text.size(), textCrc);
  put(a, Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
  save(dir, "truncated.lzh", a, false);
  a = good;
  put(a, Bytes(whole.begin(), whole.begin() + 20));
  save(dir, "headercut.lzh", a, false);
  a = good;
  put(a, packed("badcrc.txt", text, text.size(), static_cast<uint16_t>(textCrc ^ 0x1234)));
  save(dir, "badcrc.lzh", a);
  a = good;
  put(a, packed("huge.txt", "tiny", 0xFFFFFFF0u, 0));
  save(dir, "huge.lzh", a);
  // A level-2 header of thousands of empty extended headers.
  Bytes loop = stored("loop.txt", "");
  {
    Bytes h(26, 0);
    std::memcpy(h.data(), loop.data(), 24);
    h[24] = 3;
    h[25] = 0;
    for (int i = 0; i < 6000; ++i) {
      h.push_back(0x7F);
      h.push_back(i + 1 < 6000 ? 3 : 0);
      h.push_back(0);
    }
    h[0] = static_cast<uint8_t>(h.size());
    h[1] = static_cast<uint8_t>(h.size() >> 8);
    a = good;
    put(a, h);
    save(dir, "loop.lzh", a);
  }
  // Garbage that only looks like a header at the front.
  a = good;
  Bytes junk(300, 0x41);
  junk[0] = 100;
  std::memcpy(junk.data() + 2, "-lh5-", 5);
  put(a, junk);
  save(dir, "junk.lzh", a, false);
  return 0;
}
