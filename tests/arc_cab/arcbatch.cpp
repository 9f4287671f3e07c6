// Runs many commands of one archiver library in one process (each Wine
// start costs about a second): arcbatch DLL PREFIX FILE, where each line of
// FILE is "cmd<TAB>command text" or "check<TAB>path". Prints "@@ n" before
// the answer to line n, then "rc=N" and the log, or the check's answer.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arcapi.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  HMODULE m = LoadLibraryA(argv[1]);
  if (!m) return 2;
  std::string prefix = argv[2];
  auto cmd = reinterpret_cast<arcapi::FnCommand>(reinterpret_cast<void*>(GetProcAddress(m, prefix.c_str())));
  auto check = reinterpret_cast<arcapi::FnCheckArchive>(
      reinterpret_cast<void*>(GetProcAddress(m, (prefix + "CheckArchive").c_str())));
  FILE* f = std::fopen(argv[3], "rb");
  if (!f || !cmd || !check) return 2;
  char line[8192];
  int n = 0;
  std::vector<char> buf(65536 + 16);
  while (std::fgets(line, sizeof line, f)) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    size_t tab = s.find('\t');
    if (tab == std::string::npos) continue;
    std::string op = s.substr(0, tab), arg = s.substr(tab + 1);
    std::printf("@@ %d\n", n++);
    if (op == "cmd") {
      std::memset(buf.data(), 'Z', buf.size());
      int rc = cmd(nullptr, arg.c_str(), buf.data(), 65536);
      if (!std::memchr(buf.data(), 0, 65536) || buf[65536] != 'Z') std::printf("rc=%d\nLOG OVERRAN\n", rc);
      else std::printf("rc=%d\n%s", rc, buf.data());
    } else if (op == "check") {
      std::printf("%d\n", check(arg.c_str(), 0) & 0xFF);
    }
  }
  std::fclose(f);
  return 0;
}
