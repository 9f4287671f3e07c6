#include "crc16.h"

namespace lha {

uint16_t crc16(uint16_t crc, const void* data, size_t n) {
  static const auto table = [] {
    struct T {
      uint16_t v[256];
    } t{};
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t c = static_cast<uint16_t>(i);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
      t.v[i] = c;
    }
    return t;
  }();
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) crc = static_cast<uint16_t>(table.v[(crc ^ p[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace lha
