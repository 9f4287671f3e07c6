// A recording archiver library for the engine's tests. One source serves
// every library name: it learns which one it is from its own file name,
// writes each call it receives as one line to the journal named by
// ARC_JOURNAL, and answers from variables REC_<library>_<KEY>:
//   VERSION, SUBVERSION  version answers ("2.03" style for zip32/unzip32)
//   CHECK                "*" or |-separated parts of paths it accepts
//   RUNNING              GetRunning answer
//   RC                   answer of the command/run entries
//   LOG                  log text written to the output ("\n" = CRLF)
//   MEM                  bytes served by the extract-to-memory entries
//   ENTRIES              file of entries: name|orig|comp|crc|dosdatetime hex|attr|method|flags
//   OPEN                 "0": opening fails
//   PUMP                 "1": the command entry works off pending messages
//   CLOSE                "1": before that, it posts WM_CLOSE to its owner's
//                        top-level window (a user closing during the call)
//   PROCESS              RARProcessFile answer
//   HOLD                 a file: before their work the extraction entries
//                        and the zip run work off the thread's messages
//                        until it exists (at most 20 s), so a test can look
//                        at or press a button of the box its caller shows
//                        first
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"

using namespace arcapi;

namespace {

std::string gLib;  // "unlha32", "unrar", ...
HWND gOwner = nullptr;

std::string Env(const std::string& name) {
  char buf[32768];
  DWORD n = GetEnvironmentVariableA(name.c_str(), buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}
bool HasEnv(const std::string& name) { return GetEnvironmentVariableA(name.c_str(), nullptr, 0) != 0; }
std::string Key(const char* key) { return "REC_" + gLib + "_" + key; }
std::string Get(const char* key) { return Env(Key(key)); }
bool Has(const char* key) { return HasEnv(Key(key)); }
int GetInt(const char* key, int def) { return Has(key) ? std::atoi(Get(key).c_str()) : def; }

void Journal(const std::string& line) {
  std::string path = Env("ARC_JOURNAL");
  if (path.empty()) return;
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string s = gLib + " " + line + "\n";
  DWORD put;
  WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &put, nullptr);
  CloseHandle(h);
}

void Hold() {
  std::string path = Get("HOLD");
  if (path.empty()) return;
  for (DWORD end = GetTickCount() + 20000; GetTickCount() < end;) {
    // Looked at before the pumping: what was posted before it was made
    // still arrives.
    bool there = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (there) return;
    Sleep(20);
  }
}

std::string Hex(const void* p) {
  char b[32];
  std::snprintf(b, sizeof b, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return b;
}

std::string Unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      r += "\r\n";
      ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

// The log as the library writes it: cut to the size, NUL-terminated.
void WriteLog(char* out, uint32_t size, const std::string& text) {
  if (!out || size == 0) return;
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = 0;
}

struct Entry {
  std::string name, attr, method;
  uint32_t orig = 0, comp = 0, crc = 0, dos = 0, flags = 0;
};

std::vector<Entry> LoadEntries() {
  std::vector<Entry> list;
  std::string path = Get("ENTRIES");
  FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (!f) return list;
  char line[2048];
  while (std::fgets(line, sizeof line, f)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (s.empty()) continue;
    std::vector<std::string> parts;
    size_t p = 0;
    for (;;) {
      size_t bar = s.find('|', p);
      parts.push_back(s.substr(p, bar == std::string::npos ? std::string::npos : bar - p));
      if (bar == std::string::npos) break;
      p = bar + 1;
    }
    parts.resize(8);
    Entry e;
    e.name = parts[0];
    e.orig = static_cast<uint32_t>(std::strtoul(parts[1].c_str(), nullptr, 10));
    e.comp = static_cast<uint32_t>(std::strtoul(parts[2].c_str(), nullptr, 10));
    e.crc = static_cast<uint32_t>(std::strtoul(parts[3].c_str(), nullptr, 16));
    e.dos = static_cast<uint32_t>(std::strtoul(parts[4].c_str(), nullptr, 16));
    e.attr = parts[5];
    e.method = parts[6];
    e.flags = static_cast<uint32_t>(std::strtoul(parts[7].c_str(), nullptr, 10));
    list.push_back(e);
  }
  std::fclose(f);
  return list;
}

struct Listing {
  std::vector<Entry> entries;
  size_t pos = 0;
};

void Fill(IndividualInfo* r, const Entry& e) {
  std::memset(r, 0, sizeof *r);
  r->dwOriginalSize = e.orig;
  r->dwCompressedSize = e.comp;
  r->dwCRC = e.crc;
  r->uFlag = e.flags;
  r->wRatio = e.orig ? static_cast<uint16_t>(uint64_t(e.comp) * 1000 / e.orig) : 0;
  r->wDate = static_cast<uint16_t>(e.dos >> 16);
  r->wTime = static_cast<uint16_t>(e.dos & 0xFFFF);
  strncpy(r->szFileName, e.name.c_str(), sizeof r->szFileName - 1);
  strncpy(r->szAttribute, e.attr.c_str(), sizeof r->szAttribute - 1);
  strncpy(r->szMode, e.method.c_str(), sizeof r->szMode - 1);
}

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void ParseVersion(const std::string& s, VersionType& v) {
  unsigned a = 0, b = 0, c = 0;
  std::sscanf(s.c_str(), "%u.%u.%u", &a, &b, &c);
  v.major = static_cast<uint8_t>(a);
  v.minor = static_cast<uint8_t>(b);
  v.patchlevel = static_cast<uint8_t>(c);
}

std::string Mem() { return Unescape(Get("MEM")); }

int DefaultVersion() {
  if (gLib == "unlha32") return 300;
  if (gLib == "unarj32j") return 100;
  if (gLib == "unzip32") return 600;
  if (gLib == "tar32") return 250;
  if (gLib == "cab32") return 100;
  if (gLib == "bga32") return 50;
  return 100;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(inst, path, MAX_PATH);
    std::string p(path, n);
    size_t slash = p.find_last_of("\\/");
    std::string base = p.substr(slash == std::string::npos ? 0 : slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos) base.resize(dot);
    for (char& c : base) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    gLib = base;
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    Journal("freed");  // by FreeLibrary, not by the process ending
  }
  return TRUE;
}

extern "C" {

// ---- common interface ----

uint16_t ARCAPI rec_GetVersion() {
  Journal("GetVersion");
  return static_cast<uint16_t>(GetInt("VERSION", DefaultVersion()));
}
uint16_t ARCAPI rec_GetSubVersion() { return static_cast<uint16_t>(GetInt("SUBVERSION", 0)); }
BOOL_ ARCAPI rec_GetRunning() {
  Journal("GetRunning");
  return GetInt("RUNNING", 0);
}
BOOL_ ARCAPI rec_SetBackGroundMode(BOOL_ v) {
  Journal("SetBackGroundMode " + std::to_string(v));
  return 1;
}
BOOL_ ARCAPI rec_SetCursorMode(BOOL_ v) {
  Journal("SetCursorMode " + std::to_string(v));
  return 1;
}

int ARCAPI rec_Command(HWND_ owner, const char* cmd, char* out, uint32_t size) {
  Journal("Command owner=" + Hex(owner) + " size=" + std::to_string(size) + " cmd=" + (cmd ? cmd : ""));
  if (gOwner) {
    static UINT msg = RegisterWindowMessageA("wm_arcextract");
    LRESULT r = SendMessageA(gOwner, msg, 7, 0);
    Journal("progress result=" + std::to_string(static_cast<long long>(r)));
  }
  if (Get("CLOSE") == "1" && owner) PostMessageA(GetAncestor(static_cast<HWND>(owner), GA_ROOT), WM_CLOSE, 0, 0);
  if (Get("PUMP") == "1") Pump();
  if (Has("MEM") && cmd && (std::strstr(cmd, "-p ") || std::strncmp(cmd, "p ", 2) == 0))
    WriteLog(out, size, Mem());
  else
    WriteLog(out, size, Unescape(Get("LOG")));
  Journal("Command done");
  return GetInt("RC", 0);
}

HARC ARCAPI rec_OpenArchive(HWND_ owner, const char* path, uint32_t mode) {
  char m[16];
  std::snprintf(m, sizeof m, "%x", mode);
  Journal("OpenArchive owner=" + Hex(owner) + " mode=" + m + " " + (path ? path : ""));
  if (Get("OPEN") == "0") return nullptr;
  auto* l = new Listing;
  l->entries = LoadEntries();
  return l;
}
int ARCAPI rec_CloseArchive(HARC h) {
  Journal("CloseArchive");
  delete static_cast<Listing*>(h);
  return 0;
}
int ARCAPI rec_FindFirst(HARC h, const char* wild, IndividualInfo* info) {
  std::string pats;
  for (const char* p = wild; p && *p; p += std::strlen(p) + 1) pats += std::string(pats.empty() ? "" : ",") + p;
  Journal("FindFirst " + pats);
  auto* l = static_cast<Listing*>(h);
  l->pos = 0;
  if (l->entries.empty()) return -1;
  Fill(info, l->entries[l->pos++]);
  return 0;
}
int ARCAPI rec_FindNext(HARC h, IndividualInfo* info) {
  auto* l = static_cast<Listing*>(h);
  if (l->pos >= l->entries.size()) return -1;
  Fill(info, l->entries[l->pos++]);
  return 0;
}

BOOL_ ARCAPI rec_CheckArchive(const char* path, int mode) {
  Journal("CheckArchive " + std::string(path ? path : "") + " " + std::to_string(mode));
  std::string c = Get("CHECK");
  if (c.empty() || !path) return 0;
  if (c == "*") return 1;
  size_t p = 0;
  for (;;) {
    size_t bar = c.find('|', p);
    std::string part = c.substr(p, bar == std::string::npos ? std::string::npos : bar - p);
    if (!part.empty() && std::strstr(path, part.c_str())) return 1;
    if (bar == std::string::npos) return 0;
    p = bar + 1;
  }
}
BOOL_ ARCAPI rec_ConfigDialog(HWND_, char*, int) { return 0; }
BOOL_ ARCAPI rec_SetOwnerWindow(HWND_ w) {
  Journal("SetOwnerWindow " + Hex(w));
  gOwner = static_cast<HWND>(w);
  return 1;
}
BOOL_ ARCAPI rec_ClearOwnerWindow() {
  Journal("ClearOwnerWindow");
  gOwner = nullptr;
  return 1;
}
int ARCAPI rec_ExtractMem(HWND_ owner, const char* cmd, uint8_t* buf, uint32_t size, int32_t*, uint16_t*,
                          uint32_t* written) {
  Journal("ExtractMem owner=" + Hex(owner) + " size=" + std::to_string(size) + " cmd=" + (cmd ? cmd : ""));
  std::string m = Mem();
  size_t n = m.size() < size ? m.size() : size;
  if (buf) std::memcpy(buf, m.data(), n);
  if (written) *written = static_cast<uint32_t>(n);
  return GetInt("RC", 0);
}
int ARCAPI rec_GetArchiveType(const char*) { return 0; }

// ---- RAR ----

struct RarState {
  std::vector<Entry> entries;
  size_t pos = 0;  // next header
  RARChangeVolProc vol = nullptr;
  RARProcessDataProc data = nullptr;
};

void* ARCAPI RAROpenArchive(RAROpenArchiveData* d) {
  Journal("RAROpenArchive mode=" + std::to_string(d->OpenMode) + " " + (d->ArcName ? d->ArcName : ""));
  d->OpenResult = static_cast<uint32_t>(GetInt("OPENRESULT", 0));
  if (d->OpenResult) return nullptr;
  auto* s = new RarState;
  s->entries = LoadEntries();
  return s;
}
int ARCAPI RARCloseArchive(void* h) {
  Journal("RARCloseArchive");
  delete static_cast<RarState*>(h);
  return 0;
}
int ARCAPI RARReadHeader(void* h, RARHeaderData* hd) {
  auto* s = static_cast<RarState*>(h);
  if (s->pos >= s->entries.size()) return ERAR_END_ARCHIVE;
  const Entry& e = s->entries[s->pos++];
  std::memset(hd, 0, sizeof *hd);
  strncpy(hd->FileName, e.name.c_str(), sizeof hd->FileName - 1);
  hd->Flags = e.flags & 0xFF;
  hd->PackSize = e.comp;
  hd->UnpSize = e.orig;
  hd->FileCRC = e.crc;
  hd->FileTime = e.dos;
  hd->HostOS = 2;
  return 0;
}
int ARCAPI RARProcessFile(void* h, int op, char* path, char* name) {
  auto* s = static_cast<RarState*>(h);
  Journal("RARProcessFile op=" + std::to_string(op) + " dest=" + (name ? name : ""));
  if (op == RAR_SKIP || s->pos == 0) return 0;
  const Entry& e = s->entries[s->pos - 1];
  if ((e.flags & 0x100) && s->vol) {  // spans into a volume that is missing
    std::string vol = "next.r00";
    if (s->vol(vol.data(), RAR_VOL_ASK) == 0) {
      Journal("volume refused");
      return ERAR_EOPEN;
    }
  }
  if (s->data) {
    Hold();
    std::string content = Mem();
    if (content.empty()) content.assign(e.orig, 'd');
    for (size_t at = 0; at < content.size(); at += 40) {
      size_t n = content.size() - at < 40 ? content.size() - at : 40;
      if (s->data(reinterpret_cast<unsigned char*>(&content[at]), static_cast<int>(n)) == 0) {
        Journal("data stopped at " + std::to_string(at + n));
        return ERAR_UNKNOWN;
      }
    }
  }
  return GetInt("PROCESS", 0);
}
void ARCAPI RARSetChangeVolProc(void* h, RARChangeVolProc p) {
  Journal("RARSetChangeVolProc");
  static_cast<RarState*>(h)->vol = p;
}
void ARCAPI RARSetProcessDataProc(void* h, RARProcessDataProc p) {
  Journal("RARSetProcessDataProc");
  static_cast<RarState*>(h)->data = p;
}
void ARCAPI RARSetPassword(void*, char* pw) { Journal("RARSetPassword " + std::string(pw ? pw : "")); }

// ---- Info-ZIP unzip ----

void ARCAPI UzpVersion2(UzpVer2* v) {
  Journal("UzpVersion2 len=" + std::to_string(v->structlen));
  ParseVersion(Has("UZPVERSION") ? Get("UZPVERSION") : "5.50.2", v->unzip);
}

BOOL_ ARCAPI Wiz_Validate(char* path, int mode) { return rec_CheckArchive(path, mode); }

int ARCAPI Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* d, USERFUNCTIONS* uf) {
  std::string names;
  for (int i = 0; i < ifnc && ifnv && ifnv[i]; ++i) names += std::string(i ? "," : "") + ifnv[i];
  bool terminated = ifnc == 0 || (ifnv && ifnv[ifnc] == nullptr);
  std::string cb;
  if (uf->print) cb += "print,";
  if (uf->replace) cb += "replace,";
  if (uf->password) cb += "password,";
  if (uf->SendApplicationMessage) cb += "message,";
  if (uf->ServCallBk) cb += "service,";
  Journal("Wiz_SingleEntryUnzip ifnc=" + std::to_string(ifnc) + " names=[" + names + "]" +
          (terminated ? "" : " UNTERMINATED") + " xfnc=" + std::to_string(xfnc) +
          " newer=" + std::to_string(d->ExtractOnlyNewer) + " test=" + std::to_string(d->ntflag) +
          " verbose=" + std::to_string(d->nvflag) + " folders=" + std::to_string(d->ndflag) +
          " overwrite=" + std::to_string(d->noflag) + " nocase=" + std::to_string(d->C_flag) +
          " priv=" + std::to_string(d->fPrivilege) + " zip=" + (d->lpszZipFN ? d->lpszZipFN : "") +
          " dir=" + (d->lpszExtractDir ? d->lpszExtractDir : "") + " cb=" + cb);
  std::vector<Entry> entries = LoadEntries();
  auto print = [&](const std::string& s) {
    if (uf->print) uf->print(const_cast<char*>(s.c_str()), static_cast<unsigned long>(s.size()));
  };
  if (d->nvflag) {
    char order[8] = "0";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, sizeof order);
    for (const Entry& e : entries) {
      unsigned year = ((e.dos >> 25) + 1980) % 100, month = (e.dos >> 21) & 15, day = (e.dos >> 16) & 31;
      unsigned a = month, b = day, c = year;
      if (order[0] == '1') a = day, b = month, c = year;
      if (order[0] == '2') a = year, b = month, c = day;
      if (uf->SendApplicationMessage)
        uf->SendApplicationMessage(e.orig, e.comp, 0, a, b, c, (e.dos >> 11) & 31, (e.dos >> 5) & 63, ' ',
                                   const_cast<char*>(e.name.c_str()), const_cast<char*>(e.method.c_str()), e.crc,
                                   0);
    }
  } else if (!d->ntflag) {
    Hold();
    for (const Entry& e : entries) {
      if (uf->ServCallBk && uf->ServCallBk(e.name.c_str(), e.orig) != 0) {
        Journal("aborted at " + e.name);
        return 80;
      }
      if ((e.flags & 4) && uf->password) {
        char pw[81] = {};
        int r = uf->password(pw, sizeof pw, d->lpszZipFN, e.name.c_str());
        Journal("password rc=" + std::to_string(r) + " pw=" + pw);
      }
      print("  inflating: " + e.name + "\n");
    }
  }
  print(Unescape(Get("LOG")));
  return GetInt("RC", 0);
}

