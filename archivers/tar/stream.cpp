#include "stream.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "bzip2.h"
#include "lzw.h"

namespace tarx {

bool InStream::skip(uint64_t n) {
  uint8_t buf[1 << 15];
  while (n) {
    size_t k = n < sizeof buf ? static_cast<size_t>(n) : sizeof buf;
    size_t got = read(buf, k);
    if (got == 0) return false;
    n -= got;
  }
  return true;
}

bool InStream::read_exact(uint8_t* p, size_t n) {
  while (n) {
    size_t got = read(p, n);
    if (got == 0) return false;
    p += got;
    n -= got;
  }
  return true;
}

Codec sniff(const uint8_t* p, size_t n) {
  if (n >= 2 && p[0] == 0x1F && p[1] == 0x8B) return Codec::Gzip;
  if (bz2::is_bzip2(p, n)) return Codec::Bzip2;
  if (lzw::is_compress(p, n)) return Codec::Compress;
  return Codec::None;
}

const char* error_text(StreamError e) {
  switch (e) {
    case StreamError::Corrupt: return "データが壊れています";
    case StreamError::Truncated: return "データが途中で切れています";
    case StreamError::Io: return "読み込みに失敗しました";
    default: return "";
  }
}

namespace {

// Raw bytes with a small look-ahead pushed back in front (the sniffed header).
class Raw {
 public:
  virtual ~Raw() = default;
  virtual size_t read(uint8_t* p, size_t n) = 0;  // 0 at the end
  virtual bool seek_forward(uint64_t) { return false; }
  virtual int64_t pos() = 0;
  bool ioError = false;
};

class FileRaw : public Raw {
 public:
  explicit FileRaw(std::unique_ptr<fsio::File> f) : f_(std::move(f)) {}
  size_t read(uint8_t* p, size_t n) override {
    int64_t got = f_->read(p, static_cast<int64_t>(n));
    if (got < 0) {
      ioError = true;
      return 0;
    }
    pos_ += got;
    return static_cast<size_t>(got);
  }
  bool seek_forward(uint64_t n) override {
    int64_t size = f_->size();
    if (size < 0 || static_cast<uint64_t>(size - pos_) < n) return false;
    if (!f_->seek(pos_ + static_cast<int64_t>(n))) return false;
    pos_ += static_cast<int64_t>(n);
    return true;
  }
  int64_t pos() override { return pos_; }

 private:
  std::unique_ptr<fsio::File> f_;
  int64_t pos_ = 0;
};

class MemRaw : public Raw {
 public:
  MemRaw(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  size_t read(uint8_t* p, size_t n) override {
    size_t k = n_ - pos_ < n ? n_ - pos_ : n;
    if (k) std::memcpy(p, p_ + pos_, k);
    pos_ += k;
    return k;
  }
  bool seek_forward(uint64_t n) override {
    if (n > n_ - pos_) return false;
    pos_ += static_cast<size_t>(n);
    return true;
  }
  int64_t pos() override { return static_cast<int64_t>(pos_); }

 private:
  const uint8_t* p_;
  size_t n_, pos_ = 0;
};

// The first bytes, read for sniffing, then the rest.
class Prefixed {
 public:
  explicit Prefixed(std::unique_ptr<Raw> r) : raw(std::move(r)) {
    head.resize(16);
    size_t got = 0;
    while (got < head.size()) {
      size_t k = raw->read(head.data() + got, head.size() - got);
      if (!k) break;
      got += k;
    }
    head.resize(got);
  }
  size_t read(uint8_t* p, size_t n) {
    if (headPos < head.size()) {
      size_t k = head.size() - headPos < n ? head.size() - headPos : n;
      std::memcpy(p, head.data() + headPos, k);
      headPos += k;
      return k;
    }
    return raw->read(p, n);
  }
  std::unique_ptr<Raw> raw;
  std::vector<uint8_t> head;
  size_t headPos = 0;
};

class PlainIn : public InStream {
 public:
  explicit PlainIn(std::unique_ptr<Prefixed> s) : s_(std::move(s)) {}
  size_t read(uint8_t* p, size_t n) override {
    size_t got = s_->read(p, n);
    if (!got && s_->raw->ioError) error_ = StreamError::Io;
    return got;
  }
  bool skip(uint64_t n) override {
    size_t inHead = s_->head.size() - s_->headPos;
    if (n <= inHead) {
      s_->headPos += static_cast<size_t>(n);
      return true;
    }
    s_->headPos = s_->head.size();
    if (s_->raw->seek_forward(n - inHead)) return true;
    // Past the end: a truncated archive.
    error_ = StreamError::Truncated;
    return false;
  }
  int64_t raw_position() override { return s_->raw->pos(); }

