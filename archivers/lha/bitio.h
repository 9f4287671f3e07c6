// Bit reader and writer of the LHA codecs: most significant bit first, as
// the format stores its Huffman codes. The reader pulls bytes from a source
// and counts what it had to invent past the end, so a decoder can stop on a
// truncated stream instead of running on zeros for ever.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lha {

// Where compressed bytes come from; answers 0 at the end.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual size_t pull(uint8_t* buf, size_t cap) = 0;
};

// A source over a memory block.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  size_t pull(uint8_t* buf, size_t cap) override;

 private:
  const uint8_t* p_;
  size_t n_;
};

class BitReader {
 public:
  // buf: a block to read into that outlives the reader (one run lends the
  // same to every entry); without it the reader has its own.
  explicit BitReader(ByteSource& src, std::vector<uint8_t>* buf = nullptr)
      : src_(src), buf_(buf ? *buf : own_) {
    if (buf_.size() != kBuf) buf_.resize(kBuf);
  }

  // The next 16 bits without consuming them.
  uint32_t peek16() {
    if (count_ < 16) refill();
    return static_cast<uint32_t>(bits_ >> (count_ - 16)) & 0xFFFF;
  }
  void skip(unsigned n) {
    if (count_ < n) refill();
    count_ -= n;
  }
  uint32_t get(unsigned n) {
    if (n == 0) return 0;
    if (count_ < n) refill();
    count_ -= n;
    return static_cast<uint32_t>(bits_ >> count_) & ((1u << n) - 1);
  }
  // True once more than a few bytes past the end were consumed.
  bool overrun() const {
    uint64_t invented = static_cast<uint64_t>(padded_) * 8, unread = count_ < invented ? count_ : invented;
    return invented - unread > 64;
  }

 private:
  void refill();
  static constexpr size_t kBuf = 1 << 16;
  ByteSource& src_;
  std::vector<uint8_t> own_;
  std::vector<uint8_t>& buf_;
  size_t pos_ = 0, end_ = 0;
  uint64_t bits_ = 0;
  unsigned count_ = 0;   // valid bits in bits_
  uint64_t padded_ = 0;  // zero bytes invented past the end
};

// Where compressed bytes go; answers false when the write failed.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool put(const uint8_t* p, size_t n) = 0;
};

class BitWriter {
 public:
  explicit BitWriter(ByteSink& sink) : sink_(&sink) { out_.reserve(kBuf + 16); }
  // Starts a new stream into another sink, keeping the buffer.
  void restart(ByteSink& sink) {
    sink_ = &sink;
    out_.clear();
    bits_ = 0;
    count_ = 0;
    total_ = 0;
    ok_ = true;
  }
  void put(unsigned n, uint32_t v) {
    if (n == 0) return;
    bits_ = (bits_ << n) | (v & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
    count_ += n;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(bits_ >> count_));
    }
    if (out_.size() >= kBuf) flush_bytes();
  }
  // Pads the last byte with zero bits and no more, as the format's makers
  // do: some readers refuse a stream with bytes left after its last code.
  bool finish() {
    if (count_) put(8 - count_, 0);
    flush_bytes();
    return ok_;
  }
  uint64_t written() const { return total_ + out_.size(); }
  bool ok() const { return ok_; }

 private:
  void flush_bytes() {
    if (!out_.empty() && ok_) ok_ = sink_->put(out_.data(), out_.size());
    total_ += out_.size();
    out_.clear();
  }
  static constexpr size_t kBuf = 1 << 16;
  ByteSink* sink_;
  std::vector<uint8_t> out_;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
  uint64_t total_ = 0;
  bool ok_ = true;
};

}  // namespace lha
