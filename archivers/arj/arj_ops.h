// What the ARJ library does, apart from its entry layer: list, test, print
// and extract. Portable; the entry layer turns the command text into these
// options and answers the overwrite question and the progress through Host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "arcapi.h"
#include "ophost.h"
#include "text.h"

namespace arj {

// Answers of the common interface.
using enum arcapi::CommonError;

// Questions and progress (the steps kBegin, kInProcess, kEnd) go to the
// library layer.
using Host = arc::OpHost;
using enum arc::ProgressStep;

// names: stored paths or patterns; empty means every entry.
int list(const std::string& archive, const std::vector<std::string>& names, arc::LogWriter& log);
int test(const std::string& archive, const std::vector<std::string>& names, arc::LogWriter& log);
// The entries' bytes, and nothing else, into out (NUL-terminated when there is room).
int print(const std::string& archive, const std::vector<std::string>& names, char* out, uint32_t size);

struct ExtractOptions {
  std::string base;
  std::vector<std::string> names;
  bool withFolders = false;         // x
  bool overwriteOlderCheck = true;  // without -c an existing file not older than the entry stays
  bool yesToAll = false;            // -y
  bool silent = false;              // -i: nobody to ask, an existing file stays
  bool allAttributes = false;       // -a, -a1
};
int extract(const std::string& archive, const ExtractOptions& o, Host& host, arc::LogWriter& log);

}  // namespace arj
