#include "Registry.h"

#include <climits>
#include <cstdint>

bool TryStrToInt(const std::string& s, int& out) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 0x80000000LL) return false;
  }
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  out = static_cast<int>(v);
  return true;
}

bool TryStrToIntHex(const std::string& s, int& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && s[i] == '-') {
    neg = true;
    ++i;
  }
  size_t start;
  if (i < s.size() && s[i] == '$') start = i + 1;
  else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) start = i + 2;
  else return TryStrToInt(s, out);
  if (start >= s.size() || s.size() - start > 8) return false;
  unsigned long long v = 0;
  for (size_t k = start; k < s.size(); ++k) {
    char c = s[k];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  uint32_t u = static_cast<uint32_t>(v);
  out = static_cast<int>(neg ? 0u - u : u);
  return true;
}

TRegIniFile::TRegIniFile(const std::string& keyName, HKEY root) {
  HKEY k = nullptr;
  if (RegCreateKeyExA(root, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == ERROR_SUCCESS)
    FKey = k;
}

TRegIniFile::~TRegIniFile() {
  for (auto& [name, key] : FSections)
    if (key) RegCloseKey(key);
  if (FKey) RegCloseKey(FKey);
}

// The section's key, opened once for all the reads of this object; a
// section that is not there is remembered as such until it is written.
HKEY TRegIniFile::Section(const std::string& section) const {
  for (const auto& [name, key] : FSections)
    if (lstrcmpiA(name.c_str(), section.c_str()) == 0) return key;
  HKEY sub = nullptr;
  if (RegOpenKeyExA(FKey, section.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) sub = nullptr;
  FSections.emplace_back(section, sub);
  return sub;
}

bool TRegIniFile::ReadRaw(const std::string& section, const std::string& ident, std::string& out) const {
  if (!FKey) return false;
  HKEY sub = Section(section);
  if (!sub) return false;
  // Most values fit the first buffer: one query instead of asking the size first.
  std::string buf(512, '\0');
  DWORD type = 0, got = static_cast<DWORD>(buf.size());
  LONG r = RegQueryValueExA(sub, ident.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
  if (r == ERROR_MORE_DATA && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buf.assign(got + 1, '\0');
    got = static_cast<DWORD>(buf.size());
    r = RegQueryValueExA(sub, ident.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
  }
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  buf.resize(got < buf.size() ? got : buf.size());
  // The stored text ends at its first zero (or at its size without one).
  size_t z = buf.find('\0');
  if (z != std::string::npos) buf.resize(z);
  out = buf;
  return true;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  std::string v;
  return ReadRaw(section, ident, v) ? v : def;
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int def) const {
  std::string v;
  int r = def;
  if (ReadRaw(section, ident, v) && TryStrToInt(v, r)) return r;
  return def;
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

bool TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  bool ok = false;
  if (FKey) {
    HKEY sub = nullptr;
    if (RegCreateKeyExA(FKey, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_SUCCESS) {
      ok = RegSetValueExA(sub, ident.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
      RegCloseKey(sub);
      // A section found missing before is there now.
      for (auto it = FSections.begin(); it != FSections.end(); ++it)
        if (!it->second && lstrcmpiA(it->first.c_str(), section.c_str()) == 0) {
          FSections.erase(it);
          break;
        }
    }
  }
  if (!ok) ++FFailures;
  return ok;
}

bool TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  return WriteString(section, ident, std::to_string(value));
}

bool TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  return WriteString(section, ident, value ? "1" : "0");
}

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  std::string v;
  return ReadRaw(section, ident, v);
}

bool TRegIniFile::EraseSection(const std::string& section) {
  for (auto it = FSections.begin(); it != FSections.end(); ++it)
    if (lstrcmpiA(it->first.c_str(), section.c_str()) == 0) {
      if (it->second) RegCloseKey(it->second);
      FSections.erase(it);
      break;
    }
  return FKey && RegDeleteKeyA(FKey, section.c_str()) == ERROR_SUCCESS;
}
