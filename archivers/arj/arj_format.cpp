#include <algorithm>
#include <cstring>

#include "arj.h"
#include "fsio.h"
#include "peimage.h"
#include "text.h"

namespace arj {
namespace {

constexpr uint8_t kId0 = 0x60, kId1 = 0xEA;
constexpr size_t kMaxBasic = 2600;
constexpr int kMaxExtHeaders = 64;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

struct RawHeader {
  std::vector<uint8_t> basic;
  int64_t next = 0;  // position after the basic header, its CRC and the extended headers
  bool end = false;  // the size-0 header that closes the archive
};

// Reads the header at pos. Checks the id, the size and the CRC.
Status read_header(Source& src, int64_t pos, RawHeader& h) {
  uint8_t head[4];
  if (!src.read_at(pos, head, 4)) return Status::Truncated;
  if (head[0] != kId0 || head[1] != kId1) return Status::BadHeader;
  uint16_t size = le16(head + 2);
  if (size == 0) {
    h.end = true;
    h.next = pos + 4;
    return Status::Ok;
  }
  if (size > kMaxBasic || size < 30) return Status::BadHeader;
  h.basic.resize(size + 4);
  if (!src.read_at(pos + 4, h.basic.data(), h.basic.size())) return Status::Truncated;
  if (arc::crc32(0, h.basic.data(), size) != le32(h.basic.data() + size)) return Status::BadHeader;
  h.basic.resize(size);
  if (h.basic[0] < 30 || h.basic[0] > size) return Status::BadHeader;
  int64_t p = pos + 4 + size + 4;
  // Extended headers: a size, the bytes and their CRC, until a size of 0.
  for (int i = 0;; ++i) {
    uint8_t sz[2];
    if (!src.read_at(p, sz, 2)) return Status::Truncated;
    p += 2;
    uint16_t ext = le16(sz);
    if (ext == 0) break;
    if (i >= kMaxExtHeaders) return Status::BadHeader;
    p += ext + 4;
    if (p > src.size()) return Status::Truncated;
  }
  h.next = p;
  return Status::Ok;
}

// Name and comment follow the fixed part; the name ends at its NUL.
bool header_name(const std::vector<uint8_t>& b, std::string& name) {
  size_t start = b[0];
  const void* nul = std::memchr(b.data() + start, 0, b.size() - start);
  if (!nul) return false;
  name.assign(reinterpret_cast<const char*>(b.data() + start), static_cast<const uint8_t*>(nul) - (b.data() + start));
  return true;
}

}  // namespace

bool MemSource::read_at(int64_t pos, void* p, size_t n) {
  if (pos < 0 || static_cast<uint64_t>(pos) > n_ || n > n_ - static_cast<size_t>(pos)) return false;
  std::memcpy(p, p_ + pos, n);
  return true;
}

FileSource::FileSource(std::unique_ptr<fsio::File> f) : f_(std::move(f)) {
  if (f_) size_ = f_->size();
}
FileSource::~FileSource() = default;

bool FileSource::read_at(int64_t pos, void* p, size_t n) {
  if (!f_ || pos < 0 || pos > size_ || static_cast<int64_t>(n) > size_ - pos) return false;
  if (pos != cur_ && !f_->seek(pos)) {
    cur_ = -1;
    return false;
  }
  if (!f_->read_exact(p, static_cast<int64_t>(n))) {
    cur_ = -1;
    return false;
  }
  cur_ = pos + static_cast<int64_t>(n);
  return true;
}

uint32_t Entry::dos_attributes() const {
  uint32_t a = 0;
  if (hostOS == kUnix) {
    // The host wrote a Unix mode.
    if ((accessMode & 0xF000) == 0x4000) a |= 0x10;
    if (!(accessMode & 0x80)) a |= 0x01;
  } else {
    a = accessMode & 0x37;
  }
  if (is_dir()) a |= 0x10;
  return a;
}

const char* status_text(Status s) {
  switch (s) {
    case Status::Ok: return "OK";
    case Status::NotArj: return "ARJ 書庫ではありません";
    case Status::BadHeader: return "ヘッダが壊れています";
    case Status::Truncated: return "書庫が途中で切れています";
  }
  return "";
}

int64_t find_main_header(Source& src) {
  // A self-extractor is a program with the archive behind it: the main
  // header (the id, a sane size, a good CRC and the main header's file type)
  // must start where the program's image ends.
  // Only a program carries an archive behind something else: in any other
  // file an ARJ header further in is a member of another container.
  uint8_t head[2];
  if (!src.read_at(0, head, 2)) return -1;
  if (head[0] != 'M' || head[1] != 'Z') {
    RawHeader h;
    return head[0] == kId0 && head[1] == kId1 && read_header(src, 0, h) == Status::Ok && !h.end &&
                   h.basic[6] == kMainHeader
               ? 0
               : -1;
  }
  // A program: the archive starts where its image ends. An ARJ further in
  // is a member of whatever archive lies there.
  int64_t end = static_cast<int64_t>(peimage::image_end(
      [&src](uint64_t pos, void* p, size_t n) { return src.read_at(static_cast<int64_t>(pos), p, n); },
      static_cast<uint64_t>(src.size())));
  RawHeader h;
  if (end > 0 && read_header(src, end, h) == Status::Ok && !h.end && h.basic[6] == kMainHeader) return end;
  return -1;
}

Status read_archive(Source& src, Archive& out) {
  out = Archive{};
  out.mainPos = find_main_header(src);
  if (out.mainPos < 0) return Status::NotArj;
  RawHeader mh;
  Status st = read_header(src, out.mainPos, mh);
  if (st != Status::Ok) return st;
  out.mainFlags = mh.basic[4];
  if (!header_name(mh.basic, out.storedName)) return Status::BadHeader;
  // Each header moves forward by its own size, so the walk ends.
  int64_t pos = mh.next;
  while (true) {
    RawHeader h;
    st = read_header(src, pos, h);
    if (st != Status::Ok) return st;
    if (h.end) return Status::Ok;
    const auto& b = h.basic;
    Entry e;
    e.arjVersion = b[1];
    e.minVersion = b[2];
    e.hostOS = b[3];
    e.flags = b[4];
    e.method = b[5];
    e.fileType = b[6];
    // Packers on Unix hosts store Unix seconds here, all others a DOS date.
    uint32_t stamp = le32(&b[8]);
    if (e.hostOS == kUnix || e.hostOS == kNext) {
      e.mtime = stamp;
      e.dosTime = arc::unix_to_dos(stamp);
    } else {
      e.dosTime = stamp;
      e.mtime = arc::dos_to_unix(stamp);
    }
    e.packed = le32(&b[12]);
    e.original = le32(&b[16]);
    e.crc = le32(&b[20]);
    e.accessMode = le16(&b[26]);
    std::string raw;
    if (!header_name(b, raw)) return Status::BadHeader;
    e.name = arc::to_slashes(raw);
    e.dataPos = h.next;
    if (e.dataPos + static_cast<int64_t>(e.packed) > src.size()) return Status::Truncated;
    pos = e.dataPos + e.packed;
    if (e.fileType == kBinary || e.fileType == kText || e.fileType == kDirectory) out.entries.push_back(std::move(e));
  }
}

std::string method_text(const Entry& e) {
  if (e.is_dir()) return "Folder";
  if (e.method == 0) return "Store";
  return "Method" + std::to_string(e.method);
}

}  // namespace arj
