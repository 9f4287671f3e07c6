// Drives unrar.dll the way the engine and the unpack extension do, for the
// shell tests:
//   rardrv DLL list ARCHIVE                 listing walk (open mode 0, skip)
//   rardrv DLL extract ARCHIVE DEST [path]  every entry to DEST\FileName (the
//                                           engine's full target name), or
//                                           with "path" to the folder DEST
//   rardrv DLL mem ARCHIVE NAME OUT LIMIT   test mode into a LIMIT-byte buffer
// RARDRV_VOL=0 makes the volume prompt answer 0 (stop), else it answers 1
// when asked; every ask is printed. RARDRV_PASSWORD, when set, is handed to
// RARSetPassword after opening for extraction.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"

using namespace arcapi;

namespace {
FnRAROpenArchive pOpen;
FnRARCloseArchive pClose;
FnRARReadHeader pRead;
FnRARProcessFile pProcess;
FnRARSetChangeVolProc pSetVol;
FnRARSetProcessDataProc pSetData;
FnRARSetPassword pSetPassword;

std::vector<unsigned char> g_mem;
size_t g_limit = 0;
unsigned long long g_seen = 0;

int ARCAPI vol_proc(char* name, int mode) {
  const char* env = std::getenv("RARDRV_VOL");
  std::printf("volume %s mode %d\n", name, mode);
  if (mode == RAR_VOL_ASK) return env && env[0] == '0' ? 0 : 1;
  return 1;
}

int ARCAPI data_proc(unsigned char* p, int n) {
  g_seen += static_cast<unsigned>(n);
  if (g_limit == 0) return 1;
  size_t room = g_limit - g_mem.size();
  size_t k = static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room;
  g_mem.insert(g_mem.end(), p, p + k);
  return k == static_cast<size_t>(n) ? 1 : 0;
}

template <typename T>
T bind(HMODULE m, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

void* open(const char* path, unsigned mode) {
  RAROpenArchiveData d{};
  d.ArcName = const_cast<char*>(path);
  d.OpenMode = mode;
  void* h = pOpen(&d);
  if (!h || d.OpenResult) {
    std::printf("open failed %u\n", d.OpenResult);
    return nullptr;
  }
  return h;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  HMODULE m = LoadLibraryA(argv[1]);
  if (!m) return 2;
  pOpen = bind<FnRAROpenArchive>(m, "RAROpenArchive");
  pClose = bind<FnRARCloseArchive>(m, "RARCloseArchive");
  pRead = bind<FnRARReadHeader>(m, "RARReadHeader");
  pProcess = bind<FnRARProcessFile>(m, "RARProcessFile");
  pSetVol = bind<FnRARSetChangeVolProc>(m, "RARSetChangeVolProc");
  pSetData = bind<FnRARSetProcessDataProc>(m, "RARSetProcessDataProc");
  pSetPassword = bind<FnRARSetPassword>(m, "RARSetPassword");
  if (!pOpen || !pClose || !pRead || !pProcess || !pSetVol || !pSetData || !pSetPassword) return 2;
  std::string op = argv[2];
  const char* arc = argv[3];
  RARHeaderData hd{};
  int rc = 0;
  if (op == "list") {
    void* h = open(arc, 0);
    if (!h) return 1;
    while ((rc = pRead(h, &hd)) == 0) {
      std::printf("%s\t%08x\t%u\t%u\t%u\t%08x\t%08x\t%u\t%02x\t%08x\n", hd.FileName, hd.Flags, hd.PackSize,
                  hd.UnpSize, hd.HostOS, hd.FileCRC, hd.FileTime, hd.UnpVer, hd.Method, hd.FileAttr);
      int p = pProcess(h, RAR_SKIP, nullptr, nullptr);
      if (p) std::printf("skip %d\n", p);
    }
    std::printf("end %d\n", rc);
    pClose(h);
    return 0;
  }
  if (op == "extract" && argc >= 5) {
    void* h = open(arc, 1);
    if (!h) return 1;
    pSetVol(h, vol_proc);
    pSetData(h, data_proc);
    if (const char* pw = std::getenv("RARDRV_PASSWORD")) pSetPassword(h, const_cast<char*>(pw));
    bool asFolder = argc >= 6 && std::string(argv[5]) == "path";
    while ((rc = pRead(h, &hd)) == 0) {
      std::string target = std::string(argv[4]) + "\\" + hd.FileName;
      int p = asFolder ? pProcess(h, RAR_EXTRACT, argv[4], nullptr)
                       : pProcess(h, RAR_EXTRACT, nullptr, const_cast<char*>(target.c_str()));
      std::printf("%s\t%d\n", hd.FileName, p);
    }
    std::printf("end %d\n", rc);
    pClose(h);
    return 0;
  }
  if (op == "mem" && argc >= 7) {
    void* h = open(arc, 1);
    if (!h) return 1;
    pSetVol(h, vol_proc);
    pSetData(h, data_proc);
    g_limit = std::strtoul(argv[6], nullptr, 10);
    bool found = false;
    while ((rc = pRead(h, &hd)) == 0) {
      if (std::strcmp(hd.FileName, argv[4]) == 0) {
        int p = pProcess(h, RAR_TEST, nullptr, nullptr);
        std::printf("test %d\n", p);
        found = true;
        break;
      }
      pProcess(h, RAR_SKIP, nullptr, nullptr);
    }
    pClose(h);
    FILE* f = std::fopen(argv[5], "wb");
    if (f) {
      if (!g_mem.empty()) std::fwrite(g_mem.data(), 1, g_mem.size(), f);
      std::fclose(f);
    }
    std::printf("found %d bytes %zu\n", found ? 1 : 0, g_mem.size());
    return 0;
  }
  return 2;
}
