#include <windows.h>

#include "cab_ops.h"

namespace cab {

std::string utf8_to_cp932(const std::string& s) {
  int wn = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (wn <= 0) return {};
  std::wstring w(static_cast<size_t>(wn), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), wn);
  int n = WideCharToMultiByte(932, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, w.data(), wn, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace cab
