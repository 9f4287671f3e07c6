#include "tarfmt.h"

#include <cstring>

namespace tarx {
namespace {

TextConverter g_converter = nullptr;

constexpr uint64_t kMaxMeta = 1 << 20;  // long names and pax records beyond this are damage

bool parse_number(const uint8_t* f, size_t len, uint64_t& v, bool allowNegative = false, int64_t* sv = nullptr) {
  v = 0;
  if (f[0] & 0x80) {
    // Base-256: big-endian two's complement in the rest of the field.
    bool neg = (f[0] & 0x40) != 0;
    if (neg && !allowNegative) return false;
    uint64_t x = neg ? ~0ull : 0;
    x = (x << 6) | (f[0] & 0x3F);
    for (size_t i = 1; i < len; ++i) {
      if (!neg && (x >> 56)) return false;
      x = (x << 8) | f[i];
    }
    if (sv) *sv = static_cast<int64_t>(x);
    v = x;
    return neg || x < (1ull << 63);
  }
  size_t i = 0;
  // Some writers pad on the left with NULs rather than blanks or zeros.
  while (i < len && (f[i] == ' ' || f[i] == 0)) ++i;
  for (; i < len && f[i] >= '0' && f[i] <= '7'; ++i) {
    if (v >> 60) return false;
    v = v * 8 + (f[i] - '0');
  }
  for (; i < len; ++i)
    if (f[i] != ' ' && f[i] != 0) return false;
  if (sv) *sv = static_cast<int64_t>(v);
  return true;
}

std::string field(const uint8_t* f, size_t len) {
  size_t n = 0;
  while (n < len && f[n]) ++n;
  return std::string(reinterpret_cast<const char*>(f), n);
}

bool valid_utf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int k = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (k < 0 || i + static_cast<size_t>(k) >= n + (k == 0 ? 1 : 0) || (k > 0 && i + static_cast<size_t>(k) > n - 1))
      return false;
    for (int j = 1; j <= k; ++j)
      if ((static_cast<unsigned char>(s[i + j]) & 0xC0) != 0x80) return false;
    i += static_cast<size_t>(k) + 1;
  }
  return true;
}

std::string from_pax_text(const std::string& s, bool binary) {
  if (binary || !g_converter) return s;
  bool ascii = true;
  for (char c : s) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii || !valid_utf8(s)) return s;
  return g_converter(s);
}

}  // namespace

void set_pax_converter(TextConverter f) { g_converter = f; }

bool is_dir_type(char t) { return t == '5'; }
bool is_file_type(char t) { return t == '0' || t == 0 || t == '7'; }

HeaderResult parse_header(const uint8_t* b, Header& h) {
  bool zero = true;
  for (int i = 0; i < 512; ++i)
    if (b[i]) {
      zero = false;
      break;
    }
  if (zero) return HeaderResult::ZeroBlock;
  uint64_t want;
  if (!parse_number(b + 148, 8, want)) return HeaderResult::Bad;
  uint64_t us = 0;
  int64_t ss = 0;
  for (int i = 0; i < 512; ++i) {
    uint8_t c = (i >= 148 && i < 156) ? ' ' : b[i];
    us += c;
    ss += static_cast<int8_t>(c);
  }
  if (want != us && static_cast<int64_t>(want) != ss) return HeaderResult::Bad;
  h = Header{};
  h.type = static_cast<char>(b[156]);
  uint64_t mode = 0;
  parse_number(b + 100, 8, mode);
  h.mode = static_cast<uint32_t>(mode & 07777);
  if (!parse_number(b + 124, 12, h.size)) return HeaderResult::Bad;
  uint64_t mt = 0;
  int64_t smt = 0;
  if (parse_number(b + 136, 12, mt, true, &smt)) h.mtime = smt;
  h.posix = std::memcmp(b + 257, "ustar\0", 6) == 0;
  std::string name = field(b, 100);
  if (h.posix) {
    std::string prefix = field(b + 345, 155);
    if (!prefix.empty()) name = prefix + "/" + name;
  }
  h.name = name;
  h.linkname = field(b + 157, 100);
  return HeaderResult::Ok;
}

namespace {

// Fragments of an old GNU sparse map: offset and size, 12 bytes each, up to
// the first empty one.
bool old_sparse_map(const uint8_t* at, int count, std::vector<Fragment>& map) {
  for (int i = 0; i < count; ++i, at += 24) {
    if (at[12] == 0) break;
    Fragment f;
    if (!parse_number(at, 12, f.offset) || !parse_number(at + 12, 12, f.size)) return false;
    map.push_back(f);
  }
  return true;
}

}  // namespace

bool looks_like_tar(const uint8_t* b, size_t n) {
  if (n < 512) return false;
  Header h;
  return parse_header(b, h) == HeaderResult::Ok;
}