 private:
  std::unique_ptr<Prefixed> s_;
};

class GzipIn : public InStream {
  static constexpr size_t kChunk = 1 << 16;

 public:
  explicit GzipIn(std::unique_ptr<Prefixed> s) : s_(std::move(s)), buf_(kChunk + 2) {
    std::memset(&z_, 0, sizeof z_);
    ok_ = inflateInit2(&z_, 16 + MAX_WBITS) == Z_OK;
    if (!ok_) error_ = StreamError::Corrupt;
  }
  ~GzipIn() override {
    if (ok_) inflateEnd(&z_);
  }
  size_t read(uint8_t* p, size_t n) override {
    if (done_ || error_ != StreamError::None) return 0;
    z_.next_out = p;
    z_.avail_out = static_cast<uInt>(n > (1u << 30) ? (1u << 30) : n);
    uInt want = z_.avail_out;
    while (z_.avail_out == want) {
      if (z_.avail_in == 0) {
        size_t got = s_->read(buf_.data(), kChunk);
        if (!got) {
          error_ = s_->raw->ioError ? StreamError::Io : StreamError::Truncated;
          break;
        }
        z_.next_in = buf_.data();
        z_.avail_in = static_cast<uInt>(got);
      }
      int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        // Another member may follow; anything else after the end is ignored.
        if (!next_member()) {
          done_ = true;
          break;
        }
        continue;
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) {
        error_ = StreamError::Corrupt;
        break;
      }
      if (rc == Z_BUF_ERROR && z_.avail_in != 0) {
        error_ = StreamError::Corrupt;
        break;
      }
    }
    return want - z_.avail_out;
  }
  int64_t raw_position() override { return s_->raw->pos(); }

 private:
  bool next_member() {
    uint8_t m[2];
    size_t have = 0;
    while (have < 2) {
      if (z_.avail_in == 0) {
        size_t got = s_->read(buf_.data(), kChunk);
        if (!got) return false;
        z_.next_in = buf_.data();
        z_.avail_in = static_cast<uInt>(got);
      }
      m[have++] = *z_.next_in;
      z_.next_in++;
      z_.avail_in--;
    }
    if (m[0] != 0x1F || m[1] != 0x8B) return false;
    // Put the magic back in front of the remaining input.
    std::vector<uint8_t> rest(z_.next_in, z_.next_in + z_.avail_in);
    buf_[0] = 0x1F;
    buf_[1] = 0x8B;
    std::memcpy(buf_.data() + 2, rest.data(), rest.size());
    z_.next_in = buf_.data();
    z_.avail_in = static_cast<uInt>(rest.size() + 2);
    return inflateReset(&z_) == Z_OK;
  }
  std::unique_ptr<Prefixed> s_;
  std::vector<uint8_t> buf_;
  z_stream z_;
  bool ok_ = false, done_ = false;
};

class Bz2In : public InStream {
 public:
  explicit Bz2In(std::unique_ptr<Prefixed> s)
      : s_(std::move(s)), d_([this](uint8_t* b, size_t cap) { return s_->read(b, cap); }) {}
  size_t read(uint8_t* p, size_t n) override {
    size_t got = d_.read(p, n);
    if (!got) {
      if (s_->raw->ioError) error_ = StreamError::Io;
      else if (d_.result() == bz2::Result::Corrupt) error_ = StreamError::Corrupt;
      else if (d_.result() != bz2::Result::Ok || !d_.finished()) error_ = StreamError::Truncated;
    }
    return got;
  }
  int64_t raw_position() override { return s_->raw->pos(); }

 private:
  std::unique_ptr<Prefixed> s_;
  bz2::Decoder d_;
};

class LzwIn : public InStream {
 public:
  explicit LzwIn(std::unique_ptr<Prefixed> s)
      : s_(std::move(s)), d_([this](uint8_t* b, size_t cap) { return s_->read(b, cap); }) {}
  size_t read(uint8_t* p, size_t n) override {
    size_t got = d_.read(p, n);
    if (!got) {
      if (s_->raw->ioError) error_ = StreamError::Io;
      else if (d_.result() == lzw::Result::Corrupt) error_ = StreamError::Corrupt;
      else if (d_.result() == lzw::Result::Truncated) error_ = StreamError::Truncated;
    }
    return got;
  }
  int64_t raw_position() override { return s_->raw->pos(); }

