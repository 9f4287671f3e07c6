// unlha32.dll: the common archiver interface over the portable LHA code.
// The command entry takes the usual verbs and switches (README.md lists the
// meaning we give each); listing goes through the shared listing records.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive.h"
#include "arcapi.h"
#include "dialogs.h"
#include "dllstate.h"
#include "listing.h"
#include "text.h"

using arcapi::HARC;
using arcapi::IndividualInfo;

namespace {

constexpr int kErrMethod = 0x8009;
constexpr int kErrCrc = 0x800C;
constexpr int kErrFileOpen = 0x800D;
constexpr int kErrNotExist = 0x800F;
constexpr int kErrMakeDir = 0x8012;
constexpr int kErrCannotWrite = 0x8013;
constexpr int kErrBrokenData = 0x8014;
constexpr int kErrHeaderBroken = 0x8017;
constexpr int kErrArcFileOpen = 0x8018;
constexpr int kErrNotArcFile = 0x8019;
constexpr int kErrFileStyle = 0x801B;
constexpr int kErrCommandName = 0x801C;
constexpr int kErrAlreadyRunning = 0x801F;
constexpr int kErrUserCancel = 0x8020;
constexpr int kErrSameName = 0x8028;
constexpr int kErrTmpOpen = 0x8025;

constexpr uint16_t kVersion = 100;     // 1.00
constexpr uint16_t kSubVersion = 100;

enum { kBegin = 0, kInProcess = 1, kEnd = 2 };

HMODULE g_module = nullptr;

std::string shown(const std::string& path) { return arc::to_backslashes(path); }

// One command: its log, its answer and the progress messages to the owner.
class Run {
 public:
  Run(HWND owner, char* buf, DWORD size) : owner_(owner), log_(buf, size) { std::memset(&info_, 0, sizeof info_); }
  void line(const std::string& s) { log_.line(s); }
  void fail(int code) {
    if (rc_ == 0) rc_ = code;
  }
  int rc() const { return rc_; }
  // True when the owner window asked to stop.
  bool progress(int mode, const std::string& source, const std::string& dest, uint64_t size) {
    if (!arc::g_dll.owner) return false;
    info_.dwFileSize = static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFFu));
    info_.dwWriteSize = mode == kEnd ? info_.dwFileSize : 0;
    arc::copy_text(info_.szSourceFileName, sizeof info_.szSourceFileName, source);
    arc::copy_text(info_.szDestFileName, sizeof info_.szDestFileName, dest);
    return arc::owner_asks_stop(mode, info_);
  }
  HWND owner() const { return owner_; }

 private:
  HWND owner_;
  arc::LogWriter log_;
  arcapi::ExtractingInfo info_;
  int rc_ = 0;
};

int open_or_report(Run& run, const std::string& path, lha::Archive& a) {
  switch (lha::open_archive(path, a)) {
    case lha::OpenResult::Ok:
      return 0;
    case lha::OpenResult::CannotOpen:
      run.line("Cannot open : " + path);
      return kErrArcFileOpen;
    case lha::OpenResult::NotArchive:
      run.line("Not an LHA archive : " + path);
      return kErrNotArcFile;
  }
  return kErrNotArcFile;
}

int decode_error(lha::DecodeResult r) {
  switch (r) {
    case lha::DecodeResult::Unsupported: return kErrMethod;
    case lha::DecodeResult::CrcError: return kErrCrc;
    case lha::DecodeResult::WriteFailed: return kErrCannotWrite;
    default: return kErrBrokenData;
  }
}

void report_damage(Run& run, const lha::Archive& a) {
  if (!a.damaged) return;
  run.line("Broken archive : " + a.why);
  run.fail(kErrHeaderBroken);
}

bool all_wild(const std::vector<std::string>& names) {
  for (auto& n : names)
    if (n != "*.*" && n != "*") return false;
  return true;
}

// The entries a command names (arc::NameMatcher); "X\*.*" also takes the
// folder entry X, and without byPathOnly a bare name also takes an entry of
// that name in any folder.
class Selection {
 public:
  Selection(const std::vector<std::string>& names, const lha::Archive& a, bool byPathOnly)
      : names_(names), matcher_(names), byPathOnly_(byPathOnly) {
    if (matcher_.needs_names())
      for (const lha::Entry& e : a.entries) matcher_.stored(e.path, e.dir);
  }
  bool operator()(const lha::Entry& e) const {
    if (matcher_.matches(e.path)) return true;
    for (auto& raw : names_) {
      std::string p = arc::to_slashes(raw);
      if (p.size() > 4 && p.compare(p.size() - 4, 4, "/*.*") == 0 && e.dir &&
          arc::same_name(p.substr(0, p.size() - 4), e.path))
        return true;
      if (!byPathOnly_ && p.find('/') == std::string::npos && arc::same_name(arc::base_name(e.path), p)) return true;
    }
    return false;
  }

