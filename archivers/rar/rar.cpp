#include "rar.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "arcapi.h"
#include "fsio.h"
#include "peimage.h"
#include "text.h"

using namespace arcapi;

namespace rar {
namespace {

constexpr uint8_t kSig4[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kSig5[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
constexpr uint64_t kMaxHeader5 = 2u << 20;    // RAR 5 headers are at most 2 MB
constexpr int kMaxVolumes = 10000;
constexpr int kMaxAsks = 100;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Bounded reading of RAR 5 header fields.
struct Cursor {
  const uint8_t* p;
  size_t n, i = 0;
  bool ok = true;
  uint64_t vint() {
    uint64_t v = 0;
    for (int shift = 0; shift < 70; shift += 7) {
      if (i >= n) break;
      uint8_t b = p[i++];
      if (shift < 64) v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    ok = false;
    return 0;
  }
  uint32_t u32() {
    if (i > n || n - i < 4) {
      ok = false;
      i = n;
      return 0;
    }
    uint32_t v = le32(p + i);
    i += 4;
    return v;
  }
  uint64_t u64() {
    uint64_t lo = u32();
    return lo | (static_cast<uint64_t>(u32()) << 32);
  }
  std::string_view bytes(uint64_t k) {
    if (k > n - i) {
      ok = false;
      i = n;
      return {};
    }
    std::string_view s(reinterpret_cast<const char*>(p + i), static_cast<size_t>(k));
    i += static_cast<size_t>(k);
    return s;
  }
};

class FsSource : public Source {
 public:
  explicit FsSource(std::unique_ptr<fsio::File> f) : f_(std::move(f)), size_(f_->size()) {}
  bool read_at(int64_t pos, void* p, size_t n) override {
    if (pos < 0 || pos > size_ || static_cast<int64_t>(n) > size_ - pos) return false;
    if (pos != cur_ && !f_->seek(pos)) return cur_ = -1, false;
    if (!f_->read_exact(p, static_cast<int64_t>(n))) return cur_ = -1, false;
    cur_ = pos + static_cast<int64_t>(n);
    return true;
  }
  int64_t size() const override { return size_; }

 private:
  std::unique_ptr<fsio::File> f_;
  int64_t size_;
  int64_t cur_ = -1;
};

bool ieq(std::string_view a, std::string_view b) { return arc::fold_ascii(a) == arc::fold_ascii(b); }

}  // namespace

bool MemSource::read_at(int64_t pos, void* p, size_t n) {
  if (pos < 0 || static_cast<uint64_t>(pos) > n_ || n > n_ - static_cast<size_t>(pos)) return false;
  std::memcpy(p, p_ + pos, n);
  return true;
}

std::unique_ptr<Source> open_file(const std::string& path) {
  auto f = fsio::open_read(path);
  if (!f || f->size() < 0) return nullptr;
  return std::make_unique<FsSource>(std::move(f));
}

struct Reader::Volume {
  std::unique_ptr<Source> src;
  int format = 4;
  bool isVolume = false, newNaming = false;
  int64_t pos = 0;
  bool endSeen = false, moreVolumes = false, lastSplitAfter = false;
};

Reader::Reader(Opener opener, NameProc names) : opener_(std::move(opener)), names_(std::move(names)) {}
Reader::~Reader() = default;

int Reader::fail(int code, std::string why) {
  error_ = std::move(why);
  return code;
}

int Reader::open(const std::string& path, bool listMode) {
  auto src = opener_ ? opener_(path) : nullptr;
  if (!src) return fail(ERAR_EOPEN, "書庫を開けません");
  return open_source(std::move(src), path, listMode);
}

int Reader::open_source(std::unique_ptr<Source> src, const std::string& name, bool listMode) {
  listMode_ = listMode;
  int rc = open_volume(std::move(src));
  if (rc) return rc;
  volName_ = name;
  return 0;
}

int Reader::open_volume(std::unique_ptr<Source> src) {
  auto v = std::make_unique<Volume>();
  v->src = std::move(src);
  // The signature at the start, or, in a self-extractor, where the program's
  // image ends: a RAR anywhere else is a member of some other container.
  uint8_t first[8] = {};
  bool atStart = v->src->size() >= 8 && v->src->read_at(0, first, 8) &&
                 (std::memcmp(first, kSig4, 7) == 0 || std::memcmp(first, kSig5, 8) == 0);
  if (!atStart && (first[0] != 'M' || first[1] != 'Z')) return fail(ERAR_BAD_ARCHIVE, "RAR 書庫ではありません");
  int64_t sig = -1;
  if (atStart) {
    sig = 0;
  } else {
    Source& src = *v->src;
    int64_t end = static_cast<int64_t>(peimage::image_end(
        [&src](uint64_t pos, void* p, size_t n) { return src.read_at(static_cast<int64_t>(pos), p, n); },
        static_cast<uint64_t>(src.size())));
    if (end > 0 && end + 8 <= src.size() && src.read_at(end, first, 8) &&
        (std::memcmp(first, kSig4, 7) == 0 || std::memcmp(first, kSig5, 8) == 0))
      sig = end;
  }
  if (sig >= 0) v->format = std::memcmp(first, kSig4, 7) == 0 ? 4 : 5;
  if (sig < 0) return fail(ERAR_BAD_ARCHIVE, "RAR 書庫ではありません");
  v->pos = sig + (v->format == 4 ? 7 : 8);
  if (v->format == 4) {
    uint8_t h[13];
    if (!v->src->read_at(v->pos, h, 7)) return fail(ERAR_BAD_ARCHIVE, "主ヘッダがありません");
    uint16_t size = le16(h + 5), flags = le16(h + 3);
    if (h[2] != 0x73 || size < 13) return fail(ERAR_BAD_ARCHIVE, "主ヘッダが壊れています");
    std::vector<uint8_t> b(size);
    if (!v->src->read_at(v->pos, b.data(), size)) return fail(ERAR_BAD_ARCHIVE, "主ヘッダが切れています");
    if ((arc::crc32(0, b.data() + 2, size - 2) & 0xFFFF) != le16(b.data())) return fail(ERAR_BAD_ARCHIVE, "主ヘッダの CRC が一致しません");
    if (flags & 0x80) return fail(ERAR_UNKNOWN_FORMAT, "ヘッダが暗号化されています");
    v->isVolume = flags & 0x01;
    v->newNaming = flags & 0x10;
    v->pos += size + ((flags & 0x8000) ? le32(b.data() + 7) : 0);
  } else {
    v->newNaming = true;
  }
  vol_ = std::move(v);
  if (vol_->format == 5) {
    // The main header comes first (after an optional encryption header).
    Entry dummy;
    bool isFile = false;
    int64_t before = vol_->pos;
    int rc = read_block5(dummy, isFile);
    if (rc == ERAR_UNKNOWN_FORMAT) return rc;
    if (rc || isFile || before == vol_->pos) return fail(ERAR_BAD_ARCHIVE, "主ヘッダが壊れています");
  }
  return 0;
}

int Reader::next_volume() {
  if (++switches_ > kMaxVolumes) return fail(ERAR_EOPEN, "ボリュームが多すぎます");
  std::string name = next_volume_name(volName_, vol_ && vol_->newNaming);
  for (int ask = 0;; ++ask) {
    auto src = opener_ ? opener_(name) : nullptr;
    if (src) {
      if (volProc_ && volProc_(name, RAR_VOL_NOTIFY) < 0) return fail(ERAR_EOPEN, "中断されました");
      int rc = open_volume(std::move(src));
      if (rc) return rc;
      volName_ = name;
      return 0;
    }
    if (!volProc_ || ask >= kMaxAsks || volProc_(name, RAR_VOL_ASK) <= 0)
      return fail(ERAR_EOPEN, "次のボリュームがありません : " + name);
  }
}

int Reader::read_block(Entry& e, bool& isFile) {
  isFile = false;
  return vol_->format == 4 ? read_block4(e, isFile) : read_block5(e, isFile);
}

int Reader::read_block4(Entry& e, bool& isFile) {
  Volume& v = *vol_;
  uint8_t h[7];
  if (v.pos >= v.src->size()) return ERAR_END_ARCHIVE;
  if (!v.src->read_at(v.pos, h, 7)) return fail(ERAR_BAD_DATA, "ヘッダが途中で切れています");
  uint8_t type = h[2];
  uint16_t flags = le16(h + 3), size = le16(h + 5);
  if (size < 7) return fail(ERAR_BAD_DATA, "ヘッダが壊れています");
  std::vector<uint8_t> b(size);
  if (!v.src->read_at(v.pos, b.data(), size)) return fail(ERAR_BAD_DATA, "ヘッダが途中で切れています");
  if ((arc::crc32(0, b.data() + 2, size - 2) & 0xFFFF) != le16(b.data())) return fail(ERAR_BAD_DATA, "ヘッダの CRC が一致しません");
  uint64_t add = 0;
  if (flags & 0x8000) {
    if (size < 11) return fail(ERAR_BAD_DATA, "ヘッダが壊れています");
    add = le32(b.data() + 7);
  }
  if (type == 0x7B) {
    v.endSeen = true;
    v.moreVolumes = flags & 0x01;
    return ERAR_END_ARCHIVE;
  }
  if (type != 0x74) {
    v.pos += size + static_cast<int64_t>(add);
    return 0;
  }
  if (size < 32) return fail(ERAR_BAD_DATA, "ファイルヘッダが壊れています");
  const uint8_t* p = b.data();
  uint64_t packLo = le32(p + 7), unpLo = le32(p + 11);
  size_t off = 32;
  uint64_t packHi = 0, unpHi = 0;
  if (flags & 0x100) {
    if (size < 40) return fail(ERAR_BAD_DATA, "ファイルヘッダが壊れています");
    packHi = le32(p + 32);
    unpHi = le32(p + 36);
    off = 40;
  }
  uint16_t nameSize = le16(p + 26);
  if (nameSize == 0 || off + nameSize > size) return fail(ERAR_BAD_DATA, "ファイル名が壊れています");
  std::string_view field(reinterpret_cast<const char*>(p + off), nameSize);
  std::string name;
  if (flags & 0x200) {
    // The system code page name, a NUL, then an encoded Unicode copy; with
    // no NUL the whole field is UTF-8. The Unicode copy is the name: the
    // code page copy is the packing system's, garbled anywhere else.
    size_t nul = field.find('\0');
    if (nul == std::string_view::npos) {
      name = names_ ? names_(field) : std::string(field);
    } else {
      std::string utf8 = decode_unicode_name(field.substr(0, nul), field.substr(nul + 1));
      name = utf8.empty() ? std::string(field.substr(0, nul)) : names_ ? names_(utf8) : utf8;
    }
  } else {
    name.assign(field.substr(0, std::min(field.size(), field.find('\0'))));
  }
  e = Entry{};
  e.format = 4;
  e.name = arc::to_backslashes(name);
  e.flags = flags & 0x7FFF;
  e.packSize = (packHi << 32) | packLo;
  e.unpSize = (unpHi << 32) | unpLo;
  e.hostOS = p[15];
  e.crc = le32(p + 16);
  e.dosTime = le32(p + 20);
  e.unpVer = p[24];
  e.method = p[25];
  e.attr = le32(p + 28);
  e.dataPos = v.pos + size;
  if (e.packSize > static_cast<uint64_t>(v.src->size() - e.dataPos)) return fail(ERAR_BAD_DATA, "データが途中で切れています");
  v.pos = e.dataPos + static_cast<int64_t>(e.packSize);
  v.lastSplitAfter = e.flags & kSplitAfter;
  isFile = true;
  return 0;
}

int Reader::read_block5(Entry& e, bool& isFile) {
  Volume& v = *vol_;
  int64_t total = v.src->size();
  if (v.pos >= total) return ERAR_END_ARCHIVE;
  uint8_t h[7] = {};
  size_t got = static_cast<size_t>(std::min<int64_t>(7, total - v.pos));
  if (got < 5 || !v.src->read_at(v.pos, h, got)) return fail(ERAR_BAD_DATA, "ヘッダが途中で切れています");
  Cursor sz{h + 4, got - 4};
  uint64_t hsize = sz.vint();
  if (!sz.ok || sz.i > 3 || hsize == 0 || hsize > kMaxHeader5) return fail(ERAR_BAD_DATA, "ヘッダが壊れています");
  size_t vlen = sz.i;
  int64_t hdrStart = v.pos + 4 + static_cast<int64_t>(vlen);
  if (static_cast<int64_t>(hsize) > total - hdrStart) return fail(ERAR_BAD_DATA, "ヘッダが途中で切れています");
  std::vector<uint8_t> b(vlen + hsize);
  if (!v.src->read_at(v.pos + 4, b.data(), b.size())) return fail(ERAR_BAD_DATA, "ヘッダが途中で切れています");
  if (arc::crc32(0, b.data(), b.size()) != le32(h)) return fail(ERAR_BAD_DATA, "ヘッダの CRC が一致しません");
  Cursor c{b.data() + vlen, static_cast<size_t>(hsize)};
  uint64_t type = c.vint(), hflags = c.vint(), extraSize = 0, dataSize = 0;
  if (hflags & 0x01) extraSize = c.vint();
  if (hflags & 0x02) dataSize = c.vint();
  if (!c.ok || extraSize > hsize) return fail(ERAR_BAD_DATA, "ヘッダが壊れています");
  int64_t dataPos = hdrStart + static_cast<int64_t>(hsize);
  if (dataSize > static_cast<uint64_t>(total - dataPos)) return fail(ERAR_BAD_DATA, "データが途中で切れています");
  int64_t next = dataPos + static_cast<int64_t>(dataSize);
  if (type == 4) return fail(ERAR_UNKNOWN_FORMAT, "ヘッダが暗号化されています");
  if (type == 5) {
    uint64_t endFlags = c.vint();
    v.endSeen = true;
    v.moreVolumes = endFlags & 0x01;
    return ERAR_END_ARCHIVE;
  }
  if (type == 1) {
    uint64_t arcFlags = c.vint();
    if (!c.ok) return fail(ERAR_BAD_DATA, "主ヘッダが壊れています");
    v.isVolume = arcFlags & 0x01;
    v.pos = next;
    return 0;
  }
  if (type != 2) {
    v.pos = next;
    return 0;
  }
  uint64_t fflags = c.vint(), unp = c.vint(), attr = c.vint();
  uint32_t mtime = 0, crc = 0;
  if (fflags & 0x02) mtime = c.u32();
  if (fflags & 0x04) crc = c.u32();
  uint64_t comp = c.vint(), host = c.vint(), nameLen = c.vint();
  std::string_view name = c.bytes(nameLen);
  if (!c.ok || nameLen == 0) return fail(ERAR_BAD_DATA, "ファイルヘッダが壊れています");
  bool encrypted = false;
  int64_t extTime = -1;
  int redirect = 0;
  std::string_view redirectTarget;
  // Extra records: encryption and precise times matter here.
  Cursor x{b.data() + vlen + (hsize - extraSize), static_cast<size_t>(extraSize)};
  while (x.ok && x.i < x.n) {
    uint64_t recSize = x.vint();
    size_t recStart = x.i;
    if (!x.ok || recSize == 0 || recSize > x.n - recStart) break;
    Cursor r{x.p + recStart, static_cast<size_t>(recSize)};
    uint64_t recType = r.vint();
    if (recType == 1) encrypted = true;
    if (recType == 5) {
      uint64_t kind = r.vint();
      r.vint();  // flags: bit 0, the target is a folder
      uint64_t len = r.vint();
      std::string_view t = r.bytes(len);
      if (r.ok && kind >= 1 && kind <= 5 && !t.empty()) {
        redirect = static_cast<int>(kind);
        redirectTarget = t;
      }
    }
    if (recType == 3) {
      uint64_t tf = r.vint();
      if (tf & 0x02) {
        if (tf & 0x01) {
          extTime = r.u32();
        } else {
          uint64_t ft = r.u64();
          if (r.ok) extTime = static_cast<int64_t>(ft / 10000000ULL) - 11644473600LL;
        }
        if (!r.ok) extTime = -1;
      }
    }
    x.i = recStart + static_cast<size_t>(recSize);
  }
  e = Entry{};
  e.format = 5;
  std::string n = names_ ? names_(name) : std::string(name);
  e.name = arc::to_backslashes(n);
  uint32_t f = 0;
  if (hflags & 0x08) f |= kSplitBefore;
  if (hflags & 0x10) f |= kSplitAfter;
  if (encrypted) f |= kEncrypted;
  if (comp & 0x40) f |= kSolid;
  if (fflags & 0x01) {
    f |= kDirectory;
  } else {
    uint32_t dict = static_cast<uint32_t>((comp >> 10) & 0x0F) + 1;
    f |= std::min<uint32_t>(dict, 6) << 5;
  }
  e.flags = f;
  e.packSize = dataSize;
  e.unpSize = unp;
  e.hostOS = host == 0 ? 2 : host == 1 ? 3 : static_cast<uint32_t>(host);
  e.crc = crc;
  e.crcKnown = fflags & 0x04;
  int64_t t = (fflags & 0x02) ? static_cast<int64_t>(mtime) : extTime;
  e.dosTime = t >= 0 ? arc::unix_to_dos(t) : 0;
  e.unpVer = 50;
  e.method = 0x30 + static_cast<uint32_t>((comp >> 7) & 0x07);
  e.attr = static_cast<uint32_t>(attr);
  e.dataPos = dataPos;
  e.redirect = redirect;
  if (redirect) e.redirectTarget = names_ ? names_(redirectTarget) : std::string(redirectTarget);
  v.pos = next;
  v.lastSplitAfter = f & kSplitAfter;
  isFile = true;
  return 0;
}

int Reader::read_header(Entry& out) {
  if (ended_) return ERAR_END_ARCHIVE;
  if (haveEntry_) {
    int rc = process(nullptr);
    if (rc) {
      ended_ = true;
      return rc;
    }
  }
  while (true) {
    bool isFile = false;
    int rc = read_block(cur_, isFile);
    if (rc == ERAR_END_ARCHIVE) {
      Volume& v = *vol_;
      bool more = v.isVolume && (v.endSeen ? v.moreVolumes : v.lastSplitAfter);
      if (!more) {
        ended_ = true;
        return ERAR_END_ARCHIVE;
      }
      rc = next_volume();
      if (rc) {
        ended_ = true;
        return rc;
      }
      continue;
    }
    if (rc) {
      ended_ = true;
      return rc;
    }
    if (!isFile) continue;
    haveEntry_ = true;
    out = cur_;
    return 0;
  }
}

int Reader::process(const Sink* sink) {
  if (!haveEntry_) return fail(ERAR_UNKNOWN, "ヘッダが読まれていません");
  haveEntry_ = false;
  Entry e = cur_;
  // A listing reports the parts of a split entry one by one; extraction and
  // skipping there go through every part.
  bool spans = !listMode_ || sink;
  int refuse = 0;
  if (sink && !e.is_dir()) {
    if (e.flags & kSplitBefore) refuse = fail(ERAR_BAD_DATA, "前のボリュームから続くファイルです");
    else if (e.flags & kEncrypted) refuse = fail(ERAR_UNKNOWN_FORMAT, "暗号化されたファイルは展開できません");
    else if (!e.stored()) refuse = fail(ERAR_UNKNOWN_FORMAT, "圧縮されたファイルは展開できません (無圧縮のみ対応)");
  }
  bool deliver = sink && !refuse && !e.is_dir();
  uint32_t crc = 0;
  uint64_t total = 0;
  std::vector<uint8_t> buf(deliver ? 65536 : 0);
  bool stopped = false;
  while (true) {
    if (deliver && !stopped) {
      uint32_t partCrc = 0;
      int64_t pos = e.dataPos;
      uint64_t left = e.packSize;
      while (left) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        if (!vol_->src->read_at(pos, buf.data(), n)) return fail(ERAR_BAD_DATA, "データが読めません");
        crc = arc::crc32(crc, buf.data(), n);
        partCrc = arc::crc32(partCrc, buf.data(), n);
        pos += static_cast<int64_t>(n);
        left -= n;
        total += n;
        if (!(*sink)(buf.data(), n)) {
          stopped = true;
          break;
        }
      }
      // RAR 5 parts before the last carry the CRC of their own data.
      if (!stopped && e.format == 5 && (e.flags & kSplitAfter) && e.crcKnown && partCrc != e.crc)
        return fail(ERAR_BAD_DATA, "CRC が一致しません");
    }
    if (!(e.flags & kSplitAfter) || !spans) break;
    if (stopped) return fail(ERAR_UNKNOWN, "中断されました");
    // The rest of the entry is in the next volume: its first file header
    // must continue this one.
    int rc = next_volume();
    if (rc) {
      ended_ = true;
      return rc;
    }
    Entry part;
    bool isFile = false;
    do {
      rc = read_block(part, isFile);
    } while (rc == 0 && !isFile);
    if (rc == ERAR_END_ARCHIVE || (rc == 0 && (!(part.flags & kSplitBefore) || part.name != e.name))) {
      ended_ = true;
      return fail(ERAR_BAD_DATA, "次のボリュームに続きがありません");
    }
    if (rc) {
      ended_ = true;
      return rc;
    }
    uint64_t unp = part.unpSize;
    e.flags = (e.flags & ~kSplitAfter) | (part.flags & kSplitAfter);
    e.dataPos = part.dataPos;
    e.packSize = part.packSize;
    e.crc = part.crc;
    e.crcKnown = part.crcKnown;
    e.unpSize = unp;
  }
  if (stopped) return fail(ERAR_UNKNOWN, "中断されました");
  if (refuse) return refuse;
  if (!deliver) return 0;
  if (total != e.unpSize) return fail(ERAR_BAD_DATA, "サイズが一致しません");
  if (e.crcKnown && crc != e.crc) return fail(ERAR_BAD_DATA, "CRC が一致しません");
  return 0;
}

std::string decode_unicode_name(std::string_view ansi, std::string_view encoded) {
  const auto* enc = reinterpret_cast<const uint8_t*>(encoded.data());
  const size_t n = encoded.size();
  if (n < 2) return {};
  // The first byte is the high byte shared by the one-byte characters of
  // mode 1; then a flag byte holds the modes of the next four characters.
  const uint32_t high = static_cast<uint32_t>(enc[0]) << 8;
  constexpr size_t kMax = 1024;
  std::u16string w;
  size_t pos = 1;
  unsigned flags = 0, flagBits = 0;
  while (pos < n && w.size() < kMax) {
    if (flagBits == 0) {
      flags = enc[pos++];
      flagBits = 8;
      if (pos >= n) break;
    }
    switch (flags >> 6) {
      case 0:  // low byte, high byte 0
        w.push_back(enc[pos++]);
        break;
      case 1:  // low byte, the shared high byte
        w.push_back(static_cast<char16_t>(high | enc[pos++]));
        break;
      case 2:  // both bytes
        if (pos + 1 >= n) return {};
        w.push_back(static_cast<char16_t>(enc[pos] | (enc[pos + 1] << 8)));
        pos += 2;
        break;
      case 3: {  // a run taken from the code page name at the same places
        unsigned len = enc[pos++];
        bool corrected = len & 0x80;
        unsigned corr = 0;
        if (corrected) {
          if (pos >= n) return {};
          corr = enc[pos++];
        }
        for (len = (len & 0x7F) + 2; len > 0 && w.size() < ansi.size() && w.size() < kMax; --len) {
          uint8_t a = static_cast<uint8_t>(ansi[w.size()]);
          w.push_back(corrected ? static_cast<char16_t>(high | ((a + corr) & 0xFF)) : static_cast<char16_t>(a));
        }
        break;
      }
    }
    flags = (flags << 2) & 0xFF;
    flagBits -= 2;
  }
  // As UTF-8; a stray surrogate makes the copy unusable.
  std::string out;
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t c = w[i];
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[++i] - 0xDC00u);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return {};
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string next_volume_name(const std::string& name, bool newNaming) {
  std::string s = name;
  size_t dot = s.rfind('.');
  if (dot == std::string::npos || dot < arc::name_start(s)) return s + ".r00";
  std::string ext = s.substr(dot + 1);
  if (newNaming && ieq(ext, "rar")) {
    // "name.part1.rar": the digits before the extension count up.
    size_t end = dot, start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(s[start - 1]))) --start;
    if (start < end) {
      size_t i = end;
      while (i > start) {
        --i;
        if (s[i] != '9') {
          ++s[i];
          return s;
        }
        s[i] = '0';
      }
      return s.substr(0, start) + "1" + s.substr(start);
    }
  }
  if (ieq(ext, "rar")) return s.substr(0, dot + 1) + (ext[0] == 'R' ? "R00" : "r00");
  if (ext.size() == 3 && std::isdigit(static_cast<unsigned char>(ext[1])) &&
      std::isdigit(static_cast<unsigned char>(ext[2]))) {
    int n = (ext[1] - '0') * 10 + (ext[2] - '0') + 1;
    char letter = ext[0];
    if (n == 100) {
      n = 0;
      ++letter;
    }
    std::string e2 = {letter, static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    return s.substr(0, dot + 1) + e2;
  }
  return s + ".r00";
}

}  // namespace rar
