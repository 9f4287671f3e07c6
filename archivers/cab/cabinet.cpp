#include "cabinet.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "codecs.h"
#include "peimage.h"
#include "text.h"

namespace cab {

uint32_t checksum(const uint8_t* p, size_t n, uint32_t seed) {
  uint32_t sum = seed;
  size_t words = n / 4;
  for (size_t i = 0; i < words; ++i, p += 4)
    sum ^= static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
  uint32_t ul = 0;
  switch (n & 3) {
    case 3: ul |= static_cast<uint32_t>(*p++) << 16; [[fallthrough]];
    case 2: ul |= static_cast<uint32_t>(*p++) << 8; [[fallthrough]];
    case 1: ul |= *p;
  }
  return sum ^ ul;
}

std::string method_text(uint16_t type) {
  switch (type & 0xF) {
    case kNone: return "Stored";
    case kMszip: return "MSZIP";
    case kQuantum: return "Quantum";
    case kLzx: return "LZX:" + std::to_string((type >> 8) & 0x1F);
  }
  return "Unknown";
}

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Bounded reads from a buffer that holds part of a cabinet.
struct Cursor {
  const std::vector<uint8_t>& b;
  size_t pos;
  bool ok = true;
  bool need(size_t n) {
    if (!ok || pos + n > b.size()) ok = false;
    return ok;
  }
  uint8_t u8() { return need(1) ? b[pos++] : 0; }
  uint16_t u16() {
    if (!need(2)) return 0;
    pos += 2;
    return le16(&b[pos - 2]);
  }
  uint32_t u32() {
    if (!need(4)) return 0;
    pos += 4;
    return le32(&b[pos - 4]);
  }
  void skip(size_t n) {
    if (need(n)) pos += n;
  }
  std::string str(size_t max) {
    std::string s;
    while (ok) {
      if (!need(1)) break;
      char c = static_cast<char>(b[pos++]);
      if (!c) return s;
      if (s.size() >= max) {
        ok = false;
        break;
      }
      s.push_back(c);
    }
    return s;
  }
};

bool read_at(fsio::File& f, int64_t pos, size_t n, std::vector<uint8_t>& out) {
  out.resize(n);
  return f.seek(pos) && (n == 0 || f.read_exact(out.data(), static_cast<int64_t>(n)));
}

bool plausible(const uint8_t* h, int64_t avail) {
  if (le32(h) != 0x4643534D || le32(h + 4) != 0) return false;
  uint32_t total = le32(h + 8), files = le32(h + 16);
  return h[25] == 1 && total >= 36 && total <= avail + 0 && files >= 36 && files < total;
}

constexpr uint16_t kPrev = 1, kNext = 2, kReserve = 4;
constexpr uint16_t kFromPrev = 0xFFFD, kToNext = 0xFFFE, kBoth = 0xFFFF;

struct Volume {
  uint16_t flags = 0, setId = 0, index = 0;
  std::string next;
  int folderBase = 0;
  int nFolders = 0;
};

}  // namespace

int64_t find_cabinet(fsio::File& f) {
  int64_t size = f.size();
  if (size < 36) return -1;
  std::vector<uint8_t> b;
  if (!read_at(f, 0, 36, b)) return -1;
  if (plausible(b.data(), size)) return 0;
  // A self-extractor: the program, then the cabinet, which starts where the
  // program's image ends. A cabinet further in is a member of whatever
  // archive lies there.
  if (b[0] != 'M' || b[1] != 'Z') return -1;
  int64_t end = static_cast<int64_t>(peimage::image_end(f));
  if (end <= 0 || end + 36 > size || !read_at(f, end, 36, b) || !plausible(b.data(), size - end)) return -1;
  return end;
}

