// Writes seed inputs for the fuzz targets: small cabinets of each method
// and LZX frames made by our encoder.
#include <cstdio>
#include <string>
#include <vector>

#include "cab_ops.h"
#include "codecs.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string cabDir = argv[1], lzxDir = argv[2];
  std::string src = cabDir + "/src.bin";
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + " of the seed text\n";
  fsio::write_all(src, text.data(), text.size());
  uint16_t types[] = {cab::kNone, cab::kMszip, static_cast<uint16_t>(cab::kLzx | (15 << 8)),
                      static_cast<uint16_t>(cab::kLzx | (21 << 8))};
  int n = 0;
  for (uint16_t t : types) {
    std::vector<cab::Source> files(2);
    files[0] = {src, "dir\\a.txt", 0x5A8A, 0x4D3C, 0x20, static_cast<uint32_t>(text.size())};
    files[1] = {src, "b.txt", 0x5A8A, 0x4D3C, 0x20, 1000};
    cab::WriteOptions o;
    o.type = t;
    std::vector<std::string> written;
    std::string err;
    std::string name = cabDir + "/seed" + std::to_string(n++) + ".cab";
    if (!cab::write_set(files, o, [&](int) { return name; }, written, err)) return 1;
    if (t & 0xF) {
      cab::LzxEncoder e(15);
      std::vector<uint8_t> frame;
      e.encode(reinterpret_cast<const uint8_t*>(text.data()), 32768, frame);
      std::vector<uint8_t> seed = {0, 0xFF, 0x7F};
      seed.insert(seed.end(), frame.begin(), frame.end());
      fsio::write_all(lzxDir + "/seed" + std::to_string(n) + ".bin", seed.data(), seed.size());
    }
  }
  fsio::remove_file(src);
  return 0;
}
