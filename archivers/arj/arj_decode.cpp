// Decoders: methods 1 to 3 are LZ77 with static Huffman blocks (a 26624-byte
// window is what the packer uses; distances up to 64 KB are representable,
// so the ring holds 64 KB), method 4 is LZ77 with simple unary-prefixed codes.
#include <array>
#include <cstring>

#include "arj.h"
#include "text.h"

namespace arj {
namespace {

// MSB-first bits of the packed data. Past the end it delivers zeros and
// counts them, so a truncated stream ends the decoding instead of looping.
class BitReader {
 public:
  BitReader(Source& src, int64_t pos, uint32_t len) : src_(src), pos_(pos), left_(len) {}

  uint32_t peek(int n) {
    while (nbits_ < n) {
      uint8_t b = 0;
      if (bufPos_ == bufLen_) refill();
      if (bufPos_ < bufLen_) {
        b = buf_[bufPos_++];
      } else {
        ++overrun_;
      }
      acc_ |= static_cast<uint64_t>(b) << (56 - nbits_);
      nbits_ += 8;
    }
    return static_cast<uint32_t>(acc_ >> (64 - n));
  }
  void skip(int n) {
    if (n == 0) return;
    peek(n);
    acc_ <<= n;
    nbits_ -= n;
  }
  uint32_t get(int n) {
    if (n == 0) return 0;
    uint32_t v = peek(n);
    skip(n);
    return v;
  }
  // More than a few bytes of padding read: the stream was cut short.
  bool exhausted() const { return overrun_ > 4; }
  bool read_failed() const { return failed_; }

 private:
  void refill() {
    bufPos_ = bufLen_ = 0;
    if (left_ == 0 || failed_) return;
    size_t n = left_ < sizeof buf_ ? left_ : sizeof buf_;
    if (!src_.read_at(pos_, buf_, n)) {
      failed_ = true;
      return;
    }
    pos_ += static_cast<int64_t>(n);
    left_ -= static_cast<uint32_t>(n);
    bufLen_ = n;
  }

  Source& src_;
  int64_t pos_;
  uint32_t left_;
  uint8_t buf_[8192];
  size_t bufPos_ = 0, bufLen_ = 0;
  uint64_t acc_ = 0;
  int nbits_ = 0;
  int overrun_ = 0;
  bool failed_ = false;
};

// Canonical Huffman code: shorter codes first, symbols in order within a
// length. A lookup table serves codes up to kTableBits; longer ones walk the
// lengths.
class Huffman {
 public:
  static constexpr int kTableBits = 10;

  // A table of one symbol that costs no bits.
  void set_single(int sym) {
    single_ = sym;
  }
  bool build(const uint8_t* lens, int n) {
    single_ = -1;
    std::array<int, 17> count{};
    for (int i = 0; i < n; ++i) {
      if (lens[i] > 16) return false;
      ++count[lens[i]];
    }
    count[0] = 0;
    // Over-subscribed lengths cannot be a prefix code.
    int64_t room = 1;
    for (int l = 1; l <= 16; ++l) {
      room = (room << 1) - count[l];
      if (room < 0) return false;
    }
    int code = 0, offset = 0;
    for (int l = 1; l <= 16; ++l) {
      code = (code + (l > 1 ? count[l - 1] : 0)) << (l > 1 ? 1 : 0);
      first_[l] = code;
      count_[l] = count[l];
      offset_[l] = offset;
      offset += count[l];
    }
    syms_.assign(offset, 0);
    std::array<int, 17> fill{};
    for (int i = 0; i < n; ++i)
      if (lens[i]) syms_[offset_[lens[i]] + fill[lens[i]]++] = static_cast<uint16_t>(i);
    table_.fill(0);
    for (int l = 1; l <= kTableBits; ++l)
      for (int k = 0; k < count_[l]; ++k) {
        uint32_t c = static_cast<uint32_t>(first_[l] + k) << (kTableBits - l);
        uint32_t span = 1u << (kTableBits - l);
        for (uint32_t j = 0; j < span; ++j)
          table_[c + j] = static_cast<uint16_t>((syms_[offset_[l] + k] << 5) | l);
      }
    return true;
  }
  // The next symbol, or -1 for a code that no symbol has.
  int decode(BitReader& br) const {
    if (single_ >= 0) return single_;
    uint32_t v = br.peek(16);
    uint16_t t = table_[v >> (16 - kTableBits)];
    if (t) {
      br.skip(t & 31);
      return t >> 5;
    }
    for (int l = kTableBits + 1; l <= 16; ++l) {
      int c = static_cast<int>(v >> (16 - l));
      if (c >= first_[l] && c - first_[l] < count_[l]) {
        br.skip(l);
        return syms_[offset_[l] + c - first_[l]];
      }
    }
    return -1;
  }

