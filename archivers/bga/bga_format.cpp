#include "bga_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "bzip2.h"
#include "peimage.h"
#include "text.h"

namespace bga {

const char* method_tag(Method m) { return m == Method::Deflate ? "DEFL" : m == Method::Bzip2 ? "BZP2" : "STOR"; }
const char* method_text(Method m) { return m == Method::Deflate ? "GZIP" : m == Method::Bzip2 ? "BZIP2" : "STORE"; }

namespace {

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) { return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16); }

uint16_t sum(const uint8_t* p, size_t n) {
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<uint16_t>(s);
}

}  // namespace

std::vector<uint8_t> encode_header(const Entry& e) {
  std::vector<uint8_t> h(kHeaderSize + e.name.size(), 0);
  std::memcpy(&h[2], method_tag(e.method), 4);
  put32(&h[6], e.packed);
  put32(&h[10], e.size);
  put32(&h[14], e.crc);
  put16(&h[18], e.time);
  put16(&h[20], e.date);
  put16(&h[22], e.attribs);
  put16(&h[24], e.flags);
  put16(&h[26], static_cast<uint32_t>(e.name.size()));
  std::memcpy(&h[kHeaderSize], e.name.data(), e.name.size());
  put16(&h[0], sum(&h[2], h.size() - 2));
  return h;
}

long decode_header(const uint8_t* p, size_t n, Entry& e) {
  if (n < kHeaderSize) return 0;
  Method m;
  if (!std::memcmp(p + 2, "DEFL", 4)) m = Method::Deflate;
  else if (!std::memcmp(p + 2, "BZP2", 4)) m = Method::Bzip2;
  else if (!std::memcmp(p + 2, "STOR", 4)) m = Method::Store;
  else return 0;
  size_t nameLen = get16(p + 26);
  if (nameLen == 0 || nameLen > kMaxName) return 0;
  if (n < kHeaderSize + nameLen) return -1;
  if (sum(p + 2, kHeaderSize + nameLen - 2) != get16(p)) return 0;
  e.method = m;
  e.packed = get32(p + 6);
  e.size = get32(p + 10);
  e.crc = get32(p + 14);
  e.time = get16(p + 18);
  e.date = get16(p + 20);
  e.attribs = get16(p + 22);
  e.flags = get16(p + 24);
  e.name.assign(reinterpret_cast<const char*>(p + kHeaderSize), nameLen);
  if (m == Method::Store && e.packed != e.size) return 0;
  return static_cast<long>(kHeaderSize + nameLen);
}

int64_t find_archive(fsio::File& f) {
  int64_t size = f.size();
  if (size < static_cast<int64_t>(kHeaderSize)) return -1;
  uint8_t h[kHeaderSize + kMaxName];
  auto valid_at = [&](int64_t pos) {
    if (pos < 0 || pos + static_cast<int64_t>(kHeaderSize) > size || !f.seek(pos)) return false;
    size_t n = static_cast<size_t>(std::min<int64_t>(sizeof h, size - pos));
    if (!f.read_exact(h, static_cast<int64_t>(n))) return false;
    Entry e;
    return decode_header(h, n, e) > 0;
  };
  if (valid_at(0)) return 0;
  // A self-extractor: the archive follows the program's image.
  int64_t end = static_cast<int64_t>(peimage::image_end(f));
  return end > 0 && valid_at(end) ? end : -1;
}

bool read_archive(const std::string& path, Archive& a, std::string& err) {
  a = Archive{};
  auto f = fsio::open_read(path);
  if (!f) {
    err = "cannot open " + path;
    return false;
  }
  int64_t size = f->size();
  if (size == 0) return true;  // every entry deleted
  int64_t pos = find_archive(*f);
  if (pos < 0) {
    err = "not a GZA/BZA archive";
    return false;
  }
  a.start = pos;
  // Headers are read through a window so that a long archive takes few reads.
  std::vector<uint8_t> win;
  int64_t winPos = 0;
  while (pos < size) {
    if (pos < winPos || pos + static_cast<int64_t>(kHeaderSize + kMaxName) > winPos + static_cast<int64_t>(win.size())) {
      size_t n = static_cast<size_t>(std::min<int64_t>(1 << 16, size - pos));
      win.resize(n);
      if (!f->seek(pos) || !f->read_exact(win.data(), static_cast<int64_t>(n))) {
        err = "cannot read " + path;
        return false;
      }
      winPos = pos;
    }
    size_t off = static_cast<size_t>(pos - winPos);
    Entry e;
    long hl = decode_header(&win[off], win.size() - off, e);
    if (hl == -1 || (hl == 0 && size - pos < static_cast<int64_t>(kHeaderSize))) {
      err = "truncated archive (header at " + std::to_string(pos) + ")";
      return false;
    }
    if (hl == 0) {
      err = "damaged header at " + std::to_string(pos);
      return false;
    }
    e.dataPos = pos + hl;
    if (e.dataPos + static_cast<int64_t>(e.packed) > size) {
      err = "truncated archive (" + e.name + ")";
      return false;
    }
    pos = e.dataPos + e.packed;
    a.entries.push_back(std::move(e));
  }
  return true;
}

