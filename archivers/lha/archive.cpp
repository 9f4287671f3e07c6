#include "archive.h"

#include <algorithm>
#include <cstring>

#include "crc16.h"
#include "decoder.h"
#include "encoder.h"
#include "peimage.h"
#include "text.h"

namespace lha {
namespace {

// Reads through a block cache, so that walking many small headers costs few
// system calls.
class CachedReader {
 public:
  CachedReader(fsio::File& f, uint64_t size) : f_(f), size_(size) {}
  bool read(uint64_t off, size_t n, uint8_t* out) {
    if (off + n > size_) return false;
    if (off < base_ || off + n > base_ + cache_.size()) {
      size_t want = std::max<size_t>(n, 1 << 16);
      if (off + want > size_) want = static_cast<size_t>(size_ - off);
      cache_.resize(want);
      if (!f_.seek(static_cast<int64_t>(off)) || !f_.read_exact(cache_.data(), static_cast<int64_t>(want))) {
        cache_.clear();
        return false;
      }
      base_ = off;
    }
    std::memcpy(out, cache_.data() + (off - base_), n);
    return true;
  }

 private:
  fsio::File& f_;
  uint64_t size_;
  uint64_t base_ = 0;
  std::vector<uint8_t> cache_;
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// Gathers the bytes of the header at off. Truncated when the file ends first.
HeaderStatus gather(CachedReader& rd, uint64_t off, uint64_t fileSize, std::vector<uint8_t>& h, std::string& why) {
  uint64_t left = fileSize - off;
  uint8_t head[32] = {};
  size_t n = static_cast<size_t>(std::min<uint64_t>(32, left));
  if (!rd.read(off, n, head)) {
    why = "cannot read the header";
    return HeaderStatus::Truncated;
  }
  if (n < 22 || (head[20] == 3 && n < 32)) {
    why = "header cut short";
    return HeaderStatus::Truncated;
  }
  size_t total = static_cast<size_t>(head[0]) + 2;
  if (head[20] == 2) total = le16(head);
  if (head[20] == 3) {
    uint32_t declared = le32(head + 24);
    if (declared > (1u << 20)) {
      why = "header too large";
      return HeaderStatus::Broken;
    }
    total = declared;
  }
  if (head[20] > 3) total = n;
  if (total > left) {
    why = "header cut short";
    return HeaderStatus::Truncated;
  }
  // Two bytes more for a level-2 header whose maker gave its size short.
  if (head[20] == 2) total = static_cast<size_t>(std::min<uint64_t>(total + 2, left));
  h.resize(total);
  if (!rd.read(off, total, h.data())) return HeaderStatus::Truncated;
  if (head[20] == 1 && total >= 27) {
    // Level 1: the extended headers follow, each giving the next one's size.
    uint64_t skip = le32(h.data() + 7);
    size_t size = le16(h.data() + total - 2);
    uint64_t extTotal = 0;
    unsigned count = 0;
    while (size) {
      extTotal += size;
      if (size < 3 || extTotal > skip || ++count > 4096 || h.size() + size > left) {
        why = h.size() + size > left ? "header cut short" : "extended headers broken";
        return h.size() + size > left ? HeaderStatus::Truncated : HeaderStatus::Broken;
      }
      size_t at = h.size();
      h.resize(at + size);
      if (!rd.read(off + at, size, h.data() + at)) return HeaderStatus::Truncated;
      size = le16(h.data() + at + size - 2);
    }
  }
  return HeaderStatus::Ok;
}

bool valid_at(CachedReader& rd, uint64_t off, uint64_t fileSize) {
  std::vector<uint8_t> h;
  std::string why;
  if (gather(rd, off, fileSize, h, why) != HeaderStatus::Ok) return false;
  Entry e;
  return parse_header(h.data(), h.size(), e, why) == HeaderStatus::Ok;
}

bool find_start(fsio::File& f, uint64_t size, Archive& a) {
  CachedReader rd(f, size);
  uint8_t first[2] = {};
  if (size < 2 || !rd.read(0, 2, first)) return false;
  if (first[0] != 'M' || first[1] != 'Z') {
    if (first[0] == 0 && size <= 2) return false;
    a.start = 0;
    return valid_at(rd, 0, size);
  }
  uint64_t pe = program_end(f);
  if (pe == 0 || pe >= size) return false;
  uint8_t magic[kSfxBlock];
  if (pe + kSfxBlock <= size && rd.read(pe, kSfxBlock, magic) && std::memcmp(magic, kSfxMagic, 8) == 0 &&
      valid_at(rd, pe + kSfxBlock, size)) {
    a.sfxStart = pe;
    a.sfxOptions = le32(magic + 8);
    a.start = pe + kSfxBlock;
    return true;
  }
  // Another maker's program: the archive starts where the image ends. An
  // LZH further in is a member of whatever archive lies there.
  a.start = pe;
  return valid_at(rd, pe, size);
}

class FileSource : public ByteSource {
 public:
  FileSource(fsio::File& f, uint64_t left) : f_(f), left_(left) {}
  size_t pull(uint8_t* buf, size_t cap) override {
    if (left_ == 0) return 0;
    if (cap > left_) cap = static_cast<size_t>(left_);
    int64_t got = f_.read(buf, static_cast<int64_t>(cap));
    if (got <= 0) {
      left_ = 0;
      return 0;
    }
    left_ -= static_cast<uint64_t>(got);
    return static_cast<size_t>(got);
  }

