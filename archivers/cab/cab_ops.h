// The cabinet library's operations, shared by cab32.dll and the
// self-extractor: extract, test, pack and the self-extractor file. Portable;
// questions go through an asker the caller supplies.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet.h"
#include "text.h"

namespace cab {

// Answers of the common interface.
enum : int {
  kOk = 0,
  kErrWrite = 0x8013,       // cannot write a file
  kErrCrc = 0x800C,         // checksum or data error
  kErrNotFound = 0x800F,    // no entry matched
  kErrMkdir = 0x8012,
  kErrBroken = 0x8017,      // damaged or truncated header
  kErrOpen = 0x8018,        // archive cannot be opened
  kErrNotArchive = 0x8019,
  kErrCommand = 0x801C,
  kErrCancel = 0x8020,
  kErrUnsupported = 0x8023,
  kErrSkipped = 0x8007,     // some entries were skipped
  kErrBusy = 0x801F,
};

// Stored name as CP932 with '\' separators: names flagged UTF-8 are
// converted when they really are UTF-8.
std::string display_name(const Entry& e);
std::string utf8_to_cp932(const std::string& s);  // platform file

enum class Overwrite { Ask, Always, Never };
// Asked once per existing file: 'y' yes, 'n' no, 'a' yes to all, 'c' cancel.
using Asker = std::function<char(const std::string& path)>;

struct ExtractOptions {
  std::string base;            // destination folder
  std::vector<std::string> patterns;  // empty = all
  bool junkPaths = false;
  bool follow = false;         // read the following volumes of a set
  Overwrite overwrite = Overwrite::Ask;
  Asker ask;
  std::function<void(const Entry&, bool begin)> progress;  // may be empty
};
int extract(const std::string& archive, const ExtractOptions& opt, arc::LogWriter& log);

int test(const std::string& archive, arc::LogWriter& log);

struct PackOptions {
  std::string base;            // names are relative to it
  std::vector<std::string> names;
  bool recurse = false;
  bool skipHiddenSystem = false;
  uint16_t type = kMszip;
  uint64_t volumeSize = 0;     // bytes; 0 = one cabinet
};
// Adds to an existing cabinet (set) of that name, else makes a new one.
// Spanned sets are named <base>01.cab, <base>02.cab...
int pack(const std::string& archive, const PackOptions& opt, arc::LogWriter& log);
std::string volume_name(const std::string& archive, int index);

// The cabinet behind a program stub; stub bytes come from the caller.
int make_sfx(const std::string& archive, const std::string& outExe, const std::vector<uint8_t>& stub,
             arc::LogWriter& log);
// Where the engine's own search finds the cabinet in a self-extractor
// (first "MSCF" and two zero bytes after 0x8000), or -1.
int64_t engine_cabinet_offset(const std::vector<uint8_t>& exe);

}  // namespace cab