int ARCAPI Wiz_UnzipToMemory(char* zip, char* file, USERFUNCTIONS* uf, UzpBuffer* buf) {
  Journal("Wiz_UnzipToMemory " + std::string(zip ? zip : "") + " " + (file ? file : ""));
  static std::string data;
  data = Mem();
  buf->strlength = static_cast<uint32_t>(data.size());
  buf->strptr = data.data();
  return GetInt("RC", 1);
}

// ---- Info-ZIP zip ----

ZIPUSERFUNCTIONS gZipCb{};
ZPOPT gZipOpt{};

void ARCAPI ZpVersion(ZpVer* v) {
  Journal("ZpVersion len=" + std::to_string(v->structlen));
  ParseVersion(Has("VERSION") ? Get("VERSION") : "2.32", v->zip);
}
int ARCAPI ZpInit(ZIPUSERFUNCTIONS* uf) {
  gZipCb = *uf;
  Journal(std::string("ZpInit print=") + (uf->print ? "1" : "0") + " comment=" + (uf->comment ? "1" : "0") +
          " password=" + (uf->password ? "1" : "0") + " service=" + (uf->ServiceApplication ? "1" : "0"));
  return 1;
}
BOOL_ ARCAPI ZpSetOptions(ZPOPT* o) {
  gZipOpt = *o;
  char level = o->fLevel ? o->fLevel : '?';
  Journal("ZpSetOptions root=" + std::string(o->szRootDir ? o->szRootDir : "") +
          " encrypt=" + std::to_string(o->fEncrypt) + " system=" + std::to_string(o->fSystem) +
          " nodirs=" + std::to_string(o->fNoDirEntries) + " junkdir=" + std::to_string(o->fJunkDir) +
          " delete=" + std::to_string(o->fDeleteEntries) + " update=" + std::to_string(o->fUpdate) +
          " junksfx=" + std::to_string(o->fJunkSFX) + " latest=" + std::to_string(o->fLatestTime) +
          " offsets=" + std::to_string(o->fOffsets) + " recurse=" + std::to_string(o->fRecurse) +
          " level=" + std::string(1, level));
  return 1;
}
int ARCAPI ZpArchive(ZCL c) {
  std::string names;
  for (int i = 0; i < c.argc && c.FNV; ++i) names += std::string(i ? "," : "") + c.FNV[i];
  bool terminated = c.argc == 0 || !c.FNV || c.FNV[c.argc] == nullptr;
  Journal("ZpArchive argc=" + std::to_string(c.argc) + " zip=" + (c.lpszZipFN ? c.lpszZipFN : "") + " names=[" +
          names + "]" + (terminated ? "" : " UNTERMINATED"));
  Hold();
  for (int i = 0; i < c.argc && c.FNV; ++i)
    if (gZipCb.ServiceApplication && gZipCb.ServiceApplication(c.FNV[i], 0) != 0) {
      Journal("aborted at " + std::string(c.FNV[i]));
      return 80;
    }
  if (gZipOpt.fEncrypt && gZipCb.password) {
    char pw[81] = {};
    int r = gZipCb.password(pw, sizeof pw, c.lpszZipFN, "");
    Journal("password rc=" + std::to_string(r) + " pw=" + pw);
  }
  std::string log = Unescape(Get("LOG"));
  if (gZipCb.print && !log.empty()) gZipCb.print(const_cast<char*>(log.c_str()), static_cast<unsigned long>(log.size()));
  return GetInt("RC", 0);
}

}  // extern "C"
