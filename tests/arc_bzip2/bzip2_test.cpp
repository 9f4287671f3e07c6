// bzip2 codec: round trips over data shapes that stress the BWT and the run
// stages, cross-checks with the system's bzip2 both ways, and damaged input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <random>
#include <string>

#include "bzip2.h"

namespace {

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 g(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(g() % alphabet);
  return v;
}

std::vector<uint8_t> runs_of_every_length() {
  std::vector<uint8_t> v;
  for (int len = 0; len < 600; ++len) v.insert(v.end(), len, static_cast<uint8_t>(len * 7));
  return v;
}

std::vector<uint8_t> text_like(size_t n) {
  const char* words[] = {"archive ", "folder ", "entry ", "\xe3\x82\xbd", "name\r\n", "tar ", "the "};
  std::mt19937 g(7);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const char* w = words[g() % 7];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(n);
  return v;
}

std::string scratch(const std::string& name) {
  std::string dir = SCRATCH_DIR;
  std::system(("mkdir -p '" + dir + "'").c_str());
  return dir + "/" + name;
}

void save(const std::string& path, const std::vector<uint8_t>& v) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), v.size());
}

std::vector<uint8_t> load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

struct Shape {
  const char* name;
  std::vector<uint8_t> data;
  int level;
};

std::vector<Shape> shapes() {
  std::vector<Shape> s;
  s.push_back({"empty", {}, 9});
  s.push_back({"one_byte", {0x41}, 9});
  s.push_back({"random_multi_block", random_bytes(350000, 1), 1});
  // More blocks than are coded at once: their bits must still go out in order.
  s.push_back({"many_blocks", random_bytes(1200000, 6, 16), 1});
  s.push_back({"small_alphabet", random_bytes(200000, 2, 3), 2});
  s.push_back({"one_long_run", std::vector<uint8_t>(2000000, 'a'), 9});
  std::vector<uint8_t> ab;
  for (int i = 0; i < 500000; ++i) ab.push_back(i & 1 ? 'b' : 'a');
  s.push_back({"period_two", ab, 9});
  s.push_back({"runs_of_every_length", runs_of_every_length(), 1});
  s.push_back({"text", text_like(1500000), 9});
  // Repetitive blocks, where the block sort's shortcuts and its fallback
  // matter: long repeats with a few changes, a short period over a whole
  // block, and runs that leave a block of one byte value after run coding.
  std::vector<uint8_t> rep, chunk = random_bytes(40000, 4, 4);
  for (int i = 0; i < 20; ++i) {
    chunk[(i * 7919) % chunk.size()] ^= 1;
    rep.insert(rep.end(), chunk.begin(), chunk.end());
  }
  s.push_back({"repeated_chunks", rep, 9});
  std::vector<uint8_t> period, unit = random_bytes(1000, 5);
  for (int i = 0; i < 900; ++i) period.insert(period.end(), unit.begin(), unit.end());
  s.push_back({"period_1000", period, 9});
  s.push_back({"runs_of_one_value", std::vector<uint8_t>(255 * 4000, 0xFB), 9});
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  s.push_back({"every_byte_once", all, 9});
  return s;
}

}  // namespace

TEST(Bzip2, RoundTripsEveryShapeAndTheSystemToolAgrees) {
  for (auto& sh : shapes()) {
    SCOPED_TRACE(sh.name);
    std::vector<uint8_t> packed, back;
    ASSERT_TRUE(bz2::compress(sh.data.data(), sh.data.size(), packed, sh.level));
    ASSERT_EQ(bz2::decompress(packed.data(), packed.size(), back, SIZE_MAX), bz2::Result::Ok);
    EXPECT_TRUE(back == sh.data);
    std::string f = scratch(std::string(sh.name) + ".bz2");
    save(f, packed);
    EXPECT_EQ(std::system(("bzip2 -t '" + f + "'").c_str()), 0);
    EXPECT_EQ(std::system(("bzip2 -dc '" + f + "' > '" + f + ".out'").c_str()), 0);
    EXPECT_TRUE(load(f + ".out") == sh.data);
  }
}

TEST(Bzip2, DecodesWhatTheSystemToolMakesIncludingConcatenatedStreams) {
  auto a = text_like(700000), b = random_bytes(120000, 9);
  std::string fa = scratch("sys_a"), fb = scratch("sys_b");
  save(fa, a);
  save(fb, b);
  ASSERT_EQ(std::system(("bzip2 -kf -9 '" + fa + "' && bzip2 -kf -1 '" + fb + "' && cat '" + fa + ".bz2' '" + fb +
                         ".bz2' > '" + fa + ".cat.bz2'")
                            .c_str()),
            0);
  auto packed = load(fa + ".cat.bz2");
  std::vector<uint8_t> back;
  ASSERT_EQ(bz2::decompress(packed.data(), packed.size(), back, SIZE_MAX), bz2::Result::Ok);
  auto want = a;
  want.insert(want.end(), b.begin(), b.end());
  EXPECT_TRUE(back == want);

  // The streaming decoder in small reads gives the same bytes.
  size_t pos = 0;
  bz2::Decoder d([&](uint8_t* buf, size_t cap) {
    size_t k = std::min<size_t>({cap, 777, packed.size() - pos});
    std::memcpy(buf, packed.data() + pos, k);
    pos += k;
    return k;
  });
  std::vector<uint8_t> streamed;
  uint8_t chunk[1000];
  while (size_t got = d.read(chunk, sizeof chunk)) streamed.insert(streamed.end(), chunk, chunk + got);
  EXPECT_TRUE(d.finished());
  EXPECT_EQ(d.result(), bz2::Result::Ok);
  EXPECT_TRUE(streamed == want);
}

TEST(Bzip2, DamagedInputIsReportedNeverAccepted) {
  auto data = text_like(300000);
  std::vector<uint8_t> packed, back;
  ASSERT_TRUE(bz2::compress(data.data(), data.size(), packed, 1));
  // Truncated anywhere: never Ok.
  for (size_t cut : {size_t(0), size_t(3), size_t(10), packed.size() / 3, packed.size() / 2, packed.size() - 5,
                     packed.size() - 1}) {
    EXPECT_NE(bz2::decompress(packed.data(), cut, back, SIZE_MAX), bz2::Result::Ok) << cut;
  }
  // A flipped bit anywhere past the header: a CRC or structure error.
  std::mt19937 g(3);
  for (int i = 0; i < 200; ++i) {
    auto bad = packed;
    size_t at = 4 + g() % (bad.size() - 4);
    bad[at] ^= static_cast<uint8_t>(1u << (g() % 8));
    EXPECT_NE(bz2::decompress(bad.data(), bad.size(), back, SIZE_MAX), bz2::Result::Ok) << at;
  }
  EXPECT_EQ(bz2::decompress(packed.data(), packed.size(), back, 1000), bz2::Result::TooLarge);
  EXPECT_EQ(back.size(), 1000u);
  const uint8_t notBz[] = "BZx9 hello";
  EXPECT_EQ(bz2::decompress(notBz, sizeof notBz, back, SIZE_MAX), bz2::Result::Corrupt);
}
