// The floor of the extraction benchmark (scripts/bench-extract.sh): makes the
// folders and files a list names, each file of its size and with its time,
// through the plain ANSI file calls and nothing else, so that what an
// extractor costs beyond making the same files under Wine shows.
//   mkfiles LIST BASE
// LIST lines: "d PATH" a folder (listed before what it holds), "f SIZE
// UNIXTIME PATH" a file; PATH relative to BASE, '/' or '\' between folders.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mkfiles LIST BASE\n");
    return 2;
  }
  FILE* list = std::fopen(argv[1], "rb");
  if (!list) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::string base = argv[2];
  if (!base.empty() && base.back() != '\\') base += '\\';
  // Bytes to write: the same block for every file, as an extractor's output
  // buffer would be.
  std::vector<char> block(1 << 20, 'x');
  char line[2048];
  int failed = 0, files = 0;
  while (std::fgets(line, sizeof line, list)) {
    size_t n = std::strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n < 3) continue;
    char* p = line + 2;
    long long size = 0, time = 0;
    if (line[0] == 'f') {
      size = std::strtoll(p, &p, 10);
      time = std::strtoll(p, &p, 10);
      if (*p == ' ') ++p;
    }
    std::string path = base + p;
    for (char& c : path)
      if (c == '/') c = '\\';
    if (line[0] == 'd') {
      if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) ++failed;
      continue;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      ++failed;
      continue;
    }
    while (size > 0) {
      DWORD k = static_cast<DWORD>(size < static_cast<long long>(block.size()) ? size : block.size()), done = 0;
      if (!WriteFile(h, block.data(), k, &done, nullptr) || done != k) {
        ++failed;
        break;
      }
      size -= k;
    }
    long long ft = time * 10000000LL + 116444736000000000LL;
    FILETIME w{static_cast<DWORD>(ft), static_cast<DWORD>(ft >> 32)};
    SetFileTime(h, nullptr, nullptr, &w);
    CloseHandle(h);
    ++files;
  }
  std::fclose(list);
  std::printf("%d files, %d failures\n", files, failed);
  return failed ? 1 : 0;
}
