// The older methods, all LZSS over a small ring of past bytes:
//   -lzs-  2 KB ring; a flag bit, then a literal of 8 bits or an absolute
//          ring position of 11 bits and a length of 4 bits (2..17).
//   -lz5-  4 KB ring set up with a fixed pattern; a flag byte for the next
//          eight items (low bit first), then a literal byte or two bytes of
//          absolute position (12 bits) and length (4 bits, 3..18).
//   -lh1-  4 KB ring; literals and lengths (3..60) in one adaptive Huffman
//          code, the distance's upper 6 bits in a fixed code, its lower 6
//          bits as they are.
#include <cstring>
#include <vector>

#include "decoder.h"
#include "huffman.h"

namespace lha {
namespace {

// The ring, the pending match and the declared size shared by the three.
class RingDecoder : public Decoder {
 public:
  RingDecoder(ByteSource& src, uint64_t original, size_t ringSize, size_t start)
      : br_(src), ring_(ringSize, 0x20), left_(original), mask_(ringSize - 1), w_(start) {}

  size_t read(uint8_t* out, size_t n) override {
    size_t done = 0;
    while (done < n && left_ > 0 && !failed_) {
      if (copyLeft_ == 0) {
        if (!step() || br_.overrun()) {
          failed_ = true;
          break;
        }
        continue;
      }
      // The match, or the literal that step() left as a match of one byte.
      uint8_t c = haveLiteral_ ? literal_ : ring_[copyFrom_++ & mask_];
      haveLiteral_ = false;
      --copyLeft_;
      ring_[w_++ & mask_] = c;
      out[done++] = c;
      --left_;
    }
    return done;
  }

 protected:
  // Reads the next item; false on a stream that cannot be.
  virtual bool step() = 0;
  void literal(uint8_t c) {
    literal_ = c;
    haveLiteral_ = true;
    copyLeft_ = 1;
  }
  void match(size_t from, unsigned len) {
    copyFrom_ = from;
    copyLeft_ = len;
  }
  size_t written() const { return w_; }

  BitReader br_;
  std::vector<uint8_t> ring_;

 private:
  uint64_t left_;
  size_t mask_;
  size_t w_;
  size_t copyFrom_ = 0;
  unsigned copyLeft_ = 0;
  uint8_t literal_ = 0;
  bool haveLiteral_ = false;
};

class LzsDecoder : public RingDecoder {
 public:
  LzsDecoder(ByteSource& src, uint64_t original) : RingDecoder(src, original, 2048, 2048 - 17) {}

 private:
  bool step() override {
    if (br_.get(1)) {
      literal(static_cast<uint8_t>(br_.get(8)));
    } else {
      size_t pos = br_.get(11);
      match(pos, br_.get(4) + 2);
    }
    return true;
  }
};

class Lz5Decoder : public RingDecoder {
 public:
  Lz5Decoder(ByteSource& src, uint64_t original) : RingDecoder(src, original, 4096, 4096 - 18) {
    // 13 of each byte value, the values up, the values down, 128 zeros; the
    // rest stays blank.
    uint8_t* p = ring_.data();
    for (unsigned v = 0; v < 256; ++v) {
      std::memset(p, static_cast<int>(v), 13);
      p += 13;
    }
    for (unsigned v = 0; v < 256; ++v) *p++ = static_cast<uint8_t>(v);
    for (unsigned v = 0; v < 256; ++v) *p++ = static_cast<uint8_t>(255 - v);
    std::memset(p, 0, 128);
  }

 private:
  bool step() override {
    if (flagsLeft_ == 0) {
      flags_ = br_.get(8);
      flagsLeft_ = 8;
    }
    bool lit = flags_ & 1;
    flags_ >>= 1;
    --flagsLeft_;
    if (lit) {
      literal(static_cast<uint8_t>(br_.get(8)));
    } else {
      unsigned lo = br_.get(8), hi = br_.get(8);
      match(lo | ((hi & 0xF0u) << 4), (hi & 0x0Fu) + 3);
    }
    return true;
  }
  unsigned flags_ = 0, flagsLeft_ = 0;
};

// -lh1-: the adaptive code is a tree kept in sibling order (every node's
// count no larger than the next node's); after each symbol its leaf's count
// and its ancestors' grow by one, swapping nodes to keep that order.
class Lh1Decoder : public RingDecoder {
 public:
  static constexpr unsigned kSymbols = 256 + 60 - 2;  // literals, lengths 3..60
  static constexpr unsigned kNodes = 2 * kSymbols - 1;
  static constexpr unsigned kRoot = kNodes - 1;
  static constexpr unsigned kMaxCount = 0x8000;

