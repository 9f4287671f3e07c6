#include "zipextract.h"

#include <algorithm>

#include "text.h"

namespace zipf {

namespace {

// Asks for a password until the entry opens, three tries at most; the one
// that worked is kept for the entries after it.
class PasswordCache {
 public:
  explicit PasswordCache(ExtractHooks& h) : hooks_(h) {}
  // Runs attempt(password) until it answers something other than badPassword.
  template <class F>
  DataStatus run(const Entry& e, F attempt) {
    if (!e.encrypted()) return attempt(nullptr);
    bool again = false;
    for (int tries = 0; tries < 4; ++tries) {
      if (!have_ || again) {
        if (tries >= 3 || !hooks_.password(e, again, pw_)) return again ? DataStatus::badPassword : DataStatus::needPassword;
        have_ = true;
      }
      DataStatus st = attempt(&pw_);
      if (st != DataStatus::badPassword) return st;
      again = true;
    }
    return DataStatus::badPassword;
  }

 private:
  ExtractHooks& hooks_;
  std::string pw_;
  bool have_ = false;
};

}  // namespace

Selection::Selection(const std::vector<std::string>& include, const std::vector<std::string>& exclude,
                     const Archive& a)
    : include_(include), exclude_(exclude) {
  if (!include_.needs_names() && !exclude_.needs_names()) return;
  for (const Entry& e : a.entries) {
    include_.stored(e.name, e.is_dir());
    exclude_.stored(e.name, e.is_dir());
  }
}

bool Selection::operator()(const Entry& e) const {
  return include_.matches(e.name) && (exclude_.empty() || !exclude_.matches(e.name));
}

ExtractResult extract(const std::string& archivePath, const ExtractOptions& opt, ExtractHooks& hooks) {
  ExtractResult r;
  auto f = fsio::open_read(archivePath);
  if (!f) {
    hooks.log("Error : cannot open " + archivePath);
    r.badArchive = true;
    return r;
  }
  Archive a;
  ReadStatus st = read_archive(*f, a);
  if (st != ReadStatus::ok) {
    hooks.log(st == ReadStatus::notZip ? "Error : not a ZIP archive: " + archivePath
                                       : "Error : damaged archive: " + archivePath);
    r.badArchive = true;
    return r;
  }
  return extract(*f, a, opt, hooks);
}

ExtractResult extract(fsio::File& f, const Archive& a, const ExtractOptions& opt, ExtractHooks& hooks) {
  ExtractResult r;
  PasswordCache pwc(hooks);
  Existing existing = opt.existing;
  std::string base = opt.baseDir.empty() ? std::string(".") : opt.baseDir;
  const Selection selected(opt.include, opt.exclude, a);
  for (const Entry& e : a.entries) {
    if (!selected(e)) continue;
    ++r.matched;
    if (opt.test) {
      if (e.is_dir()) continue;
      if (!hooks.progress(e, e.name)) {
        r.aborted = true;
        break;
      }
      DataStatus s = pwc.run(e, [&](const std::string* pw) {
        return read_entry(f, a, e, pw, [](const uint8_t*, size_t) { return true; });
      });
      if (s == DataStatus::ok) {
        ++r.done;
        hooks.log("Tested " + e.name);
      } else {
        ++r.errors;
        if (s == DataStatus::badPassword) r.badPassword = true;
        hooks.log("Error : " + e.name + " (" + status_text(s) + ")");
      }
      continue;
    }
    if (e.is_dir() && !opt.folders) continue;
    std::optional<std::string> rel = arc::safe_relative(opt.folders ? e.name : arc::base_name(e.name));
    if (!rel) {
      ++r.errors;
      hooks.log("Skipped : " + e.name + " (unsafe path)");
      continue;
    }
    std::string target = fsio::join(base, *rel);
    if (e.is_dir()) {
      if (fsio::is_dir(target)) continue;
      if (fsio::make_dirs(target)) {
        hooks.log("mkdir " + *rel);
        if (e.substituteName) hooks.log("Renamed : " + *rel + " (the stored name has characters the code page lacks)");
      } else {
        ++r.errors;
        hooks.log("Error : cannot make folder " + *rel);
      }
      continue;
    }
    bool exists = fsio::exists(target);
    if (exists && fsio::is_dir(target)) {
      ++r.errors;
      hooks.log("Skipped : " + *rel + " (a folder of that name exists)");
      continue;
    }
    if (exists && opt.onlyNewer) {
      int64_t mt = fsio::mtime(target);
      if (mt >= 0 && arc::unix_to_dos(mt) >= e.dosTime) {
        ++r.skipped;
        hooks.log("Skipped : " + *rel + " (not newer)");
        continue;
      }
    }
    if (exists && existing != Existing::overwrite) {
      Answer ans = existing == Existing::skip ? Answer::no : hooks.ask_overwrite(target);
      if (ans == Answer::cancel) {
        r.aborted = true;
        break;
      }
      if (ans == Answer::all) existing = Existing::overwrite;
      if (ans == Answer::none) existing = Existing::skip;
      if (ans == Answer::no || ans == Answer::none) {
        ++r.skipped;
        hooks.log("Skipped : " + *rel + " (exists)");
        continue;
      }
    }
    if (!hooks.progress(e, target)) {
      r.aborted = true;
      break;
    }
    std::string parent = arc::dir_part(target);
    if (!parent.empty() && !fsio::is_dir(parent)) {
      if (!fsio::make_dirs(parent)) {
        ++r.errors;
        hooks.log("Error : cannot make folder for " + *rel);
        continue;
      }
      std::string relParent = arc::dir_part(*rel);
      if (!relParent.empty()) hooks.log("mkdir " + relParent);
    }
    // Written beside the target and moved over it only when whole and right,
    // so a wrong password or damage leaves nothing behind and loses nothing.
    std::string temp = fsio::temp_beside(target);
    bool stopped = false;
    DataStatus s = pwc.run(e, [&](const std::string* pw) {
      auto out = fsio::open_write(temp);
      if (!out) return DataStatus::sink;
      uint64_t done = 0;
      DataStatus st = read_entry(f, a, e, pw, [&](const uint8_t* p, size_t n) {
        if (!out->write(p, static_cast<int64_t>(n))) return false;
        done += n;
        if (!hooks.bytes(e, done)) {
          stopped = true;
          return false;
        }
        return true;
      });
      out.reset();
      if (st != DataStatus::ok) fsio::remove_file(temp);
      return st;
    });
    if (stopped) {
      fsio::remove_file(temp);
      r.aborted = true;
      break;
    }
    if (s != DataStatus::ok) {
      fsio::remove_file(temp);
      ++r.errors;
      if (s == DataStatus::badPassword) r.badPassword = true;
      hooks.log("Error : " + *rel + " (" + status_text(s) + ")");
      continue;
    }
    bool moved = fsio::replace_file(temp, target);
    if (!moved && exists) {
      fsio::set_attributes(target, 0x20);  // a read-only copy is still replaced once agreed to
      moved = fsio::replace_file(temp, target);
    }
    if (!moved) {
      fsio::remove_file(temp);
      ++r.errors;
      hooks.log("Error : cannot write " + *rel);
      continue;
    }
    fsio::set_mtime(target, arc::dos_to_unix(e.dosTime));
    if (opt.setAttributes) {
      uint32_t at = e.dos_attributes() & 0x27;
      if (at & 0x07) fsio::set_attributes(target, at);
    }
    ++r.done;
    hooks.log("Melted " + *rel);
    if (e.substituteName) hooks.log("Renamed : " + *rel + " (the stored name has characters the code page lacks)");
  }
  return r;
}

bool extract_to_memory(fsio::File& f, const Archive& a, const Entry& e, ExtractHooks& hooks, uint64_t cap,
                       std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (!plausible_size(e)) {
    error = "damaged entry";
    return false;
  }
  out.reserve(static_cast<size_t>(std::min<uint64_t>(std::min<uint64_t>(e.usize, cap), 64u << 20)));
  PasswordCache pwc(hooks);
  bool full = false;
  DataStatus s = pwc.run(e, [&](const std::string* pw) {
    out.clear();
    full = false;
    return read_entry(f, a, e, pw, [&](const uint8_t* p, size_t n) {
      size_t room = static_cast<size_t>(cap - out.size());
      out.insert(out.end(), p, p + std::min(n, room));
      if (n >= room && out.size() == cap && out.size() < e.usize) {
        full = true;
        return false;
      }
      return true;
    });
  });
  if (s == DataStatus::ok || (s == DataStatus::sink && full)) return true;
  out.clear();
  error = status_text(s);
  return false;
}

}  // namespace zipf
