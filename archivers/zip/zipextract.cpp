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

ExtractResult extract(fsio::File& file, const Archive& a, const ExtractOptions& opt, ExtractHooks& hooks) {
  ExtractResult r;
  fsio::BlockReader f(file);
  PasswordCache pwc(hooks);
  fsio::Placer placer;
  DecodeScratch scratch;
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
        return read_entry(f, a, e, pw, [](const uint8_t*, size_t) { return true; }, &scratch);
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
      bool made = false;
      if (placer.look(target) == fsio::Placer::Kind::dir) continue;
      if (placer.make_dirs(target, &made)) {
        if (!made) continue;
        hooks.log("mkdir " + *rel);
        if (e.substituteName) hooks.log("Renamed : " + *rel + " (the stored name has characters the code page lacks)");
      } else {
        ++r.errors;
        hooks.log("Error : cannot make folder " + *rel + " (" + fsio::place_error_text(placer.error()) + ")");
      }
      continue;
    }
    const fsio::Placer::Kind there = placer.look(target);
    const bool exists = there != fsio::Placer::Kind::none;
    if (there == fsio::Placer::Kind::dir) {
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
    bool madeParent = false;
    if (!parent.empty() && !placer.make_dirs(parent, &madeParent)) {
      ++r.errors;
      hooks.log("Error : cannot make folder for " + *rel + " (" + fsio::place_error_text(placer.error()) + ")");
      continue;
    }
    if (madeParent) {
      std::string relParent = arc::dir_part(*rel);
      if (!relParent.empty()) hooks.log("mkdir " + relParent);
    }
    // A new name is written in place, an old file beside itself and replaced
    // only when the new one is whole and right, so a wrong password, damage
    // or a full disk leaves nothing behind and loses nothing.
    bool stopped = false;
    fsio::PlaceError why = fsio::PlaceError::none;
    std::unique_ptr<fsio::PlacedFile> out;
    DataStatus s = pwc.run(e, [&](const std::string* pw) {
      out = placer.begin(target, exists);
      if (!out) {
        why = placer.error();
        return DataStatus::sink;
      }
      uint64_t done = 0;
      DataStatus st = read_entry(f, a, e, pw, [&](const uint8_t* p, size_t n) {
        if (!out->write(p, static_cast<int64_t>(n))) return false;
        done += n;
        if (!hooks.bytes(e, done)) {
          stopped = true;
          return false;
        }
        return true;
      }, &scratch);
      if (st == DataStatus::sink && !stopped) why = out->error();
      if (st != DataStatus::ok) out.reset();
      return st;
    });
    if (stopped) {
      r.aborted = true;
      break;
    }
    if (s == DataStatus::ok) {
      uint32_t at = opt.setAttributes ? e.dos_attributes() & 0x27 : 0;
      if (!out->finish(arc::dos_to_unix(e.dosTime), at) || !out->commit()) {
        why = out->error();
        s = DataStatus::sink;
      }
    }
    out.reset();
    if (s == DataStatus::sink) {
      ++r.errors;
      hooks.log("Error : cannot write " + *rel + " (" + fsio::place_error_text(why) + ")");
      continue;
    }
    if (s != DataStatus::ok) {
      ++r.errors;
      if (s == DataStatus::badPassword) r.badPassword = true;
      hooks.log("Error : " + *rel + " (" + status_text(s) + ")");
      continue;
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
