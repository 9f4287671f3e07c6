// The GZA/BZA library's operations, shared by bga32.dll and its
// self-extractor. Portable; questions go through callbacks.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bga_format.h"
#include "text.h"

namespace bga {

enum : int {
  kOk = 0,
  kErrSkipped = 0x8007,
  kErrCrc = 0x800C,
  kErrNotFound = 0x800F,
  kErrMkdir = 0x8012,
  kErrWrite = 0x8013,
  kErrBroken = 0x8017,
  kErrOpen = 0x8018,
  kErrNotArchive = 0x8019,
  kErrCommand = 0x801C,
  kErrBusy = 0x801F,
  kErrCancel = 0x8020,
  kErrUnsupported = 0x8023,
};

// 'y' yes, 'n' no, 'a' yes to all, 'c' cancel.
using Asker = std::function<char(const std::string& path)>;

struct ExtractOptions {
  std::string base;
  std::vector<std::string> patterns;  // empty = all
  bool junkPaths = false;
  bool overwrite = false;   // without it, ask
  bool allAttributes = false;  // hidden and system too
  Asker ask;
  std::function<void(const Entry&, bool begin)> progress;  // may be empty
};
int extract(const std::string& archive, const ExtractOptions& o, arc::LogWriter& log);
int test(const std::string& archive, arc::LogWriter& log);
// Writes one entry's bytes into the log buffer (as the "$" reader wants).
int print(const std::string& archive, const std::vector<std::string>& patterns, arc::LogWriter& log);

struct AddOptions {
  std::string base;
  std::vector<std::string> names;
  bool recurse = false;
  bool newerOnly = false;      // keep an entry that is as new as the file
  bool allAttributes = false;  // without it, hidden and system files stay out
  bool fromBaseName = false;   // the file is base + the name's last part
  Method method = Method::Deflate;
  int level = 6;               // 0 stores
};
int add(const std::string& archive, const AddOptions& o, arc::LogWriter& log);

int remove(const std::string& archive, const std::vector<std::string>& patterns, bool below, arc::LogWriter& log);

// Asks a new last name for each named entry (or folder "X\*.*").
using NameAsker = std::function<std::optional<std::string>(const std::string& oldName)>;
int rename(const std::string& archive, const std::vector<std::string>& patterns, const NameAsker& ask,
           arc::LogWriter& log);

int make_sfx(const std::string& archive, const std::string& outExe, const std::vector<uint8_t>& stub,
             arc::LogWriter& log);

}  // namespace bga
