#include "text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

namespace arc {

std::vector<Token> tokenize(std::string_view cmd) {
  std::vector<Token> out;
  size_t i = 0, n = cmd.size();
  while (i < n) {
    while (i < n && (cmd[i] == ' ' || cmd[i] == '\t' || cmd[i] == '\r' || cmd[i] == '\n')) ++i;
    if (i >= n) break;
    Token t;
    // A token may mix quoted and unquoted runs: -o"C:\x y\" is one token.
    while (i < n && cmd[i] != ' ' && cmd[i] != '\t' && cmd[i] != '\r' && cmd[i] != '\n') {
      if (cmd[i] == '"') {
        t.quoted = true;
        ++i;
        while (i < n && cmd[i] != '"') {
          if (is_lead(static_cast<unsigned char>(cmd[i])) && i + 1 < n) t.text += cmd[i++];
          t.text += cmd[i++];
        }
        if (i < n) ++i;  // closing quote
      } else {
        if (is_lead(static_cast<unsigned char>(cmd[i])) && i + 1 < n) t.text += cmd[i++];
        t.text += cmd[i++];
      }
    }
    out.push_back(std::move(t));
  }
  return out;
}

bool ParsedCommand::has(std::string_view sw) const {
  for (auto& s : switches)
    if (s == sw) return true;
  return false;
}

std::optional<std::string> ParsedCommand::value(std::string_view prefix) const {
  for (auto& s : switches)
    if (s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0) return s.substr(prefix.size());
  return std::nullopt;
}

ParsedCommand parse_command(std::string_view cmd, bool verbFirst) {
  ParsedCommand pc;
  auto toks = tokenize(cmd);
  size_t i = 0;
  if (verbFirst && i < toks.size() && !toks[i].quoted && !toks[i].text.empty() && toks[i].text[0] != '-') {
    pc.verb = toks[i].text;
    ++i;
  }
  bool haveArchive = false, baseChecked = false;
  for (; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (!t.quoted && !t.text.empty() && t.text[0] == '-' && t.text.size() > 1) {
      pc.switches.push_back(t.text);
      continue;
    }
    if (t.text.empty()) continue;
    if (!haveArchive) {
      pc.archive = t.text;
      haveArchive = true;
      continue;
    }
    if (!baseChecked) {
      baseChecked = true;
      if (t.text.back() == '\\' && ends_with_separator(t.text)) {
        pc.baseDir = t.text;
        continue;
      }
    }
    pc.names.push_back(t.text);
  }
  return pc;
}

// Position of the last character of s (double-byte aware), npos when empty.
static size_t last_char_of(std::string_view s) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    last = i;
    if (is_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
  }
  return last;
}

bool ends_with_separator(std::string_view s) {
  size_t last = last_char_of(s);
  return last != std::string_view::npos && (s[last] == '\\' || s[last] == '/') && last + 1 == s.size();
}

size_t name_start(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (is_lead(c) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') start = i + 1;
  }
  return start;
}

std::string without_separator(std::string_view path, bool keepRoot) {
  if (!ends_with_separator(path)) return std::string(path);
  if (keepRoot && (path.size() == 1 || (path.size() == 3 && path[1] == ':'))) return std::string(path);
  return std::string(path.substr(0, path.size() - 1));
}

std::string with_separator(std::string_view path) {
  if (path.empty() || ends_with_separator(path)) return std::string(path);
  return std::string(path) + '\\';
}

std::string folder_of(std::string_view path) { return without_separator(path.substr(0, name_start(path)), true); }

std::string join_path(std::string_view dir, std::string_view name) {
  while (!name.empty() && (name.front() == '\\' || name.front() == '/')) name.remove_prefix(1);
  if (dir.empty()) return std::string(name);
  return with_separator(dir) + std::string(name);
}

static void map_sep(std::string& r, char from, char to) {
  for (size_t i = 0; i < r.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(r[i]);
    if (is_lead(c) && i + 1 < r.size()) {
      ++i;
      continue;
    }
    if (r[i] == from) r[i] = to;
  }
}