 private:
  int single_ = -1;
  std::array<int, 17> first_{}, count_{}, offset_{};
  std::vector<uint16_t> syms_;
  std::array<uint16_t, 1 << kTableBits> table_{};
};

// Output ring and sink: flushes in blocks, never beyond the declared size.
class Output {
 public:
  Output(const Sink& sink, uint32_t total) : sink_(sink), total_(total) {}
  bool done() const { return produced_ >= total_; }
  bool stopped() const { return stopped_; }
  uint32_t crc() const { return crc_; }
  void put(uint8_t b) {
    ring_[pos_++ & kMask] = b;
    ++produced_;
    if ((pos_ & (kFlush - 1)) == 0) flush();
  }
  // False when the distance reaches before the first byte.
  bool copy(uint32_t dist, uint32_t len) {
    if (dist == 0 || dist > produced_ || dist > kRing) return false;
    for (uint32_t i = 0; i < len && !done(); ++i) put(ring_[(pos_ - dist) & kMask]);
    return true;
  }
  void flush() {
    uint32_t start = flushed_ & kMask;
    uint32_t n = pos_ - flushed_;
    if (n == 0 || stopped_) return;
    crc_ = arc::crc32(crc_, &ring_[start], n);
    if (!sink_(&ring_[start], n)) stopped_ = true;
    flushed_ = pos_;
  }

 private:
  static constexpr uint32_t kRing = 65536, kMask = kRing - 1, kFlush = 16384;
  const Sink& sink_;
  uint32_t total_;
  uint32_t produced_ = 0, pos_ = 0, flushed_ = 0, crc_ = 0;
  bool stopped_ = false;
  std::array<uint8_t, kRing> ring_{};
};

constexpr int kNC = 510, kNP = 17, kNT = 19, kCBit = 9, kPBit = 5, kTBit = 5;

class HuffDecoder {
 public:
  HuffDecoder(BitReader& br) : br_(br) {}

  Result run(Output& out) {
    while (!out.done() && !out.stopped()) {
      if (br_.exhausted() || br_.read_failed()) return Result::Truncated;
      if (blockLeft_ == 0) {
        // A block size of 0 stands for 65536 symbols.
        blockLeft_ = br_.get(16);
        if (blockLeft_ == 0) blockLeft_ = 65536;
        if (!read_pt_len(kNT, kTBit, 3) || !read_c_len() || !read_pt_len(kNP, kPBit, -1)) return Result::BadData;
      }
      --blockLeft_;
      int c = c_.decode(br_);
      if (c < 0) return Result::BadData;
      if (c < 256) {
        out.put(static_cast<uint8_t>(c));
        continue;
      }
      uint32_t len = static_cast<uint32_t>(c - 253);
      int j = p_.decode(br_);
      if (j < 0) return Result::BadData;
      uint32_t dist = j == 0 ? 0 : (1u << (j - 1)) + br_.get(j - 1);
      if (!out.copy(dist + 1, len)) return Result::BadData;
    }
    return Result::Ok;
  }

