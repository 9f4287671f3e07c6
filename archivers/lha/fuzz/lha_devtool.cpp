// Native helper for the fuzz runs and quick cross-checks on Linux:
//   lha_devtool seeds DIR                  small archives of every method
//   lha_devtool pack LEVEL ARCHIVE FILE... pack files (names as given)
//   lha_devtool test ARCHIVE               decode every entry, check CRCs
//   lha_devtool list ARCHIVE
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive.h"
#include "crc16.h"

static int pack(int level, const std::string& out, const std::vector<std::string>& files) {
  lha::Writer w;
  if (!w.open(out)) return 1;
  for (auto& f : files) {
    lha::Entry e;
    e.path = f;
    e.unixTime = fsio::mtime(f);
    e.attr = 0x20;
    std::string why;
    if (!w.add_file(f, e, level, why)) {
      std::fprintf(stderr, "%s: %s\n", f.c_str(), why.c_str());
      return 1;
    }
  }
  return w.finish() ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string op = argv[1];
  if (op == "pack" && argc >= 5) {
    return pack(std::atoi(argv[2]), argv[3], std::vector<std::string>(argv + 4, argv + argc));
  }
  if (op == "seeds") {
    std::string dir = argv[2];
    fsio::make_dirs(dir);
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i * 7 % 13) + " of the seed text\n";
    std::string src = dir + "/seed.txt";
    fsio::write_all(src, text.data(), text.size());
    int levels[] = {0, 5, 6, 7};
    for (int l : levels)
      if (pack(l, dir + "/seed" + std::to_string(l) + ".lzh", {src})) return 1;
    // Bare streams for the decoder target: method index, size / 37, stream.
    for (int l : {5, 6, 7}) {
      lha::Archive a;
      if (lha::open_archive(dir + "/seed" + std::to_string(l) + ".lzh", a) != lha::OpenResult::Ok || a.entries.empty())
        return 1;
      const lha::Entry& e = a.entries[0];
      std::vector<uint8_t> raw(3 + e.packed);
      raw[0] = static_cast<uint8_t>(l - 3);
      raw[1] = static_cast<uint8_t>((e.original / 37 + 1) >> 8);
      raw[2] = static_cast<uint8_t>(e.original / 37 + 1);
      a.file->seek(static_cast<int64_t>(e.data_offset()));
      a.file->read_exact(raw.data() + 3, static_cast<int64_t>(e.packed));
      fsio::write_all(dir + "/stream" + std::to_string(l), raw.data(), raw.size());
      // The same bytes as a stream of each older method (index 5 to 7).
      raw[0] = static_cast<uint8_t>(l);
      fsio::write_all(dir + "/old" + std::to_string(l), raw.data(), raw.size());
    }
    // A level-3 header (32-bit sizes) of a stored entry, for the header target.
    {
      const std::string name = "seed3.txt", body = "abc";
      std::vector<uint8_t> h(32, 0);
      auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
      };
      h[0] = 4;
      std::memcpy(h.data() + 2, "-lh0-", 5);
      put32(7, 3);
      put32(11, 3);
      put32(15, 1600000000);
      h[19] = 0x20;
      h[20] = 3;
      uint16_t crc = lha::crc16(0, body.data(), body.size());
      h[21] = static_cast<uint8_t>(crc);
      h[22] = static_cast<uint8_t>(crc >> 8);
      h[23] = 'U';
      put32(28, static_cast<uint32_t>(1 + name.size() + 4));
      h.push_back(0x01);
      h.insert(h.end(), name.begin(), name.end());
      h.resize(h.size() + 4);
      put32(24, static_cast<uint32_t>(h.size()));
      h.insert(h.end(), body.begin(), body.end());
      h.push_back(0);
      fsio::write_all(dir + "/level3.lzh", h.data(), h.size());
    }
    fsio::remove_file(src);
    return 0;
  }
  lha::Archive a;
  if (lha::open_archive(argv[2], a) != lha::OpenResult::Ok) {
    std::fprintf(stderr, "not an archive\n");
    return 1;
  }
  int bad = 0;
  for (auto& e : a.entries) {
    if (op == "list") {
      std::printf("%s\t%s\t%llu\t%llu\t%04x\n", e.method.c_str(), e.path.c_str(), (unsigned long long)e.original,
                  (unsigned long long)e.packed, e.crc);
      continue;
    }
    auto r = lha::decode_entry(*a.file, e, [](const uint8_t*, size_t) { return true; });
    if (r != lha::DecodeResult::Ok) {
      std::printf("%s: %s\n", e.path.c_str(), lha::describe(r));
      ++bad;
    }
  }
  if (a.damaged) std::printf("damaged: %s\n", a.why.c_str());
  return bad || a.damaged ? 1 : 0;
}
