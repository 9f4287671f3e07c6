// Decoding throughput of our bzip2 decoder on one file, for scripts/bench-tar.sh.
//   bz2bench FILE.bz2 [rounds]   -> MB/s of output
//   bz2bench -c FILE [level]     -> compresses FILE to FILE.ours.bz2 and times it
//   bz2bench -C IN OUT [level]   -> compresses IN to OUT as a packing tool does,
//                                   in 64 KiB reads, for timing the whole process
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bzip2.h"

static std::vector<uint8_t> load(const char* p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  using clk = std::chrono::steady_clock;
  if (std::strcmp(argv[1], "-C") == 0 && argc >= 4) {
    FILE* in = std::fopen(argv[2], "rb");
    FILE* out = std::fopen(argv[3], "wb");
    if (!in || !out) return 1;
    bz2::Encoder e([&](const uint8_t* d, size_t k) { return std::fwrite(d, 1, k, out) == k; },
                   argc >= 5 ? std::atoi(argv[4]) : 9);
    static uint8_t buf[1 << 16];
    while (size_t got = std::fread(buf, 1, sizeof buf, in)) e.write(buf, got);
    bool ok = e.finish();
    std::fclose(in);
    return std::fclose(out) == 0 && ok ? 0 : 1;
  }
  if (std::strcmp(argv[1], "-c") == 0 && argc >= 3) {
    auto in = load(argv[2]);
    int level = argc >= 4 ? std::atoi(argv[3]) : 9;
    std::vector<uint8_t> out;
    auto t0 = clk::now();
    bz2::compress(in.data(), in.size(), out, level);
    double s = std::chrono::duration<double>(clk::now() - t0).count();
    std::ofstream(std::string(argv[2]) + ".ours.bz2", std::ios::binary).write(reinterpret_cast<char*>(out.data()), out.size());
    std::printf("compress: %zu -> %zu bytes, %.2f s, %.1f MB/s\n", in.size(), out.size(), s, in.size() / s / 1e6);
    return 0;
  }
  auto in = load(argv[1]);
  int rounds = argc >= 3 ? std::atoi(argv[2]) : 3;
  double best = 1e9;
  size_t outBytes = 0;
  for (int r = 0; r < rounds; ++r) {
    size_t pos = 0;
    auto t0 = clk::now();
    bz2::Decoder d([&](uint8_t* buf, size_t cap) {
      size_t k = std::min(cap, in.size() - pos);
      std::memcpy(buf, in.data() + pos, k);
      pos += k;
      return k;
    });
    static uint8_t chunk[1 << 16];
    outBytes = 0;
    while (size_t got = d.read(chunk, sizeof chunk)) outBytes += got;
    double s = std::chrono::duration<double>(clk::now() - t0).count();
    if (d.result() != bz2::Result::Ok) {
      std::printf("decode failed\n");
      return 1;
    }
    best = std::min(best, s);
  }
  std::printf("ours: %zu bytes out in %.3f s, %.1f MB/s\n", outBytes, best, outBytes / best / 1e6);
  return 0;
}
