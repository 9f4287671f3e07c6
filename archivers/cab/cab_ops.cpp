#include "cab_ops.h"

#include <algorithm>
#include <map>
#include <memory>

namespace cab {

namespace {

bool valid_utf8(const std::string& s, bool& wide) {
  wide = false;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (n < 0 || i + n >= s.size() + (n ? 0 : 1)) return false;
    for (int k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    if (n) wide = true;
    i += n + 1;
  }
  return true;
}


}  // namespace

std::string display_name(const Entry& e) {
  bool wide = false;
  // Some tools set the UTF-8 flag on names in the system code page; only
  // names that really are UTF-8 are converted.
  if ((e.attribs & 0x80) && valid_utf8(e.name, wide) && wide) {
    std::string c = utf8_to_cp932(e.name);
    if (!c.empty()) return arc::to_backslashes(c);
  }
  return arc::to_backslashes(e.name);
}

int extract(const std::string& archive, const ExtractOptions& opt, arc::LogWriter& log) {
  CabSet set;
  std::string err;
  if (!open_set(archive, opt.follow, set, err)) {
    log.line("Error : " + err);
    return fsio::exists(archive) ? kErrBroken : kErrOpen;
  }
  struct Job {
    size_t entry;
    std::string name;
  };
  std::map<int, std::vector<Job>> byFolder;
  int rc = kOk;
  size_t matched = 0;
  arc::NameMatcher names(opt.patterns);
  if (names.needs_names())
    for (const Entry& e : set.entries) names.stored(display_name(e));
  for (size_t i = 0; i < set.entries.size(); ++i) {
    const Entry& e = set.entries[i];
    std::string name = display_name(e);
    if (!names.matches(name)) continue;
    ++matched;
    if (e.fromPrev) {
      log.line("Skipped : " + name + " (begins in the previous volume)");
      rc = kErrSkipped;
      continue;
    }
    if (e.toNext && set.missingNext) {
      log.line("Skipped : " + name + " (needs the next volume" + (set.nextName.empty() ? "" : " " + set.nextName) +
               ")");
      rc = kErrSkipped;
      continue;
    }
    byFolder[e.folder].push_back({i, name});
  }
  if (!opt.patterns.empty() && matched == 0) {
    log.line("No entry matched");
    return kErrNotFound;
  }
  bool all = opt.overwrite == Overwrite::Always;
  fsio::Placer placer;
  std::vector<uint8_t> buf(1 << 16);
  for (auto& [folder, jobs] : byFolder) {
    std::stable_sort(jobs.begin(), jobs.end(),
                     [&](const Job& a, const Job& b) { return set.entries[a.entry].offset < set.entries[b.entry].offset; });
    std::unique_ptr<FolderReader> rd;
    bool folderBad = false;
    for (const Job& j : jobs) {
      const Entry& e = set.entries[j.entry];
      if (folderBad) {
        log.line("Skipped : " + j.name + " (damaged data before it)");
        continue;
      }
      auto rel = arc::safe_relative(j.name);
      if (!rel) {
        log.line("Skipped : " + j.name + " (unsafe path)");
        rc = kErrSkipped;
        continue;
      }
      std::string relPath = opt.junkPaths ? arc::base_name(*rel) : *rel;
      std::string dest = fsio::join(opt.base, relPath);
      std::string dir = arc::dir_part(dest);
      bool madeDir = false;
      if (!dir.empty() && !placer.make_dirs(dir, &madeDir)) {
        log.line("Error : cannot make folder for " + relPath + " (" + fsio::place_error_text(placer.error()) + ")");
        rc = kErrMkdir;
        continue;
      }
      if (madeDir) log.line("mkdir " + arc::dir_part(relPath));
      const fsio::Placer::Kind there = placer.look(dest);
      if (there != fsio::Placer::Kind::none) {
        if (there == fsio::Placer::Kind::dir) {
          log.line("Skipped : " + j.name + " (a folder of that name exists)");
          rc = kErrSkipped;
          continue;
        }
        bool yes = all;
        if (!yes && opt.overwrite == Overwrite::Ask && opt.ask) {
          char a = opt.ask(dest);
          if (a == 'c') {
            log.line("Cancelled");
            return kErrCancel;
          }
          if (a == 'a') all = yes = true;
          if (a == 'y') yes = true;
        }
        if (!yes) {
          log.line("Skipped : " + j.name);
          continue;
        }
      }
      if (!rd || rd->position() > e.offset) rd = std::make_unique<FolderReader>(set, folder);
      if (opt.progress) opt.progress(e, true);
      if (!rd->skip(e.offset - rd->position())) {
        log.line("Error : " + j.name + " (" + rd->error() + ")");
        rc = kErrCrc;
        folderBad = true;
        continue;
      }
      auto out = placer.begin(dest, there == fsio::Placer::Kind::file);
      if (!out) {
        log.line("Error : cannot write " + relPath + " (" + fsio::place_error_text(placer.error()) + ")");
        rc = kErrWrite;
        continue;
      }
      uint64_t left = e.size;
      bool ok = true, readErr = false;
      while (left && ok) {
        size_t k = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        if (!rd->read(buf.data(), k)) {
          ok = false;
          readErr = true;
          break;
        }
        ok = out->write(buf.data(), static_cast<int64_t>(k));
        left -= k;
      }
      if (ok && !(out->finish(arc::dos_to_unix((static_cast<uint32_t>(e.date) << 16) | e.time), e.attribs & 0x27) &&
                  out->commit()))
        ok = false;
      if (!ok) {
        out->discard();
        if (readErr) {
          log.line("Error : " + j.name + " (" + rd->error() + ")");
          rc = kErrCrc;
          folderBad = true;
        } else {
          log.line("Error : cannot write " + relPath + " (" + fsio::place_error_text(out->error()) + ")");
          rc = kErrWrite;
        }
        continue;
      }
      if (opt.progress) opt.progress(e, false);
      log.line("Melted " + j.name);
    }
  }
  return rc;
}

int test(const std::string& archive, arc::LogWriter& log) {
  CabSet set;
  std::string err;
  if (!open_set(archive, true, set, err)) {
    log.line("Error : " + err);
    return fsio::exists(archive) ? kErrBroken : kErrOpen;
  }
  int rc = kOk;
  std::map<int, std::vector<size_t>> byFolder;
  for (size_t i = 0; i < set.entries.size(); ++i) byFolder[set.entries[i].folder].push_back(i);
  for (auto& [folder, idx] : byFolder) {
    std::stable_sort(idx.begin(), idx.end(),
                     [&](size_t a, size_t b) { return set.entries[a].offset < set.entries[b].offset; });
    std::unique_ptr<FolderReader> rd;
    bool bad = false;
    for (size_t i : idx) {
      const Entry& e = set.entries[i];
      std::string name = display_name(e);
      if (e.fromPrev || (e.toNext && set.missingNext)) {
        log.line("Skipped : " + name + " (in a volume we do not have)");
        rc = kErrSkipped;
        continue;
      }
      if (bad) {
        log.line("NG " + name);
        continue;
      }
      if (!rd || rd->position() > e.offset) rd = std::make_unique<FolderReader>(set, folder);
      if (!rd->skip(e.offset - rd->position()) || !rd->skip(e.size)) {
        log.line("NG " + name + " (" + rd->error() + ")");
        rc = kErrCrc;
        bad = true;
        continue;
      }
      log.line("OK " + name);
    }
  }
  return rc;
}

std::string volume_name(const std::string& archive, int index) {
  std::string b = arc::base_name(archive);
  std::string stem = archive;
  size_t dot = b.rfind('.');
  if (dot != std::string::npos) stem = archive.substr(0, archive.size() - (b.size() - dot));
  char num[8];
  num[0] = static_cast<char>('0' + (index + 1) / 10 % 10);
  num[1] = static_cast<char>('0' + (index + 1) % 10);
  num[2] = 0;
  return stem + num + ".cab";
}

namespace {

bool has_wild(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Files named by one packing name, relative to the base folder.
void collect(const PackOptions& opt, const std::string& rel, bool recurse, std::vector<std::string>& out,
             arc::LogWriter& log) {
  std::string full = fsio::join(opt.base, rel);
  if (fsio::is_dir(full)) {
    std::vector<fsio::DirEntry> list;
    if (!fsio::list_dir(full, list)) return;
    std::sort(list.begin(), list.end(), [](const fsio::DirEntry& a, const fsio::DirEntry& b) { return a.name < b.name; });
    for (auto& d : list) {
      std::string r = arc::join_path(rel, d.name);
      if (d.dir) {
        if (recurse) collect(opt, r, true, out, log);
      } else {
        out.push_back(r);
      }
    }
    return;
  }
  if (fsio::exists(full)) {
    out.push_back(rel);
    return;
  }
  log.line("Skipped : " + rel + " (not found)");
}

}  // namespace

int pack(const std::string& archive, const PackOptions& opt, arc::LogWriter& log) {
  // Names: files, folders, "folder\*.*" and wildcards in the last part.
  std::vector<std::string> rels;
  for (const std::string& n0 : opt.names) {
    std::string n = arc::to_backslashes(n0);
    std::string last = arc::base_name(n), dir = arc::dir_part(n);
    if (!dir.empty()) dir.pop_back();
    if (last == "*.*" || last == "*") {
      collect(opt, dir, true, rels, log);
    } else if (has_wild(last)) {
      std::vector<std::string> all;
      collect(opt, dir, opt.recurse, all, log);
      for (auto& r : all)
        if (arc::match_name(last, arc::base_name(r))) rels.push_back(r);
    } else {
      collect(opt, n, opt.recurse || fsio::is_dir(fsio::join(opt.base, n)), rels, log);
    }
  }
  if (opt.names.empty()) collect(opt, "", opt.recurse, rels, log);

  const bool spanned = opt.volumeSize > 0;
  const std::string first = spanned ? volume_name(archive, 0) : archive;
  // An existing cabinet keeps its entries; new files of the same name replace them.
  CabSet old;
  bool haveOld = false;
  if (fsio::exists(first)) {
    std::string err;
    if (!open_set(first, true, old, err)) {
      log.line("Error : " + first + " is not a cabinet we can add to (" + err + ")");
      return kErrNotArchive;
    }
    haveOld = true;
  }
  std::vector<Source> src;
  std::map<std::string, size_t> index;  // name_key -> position in src
  auto key = [](const std::string& s) { return arc::name_key(s); };
  if (haveOld) {
    for (const Entry& e : old.entries) {
      if (e.fromPrev || (e.toNext && old.missingNext)) {
        log.line("Error : the cabinet set is incomplete");
        return kErrBroken;
      }
      Source s;
      s.name = display_name(e);
      s.size = e.size;
      s.date = e.date;
      s.time = e.time;
      s.attribs = e.attribs & 0x67;
      s.fromSet = &old;
      s.fromFolder = e.folder;
      s.fromOffset = e.offset;
      index[key(s.name)] = src.size();
      src.push_back(s);
    }
    // Reading the old set in folder order keeps each folder one pass.
    std::stable_sort(src.begin(), src.end(), [](const Source& a, const Source& b) {
      return a.fromFolder != b.fromFolder ? a.fromFolder < b.fromFolder : a.fromOffset < b.fromOffset;
    });
    index.clear();
    for (size_t i = 0; i < src.size(); ++i) index[key(src[i].name)] = i;
  }
  std::vector<bool> dropped(src.size(), false);
  std::vector<Source> added;
  std::string archKey = key(archive);
  for (const std::string& r : rels) {
    std::string full = fsio::join(opt.base, r);
    if (key(full) == archKey) continue;
    uint32_t attrs = fsio::attributes(full);
    if (opt.skipHiddenSystem && (attrs & 0x06)) continue;
    int64_t sz = fsio::file_size(full);
    if (sz < 0 || sz > 0x7FFFFFFF) {
      log.line("Skipped : " + r + (sz < 0 ? " (cannot read)" : " (too large)"));
      continue;
    }
    if (r.size() > 255) {
      log.line("Skipped : " + r + " (name too long)");
      continue;
    }
    Source s;
    s.path = full;
    s.name = r;
    s.size = static_cast<uint32_t>(sz);
    uint32_t dos = arc::unix_to_dos(fsio::mtime(full));
    s.date = static_cast<uint16_t>(dos >> 16);
    s.time = static_cast<uint16_t>(dos);
    s.attribs = static_cast<uint16_t>(attrs & 0x27);
    auto it = index.find(key(r));
    if (it != index.end() && it->second == static_cast<size_t>(-1)) continue;  // named twice
    if (it != index.end()) dropped[it->second] = true;
    index[key(r)] = static_cast<size_t>(-1);
    added.push_back(s);
  }
  if (added.empty()) {
    log.line("No files to add");
    return kErrNotFound;
  }
  std::vector<Source> all;
  for (size_t i = 0; i < src.size(); ++i)
    if (!dropped[i]) all.push_back(src[i]);
  all.insert(all.end(), added.begin(), added.end());
  if (all.size() > 0xFFFF) {
    log.line("Error : too many files for one cabinet");
    return kErrCommand;
  }
  WriteOptions wo;
  wo.type = opt.type;
  wo.volumeSize = opt.volumeSize;
  wo.setId = static_cast<uint16_t>(all.size() * 2654435761u >> 16);
  std::vector<std::string> written;
  std::string err;
  auto name = [&](int i) { return spanned ? volume_name(archive, i) : archive; };
  if (!write_set(all, wo, name, written, err)) {
    log.line("Error : " + err);
    return kErrWrite;
  }
  for (auto& s : added) log.line("Frozen " + s.name);
  return kOk;
}

int64_t engine_cabinet_offset(const std::vector<uint8_t>& exe) {
  for (size_t i = 0x8000; i + 6 <= exe.size(); ++i)
    if (exe[i] == 0x4D && exe[i + 1] == 0x53 && exe[i + 2] == 0x43 && exe[i + 3] == 0x46 && exe[i + 4] == 0 &&
        exe[i + 5] == 0)
      return static_cast<int64_t>(i);
  return -1;
}

int make_sfx(const std::string& archive, const std::string& outExe, const std::vector<uint8_t>& stub,
             arc::LogWriter& log) {
  CabSet set;
  std::string err;
  if (!open_set(archive, false, set, err)) {
    log.line("Error : " + err);
    return fsio::exists(archive) ? kErrBroken : kErrOpen;
  }
  if (set.missingNext || set.volumes.size() != 1 || set.start != 0) {
    log.line("Error : a self-extractor holds one whole cabinet");
    return kErrUnsupported;
  }
  if (stub.size() <= 0x8000 || engine_cabinet_offset(stub) >= 0) {
    log.line("Error : the self-extractor program is damaged");
    return kErrUnsupported;
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

}  // namespace cab
