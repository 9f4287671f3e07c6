// Canonical Huffman codes of the LHA block format: a lookup table for the
// decoder (codes of up to 16 bits, a first level of `tb` bits and small
// second levels), and length-limited code lengths for the encoder.
#pragma once
#include <cstdint>
#include <vector>

#include "bitio.h"

namespace lha {

class HuffDecoder {
 public:
  // Builds from code lengths (0 = unused). False for an over-full code.
  bool build(const uint8_t* lens, unsigned n, unsigned tb);
  // A table of one symbol that takes no bits, as a block may declare.
  void single(unsigned sym) {
    single_ = true;
    sym_ = sym;
  }
  // The next symbol, or -1 for a code that the table does not hold.
  int decode(BitReader& br) const {
    if (single_) return static_cast<int>(sym_);
    uint32_t v = br.peek16();
    uint32_t e = table_[v >> (16 - tb_)];
    if (e & kSub) e = table_[(e & ~kSub) + (v & ((1u << (16 - tb_)) - 1))];
    unsigned len = e & 31;
    if (len == 0) return -1;
    br.skip(len);
    return static_cast<int>(e >> 5);
  }

 private:
  static constexpr uint32_t kSub = 0x80000000u;
  std::vector<uint32_t> table_;
  unsigned tb_ = 8;
  bool single_ = false;
  unsigned sym_ = 0;
};

// Code lengths of at most maxLen bits for the given frequencies. Symbols of
// frequency 0 get 0. With fewer than two used symbols every length is 0 and
// the caller writes the one-symbol form.
void make_lengths(const uint32_t* freq, unsigned n, unsigned maxLen, uint8_t* lens);

// Canonical codes from lengths, in the order the decoder assigns them.
void make_codes(const uint8_t* lens, unsigned n, uint16_t* codes);

}  // namespace lha
