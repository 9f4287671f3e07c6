// compress (.Z) reading against the system's compress: every code width,
// table clears on changing data, the non-block mode, and a KwKwK run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "lzw.h"

namespace {

std::vector<uint8_t> via_compress(const std::vector<uint8_t>& data, const std::string& flags) {
  std::string dir = SCRATCH_DIR;
  std::system(("mkdir -p '" + dir + "'").c_str());
  std::string in = dir + "/in.bin", out = dir + "/out.Z";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
  std::system(("compress -f -c " + flags + " '" + in + "' > '" + out + "'").c_str());
  std::ifstream f(out, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Lzw, DecodesWhatCompressMakes) {
  std::mt19937 g(5);
  std::vector<uint8_t> mixed;
  // Text, then noise, then text again: the table fills and the writer clears it.
  for (int part = 0; part < 6; ++part) {
    for (int i = 0; i < 400000; ++i)
      mixed.push_back(part % 2 ? static_cast<uint8_t>(g()) : static_cast<uint8_t>("tovix archive "[i % 14] + (i / 5000) % 3));
  }
  std::vector<uint8_t> run(100000, 'a');  // KwKwK codes all along
  struct Case {
    const char* name;
    const std::vector<uint8_t>* data;
    const char* flags;
  } cases[] = {{"mixed16", &mixed, ""}, {"mixed12", &mixed, "-b12"}, {"mixed10", &mixed, "-b10"}, {"run", &run, ""}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto z = via_compress(*c.data, c.flags);
    ASSERT_GT(z.size(), 3u);
    std::vector<uint8_t> back;
    EXPECT_EQ(lzw::decompress(z.data(), z.size(), back, SIZE_MAX), lzw::Result::Ok);
    EXPECT_TRUE(back == *c.data);
  }
}

TEST(Lzw, BadCodesAndHeadersAreRefused) {
  std::vector<uint8_t> out;
  const uint8_t wide[] = {0x1F, 0x9D, 0x91};  // 17-bit codes
  EXPECT_EQ(lzw::decompress(wide, sizeof wide, out, SIZE_MAX), lzw::Result::Corrupt);
  const uint8_t notZ[] = {0x1F, 0x8B, 0x90, 0};
  EXPECT_EQ(lzw::decompress(notZ, sizeof notZ, out, SIZE_MAX), lzw::Result::Corrupt);
  const uint8_t farCode[] = {0x1F, 0x9D, 0x90, 0x41, 0xFE, 0xFF, 0x01};  // a code beyond the table
  EXPECT_EQ(lzw::decompress(farCode, sizeof farCode, out, SIZE_MAX), lzw::Result::Corrupt);
}
