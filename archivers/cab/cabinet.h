// Cabinet files: reading a set of volumes (folders continued from one
// cabinet into the next), streaming a folder's bytes, and writing a set.
// Portable; the only platform calls go through fsio.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fsio.h"

namespace cab {

enum : uint16_t { kNone = 0, kMszip = 1, kQuantum = 2, kLzx = 3 };
constexpr uint32_t kFrame = 32768;  // uncompressed bytes per data block

// The cabinet checksum over one data block (seed chains the pieces).
uint32_t checksum(const uint8_t* p, size_t n, uint32_t seed);

struct Part {            // one CFDATA record (a block split over volumes has two)
  int volume = 0;
  int64_t pos = 0;       // absolute file offset of the data bytes
  uint16_t cbData = 0;
  uint16_t cbUncomp = 0;
  uint32_t csum = 0;
};
struct Block {
  std::vector<Part> parts;
  uint32_t uncomp = 0;
  bool complete = false;  // false while its last part says "continued"
};
struct Folder {
  uint16_t type = 0;      // low 4 bits method, LZX window bits in 8-12
  std::vector<Block> blocks;
  uint64_t packed = 0, unpacked = 0;
  bool continues = false; // files of its last cabinet run on into the next
};
struct Entry {
  std::string name;       // as stored (CP932, or UTF-8 when flagged)
  uint32_t size = 0, offset = 0;
  uint16_t date = 0, time = 0, attribs = 0;
  int folder = -1;        // index into CabSet::folders
  bool fromPrev = false;  // starts in a cabinet we do not have
  bool toNext = false;    // runs on into the next cabinet
  int volume = 0;
};

struct CabSet {
  std::vector<std::string> volumes;
  std::vector<Folder> folders;
  std::vector<Entry> entries;
  bool missingNext = false;  // the set names a next cabinet we could not open
  std::string nextName;      // that cabinet's name
  int64_t start = 0;         // offset of the first cabinet in its file (self-extractors)
};

// Offset of a cabinet inside a file: 0 for a plain cabinet, the position
// after a self-extractor's program, or -1.
int64_t find_cabinet(fsio::File& f);

// Reads the cabinet at path and, with follow, every next volume it names
// (found beside it). Answers false with a message in err for damage.
bool open_set(const std::string& path, bool follow, CabSet& set, std::string& err);

std::string method_text(uint16_t type);

// Produces one folder's uncompressed bytes in order, checking each block's
// checksum and size.
class FolderReader {
 public:
  FolderReader(const CabSet& set, int folder);
  ~FolderReader();
  bool read(uint8_t* out, size_t n);   // exactly n bytes or false
  bool skip(uint64_t n);
  uint64_t position() const { return pos_; }
  const std::string& error() const { return err_; }

 private:
  bool next_block();
  const CabSet& set_;
  const Folder& folder_;
  size_t block_ = 0;
  uint64_t pos_ = 0;
  std::vector<uint8_t> in_, out_;
  size_t outPos_ = 0;
  std::string err_;
  std::vector<std::unique_ptr<fsio::File>> files_;
  struct Codec;
  std::unique_ptr<Codec> codec_;
};

// ---- writing ----
struct Source {
  std::string path;      // file to read
  std::string name;      // stored name, CP932, '\' separators
  uint16_t date = 0, time = 0, attribs = 0;
  uint32_t size = 0;
  // Or the bytes of an entry of an existing set (the cabinet being added to).
  const CabSet* fromSet = nullptr;
  int fromFolder = -1;
  uint32_t fromOffset = 0;
};
struct WriteOptions {
  uint16_t type = kMszip; // kNone, kMszip or kLzx | (bits << 8)
  int level = 6;          // deflate level for MSZIP
  uint64_t volumeSize = 0;  // 0 = one cabinet
  uint16_t setId = 0;
};
// Writes the cabinet (or volumes named by volumeName(i), i from 0) and
// answers the paths written. Each volume is written beside its final name
// and moved into place only when all of them are done.
bool write_set(const std::vector<Source>& files, const WriteOptions& opt,
               const std::function<std::string(int)>& volumeName, std::vector<std::string>& written,
               std::string& err);

}  // namespace cab
