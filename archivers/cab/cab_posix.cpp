#include <iconv.h>

#include "cab_ops.h"

namespace cab {

std::string utf8_to_cp932(const std::string& s) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(s.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size(), outLeft = out.size();
  char* o = out.data();
  size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace cab
