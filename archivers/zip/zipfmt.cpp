#include "zipfmt.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "peimage.h"
#include "text.h"

namespace zipf {

static std::string keep_utf8(std::string_view s, bool* lossy) {
  if (lossy) *lossy = false;
  return std::string(s);
}
std::string (*utf8_to_native)(std::string_view, bool*) = keep_utf8;

bool Entry::is_dir() const {
  return (!name.empty() && name.back() == '/') || ((dos_attributes() & 0x10) && usize == 0);
}

uint32_t Entry::dos_attributes() const {
  uint32_t host = versionMade >> 8;
  uint32_t a = externalAttr & 0xFF;
  if (host == 3) {  // Unix mode in the high half
    uint32_t mode = externalAttr >> 16;
    if ((mode & 0170000) == 0040000) a |= 0x10;
    if (mode && !(mode & 0200)) a |= 0x01;
  }
  return a & 0x37;
}

std::string Entry::method_text() const {
  switch (method) {
    case 0: return "Stored";
    case 8: return std::string("Defl:") + "NXFS"[(flags >> 1) & 3];
    case 9: return "Defl64";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 99: return "AES";
    default: {
      char b[8];
      std::snprintf(b, sizeof b, "Unk:%03u", method % 1000u);
      return b;
    }
  }
}

const char* status_text(DataStatus s) {
  switch (s) {
    case DataStatus::ok: return "OK";
    case DataStatus::badPassword: return "incorrect password";
    case DataStatus::needPassword: return "password required";
    case DataStatus::crc: return "CRC error";
    case DataStatus::damaged: return "data damaged";
    case DataStatus::method: return "unsupported method";
    case DataStatus::sink: return "write error";
    case DataStatus::aborted: return "aborted";
  }
  return "error";
}

// ---- MemFile ----
int64_t MemFile::read(void* dst, int64_t n) {
  if (n <= 0 || pos_ >= n_) return 0;
  size_t k = std::min(static_cast<size_t>(n), n_ - pos_);
  std::memcpy(dst, p_ + pos_, k);
  pos_ += k;
  return static_cast<int64_t>(k);
}
bool MemFile::seek(int64_t pos) {
  if (pos < 0 || static_cast<uint64_t>(pos) > n_) return false;
  pos_ = static_cast<size_t>(pos);
  return true;
}

static bool read_at(fsio::File& f, uint64_t pos, void* p, size_t n) {
  return f.seek(static_cast<int64_t>(pos)) && f.read_exact(p, static_cast<int64_t>(n));
}

// ---- end records ----
namespace {
struct EndInfo {
  uint64_t endPos = 0;      // where the directory ends (end record or ZIP64 end record)
  uint64_t cdSize = 0, cdOffset = 0, count = 0;
  std::string comment;
};

// none: no end record of this file's own; inconsistent: one that disagrees
// with its directory (damage).
enum class EndFound { none, inconsistent, ok };

// The end record at tail[best]. padded: bytes follow it (its comment does
// not reach the file's end).
EndFound check_end(fsio::File& f, const std::vector<uint8_t>& tail, uint64_t tailPos, size_t best, bool padded,
                   EndInfo& out) {
  const uint8_t* e = &tail[best];
  uint16_t disk = get16(e + 4), cdDisk = get16(e + 6);
  if ((disk != 0 && disk != 0xFFFF) || (cdDisk != 0 && cdDisk != 0xFFFF)) return EndFound::none;  // spanned sets
  uint16_t onDisk = get16(e + 8);
  out.count = get16(e + 10);
  if (onDisk != out.count) return EndFound::none;
  out.cdSize = get32(e + 12);
  out.cdOffset = get32(e + 16);
  out.comment.assign(reinterpret_cast<const char*>(e + 22), get16(e + 20));
  out.endPos = tailPos + best;
  // ZIP64: a locator right before the end record points at the larger record.
  if (out.endPos >= 20 + 56) {
    uint8_t loc[20];
    if (read_at(f, out.endPos - 20, loc, 20) && get32(loc) == kSigLoc64) {
      uint64_t stated = get64(loc + 8);
      uint64_t guess = out.endPos - 20 - 56;  // a record without extensible data
      uint8_t r[56];
      bool ok = false;
      uint64_t at = 0;
      for (uint64_t cand : {stated, guess}) {
        if (cand + 56 <= out.endPos - 20 && read_at(f, cand, r, 56) && get32(r) == kSigEnd64) {
          ok = true;
          at = cand;
          break;
        }
      }
      if (!ok) return EndFound::inconsistent;
      out.count = get64(r + 32);
      out.cdSize = get64(r + 40);
      out.cdOffset = get64(r + 48);
      out.endPos = at;
    }
  }
  // The directory lies right before the end record and holds at least one
  // fixed-size record per entry; none when it is empty.
  if (out.cdSize > out.endPos || out.cdOffset > out.endPos - out.cdSize) return EndFound::inconsistent;
  if ((out.count == 0) != (out.cdSize == 0) || out.count > out.cdSize / 46) return EndFound::inconsistent;
  uint64_t cdStart = out.endPos - out.cdSize;
  if (out.cdSize) {
    uint8_t sig[4];
    if (!read_at(f, cdStart, sig, 4) || get32(sig) != kSigCentral) return EndFound::inconsistent;
  }
  // Bytes in front of the archive are a self-extractor's program; in any
  // other file they are another format's data around a stored ZIP.
  uint8_t head[4];
  if (!read_at(f, 0, head, 4)) return EndFound::none;
  if (padded || head[0] != 'M' || head[1] != 'Z') {
    if (cdStart != out.cdOffset) return EndFound::none;  // offsets count from a prefix
    uint32_t first = get32(head);
    // A local header, the split-archive marker, or the end record of an
    // archive with no entries at the very start.
    if (first != kSigLocal && first != kSigDescriptor && first != 0x30304b50 &&
        !(out.count == 0 && out.endPos == 0))
      return EndFound::none;
    return EndFound::ok;
  }
  // A program: the archive starts where its image ends, with a local header
  // (or the end record, when it holds no entries). Offsets count either from
  // the file's start or from there. A ZIP whose end record lies behind is a
  // member of whatever archive follows the program.
  uint64_t image = peimage::image_end(f);
  uint64_t shift = cdStart - out.cdOffset;
  if (image == 0 || (shift != 0 && shift != image)) return EndFound::none;
  uint8_t at[4];
  if (image == out.endPos) return EndFound::ok;
  if (!read_at(f, image, at, 4) || (get32(at) != kSigLocal && get32(at) != kSigDescriptor && get32(at) != 0x30304b50))
    return EndFound::none;
  return EndFound::ok;
}

EndFound find_end(fsio::File& f, int64_t size, EndInfo& out) {
  if (size < 22) return EndFound::none;
  size_t tailLen = static_cast<size_t>(std::min<int64_t>(size, 22 + 65535));
  std::vector<uint8_t> tail(tailLen);
  uint64_t tailPos = static_cast<uint64_t>(size) - tailLen;
  if (!read_at(f, tailPos, tail.data(), tailLen)) return EndFound::none;
  // An end record whose comment reaches the file's end is this file's own.
  for (ptrdiff_t i = static_cast<ptrdiff_t>(tailLen) - 22; i >= 0; --i) {
    if (get32(&tail[i]) == kSigEnd && static_cast<size_t>(i) + 22 + get16(&tail[i + 20]) == tailLen)
      return check_end(f, tail, tailPos, static_cast<size_t>(i), false, out);
  }
  // One with other bytes after it is the file's own only when the archive
  // also begins the file (padding added by a transfer or a disk image): one
  // further in belongs to an archive stored inside another (a tar or cabinet
  // ending in a ZIP), and editing through it would cut the outer file down
  // to the inner archive.
  for (ptrdiff_t i = static_cast<ptrdiff_t>(tailLen) - 22; i >= 0; --i) {
    if (get32(&tail[i]) != kSigEnd || static_cast<size_t>(i) + 22 + get16(&tail[i + 20]) > tailLen) continue;
    EndInfo cand;
    EndFound r = check_end(f, tail, tailPos, static_cast<size_t>(i), true, cand);
    if (r == EndFound::ok) {
      out = std::move(cand);
      return r;
    }
  }
  return EndFound::none;
}
}  // namespace

bool looks_like_zip(fsio::File& f) {
  int64_t size = f.size();
  EndInfo end;
  return size >= 0 && find_end(f, size, end) == EndFound::ok;
}

ReadStatus read_directory(fsio::File& f, Directory& d) {
  d = Directory{};
  int64_t size = f.size();
  if (size < 0) return ReadStatus::readError;
  d.fileSize = size;
  EndInfo end;
  switch (find_end(f, size, end)) {
    case EndFound::none: return ReadStatus::notZip;
    case EndFound::inconsistent: return ReadStatus::damaged;
    case EndFound::ok: break;
  }
  d.cdStart = end.endPos - end.cdSize;
  d.cdSize = end.cdSize;
  d.comment = end.comment;
  // Offsets that do not count a prefix in front (a stub copied before an
  // archive) are shifted by its length.
  d.shift = d.cdStart - end.cdOffset;

  // Read whole; not zero-filled first, as it is several megabytes for large archives.
  size_t cdn = static_cast<size_t>(d.cdSize);
  d.bytes.reset(new uint8_t[cdn + 1]);
  const uint8_t* cd = d.bytes.get();
  if (cdn && !read_at(f, d.cdStart, d.bytes.get(), cdn)) return ReadStatus::readError;
  d.starts.reserve(static_cast<size_t>(std::min<uint64_t>(end.count, d.cdSize / 46)));
  size_t p = 0;
  while (p < cdn) {
    if (cdn - p < 46 || get32(cd + p) != kSigCentral) return ReadStatus::damaged;
    const uint8_t* r = cd + p;
    size_t n = get16(r + 28), m = get16(r + 30), k = get16(r + 32);
    if (cdn - p - 46 < n + m + k) return ReadStatus::damaged;
    d.starts.push_back(p);
    p += 46 + n + m + k;
  }
  return ReadStatus::ok;
}

void parse_record(const Directory& d, size_t i, Entry& e) {
  const uint8_t* r = d.bytes.get() + d.starts[i];
  e.versionMade = get16(r + 4);
  e.versionNeeded = get16(r + 6);
  e.flags = get16(r + 8);
  e.method = get16(r + 10);
  e.dosTime = (static_cast<uint32_t>(get16(r + 14)) << 16) | get16(r + 12);
  e.crc = get32(r + 16);
  e.csize = get32(r + 20);
  e.usize = get32(r + 24);
  size_t n = get16(r + 28), m = get16(r + 30), k = get16(r + 32);
  e.internalAttr = get16(r + 36);
  e.externalAttr = get32(r + 38);
  e.offset = get32(r + 42);
  e.rawName.assign(reinterpret_cast<const char*>(r + 46), n);
  e.extra.clear();
  e.overlaps = false;
  e.substituteName = false;
  const uint8_t* x = r + 46 + n;
  std::string_view unicodePath;
  size_t q = 0;
  while (q + 4 <= m) {
    uint16_t id = get16(x + q), len = get16(x + q + 2);
    if (q + 4 + len > m) break;
    if (id == 0x0001) {
      const uint8_t* z = x + q + 4;
      size_t zl = len, zp = 0;
      auto take = [&](uint64_t& v) {
        if (v != 0xFFFFFFFFu) return;
        if (zp + 8 <= zl) {
          v = get64(z + zp);
          zp += 8;
        }
      };
      take(e.usize);
      take(e.csize);
      take(e.offset);
    } else {
      // The Unicode path field: version 1, the CRC of the stored name it
      // stands for (a tool that renamed the entry without knowing the field
      // leaves a CRC that no longer fits), then the name in UTF-8.
      if (id == 0x7075 && len > 5 && x[q + 4] == 1 &&
          get32(x + q + 5) == arc::crc32(0, e.rawName.data(), e.rawName.size()))
        unicodePath = std::string_view(reinterpret_cast<const char*>(x + q + 9), len - 5u);
      e.extra.insert(e.extra.end(), x + q, x + q + 4 + len);
    }
    q += 4u + len;
  }
  e.comment.assign(reinterpret_cast<const char*>(x + m), k);
  // Into the entry's own buffer: a listing walks one entry through a
  // hundred thousand records without allocating.
  if (!unicodePath.empty()) e.name = utf8_to_native(unicodePath, &e.substituteName);
  else if (e.flags & kFlagUtf8) e.name = utf8_to_native(e.rawName, &e.substituteName);
  else e.name = e.rawName;
  arc::slashes_in_place(e.name);
  e.offset += d.shift;
}

// A substitute name that another entry holds already (case aside, as the
// file system sees it) gets "~2", "~3" ... before its extension.
using NameList = std::vector<std::pair<std::string, bool>>;  // name, substitute

static void unique_substitutes(NameList& entries) {
  auto fold = [](std::string s) {
    for (size_t i = 0; i < s.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (arc::is_lead(c) && i + 1 < s.size()) ++i;
      else if (c >= 'A' && c <= 'Z') s[i] = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  };
  std::unordered_set<std::string> taken;
  for (const auto& [name, substitute] : entries)
    if (!substitute) taken.insert(fold(name));
  for (auto& [stem, substitute] : entries) {
    if (!substitute) continue;
    std::string name = stem;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < arc::name_start(name)) dot = name.size();
    for (int k = 2; taken.count(fold(name)); ++k) name = stem.substr(0, dot) + "~" + std::to_string(k) + stem.substr(dot);
    stem = name;
    taken.insert(fold(name));
  }
}

std::vector<std::string> entry_names(const Directory& d) {
  NameList names(d.starts.size());
  Entry e;
  for (size_t i = 0; i < d.starts.size(); ++i) {
    parse_record(d, i, e);
    names[i] = {e.name, e.substituteName};
  }
  unique_substitutes(names);
  std::vector<std::string> out(names.size());
  for (size_t i = 0; i < names.size(); ++i) out[i] = std::move(names[i].first);
  return out;
}

ReadStatus read_archive(fsio::File& f, Archive& a) {
  a = Archive{};
  Directory d;
  ReadStatus st = read_directory(f, d);
  a.fileSize = d.fileSize;
  if (st != ReadStatus::ok) return st;
  a.cdStart = d.cdStart;
  a.cdSize = d.cdSize;
  a.dataEnd = a.cdStart;
  a.comment = d.comment;
  a.offsetsAbsolute = d.shift == 0;
  a.entries.resize(d.starts.size());
  bool substitutes = false;
  for (size_t i = 0; i < d.starts.size(); ++i) {
    parse_record(d, i, a.entries[i]);
    substitutes = substitutes || a.entries[i].substituteName;
  }
  if (substitutes) {
    NameList names(a.entries.size());
    for (size_t i = 0; i < names.size(); ++i) names[i] = {a.entries[i].name, a.entries[i].substituteName};
    unique_substitutes(names);
    for (size_t i = 0; i < names.size(); ++i) a.entries[i].name = std::move(names[i].first);
  }

  // Entries whose data would run into another entry or the directory are
  // marked so that nothing reads them: overlapping entries are how small
  // archives pretend to hold enormous ones.
  std::vector<size_t> order(a.entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](size_t x, size_t y) { return a.entries[x].offset < a.entries[y].offset; });
  a.prefix = order.empty() ? a.cdStart : std::min(a.entries[order[0]].offset, a.cdStart);
  for (size_t i = 0; i < order.size(); ++i) {
    Entry& e = a.entries[order[i]];
    // A lower bound of where its data ends: the local name may differ in length.
    uint64_t endLow = e.offset + 30 + e.csize;
    if (e.offset > a.cdStart || endLow > a.cdStart || endLow < e.offset) e.overlaps = true;
    if (i + 1 < order.size()) {
      Entry& nx = a.entries[order[i + 1]];
      if (endLow > nx.offset) e.overlaps = nx.overlaps = true;
    }
  }
  return ReadStatus::ok;
}

