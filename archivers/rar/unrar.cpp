// unrar.dll: the RAR library's entries over the portable reader. Stored
// entries are extracted; compressed and encrypted ones are refused with
// ERAR_UNKNOWN_FORMAT (the real library, placed beside the program instead,
// decodes them).
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "arcapi.h"
#include "fsio.h"
#include "rar.h"
#include "text.h"

using namespace arcapi;

namespace {

struct Handle {
  rar::Reader reader;
  RARChangeVolProc volProc = nullptr;
  RARProcessDataProc dataProc = nullptr;
  std::string password;
  rar::Entry cur;
  bool haveCur = false;
  fsio::Placer placer;  // for the whole walk: the folders it made stay known
  Handle(rar::Reader::Opener o, rar::Reader::NameProc n) : reader(std::move(o), std::move(n)) {}
};

// RAR 5 names (and RAR 4 names without a system code page copy) are UTF-8.
std::string utf8_to_acp(std::string_view s) {
  if (s.empty()) return {};
  int wn = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (wn <= 0) return std::string(s);
  std::wstring w(static_cast<size_t>(wn), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), wn);
  // Characters the code page lacks become '_' rather than '?', which no
  // file name may hold.
  int an = WideCharToMultiByte(CP_ACP, 0, w.data(), wn, nullptr, 0, "_", nullptr);
  std::string out(static_cast<size_t>(an > 0 ? an : 0), '\0');
  if (an > 0) WideCharToMultiByte(CP_ACP, 0, w.data(), wn, out.data(), an, "_", nullptr);
  return out;
}

void copy_name(char* dst, size_t cap, const std::string& s) {
  size_t n = 0;
  // Cut whole characters only.
  while (n < s.size()) {
    size_t k = (arc::is_lead(static_cast<unsigned char>(s[n])) && n + 1 < s.size()) ? 2 : 1;
    if (n + k > cap - 1) break;
    n += k;
  }
  std::memcpy(dst, s.data(), n);
  dst[n] = 0;
}

void note(const std::string& name, const std::string& why) {
  std::string line = "unrar: " + name + " : " + why + "\r\n";
  OutputDebugStringA(line.c_str());
}

int volume_callback(Handle* h, std::string& name, int mode) {
  if (!h->volProc) return mode == RAR_VOL_ASK ? 0 : 1;
  std::vector<char> buf(1024, 0);
  copy_name(buf.data(), buf.size(), name);
  int r = h->volProc(buf.data(), mode);
  buf.back() = 0;
  name = buf.data();
  return r;
}

