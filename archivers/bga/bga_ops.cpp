#include "bga_ops.h"

#include <algorithm>
#include <map>
#include <memory>

namespace bga {

namespace {

bool open_or_log(const std::string& archive, Archive& a, arc::LogWriter& log, int& rc) {
  std::string err;
  if (!read_archive(archive, a, err)) {
    log.line("Error : " + err);
    rc = fsio::exists(archive) ? kErrBroken : kErrOpen;
    return false;
  }
  return true;
}

// The names of a command against the archive's entries.
arc::NameMatcher matcher_for(const Archive& a, const std::vector<std::string>& patterns, bool plainBelow = true) {
  arc::NameMatcher m(patterns, plainBelow);
  if (m.needs_names())
    for (const Entry& e : a.entries) m.stored(e.name, (e.attribs & 0x10) != 0);
  return m;
}

// Writes a new archive beside the old one through fill, then puts it in place.
int rewrite(const std::string& archive, arc::LogWriter& log,
            const std::function<int(fsio::File& out)>& fill) {
  fsio::NewArchive out(archive);
  if (!out.open()) {
    log.line("Error : " + out.what_failed());
    return kErrWrite;
  }
  int rc = fill(out.file());
  if (rc == kOk && out.commit()) return kOk;
  // fill has told of its own failures; the writing's are told here.
  if (!out.ok()) log.line("Error : " + out.what_failed());
  return rc == kOk ? kErrWrite : rc;
}

}  // namespace

int extract(const std::string& archive, const ExtractOptions& o, arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  auto in = fsio::open_read(archive);
  if (!in) {
    log.line("Error : cannot open " + archive);
    return kErrOpen;
  }
  bool all = o.overwrite;
  fsio::Placer placer;
  size_t matched = 0;
  const arc::NameMatcher names = matcher_for(a, o.patterns);
  for (const Entry& e : a.entries) {
    if (!names.matches(e.name)) continue;
    ++matched;
    auto rel = arc::safe_relative(e.name);
    if (!rel) {
      log.line("Skipped : " + e.name + " (unsafe path)");
      rc = kErrSkipped;
      continue;
    }
    bool folder = (e.attribs & 0x10) != 0;
    std::string relPath = o.junkPaths ? arc::base_name(*rel) : *rel;
    std::string dest = fsio::join(o.base, relPath);
    std::string dir = folder ? dest : arc::dir_part(dest);
    bool madeDir = false;
    if (!dir.empty() && !(o.junkPaths && folder) && !placer.make_dirs(dir, &madeDir)) {
      log.line("Error : cannot make folder for " + relPath + " (" + fsio::place_error_text(placer.error()) + ")");
      rc = kErrMkdir;
      continue;
    }
    if (madeDir) log.line("mkdir " + (folder ? relPath : arc::dir_part(relPath)));
    if (folder) continue;
    const fsio::Placer::Kind there = placer.look(dest);
    if (there != fsio::Placer::Kind::none) {
      bool yes = all;
      if (!yes && o.ask) {
        char ans = o.ask(dest);
        if (ans == 'c') {
          log.line("Cancelled");
          return kErrCancel;
        }
        if (ans == 'a') all = yes = true;
        if (ans == 'y') yes = true;
      }
      if (!yes || there == fsio::Placer::Kind::dir) {
        log.line("Skipped : " + e.name);
        continue;
      }
    }
    auto out = placer.begin(dest, there == fsio::Placer::Kind::file);
    if (!out) {
      log.line("Error : cannot write " + relPath + " (" + fsio::place_error_text(placer.error()) + ")");
      rc = kErrWrite;
      continue;
    }
    if (o.progress) o.progress(e, true);
    std::string err;
    bool ok = read_entry(*in, e, [&](const uint8_t* p, size_t n) { return out->write(p, static_cast<int64_t>(n)); },
                         err);
    bool written = out->error() == fsio::PlaceError::none;
    uint32_t keep = o.allAttributes ? 0x27u : 0x21u;
    if (ok && !(out->finish(arc::dos_to_unix((static_cast<uint32_t>(e.date) << 16) | e.time), e.attribs & keep) &&
                out->commit()))
      ok = written = false;
    if (!ok) {
      out->discard();
      log.line("Error : " + e.name + " (" +
               (written ? err : std::string("cannot write: ") + fsio::place_error_text(out->error())) + ")");
      rc = written ? kErrCrc : kErrWrite;
      continue;
    }
    if (o.progress) o.progress(e, false);
    log.line("Melted " + e.name);
  }
  if (!o.patterns.empty() && matched == 0) {
    log.line("No entry matched");
    return kErrNotFound;
  }
  return rc;
}

int test(const std::string& archive, arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  auto in = fsio::open_read(archive);
  if (!in) return kErrOpen;
  for (const Entry& e : a.entries) {
    std::string err;
    if (read_entry(*in, e, [](const uint8_t*, size_t) { return true; }, err)) {
      log.line("OK " + e.name);
    } else {
      log.line("NG " + e.name + " (" + err + ")");
      rc = kErrCrc;
    }
  }
  return rc;
}

int print(const std::string& archive, const std::vector<std::string>& patterns, arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  auto in = fsio::open_read(archive);
  if (!in) return kErrOpen;
  const arc::NameMatcher names = matcher_for(a, patterns);
  for (const Entry& e : a.entries) {
    if (!names.matches(e.name)) continue;
    std::string err;
    if (!read_entry(*in, e, [&](const uint8_t* p, size_t n) {
          log.add(std::string_view(reinterpret_cast<const char*>(p), n));
          return true;
        }, err))
      return kErrCrc;
    return kOk;
  }
  return kErrNotFound;
}

namespace {

void collect(const std::string& base, const std::string& rel, bool recurse, std::vector<std::string>& out) {
  std::string full = fsio::join(base, rel);
  if (!fsio::is_dir(full)) {
    if (fsio::exists(full)) out.push_back(rel);
    return;
  }
  std::vector<fsio::DirEntry> list;
  if (!fsio::list_dir(full, list)) return;
  std::sort(list.begin(), list.end(), [](const fsio::DirEntry& x, const fsio::DirEntry& y) { return x.name < y.name; });
  for (auto& d : list) {
    std::string r = arc::join_path(rel, d.name);
    if (!d.dir) out.push_back(r);
    else if (recurse) collect(base, r, true, out);
  }
}

}  // namespace

int add(const std::string& archive, const AddOptions& o, arc::LogWriter& log) {
  Archive old;
  int rc = kOk;
  if (fsio::exists(archive) && !open_or_log(archive, old, log, rc)) return rc;
  // (stored name, file on disk)
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& n0 : o.names) {
    std::string n = arc::to_backslashes(n0);
    std::string last = arc::base_name(n), dir = arc::dir_part(n);
    if (!dir.empty()) dir.pop_back();
    std::vector<std::string> rels;
    if (last == "*.*" || last == "*") {
      collect(o.base, dir, true, rels);
    } else if (last.find_first_of("*?") != std::string::npos) {
      std::vector<std::string> all;
      collect(o.base, dir, o.recurse, all);
      for (auto& r : all)
        if (arc::match_name(last, arc::base_name(r))) rels.push_back(r);
    } else if (o.fromBaseName) {
      files.emplace_back(n, fsio::join(o.base, last));
      continue;
    } else {
      collect(o.base, n, true, rels);
      if (rels.empty()) log.line("Skipped : " + n + " (not found)");
    }
    for (auto& r : rels) files.emplace_back(r, fsio::join(o.base, r));
  }
  std::map<std::string, size_t> oldIndex;
  for (size_t i = 0; i < old.entries.size(); ++i) oldIndex[arc::name_key(old.entries[i].name)] = i;
  std::vector<bool> replaced(old.entries.size(), false);
  struct Job {
    std::string name, path;
    uint32_t dos, attrs;
  };
  std::vector<Job> jobs;
  std::map<std::string, bool> seen;
  const std::string self = arc::name_key(archive);
  for (auto& [name, path] : files) {
    if (arc::name_key(path) == self || seen[arc::name_key(name)]) continue;
    seen[arc::name_key(name)] = true;
    if (!arc::safe_relative(name) || name.size() > kMaxName) {
      log.line("Skipped : " + name + " (name not storable)");
      continue;
    }
    uint32_t attrs = fsio::attributes(path);
    if (!o.allAttributes && (attrs & 0x06)) continue;
    uint32_t dos = arc::unix_to_dos(fsio::mtime(path));
    auto it = oldIndex.find(arc::name_key(name));
    if (it != oldIndex.end()) {
      const Entry& e = old.entries[it->second];
      uint32_t have = (static_cast<uint32_t>(e.date) << 16) | e.time;
      if (o.newerOnly && have >= dos) {
        log.line("Skipped : " + name + " (not newer)");
        continue;
      }
      replaced[it->second] = true;
    }
    jobs.push_back({name, path, dos, attrs & 0x27});
  }
  if (jobs.empty()) {
    log.line("No files to add");
    return files.empty() ? kErrNotFound : kOk;
  }
  std::vector<std::string> done;
  rc = rewrite(archive, log, [&](fsio::File& out) -> int {
    std::unique_ptr<fsio::File> in;
    if (!old.entries.empty()) in = fsio::open_read(archive);
    std::string err;
    for (size_t i = 0; i < old.entries.size(); ++i) {
      if (replaced[i]) continue;
      if (!in || !copy_entry(*in, old.entries[i], out, err)) {
        log.line("Error : " + err);
        return kErrWrite;
      }
    }
    for (const Job& j : jobs) {
      auto f = fsio::open_read(j.path);
      if (!f) {
        log.line("Skipped : " + j.name + " (cannot read)");
        continue;
      }
      Entry e;
      e.method = o.level == 0 ? Method::Store : o.method;
      e.name = j.name;
      e.date = static_cast<uint16_t>(j.dos >> 16);
      e.time = static_cast<uint16_t>(j.dos);
      e.attribs = static_cast<uint16_t>(j.attrs);
      if (!write_entry(out, e, o.level,
                       [&](uint8_t* b, size_t cap) { return f->read(b, static_cast<int64_t>(cap)); }, err)) {
        log.line("Error : " + j.name + " (" + err + ")");
        return kErrWrite;
      }
      done.push_back(j.name);
    }
    return kOk;
  });
  if (rc == kOk)
    for (auto& n : done) log.line("Frozen " + n);
  return rc;
}