uint64_t data_start(fsio::File& f, const Archive& a, const Entry& e) {
  uint8_t h[30];
  if (!read_at(f, e.offset, h, 30) || get32(h) != kSigLocal) return 0;
  uint64_t start = e.offset + 30 + get16(h + 26) + get16(h + 28);
  if (start > a.dataEnd || e.csize > a.dataEnd - start) return 0;
  return start;
}

const char* inflate_version() { return zlibVersion(); }

bool plausible_size(const Entry& e) {
  uint64_t payload = e.csize;
  if (e.encrypted()) {
    if (payload < 12) return false;
    payload -= 12;
  }
  if (e.method == 0) return e.usize == payload;
  if (e.method == 8) return e.usize <= payload * 1032 + 1024;
  return true;
}

// ---- traditional encryption ----
static uint32_t crc_byte(uint32_t crc, uint8_t b) {
  static const auto table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

void ZipCrypto::init(std::string_view password) {
  k0_ = 0x12345678u;
  k1_ = 0x23456789u;
  k2_ = 0x34567890u;
  for (char c : password) update(static_cast<uint8_t>(c));
}

void ZipCrypto::update(uint8_t c) {
  k0_ = crc_byte(k0_, c);
  k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
  k2_ = crc_byte(k2_, static_cast<uint8_t>(k1_ >> 24));
}

// ---- decoding ----
using Pull = std::function<int64_t(uint8_t*, size_t)>;  // bytes read, 0 at end, -1 on error

struct DecodeScratch::State {
  std::vector<uint8_t> in, out;
  z_stream zs{};
  bool inflating = false;  // zs is set up; the next entry resets it
};
DecodeScratch::DecodeScratch() : s_(std::make_unique<State>()) {}
DecodeScratch::~DecodeScratch() {
  if (s_->inflating) inflateEnd(&s_->zs);
}

static DataStatus decode(const Pull& pull, const Entry& e, const std::string* password, const Sink& sink,
                         DecodeScratch* scratch) {
  std::optional<DecodeScratch> own;
  if (!scratch) scratch = &own.emplace();
  DecodeScratch::State& sc = scratch->state();
  if (e.method != 0 && e.method != 8) return DataStatus::method;
  if (!plausible_size(e)) return DataStatus::damaged;
  uint64_t remaining = e.csize;
  ZipCrypto zc;
  bool enc = e.encrypted();
  if (enc) {
    if (!password) return DataStatus::needPassword;
    uint8_t hdr[12];
    if (remaining < 12 || pull(hdr, 12) != 12) return DataStatus::damaged;
    remaining -= 12;
    zc.init(*password);
    for (auto& b : hdr) b = zc.decrypt_byte(b);
    uint8_t check = hdr[11];
    bool good = check == static_cast<uint8_t>(e.crc >> 24) ||
                ((e.flags & kFlagDescriptor) && check == static_cast<uint8_t>((e.dosTime >> 8) & 0xFF));
    if (!good) return DataStatus::badPassword;
  }
  constexpr size_t kChunk = 64 * 1024;
  std::vector<uint8_t>& in = sc.in;
  std::vector<uint8_t>& out = sc.out;
  if (in.size() < kChunk) in.resize(kChunk);
  if (e.method == 8 && out.size() < kChunk) out.resize(kChunk);
  uint32_t crc = 0;
  uint64_t produced = 0;
  auto emit = [&](const uint8_t* p, size_t n) -> bool {
    if (n == 0) return true;
    if (produced + n > e.usize) return false;
    produced += n;
    crc = arc::crc32(crc, p, n);
    return sink(p, n);
  };
  if (e.method == 0) {
    while (remaining) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
      int64_t got = pull(in.data(), want);
      if (got <= 0) return DataStatus::damaged;
      remaining -= static_cast<uint64_t>(got);
      if (enc)
        for (int64_t i = 0; i < got; ++i) in[i] = zc.decrypt_byte(in[i]);
      if (produced + static_cast<uint64_t>(got) > e.usize) return DataStatus::damaged;
      if (!emit(in.data(), static_cast<size_t>(got))) return DataStatus::sink;
    }
  } else {
    z_stream& zs = sc.zs;
    if (!sc.inflating) {
      zs = z_stream{};
      if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return DataStatus::damaged;
      sc.inflating = true;
    } else if (inflateReset(&zs) != Z_OK) {
      return DataStatus::damaged;
    }
    zs.next_in = nullptr;
    zs.avail_in = 0;
    bool done = false;
    while (!done) {
      if (zs.avail_in == 0) {
        if (remaining == 0) return DataStatus::damaged;  // stream ends early
        size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
        int64_t got = pull(in.data(), want);
        if (got <= 0) return DataStatus::damaged;
        remaining -= static_cast<uint64_t>(got);
        if (enc)
          for (int64_t i = 0; i < got; ++i) in[i] = zc.decrypt_byte(in[i]);
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(got);
      }
      while (zs.avail_in > 0 || !done) {
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = inflate(&zs, Z_NO_FLUSH);
        size_t have = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END) done = true;
        else if (rc == Z_BUF_ERROR && have == 0) break;  // needs more input
        else if (rc != Z_OK) return DataStatus::damaged;
        if (produced + have > e.usize) return DataStatus::damaged;
        if (!emit(out.data(), have)) return DataStatus::sink;
        if (done) break;
        if (zs.avail_in == 0 && zs.avail_out != 0) break;
      }
    }
  }
  if (produced != e.usize) return DataStatus::damaged;
  if (crc != e.crc) return enc ? DataStatus::badPassword : DataStatus::crc;
  return DataStatus::ok;
}

