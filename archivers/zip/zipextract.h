// Extraction and testing of a ZIP archive's entries into a base folder, for
// both kinds of the unzip library and the self-extractor. The callers bring
// their own questions (overwrite, password), log and progress through Hooks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text.h"
#include "zipfmt.h"

namespace zipf {

enum class Existing { ask, overwrite, skip };

struct ExtractOptions {
  std::string baseDir;                 // where names land; empty = current folder
  std::vector<std::string> include;    // patterns; empty = every entry
  std::vector<std::string> exclude;
  bool folders = true;                 // keep the stored folders
  bool test = false;                   // check only, write nothing
  bool onlyNewer = false;              // leave files that are as new as the entry
  Existing existing = Existing::ask;
  bool setAttributes = true;
};

// The entries that include names and exclude does not, with the names told
// the archive's entries (a name spelt as a stored entry is that entry only).
class Selection {
 public:
  Selection(const std::vector<std::string>& include, const std::vector<std::string>& exclude, const Archive& a);
  bool operator()(const Entry& e) const;

 private:
  arc::NameMatcher include_, exclude_;
};

enum class Answer { yes, no, all, none, cancel };

class ExtractHooks {
 public:
  virtual ~ExtractHooks() = default;
  virtual void log(const std::string& line) = 0;
  // Before each entry; false stops the whole run.
  virtual bool progress(const Entry& e, const std::string& target) { return true; }
  // Bytes written so far for the current entry; false stops the run.
  virtual bool bytes(const Entry& e, uint64_t done) { return true; }
  virtual Answer ask_overwrite(const std::string& path) { return Answer::no; }
  // A password for the entry; false when none can be had. again: the last one was wrong.
  virtual bool password(const Entry& e, bool again, std::string& out) { return false; }
};

struct ExtractResult {
  int done = 0;        // entries extracted or tested
  int skipped = 0;     // left alone (existing file kept)
  int errors = 0;      // damaged, unsafe, wrong password, write failures
  int matched = 0;     // entries the patterns chose
  bool aborted = false;
  bool badArchive = false;  // the archive could not be read at all
  bool badPassword = false;
};

ExtractResult extract(const std::string& archivePath, const ExtractOptions& opt, ExtractHooks& hooks);
ExtractResult extract(fsio::File& f, const Archive& a, const ExtractOptions& opt, ExtractHooks& hooks);

// One entry's bytes into memory: at most cap bytes; false on failure.
bool extract_to_memory(fsio::File& f, const Archive& a, const Entry& e, ExtractHooks& hooks, uint64_t cap,
                       std::vector<uint8_t>& out, std::string& error);

}  // namespace zipf
