// A small console driver that loads an archiver library by path and calls
// its entries, so that shell tests can run the real DLLs under Wine on real
// files and compare with other tools.
//   arcdrv DLL PREFIX cmd "command text" [bufsize]  -> prints rc and the log
//   arcdrv DLL PREFIX list ARCHIVE [wildcard]       -> one line per entry
//   arcdrv DLL PREFIX check ARCHIVE...              -> prints the answer for each, one a line
//   arcdrv DLL PREFIX mem "command text" OUTFILE    -> ExtractMem into OUTFILE
//   arcdrv DLL PREFIX version                       -> GetVersion
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"

using namespace arcapi;

static FARPROC entry(HMODULE m, const std::string& prefix, const char* name) {
  return GetProcAddress(m, (prefix + name).c_str());
}

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: arcdrv DLL PREFIX cmd|list|check|mem|version ...\n");
    return 2;
  }
  HMODULE m = LoadLibraryA(argv[1]);
  if (!m) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 2;
  }
  std::string prefix = argv[2], op = argv[3];
  if (op == "version") {
    auto f = reinterpret_cast<FnGetVersion>(entry(m, prefix, "GetVersion"));
    std::printf("%u\n", f ? f() : 0u);
    return 0;
  }
  if (op == "cmd" && argc >= 5) {
    auto f = reinterpret_cast<FnCommand>(GetProcAddress(m, prefix.c_str()));
    if (!f) return 2;
    DWORD size = argc >= 6 ? std::strtoul(argv[5], nullptr, 10) : 65536;
    std::vector<char> buf(size + 16, 'Z');
    int rc = f(nullptr, argv[4], size ? buf.data() : nullptr, size);
    if (size && std::memchr(buf.data(), 0, size) == nullptr) {
      std::printf("rc=%d\nLOG NOT TERMINATED\n", rc);
      return 3;
    }
    if (buf[size] != 'Z') {
      std::printf("rc=%d\nLOG OVERRAN\n", rc);
      return 3;
    }
    std::printf("rc=%d\n%s", rc, size ? buf.data() : "");
    return 0;
  }
  if (op == "list" && argc >= 5) {
    auto open = reinterpret_cast<FnOpenArchive>(entry(m, prefix, "OpenArchive"));
    auto first = reinterpret_cast<FnFindFirst>(entry(m, prefix, "FindFirst"));
    auto next = reinterpret_cast<FnFindNext>(entry(m, prefix, "FindNext"));
    auto close = reinterpret_cast<FnCloseArchive>(entry(m, prefix, "CloseArchive"));
    if (!open || !first || !next || !close) return 2;
    HARC h = open(nullptr, argv[4], prefix == "Unarj" ? kOpenModeArj : kOpenMode);
    if (!h) {
      std::printf("open failed\n");
      return 1;
    }
    std::string wild = argc >= 6 ? argv[5] : "*.*";
    wild.push_back('\0');
    IndividualInfo info;
    int n = 0;
    for (int rc = first(h, wild.c_str(), &info); rc == 0; rc = next(h, &info), ++n) {
      std::printf("%s\t%u\t%u\t%08x\t%u\t%04x\t%04x\t%.8s\t%.8s\n", info.szFileName, info.dwOriginalSize,
                  info.dwCompressedSize, info.dwCRC, info.wRatio, info.wDate, info.wTime, info.szAttribute,
                  info.szMode);
    }
    close(h);
    std::fprintf(stderr, "%d entries\n", n);
    return 0;
  }
  if (op == "check" && argc >= 5) {
    auto f = reinterpret_cast<FnCheckArchive>(entry(m, prefix, "CheckArchive"));
    for (int i = 4; i < argc; ++i) std::printf("%d\n", f ? (f(argv[i], 0) & 0xFF) : -1);
    return 0;
  }
  if (op == "mem" && argc >= 6) {
    auto f = reinterpret_cast<FnExtractMem>(entry(m, prefix, "ExtractMem"));
    if (!f) return 2;
    std::vector<uint8_t> buf(64u << 20);
    int32_t t = 0;
    uint16_t attr = 0;
    uint32_t written = 0;
    int rc = f(nullptr, argv[4], buf.data(), static_cast<uint32_t>(buf.size()), &t, &attr, &written);
    std::printf("rc=%d written=%u\n", rc, written);
    FILE* o = std::fopen(argv[5], "wb");
    if (o) {
      std::fwrite(buf.data(), 1, written, o);
      std::fclose(o);
    }
    return 0;
  }
  std::fprintf(stderr, "bad arguments\n");
  return 2;
}
