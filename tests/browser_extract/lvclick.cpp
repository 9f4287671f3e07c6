// lvclick: clicks rows of another process's file list with real mouse
// messages, so the list view itself selects, takes the focus and tells its
// window, as a person's clicks would.
//   lvclick CLASS ROW[,ROW...]   the first row plain, the others with Ctrl
//   lvclick CLASS col:N          the header of column N
//   lvclick CLASS dbl:N          a double click on row N ("-": below the rows)
//   lvclick --post CLASS MSG WPARAM   posts a message to a top-level window
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static BOOL CALLBACK FindListProc(HWND h, LPARAM lp) {
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (lstrcmpiA(cls, WC_LISTVIEWA) == 0) {
    *reinterpret_cast<HWND*>(lp) = h;
    return FALSE;
  }
  return TRUE;
}

static HWND FindList(HWND top) {
  HWND found = nullptr;
  EnumChildWindows(top, FindListProc, reinterpret_cast<LPARAM>(&found));
  return found;
}

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--post") {
    HWND w = nullptr;
    for (int t = 0; t < 200 && !w; ++t) {
      w = FindWindowA(argv[2], nullptr);
      if (!w) Sleep(50);
    }
    if (!w) return 1;
    PostMessageA(w, static_cast<UINT>(std::strtoul(argv[3], nullptr, 0)),
                 static_cast<WPARAM>(std::strtoul(argv[4], nullptr, 0)), 0);
    return 0;
  }
  if (argc < 3) return 2;
  HWND top = nullptr;
  for (int t = 0; t < 200 && !top; ++t) {
    top = FindWindowA(argv[1], nullptr);
    if (!top) Sleep(50);
  }
  HWND lv = top ? FindList(top) : nullptr;
  if (!lv) {
    std::printf("error: no list view\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(lv, &pid);
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  void* remote = proc ? VirtualAllocEx(proc, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE) : nullptr;
  if (!remote) return 1;
  std::string spec = argv[2];
  if (spec.rfind("col:", 0) == 0) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(lv, LVM_GETHEADER, 0, 0));
    RECT r{};
    SIZE_T done = 0;
    SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(std::atoi(spec.c_str() + 4)),
                 reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(proc, remote, &r, sizeof r, &done);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
    Sleep(150);
    spec.clear();
  }
  if (spec.rfind("dbl:", 0) == 0) {
    LPARAM at;
    if (spec == "dbl:-") {
      RECT c{};
      GetClientRect(lv, &c);
      at = MAKELPARAM(c.left + 8, c.bottom - 8);
    } else {
      RECT r{LVIR_LABEL, 0, 0, 0};
      SIZE_T done = 0;
      const int row = std::atoi(spec.c_str() + 4);
      WriteProcessMemory(proc, remote, &r, sizeof r, &done);
      SendMessageA(lv, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
      SendMessageA(lv, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
      ReadProcessMemory(proc, remote, &r, sizeof r, &done);
      at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    }
    PostMessageA(lv, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(lv, WM_LBUTTONUP, 0, at);
    PostMessageA(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(lv, WM_LBUTTONUP, 0, at);
    Sleep(150);
    spec.clear();
  }
  bool first = true;
  for (size_t p = 0; p < spec.size();) {
    size_t comma = spec.find(',', p);
    int row = std::atoi(spec.substr(p, comma - p).c_str());
    RECT r{LVIR_LABEL, 0, 0, 0};
    SIZE_T done = 0;
    WriteProcessMemory(proc, remote, &r, sizeof r, &done);
    SendMessageA(lv, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    SendMessageA(lv, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(proc, remote, &r, sizeof r, &done);
    LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    WPARAM keys = MK_LBUTTON | (first ? 0 : MK_CONTROL);
    PostMessageA(lv, WM_LBUTTONDOWN, keys, at);
    PostMessageA(lv, WM_LBUTTONUP, keys & ~MK_LBUTTON, at);
    Sleep(150);
    first = false;
    if (comma == std::string::npos) break;
    p = comma + 1;
  }
  VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
  CloseHandle(proc);
  return 0;
}
