#include "decoder.h"

#include <vector>

namespace lha {

unsigned window_bits(std::string_view m) {
  if (m == "-lh4-") return 12;
  if (m == "-lh5-") return 13;
  if (m == "-lh6-") return 15;
  if (m == "-lh7-") return 16;
  return 0;
}

bool is_stored(std::string_view m) { return m == "-lh0-" || m == "-lz4-" || m == "-lhd-"; }
bool is_old_method(std::string_view m) { return m == "-lh1-" || m == "-lzs-" || m == "-lz5-"; }
bool is_supported(std::string_view m) { return is_stored(m) || window_bits(m) != 0 || is_old_method(m); }

namespace {

class StoredDecoder : public Decoder {
 public:
  StoredDecoder(ByteSource& src, uint64_t original) : src_(src), left_(original) {}
  size_t read(uint8_t* out, size_t n) override {
    if (left_ == 0 || failed_) return 0;
    if (n > left_) n = static_cast<size_t>(left_);
    size_t got = 0;
    while (got < n) {
      size_t k = src_.pull(out + got, n - got);
      if (k == 0) {
        failed_ = true;  // shorter than declared
        break;
      }
      got += k;
    }
    left_ -= got;
    return got;
  }

 private:
  ByteSource& src_;
  uint64_t left_;
};

}  // namespace

std::unique_ptr<Decoder> make_stored_decoder(ByteSource& src, uint64_t original) {
  return std::make_unique<StoredDecoder>(src, original);
}

std::unique_ptr<Decoder> make_decoder(std::string_view method, ByteSource& src, uint64_t original,
                                      DecodeBuffers* lent) {
  if (method == "-lhd-") return make_stored_decoder(src, 0);
  if (is_stored(method)) return make_stored_decoder(src, original);
  if (unsigned wb = window_bits(method)) return make_lzh_decoder(wb, src, original, lent);
  return make_old_decoder(method, src, original);
}

}  // namespace lha