namespace {

bool read_volume(const std::string& path, int vi, CabSet& set, Volume& v, std::string& err) {
  auto f = fsio::open_read(path);
  if (!f) {
    err = "cannot open " + path;
    return false;
  }
  int64_t start = vi == 0 ? find_cabinet(*f) : 0;
  if (vi == 0) set.start = start;
  int64_t fsize = f->size();
  std::vector<uint8_t> h;
  if (start < 0 || !read_at(*f, start, 36, h) || !plausible(h.data(), fsize - start)) {
    err = "not a cabinet: " + path;
    return false;
  }
  const uint32_t total = le32(&h[8]);
  const uint32_t coffFiles = le32(&h[16]);
  const uint16_t nFolders = le16(&h[26]), nFiles = le16(&h[28]);
  v.flags = le16(&h[30]);
  v.setId = le16(&h[32]);
  v.index = le16(&h[34]);
  // Header, reserved areas, names and folders all lie before the first file
  // record; a first file record farther out than they could reach is damage.
  if (coffFiles > 36 + 4 + 65535 + 4 * 1025 + static_cast<uint64_t>(nFolders) * (8 + 255)) {
    err = "damaged cabinet header";
    return false;
  }
  std::vector<uint8_t> head;
  if (!read_at(*f, start, coffFiles, head)) {
    err = "truncated cabinet";
    return false;
  }
  Cursor c{head, 36};
  uint16_t resHeader = 0;
  uint8_t resFolder = 0, resData = 0;
  if (v.flags & kReserve) {
    resHeader = c.u16();
    resFolder = c.u8();
    resData = c.u8();
    c.skip(resHeader);
  }
  if (v.flags & kPrev) {
    c.str(1024);
    c.str(1024);
  }
  if (v.flags & kNext) {
    v.next = c.str(1024);
    c.str(1024);
  }
  struct RawFolder {
    uint32_t coff;
    uint16_t nData, type;
  };
  std::vector<RawFolder> folders(nFolders);
  for (auto& rf : folders) {
    rf.coff = c.u32();
    rf.nData = c.u16();
    rf.type = c.u16();
    c.skip(resFolder);
  }
  if (!c.ok) {
    err = "damaged cabinet header";
    return false;
  }
  // File records: at most 16 bytes and a name each.
  std::vector<uint8_t> recs;
  uint64_t want = std::min<uint64_t>(static_cast<uint64_t>(nFiles) * (16 + 1025), total - coffFiles);
  if (!read_at(*f, start + coffFiles, static_cast<size_t>(want), recs)) {
    err = "truncated cabinet";
    return false;
  }
  Cursor fc{recs, 0};

  // Folders: the first continues the set's last one when this cabinet says
  // so and the previous cabinet left it open.
  bool merge = vi > 0 && (v.flags & kPrev) && !set.folders.empty() && set.folders.back().continues;
  v.folderBase = static_cast<int>(set.folders.size()) - (merge ? 1 : 0);
  v.nFolders = nFolders;
  for (int i = 0; i < nFolders; ++i) {
    const RawFolder& rf = folders[i];
    Folder* fo;
    if (i == 0 && merge) {
      fo = &set.folders.back();
      if ((fo->type & 0xF) != (rf.type & 0xF)) {
        err = "volumes do not match";
        return false;
      }
      fo->continues = false;
    } else {
      set.folders.emplace_back();
      fo = &set.folders.back();
      fo->type = rf.type;
    }
    int64_t pos = rf.coff;
    for (int k = 0; k < rf.nData; ++k) {
      std::vector<uint8_t> dh;
      if (pos + 8 + resData > total || !read_at(*f, start + pos, 8, dh)) {
        err = "truncated data block";
        return false;
      }
      Part p;
      p.volume = vi;
      p.csum = le32(&dh[0]);
      p.cbData = le16(&dh[4]);
      p.cbUncomp = le16(&dh[6]);
      p.pos = start + pos + 8 + resData;
      if (p.pos + p.cbData > start + total) {
        err = "truncated data block";
        return false;
      }
      if (p.cbUncomp > kFrame) {
        err = "damaged data block";
        return false;
      }
      pos += 8 + resData + p.cbData;
      if (!fo->blocks.empty() && !fo->blocks.back().complete) {
        fo->blocks.back().parts.push_back(p);
      } else {
        fo->blocks.emplace_back();
        fo->blocks.back().parts.push_back(p);
      }
      Block& b = fo->blocks.back();
      fo->packed += p.cbData;
      if (p.cbUncomp) {
        b.uncomp = p.cbUncomp;
        b.complete = true;
        fo->unpacked += p.cbUncomp;
      }
    }
  }
  for (int i = 0; i < nFiles; ++i) {
    Entry e;
    e.size = fc.u32();
    e.offset = fc.u32();
    uint16_t ifold = fc.u16();
    e.date = fc.u16();
    e.time = fc.u16();
    e.attribs = fc.u16();
    e.name = fc.str(1024);
    e.volume = vi;
    if (!fc.ok) {
      err = "damaged file record";
      return false;
    }
    int local;
    if (ifold == kFromPrev || ifold == kBoth) {
      local = 0;
      e.fromPrev = true;
    } else if (ifold == kToNext) {
      local = nFolders - 1;
    } else {
      local = ifold;
    }
    if (ifold == kToNext || ifold == kBoth) e.toNext = true;
    if (local < 0 || local >= nFolders) {
      err = "damaged file record";
      return false;
    }
    e.folder = v.folderBase + local;
    if (e.toNext) set.folders[e.folder].continues = true;
    // A file continued from a cabinet we have is already listed there.
    if (e.fromPrev && merge && local == 0) continue;
    set.entries.push_back(std::move(e));
  }
  if (!set.folders.empty() && nFolders && !set.folders.back().blocks.empty() &&
      !set.folders.back().blocks.back().complete)
    set.folders.back().continues = true;
  return true;
}

}  // namespace

