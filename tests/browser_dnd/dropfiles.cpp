// dropfiles: drops files on another program's window the way the shell
// does for a window that accepts dropped files: a WM_DROPFILES whose HDROP
// holds a DROPFILES list.
//
//   dropfiles [--ctrl|--shift] CLASS PATH...
//
// The list is written into the target process (an HDROP is a memory block
// of the process that reads it), then the message is posted to the first
// visible top-level window of CLASS. Exit code 0 when it was posted.
// --ctrl and --shift hold that key through the drop, pressed on the
// keyboard (the window brought to the front takes it) as a user dragging
// with the key down does.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HWND FindVisible(const char* cls) {
  for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w; w = FindWindowExA(nullptr, w, cls, nullptr))
    if (IsWindowVisible(w)) return w;
  return nullptr;
}

void Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

}  // namespace

int main(int argc, char** argv) {
  WORD held = 0;
  if (argc > 1 && !std::strcmp(argv[1], "--ctrl")) held = VK_CONTROL;
  if (argc > 1 && !std::strcmp(argv[1], "--shift")) held = VK_SHIFT;
  if (held) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: dropfiles [--ctrl|--shift] CLASS PATH...\n");
    return 2;
  }
  HWND target = FindVisible(argv[1]);
  if (!target) {
    std::fprintf(stderr, "no window of class %s\n", argv[1]);
    return 1;
  }
  std::string block(sizeof(DROPFILES), '\0');
  for (int i = 2; i < argc; ++i) block.append(argv[i]).push_back('\0');
  block.push_back('\0');
  DROPFILES head{};
  head.pFiles = sizeof(DROPFILES);
  head.fWide = FALSE;
  std::memcpy(block.data(), &head, sizeof head);

  DWORD pid = 0;
  GetWindowThreadProcessId(target, &pid);
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  if (!proc) return 1;
  // A fixed block: the receiver's GlobalLock answers its address.
  void* remote = VirtualAllocEx(proc, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
  if (held) {
    // The key reaches the window's thread as input, after posted messages:
    // the drop waits until the key has been taken.
    SetForegroundWindow(target);
    Key(held, false);
    Sleep(500);
  }
  bool ok = remote && WriteProcessMemory(proc, remote, block.data(), block.size(), nullptr) &&
            PostMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  CloseHandle(proc);
  if (held) {
    Sleep(1000);
    Key(held, true);
  }
  return ok ? 0 : 1;
}
