// The few file-system calls the format code needs. Paths are narrow strings
// in the system code page; on Windows they go to the ANSI file API, elsewhere
// to POSIX. Format and codec code calls only these, never the platform.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fsio {

// The platform's path separator: '\' on Windows, '/' elsewhere.
#if defined(_WIN32)
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes; answers the count read, 0 at the end, -1 on error.
  virtual int64_t read(void* p, int64_t n) = 0;
  virtual bool write(const void* p, int64_t n) = 0;
  virtual bool seek(int64_t pos) = 0;
  virtual int64_t tell() = 0;
  virtual int64_t size() = 0;
  // Reads exactly n bytes or fails.
  bool read_exact(void* p, int64_t n);
};

std::unique_ptr<File> open_read(const std::string& path);
// Creates or truncates.
std::unique_ptr<File> open_write(const std::string& path);

bool read_all(const std::string& path, std::vector<uint8_t>& out);
bool write_all(const std::string& path, const void* data, size_t n);

bool exists(const std::string& path);
bool is_dir(const std::string& path);
// Makes the folder and every missing parent.
bool make_dirs(const std::string& path);
bool remove_file(const std::string& path);
bool remove_dir(const std::string& path);
// Replaces target with source (both on one volume).
bool replace_file(const std::string& source, const std::string& target);

// Modification time as a Unix time (UTC seconds); -1 when unknown.
int64_t mtime(const std::string& path);
bool set_mtime(const std::string& path, int64_t unixTime);
// The current time as a Unix time; past 2038 too, where the 32-bit
// runtime's time_t (and the clocks built on it) wrap.
int64_t now();
// Windows-style attribute bits (1 read-only, 2 hidden, 4 system, 16 folder, 32 archive).
uint32_t attributes(const std::string& path);
bool set_attributes(const std::string& path, uint32_t attrs);
int64_t file_size(const std::string& path);

struct DirEntry {
  std::string name;
  bool dir = false;
  // What the listing told besides, when known is set (the Windows listing
  // gives them at no cost; asking again for each file is a call apiece).
  bool known = false;
  uint32_t attrs = 0;
  int64_t size = -1;
  int64_t mtime = -1;
};
// Names in a folder, without "." and "..".
bool list_dir(const std::string& path, std::vector<DirEntry>& out);

// A name beside target for writing a new archive before it replaces the old one.
std::string temp_beside(const std::string& target);

// Joins a folder and a relative path with the platform separator; '/' in rel
// becomes the separator.
std::string join(std::string_view dir, std::string_view rel);

}  // namespace fsio
