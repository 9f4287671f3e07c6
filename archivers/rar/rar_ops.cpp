// Testing and extracting one RAR entry; the redirections are copies of
// what their target extracted to.
#include "rar_ops.h"

#include <optional>
#include <string>
#include <vector>

#include "arcapi.h"
#include "text.h"

namespace rar {

using arcapi::ERAR_ECREATE;
using arcapi::ERAR_EWRITE;
using arcapi::ERAR_UNKNOWN_FORMAT;

namespace {

// A symbolic link's target, relative to the link's own folder, as a path
// from the extraction root; nothing when it is absolute or climbs out.
std::optional<std::string> link_source(const std::string& linkRel, const std::string& target) {
  std::string t = arc::to_slashes(target);
  if (t.empty() || t[0] == '/' || (t.size() >= 2 && t[1] == ':')) return std::nullopt;
  std::vector<std::string> parts;
  std::string dir = arc::to_slashes(arc::dir_part(linkRel));
  for (const std::string& path : {dir, t}) {
    size_t i = 0;
    while (i <= path.size()) {
      size_t j = path.find('/', i);
      if (j == std::string::npos) j = path.size();
      std::string comp = path.substr(i, j - i);
      i = j + 1;
      if (comp.empty() || comp == ".") continue;
      if (comp == "..") {
        if (parts.empty()) return std::nullopt;
        parts.pop_back();
        continue;
      }
      parts.push_back(comp);
    }
  }
  std::string joined;
  for (const std::string& p : parts) joined += (joined.empty() ? "" : "/") + p;
  return arc::safe_relative(joined);
}

// An entry that stands for another: a hard link or file copy (its target is
// an entry's name) or a symbolic link (its target is relative to the link).
// Windows makes neither link for an unprivileged extractor, so the target's
// data, extracted before, is copied into place; a target outside the
// extraction folder, or not extracted, is refused.
int extract_redirect(Reader& r, const Entry& e, fsio::Placer& pl, const std::string& target, const std::string& rel,
                     const Note& note) {
  r.process(nullptr);
  bool link = e.redirect == kRedirHardLink || e.redirect == kRedirFileCopy;
  std::optional<std::string> from = link ? arc::safe_relative(e.redirectTarget) : link_source(rel, e.redirectTarget);
  if (!from) {
    note(e.name, "リンク先が展開先の外にあるので展開しません");
    return ERAR_ECREATE;
  }
  // The extraction root: the target less the entry's own path (with the
  // name alone, as the engine's "no folders" asks, the target's folder).
  std::string t = arc::to_slashes(target), own = arc::to_slashes(rel);
  bool withFolders = t.size() > own.size() && t.compare(t.size() - own.size(), own.size(), own) == 0;
  std::string root = withFolders ? target.substr(0, t.size() - own.size()) : arc::dir_part(target);
  std::string source = fsio::join(root, withFolders ? *from : arc::base_name(*from));
  std::vector<uint8_t> data;
  if (fsio::is_dir(source) || !fsio::read_all(source, data)) {
    note(e.name, "リンク先のファイルがありません : " + e.redirectTarget);
    return ERAR_ECREATE;
  }
  std::string dir = arc::dir_part(target);
  if (!dir.empty() && !pl.make_dirs(dir)) {
    note(e.name, std::string("フォルダが作れません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  const fsio::Placer::Kind there = pl.look(target);
  auto out = there == fsio::Placer::Kind::dir ? nullptr : pl.begin(target, there == fsio::Placer::Kind::file);
  if (!out) {
    note(e.name, std::string("書き込めません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  if (!out->write(data.data(), static_cast<int64_t>(data.size())) ||
      !out->finish(e.dosTime ? arc::dos_to_unix(e.dosTime) : -1, 0) || !out->commit()) {
    note(e.name, std::string("書き込めません : ") + fsio::place_error_text(out->error()));
    return ERAR_EWRITE;
  }
  return 0;
}

// An entry the stand-in cannot decode: read through (so that a damaged
// header still shows) and refused.
int refuse(Reader& r, const Entry& e, const Note& note) {
  Reader::Sink none = [](const uint8_t*, size_t) { return false; };
  int rc = r.process(&none);
  note(e.name, r.last_error());
  return rc ? rc : ERAR_UNKNOWN_FORMAT;
}

}  // namespace

bool decodable(const Entry& e) {
  return e.is_dir() || (!(e.flags & kEncrypted) && e.stored() && !(e.flags & kSplitBefore));
}

int test_entry(Reader& r, const Entry& e, const DataSink& data, const Note& note) {
  if (e.redirect) return r.process(nullptr);  // no data of its own to check
  if (!decodable(e)) return refuse(r, e, note);
  Reader::Sink sink = [&](const uint8_t* p, size_t n) { return !data || data(p, n); };
  int rc = r.process(&sink);
  if (rc) note(e.name, r.last_error());
  return rc;
}

int extract_entry(Reader& r, const Entry& e, fsio::Placer& pl, const std::string& destPath,
                  const std::string& destName, const DataSink& data, const Note& note) {
  auto rel = arc::safe_relative(e.name);
  if (!rel) {
    note(e.name, "展開先の外を指す名前なので展開しません");
    r.process(nullptr);
    return ERAR_ECREATE;
  }
  std::string target = !destName.empty() ? destName : fsio::join(destPath, *rel);
  if (e.redirect && !e.is_dir()) return extract_redirect(r, e, pl, target, *rel, note);
  if (!decodable(e)) return refuse(r, e, note);
  if (e.is_dir()) {
    r.process(nullptr);
    if (pl.make_dirs(target)) return 0;
    note(e.name, std::string("フォルダが作れません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  std::string dir = arc::dir_part(target);
  if (!dir.empty() && !pl.make_dirs(dir)) {
    r.process(nullptr);
    note(e.name, std::string("フォルダが作れません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  // A new name is written in place, an old file beside itself; either goes
  // away unless the whole entry arrived with a good CRC.
  const fsio::Placer::Kind there = pl.look(target);
  auto f = there == fsio::Placer::Kind::dir ? nullptr : pl.begin(target, there == fsio::Placer::Kind::file);
  if (!f) {
    r.process(nullptr);
    note(e.name, std::string("書き込めません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  bool writeFailed = false;
  Reader::Sink sink = [&](const uint8_t* p, size_t n) {
    if (!f->write(p, static_cast<int64_t>(n))) {
      writeFailed = true;
      return false;
    }
    return !data || data(p, n);
  };
  int rc = r.process(&sink);
  if (rc == 0) {
    if (f->finish(e.dosTime ? arc::dos_to_unix(e.dosTime) : -1, e.hostOS <= 2 ? e.attr & 0x27 : 0) && f->commit())
      return 0;
    writeFailed = true;
  }
  if (writeFailed) {
    note(e.name, std::string("書き込めません : ") + fsio::place_error_text(f->error()));
    return ERAR_EWRITE;
  }
  f->discard();
  note(e.name, r.last_error());
  return rc ? rc : ERAR_ECREATE;
}

}  // namespace rar
