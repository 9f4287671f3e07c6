// Sparse files as tar stores them: a map of the file's data fragments
// (offset and length in the real file) and the fragments' bytes one after
// another; what lies between the fragments is a hole that reads as zeros.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "stream.h"

namespace tarx {

struct Fragment {
  uint64_t offset = 0, size = 0;
};

// A map beyond this many bytes (header extension blocks or the map text at
// the start of the data) counts as damage rather than being held in memory.
constexpr uint64_t kMaxSparseMap = 16u << 20;

constexpr const char* kBadSparseMap = "疎ファイルの地図が壊れています";

// True when the fragments come in order without overlapping, end within the
// real size, and their bytes fit in the stored data that holds them.
bool sparse_map_sound(const std::vector<Fragment>& map, uint64_t realSize, uint64_t stored);

// Strict decimal number (no sign, no blanks).
bool parse_decimal(const std::string& s, uint64_t& v);

// "offset,size,offset,size,..." (pax GNU.sparse.map).
bool parse_map_text(const std::string& s, std::vector<Fragment>& out);

// The map that pax sparse 1.0 puts at the start of the data: decimal numbers
// one to a line (the count, then offset and size of each fragment), padded
// to whole blocks. Reads at most avail bytes of in; used is what the map
// took (whole blocks). False when the text is no such map or ends early.
bool read_map_blocks(InStream& in, uint64_t avail, std::vector<Fragment>& out, uint64_t& used);

// The real file's bytes, made from the stored fragments read through stored
// with zeros in the holes. The map must be sound.
class SparseStream : public InStream {
 public:
  SparseStream(InStream& stored, std::vector<Fragment> map, uint64_t realSize)
      : stored_(stored), map_(std::move(map)), real_(realSize) {}
  size_t read(uint8_t* p, size_t n) override;
  int64_t raw_position() override { return stored_.raw_position(); }
  uint64_t left() const { return real_ - pos_; }

 private:
  InStream& stored_;
  std::vector<Fragment> map_;
  uint64_t real_, pos_ = 0;
  size_t next_ = 0;  // the first fragment that does not end at or before pos_
};

}  // namespace tarx