bool decodable(const rar::Entry& e) {
  return e.is_dir() || (!(e.flags & rar::kEncrypted) && e.stored() && !(e.flags & rar::kSplitBefore));
}

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
int extract_redirect(Handle* h, const std::string& target, const std::string& rel) {
  const rar::Entry& e = h->cur;
  h->reader.process(nullptr);
  bool link = e.redirect == rar::kRedirHardLink || e.redirect == rar::kRedirFileCopy;
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
  fsio::Placer& pl = h->placer;
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

int extract_entry(Handle* h, const char* destPath, const char* destName) {
  const rar::Entry& e = h->cur;
  auto rel = arc::safe_relative(e.name);
  if (!rel) {
    note(e.name, "展開先の外を指す名前なので展開しません");
    h->reader.process(nullptr);
    return ERAR_ECREATE;
  }
  std::string target = (destName && *destName) ? std::string(destName) : fsio::join(destPath ? destPath : "", *rel);
  if (e.redirect && !e.is_dir()) return extract_redirect(h, target, *rel);
  auto dataProc = h->dataProc;
  if (!decodable(e)) {
    rar::Reader::Sink none = [](const uint8_t*, size_t) { return false; };
    int rc = h->reader.process(&none);
    note(e.name, h->reader.last_error());
    return rc ? rc : ERAR_UNKNOWN_FORMAT;
  }
  fsio::Placer& pl = h->placer;
  if (e.is_dir()) {
    h->reader.process(nullptr);
    if (pl.make_dirs(target)) return 0;
    note(e.name, std::string("フォルダが作れません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  std::string dir = arc::dir_part(target);
  if (!dir.empty() && !pl.make_dirs(dir)) {
    h->reader.process(nullptr);
    note(e.name, std::string("フォルダが作れません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  // A new name is written in place, an old file beside itself; either goes
  // away unless the whole entry arrived with a good CRC.
  const fsio::Placer::Kind there = pl.look(target);
  auto f = there == fsio::Placer::Kind::dir ? nullptr : pl.begin(target, there == fsio::Placer::Kind::file);
  if (!f) {
    h->reader.process(nullptr);
    note(e.name, std::string("書き込めません : ") + fsio::place_error_text(pl.error()));
    return ERAR_ECREATE;
  }
  bool writeFailed = false;
  rar::Reader::Sink sink = [&](const uint8_t* p, size_t n) {
    if (!f->write(p, static_cast<int64_t>(n))) {
      writeFailed = true;
      return false;
    }
    return !dataProc || dataProc(const_cast<unsigned char*>(p), static_cast<int>(n)) > 0;
  };
  int rc = h->reader.process(&sink);
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
  note(e.name, h->reader.last_error());
  return rc ? rc : ERAR_ECREATE;
}

}  // namespace

extern "C" {

void* WINAPI RAROpenArchive(RAROpenArchiveData* d) {
  if (!d) return nullptr;
  d->CmtSize = 0;
  d->CmtState = 0;
  if (!d->ArcName) {
    d->OpenResult = ERAR_EOPEN;
    return nullptr;
  }
  auto* h = new Handle([](const std::string& n) { return rar::open_file(n); }, utf8_to_acp);
  h->reader.set_volume_proc([h](std::string& name, int mode) { return volume_callback(h, name, mode); });
  int rc = h->reader.open(d->ArcName, d->OpenMode == 0);
  d->OpenResult = static_cast<uint32_t>(rc);
  if (rc) {
    note(d->ArcName, h->reader.last_error());
    delete h;
    return nullptr;
  }
  return h;
}

int WINAPI RARCloseArchive(void* hv) {
  if (!hv) return ERAR_ECLOSE;
  delete static_cast<Handle*>(hv);
  return 0;
}

int WINAPI RARReadHeader(void* hv, RARHeaderData* hd) {
  auto* h = static_cast<Handle*>(hv);
  if (!h || !hd) return ERAR_UNKNOWN;
  h->haveCur = false;
  int rc = h->reader.read_header(h->cur);
  if (rc) {
    if (rc != ERAR_END_ARCHIVE) note(h->reader.volume_name(), h->reader.last_error());
    return rc;
  }
  h->haveCur = true;
  const rar::Entry& e = h->cur;
  copy_name(hd->ArcName, sizeof hd->ArcName, h->reader.volume_name());
  copy_name(hd->FileName, sizeof hd->FileName, e.name);
  hd->Flags = e.flags;
  hd->PackSize = static_cast<uint32_t>(e.packSize);
  hd->UnpSize = static_cast<uint32_t>(e.unpSize);
  hd->HostOS = e.hostOS;
  hd->FileCRC = e.crc;
  hd->FileTime = e.dosTime;
  hd->UnpVer = e.unpVer;
  hd->Method = e.method;
  hd->FileAttr = e.attr;
  hd->CmtSize = 0;
  hd->CmtState = 0;
  return 0;
}

int WINAPI RARProcessFile(void* hv, int op, char* destPath, char* destName) {
  auto* h = static_cast<Handle*>(hv);
  if (!h) return ERAR_UNKNOWN;
  if (!h->haveCur) return ERAR_UNKNOWN;
  h->haveCur = false;
  if (op == RAR_SKIP) return h->reader.process(nullptr);
  if (op == RAR_TEST) {
    if (h->cur.redirect) return h->reader.process(nullptr);  // no data of its own to check
    if (!decodable(h->cur)) {
      rar::Reader::Sink none = [](const uint8_t*, size_t) { return false; };
      int rc = h->reader.process(&none);
      note(h->cur.name, h->reader.last_error());
      return rc ? rc : ERAR_UNKNOWN_FORMAT;
    }
    auto dataProc = h->dataProc;
    rar::Reader::Sink sink = [&](const uint8_t* p, size_t n) {
      return !dataProc || dataProc(const_cast<unsigned char*>(p), static_cast<int>(n)) > 0;
    };
    int rc = h->reader.process(&sink);
    if (rc) note(h->cur.name, h->reader.last_error());
    return rc;
  }
  if (op == RAR_EXTRACT) return extract_entry(h, destPath, destName);
  h->reader.process(nullptr);
  return ERAR_UNKNOWN;
}

void WINAPI RARSetChangeVolProc(void* hv, RARChangeVolProc proc) {
  if (auto* h = static_cast<Handle*>(hv)) h->volProc = proc;
}

void WINAPI RARSetProcessDataProc(void* hv, RARProcessDataProc proc) {
  if (auto* h = static_cast<Handle*>(hv)) h->dataProc = proc;
}

void WINAPI RARSetPassword(void* hv, char* password) {
  // Kept for the entries that follow; the stand-in cannot decrypt, so
  // encrypted entries still answer ERAR_UNKNOWN_FORMAT.
  if (auto* h = static_cast<Handle*>(hv)) h->password = password ? password : "";
}

int WINAPI RARGetDllVersion() { return 4; }

}  // extern "C"
