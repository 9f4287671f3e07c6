#include "crc16.h"

namespace lha {

namespace {
// Eight tables, eight bytes a step: a byte at a time the check took as long
// as decoding itself.
struct Tables {
  uint16_t v[8][256];
};

const Tables& tables() {
  static const Tables t = [] {
    Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t c = static_cast<uint16_t>(i);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
      t.v[0][i] = c;
    }
    for (unsigned k = 1; k < 8; ++k)
      for (unsigned i = 0; i < 256; ++i)
        t.v[k][i] = static_cast<uint16_t>((t.v[k - 1][i] >> 8) ^ t.v[0][t.v[k - 1][i] & 0xFF]);
    return t;
  }();
  return t;
}
}  // namespace

uint16_t crc16(uint16_t crc, const void* data, size_t n) {
  const Tables& t = tables();
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (; n >= 8; n -= 8, p += 8) {
    unsigned c = crc ^ (p[0] | (p[1] << 8));
    crc = static_cast<uint16_t>(t.v[7][c & 0xFF] ^ t.v[6][c >> 8] ^ t.v[5][p[2]] ^ t.v[4][p[3]] ^ t.v[3][p[4]] ^
                                t.v[2][p[5]] ^ t.v[1][p[6]] ^ t.v[0][p[7]]);
  }
  for (; n; --n, ++p) crc = static_cast<uint16_t>(t.v[0][(crc ^ *p) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace lha
