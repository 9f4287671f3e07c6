// Any bytes through the bzip2 decoder, in one piece and streamed.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bzip2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  bz2::decompress(data, size, out, 8u << 20);
  size_t pos = 0, total = 0;
  bz2::Decoder d([&](uint8_t* buf, size_t cap) {
    size_t k = size - pos < cap ? size - pos : cap;
    if (k > 97) k = 97;  // odd small pieces reach every refill path
    std::memcpy(buf, data + pos, k);
    pos += k;
    return k;
  });
  uint8_t chunk[3000];
  while (size_t got = d.read(chunk, sizeof chunk)) {
    total += got;
    if (total > (8u << 20)) break;
  }
  return 0;
}