 private:
  const std::vector<std::string>& names_;
  arc::NameMatcher matcher_;
  bool byPathOnly_;
};

int64_t entry_time(const lha::Entry& e) { return e.unixTime >= 0 ? e.unixTime : arc::dos_to_unix(e.dosTime); }

std::string base_folder(const arc::ParsedCommand& pc) {
  if (!pc.baseDir.empty()) return pc.baseDir;
  char cur[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cur);
  return cur;
}

// ---- extraction ----

struct ExtractOptions {
  bool folders = true;    // x keeps the stored folders, e drops them
  bool timeCheck = true;  // -c0 (default): an existing file not older than the entry stays
  bool yes = false;       // -y: never ask
  bool noRoot = false;    // -jf0: a stored root (drive, leading separator) is dropped
  bool attributes = false;  // -a1: stored attributes restored
};

ExtractOptions extract_options(const arc::ParsedCommand& pc) {
  ExtractOptions o;
  o.folders = arc::fold_ascii(pc.verb) == "x";
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-c" || l == "-c1" || l == "-c+") o.timeCheck = false;
    if (l == "-c0" || l == "-c-") o.timeCheck = true;
    if (l == "-y" || l == "-y1") o.yes = true;
    if (l == "-jf0" || l == "-jf") o.noRoot = true;
    if (l == "-a1" || l == "-a" || l == "-a2") o.attributes = true;
  }
  return o;
}

std::string strip_root(const std::string& path) {
  std::string s = path;
  if (s.size() >= 2 && s[1] == ':' && ((s[0] | 0x20) >= 'a' && (s[0] | 0x20) <= 'z')) s.erase(0, 2);
  while (!s.empty() && s[0] == '/') s.erase(0, 1);
  return s;
}

bool make_parents(Run& run, const std::string& base, const std::string& rel) {
  std::string dir = arc::dir_part(rel);
  if (dir.empty()) return true;
  // Announce each folder we make, from the top down.
  std::string walk;
  for (size_t i = 0; i < dir.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(dir[i]);
    if (arc::is_lead(c) && i + 1 < dir.size()) {
      walk += dir[i];
      walk += dir[++i];
      continue;
    }
    if (c == '/') {
      std::string full = fsio::join(base, walk);
      if (!fsio::is_dir(full)) {
        if (!fsio::make_dirs(full)) {
          run.line("Cannot make folder : " + shown(walk));
          return false;
        }
        run.line("mkdir " + shown(walk) + "\\");
      }
    }
    walk += dir[i];
  }
  return true;
}

int cmd_extract(Run& run, const arc::ParsedCommand& pc) {
  ExtractOptions o = extract_options(pc);
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  std::string base = base_folder(pc);
  while (base.size() > 3 && arc::ends_with_separator(base)) base.pop_back();
  if (!fsio::is_dir(base) && !fsio::make_dirs(base)) {
    run.line("Cannot make folder : " + base);
    return kErrMakeDir;
  }
  bool yesAll = o.yes, matched = false;
  run.progress(kBegin, pc.archive, base, 0);
  const Selection selected(pc.names, a, true);
  for (const lha::Entry& e : a.entries) {
    if (!selected(e)) continue;
    matched = true;
    std::string name = shown(e.path);
    if (e.link) {
      run.line("Skipped : " + name + " (link)");
      continue;
    }
    std::string stored = o.noRoot ? strip_root(e.path) : e.path;
    if (e.dir && stored == ".") continue;  // the base folder itself
    auto rel = arc::safe_relative(stored);
    if (!rel) {
      run.line("Skipped : " + name + " (unsafe path)");
      run.fail(kErrFileStyle);
      continue;
    }
    if (e.dir) {
      if (!o.folders) continue;
      std::string full = fsio::join(base, *rel);
      if (!make_parents(run, base, *rel + "/")) {
        run.fail(kErrMakeDir);
      }
      (void)full;
      continue;
    }
    std::string relOut = o.folders ? *rel : arc::base_name(*rel);
    if (o.folders && !make_parents(run, base, relOut)) {
      run.fail(kErrMakeDir);
      continue;
    }
    std::string target = fsio::join(base, relOut);
    if (fsio::is_dir(target)) {
      run.line("Skipped : " + name + " (a folder of that name exists)");
      run.fail(kErrFileOpen);
      continue;
    }
    if (fsio::exists(target)) {
      if (o.timeCheck && fsio::mtime(target) >= entry_time(e)) {
        run.line("Skipped : " + name + " (not newer)");
        continue;
      }
      if (!yesAll) {
        lhadll::Overwrite ans = lhadll::ask_overwrite(run.owner(), target);
        if (ans == lhadll::Overwrite::Cancel) {
          run.line("Cancelled");
          run.fail(kErrUserCancel);
          break;
        }
        if (ans == lhadll::Overwrite::No) {
          run.line("Skipped : " + name);
          continue;
        }
        if (ans == lhadll::Overwrite::All) yesAll = true;
      }
    }
    if (run.progress(kInProcess, name, target, e.original)) {
      run.line("Cancelled");
      run.fail(kErrUserCancel);
      break;
    }
    lha::DecodeResult r = lha::extract_file(*a.file, e, target);
    if (r != lha::DecodeResult::Ok) {
      run.line(std::string(lha::describe(r)) + " : " + name);
      run.fail(decode_error(r));
      continue;
    }
    if (o.attributes) fsio::set_attributes(target, e.attr & 0x27);
    run.line("Melted " + name);
  }
  if (!matched && !pc.names.empty() && !all_wild(pc.names)) {
    run.line("No such entry");
    run.fail(kErrNotExist);
  }
  report_damage(run, a);
  run.progress(kEnd, pc.archive, base, 0);
  return run.rc();
}