 private:
  fsio::File& f_;
  uint64_t left_;
};

class VectorSink : public ByteSink {
 public:
  VectorSink(std::vector<uint8_t>& v, size_t cap) : v_(v), cap_(cap) {}
  bool put(const uint8_t* p, size_t n) override {
    if (v_.size() + n > cap_) return false;
    v_.insert(v_.end(), p, p + n);
    return true;
  }

 private:
  std::vector<uint8_t>& v_;
  size_t cap_;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(fsio::File& f) : f_(f) {}
  bool put(const uint8_t* p, size_t n) override { return f_.write(p, static_cast<int64_t>(n)); }

 private:
  fsio::File& f_;
};

}  // namespace

uint64_t program_end(fsio::File& f) { return peimage::image_end(f); }

OpenResult open_archive(const std::string& path, Archive& a) {
  a = Archive{};
  a.file = fsio::open_read(path);
  if (!a.file) return OpenResult::CannotOpen;
  int64_t size = a.file->size();
  if (size < 0) return OpenResult::CannotOpen;
  a.size = static_cast<uint64_t>(size);
  if (!find_start(*a.file, a.size, a)) return OpenResult::NotArchive;
  CachedReader rd(*a.file, a.size);
  uint64_t off = a.start;
  std::vector<uint8_t> h;
  while (true) {
    if (off >= a.size) break;  // no end mark: some makers leave it out
    uint8_t b = 0;
    if (!rd.read(off, 1, &b)) break;
    if (b == 0) break;
    std::string why;
    HeaderStatus st = gather(rd, off, a.size, h, why);
    Entry e;
    if (st == HeaderStatus::Ok) st = parse_header(h.data(), h.size(), e, why);
    if (st == HeaderStatus::End) break;
    if (st != HeaderStatus::Ok) {
      a.damaged = true;
      a.why = why;
      break;
    }
    e.offset = off;
    uint64_t next = e.data_offset() + e.packed;
    if (e.data_offset() > a.size || e.packed > a.size - e.data_offset()) {
      a.damaged = true;
      a.why = "entry data cut short: " + e.path;
      break;
    }
    a.entries.push_back(std::move(e));
    off = next;
  }
  a.end = off;
  return OpenResult::Ok;
}

bool is_archive(const std::string& path) {
  auto f = fsio::open_read(path);
  if (!f) return false;
  int64_t size = f->size();
  if (size <= 0) return false;
  Archive a;
  return find_start(*f, static_cast<uint64_t>(size), a);
}

DecodeResult decode_entry(fsio::File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink,
                          uint64_t limit, DecodeBuffers* lent) {
  if (e.dir || e.link) return DecodeResult::Ok;
  if (!is_supported(e.method)) return DecodeResult::Unsupported;
  if (!f.seek(static_cast<int64_t>(e.data_offset()))) return DecodeResult::Damaged;
  FileSource src(f, e.packed);
  auto dec = make_decoder(e.method, src, e.original, lent);
  if (!dec) return DecodeResult::Unsupported;
  std::vector<uint8_t> ownBuf;
  std::vector<uint8_t>& buf = lent ? lent->out : ownBuf;
  if (buf.size() != (1 << 16)) buf.resize(1 << 16);
  uint64_t total = 0;
  uint16_t crc = 0;
  uint64_t want = std::min(limit, e.original);
  while (total < want) {
    size_t n = dec->read(buf.data(), static_cast<size_t>(std::min<uint64_t>(buf.size(), want - total)));
    if (n == 0) break;
    crc = crc16(crc, buf.data(), n);
    total += n;
    if (!sink(buf.data(), n)) return DecodeResult::WriteFailed;
  }
  if (total < want || (dec->failed() && total < e.original)) return DecodeResult::Damaged;
  if (want == e.original && crc != e.crc) return DecodeResult::CrcError;
  return DecodeResult::Ok;
}

DecodeResult extract_file(fsio::File& f, const Entry& e, fsio::Placer& placer, const std::string& target, bool there,
                          uint32_t attrs, fsio::PlaceError* why, DecodeBuffers* lent) {
  fsio::PlaceError ignored;
  if (!why) why = &ignored;
  auto out = placer.begin(target, there);
  if (!out) {
    *why = placer.error();
    return DecodeResult::WriteFailed;
  }
  DecodeResult r =
      decode_entry(f, e, [&](const uint8_t* p, size_t n) { return out->write(p, static_cast<int64_t>(n)); },
                   UINT64_MAX, lent);
  if (r == DecodeResult::Ok &&
      !(out->finish(e.unixTime >= 0 ? e.unixTime : arc::dos_to_unix(e.dosTime), attrs) && out->commit()))
    r = DecodeResult::WriteFailed;
  if (r != DecodeResult::Ok) {
    *why = out->error();
    out->discard();
  }
  return r;
}

const char* describe(DecodeResult r) {
  switch (r) {
    case DecodeResult::Ok: return "ok";
    case DecodeResult::Unsupported: return "unknown method";
    case DecodeResult::Damaged: return "data damaged or cut short";
    case DecodeResult::CrcError: return "CRC error";
    case DecodeResult::WriteFailed: return "cannot write";
  }
  return "";
}

std::string method_name(int level) {
  switch (level) {
    case 0: return "-lh0-";
    case 6: return "-lh6-";
    case 7: return "-lh7-";
    default: return "-lh5-";
  }
}

bool Writer::open(const std::string& path) {
  owned_ = fsio::open_write(path);
  f_ = owned_.get();
  pos_ = 0;
  return f_ != nullptr;
}

void Writer::open(fsio::File& f) {
  owned_.reset();
  f_ = &f;
  pos_ = 0;
}

bool Writer::flush() {
  if (!f_) return false;
  bool ok = pending_.empty() || f_->write(pending_.data(), static_cast<int64_t>(pending_.size()));
  pending_.clear();
  return ok;
}

bool Writer::write_bytes(const void* p, size_t n) {
  if (!f_) return false;
  const uint8_t* b = static_cast<const uint8_t*>(p);
  pos_ += n;
  if (n >= (1u << 16)) return flush() && f_->write(b, static_cast<int64_t>(n));
  pending_.insert(pending_.end(), b, b + n);
  return pending_.size() < (1u << 16) || flush();
}

bool Writer::copy_entry(fsio::File& src, const Entry& e, const std::string* newPath) {
  std::vector<uint8_t> head;
  if (newPath) {
    Entry c = e;
    c.path = *newPath;
    if (c.unixTime < 0) c.unixTime = arc::dos_to_unix(c.dosTime);
    head = build_header(c);
    if (head.empty()) return false;
  } else {
    head.resize(e.headerSize);
    if (!src.seek(static_cast<int64_t>(e.offset)) || !src.read_exact(head.data(), e.headerSize)) return false;
  }
  if (!write_bytes(head.data(), head.size())) return false;
  if (!src.seek(static_cast<int64_t>(e.data_offset()))) return false;
  std::vector<uint8_t> buf(1 << 16);
  uint64_t left = e.packed;
  while (left) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
    if (!src.read_exact(buf.data(), static_cast<int64_t>(n)) || !write_bytes(buf.data(), n)) return false;
    left -= n;
  }
  return true;
}

bool Writer::add_folder(Entry& e) {
  e.method = "-lhd-";
  e.dir = true;
  e.packed = e.original = 0;
  e.crc = 0;
  e.attr |= 0x10;
  auto head = build_header(e);
  return !head.empty() && write_bytes(head.data(), head.size());
}

Encoder& Writer::encoder(unsigned windowBits, ByteSink& sink) {
  if (enc_ && encBits_ == windowBits) {
    enc_->restart(sink);
  } else {
    enc_ = make_lzh_encoder(windowBits, sink);
    encBits_ = windowBits;
  }
  return *enc_;
}

bool Writer::add_file(const std::string& source, Entry& e, int level, std::string& why) {
  auto in = fsio::open_read(source);
  if (!in) {
    why = "cannot open";
    return false;
  }
  int64_t size = in->size();
  if (size < 0) {
    why = "cannot read";
    return false;
  }
  e.original = static_cast<uint64_t>(size);
  e.dir = false;
  unsigned wb = level == 0 ? 0 : window_bits(method_name(level));
  constexpr int64_t kInMemory = 32 << 20;
  std::vector<uint8_t> data;
  if (wb && size > 0 && size <= kInMemory) {
    // Small enough to try both ways and keep whichever is shorter.
    data.resize(static_cast<size_t>(size));
    if (!in->read_exact(data.data(), size)) {
      why = "cannot read";
      return false;
    }
    e.crc = crc16(0, data.data(), data.size());
    std::vector<uint8_t> packed;
    packed.reserve(data.size() / 2);
    VectorSink sink(packed, data.size());
    Encoder& enc = encoder(wb, sink);
    bool fits = enc.write(data.data(), data.size()) && enc.finish();
    const std::vector<uint8_t>& body = fits && packed.size() < data.size() ? packed : data;
    e.method = &body == &packed ? method_name(level) : "-lh0-";
    e.packed = body.size();
    auto head = build_header(e);
    if (head.empty()) {
      why = "name too long";
      return false;
    }
    if (!write_bytes(head.data(), head.size()) || !write_bytes(body.data(), body.size())) {
      why = "cannot write the archive";
      return false;
    }
    return true;
  }
  // Stored, empty, or large: stream, then fill in the header.
  e.method = wb && size > 0 ? method_name(level) : "-lh0-";
  e.packed = e.original;
  e.crc = 0;
  uint64_t headAt = pos_;
  auto head = build_header(e);
  if (head.empty()) {
    why = "name too long";
    return false;
  }
  if (!write_bytes(head.data(), head.size())) {
    why = "cannot write the archive";
    return false;
  }
  if (!flush()) {
    why = "cannot write the archive";
    return false;
  }
  std::vector<uint8_t> buf(1 << 16);
  uint16_t crc = 0;
  uint64_t dataAt = pos_;
  FileSink sink(*f_);
  Encoder* enc = e.method == "-lh0-" ? nullptr : &encoder(wb, sink);
  int64_t left = size;
  while (left > 0) {
    int64_t got = in->read(buf.data(), std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
    if (got <= 0) {
      why = "cannot read";
      return false;
    }
    crc = crc16(crc, buf.data(), static_cast<size_t>(got));
    bool ok = enc ? enc->write(buf.data(), static_cast<size_t>(got)) : f_->write(buf.data(), got);
    if (!enc) pos_ += static_cast<uint64_t>(got);
    if (!ok) {
      why = "cannot write the archive";
      return false;
    }
    left -= got;
  }
  if (enc) {
    if (!enc->finish()) {
      why = "cannot write the archive";
      return false;
    }
    pos_ = dataAt + enc->compressed();
  }
  e.packed = pos_ - dataAt;
  e.crc = crc;
  auto fixed = build_header(e);
  if (fixed.size() != head.size() || !f_->seek(static_cast<int64_t>(headAt)) ||
      !f_->write(fixed.data(), static_cast<int64_t>(fixed.size())) || !f_->seek(static_cast<int64_t>(pos_))) {
    why = "cannot write the archive";
    return false;
  }
  return true;
}

bool Writer::finish() {
  uint8_t zero = 0;
  bool ok = write_bytes(&zero, 1) && flush();
  f_ = nullptr;
  owned_.reset();
  return ok;
}

}  // namespace lha