 private:
  bool read_pt_len(int nn, int nbit, int special) {
    int n = static_cast<int>(br_.get(nbit));
    if (n == 0) {
      int c = static_cast<int>(br_.get(nbit));
      if (c >= nn) return false;
      p_or_t(nn).set_single(c);
      return true;
    }
    if (n > nn) return false;
    uint8_t lens[kNT > kNP ? kNT : kNP] = {};
    int i = 0;
    while (i < n) {
      uint32_t v = br_.peek(16);
      int c = static_cast<int>(v >> 13);
      if (c == 7) {
        for (uint32_t mask = 1u << 12; mask & v; mask >>= 1) ++c;
        if (c > 16) return false;
      }
      br_.skip(c < 7 ? 3 : c - 3);
      lens[i++] = static_cast<uint8_t>(c);
      if (i == special) {
        int z = static_cast<int>(br_.get(2));
        while (z-- > 0 && i < nn) lens[i++] = 0;
      }
    }
    return p_or_t(nn).build(lens, nn);
  }
  bool read_c_len() {
    int n = static_cast<int>(br_.get(kCBit));
    if (n == 0) {
      int c = static_cast<int>(br_.get(kCBit));
      if (c >= kNC) return false;
      c_.set_single(c);
      return true;
    }
    if (n > kNC) return false;
    uint8_t lens[kNC] = {};
    int i = 0;
    while (i < n) {
      int c = t_.decode(br_);
      if (c < 0) return false;
      if (c <= 2) {
        int run = c == 0 ? 1 : c == 1 ? static_cast<int>(br_.get(4)) + 3 : static_cast<int>(br_.get(kCBit)) + 20;
        if (i + run > kNC) return false;
        while (run-- > 0) lens[i++] = 0;
      } else {
        lens[i++] = static_cast<uint8_t>(c - 2);
      }
    }
    return c_.build(lens, kNC);
  }
  // The length table of the position codes and that of the code-length codes
  // are read by the same routine; their sizes tell them apart.
  Huffman& p_or_t(int nn) { return nn == kNT ? t_ : p_; }

  BitReader& br_;
  uint32_t blockLeft_ = 0;
  Huffman c_, p_, t_;
};

Result decode_fast(BitReader& br, Output& out) {
  while (!out.done() && !out.stopped()) {
    if (br.exhausted() || br.read_failed()) return Result::Truncated;
    // Length: up to 7 one-bits pick a range, then as many bits give the offset in it.
    uint32_t plus = 0, pwr = 1;
    int width = 0;
    for (; width < 7; ++width) {
      if (!br.get(1)) break;
      plus += pwr;
      pwr <<= 1;
    }
    uint32_t c = br.get(width) + plus;
    if (c == 0) {
      out.put(static_cast<uint8_t>(br.get(8)));
      continue;
    }
    uint32_t len = c + 2;
    plus = 0;
    pwr = 1u << 9;
    width = 9;
    for (; width < 13; ++width) {
      if (!br.get(1)) break;
      plus += pwr;
      pwr <<= 1;
    }
    uint32_t dist = br.get(width) + plus;
    if (!out.copy(dist + 1, len)) return Result::BadData;
  }
  return Result::Ok;
}

}  // namespace

const char* result_text(Result r) {
  switch (r) {
    case Result::Ok: return "OK";
    case Result::Stopped: return "中断されました";
    case Result::BadData: return "圧縮データが壊れています";
    case Result::BadCrc: return "CRC が一致しません";
    case Result::Truncated: return "データが途中で切れています";
    case Result::Unsupported: return "未対応の圧縮方法です";
    case Result::Encrypted: return "暗号化されています";
  }
  return "";
}

Result extract(Source& src, const Entry& e, const Sink& sink) {
  if (e.is_dir()) return Result::Ok;
  if (e.flags & kGarbled) return Result::Encrypted;
  if (e.flags & (kVolume | kExtFile)) return Result::Unsupported;
  Output out(sink, e.original);
  Result r = Result::Ok;
  if (e.method == 0) {
    if (e.packed != e.original) return Result::BadData;
    uint8_t buf[16384];
    int64_t pos = e.dataPos;
    uint32_t left = e.packed;
    while (left && !out.stopped()) {
      size_t n = left < sizeof buf ? left : sizeof buf;
      if (!src.read_at(pos, buf, n)) return Result::Truncated;
      for (size_t i = 0; i < n; ++i) out.put(buf[i]);
      pos += static_cast<int64_t>(n);
      left -= static_cast<uint32_t>(n);
    }
  } else if (e.method >= 1 && e.method <= 3) {
    BitReader br(src, e.dataPos, e.packed);
    HuffDecoder d(br);
    r = d.run(out);
  } else if (e.method == 4) {
    BitReader br(src, e.dataPos, e.packed);
    r = decode_fast(br, out);
  } else {
    return Result::Unsupported;
  }
  out.flush();
  if (out.stopped()) return Result::Stopped;
  if (r != Result::Ok) return r;
  return out.crc() == e.crc ? Result::Ok : Result::BadCrc;
}

}  // namespace arj