int cmd_test(Run& run, const arc::ParsedCommand& pc) {
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  const Selection selected(pc.names, a, true);
  for (const lha::Entry& e : a.entries) {
    if (!selected(e) || e.dir) continue;
    auto r = lha::decode_entry(*a.file, e, [](const uint8_t*, size_t) { return true; });
    if (r != lha::DecodeResult::Ok) {
      run.line(std::string(lha::describe(r)) + " : " + shown(e.path));
      run.fail(decode_error(r));
    } else {
      run.line("Tested " + shown(e.path));
    }
  }
  report_damage(run, a);
  return run.rc();
}

// p: the entries' bytes go into the output buffer instead of a log.
int cmd_print(char* buf, DWORD size, const arc::ParsedCommand& pc) {
  if (buf && size) buf[0] = 0;
  lha::Archive a;
  Run quiet(nullptr, nullptr, 0);
  if (int e = open_or_report(quiet, pc.archive, a)) return e;
  DWORD used = 0;
  bool any = false;
  const Selection selected(pc.names, a, true);
  for (const lha::Entry& e : a.entries) {
    if (e.dir || !selected(e)) continue;
    any = true;
    auto r = lha::decode_entry(*a.file, e, [&](const uint8_t* p, size_t n) {
      if (!buf || size == 0) return true;
      size_t k = std::min<size_t>(n, size - 1 - used);
      std::memcpy(buf + used, p, k);
      used += static_cast<DWORD>(k);
      buf[used] = 0;
      return true;
    });
    if (r != lha::DecodeResult::Ok) return decode_error(r);
  }
  return any ? 0 : kErrNotExist;
}

// ---- writing ----

struct Found {
  std::string name;
  bool dir = false;
  uint32_t attr = 0;
  int64_t mtime = -1;
};

struct Source {
  std::string file;    // on disk
  std::string stored;  // in the archive, '/' separators
  bool dir = false;
  uint32_t attr = 0;
  int64_t mtime = -1;
};

int64_t unix_time(const FILETIME& ft) {
  int64_t t = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (t - 116444736000000000LL) / 10000000;
}

// A folder's names with their attributes and times in one pass: packing
// many small files must not ask the file system about each one again.
// False when the folder cannot be read (its path too long, no access): the
// caller tells so, since leaving its files out silently would lose them.
bool list_folder(const std::string& dir, std::vector<Found>& out) {
  WIN32_FIND_DATAA fd;
  std::string pattern = fsio::join(dir, "*");
  if (pattern.size() >= MAX_PATH) return false;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string n = fd.cFileName;
    if (n == "." || n == "..") continue;
    out.push_back({n, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, fd.dwFileAttributes,
                   unix_time(fd.ftLastWriteTime)});
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(out.begin(), out.end(), [](const Found& x, const Found& y) { return x.name < y.name; });
  return true;
}

Source source_of(const std::string& disk, const std::string& stored, const Found& f) {
  return {disk, stored, f.dir, f.attr & 0x27, f.mtime};
}

Source source_of(const std::string& disk, const std::string& stored, bool dir) {
  return {disk, stored, dir, fsio::attributes(disk) & 0x27, fsio::mtime(disk)};
}