  Lh1Decoder(ByteSource& src, uint64_t original) : RingDecoder(src, original, 4096, 4096 - 60) {
    for (unsigned i = 0; i < kSymbols; ++i) {
      count_[i] = 1;
      child_[i] = i + kNodes;
      parent_[i + kNodes] = i;
    }
    for (unsigned i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
      count_[j] = count_[i] + count_[i + 1];
      child_[j] = i;
      parent_[i] = parent_[i + 1] = j;
    }
    count_[kNodes] = 0xFFFF;  // a guard larger than any count
    parent_[kRoot] = 0;
    // The upper 6 bits of a distance: one code of 3 bits, 3 of 4, 8 of 5,
    // 12 of 6, 24 of 7 and 16 of 8, in order of value.
    uint8_t lens[64];
    unsigned at = 0;
    const unsigned counts[] = {1, 3, 8, 12, 24, 16};
    for (unsigned b = 0; b < 6; ++b)
      for (unsigned k = 0; k < counts[b]; ++k) lens[at++] = static_cast<uint8_t>(3 + b);
    position_.build(lens, 64, 8);
  }

 private:
  bool step() override {
    unsigned c = child_[kRoot];
    while (c < kNodes) c = child_[c + br_.get(1)];
    c -= kNodes;
    update(c);
    if (c < 256) {
      literal(static_cast<uint8_t>(c));
      return true;
    }
    int upper = position_.decode(br_);
    if (upper < 0) return false;
    size_t distance = (static_cast<size_t>(upper) << 6) | br_.get(6);
    match(written() - distance - 1, c - 253);
    return true;
  }

  void rebuild() {
    // Leaves first, their counts halved, then the inner nodes again, each
    // put where its count keeps the order.
    unsigned j = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
      if (child_[i] >= kNodes) {
        count_[j] = (count_[i] + 1) / 2;
        child_[j] = child_[i];
        ++j;
      }
    }
    for (unsigned i = 0, j2 = kSymbols; j2 < kNodes; i += 2, ++j2) {
      unsigned f = count_[i] + count_[i + 1];
      unsigned k = j2;
      while (k > 0 && f < count_[k - 1]) --k;
      std::memmove(&count_[k + 1], &count_[k], (j2 - k) * sizeof count_[0]);
      std::memmove(&child_[k + 1], &child_[k], (j2 - k) * sizeof child_[0]);
      count_[k] = f;
      child_[k] = i;
    }
    for (unsigned i = 0; i < kNodes; ++i) {
      unsigned k = child_[i];
      parent_[k] = i;
      if (k < kNodes) parent_[k + 1] = i;
    }
  }

  void update(unsigned sym) {
    if (count_[kRoot] == kMaxCount) rebuild();
    unsigned c = parent_[sym + kNodes];
    do {
      unsigned k = ++count_[c];
      unsigned l = c + 1;
      if (k > count_[l]) {
        while (k > count_[++l]) {
        }
        --l;
        count_[c] = count_[l];
        count_[l] = k;
        unsigned i = child_[c];
        parent_[i] = l;
        if (i < kNodes) parent_[i + 1] = l;
        unsigned j = child_[l];
        child_[l] = i;
        parent_[j] = c;
        if (j < kNodes) parent_[j + 1] = c;
        child_[c] = j;
        c = l;
      }
      c = parent_[c];
    } while (c != 0);
  }

  unsigned count_[kNodes + 1];
  unsigned child_[kNodes];
  unsigned parent_[kNodes + kSymbols];
  HuffDecoder position_;
};

}  // namespace

std::unique_ptr<Decoder> make_old_decoder(std::string_view method, ByteSource& src, uint64_t original) {
  if (method == "-lzs-") return std::make_unique<LzsDecoder>(src, original);
  if (method == "-lz5-") return std::make_unique<Lz5Decoder>(src, original);
  if (method == "-lh1-") return std::make_unique<Lh1Decoder>(src, original);
  return nullptr;
}

}  // namespace lha
