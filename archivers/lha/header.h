// LHA entry headers: reading levels 0 to 3 with their generic, MS-DOS
// and Unix extended headers, and writing level 2. Works on bytes only, so
// the fuzz target drives it without files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lha {

struct Entry {
  std::string method;       // "-lh5-"
  std::string path;         // '/' between folders, code page 932; no trailing '/'
  bool dir = false;         // -lhd- folder entry
  bool link = false;        // a stored symbolic link: never extracted
  uint64_t packed = 0, original = 0;
  uint32_t dosTime = 0;     // local DOS date << 16 | time
  int64_t unixTime = -1;    // UTC, when the header has one
  uint16_t crc = 0;
  uint32_t attr = 0x20;     // MS-DOS attributes
  uint8_t level = 2;
  uint8_t os = 'M';
  uint64_t offset = 0;      // of the header in the file
  uint32_t headerSize = 0;  // the header's bytes; data follows
  uint64_t data_offset() const { return offset + headerSize; }
};

enum class HeaderStatus { Ok, End, Truncated, Broken, Unsupported };

// Parses the header at p (avail bytes readable). On Ok, e holds the entry
// with offset left 0 and headerSize set. End: the archive's end mark.
HeaderStatus parse_header(const uint8_t* p, size_t avail, Entry& e, std::string& why);

// A plausible header start, for finding an archive inside a program.
bool looks_like_header(const uint8_t* p, size_t avail);

// Bytes of a level-2 header for e (method, sizes, crc, unixTime, attr, path).
// Empty when the name does not fit.
std::vector<uint8_t> build_header(const Entry& e);

// Stored path with '\\', '/' and 0xFF all as '/', double-byte aware.
std::string normalize_path(const std::string& raw);

}  // namespace lha
