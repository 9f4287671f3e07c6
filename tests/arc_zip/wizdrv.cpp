// Driver for the option-record entries of unzip32.dll (Info-ZIP kind) and
// zip32.dll, so that shell tests can call them under Wine on real files.
//   wizdrv DLL version                       -> unzip/zip version from the version record
//   wizdrv DLL validate ARCHIVE              -> Wiz_Validate's answer
//   wizdrv DLL list ARCHIVE [pattern...]     -> one line per listed entry, then rc
//   wizdrv DLL extract ARCHIVE DIR FLAGS [name...]   FLAGS: d folders, o overwrite, n only newer, - none
//   wizdrv DLL test ARCHIVE
//   wizdrv DLL mem ARCHIVE NAME OUTFILE      -> Wiz_UnzipToMemory into OUTFILE
//   wizdrv DLL zip ARCHIVE ROOT FLAGS [name...]  FLAGS: r j x(delete) u J A s D e l and a level digit
//   wizdrv DLL time-wiz ARCHIVE | time-common ARCHIVE [PREFIX]  -> entries and milliseconds of one
//                                               walk (PREFIX: another common-interface library, e.g. Unlha)
//   wizdrv DLL owner "command" STOP_AT       -> UnZip with an owner window that counts
//                                               "wm_arcextract" and stops at the STOP_AT-th entry (0: never)
// Environment: WIZ_PASSWORD (password callback; unset: none), WIZ_REPLACE
// (replace callback's answer, default 104), WIZ_ABORT_AT (service callback
// stops at the n-th call).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"

using namespace arcapi;

static int g_serviceCalls = 0;

