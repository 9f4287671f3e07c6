// ZIP archive writing: adds, updates and deletes entries by building a new
// archive beside the old one and replacing it only when every step worked;
// also drops a self-extractor prefix or makes the offsets count it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zipf {

struct PackOptions {
  std::string rootDir;       // names are taken relative to it
  bool recurse = false;      // a folder brings everything below it
  bool junkDir = false;      // store base names only
  bool deleteEntries = false;  // names are entry patterns to remove
  bool update = false;       // replace an entry only with a newer file
  bool junkSfx = false;      // drop everything in front of the archive
  bool fixOffsets = false;   // keep the prefix and make offsets count it
  bool system = false;       // take hidden and system files too
  bool noDirEntries = false; // no entries of their own for folders
  bool encrypt = false;
  bool latestTime = false;   // archive's time := its newest entry's
  int level = 6;             // 0 stores
  std::string password;      // with encrypt
};

class PackHooks {
 public:
  virtual ~PackHooks() = default;
  virtual void log(const std::string& line) = 0;
  // Called before each file is taken in; false stops the run.
  virtual bool service(const std::string& name, uint64_t size) = 0;
  // Asked once when encrypt is set and no password was given; false: none.
  virtual bool password(std::string& out) = 0;
};

// Answers as the packing library's callers know them.
enum PackResult : int {
  kZipOk = 0,
  kZipFormat = 3,    // the archive is damaged or not a ZIP archive
  kZipMemory = 4,
  kZipAbort = 9,     // stopped by the service callback or no password
  kZipTemp = 10,     // the new archive could not be written
  kZipRead = 11,     // a file could not be read
  kZipNothing = 12,  // nothing to do
  kZipParams = 16,
  kZipOpen = 18,     // the archive could not be opened or replaced
};

int pack(const std::string& archive, const std::vector<std::string>& names, const PackOptions& opt, PackHooks& hooks);

}  // namespace zipf
