// The older methods' decoders against the writers of old_lha.h, on whole and
// damaged streams, and the headers of levels and makers the DLL test does
// not reach: a level-3 word size we do not know, level-2 sizes off by other
// than OS-9's 2 bytes, and which empty stored entries are folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder.h"
#include "header.h"
#include "old_lha.h"

namespace {

using oldlha::Bytes;

std::string decode(const std::string& method, const Bytes& packed, uint64_t original, bool* failed) {
  lha::MemorySource src(packed.data(), packed.size());
  auto dec = lha::make_decoder(method, src, original);
  EXPECT_TRUE(dec) << method;
  if (!dec) return {};
  std::string out;
  uint8_t buf[777];
  while (size_t n = dec->read(buf, sizeof buf)) out.append(reinterpret_cast<char*>(buf), n);
  *failed = dec->failed();
  return out;
}

std::vector<std::pair<std::string, std::string>> inputs() {
  std::string blanks, pattern, big, random;
  for (int i = 0; i < 200; ++i) blanks += std::string(i % 19, ' ') + "row " + std::to_string(i % 7) + "\n";
  for (int v = 0; v < 256; ++v) pattern += std::string(13, static_cast<char>(v));
  for (int v = 0; v < 256; ++v) pattern += static_cast<char>(v);
  for (int v = 255; v >= 0; --v) pattern += static_cast<char>(v);
  pattern += std::string(128, '\0');
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  // Enough symbols for the -lh1- code to halve its counts several times.
  while (big.size() < 200000) big += "word" + std::to_string(next() % 50) + ' ';
  for (int i = 0; i < 50000; ++i) random += static_cast<char>(next());
  return {{"empty", ""}, {"one byte", "z"}, {"blank runs", blanks}, {"ring pattern", pattern},
          {"long text", big}, {"random", random}};
}

const char* const kMethods[] = {"-lh1-", "-lzs-", "-lz5-"};

TEST(OldMethods, DecodeWhatTheWritersMake) {
  for (const char* m : kMethods)
    for (auto& [label, data] : inputs()) {
      Bytes packed = oldlha::encode(m, data);
      bool failed = true;
      std::string got = decode(m, packed, data.size(), &failed);
      EXPECT_FALSE(failed) << m << " " << label;
      EXPECT_TRUE(got == data) << m << " " << label << ": " << got.size() << " of " << data.size() << " bytes";
      ASSERT_TRUE(lha::is_supported(m));
    }
}

TEST(OldMethods, CutAndJunkStreamsStop) {
  std::string text = inputs()[4].second;
  for (const char* m : kMethods) {
    Bytes packed = oldlha::encode(m, text);
    Bytes half(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
    bool failed = false;
    std::string got = decode(m, half, text.size(), &failed);
    EXPECT_TRUE(failed) << m << ": a cut stream read as whole";
    EXPECT_LT(got.size(), text.size()) << m;
    // A short stream declaring gigabytes ends soon after its bytes do.
    Bytes junk(64, 0xA5);
    got = decode(m, junk, 3u << 30, &failed);
    EXPECT_TRUE(failed) << m;
    EXPECT_LT(got.size(), 100000u) << m;
  }
}

struct HeaderCase {
  const char* label;
  Bytes bytes;
  lha::HeaderStatus status;
  std::string path;
  bool dir;
  uint32_t attr;
};

Bytes level1(const std::string& name, const std::string& data, uint8_t attr, uint8_t os) {
  return oldlha::entry_level01({"-lh0-", name, data, attr, os}, 1);
}

TEST(OldHeaders, LevelsAndMakers) {
  oldlha::Item l3{"-lh1-", "a/b/c.txt", "level three", 0x20, 'U'};
  Bytes wideWord = oldlha::entry_level23(l3, 3, true);
  wideWord[0] = 8;
  oldlha::Item os9{"-lh0-", "os9/x.txt", "nine", 0x20, '9'};
  Bytes short2 = oldlha::entry_level23(os9, 2, true, true);
  Bytes short3 = short2, short1 = short2;
  short3[0] -= 1;  // 3 short
  short1[0] += 1;  // 1 short
  Bytes shortNoCrc = oldlha::entry_level23(os9, 2, false, true);
  HeaderCase cases[] = {
      {"level 3", oldlha::entry_level23(l3, 3, true), lha::HeaderStatus::Ok, "a/b/c.txt", false, 0x20},
      {"level 3 of word size 8", wideWord, lha::HeaderStatus::Broken, "", false, 0},
      {"OS-9 size 2 short, header CRC", short2, lha::HeaderStatus::Ok, "os9/x.txt", false, 0x20},
      {"OS-9 size 2 short, no CRC", shortNoCrc, lha::HeaderStatus::Ok, "os9/x.txt", false, 0x20},
      {"size 3 short", short3, lha::HeaderStatus::Broken, "", false, 0},
      {"size 1 short", short1, lha::HeaderStatus::Broken, "", false, 0},
      {"Amiga folder", level1("d/", "", 0x00, 'A'), lha::HeaderStatus::Ok, "d", true, 0x30},
      {"Amiga empty file, archived bit", level1("e.txt", "", 0x10, 'A'), lha::HeaderStatus::Ok, "e.txt", false, 0x20},
      {"Amiga protection bits", level1("f.txt", "f", 0x06, 'A'), lha::HeaderStatus::Ok, "f.txt", false, 0x20},
      {"MS-DOS empty entry with the folder bit", level1("g", "", 0x10, 'M'), lha::HeaderStatus::Ok, "g", true, 0x10},
      {"MS-DOS empty file", level1("h", "", 0x20, 'M'), lha::HeaderStatus::Ok, "h", false, 0x20},
      {"leading ./", level1("./s/t.txt", "t", 0x20, 'U'), lha::HeaderStatus::Ok, "s/t.txt", false, 0x20},
      {"the base folder", level1("./", "", 0x20, 'U'), lha::HeaderStatus::Ok, ".", true, 0x30},
      {"dots inside a name", level1("a.b/./.c", "c", 0x20, 'U'), lha::HeaderStatus::Ok, "a.b/.c", false, 0x20},
  };
  for (auto& c : cases) {
    lha::Entry e;
    std::string why;
    lha::HeaderStatus st = lha::parse_header(c.bytes.data(), c.bytes.size(), e, why);
    EXPECT_EQ(static_cast<int>(st), static_cast<int>(c.status)) << c.label << ": " << why;
    if (st != lha::HeaderStatus::Ok || c.status != lha::HeaderStatus::Ok) continue;
    EXPECT_EQ(e.path, c.path) << c.label;
    EXPECT_EQ(e.dir, c.dir) << c.label;
    EXPECT_EQ(e.attr, c.attr) << c.label;
    // The data starts right after the header's real bytes.
    EXPECT_EQ(e.headerSize + e.packed, c.bytes.size()) << c.label;
  }
}

}  // namespace
