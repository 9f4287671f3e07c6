// One entry's data: the first bytes choose the entry's method, flags and
// declared sizes; the rest is the (perhaps encrypted) compressed stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zipfmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  zipf::Entry e;
  e.method = (data[0] & 1) ? 8 : 0;
  e.flags = (data[0] & 2) ? zipf::kFlagEncrypted : 0;
  e.crc = zipf::get32(data + 1);
  e.usize = zipf::get32(data + 5) & 0xFFFFFF;
  e.dosTime = static_cast<uint32_t>(data[9]) << 8;
  const uint8_t* body = data + 12;
  size_t n = size - 12;
  e.csize = n;
  std::string pw = "secret";
  uint64_t total = 0;
  zipf::decode_data(body, n, e, &pw, [&](const uint8_t*, size_t k) {
    total += k;
    return total <= e.usize;
  });
  return 0;
}