int remove(const std::string& archive, const std::vector<std::string>& patterns, bool below, arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  std::vector<bool> drop(a.entries.size(), false);
  size_t n = 0;
  // Without "below", a plain name takes only that entry.
  const arc::NameMatcher names = matcher_for(a, patterns, below);
  for (size_t i = 0; i < a.entries.size(); ++i) {
    if (names.matches(a.entries[i].name)) {
      drop[i] = true;
      ++n;
    }
  }
  if (n == 0) {
    log.line("No entry matched");
    return kErrNotFound;
  }
  rc = rewrite(archive, log, [&](fsio::File& out) -> int {
    auto in = fsio::open_read(archive);
    std::string err;
    for (size_t i = 0; i < a.entries.size(); ++i) {
      if (drop[i]) continue;
      if (!in || !copy_entry(*in, a.entries[i], out, err)) {
        log.line("Error : " + err);
        return kErrWrite;
      }
    }
    return kOk;
  });
  if (rc == kOk)
    for (size_t i = 0; i < a.entries.size(); ++i)
      if (drop[i]) log.line("Deleted " + a.entries[i].name);
  return rc;
}

int rename(const std::string& archive, const std::vector<std::string>& patterns, const NameAsker& ask,
           arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  std::vector<std::string> names;
  for (auto& e : a.entries) names.push_back(e.name);
  std::map<std::string, size_t> index;
  for (size_t i = 0; i < names.size(); ++i) index[arc::name_key(names[i])] = i;
  // Each target: a folder (it and everything below it) or one whole name.
  auto rename_entries = [&](const std::string& from, const std::string& to, bool folder) -> bool {
    std::vector<size_t> hit;
    for (size_t i = 0; i < names.size(); ++i)
      if (folder ? arc::in_folder(from, names[i]) : arc::same_name(from, names[i])) hit.push_back(i);
    for (size_t i : hit) {
      std::string nn = to + names[i].substr(std::min(from.size(), names[i].size()));
      auto it = index.find(arc::name_key(nn));
      if (it != index.end() && std::find(hit.begin(), hit.end(), it->second) == hit.end()) {
        log.line("Error : " + nn + " already exists");
        return false;
      }
    }
    for (size_t i : hit) {
      index.erase(arc::name_key(names[i]));
      names[i] = to + names[i].substr(std::min(from.size(), names[i].size()));
      index[arc::name_key(names[i])] = i;
    }
    return !hit.empty();
  };
  auto valid = [](const std::string& s) {
    if (s.empty() || s == "." || s == "..") return false;
    auto r = arc::safe_relative(s);
    return r && r->find('/') == std::string::npos;
  };
  bool any = false;
  for (const std::string& p0 : patterns) {
    std::string p = arc::to_backslashes(p0);
    std::string last = arc::base_name(p), dir = arc::dir_part(p);
    std::vector<std::pair<std::string, bool>> targets;  // (name, is folder)
    if (last == "*.*" || last == "*") {
      // "F/*.*" (or "*.*") names every row of folder F; "X\*.*" the folder X.
      bool children = p0.size() == last.size() || p0[p0.size() - last.size() - 1] == '/';
      if (!children) {
        std::string folder = dir.substr(0, dir.size() - 1);
        bool exists = false;
        for (auto& n : names) exists = exists || (arc::in_folder(folder, n) && !arc::same_name(folder, n));
        if (exists) targets.emplace_back(folder, true);
      } else {
        std::map<std::string, bool> kids;
        for (auto& n : names) {
          if (!dir.empty() && (!arc::in_folder(dir, n) || arc::same_name(dir, n))) continue;
          std::string rest = n.substr(dir.size());
          std::string first = rest, tail;
          for (size_t i = 0; i < rest.size(); ++i) {
            if (arc::is_lead(static_cast<unsigned char>(rest[i])) && i + 1 < rest.size()) {
              ++i;
              continue;
            }
            if (rest[i] == '\\') {
              first = rest.substr(0, i);
              tail = "x";
              break;
            }
          }
          if (!kids.count(dir + first)) {
            kids[dir + first] = !tail.empty();
            targets.emplace_back(dir + first, !tail.empty());
          }
        }
      }
    } else {
      if (index.count(arc::name_key(p))) targets.emplace_back(p, false);
    }
    if (targets.empty()) {
      log.line("Skipped : " + p + " (not found)");
      continue;
    }
    for (auto& [t, isFolder] : targets) {
      std::string parent = arc::dir_part(t), leaf = arc::base_name(t);
      auto nn = ask(leaf);
      if (!nn || nn->empty() || *nn == leaf) {
        log.line("Skipped : " + t);
        continue;
      }
      if (!valid(*nn)) {
        log.line("Error : " + *nn + " is not a valid name");
        rc = kErrCommand;
        continue;
      }
      bool ok = rename_entries(t, parent + *nn, isFolder);
      if (!ok) {
        rc = kErrCommand;
        continue;
      }
      any = true;
      log.line("Renamed " + t + " -> " + parent + *nn);
    }
  }
  if (!any) return rc == kOk ? kErrNotFound : rc;
  int wrc = rewrite(archive, log, [&](fsio::File& out) -> int {
    auto in = fsio::open_read(archive);
    std::string err;
    for (size_t i = 0; i < a.entries.size(); ++i) {
      Entry e = a.entries[i];
      e.name = names[i];
      if (e.name.size() > kMaxName) {
        log.line("Error : " + e.name + " is too long");
        return kErrCommand;
      }
      if (!in || !copy_entry(*in, e, out, err)) {
        log.line("Error : " + err);
        return kErrWrite;
      }
    }
    return kOk;
  });
  return wrc != kOk ? wrc : rc;
}

int make_sfx(const std::string& archive, const std::string& outExe, const std::vector<uint8_t>& stub,
             arc::LogWriter& log) {
  Archive a;
  int rc = kOk;
  if (!open_or_log(archive, a, log, rc)) return rc;
  if (a.start != 0) {
    log.line("Error : this is already a self-extractor");
    return kErrCommand;
  }
  std::vector<uint8_t> data;
  if (!fsio::read_all(archive, data)) {
    log.line("Error : cannot read " + archive);
    return kErrOpen;
  }
  fsio::NewArchive out(outExe);
  bool ok = out.open() && out.file().write(stub.data(), static_cast<int64_t>(stub.size())) &&
            out.file().write(data.data(), static_cast<int64_t>(data.size())) && out.commit();
  if (!ok) {
    log.line("Error : " + out.what_failed());
    return kErrWrite;
  }
  log.line("Created " + arc::base_name(outExe));
  return kOk;
}

}  // namespace bga