bool open_set(const std::string& path, bool follow, CabSet& set, std::string& err) {
  set = CabSet{};
  std::string cur = path;
  Volume first;
  for (int vi = 0;; ++vi) {
    Volume v;
    if (!read_volume(cur, vi, set, v, err)) {
      if (vi == 0) return false;
      set.missingNext = true;
      err.clear();
      break;
    }
    set.volumes.push_back(cur);
    if (vi == 0) first = v;
    else if (v.setId != first.setId) {
      set.volumes.pop_back();
      set.missingNext = true;
      break;
    }
    if (!(v.flags & 2) || v.next.empty()) break;
    std::string next = fsio::join(arc::dir_part(cur), arc::base_name(v.next));
    // A set that names one of its own volumes again is damaged: it loops.
    if (follow && std::any_of(set.volumes.begin(), set.volumes.end(),
                              [&](const std::string& seen) { return arc::same_name(seen, next); })) {
      err = "the cabinet set names " + arc::base_name(v.next) + " twice";
      return false;
    }
    if (!follow || vi >= 998 || !fsio::exists(next)) {
      set.missingNext = true;
      set.nextName = arc::base_name(v.next);
      break;
    }
    cur = next;
  }
  if (set.missingNext) {
    for (auto& fo : set.folders)
      if (!fo.blocks.empty() && !fo.blocks.back().complete) fo.blocks.pop_back();
  }
  return true;
}

// ---- reading a folder ----

struct FolderReader::Codec {
  uint16_t type;
  MszipDecoder mszip;
  std::unique_ptr<LzxDecoder> lzx;
  explicit Codec(uint16_t t) : type(t) {
    if ((t & 0xF) == kLzx) lzx = std::make_unique<LzxDecoder>((t >> 8) & 0x1F);
  }
};

FolderReader::FolderReader(const CabSet& set, int folder)
    : set_(set), folder_(set.folders[folder]), codec_(std::make_unique<Codec>(set.folders[folder].type)) {
  files_.resize(set.volumes.size());
}
FolderReader::~FolderReader() = default;

