// What the TAR library does, apart from its entry layer: list, extract,
// test, print one entry, and create tar, tar.gz, tar.bz2 or single gzip and
// bzip2 files. Portable; the library layer supplies the log, the overwrite
// question and progress through Host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "stream.h"

namespace tarx {

// Answers of the operations (0 = success).
constexpr int kOk = 0;
constexpr int kErrCannotOpen = 0x8001;   // archive or file cannot be opened
constexpr int kErrNotArchive = 0x8002;   // not a tar, gzip, bzip2 or compress file
constexpr int kErrDamaged = 0x8003;      // damaged or truncated data
constexpr int kErrWrite = 0x8004;        // a file could not be written
constexpr int kErrCancelled = 0x8005;    // the user stopped
constexpr int kErrNoFiles = 0x8006;      // nothing matched / nothing to pack
constexpr int kErrSomeSkipped = 0x8007;  // unsafe or unsupported entries were left out
constexpr int kErrCommand = 0x8008;      // the command text makes no sense

enum class Kind { Tar, TarGz, TarBz2, TarZ, Gz, Bz2, Z };

struct ArchiveInfo {
  Kind kind = Kind::Tar;
  Codec codec = Codec::None;
  int64_t fileSize = 0;
};

// Opens the file, decodes its first block and decides the kind by content.
bool probe(const std::string& path, ArchiveInfo& info);
const char* kind_text(Kind k);       // method text of the entries
bool is_tar_kind(Kind k);

struct ListedEntry {
  std::string name;
  uint64_t size = 0, packed = 0;
  int64_t mtime = 0;
  uint32_t crc = 0;
  char type = '0';
  uint32_t mode = 0;
};

struct ListResult {
  ArchiveInfo info;
  std::vector<ListedEntry> entries;
  std::string error;  // damage met after the entries listed
};
// False when the file cannot be opened or is no archive of ours.
bool list(const std::string& path, ListResult& out);

// Name of the one entry of a single compressed file: the file name without
// its compression suffix.
std::string single_entry_name(const std::string& archivePath);

class Host {
 public:
  enum Answer { kYes, kNo, kAll, kCancel };
  virtual ~Host() = default;
  virtual void log(const std::string& line) = 0;
  virtual Answer ask_overwrite(const std::string& path) { return kYes; }
  // done and total in bytes of the archive file; false stops the operation.
  virtual bool progress(const std::string& name, int64_t done, int64_t total) { return true; }
};

// patterns: stored names or wildcards; empty means everything.
int extract(const std::string& archive, const std::string& baseDir, const std::vector<std::string>& patterns,
            bool usePaths, Host& host);
int test(const std::string& archive, Host& host);
// Copies the first entry that matches name into buf (at most size bytes).
int print(const std::string& archive, const std::string& name, uint8_t* buf, size_t size, size_t& written,
          Host& host);
// names are relative to baseDir; folders are taken with all they hold.
int create_tar(const std::string& archive, const std::string& baseDir, const std::vector<std::string>& names,
               Codec codec, int level, bool usePaths, Host& host);
int create_single(const std::string& archive, const std::string& input, Codec codec, int level, Host& host);

}  // namespace tarx