bool read_entry(fsio::File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink,
                std::string& err) {
  if (!f.seek(e.dataPos)) {
    err = "cannot read data";
    return false;
  }
  uint64_t left = e.packed, produced = 0;
  uint32_t crc = 0;
  std::vector<uint8_t> in(1 << 16), out(1 << 16);
  auto emit = [&](const uint8_t* p, size_t n) -> bool {
    produced += n;
    if (produced > e.size) {
      err = "data longer than its size";
      return false;
    }
    crc = arc::crc32(crc, p, n);
    if (!sink(p, n)) {
      err = "cannot write";
      return false;
    }
    return true;
  };
  auto pull = [&](uint8_t* buf, size_t cap) -> size_t {
    size_t k = static_cast<size_t>(std::min<uint64_t>(cap, left));
    if (k == 0 || !f.read_exact(buf, static_cast<int64_t>(k))) return 0;
    left -= k;
    return k;
  };
  bool ok = true;
  if (e.method == Method::Store) {
    while (ok && left) {
      size_t k = pull(in.data(), in.size());
      if (!k) {
        err = "cannot read data";
        return false;
      }
      ok = emit(in.data(), k);
    }
  } else if (e.method == Method::Deflate) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
      err = "out of memory";
      return false;
    }
    int rc = Z_OK;
    while (ok && rc != Z_STREAM_END) {
      if (z.avail_in == 0) {
        size_t k = pull(in.data(), in.size());
        if (!k) break;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(k);
      }
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) break;
      ok = emit(out.data(), out.size() - z.avail_out);
    }
    inflateEnd(&z);
    if (ok && rc != Z_STREAM_END) {
      err = "damaged data";
      return false;
    }
  } else {
    bz2::Decoder d([&](uint8_t* b, size_t cap) { return pull(b, cap); });
    for (;;) {
      size_t k = d.read(out.data(), out.size());
      if (!k) break;
      if (!(ok = emit(out.data(), k))) break;
    }
    if (ok && (d.result() != bz2::Result::Ok || !d.finished())) {
      err = "damaged data";
      return false;
    }
  }
  if (!ok) return false;
  if (produced != e.size) {
    err = "data shorter than its size";
    return false;
  }
  if (crc != e.crc) {
    err = "CRC error";
    return false;
  }
  return true;
}

bool write_entry(fsio::File& out, Entry& e, int level, const std::function<int64_t(uint8_t*, size_t)>& src,
                 std::string& err) {
  int64_t headPos = out.tell();
  e.packed = e.size = e.crc = 0;
  if (headPos < 0 || !out.write(encode_header(e).data(), static_cast<int64_t>(kHeaderSize + e.name.size()))) {
    err = "cannot write";
    return false;
  }
  uint64_t packed = 0, size = 0;
  uint32_t crc = 0;
  auto sink = [&](const uint8_t* p, size_t n) -> bool {
    packed += n;
    return n == 0 || out.write(p, static_cast<int64_t>(n));
  };
  std::vector<uint8_t> in(1 << 16), buf(1 << 16);
  bool ok = true;
  auto next = [&]() -> int64_t {
    int64_t k = src(in.data(), in.size());
    if (k > 0) {
      size += static_cast<uint64_t>(k);
      crc = arc::crc32(crc, in.data(), static_cast<size_t>(k));
    }
    return k;
  };
  if (e.method == Method::Store) {
    for (int64_t k; ok && (k = next()) > 0;) ok = sink(in.data(), static_cast<size_t>(k));
  } else if (e.method == Method::Deflate) {
    z_stream z{};
    if (deflateInit2(&z, level < 1 || level > 9 ? 6 : level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      err = "out of memory";
      return false;
    }
    int flush = Z_NO_FLUSH;
    while (ok) {
      if (z.avail_in == 0 && flush == Z_NO_FLUSH) {
        int64_t k = next();
        if (k < 0) {
          ok = false;
          break;
        }
        if (k == 0) flush = Z_FINISH;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(k);
      }
      z.next_out = buf.data();
      z.avail_out = static_cast<uInt>(buf.size());
      int rc = deflate(&z, flush);
      ok = sink(buf.data(), buf.size() - z.avail_out);
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK && rc != Z_BUF_ERROR) ok = false;
    }
    deflateEnd(&z);
  } else {
    bz2::Encoder enc(sink, level < 1 || level > 9 ? 9 : level);
    for (int64_t k; ok && (k = next()) > 0;) ok = enc.write(in.data(), static_cast<size_t>(k));
    ok = enc.finish() && ok;
  }
  if (!ok || size > 0xFFFFFFFFull || packed > 0xFFFFFFFFull) {
    err = size > 0xFFFFFFFFull ? "file too large" : "cannot read or write";
    return false;
  }
  e.packed = static_cast<uint32_t>(packed);
  e.size = static_cast<uint32_t>(size);
  e.crc = crc;
  int64_t endPos = out.tell();
  e.dataPos = headPos + static_cast<int64_t>(kHeaderSize + e.name.size());
  auto h = encode_header(e);
  if (!out.seek(headPos) || !out.write(h.data(), static_cast<int64_t>(h.size())) || !out.seek(endPos)) {
    err = "cannot write";
    return false;
  }
  return true;
}

bool copy_entry(fsio::File& in, const Entry& e, fsio::File& out, std::string& err) {
  Entry c = e;
  auto h = encode_header(c);
  if (!out.write(h.data(), static_cast<int64_t>(h.size())) || !in.seek(e.dataPos)) {
    err = "cannot copy " + e.name;
    return false;
  }
  std::vector<uint8_t> buf(1 << 16);
  uint64_t left = e.packed;
  while (left) {
    size_t k = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
    if (!in.read_exact(buf.data(), static_cast<int64_t>(k)) || !out.write(buf.data(), static_cast<int64_t>(k))) {
      err = "cannot copy " + e.name;
      return false;
    }
    left -= k;
  }
  return true;
}

}  // namespace bga
