#include "peimage.h"

#include <cstring>
#include <vector>

namespace peimage {
namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool is_program(fsio::File& f) {
  uint8_t mz[2];
  return f.seek(0) && f.read_exact(mz, 2) && mz[0] == 'M' && mz[1] == 'Z';
}

uint64_t image_end(fsio::File& f) {
  int64_t size = f.size();
  if (size < 0) return 0;
  return image_end(
      [&f](uint64_t pos, void* p, size_t n) {
        return f.seek(static_cast<int64_t>(pos)) && f.read_exact(p, static_cast<int64_t>(n));
      },
      static_cast<uint64_t>(size));
}

uint64_t image_end(const ReadAt& read, uint64_t size) {
  uint8_t dos[64];
  if (size < 64 || !read(0, dos, 64) || dos[0] != 'M' || dos[1] != 'Z') return 0;
  uint32_t peAt = le32(dos + 0x3C);
  uint8_t pe[24];
  if (size < 24 || peAt > size - 24 || !read(peAt, pe, 24) || std::memcmp(pe, "PE\0\0", 4) != 0) {
    // A DOS program: its header counts the image in 512-byte pages, the
    // last one holding the given number of bytes (0 for a full page).
    uint64_t pages = le16(dos + 4), last = le16(dos + 2);
    uint64_t end = pages == 0 ? 0 : pages * 512 - (last ? 512 - last : 0);
    return end <= size ? end : 0;
  }
  unsigned sections = le16(pe + 6), optSize = le16(pe + 20);
  if (sections == 0 || sections > 96) return 0;
  uint64_t tableAt = static_cast<uint64_t>(peAt) + 24 + optSize;
  std::vector<uint8_t> table(sections * 40u);
  if (tableAt + table.size() > size || !read(tableAt, table.data(), table.size())) return 0;
  uint64_t end = 0;
  for (unsigned i = 0; i < sections; ++i) {
    const uint8_t* s = table.data() + i * 40;
    uint64_t rawSize = le32(s + 16), e = static_cast<uint64_t>(le32(s + 20)) + rawSize;
    if (rawSize && e > end) end = e;
  }
  // Symbols a linker left in (COFF table, then its string table, whose
  // first four bytes give its length) belong to the program too.
  uint64_t symAt = le32(pe + 12), symCount = le32(pe + 16);
  if (symAt >= end && symCount) {
    uint64_t strAt = symAt + symCount * 18;
    uint8_t len[4];
    if (strAt + 4 <= size && read(strAt, len, 4)) {
      uint64_t strEnd = strAt + le32(len);
      if (le32(len) >= 4 && strEnd <= size) end = strEnd;
    }
  }
  return end;
}

}  // namespace peimage
