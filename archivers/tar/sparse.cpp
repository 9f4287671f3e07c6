#include "sparse.h"

#include <algorithm>
#include <cstring>

namespace tarx {

bool sparse_map_sound(const std::vector<Fragment>& map, uint64_t realSize, uint64_t stored) {
  uint64_t end = 0, bytes = 0;
  for (const Fragment& f : map) {
    if (f.offset < end || f.size > realSize || f.offset > realSize - f.size) return false;
    end = f.offset + f.size;
    bytes += f.size;  // cannot wrap: the fragments lie apart within realSize
  }
  return bytes <= stored;
}

bool parse_decimal(const std::string& s, uint64_t& v) {
  v = 0;
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9' || (v >> 59)) return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool parse_map_text(const std::string& s, std::vector<Fragment>& out) {
  out.clear();
  if (s.empty()) return true;
  size_t i = 0;
  bool second = false;
  Fragment f;
  for (;;) {
    size_t comma = s.find(',', i);
    uint64_t v;
    if (!parse_decimal(s.substr(i, comma == std::string::npos ? std::string::npos : comma - i), v)) return false;
    if (second) {
      f.size = v;
      out.push_back(f);
    } else {
      f.offset = v;
    }
    second = !second;
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  return !second;
}

bool read_map_blocks(InStream& in, uint64_t avail, std::vector<Fragment>& out, uint64_t& used) {
  out.clear();
  used = 0;
  uint64_t total = 1, seen = 0;  // numbers of the map, the count among them
  Fragment f;
  std::string num;
  uint8_t b[512];
  while (seen < total) {
    if (avail - used < sizeof b || used >= kMaxSparseMap || !in.read_exact(b, sizeof b)) return false;
    used += sizeof b;
    for (size_t i = 0; i < sizeof b && seen < total; ++i) {
      if (b[i] != '\n') {
        if (b[i] < '0' || b[i] > '9' || num.size() > 20) return false;
        num += static_cast<char>(b[i]);
        continue;
      }
      uint64_t v;
      if (!parse_decimal(num, v)) return false;
      num.clear();
      if (seen == 0) {
        // Each fragment takes at least four bytes of text ("0\n0\n").
        if (v > kMaxSparseMap / 4) return false;
        total += 2 * v;
      } else if (seen % 2) {
        f.offset = v;
      } else {
        f.size = v;
        out.push_back(f);
      }
      ++seen;
    }
  }
  return true;
}

size_t SparseStream::read(uint8_t* p, size_t n) {
  size_t done = 0;
  while (done < n && pos_ < real_) {
    while (next_ < map_.size() && map_[next_].offset + map_[next_].size <= pos_) ++next_;
    const bool inData = next_ < map_.size() && pos_ >= map_[next_].offset;
    uint64_t until = inData ? map_[next_].offset + map_[next_].size : next_ < map_.size() ? map_[next_].offset : real_;
    size_t want = static_cast<size_t>(std::min<uint64_t>(n - done, until - pos_));
    if (inData) {
      size_t got = stored_.read(p + done, want);
      if (got == 0) {
        error_ = stored_.error() == StreamError::None ? StreamError::Truncated : stored_.error();
        break;
      }
      want = got;
    } else {
      std::memset(p + done, 0, want);
    }
    done += want;
    pos_ += want;
  }
  return done;
}

}  // namespace tarx