bool parse_pax(const uint8_t* p, size_t n, Pax& pax) {
  size_t i = 0;
  std::string path, link;
  bool offsetPending = false;  // a 0.0 GNU.sparse.offset waiting for its numbytes
  Fragment frag;
  while (i < n) {
    size_t j = i;
    uint64_t len = 0;
    while (j < n && p[j] >= '0' && p[j] <= '9' && len < kMaxMeta) len = len * 10 + (p[j++] - '0');
    if (j >= n || p[j] != ' ' || len <= j - i + 1 || len > n - i) return false;
    size_t recEnd = i + static_cast<size_t>(len);
    if (p[recEnd - 1] != '\n') return false;
    std::string rec(reinterpret_cast<const char*>(p + j + 1), recEnd - 1 - (j + 1));
    size_t eq = rec.find('=');
    if (eq != std::string::npos) {
      std::string key = rec.substr(0, eq), val = rec.substr(eq + 1);
      if (key == "path") {
        pax.hasPath = true;
        path = val;
      } else if (key == "linkpath") {
        pax.hasLink = true;
        link = val;
      } else if (key == "size") {
        uint64_t v = 0;
        bool okNum = !val.empty();
        for (char c : val) {
          if (c < '0' || c > '9' || (v >> 59)) {
            okNum = false;
            break;
          }
          v = v * 10 + (c - '0');
        }
        if (!okNum) return false;
        pax.hasSize = true;
        pax.size = v;
      } else if (key == "mtime") {
        int64_t v = 0;
        size_t k = 0;
        bool neg = !val.empty() && val[0] == '-';
        if (neg) k = 1;
        for (; k < val.size() && val[k] >= '0' && val[k] <= '9' && v < (1ll << 40); ++k) v = v * 10 + (val[k] - '0');
        pax.hasMtime = true;
        pax.mtime = neg ? -v : v;
      } else if (key.compare(0, 11, "GNU.sparse.") == 0) {
        pax.sparse = true;
        uint64_t v = 0;
        const bool number = parse_decimal(val, v);
        if (key == "GNU.sparse.name") {
          pax.hasSparseName = true;
          pax.sparseName = val;
        } else if (key == "GNU.sparse.size" || key == "GNU.sparse.realsize") {
          pax.hasSparseSize = true;
          pax.sparseSize = v;
          pax.sparseBad |= !number;
        } else if (key == "GNU.sparse.numblocks") {
          pax.hasSparseBlocks = true;
          pax.sparseBlocks = v;
          pax.sparseBad |= !number;
        } else if (key == "GNU.sparse.major" || key == "GNU.sparse.minor") {
          (key == "GNU.sparse.major" ? pax.sparseMajor : pax.sparseMinor) =
              number && v < 1000 ? static_cast<int64_t>(v) : 1000;
        } else if (key == "GNU.sparse.offset") {
          pax.sparseBad |= !number || offsetPending;
          frag.offset = v;
          offsetPending = true;
        } else if (key == "GNU.sparse.numbytes") {
          pax.sparseBad |= !number || !offsetPending;
          frag.size = v;
          offsetPending = false;
          pax.sparseMap.push_back(frag);
        } else if (key == "GNU.sparse.map") {
          pax.sparseBad |= !parse_map_text(val, pax.sparseMap);
        }
      } else if (key == "hdrcharset") {
        pax.binary = val == "BINARY";
      }
    }
    i = recEnd;
  }
  pax.sparseBad |= offsetPending;
  if (pax.hasSparseName) pax.sparseName = from_pax_text(pax.sparseName, pax.binary);
  if (pax.hasPath) pax.path = from_pax_text(path, pax.binary);
  if (pax.hasLink) pax.linkpath = from_pax_text(link, pax.binary);
  return true;
}

// ---- Reader ----

bool Reader::read_block(uint8_t* b, bool atHeader) {
  size_t got = 0;
  while (got < 512) {
    size_t k = in_.read(b + got, 512 - got);
    if (!k) break;
    got += k;
  }
  if (got == 512) return true;
  if (in_.error() != StreamError::None) {
    error_ = error_text(in_.error());
  } else if (atHeader && got == 0 && any_) {
    // The end without the closing zero blocks: accepted, as other readers do.
    ended_ = true;
  } else {
    error_ = error_text(StreamError::Truncated);
  }
  return false;
}

bool Reader::read_text(uint64_t size, std::string& out) {
  if (size > kMaxMeta) {
    error_ = error_text(StreamError::Corrupt);
    return false;
  }
  std::vector<uint8_t> buf(static_cast<size_t>((size + 511) / 512 * 512));
  for (size_t off = 0; off < buf.size(); off += 512)
    if (!read_block(buf.data() + off, false)) {
      if (error_.empty()) error_ = error_text(StreamError::Truncated);
      return false;
    }
  out.assign(reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(size));
  return true;
}

