// Any bytes through the compress (.Z) decoder.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  lzw::decompress(data, size, out, 8u << 20);
  return 0;
}