void collect_tree(Run& run, const std::string& diskDir, const std::string& storedDir, bool folders, bool all,
                  std::vector<Source>& out) {
  std::vector<Found> list;
  if (!list_folder(diskDir, list)) {
    run.line("Cannot read : " + diskDir + (diskDir.size() + 2 >= MAX_PATH ? " (path too long)" : ""));
    run.fail(kErrFileOpen);
    return;
  }
  for (auto& d : list) {
    std::string disk = fsio::join(diskDir, d.name);
    if (!all && (d.attr & 0x06)) continue;
    std::string stored = storedDir.empty() ? d.name : storedDir + "/" + d.name;
    if (d.dir) {
      if (folders) out.push_back(source_of(disk, stored, d));
      collect_tree(run, disk, stored, folders, all, out);
    } else {
      out.push_back(source_of(disk, folders ? stored : d.name, d));
    }
  }
}

// Writes a new file beside target and puts it in target's place only when
// everything went well. The archive being read is closed before that, since
// an open file cannot be replaced.
int write_replacing(Run& run, const std::string& target, const std::function<bool(lha::Writer&)>& body,
                    lha::Archive* reading = nullptr) {
  std::string temp = fsio::temp_beside(target);
  lha::Writer w;
  if (!w.open(temp)) {
    run.line("Cannot make a work file beside : " + target);
    return kErrTmpOpen;
  }
  bool ok = body(w);
  ok = w.finish() && ok;
  if (reading) reading->file.reset();
  if (!ok) {
    fsio::remove_file(temp);
    return 0;
  }
  if (!fsio::replace_file(temp, target)) {
    fsio::remove_file(temp);
    run.line("Cannot replace : " + target);
    return kErrCannotWrite;
  }
  return -1;  // written
}

bool copy_prefix(lha::Writer& w, fsio::File& f, uint64_t n) {
  if (!f.seek(0)) return false;
  std::vector<uint8_t> buf(1 << 16);
  while (n) {
    size_t k = static_cast<size_t>(std::min<uint64_t>(n, buf.size()));
    if (!f.read_exact(buf.data(), static_cast<int64_t>(k)) || !w.write_bytes(buf.data(), k)) return false;
    n -= k;
  }
  return true;
}

void set_newest_time(const std::string& archive) {
  lha::Archive a;
  if (lha::open_archive(archive, a) != lha::OpenResult::Ok) return;
  int64_t newest = -1;
  for (auto& e : a.entries) newest = std::max(newest, entry_time(e));
  a.file.reset();
  if (newest >= 0) fsio::set_mtime(archive, newest);
}

