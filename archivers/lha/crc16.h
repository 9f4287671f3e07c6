// CRC-16 of the LHA format (polynomial 0x8005, reflected, start 0).
#pragma once
#include <cstddef>
#include <cstdint>

namespace lha {
uint16_t crc16(uint16_t crc, const void* data, size_t n);
}
