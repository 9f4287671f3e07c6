// unrar.dll: the RAR library's entries over the portable reader and its
// entry operations (rar_ops). Stored entries are extracted; compressed and
// encrypted ones are refused with ERAR_UNKNOWN_FORMAT (the real library,
// placed beside the program instead, decodes them).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"
#include "fsio.h"
#include "rar.h"
#include "rar_ops.h"
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

// The data procedure as the entry is processed (taken once: a change during
// the call applies to the next entry).
rar::DataSink data_sink(Handle* h) {
  RARProcessDataProc proc = h->dataProc;
  if (!proc) return {};
  return [proc](const uint8_t* p, size_t n) { return proc(const_cast<unsigned char*>(p), static_cast<int>(n)) > 0; };
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
  if (op == RAR_TEST) return rar::test_entry(h->reader, h->cur, data_sink(h), note);
  if (op == RAR_EXTRACT)
    return rar::extract_entry(h->reader, h->cur, h->placer, destPath ? destPath : "", destName ? destName : "",
                              data_sink(h), note);
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
