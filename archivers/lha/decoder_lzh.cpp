// -lh4- to -lh7-: LZSS with static Huffman codes per block. Every block
// gives its size in symbols, then three code tables (the table of the code
// lengths, the literal/length codes, the position codes) and its symbols.
#include <cstring>
#include <vector>

#include "decoder.h"
#include "huffman.h"

namespace lha {
namespace {

constexpr unsigned NC = 510;  // 256 literals + match lengths 3..256
constexpr unsigned NT = 19;
constexpr unsigned TBIT = 5, CBIT = 9;
constexpr unsigned kRingBits = 17;
constexpr size_t kRing = size_t(1) << kRingBits, kMask = kRing - 1;

class LzhDecoder : public Decoder {
 public:
  LzhDecoder(unsigned windowBits, ByteSource& src, uint64_t original, DecodeBuffers* lent)
      : br_(src, lent ? &lent->bits : nullptr), original_(original), ring_(lent ? lent->ring : ownRing_) {
    ring_.assign(kRing, 0x20);
    // The methods up to an 8 KB window share the smaller position table.
    if (windowBits <= 13) {
      np_ = 14;
      pbit_ = 4;
    } else {
      np_ = windowBits == 16 ? 17 : 16;
      pbit_ = 5;
    }
  }

  size_t read(uint8_t* out, size_t n) override {
    while (r_ == w_ && w_ < original_ && !failed_) decode_more();
    uint64_t avail = w_ - r_;
    if (n > avail) n = static_cast<size_t>(avail);
    size_t done = 0;
    while (done < n) {
      size_t at = static_cast<size_t>(r_ & kMask);
      size_t k = n - done;
      if (k > kRing - at) k = kRing - at;
      std::memcpy(out + done, ring_.data() + at, k);
      done += k;
      r_ += k;
    }
    return done;
  }

 private:
  bool read_pt_len(unsigned nn, unsigned nbit, int special, HuffDecoder& table) {
    uint8_t lens[32] = {};
    unsigned n = br_.get(nbit);
    if (n == 0) {
      unsigned c = br_.get(nbit);
      if (c >= nn) return false;
      table.single(c);
      return true;
    }
    if (n > nn) return false;
    unsigned i = 0;
    while (i < n) {
      uint32_t v = br_.peek16();
      unsigned c = v >> 13;
      if (c == 7) {
        for (uint32_t mask = 1u << 12; mask & v; mask >>= 1)
          if (++c > 16) return false;
      }
      br_.skip(c < 7 ? 3 : c - 3);
      lens[i++] = static_cast<uint8_t>(c);
      if (static_cast<int>(i) == special) {
        unsigned z = br_.get(2);
        while (z-- > 0 && i < nn) lens[i++] = 0;
      }
    }
    return table.build(lens, nn, 8);
  }

  bool read_c_len() {
    uint8_t lens[NC] = {};
    unsigned n = br_.get(CBIT);
    if (n == 0) {
      unsigned c = br_.get(CBIT);
      if (c >= NC) return false;
      c_.single(c);
      return true;
    }
    if (n > NC) return false;
    unsigned i = 0;
    while (i < n) {
      int c = t_.decode(br_);
      if (c < 0) return false;
      if (c <= 2) {
        unsigned count = c == 0 ? 1 : c == 1 ? br_.get(4) + 3 : br_.get(CBIT) + 20;
        if (i + count > NC) return false;
        i += count;  // lens[] is already zero
      } else {
        lens[i++] = static_cast<uint8_t>(c - 2);
      }
    }
    return c_.build(lens, NC, 12);
  }

  bool read_block() {
    blockLeft_ = br_.get(16);
    if (!read_pt_len(NT, TBIT, 3, t_) || !read_c_len() || !read_pt_len(np_, pbit_, -1, p_)) return false;
    return !br_.overrun();
  }

  void decode_more() {
    uint8_t* ring = ring_.data();
    uint64_t w = w_;
    // Room for one longest match without overwriting bytes not yet read.
    uint64_t stop = r_ + kRing - 260;
    if (stop > original_) stop = original_;
    while (w < stop) {
      if (blockLeft_ == 0) {
        if (!read_block()) {
          failed_ = true;
          break;
        }
        if (blockLeft_ == 0) continue;
      }
      --blockLeft_;
      int c = c_.decode(br_);
      if (c < 0) {
        failed_ = true;
        break;
      }
      if (c < 256) {
        ring[w++ & kMask] = static_cast<uint8_t>(c);
        continue;
      }
      unsigned len = static_cast<unsigned>(c) - 253;
      int j = p_.decode(br_);
      if (j < 0) {
        failed_ = true;
        break;
      }
      uint32_t pos = j == 0 ? 0 : (1u << (j - 1)) + br_.get(static_cast<unsigned>(j - 1));
      if (len > original_ - w) len = static_cast<unsigned>(original_ - w);
      uint64_t from = w - pos - 1;
      size_t a = static_cast<size_t>(from & kMask), b = static_cast<size_t>(w & kMask);
      if (a + len <= kRing && b + len <= kRing && pos + 1 >= len) {
        std::memmove(ring + b, ring + a, len);  // source ends before the target: one copy
      } else {
        for (unsigned k = 0; k < len; ++k) ring[(w + k) & kMask] = ring[(from + k) & kMask];
      }
      w += len;
    }
    if (br_.overrun()) failed_ = true;
    w_ = w;
  }

  BitReader br_;
  uint64_t original_;
  std::vector<uint8_t> ownRing_;
  std::vector<uint8_t>& ring_;
  uint64_t r_ = 0, w_ = 0;
  unsigned np_, pbit_;
  unsigned blockLeft_ = 0;
  HuffDecoder t_, c_, p_;
};

}  // namespace

std::unique_ptr<Decoder> make_lzh_decoder(unsigned windowBits, ByteSource& src, uint64_t original,
                                          DecodeBuffers* lent) {
  return std::make_unique<LzhDecoder>(windowBits, src, original, lent);
}

}  // namespace lha
