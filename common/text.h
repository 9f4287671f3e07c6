// Text rules every stand-in library shares: code page 932 lead bytes, the
// command tokeniser, entry-name matching, safe output paths and the bounded
// log writer. One copy of each, so that the libraries never disagree.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace arc {

// Lead byte of a double-byte character in code page 932.
inline bool is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// One token of a command text. Blanks separate tokens; a quote opens a
// quoted run that ends at the next quote, with no escapes.
struct Token {
  std::string text;
  bool quoted = false;
};
std::vector<Token> tokenize(std::string_view cmd);

// The usual shape of a command: an optional leading verb, switches (tokens
// that begin with '-' and are not quoted), the archive (first other token), a
// base folder (the next token if it ends in a backslash) and the names.
struct ParsedCommand {
  std::string verb;                   // empty when verbFirst was false
  std::vector<std::string> switches;  // as written, with their '-'
  std::string archive;
  std::string baseDir;                // with its trailing backslash, or empty
  std::vector<std::string> names;
  bool has(std::string_view sw) const;                  // exact switch present
  std::optional<std::string> value(std::string_view prefix) const;  // "-p" -> rest of "-p2"
};
ParsedCommand parse_command(std::string_view cmd, bool verbFirst);

// Paths: the one place where separators are looked for, cut and added.
// '\' and '/' separate components ('\' is what gets added); the second
// byte of a double-byte character (0x5C in "表", "ソ", "十") is never taken
// for one.
// True when the last character of s is '\' or '/'.
bool ends_with_separator(std::string_view s);
// Just past the last '\', '/' or ':' (0 when there is none).
size_t name_start(std::string_view path);
// The path without one trailing separator; with keepRoot a drive root
// ("C:\") and a lone "\" keep theirs.
std::string without_separator(std::string_view path, bool keepRoot = false);
// The path with a trailing '\' (an empty path stays empty).
std::string with_separator(std::string_view path);
// The folder of a path: everything before its last component, without the
// separator except for a drive root ("C:\a.txt" gives "C:\").
std::string folder_of(std::string_view path);
// dir + '\' + name, with no separator doubled (an empty dir gives name).
std::string join_path(std::string_view dir, std::string_view name);

// Entry names with '\' turned into '/' (double-byte aware).
std::string to_slashes(std::string_view s);
// The same, in place (no new string for each of many names).
void slashes_in_place(std::string& s);
// Entry names with '/' turned into '\' (double-byte aware).
std::string to_backslashes(std::string_view s);

// Names compare as the file system does: single-byte A-Z without case, '/'
// and '\' alike, a double-byte character (trail byte included) as it is.
// fold_ascii lower-cases A-Z and leaves every other byte alone.
std::string fold_ascii(std::string_view s);
// The form two names share when they are the same: folded, '/' separators,
// no leading or trailing separator.
std::string name_key(std::string_view name);
bool same_name(std::string_view a, std::string_view b);
// True when name is folder or lies below it, whole components only ("doc"
// holds "doc/a.txt", not "docs/a.txt").
bool in_folder(std::string_view folder, std::string_view name);

// Matches an entry name against a pattern: case-insensitive for A-Z,
// '/' and '\' alike, "*.*" and "*" match everything, "X/*.*" and "X/*" match
// everything below X, '*' and '?' work in the last component. A pattern with
// no wildcard also matches everything below it when it names a folder.
// Also used alone for names found on disk while packing.
bool match_name(std::string_view pattern, std::string_view name);

// The names of a command against the entries of one archive. A name spelt
// exactly as a stored entry is that entry and nothing else, whatever '*' or
// '?' it holds ("a?.txt" does not take "ab.txt" when "a?.txt" is stored), and
// the folder of "X/*.*" or "X/" is taken as written when entries are stored
// below it; every other name is a pattern (match_name). "*.*" and "*" always
// mean everything. Tell it the stored names first (stored), then ask.
class NameMatcher {
 public:
  NameMatcher() = default;
  // plainBelow false: a name with no wildcard takes only the entry of that
  // name, never what lies below it.
  explicit NameMatcher(const std::vector<std::string>& patterns, bool plainBelow = true);
  // No names: everything matches.
  bool empty() const { return pats_.empty(); }
  // True when some name could be taken as written, so that the stored names
  // must be told before matches is asked.
  bool needs_names() const;
  // One stored entry name; folder is true for a folder entry (a name that
  // ends in a separator is one too).
  void stored(std::string_view name, bool folder = false);
  bool matches(std::string_view name) const;

 private:
  struct Pattern {
    std::string text;    // as given
    std::string exact;   // '/' separators: the entry it stands for when literal
    std::string folder;  // "X" of "X/*.*", "X/*" or "X/" ('/' separators), else empty
    bool literal = false;
    bool everything = false;
  };
  std::vector<Pattern> pats_;
  bool plainBelow_ = true;
};

// Makes a stored entry name safe to write below a base folder: returns the
// relative path with '/' separators, or nothing when the name is absolute,
// has a drive letter, climbs with "..", or names a device (CON, NUL, COM1...).
// Leading "./" and empty components are dropped.
std::optional<std::string> safe_relative(std::string_view stored);

// Names and folders, double-byte aware. Entry names and paths alike: the
// last component (after the last '\' or '/'), and everything before it with
// its separator, or empty.
std::string base_name(std::string_view path);
std::string dir_part(std::string_view path);
// Paths on disk, where a drive's ':' ends a component too ("C:a.txt" is a.txt
// on drive C:): the file name (from name_start), and everything before it
// with its separator or colon ("C:\d\" of "C:\d\a.txt", "C:" of "C:a.txt").
// folder_of above is the same folder without its separator.
std::string file_name(std::string_view path);
std::string file_dir(std::string_view path);

// Appends to a caller's output buffer, never past its size, always
// NUL-terminated. A null buffer or size 0 discards everything.
class LogWriter {
 public:
  LogWriter(char* buf, uint32_t size) : buf_(buf), size_(size) {
    if (buf_ && size_) buf_[0] = 0;
  }
  void add(std::string_view s);
  void line(std::string_view s) { add(s); add("\r\n"); }
  uint32_t used() const { return used_; }
  bool full() const { return !buf_ || size_ == 0 || used_ + 1 >= size_; }

 private:
  char* buf_;
  uint32_t size_;
  uint32_t used_ = 0;
};

// Copies a text into a fixed field, cut to fit and always terminated.
void copy_text(char* dst, size_t cap, std::string_view s);

// Days since 1970-01-01 of a proleptic Gregorian date, and the date of a day
// count (any count, before 1970 too).
int64_t days_from_civil(int64_t year, int month, int day);
void civil_from_days(int64_t days, int64_t& year, int& month, int& day);

// DOS date and time from calendar values and back.
uint32_t dos_datetime(int year, int month, int day, int hour, int minute, int second);
// Unix time (UTC seconds) from a DOS date-time read as local time; and back.
int64_t dos_to_unix(uint32_t dosDateTime);
uint32_t unix_to_dos(int64_t t);

uint32_t crc32(uint32_t crc, const void* data, size_t len);

}  // namespace arc
