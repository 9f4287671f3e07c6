// runrec: stands in for the programs the editing commands start: the viewer
// or editor a file association names, the editor setting, the shell's
// explorer. It appends one line to the file named by RUNREC_LOG:
//   run CMDLINE | in CWD
// When the file named by RUNREC_CHANGE exists, runrec takes it away and
// changes the file its last argument names as an editor saving it would: a
// line "edited" appended, and its time an hour on, so the change shows
// whatever the clock did meanwhile. When RUNREC_HOLD names a file, runrec
// stays, as an editor the user is working in, until that file appears (the
// test has done the editing); it takes it away and ends.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// The last argument of a command line, without its quotes.
std::string LastArgument(const std::string& line) {
  std::string last, cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) last = cur;
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  return any ? cur : last;
}

void Change(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD put = 0;
  WriteFile(h, "edited\r\n", 8, &put, nullptr);
  FILETIME t{};
  GetFileTime(h, nullptr, nullptr, &t);
  ULARGE_INTEGER u{{t.dwLowDateTime, t.dwHighDateTime}};
  u.QuadPart += 36000000000ULL;
  t.dwLowDateTime = u.LowPart;
  t.dwHighDateTime = u.HighPart;
  SetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
}

}  // namespace

int main() {
  const std::string line = GetCommandLineA();
  if (const char* change = std::getenv("RUNREC_CHANGE"); change && DeleteFileA(change)) Change(LastArgument(line));
  const char* log = std::getenv("RUNREC_LOG");
  if (!log) return 1;
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  const std::string text = "run " + line + " | in " + cwd + "\r\n";
  // One write on a file opened for appending: lines of runs close together
  // do not mix.
  HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD put = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(h);
  if (const char* hold = std::getenv("RUNREC_HOLD"))
    while (!DeleteFileA(hold)) Sleep(50);
  return 0;
}