template <class T>
static T bind(HMODULE m, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

static int ARCAPI print_cb(char* text, unsigned long size) {
  std::fwrite(text, 1, size, stdout);
  return static_cast<int>(size);
}
static int ARCAPI password_cb(char* buf, int size, const char*, const char*) {
  const char* pw = std::getenv("WIZ_PASSWORD");
  if (!pw) return 1;
  std::snprintf(buf, static_cast<size_t>(size), "%s", pw);
  return 0;
}
static int ARCAPI service_cb(const char* name, unsigned long) {
  ++g_serviceCalls;
  const char* at = std::getenv("WIZ_ABORT_AT");
  return (at && g_serviceCalls >= std::atoi(at)) ? 1 : 0;
}
static int ARCAPI replace_cb(char*) {
  const char* r = std::getenv("WIZ_REPLACE");
  return r ? std::atoi(r) : 104;
}
static int ARCAPI comment_cb(char*) { return 0; }
static bool g_quietList = false;
static int g_listed = 0;
static void ARCAPI message_cb(unsigned long ucsize, unsigned long csize, unsigned cfactor, unsigned a, unsigned b,
                              unsigned c, unsigned hour, unsigned minute, char, char* name, char* method,
                              unsigned long crc, char crypt) {
  ++g_listed;
  if (g_quietList) return;
  std::printf("%s\t%lu\t%lu\t%08lx\t%u-%u-%u\t%02u:%02u\t%s\t%c\n", name, ucsize, csize, crc, a, b, c, hour, minute,
              method, crypt);
}

static void user_functions(USERFUNCTIONS& uf) {
  std::memset(&uf, 0, sizeof uf);
  uf.print = print_cb;
  uf.replace = replace_cb;
  uf.password = password_cb;
  uf.SendApplicationMessage = message_cb;
  uf.ServCallBk = service_cb;
}

static UINT g_arcMsg = 0;
static int g_counts[4] = {};
static int g_stopAt = 0;
static LRESULT CALLBACK owner_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == g_arcMsg && g_arcMsg) {
    if (wp < 4) ++g_counts[wp];
    return (wp == 0 && g_stopAt && g_counts[0] >= g_stopAt) ? 1 : 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HMODULE m = LoadLibraryA(argv[1]);
  if (!m) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 2;
  }
  std::string op = argv[2];
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  if (op == "version") {
    if (auto uv = bind<FnUzpVersion2>(m, "UzpVersion2")) {
      UzpVer2 v{};
      v.structlen = sizeof v;
      uv(&v);
      std::printf("unzip %u.%u.%u\n", v.unzip.major, v.unzip.minor, v.unzip.patchlevel);
    }
    if (auto zv = bind<FnZpVersion>(m, "ZpVersion")) {
      ZpVer v{};
      v.structlen = sizeof v;
      zv(&v);
      std::printf("zip %u.%u.%u\n", v.zip.major, v.zip.minor, v.zip.patchlevel);
    }
    std::printf("UnZipGetVersion %s\n", GetProcAddress(m, "UnZipGetVersion") ? "present" : "missing");
    return 0;
  }
  if (argc < 4) return 2;
  std::string archive = argv[3];
  if (op == "validate") {
    auto f = bind<FnWizValidate>(m, "Wiz_Validate");
    if (!f) return 2;
    std::printf("%d\n", f(archive.data(), 0) & 0xFF);
    return 0;
  }
  if (op == "mem" && argc >= 6) {
    auto f = bind<FnWizUnzipToMemory>(m, "Wiz_UnzipToMemory");
    if (!f) return 2;
    USERFUNCTIONS uf;
    user_functions(uf);
    UzpBuffer b{};
    int rc = f(archive.data(), argv[4], &uf, &b);
    std::printf("rc=%d len=%u\n", rc, b.strlength);
    if (rc) {
      FILE* o = std::fopen(argv[5], "wb");
      if (o) {
        std::fwrite(b.strptr, 1, b.strlength, o);
        std::fclose(o);
      }
    }
    return 0;
  }
  if (op == "zip" && argc >= 6) {
    auto init = bind<FnZpInit>(m, "ZpInit");
    auto set = bind<FnZpSetOptions>(m, "ZpSetOptions");
    auto run = bind<FnZpArchive>(m, "ZpArchive");
    if (!init || !set || !run) return 2;
    ZIPUSERFUNCTIONS zf{};
    zf.print = print_cb;
    zf.comment = comment_cb;
    zf.password = password_cb;
    zf.ServiceApplication = service_cb;
    init(&zf);
    ZPOPT o{};
    std::string root = argv[4];
    o.szRootDir = root.data();
    o.fLevel = '6';
    for (const char* p = argv[5]; *p; ++p) {
      switch (*p) {
        case 'r': o.fRecurse = 1; break;
        case 'j': o.fJunkDir = -1; break;
        case 'x': o.fDeleteEntries = -1; break;
        case 'u': o.fUpdate = -1; break;
        case 'J': o.fJunkSFX = -1; break;
        case 'A': o.fOffsets = -1; break;
        case 's': o.fSystem = -1; break;
        case 'D': o.fNoDirEntries = -1; break;
        case 'e': o.fEncrypt = -1; break;
        case 'l': o.fLatestTime = -1; break;
        default:
          if (*p >= '0' && *p <= '9') o.fLevel = *p;
      }
    }
    set(&o);
    std::vector<char*> names;
    for (int i = 6; i < argc; ++i) names.push_back(argv[i]);
    names.push_back(nullptr);
    ZCL c{static_cast<int32_t>(names.size() - 1), archive.data(), names.size() > 1 ? names.data() : nullptr};
    int rc = run(c);
    std::printf("rc=%d\n", rc);
    return 0;
  }
  if (op == "owner" && argc >= 5) {
    auto cmd = bind<FnCommand>(m, "UnZip");
    auto set = bind<FnSetOwnerWindow>(m, "UnZipSetOwnerWindow");
    auto clear = bind<FnClearOwnerWindow>(m, "UnZipClearOwnerWindow");
    if (!cmd || !set || !clear) return 2;
    g_arcMsg = RegisterWindowMessageA("wm_arcextract");
    g_stopAt = std::atoi(argv[4]);
    WNDCLASSA wc{};
    wc.lpfnWndProc = owner_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "wizdrv_owner";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("wizdrv_owner", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    set(w);
    std::vector<char> log(65536);
    int rc = cmd(w, argv[3], log.data(), static_cast<uint32_t>(log.size()));
    clear();
    std::printf("open=%d begin=%d progress=%d end=%d\nrc=%d\n", g_counts[3], g_counts[0], g_counts[1], g_counts[2], rc);
    DestroyWindow(w);
    return 0;
  }
  if (op == "time-common") {
    std::string px = argc > 4 ? argv[4] : "UnZip";
    auto open = bind<FnOpenArchive>(m, (px + "OpenArchive").c_str());
    auto first = bind<FnFindFirst>(m, (px + "FindFirst").c_str());
    auto next = bind<FnFindNext>(m, (px + "FindNext").c_str());
    auto close = bind<FnCloseArchive>(m, (px + "CloseArchive").c_str());
    if (!open || !first || !next || !close) return 2;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    HARC h = open(nullptr, archive.c_str(), kOpenMode);
    IndividualInfo info;
    int n = 0;
    if (h) {
      for (int rc = first(h, "*.*\0", &info); rc == 0; rc = next(h, &info)) ++n;
      close(h);
    }
    QueryPerformanceCounter(&t1);
    std::printf("%s walk: %d entries in %.0f ms\n", px == "UnZip" ? "common kind" : px.c_str(), n, (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart);
    return 0;
  }
  auto unzip = bind<FnWizSingleEntryUnzip>(m, "Wiz_SingleEntryUnzip");
  if (!unzip) return 2;
  DCL dcl{};
  dcl.C_flag = 1;
  dcl.fPrivilege = 1;
  dcl.lpszZipFN = archive.data();
  USERFUNCTIONS uf;
  user_functions(uf);
  std::vector<char*> names;
  std::string dir;
  int firstName = 4;
  if (op == "list" || op == "time-wiz") {
    dcl.nvflag = 1;
    g_quietList = op == "time-wiz";
  } else if (op == "test") {
    dcl.ntflag = 1;
  } else if (op == "extract" && argc >= 6) {
    dir = argv[4];
    dcl.lpszExtractDir = dir.data();
    for (const char* p = argv[5]; *p; ++p) {
      if (*p == 'd') dcl.ndflag = 1;
      if (*p == 'o') dcl.noflag = 1;
      if (*p == 'n') dcl.ExtractOnlyNewer = 1;
    }
    firstName = 6;
  } else {
    return 2;
  }
  for (int i = firstName; i < argc; ++i) names.push_back(argv[i]);
  names.push_back(nullptr);
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  int rc = unzip(static_cast<int>(names.size() - 1), names.size() > 1 ? names.data() : nullptr, 0, nullptr, &dcl, &uf);
  QueryPerformanceCounter(&t1);
  if (op == "time-wiz")
    std::printf("info-zip kind: %d entries in %.0f ms\n", g_listed, (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart);
  std::printf("rc=%d\n", rc);
  return 0;
}
