// Header parsing, decoding and shrinking of whatever bytes come in.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pnm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pnm::Header h;
  if (pnm::ParseHeader(data, size, h) != pnm::Ok) return 0;
  std::vector<uint8_t> bits;
  if (pnm::Decode(data, size, h, bits) != pnm::Ok) return 0;
  if (bits.size() != pnm::RowBytes(h) * h.Height) __builtin_trap();
  pnm::Header small;
  std::vector<uint8_t> smallBits;
  pnm::Shrink(h, bits, 4, small, smallBits);
  return 0;
}