bool FolderReader::next_block() {
  if (block_ >= folder_.blocks.size()) {
    err_ = "data ends early";
    return false;
  }
  const Block& b = folder_.blocks[block_++];
  if (!b.complete) {
    err_ = "next volume is missing";
    return false;
  }
  in_.clear();
  for (const Part& p : b.parts) {
    auto& f = files_[p.volume];
    if (!f) f = fsio::open_read(set_.volumes[p.volume]);
    size_t at = in_.size();
    in_.resize(at + p.cbData);
    if (!f || !f->seek(p.pos) || (p.cbData && !f->read_exact(in_.data() + at, p.cbData))) {
      err_ = "cannot read data";
      return false;
    }
    if (p.csum) {
      uint8_t hdr[4] = {static_cast<uint8_t>(p.cbData), static_cast<uint8_t>(p.cbData >> 8),
                        static_cast<uint8_t>(p.cbUncomp), static_cast<uint8_t>(p.cbUncomp >> 8)};
      uint32_t sum = checksum(hdr, 4, checksum(in_.data() + at, p.cbData, 0));
      if (sum != p.csum) {
        err_ = "checksum error";
        return false;
      }
    }
  }
  out_.resize(b.uncomp);
  outPos_ = 0;
  bool ok = false;
  switch (codec_->type & 0xF) {
    case kNone:
      ok = in_.size() == b.uncomp;
      if (ok) std::memcpy(out_.data(), in_.data(), b.uncomp);
      break;
    case kMszip: ok = codec_->mszip.decode(in_.data(), in_.size(), out_.data(), b.uncomp); break;
    case kLzx: ok = codec_->lzx->decode(in_.data(), in_.size(), out_.data(), b.uncomp); break;
    default: err_ = "unsupported method " + method_text(codec_->type); return false;
  }
  if (!ok) err_ = "damaged data (" + method_text(codec_->type) + ")";
  return ok;
}

bool FolderReader::read(uint8_t* out, size_t n) {
  while (n) {
    if (outPos_ == out_.size()) {
      if (!next_block()) return false;
      continue;
    }
    size_t k = std::min(n, out_.size() - outPos_);
    if (out) {
      std::memcpy(out, out_.data() + outPos_, k);
      out += k;
    }
    outPos_ += k;
    pos_ += k;
    n -= k;
  }
  return true;
}

bool FolderReader::skip(uint64_t n) {
  while (n) {
    size_t k = static_cast<size_t>(std::min<uint64_t>(n, 1u << 20));
    if (!read(nullptr, k)) return false;
    n -= k;
  }
  return true;
}

// ---- writing ----

namespace {

struct Frame {
  std::vector<uint8_t> data;
  uint32_t uncomp;
};

void put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, static_cast<uint16_t>(v));
  put16(b, static_cast<uint16_t>(v >> 16));
}

struct Compressor {
  uint16_t type;
  std::unique_ptr<MszipEncoder> mszip;
  std::unique_ptr<LzxEncoder> lzx;
  Compressor(uint16_t t, int level) : type(t) {
    if ((t & 0xF) == kMszip) mszip = std::make_unique<MszipEncoder>(level);
    if ((t & 0xF) == kLzx) lzx = std::make_unique<LzxEncoder>((t >> 8) & 0x1F);
  }
  bool run(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    switch (type & 0xF) {
      case kNone: out.assign(in, in + n); return true;
      case kMszip: return mszip->encode(in, n, out);
      case kLzx: return lzx->encode(in, n, out);
    }
    return false;
  }
};

// One cabinet of the set: its folders' frames and where they lie. A folder
// that runs on into the next cabinet ends there with the file that crosses
// the cut, so no folder spans more cabinets than one file does.
struct FolderPlan {
  uint64_t base = 0;        // where the folder starts (earlier when continued)
  uint64_t u0 = 0, u1 = 0;  // the part this cabinet carries
  std::vector<Frame> frames;
};
// A cut between cabinets either falls between files (the next cabinet starts
// a folder of its own) or splits one data block: the block's first part ends
// this cabinet, its rest opens the next, and every file that touches the
// block is listed in both as continued.
struct Plan {
  std::vector<FolderPlan> folders;
  uint64_t lo = 0, loEnd = 0;  // the shared block at the start (lo == loEnd: none)
  uint64_t hi = 0, hiEnd = 0;  // the shared block at the end
};

}  // namespace