int cmd_add(Run& run, const arc::ParsedCommand& pc, bool update) {
  bool folders = false, recurse = false, all = false, byStoredName = false, newestTime = false;
  int level = 5;
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-x" || l == "-x1") folders = true;
    if (l == "-r" || l == "-r1" || l == "-r2") recurse = true;
    if (l == "-a1" || l == "-a" || l == "-a2") all = true;
    if (l == "-jr1") byStoredName = true;
    if (l == "-t1") newestTime = true;
    if (l == "-jm0" || l == "-z") level = 0;
    if (l == "-jm1" || l == "-jm2") level = 5;
    if (l == "-jm3") level = 6;
    if (l == "-jm4") level = 7;
  }
  std::string base = base_folder(pc);
  while (base.size() > 3 && arc::ends_with_separator(base)) base.pop_back();
  std::vector<Source> sources;
  for (auto& raw : pc.names) {
    std::string name = arc::to_backslashes(raw);
    if (byStoredName) {
      // The file lies in the base folder under its own name; the name says where it goes.
      std::string disk = fsio::join(base, arc::base_name(name));
      sources.push_back(source_of(disk, arc::to_slashes(name), false));
      continue;
    }
    std::string last = arc::base_name(name);
    if (last.find_first_of("*?") != std::string::npos) {
      std::string folder = arc::dir_part(name);
      std::string diskDir = fsio::join(base, folder);
      std::string storedDir = arc::to_slashes(folder);
      while (!storedDir.empty() && storedDir.back() == '/') storedDir.pop_back();
      std::vector<Found> list;
      if (!list_folder(diskDir, list)) {
        run.line("Cannot read : " + diskDir + (diskDir.size() + 2 >= MAX_PATH ? " (path too long)" : ""));
        run.fail(kErrFileOpen);
      }
      for (auto& d : list) {
        if (!arc::match_name(last, d.name)) continue;
        std::string disk = fsio::join(diskDir, d.name);
        if (!all && (d.attr & 0x06)) continue;
        std::string stored = storedDir.empty() ? d.name : storedDir + "/" + d.name;
        if (d.dir) {
          if (!recurse) continue;
          if (folders) sources.push_back(source_of(disk, stored, d));
          collect_tree(run, disk, stored, folders, all, sources);
        } else {
          sources.push_back(source_of(disk, folders ? stored : d.name, d));
        }
      }
      continue;
    }
    std::string disk = fsio::join(base, name);
    std::string stored = arc::to_slashes(name);
    while (!stored.empty() && stored.back() == '/') stored.pop_back();
    if (fsio::is_dir(disk)) {
      if (folders) sources.push_back(source_of(disk, stored, true));
      collect_tree(run, disk, folders ? stored : std::string(), folders, all, sources);
    } else if (fsio::exists(disk)) {
      sources.push_back(source_of(disk, folders ? stored : arc::base_name(stored), false));
    } else {
      run.line("Skipped : " + name + " (not found)");
      run.fail(kErrNotExist);
    }
  }
  // Names must stay below the archive's root; the last source of a name wins.
  std::map<std::string, size_t> byKey;
  std::vector<Source> clean;
  for (auto& s : sources) {
    auto rel = arc::safe_relative(s.stored);
    if (!rel) {
      run.line("Skipped : " + shown(s.stored) + " (unsafe name)");
      run.fail(kErrFileStyle);
      continue;
    }
    s.stored = *rel;
    std::string key = arc::fold_ascii(s.stored);
    auto it = byKey.find(key);
    if (it != byKey.end()) {
      clean[it->second] = s;
    } else {
      byKey[key] = clean.size();
      clean.push_back(s);
    }
  }
  lha::Archive old;
  bool haveOld = fsio::exists(pc.archive);
  if (haveOld) {
    if (int e = open_or_report(run, pc.archive, old)) return e;
    if (old.damaged) {
      report_damage(run, old);
      return run.rc();
    }
  }
  std::vector<bool> used(clean.size(), false);
  uint64_t prefix = haveOld ? old.start : 0;
  bool cancelled = false;
  auto pack_one = [&](lha::Writer& w, const Source& s) {
    lha::Entry e;
    e.path = s.stored;
    e.unixTime = s.mtime;
    e.attr = s.attr;
    if (s.dir) return w.add_folder(e);
    if (arc::g_dll.owner && run.progress(kInProcess, s.file, shown(s.stored), static_cast<uint64_t>(std::max<int64_t>(0, fsio::file_size(s.file))))) {
      cancelled = true;
      return false;
    }
    std::string why;
    if (!w.add_file(s.file, e, level, why)) {
      run.line("Cannot pack : " + shown(s.stored) + " (" + why + ")");
      run.fail(why.find("archive") != std::string::npos ? kErrCannotWrite : kErrFileOpen);
      return why.find("archive") == std::string::npos;  // an unreadable source is skipped
    }
    unsigned ratio = e.original ? static_cast<unsigned>(e.packed * 100 / e.original) : 0;
    run.line("Frozen " + shown(s.stored) + " (" + std::to_string(ratio) + "%)");
    return true;
  };
  run.progress(kBegin, pc.archive, base, 0);
  int wr = write_replacing(run, pc.archive, [&](lha::Writer& w) {
    if (prefix && !copy_prefix(w, *old.file, prefix)) return false;
    for (const lha::Entry& e : old.entries) {
      auto it = byKey.find(arc::fold_ascii(e.path));
      if (it != byKey.end() && !used[it->second]) {
        const Source& s = clean[it->second];
        used[it->second] = true;
        if (s.dir || (update && entry_time(e) >= s.mtime)) {
          if (!w.copy_entry(*old.file, e)) return false;  // folder entry or not newer: keep
          continue;
        }
        if (!pack_one(w, s)) return false;
        continue;
      }
      if (!w.copy_entry(*old.file, e)) return false;
    }
    for (size_t i = 0; i < clean.size(); ++i)
      if (!used[i] && !pack_one(w, clean[i])) return false;
    return true;
  }, &old);
  run.progress(kEnd, pc.archive, base, 0);
  if (cancelled) {
    run.line("Cancelled");
    run.fail(kErrUserCancel);
    return run.rc();
  }
  if (wr >= 0) {
    run.fail(wr ? wr : kErrCannotWrite);
    run.line("The archive was left unchanged");
    return run.rc();
  }
  if (newestTime) set_newest_time(pc.archive);
  return run.rc();
}

int cmd_delete(Run& run, const arc::ParsedCommand& pc) {
  bool byPath = false, newestTime = false;
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-p" || l == "-p1" || l == "-p2") byPath = true;
    if (l == "-t1") newestTime = true;
  }
  if (pc.names.empty()) {
    run.line("No entry named");
    return kErrNotExist;
  }
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  if (a.damaged) {
    report_damage(run, a);
    return run.rc();
  }
  std::vector<bool> drop(a.entries.size());
  size_t count = 0;
  const Selection selected(pc.names, a, byPath);
  for (size_t i = 0; i < a.entries.size(); ++i)
    if (selected(a.entries[i])) {
      drop[i] = true;
      ++count;
    }
  if (count == 0) {
    run.line("No such entry");
    return kErrNotExist;
  }
  int wr = write_replacing(run, pc.archive, [&](lha::Writer& w) {
    if (a.start && !copy_prefix(w, *a.file, a.start)) return false;
    for (size_t i = 0; i < a.entries.size(); ++i)
      if (!drop[i] && !w.copy_entry(*a.file, a.entries[i])) return false;
    return true;
  }, &a);
  if (wr >= 0) {
    run.line("The archive was left unchanged");
    return wr ? wr : kErrCannotWrite;
  }
  for (size_t i = 0; i < a.entries.size(); ++i)
    if (drop[i]) run.line("Deleted " + shown(a.entries[i].path));
  a.file.reset();
  if (newestTime) set_newest_time(pc.archive);
  return 0;
}

