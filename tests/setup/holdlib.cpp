// holdlib LIBRARY STOPFILE: loads LIBRARY, as the shell holds an extension
// library it has loaded, says "held" and keeps it until STOPFILE exists
// (at most two minutes); then lets it go and ends.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  HMODULE lib = LoadLibraryA(argv[1]);
  if (!lib) {
    std::printf("not loaded: %lu\n", GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  for (DWORD end = GetTickCount() + 120000; GetTickCount() < end;) {
    if (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  FreeLibrary(lib);
  return 0;
}
