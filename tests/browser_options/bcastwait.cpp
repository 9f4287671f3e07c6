// bcastwait MESSAGE [MS]: waits for the registered window message MESSAGE
// posted to every top-level window and prints "got CLASS" with the class of
// the window handle it carries as first parameter; exit code 1 on timeout.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  UINT msg = RegisterWindowMessageA(argv[1]);
  DWORD wait = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 20000;
  HWND w = CreateWindowExA(0, "STATIC", "bcastwait", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  DWORD end = GetTickCount() + wait;
  MSG m;
  while (GetTickCount() < end) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == msg && m.hwnd == w) {
        char cls[128] = {};
        GetClassNameA(reinterpret_cast<HWND>(m.wParam), cls, sizeof cls);
        std::printf("got %s lparam %ld\n", cls, static_cast<long>(m.lParam));
        return 0;
      }
      DispatchMessageA(&m);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  std::printf("timeout\n");
  return 1;
}