bool valid_new_name(const std::string& n) {
  if (n.empty() || n.find_first_of("/\\") != std::string::npos) {
    // A separator may still hide in a double-byte character's second byte.
    if (n.empty()) return false;
    std::string s = arc::to_slashes(n);
    if (s.find('/') != std::string::npos) return false;
  }
  auto rel = arc::safe_relative(n);
  return rel && *rel == n;
}

int cmd_rename(Run& run, const arc::ParsedCommand& pc) {
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  if (a.damaged) {
    report_damage(run, a);
    return run.rc();
  }
  std::vector<std::string> newPath(a.entries.size());
  std::vector<std::string> keys;
  for (auto& e : a.entries) keys.push_back(arc::fold_ascii(e.path));
  auto exists_path = [&](const std::string& p) {
    std::string k = arc::fold_ascii(p);
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const std::string& cur = newPath[i].empty() ? keys[i] : arc::fold_ascii(newPath[i]);
      if (cur == k || (cur.size() > k.size() && cur.compare(0, k.size(), k) == 0 && cur[k.size()] == '/')) return true;
    }
    return false;
  };
  // The things to rename: "X\*.*" a folder, "X/*.*" or "*.*" each child of X, else one entry.
  std::vector<std::pair<std::string, bool>> items;  // path, is folder
  for (auto& raw : pc.names) {
    bool folderRow = raw.size() > 4 && raw.compare(raw.size() - 4, 4, "\\*.*") == 0;
    std::string p = arc::to_slashes(raw);
    if (folderRow) {
      items.push_back({p.substr(0, p.size() - 4), true});
      continue;
    }
    if (p == "*.*" || (p.size() > 4 && p.compare(p.size() - 4, 4, "/*.*") == 0)) {
      std::string dir = p == "*.*" ? std::string() : p.substr(0, p.size() - 3);  // keeps the '/'
      std::vector<std::string> seen;
      for (auto& e : a.entries) {
        if (arc::fold_ascii(e.path.substr(0, dir.size())) != arc::fold_ascii(dir) || e.path.size() <= dir.size()) continue;
        std::string rest = e.path.substr(dir.size());
        size_t slash = arc::to_slashes(rest).find('/');
        bool sub = slash != std::string::npos || e.dir;
        std::string child = dir + (slash != std::string::npos ? rest.substr(0, slash) : rest);
        if (std::find(seen.begin(), seen.end(), arc::fold_ascii(child)) != seen.end()) continue;
        seen.push_back(arc::fold_ascii(child));
        items.push_back({child, sub});
      }
      continue;
    }
    items.push_back({p, false});
  }
  size_t renamed = 0;
  for (auto& [path, folder] : items) {
    auto answer = lhadll::ask_new_name(run.owner(), shown(path));
    if (!answer) {
      run.line("Skipped : " + shown(path));
      continue;
    }
    if (!valid_new_name(*answer)) {
      run.line("Skipped : " + shown(path) + " (bad name: " + *answer + ")");
      run.fail(kErrFileStyle);
      continue;
    }
    std::string target = arc::dir_part(path) + *answer;
    if (arc::fold_ascii(target) == arc::fold_ascii(path)) {
      // Only the case changes: no clash with itself.
    } else if (exists_path(target)) {
      run.line("Skipped : " + shown(path) + " (" + shown(target) + " exists)");
      run.fail(kErrSameName);
      continue;
    }
    std::string k = arc::fold_ascii(path);
    size_t hits = 0;
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const std::string& cur = newPath[i].empty() ? a.entries[i].path : newPath[i];
      std::string lc = arc::fold_ascii(cur);
      if (lc == k) {
        newPath[i] = target;
        ++hits;
      } else if (folder && lc.size() > k.size() && lc.compare(0, k.size(), k) == 0 && lc[k.size()] == '/') {
        newPath[i] = target + cur.substr(k.size());
        ++hits;
      }
    }
    if (!hits) {
      run.line("Skipped : " + shown(path) + " (no such entry)");
      run.fail(kErrNotExist);
      continue;
    }
    run.line("Renamed " + shown(path) + " -> " + shown(target));
    renamed += hits;
  }
  if (!renamed) return run.rc();
  int wr = write_replacing(run, pc.archive, [&](lha::Writer& w) {
    if (a.start && !copy_prefix(w, *a.file, a.start)) return false;
    for (size_t i = 0; i < a.entries.size(); ++i) {
      if (!w.copy_entry(*a.file, a.entries[i], newPath[i].empty() ? nullptr : &newPath[i])) return false;
    }
    return true;
  }, &a);
  if (wr >= 0) {
    run.line("The archive was left unchanged");
    run.fail(wr ? wr : kErrCannotWrite);
  }
  return run.rc();
}

