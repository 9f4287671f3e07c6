// LZX frames under arbitrary input: the first byte picks the window, the
// rest is split into frames of arbitrary lengths.
#include <cstdint>
#include <vector>

#include "codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  cab::LzxDecoder d(15 + data[0] % 7);
  std::vector<uint8_t> out(32768);
  size_t pos = 3;
  size_t outLen = 1 + ((data[1] | (data[2] << 8)) & 0x7FFF);
  while (pos < size) {
    size_t n = size - pos < 4096 ? size - pos : 4096;
    if (!d.decode(data + pos, n, out.data(), outLen)) break;
    pos += n;
  }
  return 0;
}
