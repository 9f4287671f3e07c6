// Fuzz target: the method 1 to 4 decoders on raw packed streams, without
// the header CRCs that keep the archive target away from them. Input: the
// method (first byte, taken modulo 4, plus 1), the original size (next
// three bytes), then the packed data.
#include <cstddef>
#include <cstdint>

#include "arj.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  arj::MemSource src(data, size);
  arj::Entry e;
  e.method = static_cast<uint8_t>(data[0] % 4 + 1);
  e.original = data[1] | (data[2] << 8) | (static_cast<uint32_t>(data[3]) << 16);
  e.packed = static_cast<uint32_t>(size - 4);
  e.dataPos = 4;
  arj::extract(src, e, [](const uint8_t*, size_t) { return true; });
  return 0;
}
