#include "fsio.h"

#include "text.h"

namespace fsio {

bool File::read_exact(void* p, int64_t n) {
  char* d = static_cast<char*>(p);
  while (n > 0) {
    int64_t got = read(d, n);
    if (got <= 0) return false;
    d += got;
    n -= got;
  }
  return true;
}

bool read_all(const std::string& path, std::vector<uint8_t>& out) {
  auto f = open_read(path);
  if (!f) return false;
  int64_t n = f->size();
  if (n < 0) return false;
  out.resize(static_cast<size_t>(n));
  return n == 0 || f->read_exact(out.data(), n);
}

bool write_all(const std::string& path, const void* data, size_t n) {
  auto f = open_write(path);
  if (!f) return false;
  return n == 0 || f->write(data, static_cast<int64_t>(n));
}

std::string join(std::string_view dir, std::string_view rel) {
  std::string r(dir);
  if (!r.empty() && !arc::ends_with_separator(r)) r += kSep;
#if defined(_WIN32)
  r += arc::to_backslashes(rel);
#else
  r += arc::to_slashes(rel);
#endif
  return r;
}

std::string temp_beside(const std::string& target) {
  for (int i = 0; i < 1000; ++i) {
    std::string t = target + ".$t" + std::to_string(i);
    if (!exists(t)) return t;
  }
  return target + ".$tmp";
}

}  // namespace fsio