bool write_set(const std::vector<Source>& files, const WriteOptions& opt,
               const std::function<std::string(int)>& volumeName, std::vector<std::string>& written,
               std::string& err) {
  written.clear();
  uint64_t total = 0;
  std::vector<uint64_t> offs(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    offs[i] = total;
    total += files[i].size;
  }
  if (total > 0x7FFF8000ull) {
    err = "too much data for one cabinet";
    return false;
  }
  auto record_size = [&](size_t i) { return 16 + files[i].name.size() + 1; };
  const bool spanned = opt.volumeSize > 0;
  const uint64_t fixed = 36 + 16 + (spanned ? 2 * (arc::base_name(volumeName(98)).size() + 2) : 0) + 512;
  auto comp = std::make_unique<Compressor>(opt.type, opt.level);
  std::vector<Plan> plans(1);
  plans[0].folders.emplace_back();
  uint64_t cabSize = fixed, u = 0;
  size_t nextRec = 0;     // files whose records are counted so far
  long restartAfter = -1; // the file whose end closes a continued folder
  std::vector<uint8_t> buf;
  buf.reserve(kFrame);
  auto flush = [&]() -> bool {
    Frame fr;
    fr.uncomp = static_cast<uint32_t>(buf.size());
    if (!comp->run(buf.data(), buf.size(), fr.data) || fr.data.size() > 0xFFFF) {
      err = "compression failed";
      return false;
    }
    uint64_t nu = u + fr.uncomp, recs = 0;
    size_t nr = nextRec;
    while (nr < files.size() && offs[nr] < nu) recs += record_size(nr++);
    bool any = false;
    for (auto& f : plans.back().folders) any = any || !f.frames.empty();
    if (spanned && any && cabSize + recs + 16 + fr.data.size() > opt.volumeSize) {
      long straddle = -1;
      for (size_t i = nextRec; i-- > 0;) {
        if (offs[i] < u && offs[i] + files[i].size > u) straddle = static_cast<long>(i);
        if (offs[i] + files[i].size <= u && files[i].size) break;
      }
      Plan& cur = plans.back();
      Plan np;
      if (straddle < 0) {
        cur.hi = cur.hiEnd = u;
        np.lo = np.loEnd = u;
        FolderPlan f;
        f.base = f.u0 = f.u1 = u;
        np.folders.push_back(std::move(f));
        comp = std::make_unique<Compressor>(opt.type, opt.level);
        if (!comp->run(buf.data(), buf.size(), fr.data) || fr.data.size() > 0xFFFF) {
          err = "compression failed";
          return false;
        }
        plans.push_back(std::move(np));
        cabSize = fixed;
      } else {
        int64_t avail = static_cast<int64_t>(opt.volumeSize) - static_cast<int64_t>(cabSize + recs + 16);
        int64_t sz = static_cast<int64_t>(fr.data.size());
        if (avail > sz - 1) avail = sz - 1;
        if (avail < 1) avail = 1;
        Frame a, b;
        a.uncomp = 0;
        a.data.assign(fr.data.begin(), fr.data.begin() + avail);
        b.uncomp = fr.uncomp;
        b.data.assign(fr.data.begin() + avail, fr.data.end());
        cur.folders.back().frames.push_back(std::move(a));
        cur.folders.back().u1 = nu;
        cur.hi = u;
        cur.hiEnd = nu;
        np.lo = u;
        np.loEnd = nu;
        FolderPlan f;
        f.base = cur.folders.back().base;
        f.u0 = u;
        f.u1 = nu;
        f.frames.push_back(std::move(b));
        np.folders.push_back(std::move(f));
        uint64_t carry = 0;
        long lastCont = straddle;
        for (size_t i = static_cast<size_t>(straddle); i < nr; ++i) {
          carry += record_size(i);
          if (files[i].size) lastCont = static_cast<long>(i);
        }
        plans.push_back(std::move(np));
        cabSize = fixed + carry + 16 + plans.back().folders.back().frames.back().data.size();
        restartAfter = lastCont;
        nextRec = nr;
        u = nu;
        buf.clear();
        return true;
      }
    }
    cabSize += recs + 16 + fr.data.size();
    nextRec = nr;
    u = nu;
    plans.back().folders.back().u1 = u;
    plans.back().folders.back().frames.push_back(std::move(fr));
    buf.clear();
    return true;
  };
  std::unique_ptr<FolderReader> old;
  int oldFolder = -1;
  for (size_t fi = 0; fi < files.size(); ++fi) {
    const Source& s = files[fi];
    std::unique_ptr<fsio::File> f;
    if (s.fromSet) {
      if (!old || oldFolder != s.fromFolder || old->position() > s.fromOffset) {
        old = std::make_unique<FolderReader>(*s.fromSet, s.fromFolder);
        oldFolder = s.fromFolder;
      }
      if (!old->skip(s.fromOffset - old->position())) {
        err = s.name + ": " + old->error();
        return false;
      }
    } else {
      f = fsio::open_read(s.path);
      if (!f) {
        err = "cannot open " + s.path;
        return false;
      }
    }
    uint64_t left = s.size;
    while (left) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, kFrame - buf.size()));
      size_t at = buf.size();
      buf.resize(at + want);
      bool got = f ? f->read_exact(buf.data() + at, static_cast<int64_t>(want)) : old->read(buf.data() + at, want);
      if (!got) {
        err = "cannot read " + (f ? s.path : s.name);
        return false;
      }
      left -= want;
      if (buf.size() == kFrame && !flush()) return false;
    }
    if (restartAfter == static_cast<long>(fi)) {
      bool moreData = false;
      for (size_t k = fi + 1; k < files.size() && !moreData; ++k) moreData = files[k].size > 0;
      if (moreData && !buf.empty() && !flush()) return false;
      if (moreData && restartAfter == static_cast<long>(fi)) {
        FolderPlan nf;
        nf.base = nf.u0 = nf.u1 = u;
        plans.back().folders.push_back(std::move(nf));
        comp = std::make_unique<Compressor>(opt.type, opt.level);
      }
      if (restartAfter == static_cast<long>(fi)) restartAfter = -1;
    }
  }
  old.reset();  // the cabinet being added to is replaced below
  if (!buf.empty() && !flush()) return false;
  plans.back().hi = plans.back().hiEnd = u;
  if (spanned && plans.size() > 99) {
    err = "more than 99 volumes";
    return false;
  }

  // Each volume's new file; those not put in place go when these do.
  std::vector<std::unique_ptr<fsio::NewArchive>> outs;
  const int nv = static_cast<int>(plans.size());
  for (int vi = 0; vi < nv; ++vi) {
    const Plan& p = plans[vi];
    const bool last = vi == nv - 1;
    const int nf = static_cast<int>(p.folders.size());
    // Files touching this cabinet's range; an empty file belongs where it starts.
    struct Listed {
      size_t i;
      uint16_t ifold;
      uint64_t base;
    };
    std::vector<Listed> listed;
    auto touches = [&](uint64_t a, uint64_t b, uint64_t x, uint64_t xEnd) {
      return x < xEnd && a < xEnd && (b > x || a >= x);
    };
    for (size_t i = 0; i < files.size(); ++i) {
      uint64_t a = offs[i], b = offs[i] + files[i].size;
      bool before = touches(a, b, p.lo, p.loEnd);
      bool after = touches(a, b, p.hi, p.hiEnd);
      bool in = before || after ||
                (files[i].size ? (a < p.hi && b > p.lo) : (a >= p.lo && (a < p.hi || (last && a == p.hi))));
      if (!in) continue;
      int k = 0;
      if (files[i].size) {
        while (k + 1 < nf && p.folders[k].u1 <= a) ++k;
      } else {
        while (k + 1 < nf && p.folders[k + 1].u0 <= a && p.folders[k + 1].u0 < p.folders[k + 1].u1) ++k;
      }
      if (before) k = 0;
      if (after) k = nf - 1;
      uint16_t ifold = before && after ? kBoth : before ? kFromPrev : after ? kToNext : static_cast<uint16_t>(k);
      listed.push_back({i, ifold, p.folders[k].base});
    }
    bool fromPrev = vi > 0, toNext = !last;
    std::string prevName = fromPrev ? arc::base_name(volumeName(vi - 1)) : "";
    std::string nextName = toNext ? arc::base_name(volumeName(vi + 1)) : "";
    std::vector<uint8_t> h;
    uint32_t coffFolders = 36;
    if (fromPrev) coffFolders += static_cast<uint32_t>(prevName.size() + 2);
    if (toNext) coffFolders += static_cast<uint32_t>(nextName.size() + 2);
    uint32_t coffFiles = coffFolders + 8 * nf;
    uint32_t coffData = coffFiles;
    for (auto& l : listed) coffData += static_cast<uint32_t>(record_size(l.i));
    uint32_t size = coffData;
    for (auto& fo : p.folders)
      for (const Frame& fr : fo.frames) size += 8 + static_cast<uint32_t>(fr.data.size());
    put32(h, 0x4643534D);
    put32(h, 0);
    put32(h, size);
    put32(h, 0);
    put32(h, coffFiles);
    put32(h, 0);
    h.push_back(3);
    h.push_back(1);
    put16(h, static_cast<uint16_t>(nf));
    put16(h, static_cast<uint16_t>(listed.size()));
    put16(h, static_cast<uint16_t>((fromPrev ? kPrev : 0) | (toNext ? kNext : 0)));
    put16(h, opt.setId);
    put16(h, static_cast<uint16_t>(vi));
    auto putstr = [&](const std::string& s) {
      h.insert(h.end(), s.begin(), s.end());
      h.push_back(0);
    };
    if (fromPrev) {
      putstr(prevName);
      putstr("");
    }
    if (toNext) {
      putstr(nextName);
      putstr("");
    }
    uint32_t dataAt = coffData;
    for (auto& fo : p.folders) {
      put32(h, dataAt);
      put16(h, static_cast<uint16_t>(fo.frames.size()));
      put16(h, opt.type);
      for (const Frame& fr : fo.frames) dataAt += 8 + static_cast<uint32_t>(fr.data.size());
    }
    for (auto& l : listed) {
      const Source& s = files[l.i];
      put32(h, s.size);
      put32(h, static_cast<uint32_t>(offs[l.i] - l.base));
      put16(h, l.ifold);
      put16(h, s.date);
      put16(h, s.time);
      put16(h, s.attribs);
      putstr(s.name);
    }
    outs.push_back(std::make_unique<fsio::NewArchive>(volumeName(vi)));
    fsio::NewArchive& na = *outs.back();
    if (!na.open()) {
      err = na.what_failed();
      return false;
    }
    fsio::File* out = &na.file();
    bool ok = out->write(h.data(), static_cast<int64_t>(h.size()));
    for (auto& fo : p.folders) {
      for (size_t k = 0; k < fo.frames.size() && ok; ++k) {
        const Frame& fr = fo.frames[k];
        std::vector<uint8_t> d;
        uint8_t hdr[4] = {static_cast<uint8_t>(fr.data.size()), static_cast<uint8_t>(fr.data.size() >> 8),
                          static_cast<uint8_t>(fr.uncomp), static_cast<uint8_t>(fr.uncomp >> 8)};
        put32(d, checksum(hdr, 4, checksum(fr.data.data(), fr.data.size(), 0)));
        d.insert(d.end(), hdr, hdr + 4);
        ok = out->write(d.data(), 8) &&
             (fr.data.empty() || out->write(fr.data.data(), static_cast<int64_t>(fr.data.size())));
      }
    }
    if (!ok || !na.close()) {
      err = na.ok() ? "cannot write " + na.target() : na.what_failed();
      return false;
    }
  }
  for (auto& na : outs) {
    if (!na->commit()) {
      err = na->what_failed();
      return false;
    }
    written.push_back(na->target());
  }
  return true;
}

}  // namespace cab