 private:
  std::unique_ptr<Prefixed> s_;
  lzw::Decoder d_;
};

std::unique_ptr<InStream> make_in(std::unique_ptr<Raw> raw, Codec* codec) {
  auto pre = std::make_unique<Prefixed>(std::move(raw));
  Codec c = sniff(pre->head.data(), pre->head.size());
  if (codec) *codec = c;
  switch (c) {
    case Codec::Gzip: return std::make_unique<GzipIn>(std::move(pre));
    case Codec::Bzip2: return std::make_unique<Bz2In>(std::move(pre));
    case Codec::Compress: return std::make_unique<LzwIn>(std::move(pre));
    default: return std::make_unique<PlainIn>(std::move(pre));
  }
}

// ---- writing ----

class FileOut : public OutStream {
 public:
  explicit FileOut(fsio::File& f) : f_(f) {}
  bool write(const uint8_t* p, size_t n) override {
    if (!ok_) return false;
    if (buf_.size() + n > (1u << 18)) {
      if (!flush()) return false;
      if (n >= (1u << 18)) return ok_ = f_.write(p, static_cast<int64_t>(n));
    }
    buf_.insert(buf_.end(), p, p + n);
    return true;
  }
  bool finish() override { return flush(); }

 private:
  bool flush() {
    if (ok_ && !buf_.empty()) ok_ = f_.write(buf_.data(), static_cast<int64_t>(buf_.size()));
    buf_.clear();
    return ok_;
  }
  fsio::File& f_;
  std::vector<uint8_t> buf_;
  bool ok_ = true;
};

class GzipOut : public OutStream {
 public:
  GzipOut(std::unique_ptr<OutStream> out, int level, const std::string& name, int64_t mtime)
      : out_(std::move(out)), name_(name), buf_(1 << 16) {
    std::memset(&z_, 0, sizeof z_);
    ok_ = deflateInit2(&z_, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    inited_ = ok_;
    if (ok_) {
      std::memset(&h_, 0, sizeof h_);
      h_.time = mtime > 0 && mtime < 0xFFFFFFFFll ? static_cast<uLong>(mtime) : 0;
      h_.os = 0;  // FAT file system
      if (!name_.empty()) h_.name = reinterpret_cast<Bytef*>(name_.data());
      deflateSetHeader(&z_, &h_);
    }
  }
  ~GzipOut() override {
    if (inited_) deflateEnd(&z_);
  }
  bool write(const uint8_t* p, size_t n) override { return run(p, n, Z_NO_FLUSH); }
  bool finish() override { return run(nullptr, 0, Z_FINISH) && out_->finish(); }

 private:
  bool run(const uint8_t* p, size_t n, int flush) {
    if (!ok_) return false;
    z_.next_in = const_cast<Bytef*>(p);
    z_.avail_in = static_cast<uInt>(n);
    for (;;) {
      z_.next_out = buf_.data();
      z_.avail_out = static_cast<uInt>(buf_.size());
      int rc = deflate(&z_, flush);
      if (rc == Z_STREAM_ERROR) return ok_ = false;
      size_t have = buf_.size() - z_.avail_out;
      if (have && !out_->write(buf_.data(), have)) return ok_ = false;
      if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) break;
    }
    return true;
  }
  std::unique_ptr<OutStream> out_;
  std::string name_;
  std::vector<uint8_t> buf_;
  z_stream z_;
  gz_header h_;
  bool ok_ = false, inited_ = false;
};

class Bz2Out : public OutStream {
 public:
  Bz2Out(std::unique_ptr<OutStream> out, int level)
      : out_(std::move(out)), e_([this](const uint8_t* d, size_t k) { return out_->write(d, k); }, level) {}
  bool write(const uint8_t* p, size_t n) override { return e_.write(p, n); }
  bool finish() override { return e_.finish() && out_->finish(); }

 private:
  std::unique_ptr<OutStream> out_;
  bz2::Encoder e_;
};

}  // namespace

std::unique_ptr<InStream> open_in(const std::string& path, Codec* codec, int64_t* fileSize) {
  auto f = fsio::open_read(path);
  if (!f) return nullptr;
  if (fileSize) *fileSize = f->size();
  return make_in(std::make_unique<FileRaw>(std::move(f)), codec);
}

std::unique_ptr<InStream> decode_memory(const uint8_t* p, size_t n, Codec* codec) {
  return make_in(std::make_unique<MemRaw>(p, n), codec);
}

std::unique_ptr<OutStream> open_out(fsio::File& f, Codec codec, int level, const std::string& gzName,
                                    int64_t gzMtime) {
  std::unique_ptr<OutStream> out = std::make_unique<FileOut>(f);
  if (level < 1 || level > 9) level = codec == Codec::Bzip2 ? 9 : 6;
  if (codec == Codec::Gzip) return std::make_unique<GzipOut>(std::move(out), level, gzName, gzMtime);
  if (codec == Codec::Bzip2) return std::make_unique<Bz2Out>(std::move(out), level);
  return out;
}

}  // namespace tarx
