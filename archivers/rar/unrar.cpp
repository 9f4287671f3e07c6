// unrar.dll: the RAR library's entries over the portable reader. Stored
// entries are extracted; compressed and encrypted ones are refused with
// ERAR_UNKNOWN_FORMAT (the real library, placed beside the program instead,
// decodes them).
#include <windows.h>

#include <cstring>
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

int extract_entry(Handle* h, const char* destPath, const char* destName) {
  const rar::Entry& e = h->cur;
  auto rel = arc::safe_relative(e.name);
  if (!rel) {
    note(e.name, "展開先の外を指す名前なので展開しません");
    h->reader.process(nullptr);
    return ERAR_ECREATE;
  }
  std::string target = (destName && *destName) ? std::string(destName) : fsio::join(destPath ? destPath : "", *rel);
  auto dataProc = h->dataProc;
  if (!decodable(e)) {
    rar::Reader::Sink none = [](const uint8_t*, size_t) { return false; };
    int rc = h->reader.process(&none);
    note(e.name, h->reader.last_error());
    return rc ? rc : ERAR_UNKNOWN_FORMAT;
  }
  if (e.is_dir()) {
    h->reader.process(nullptr);
    return fsio::is_dir(target) || fsio::make_dirs(target) ? 0 : ERAR_ECREATE;
  }
  std::string dir = arc::dir_part(target);
  if (!dir.empty() && !fsio::is_dir(dir) && !fsio::make_dirs(dir)) {
    h->reader.process(nullptr);
    return ERAR_ECREATE;
  }
  // Written beside the target and moved into place only when the whole
  // entry arrived with a good CRC.
  std::string tmp = fsio::temp_beside(target);
  auto f = fsio::open_write(tmp);
  if (!f) {
    h->reader.process(nullptr);
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
  f.reset();
  if (rc == 0 && fsio::replace_file(tmp, target)) {
    if (e.dosTime) fsio::set_mtime(target, arc::dos_to_unix(e.dosTime));
    if (e.hostOS <= 2) fsio::set_attributes(target, e.attr & 0x27);
    return 0;
  }
  fsio::remove_file(tmp);
  if (writeFailed) return ERAR_EWRITE;
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