bool Reader::finish_entry() {
  if (left_ + pad_ == 0) return true;
  if (!in_.skip(left_ + pad_)) {
    error_ = error_text(in_.error() == StreamError::None ? StreamError::Truncated : in_.error());
    left_ = pad_ = 0;
    return false;
  }
  left_ = pad_ = 0;
  return true;
}

bool Reader::next(Entry& e) {
  if (ended_ || !error_.empty()) return false;
  if (!finish_entry()) return false;
  sparse_.reset();
  std::string longName, longLink;
  bool haveLongName = false, haveLongLink = false;
  Pax pax;
  uint8_t b[512];
  for (;;) {
    if (!read_block(b, !haveLongName && !haveLongLink && !pax.hasPath && !pax.hasSize)) return false;
    Header h;
    HeaderResult r = parse_header(b, h);
    if (r == HeaderResult::ZeroBlock) {
      ended_ = true;
      return false;
    }
    if (r == HeaderResult::Bad) {
      error_ = any_ || expectTar_ ? "ヘッダが壊れています" : "tar 書庫ではありません";
      return false;
    }
    any_ = true;
    if (h.type == 'L' || h.type == 'K' || h.type == 'x' || h.type == 'g' || h.type == 'X') {
      std::string text;
      if (!read_text(h.size, text)) return false;
      if (h.type == 'L') {
        longName = field(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        haveLongName = true;
      } else if (h.type == 'K') {
        longLink = field(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        haveLongLink = true;
      } else if (h.type == 'x' || h.type == 'X') {
        if (!parse_pax(reinterpret_cast<const uint8_t*>(text.data()), text.size(), pax)) {
          error_ = "拡張ヘッダが壊れています";
          return false;
        }
      }
      continue;  // global pax records change nothing we keep
    }
    // The old GNU sparse header holds four fragments of the map and the real
    // size; with more fragments, extension blocks of 21 more each follow it,
    // the last byte of each saying whether another follows. The entry's data
    // comes after them.
    std::vector<Fragment> map;
    bool sparse = false, mapInData = false, sound = true, otherSparse = false;
    uint64_t realSize = 0;
    if (h.type == 'S') {
      sparse = true;
      sound = old_sparse_map(b + 386, 4, map) && parse_number(b + 483, 12, realSize);
      if (b[482] != 0) {
        uint8_t ext[512];
        uint64_t bytes = 0;
        do {
          if (!read_block(ext, false)) return false;
          if ((bytes += sizeof ext) > kMaxSparseMap) {
            error_ = kBadSparseMap;
            return false;
          }
          sound = sound && old_sparse_map(ext, 21, map);
        } while (ext[504] != 0);
      }
    } else if (pax.sparse && is_file_type(h.type) && pax.sparseMajor <= 0) {
      sparse = true;  // 0.0 or 0.1
      map = std::move(pax.sparseMap);
      sound = pax.hasSparseSize && !pax.sparseBad && (!pax.hasSparseBlocks || pax.sparseBlocks == map.size());
      realSize = pax.sparseSize;
    } else if (pax.sparse && is_file_type(h.type) && pax.sparseMajor == 1 && pax.sparseMinor <= 0) {
      sparse = mapInData = true;  // 1.0
      sound = pax.hasSparseSize && !pax.sparseBad;
      realSize = pax.sparseSize;
    } else if (pax.sparse && is_file_type(h.type)) {
      otherSparse = true;  // a later version of the records
    }
    e = Entry{};
    e.type = h.type;
    e.name = pax.hasPath ? pax.path : haveLongName ? longName : h.name;
    e.linkname = pax.hasLink ? pax.linkpath : haveLongLink ? longLink : h.linkname;
    uint64_t size = pax.hasSize ? pax.size : h.size;
    e.mtime = pax.hasMtime ? pax.mtime : h.mtime;
    e.mode = h.mode;
    // Links, folders and devices carry no data whatever their size field says.
    bool noData = h.type == '1' || h.type == '2' || h.type == '3' || h.type == '4' || h.type == '5' || h.type == '6';
    e.size = e.stored = noData ? 0 : size;
    left_ = e.stored;
    pad_ = (512 - e.stored % 512) % 512;
    if (pax.sparse && pax.hasSparseName) e.name = pax.sparseName;
    if (sparse) {
      // A regular file once its holes are put back between the fragments.
      e.type = '0';
      if (sound && mapInData) {
        uint64_t used = 0;
        sound = read_map_blocks(stored_, left_, map, used);
        if (!error_.empty()) return false;
      }
      if (!sound || !sparse_map_sound(map, realSize, left_)) {
        error_ = kBadSparseMap;
        return false;
      }
      e.size = realSize;
      sparse_ = std::make_unique<SparseStream>(stored_, std::move(map), realSize);
    }
    // Any other version keeps the sparse type: listed, never written out as
    // its stored map and fragments.
    if (otherSparse) e.type = 'S';
    return true;
  }
}

size_t Reader::read_data(uint8_t* p, size_t n) {
  if (!sparse_) return read_stored(p, n);
  if (n > sparse_->left()) n = static_cast<size_t>(sparse_->left());
  if (n == 0) return 0;
  size_t got = sparse_->read(p, n);
  if (got == 0 && error_.empty()) error_ = error_text(sparse_->error());
  return got;
}

size_t Reader::Stored::read(uint8_t* p, size_t n) {
  size_t got = r_.read_stored(p, n);
  if (got == 0 && n && r_.left_ == 0 && !r_.error_.empty())
    error_ = r_.in_.error() == StreamError::None ? StreamError::Truncated : r_.in_.error();
  return got;
}

size_t Reader::read_stored(uint8_t* p, size_t n) {
  if (left_ == 0) return 0;
  if (n > left_) n = static_cast<size_t>(left_);
  size_t got = in_.read(p, n);
  if (got == 0) {
    error_ = error_text(in_.error() == StreamError::None ? StreamError::Truncated : in_.error());
    left_ = pad_ = 0;
    return 0;
  }
  left_ -= got;
  return got;
}

bool Reader::skip_data() { return finish_entry(); }

// ---- Writer ----

namespace {
void put_octal(uint8_t* f, size_t len, uint64_t v) {
  // len - 1 digits and a NUL.
  for (size_t i = len - 1; i-- > 0;) {
    f[i] = static_cast<uint8_t>('0' + (v & 7));
    v >>= 3;
  }
  f[len - 1] = 0;
}
void put_number(uint8_t* f, size_t len, uint64_t v) {
  if (v < (1ull << (3 * (len - 1)))) {
    put_octal(f, len, v);
    return;
  }
  std::memset(f, 0, len);
  for (size_t i = len; i-- > 1;) {
    f[i] = static_cast<uint8_t>(v & 0xFF);
    v >>= 8;
  }
  f[0] = 0x80;
}
}  // namespace

bool Writer::header(const std::string& name, char type, uint64_t size, int64_t mtime, uint32_t mode) {
  if (name.size() > 100) {
    // GNU long name record: the name with its NUL as data.
    std::string data = name + '\0';
    if (!header("././@LongLink", 'L', data.size(), 0, 0)) return false;
    std::vector<uint8_t> blocks((data.size() + 511) / 512 * 512, 0);
    std::memcpy(blocks.data(), data.data(), data.size());
    if (!out_.write(blocks.data(), blocks.size())) return false;
    total_ += blocks.size();
  }
  uint8_t b[512] = {};
  std::memcpy(b, name.data(), name.size() < 100 ? name.size() : 100);
  put_octal(b + 100, 8, mode & 07777);
  put_octal(b + 108, 8, 0);
  put_octal(b + 116, 8, 0);
  put_number(b + 124, 12, size);
  put_number(b + 136, 12, mtime > 0 ? static_cast<uint64_t>(mtime) : 0);
  b[156] = static_cast<uint8_t>(type);
  std::memcpy(b + 257, "ustar  ", 8);  // GNU magic and version
  std::memset(b + 148, ' ', 8);
  uint32_t sum = 0;
  for (uint8_t c : b) sum += c;
  put_octal(b + 148, 7, sum);
  b[155] = ' ';
  if (!out_.write(b, 512)) return false;
  total_ += 512;
  return true;
}

bool Writer::add_dir(const std::string& name, int64_t mtime) {
  std::string n = name;
  if (n.empty() || n.back() != '/') n += '/';
  return header(n, '5', 0, mtime, 0755);
}

bool Writer::begin_file(const std::string& name, uint64_t size, int64_t mtime, uint32_t mode) {
  written_ = 0;
  declared_ = size;
  return header(name, '0', size, mtime, mode ? mode : 0644);
}

bool Writer::write_data(const uint8_t* p, size_t n) {
  if (n > declared_ - written_) return false;
  written_ += n;
  total_ += n;
  return out_.write(p, n);
}

bool Writer::end_file() {
  if (written_ != declared_) return false;
  static const uint8_t zeros[512] = {};
  size_t pad = static_cast<size_t>((512 - declared_ % 512) % 512);
  total_ += pad;
  return pad == 0 || out_.write(zeros, pad);
}

bool Writer::finish() {
  // Two zero blocks, then up to a whole record of 20 blocks, as tar writes.
  static const uint8_t zeros[512] = {};
  uint64_t blocks = total_ / 512 + 2;
  uint64_t padded = (blocks + 19) / 20 * 20;
  for (uint64_t i = total_ / 512; i < padded; ++i)
    if (!out_.write(zeros, 512)) return false;
  return out_.finish();
}

}  // namespace tarx
