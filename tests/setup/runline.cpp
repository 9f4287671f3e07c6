// runline "COMMAND LINE": starts the command line as it stands, the way the
// uninstall list does (no quoting added), and waits for it.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string line = argv[1];
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD rc = 0;
  GetExitCodeProcess(pi.hProcess, &rc);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(rc);
}