// ---- self-extractors ----

bool stub_bytes(std::vector<uint8_t>& out) {
  HRSRC r = FindResourceA(g_module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!r) return false;
  HGLOBAL g = LoadResource(g_module, r);
  DWORD n = SizeofResource(g_module, r);
  const void* p = g ? LockResource(g) : nullptr;
  if (!p || !n) return false;
  out.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  return true;
}

std::string with_extension(const std::string& name, const char* ext) {
  std::string b = arc::base_name(name);
  size_t dot = b.rfind('.');
  return (dot == std::string::npos ? b : b.substr(0, dot)) + ext;
}

bool copy_entries(lha::Writer& w, lha::Archive& a) {
  for (auto& e : a.entries)
    if (!w.copy_entry(*a.file, e)) return false;
  return true;
}

int cmd_make_sfx(Run& run, const arc::ParsedCommand& pc) {
  uint32_t options = 0;
  bool copyTime = false;
  for (auto& s : pc.switches) {
    std::string l = arc::fold_ascii(s);
    if (l == "-x1" || l == "-x") options |= lha::kSfxKeepFolders;
    if (l == "-gw3") options |= lha::kSfxSecondKind;
    if (l == "-t1") copyTime = true;
  }
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  if (a.damaged) {
    report_damage(run, a);
    return run.rc();
  }
  std::vector<uint8_t> stub;
  if (!stub_bytes(stub)) {
    run.line("The self-extractor program is missing from unlha32.dll");
    return kErrFileOpen;
  }
  std::string dir = pc.baseDir.empty() ? arc::dir_part(pc.archive) : pc.baseDir;
  std::string out = fsio::join(dir, with_extension(pc.archive, ".exe"));
  int wr = write_replacing(run, out, [&](lha::Writer& w) {
    uint8_t block[lha::kSfxBlock] = {};
    std::memcpy(block, lha::kSfxMagic, 8);
    for (int i = 0; i < 4; ++i) block[8 + i] = static_cast<uint8_t>(options >> (8 * i));
    return w.write_bytes(stub.data(), stub.size()) && w.write_bytes(block, sizeof block) && copy_entries(w, a);
  }, &a);
  if (wr >= 0) {
    run.line("Cannot make : " + out);
    return wr ? wr : kErrCannotWrite;
  }
  if (copyTime) fsio::set_mtime(out, fsio::mtime(pc.archive));
  run.line("Created " + out);
  return 0;
}

// j "out.lzh" "program.exe": the archive inside the program, by itself.
int cmd_undo_sfx(Run& run, const arc::ParsedCommand& pc) {
  bool copyTime = false;
  for (auto& s : pc.switches)
    if (arc::fold_ascii(s) == "-t1") copyTime = true;
  if (pc.names.empty()) {
    run.line("No self-extractor named");
    return kErrNotExist;
  }
  const std::string& program = pc.names[0];
  lha::Archive a;
  if (int e = open_or_report(run, program, a)) return e;
  if (a.damaged) {
    report_damage(run, a);
    return run.rc();
  }
  int wr = write_replacing(run, pc.archive, [&](lha::Writer& w) { return copy_entries(w, a); }, &a);
  if (wr >= 0) {
    run.line("Cannot make : " + pc.archive);
    return wr ? wr : kErrCannotWrite;
  }
  a.file.reset();
  if (copyTime) fsio::set_mtime(pc.archive, fsio::mtime(program));
  run.line("Created " + pc.archive);
  return 0;
}