std::string to_slashes(std::string_view s) {
  std::string r(s);
  map_sep(r, '\\', '/');
  return r;
}
std::string to_backslashes(std::string_view s) {
  std::string r(s);
  map_sep(r, '/', '\\');
  return r;
}
void slashes_in_place(std::string& s) { map_sep(s, '\\', '/'); }

// Splits at '/' (after to_slashes), double-byte safe because trail bytes
// never equal '/' (0x2F is below every trail byte).
static std::vector<std::string_view> split(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == '/') {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

static char fold_char(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

static bool ieq_char(char a, char b) { return fold_char(a) == fold_char(b); }

std::string fold_ascii(std::string_view in) {
  std::string s(in);
  for (size_t i = 0; i < s.size(); ++i) {
    if (is_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      ++i;  // the second byte of a double-byte character stays as it is
      continue;
    }
    s[i] = fold_char(s[i]);
  }
  return s;
}

// '/' separators, without leading or trailing ones.
static std::string trimmed_slashes(std::string_view in) {
  std::string s = to_slashes(in);
  size_t b = 0;
  while (b < s.size() && s[b] == '/') ++b;
  s.erase(0, b);
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

std::string name_key(std::string_view name) { return fold_ascii(trimmed_slashes(name)); }

bool same_name(std::string_view a, std::string_view b) { return name_key(a) == name_key(b); }

bool in_folder(std::string_view folder, std::string_view name) {
  std::string f = name_key(folder), n = name_key(name);
  if (f.empty()) return true;
  // '/' is never the second byte of a double-byte character, so the cut
  // after f is a whole-character boundary.
  return n == f || (n.size() > f.size() && n.compare(0, f.size(), f) == 0 && n[f.size()] == '/');
}

// Wildcard match of one component; '*' and '?' count characters, not bytes.
static bool wild(std::string_view p, std::string_view s) {
  size_t pi = 0, si = 0, starP = std::string_view::npos, starS = 0;
  auto charlen = [](std::string_view t, size_t i) {
    return (is_lead(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) ? 2u : 1u;
  };
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starS = si;
      continue;
    }
    if (pi < p.size()) {
      size_t pl = charlen(p, pi), sl = charlen(s, si);
      if (p[pi] == '?' ) {
        pi += 1;
        si += sl;
        continue;
      }
      if (pl == sl && (pl == 1 ? ieq_char(p[pi], s[si]) : (p[pi] == s[si] && p[pi + 1] == s[si + 1]))) {
        pi += pl;
        si += sl;
        continue;
      }
    }
    if (starP != std::string_view::npos) {
      pi = starP + 1;
      starS += charlen(s, starS);
      si = starS;
      continue;
    }
    return false;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

static bool eq_component(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(a[i]);
    if (is_lead(c) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (!ieq_char(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

bool match_name(std::string_view patternIn, std::string_view nameIn) {
  std::string pattern = to_slashes(patternIn), name = to_slashes(nameIn);
  while (!pattern.empty() && pattern.front() == '/') pattern.erase(0, 1);
  while (!name.empty() && name.front() == '/') name.erase(0, 1);
  while (!name.empty() && name.back() == '/') name.pop_back();
  if (pattern == "*.*" || pattern == "*" || pattern.empty()) return true;
  auto pp = split(pattern);
  auto np = split(name);
  std::string_view last = pp.back();
  bool everythingBelow = (last == "*.*" || last == "*");
  if (everythingBelow) {
    // "X/*.*": every entry below X.
    if (np.size() < pp.size()) return false;
    for (size_t i = 0; i + 1 < pp.size(); ++i)
      if (!wild(pp[i], np[i])) return false;
    return true;
  }
  if (pattern.back() == '/') {
    // "X/": the folder and everything below it.
    pp.pop_back();
    if (np.size() < pp.size()) return false;
    for (size_t i = 0; i < pp.size(); ++i)
      if (!wild(pp[i], np[i])) return false;
    return true;
  }
  bool hasWild = pattern.find_first_of("*?") != std::string::npos;
  if (np.size() == pp.size()) {
    for (size_t i = 0; i < pp.size(); ++i)
      if (hasWild ? !wild(pp[i], np[i]) : !eq_component(pp[i], np[i])) return false;
    return true;
  }
  if (pp.size() == 1 && hasWild && np.size() > 1) {
    // A bare "*.txt" also matches in every folder, as the common libraries do.
    return wild(pp[0], np.back());
  }
  if (!hasWild && np.size() > pp.size()) {
    for (size_t i = 0; i < pp.size(); ++i)
      if (!eq_component(pp[i], np[i])) return false;
    return true;  // a folder named plainly takes what is below it
  }
  return false;
}

NameMatcher::NameMatcher(const std::vector<std::string>& patterns, bool plainBelow) : plainBelow_(plainBelow) {
  for (auto& raw : patterns) {
    Pattern p;
    p.text = raw;
    std::string t = to_slashes(raw);
    size_t b = 0;
    while (b < t.size() && t[b] == '/') ++b;
    t.erase(0, b);
    std::string last = t.substr(name_start(t));
    if (t.empty() || t == "*.*" || t == "*") {
      p.everything = true;
    } else if (t.back() == '/') {
      p.folder = trimmed_slashes(t);
    } else if (last == "*.*" || last == "*") {
      p.folder = trimmed_slashes(t.substr(0, t.size() - last.size()));
    } else {
      p.exact = t;
    }
    pats_.push_back(std::move(p));
  }
}

bool NameMatcher::needs_names() const {
  for (auto& p : pats_)
    if (!p.everything) return true;
  return false;
}

void NameMatcher::stored(std::string_view name, bool folder) {
  std::string s = to_slashes(name);
  if (!s.empty() && s.back() == '/') folder = true;
  std::string n = trimmed_slashes(s);
  for (auto& p : pats_) {
    if (p.literal || p.everything) continue;
    if (!p.exact.empty()) {
      p.literal = !folder && n == p.exact;
    } else if (!p.folder.empty()) {
      const std::string& f = p.folder;
      p.literal = (folder && n == f) || (n.size() > f.size() && n.compare(0, f.size(), f) == 0 && n[f.size()] == '/');
    }
  }
}

bool NameMatcher::matches(std::string_view name) const {
  if (pats_.empty()) return true;
  std::string n;
  bool haveN = false;
  for (auto& p : pats_) {
    if (p.everything) return true;
    if (!p.literal) {
      bool plain = !p.exact.empty() && p.exact.find_first_of("*?") == std::string::npos;
      if (plain && !plainBelow_ ? same_name(p.exact, name) : match_name(p.text, name)) return true;
      continue;
    }
    if (!haveN) {
      n = trimmed_slashes(name);
      haveN = true;
    }
    if (!p.exact.empty()) {
      if (n == p.exact) return true;
      continue;
    }
    const std::string& f = p.folder;
    bool folderForm = ends_with_separator(p.text);  // "X/" takes X itself as well
    if ((folderForm && n == f) || (n.size() > f.size() && n.compare(0, f.size(), f) == 0 && n[f.size()] == '/'))
      return true;
  }
  return false;
}

static bool is_device(std::string_view comp) {
  std::string base = fold_ascii(comp.substr(0, std::min(comp.find('.'), comp.size())));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* devs[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
  for (auto d : devs)
    if (base == d) return true;
  if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
      base[3] >= '1' && base[3] <= '9')
    return true;
  return false;
}

std::optional<std::string> safe_relative(std::string_view stored) {
  std::string s = to_slashes(stored);
  if (s.empty()) return std::nullopt;
  if (s[0] == '/') return std::nullopt;                       // absolute or UNC
  if (s.size() >= 2 && s[1] == ':') return std::nullopt;      // drive letter
  std::string out;
  for (auto comp : split(s)) {
    if (comp.empty() || comp == ".") continue;
    // "..", "...", and names of dots and blanks only resolve upward on Windows.
    bool dotsOnly = true;
    for (char c : comp)
      if (c != '.' && c != ' ') dotsOnly = false;
    if (dotsOnly) return std::nullopt;
    for (size_t i = 0; i < comp.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(comp[i]);
      if (is_lead(c) && i + 1 < comp.size()) {
        ++i;
        continue;
      }
      if (c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
        return std::nullopt;
    }
    if (is_device(comp)) return std::nullopt;
    if (!out.empty()) out += '/';
    out.append(comp);
  }
  if (out.empty()) return std::nullopt;
  return out;
}

std::string base_name(std::string_view path) {
  size_t cut = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (is_lead(c) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') cut = i + 1;
  }
  return std::string(path.substr(cut));
}

std::string dir_part(std::string_view path) {
  std::string b = base_name(path);
  return std::string(path.substr(0, path.size() - b.size()));
}

std::string file_name(std::string_view path) { return std::string(path.substr(name_start(path))); }

std::string file_dir(std::string_view path) { return std::string(path.substr(0, name_start(path))); }

void LogWriter::add(std::string_view s) {
  if (!buf_ || size_ == 0) return;
  for (char c : s) {
    if (used_ + 1 >= size_) break;
    buf_[used_++] = c;
  }
  buf_[used_] = 0;
}

void copy_text(char* dst, size_t cap, std::string_view s) {
  if (cap == 0) return;
  size_t n = s.size() < cap - 1 ? s.size() : cap - 1;
  std::memcpy(dst, s.data(), n);
  dst[n] = 0;
}

uint32_t dos_datetime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) year = 1980;
  if (year > 2107) year = 2107;
  uint32_t d = ((year - 1980) << 9) | (month << 5) | day;
  uint32_t t = (hour << 11) | (minute << 5) | (second / 2);
  return (d << 16) | t;
}

int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t days, int64_t& year, int& month, int& day) {
  const int64_t z = days + 719468;  // days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

int64_t dos_to_unix(uint32_t dt) {
  std::tm tm{};
  tm.tm_year = static_cast<int>((dt >> 25) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((dt >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((dt >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((dt >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((dt >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>((dt & 0x1F) * 2);
  tm.tm_isdst = -1;
  if (tm.tm_mon < 0) tm.tm_mon = 0;
  if (tm.tm_mday == 0) tm.tm_mday = 1;
#if defined(_WIN32)
  return static_cast<int64_t>(_mktime64(&tm));  // DOS dates run to 2107
#else
  return static_cast<int64_t>(std::mktime(&tm));
#endif
}

uint32_t unix_to_dos(int64_t t) {
  std::tm tm{};
#if defined(_WIN32)
  // The 32-bit runtime's time_t ends in 2038; its 64-bit twin does not.
  __time64_t tt = t;
  std::tm* p = _localtime64(&tt);
  if (!p) return dos_datetime(1980, 1, 1, 0, 0, 0);
  tm = *p;
#else
  std::time_t tt = static_cast<std::time_t>(t);
  if (!localtime_r(&tt, &tm)) return dos_datetime(1980, 1, 1, 0, 0, 0);
#endif
  return dos_datetime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

namespace {
// Eight tables, eight bytes a step: a byte at a time the check of an
// extracted file cost more than inflating it.
struct Crc32Tables {
  uint32_t v[8][256];
};

const Crc32Tables& crc32_tables() {
  static const Crc32Tables t = [] {
    Crc32Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t.v[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
      for (uint32_t i = 0; i < 256; ++i) t.v[k][i] = (t.v[k - 1][i] >> 8) ^ t.v[0][t.v[k - 1][i] & 0xFF];
    return t;
  }();
  return t;
}
}  // namespace

uint32_t crc32(uint32_t crc, const void* data, size_t len) {
  const Crc32Tables& t = crc32_tables();
  const uint8_t* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (; len >= 8; len -= 8, p += 8) {
    uint32_t a = crc ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    crc = t.v[7][a & 0xFF] ^ t.v[6][(a >> 8) & 0xFF] ^ t.v[5][(a >> 16) & 0xFF] ^ t.v[4][a >> 24] ^
          t.v[3][p[4]] ^ t.v[2][p[5]] ^ t.v[1][p[6]] ^ t.v[0][p[7]];
  }
  for (; len; --len, ++p) crc = t.v[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace arc