DataStatus read_entry(fsio::File& f, const Archive& a, const Entry& e, const std::string* password,
                      const Sink& sink, DecodeScratch* scratch) {
  if (e.overlaps) return DataStatus::damaged;
  if (e.method != 0 && e.method != 8) return DataStatus::method;
  uint64_t start = data_start(f, a, e);
  if (start == 0 || !f.seek(static_cast<int64_t>(start))) return DataStatus::damaged;
  uint64_t left = e.csize;
  Pull pull = [&](uint8_t* p, size_t n) -> int64_t {
    if (n > left) n = static_cast<size_t>(left);
    if (n == 0) return 0;
    int64_t got = f.read(p, static_cast<int64_t>(n));
    if (got > 0) left -= static_cast<uint64_t>(got);
    return got;
  };
  return decode(pull, e, password, sink, scratch);
}

DataStatus decode_data(const uint8_t* data, size_t n, const Entry& e, const std::string* password, const Sink& sink) {
  size_t pos = 0;
  Pull pull = [&](uint8_t* p, size_t want) -> int64_t {
    size_t k = std::min(want, n - pos);
    std::memcpy(p, data + pos, k);
    pos += k;
    return static_cast<int64_t>(k);
  };
  return decode(pull, e, password, sink, nullptr);
}

}  // namespace zipf