int run_command(HWND owner, const char* cmd, char* buf, DWORD size) {
  if (buf && size) buf[0] = 0;
  if (arc::g_dll.running.load()) return kErrAlreadyRunning;
  arc::RunningGuard guard(arc::g_dll.running);
  arc::ParsedCommand pc = arc::parse_command(cmd ? cmd : "", true);
  std::string verb = arc::fold_ascii(pc.verb);
  if (verb == "p") return cmd_print(buf, size, pc);
  Run run(owner, buf, size);
  if (pc.archive.empty()) {
    run.line("No archive named");
    return kErrCommandName;
  }
  if (verb == "e" || verb == "x") return cmd_extract(run, pc);
  if (verb == "t") return cmd_test(run, pc);
  if (verb == "a") return cmd_add(run, pc, false);
  if (verb == "u") return cmd_add(run, pc, true);
  if (verb == "d") return cmd_delete(run, pc);
  if (verb == "n") return cmd_rename(run, pc);
  if (verb == "s") return cmd_make_sfx(run, pc);
  if (verb == "j") return cmd_undo_sfx(run, pc);
  run.line("Unknown command : " + pc.verb);
  return kErrCommandName;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = inst;
  return TRUE;
}

WORD WINAPI UnlhaGetVersion() { return kVersion; }
WORD WINAPI UnlhaGetSubVersion() { return kSubVersion; }
BOOL WINAPI UnlhaGetRunning() { return arc::dll_get_running(); }
BOOL WINAPI UnlhaSetBackGroundMode(BOOL v) { return arc::dll_set_background_mode(v); }
BOOL WINAPI UnlhaGetBackGroundMode() { return arc::dll_get_background_mode(); }
BOOL WINAPI UnlhaSetCursorMode(BOOL v) { return arc::dll_set_cursor_mode(v); }
BOOL WINAPI UnlhaGetCursorMode() { return arc::dll_get_cursor_mode(); }

int WINAPI Unlha(HWND owner, LPCSTR cmd, LPSTR buf, DWORD size) {
  try {
    return run_command(owner, cmd, buf, size);
  } catch (...) {
    return 0x801E;  // out of memory, or worse: never past this boundary
  }
}

HARC WINAPI UnlhaOpenArchive(HWND, LPCSTR path, DWORD) {
  try {
    lha::Archive a;
    if (!path || lha::open_archive(path, a) != lha::OpenResult::Ok) return nullptr;
    auto* l = new arc::Listing;
    l->entries.resize(a.entries.size());
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const lha::Entry& e = a.entries[i];
      arc::fill_record(l->entries[i], shown(e.path), static_cast<uint32_t>(e.original),
                       static_cast<uint32_t>(e.packed), e.crc, e.dosTime, arc::attribute_text(e.attr),
                       e.dir ? std::string("-lhd-") : e.method, e.os);  // a folder stored as an empty file too
    }
    return arc::listing_open(l);
  } catch (...) {
    return nullptr;
  }
}

int WINAPI UnlhaCloseArchive(HARC h) { return arc::listing_close(h); }
int WINAPI UnlhaFindFirst(HARC h, LPCSTR wild, IndividualInfo* info) { return arc::listing_find_first(h, wild, info); }
int WINAPI UnlhaFindNext(HARC h, IndividualInfo* info) { return arc::listing_find_next(h, info); }

BOOL WINAPI UnlhaCheckArchive(LPCSTR path, int) {
  try {
    return path && lha::is_archive(path) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL WINAPI UnlhaConfigDialog(HWND, LPSTR, int) { return TRUE; }

BOOL WINAPI UnlhaSetOwnerWindow(HWND owner) { return arc::dll_set_owner_window(owner); }
BOOL WINAPI UnlhaClearOwnerWindow() { return arc::dll_clear_owner_window(); }

int WINAPI UnlhaExtractMem(HWND, LPCSTR cmd, LPBYTE buf, DWORD size, int32_t* time, WORD* attr, DWORD* written) {
  try {
    if (written) *written = 0;
    if (arc::g_dll.running.load()) return kErrAlreadyRunning;
    arc::RunningGuard guard(arc::g_dll.running);
    arc::ParsedCommand pc = arc::parse_command(cmd ? cmd : "", true);
    if (pc.verb.size() > 1) pc = arc::parse_command(cmd, false);  // no verb: that was the archive
    if (pc.archive.empty() || pc.names.empty()) return kErrCommandName;
    lha::Archive a;
    Run quiet(nullptr, nullptr, 0);
    if (int e = open_or_report(quiet, pc.archive, a)) return e;
    for (const lha::Entry& e : a.entries) {
      if (e.dir || e.link || !arc::same_name(pc.names[0], e.path)) continue;
      DWORD used = 0;
      auto r = lha::decode_entry(*a.file, e, [&](const uint8_t* p, size_t n) {
        std::memcpy(buf + used, p, n);
        used += static_cast<DWORD>(n);
        return true;
      }, buf ? size : 0);
      if (written) *written = used;
      if (time) *time = static_cast<int32_t>(entry_time(e));
      if (attr) *attr = static_cast<WORD>(e.attr);
      return r == lha::DecodeResult::Ok ? 0 : decode_error(r);
    }
    return kErrNotExist;
  } catch (...) {
    return 0x801E;
  }
}

}  // extern "C"
