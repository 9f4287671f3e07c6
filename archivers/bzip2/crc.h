// The stream's CRC: CRC-32 with polynomial 0x04C11DB7, most significant bit
// first (not the reflected kind zip and gzip use).
#pragma once
#include <cstddef>
#include <cstdint>

namespace bz2 {

struct CrcTables {
  uint32_t t[8][256];
  CrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[0][i] = c;
    }
    for (int s = 1; s < 8; ++s)
      for (uint32_t i = 0; i < 256; ++i) t[s][i] = (t[s - 1][i] << 8) ^ t[0][t[s - 1][i] >> 24];
  }
};

inline const CrcTables& crc_tables() {
  static const CrcTables tables;
  return tables;
}

// Running value (start with 0xFFFFFFFF, finish with ~).
inline uint32_t crc_update(uint32_t crc, const uint8_t* p, size_t n) {
  const auto& T = crc_tables().t;
  while (n >= 8) {
    uint32_t a = crc ^ (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
    crc = T[7][a >> 24] ^ T[6][(a >> 16) & 0xFF] ^ T[5][(a >> 8) & 0xFF] ^ T[4][a & 0xFF] ^ T[3][p[4]] ^
          T[2][p[5]] ^ T[1][p[6]] ^ T[0][p[7]];
    p += 8;
    n -= 8;
  }
  while (n--) crc = (crc << 8) ^ T[0][(crc >> 24) ^ *p++];
  return crc;
}

inline uint32_t crc_byte(uint32_t crc, uint8_t b) { return (crc << 8) ^ crc_tables().t[0][(crc >> 24) ^ b]; }

}  // namespace bz2
