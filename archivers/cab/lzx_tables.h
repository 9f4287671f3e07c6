// Tables both LZX directions share.
#pragma once
#include <array>
#include <cstdint>

namespace cab::lzx {

constexpr int kMinMatch = 2;
constexpr int kMaxMatch = 257;
constexpr int kPrimaryLengths = 7;
constexpr int kLengthSyms = 249;
constexpr int kPreSyms = 20;
constexpr int kAlignedSyms = 8;
constexpr int kMaxSlots = 50;

inline int slots_for(int windowBits) {
  static const int kSlots[] = {30, 32, 34, 36, 38, 42, 50};
  return (windowBits >= 15 && windowBits <= 21) ? kSlots[windowBits - 15] : 0;
}

struct SlotTables {
  std::array<uint8_t, kMaxSlots> extra{};
  std::array<uint32_t, kMaxSlots + 1> base{};
  SlotTables() {
    for (int i = 0; i < kMaxSlots; ++i) {
      int e = i < 4 ? 0 : (i - 2) / 2;
      extra[i] = static_cast<uint8_t>(e > 17 ? 17 : e);
      base[i + 1] = base[i] + (1u << extra[i]);
    }
  }
};
inline const SlotTables& slot_tables() {
  static const SlotTables t;
  return t;
}

}  // namespace cab::lzx
