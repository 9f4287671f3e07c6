// The LHA library's commands over the portable archive code (see lha_ops.h).
#include "lha_ops.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive.h"
#include "fsio.h"
#include "text.h"

namespace lha {

namespace {

// The longest path the ANSI file calls take.
constexpr size_t kMaxPath = 260;

std::string shown(const std::string& path) { return arc::to_backslashes(path); }

// One command: its log, its answer and the progress it reports.
class Run {
 public:
  Run(Host& host, arc::LogWriter& log) : host_(host), log_(log) {}
  void line(const std::string& s) { log_.line(s); }
  void fail(int code) {
    if (rc_ == 0) rc_ = code;
  }
  int rc() const { return rc_; }
  // True when the watcher asked to stop.
  bool progress(int mode, const std::string& source, const std::string& dest, uint64_t size) {
    if (!host_.watching()) return false;
    return host_.progress(mode, size, mode == kEnd ? size : 0, source, dest);
  }
  Host& host() const { return host_; }

 private:
  Host& host_;
  arc::LogWriter& log_;
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

// ---- extraction ----

std::string strip_root(const std::string& path) {
  std::string s = path;
  if (s.size() >= 2 && s[1] == ':' && ((s[0] | 0x20) >= 'a' && (s[0] | 0x20) <= 'z')) s.erase(0, 2);
  while (!s.empty() && s[0] == '/') s.erase(0, 1);
  return s;
}

bool make_parents(Run& run, fsio::Placer& placer, const std::string& base, const std::string& rel) {
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
      bool made = false;
      if (!placer.make_dirs(fsio::join(base, walk), &made)) {
        run.line("Cannot make folder : " + shown(walk) + " (" + fsio::place_error_text(placer.error()) + ")");
        return false;
      }
      if (made) run.line("mkdir " + shown(walk) + "\\");
    }
    walk += dir[i];
  }
  return true;
}

int cmd_extract(Run& run, const Command& pc, const ExtractOptions& o) {
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  std::string base = pc.base;
  while (base.size() > 3 && arc::ends_with_separator(base)) base.pop_back();
  fsio::Placer placer;
  if (!placer.make_dirs(base)) {
    run.line("Cannot make folder : " + base + " (" + fsio::place_error_text(placer.error()) + ")");
    return kErrMakeDir;
  }
  bool yesAll = o.yes, matched = false;
  run.progress(kBegin, pc.archive, base, 0);
  const Selection selected(pc.names, a, true);
  // The entries in order: their headers and data mostly come from one block.
  fsio::BlockReader blocks(*a.file);
  lha::DecodeBuffers lent;
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
      if (!make_parents(run, placer, base, *rel + "/")) {
        run.fail(kErrMakeDir);
      }
      (void)full;
      continue;
    }
    std::string relOut = o.folders ? *rel : arc::base_name(*rel);
    if (o.folders && !make_parents(run, placer, base, relOut)) {
      run.line("Skipped : " + name + " (its folder cannot be made)");
      run.fail(kErrMakeDir);
      continue;
    }
    std::string target = fsio::join(base, relOut);
    const fsio::Placer::Kind there = placer.look(target);
    if (there == fsio::Placer::Kind::dir) {
      run.line("Skipped : " + name + " (a folder of that name exists)");
      run.fail(kErrFileOpen);
      continue;
    }
    if (there == fsio::Placer::Kind::file) {
      if (o.timeCheck && fsio::mtime(target) >= entry_time(e)) {
        run.line("Skipped : " + name + " (not newer)");
        continue;
      }
      if (!yesAll) {
        Host::Overwrite ans = run.host().ask_overwrite(target);
        if (ans == Host::Overwrite::Cancel) {
          run.line("Cancelled");
          run.fail(kErrUserCancel);
          break;
        }
        if (ans == Host::Overwrite::No) {
          run.line("Skipped : " + name);
          continue;
        }
        if (ans == Host::Overwrite::All) yesAll = true;
      }
    }
    if (run.progress(kInProcess, name, target, e.original)) {
      run.line("Cancelled");
      run.fail(kErrUserCancel);
      break;
    }
    fsio::PlaceError why = fsio::PlaceError::none;
    lha::DecodeResult r = lha::extract_file(blocks, e, placer, target, there == fsio::Placer::Kind::file,
                                            o.attributes ? e.attr & 0x27 : 0, &why, &lent);
    if (r != lha::DecodeResult::Ok) {
      std::string reason = r == lha::DecodeResult::WriteFailed && why != fsio::PlaceError::none
                               ? std::string(" (") + fsio::place_error_text(why) + ")"
                               : std::string();
      run.line(std::string(lha::describe(r)) + " : " + name + reason);
      run.fail(decode_error(r));
      continue;
    }
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

int cmd_test(Run& run, const Command& pc) {
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
int cmd_print(char* buf, uint32_t size, const Command& pc) {
  if (buf && size) buf[0] = 0;
  lha::Archive a;
  Host nobody;
  arc::LogWriter none(nullptr, 0);
  Run quiet(nobody, none);
  if (int e = open_or_report(quiet, pc.archive, a)) return e;
  uint32_t used = 0;
  bool any = false;
  const Selection selected(pc.names, a, true);
  for (const lha::Entry& e : a.entries) {
    if (e.dir || !selected(e)) continue;
    any = true;
    auto r = lha::decode_entry(*a.file, e, [&](const uint8_t* p, size_t n) {
      if (!buf || size == 0) return true;
      size_t k = std::min<size_t>(n, size - 1 - used);
      std::memcpy(buf + used, p, k);
      used += static_cast<uint32_t>(k);
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

// A folder's names with their attributes and times in one pass: packing
// many small files must not ask the file system about each one again (the
// Windows listing tells them; elsewhere they are asked for).
// False when the folder cannot be read (its path too long, no access): the
// caller tells so, since leaving its files out silently would lose them.
bool list_folder(const std::string& dir, std::vector<Found>& out) {
  if (fsio::join(dir, "*").size() >= kMaxPath) return false;
  std::vector<fsio::DirEntry> names;
  if (!fsio::list_dir(dir, names)) return false;
  for (auto& d : names) {
    std::string full = fsio::join(dir, d.name);
    uint32_t attr = d.known ? d.attrs : fsio::attributes(full) | (d.dir ? 0x10u : 0u);
    out.push_back({d.name, d.dir, attr, d.known ? d.mtime : fsio::mtime(full)});
  }
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
    run.line("Cannot read : " + diskDir + (diskDir.size() + 2 >= kMaxPath ? " (path too long)" : ""));
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

// What stopped a new archive, as a log line.
std::string cannot_write(const fsio::NewArchive& out) {
  using Step = fsio::NewArchive::Step;
  std::string what = out.step() == Step::readOnly ? "Cannot update : "
                     : out.step() == Step::create ? "Cannot make a work file beside : "
                     : out.step() == Step::replace ? "Cannot replace : "
                                                   : "Cannot write : ";
  return what + out.target() + " (" + out.reason() + ")";
}

// Writes a new file beside target and puts it in target's place only when
// everything went well. The archive being read is closed before that, since
// an open file cannot be replaced. Answers -1 when written, else the error
// (0: the body failed and has told why).
int write_replacing(Run& run, const std::string& target, const std::function<bool(lha::Writer&)>& body,
                    lha::Archive* reading = nullptr) {
  fsio::NewArchive out(target);
  if (!out.open()) {
    run.line(cannot_write(out));
    return out.step() == fsio::NewArchive::Step::readOnly ? kErrCannotWrite : kErrTmpOpen;
  }
  lha::Writer w;
  w.open(out.file());
  bool ok = body(w);
  ok = w.finish() && ok;
  if (ok) ok = out.close();
  if (reading) reading->file.reset();
  if (ok && out.commit()) return -1;  // written
  if (out.ok()) return 0;
  run.line(cannot_write(out));
  return kErrCannotWrite;
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

int cmd_add(Run& run, const Command& pc, const AddOptions& o) {
  const bool update = o.update, folders = o.folders, recurse = o.recurse, all = o.all;
  const bool byStoredName = o.byStoredName, newestTime = o.newestTime;
  const int level = o.level;
  std::string base = pc.base;
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
        run.line("Cannot read : " + diskDir + (diskDir.size() + 2 >= kMaxPath ? " (path too long)" : ""));
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
    if (run.host().watching() && run.progress(kInProcess, s.file, shown(s.stored), static_cast<uint64_t>(std::max<int64_t>(0, fsio::file_size(s.file))))) {
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

int cmd_delete(Run& run, const Command& pc, bool byPath, bool newestTime) {
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

int cmd_rename(Run& run, const Command& pc) {
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
    auto answer = run.host().ask_new_name(shown(path));
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

int cmd_make_sfx(Run& run, const Command& pc, uint32_t options, bool copyTime, const std::vector<uint8_t>& stub) {
  lha::Archive a;
  if (int e = open_or_report(run, pc.archive, a)) return e;
  if (a.damaged) {
    report_damage(run, a);
    return run.rc();
  }
  if (stub.empty()) {
    run.line("The self-extractor program is missing from unlha32.dll");
    return kErrFileOpen;
  }
  std::string dir = pc.base.empty() ? arc::dir_part(pc.archive) : pc.base;
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
int cmd_undo_sfx(Run& run, const Command& pc, bool copyTime) {
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

}  // namespace

int extract(const Command& c, const ExtractOptions& o, Host& host, arc::LogWriter& log) {
  Run run(host, log);
  return cmd_extract(run, c, o);
}

int test(const Command& c, arc::LogWriter& log) {
  Host nobody;
  Run run(nobody, log);
  return cmd_test(run, c);
}

int print(const Command& c, char* buf, uint32_t size) { return cmd_print(buf, size, c); }

int add(const Command& c, const AddOptions& o, Host& host, arc::LogWriter& log) {
  Run run(host, log);
  return cmd_add(run, c, o);
}

int remove(const Command& c, bool byPath, bool newestTime, arc::LogWriter& log) {
  Host nobody;
  Run run(nobody, log);
  return cmd_delete(run, c, byPath, newestTime);
}

int rename(const Command& c, Host& host, arc::LogWriter& log) {
  Run run(host, log);
  return cmd_rename(run, c);
}

int make_sfx(const Command& c, uint32_t sfxOptions, bool copyTime, const std::vector<uint8_t>& stub,
             arc::LogWriter& log) {
  Host nobody;
  Run run(nobody, log);
  return cmd_make_sfx(run, c, sfxOptions, copyTime, stub);
}

int undo_sfx(const Command& c, bool copyTime, arc::LogWriter& log) {
  Host nobody;
  Run run(nobody, log);
  return cmd_undo_sfx(run, c, copyTime);
}

int extract_to_memory(const std::string& archive, const std::string& entry, uint8_t* buf, uint32_t size,
                      int32_t* time, uint16_t* attr, uint32_t* written) {
  if (written) *written = 0;
  lha::Archive a;
  Host nobody;
  arc::LogWriter none(nullptr, 0);
  Run quiet(nobody, none);
  if (int e = open_or_report(quiet, archive, a)) return e;
  for (const lha::Entry& e : a.entries) {
    if (e.dir || e.link || !arc::same_name(entry, e.path)) continue;
    uint32_t used = 0;
    auto r = lha::decode_entry(*a.file, e, [&](const uint8_t* p, size_t n) {
      std::memcpy(buf + used, p, n);
      used += static_cast<uint32_t>(n);
      return true;
    }, buf ? size : 0);
    if (written) *written = used;
    if (time) *time = static_cast<int32_t>(entry_time(e));
    if (attr) *attr = static_cast<uint16_t>(e.attr);
    return r == lha::DecodeResult::Ok ? 0 : decode_error(r);
  }
  return kErrNotExist;
}

}  // namespace lha
