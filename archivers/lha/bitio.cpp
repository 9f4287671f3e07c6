#include "bitio.h"

#include <cstring>

namespace lha {

size_t MemorySource::pull(uint8_t* buf, size_t cap) {
  size_t n = cap < n_ ? cap : n_;
  std::memcpy(buf, p_, n);
  p_ += n;
  n_ -= n;
  return n;
}

void BitReader::refill() {
  while (count_ <= 56) {
    if (pos_ == end_) {
      end_ = padded_ ? 0 : src_.pull(buf_.data(), buf_.size());
      pos_ = 0;
      if (end_ == 0) {
        // Past the end: zeros, counted, so that the caller sees the overrun.
        bits_ <<= 8;
        count_ += 8;
        ++padded_;
        continue;
      }
    }
    bits_ = (bits_ << 8) | buf_[pos_++];
    count_ += 8;
  }
}

}  // namespace lha
