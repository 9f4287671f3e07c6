// The common interface's listing entries (OpenArchive, FindFirst, FindNext,
// CloseArchive) over a list of records made by a format reader. Every stand-in
// uses this one piece, so each find-next is constant time and every library
// matches wildcards the same way.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "arcapi.h"
#include "text.h"

namespace arc {

// An entry's sizes in full: records hold 32 bits.
struct FullSizes {
  uint64_t original = 0, compressed = 0;
};

struct Listing {
  std::vector<arcapi::IndividualInfo> entries;
  // The full sizes of entries, one per record, where a record cannot hold
  // them; empty: the records' own are whole.
  std::vector<FullSizes> fullSizes;
  NameMatcher patterns;  // from FindFirst; empty = all
  size_t pos = 0;
  // Instead of entries: a count and a maker that fills record i on demand,
  // for archives whose records would take hundreds of megabytes at once.
  // The sizes come in as the record's; the maker puts the full ones there.
  size_t lazyCount = 0;
  std::function<void(size_t, arcapi::IndividualInfo&, FullSizes&)> lazyFill;
  // Of the record FindFirst or FindNext handed out last.
  FullSizes current;
  bool haveCurrent = false;
};

// Fills one record; texts are cut to their fields.
void fill_record(arcapi::IndividualInfo& r, const std::string& name, uint32_t original, uint32_t compressed,
                 uint32_t crc, uint32_t dosDateTime, const std::string& attribute, const std::string& method,
                 uint32_t osType = 0, uint32_t flag = 0);

// Attribute text of the usual kind ("--wa" style: read-only, hidden, system, archive).
std::string attribute_text(uint32_t attrs);

arcapi::HARC listing_open(Listing* l);          // takes ownership
int listing_find_first(arcapi::HARC h, const char* wildcards, arcapi::IndividualInfo* out);
int listing_find_next(arcapi::HARC h, arcapi::IndividualInfo* out);
int listing_close(arcapi::HARC h);
// GetOriginalSizeEx and GetCompressedSizeEx: TRUE with the current entry's
// full size; FALSE with no current entry.
arcapi::BOOL_ listing_original_size_ex(arcapi::HARC h, int64_t* size);
arcapi::BOOL_ listing_compressed_size_ex(arcapi::HARC h, int64_t* size);

// Marks a library busy for the length of an operation.
class RunningGuard {
 public:
  explicit RunningGuard(std::atomic<int>& flag) : flag_(flag) { ++flag_; }
  ~RunningGuard() { --flag_; }

 private:
  std::atomic<int>& flag_;
};

}  // namespace arc
