// What the LHA library does, apart from its entry layer: extract, test,
// print, pack and update, delete, rename, the self-extractor files and one
// entry into memory. Portable; the entry layer turns the command text into
// these options and answers the questions and the progress through Host.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "arcapi.h"
#include "ophost.h"
#include "text.h"

namespace lha {

// Answers of the common interface.
using enum arcapi::CommonError;

// Questions and progress (the steps kBegin, kInProcess, kEnd) go to the
// library layer.
using Host = arc::OpHost;
using enum arc::ProgressStep;

struct Command {
  std::string archive;
  std::string base;                // folder the names are relative to, or where to extract
  std::vector<std::string> names;  // as written; empty means everything
};

struct ExtractOptions {
  bool folders = true;      // x keeps the stored folders, e drops them
  bool timeCheck = true;    // -c0 (default): an existing file not older than the entry stays
  bool yes = false;         // -y: never ask
  bool noRoot = false;      // -jf0: a stored root (drive, leading separator) is dropped
  bool attributes = false;  // -a1: stored attributes restored
};
int extract(const Command& c, const ExtractOptions& o, Host& host, arc::LogWriter& log);
int test(const Command& c, arc::LogWriter& log);
// The named entries' bytes into buf, NUL-terminated, no log.
int print(const Command& c, char* buf, uint32_t size);

struct AddOptions {
  bool update = false;        // u: replace an entry only by a newer file
  bool folders = false;       // -x1: keep folder names and store folder entries
  bool recurse = false;       // -r: into folders named by a wildcard
  bool all = false;           // -a1: hidden and system files too
  bool byStoredName = false;  // -jr1: the name is the stored path, the file its last part in base
  bool newestTime = false;    // -t1: the archive takes its newest entry's time
  int level = 5;              // 0 stored, 5, 6 or 7
};
int add(const Command& c, const AddOptions& o, Host& host, arc::LogWriter& log);

// byPath: names are whole stored paths; without it a plain name also takes
// that file name in every folder.
int remove(const Command& c, bool byPath, bool newestTime, arc::LogWriter& log);
int rename(const Command& c, Host& host, arc::LogWriter& log);

// The self-extractor: base (or the archive's folder) \ archive name.exe =
// stub, marker block, archive. An empty stub is reported as missing.
int make_sfx(const Command& c, uint32_t sfxOptions, bool copyTime, const std::vector<uint8_t>& stub,
             arc::LogWriter& log);
// c.archive is the new archive, c.names[0] the program holding it.
int undo_sfx(const Command& c, bool copyTime, arc::LogWriter& log);

// At most size bytes of one entry; its time as Unix time and attributes.
int extract_to_memory(const std::string& archive, const std::string& entry, uint8_t* buf, uint32_t size,
                      int32_t* time, uint16_t* attr, uint32_t* written);

}  // namespace lha
