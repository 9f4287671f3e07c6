// LZX decoding on streams put together bit by bit from the format, for the
// paths our own encoder never takes (aligned-offset blocks, repeat offsets,
// call translation), and our encoder's frames read back.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codecs.h"

namespace {

// MSB-first bits into 16-bit little-endian words, as LZX stores them.
struct Bits {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int n = 0;
  void put(uint32_t v, int k) {
    for (int i = k - 1; i >= 0; --i) {
      acc = (acc << 1) | ((v >> i) & 1);
      if (++n == 16) {
        out.push_back(static_cast<uint8_t>(acc));
        out.push_back(static_cast<uint8_t>(acc >> 8));
        acc = 0;
        n = 0;
      }
    }
  }
  void align() {
    if (n) put(0, 16 - n);
  }
};

// Tree lengths through a pretree in which symbols 0..15 have 4-bit codes
// (the code of z is z); each length goes as (previous - new) mod 17.
void lengths(Bits& b, const std::vector<int>& lens) {
  for (int i = 0; i < 20; ++i) b.put(i < 16 ? 4 : 0, 4);
  for (int l : lens) b.put((17 - l) % 17, 4);
}

std::string decode(int window, const std::vector<uint8_t>& in, size_t outLen) {
  cab::LzxDecoder d(window);
  std::string out(outLen, '\0');
  if (!d.decode(in.data(), in.size(), reinterpret_cast<uint8_t*>(out.data()), outLen)) return "<error>";
  return out;
}

TEST(LzxDecoder, AlignedBlockWithRepeatOffset) {
  // Window 2^16: 32 position slots, 512 main symbols. Codes: 'A' 00, 'B' 01,
  // 'C' 10 (length 2); 257 = slot 0 (repeat R0), length 3: 110; 324 = slot 8
  // (3 extra bits, all aligned), length 6: 111. Aligned tree: 3 bits each.
  Bits b;
  b.put(0, 1);   // no call translation
  b.put(2, 3);   // aligned-offset block
  b.put(24, 24); // 24 bytes
  for (int i = 0; i < 8; ++i) b.put(3, 3);
  std::vector<int> main(512, 0);
  main['A'] = main['B'] = main['C'] = 2;
  main[257] = main[324] = 3;
  lengths(b, std::vector<int>(main.begin(), main.begin() + 256));
  lengths(b, std::vector<int>(main.begin() + 256, main.end()));
  lengths(b, std::vector<int>(249, 0));
  for (int i = 0; i < 5; ++i) {
    b.put(0, 2);
    b.put(1, 2);
    b.put(2, 2);
  }
  b.put(7, 3);  // match 324: length 6, slot 8: formatted offset 16 + aligned 1 = 17, offset 15
  b.put(1, 3);
  b.put(6, 3);  // match 257: R0 (15) again, length 3
  b.align();
  std::string want;
  for (int i = 0; i < 8; ++i) want += "ABC";
  EXPECT_EQ(decode(16, b.out, 24), want);
}

TEST(LzxDecoder, UncompressedBlockUndoesCallTranslation) {
  // Translation size 0x10000. An 0xE8 at 5 with absolute 0x100 becomes
  // 0x100 - 5; one at 20 with absolute -16 becomes -16 + 0x10000.
  std::vector<uint8_t> raw(40, 0x90);
  auto put32 = [&](size_t at, uint32_t v) {
    raw[at] = 0xE8;
    for (int k = 0; k < 4; ++k) raw[at + 1 + k] = static_cast<uint8_t>(v >> (8 * k));
  };
  put32(5, 0x100);
  put32(20, 0xFFFFFFF0u);
  Bits b;
  b.put(1, 1);
  b.put(0x0001, 16);
  b.put(0x0000, 16);
  b.put(3, 3);
  b.put(40, 24);
  b.align();  // 60 bits so far, padded to 64
  for (int r = 0; r < 3; ++r) b.put(0x0100, 16), b.put(0, 16);  // R0..R2 = 1
  std::vector<uint8_t> in = b.out;
  in.insert(in.end(), raw.begin(), raw.end());
  std::string out = decode(15, in, 40);
  ASSERT_EQ(out.size(), 40u);
  std::vector<uint8_t> want = raw;
  auto set32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) want[at + 1 + k] = static_cast<uint8_t>(v >> (8 * k));
  };
  set32(5, 0x100 - 5);
  set32(20, 0x10000 - 16);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), want);
}

TEST(LzxDecoder, RefusesDamage) {
  struct Case {
    const char* what;
    std::vector<uint8_t> in;
  } cases[] = {
      {"empty", {}},
      {"block type 0", {0x00, 0x00, 0x00, 0x00}},
      {"all ones", std::vector<uint8_t>(64, 0xFF)},
  };
  for (auto& c : cases) EXPECT_EQ(decode(15, c.in, 32768), "<error>") << c.what;
  // A match before the start of the data.
  Bits b;
  b.put(0, 1);
  b.put(1, 3);
  b.put(2, 24);
  std::vector<int> main(256 + 8 * 30, 0);
  main['A'] = 1;
  main[256 + 3 * 8] = 1;  // slot 3: offset 1, length 2
  lengths(b, std::vector<int>(main.begin(), main.begin() + 256));
  lengths(b, std::vector<int>(main.begin() + 256, main.end()));
  lengths(b, std::vector<int>(249, 0));
  b.put(1, 1);  // the match first: nothing to copy from
  b.align();
  EXPECT_EQ(decode(15, b.out, 2), "<error>");
  EXPECT_EQ(decode(22, b.out, 2), "<error>");
}

TEST(LzxCodec, EncoderFramesReadBack) {
  std::mt19937 rng(7);
  std::string text;
  while (text.size() < 200000) text += "frame " + std::to_string(rng() % 500) + " text, ";
  std::vector<uint8_t> noise(70000);
  for (auto& c : noise) c = static_cast<uint8_t>(rng());
  for (int w : {15, 17, 21}) {
    for (const auto* data : {reinterpret_cast<const std::vector<uint8_t>*>(&noise), static_cast<const std::vector<uint8_t>*>(nullptr)}) {
      std::vector<uint8_t> src = data ? *data : std::vector<uint8_t>(text.begin(), text.end());
      cab::LzxEncoder e(w);
      cab::LzxDecoder d(w);
      for (size_t at = 0; at < src.size(); at += 32768) {
        size_t n = std::min<size_t>(32768, src.size() - at);
        std::vector<uint8_t> frame, back(n);
        ASSERT_TRUE(e.encode(src.data() + at, n, frame));
        ASSERT_TRUE(d.decode(frame.data(), frame.size(), back.data(), n)) << "window " << w << " at " << at;
        ASSERT_EQ(0, memcmp(back.data(), src.data() + at, n)) << "window " << w << " at " << at;
      }
    }
  }
}

}  // namespace
