// Asking uiprobe_hook.dll (the library beside the calling program) inside the
// process under test: the library's hook function runs on the thread of a
// window there, takes a registered message and answers with WM_COPYDATA
// (tagged kHookReply) to a reply window of the caller. Shared by uiprobe and
// listtime.
#pragma once
#include <windows.h>

#include <string>

namespace hook_client {

constexpr ULONG_PTR kHookReply = 0x5458504D;

inline std::string g_answer;
inline bool g_answered = false;

inline LRESULT CALLBACK ReplyProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
    if (cds->dwData == kHookReply) {
      g_answer.assign(static_cast<const char*>(cds->lpData), cds->cbData);
      g_answered = true;
    }
    return 1;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

// Hooks the thread of w with the library's function proc, posts the
// registered message name to w (the reply window first, lp second) and waits
// up to ms for the answer, which goes to out. False without an answer; *why
// then names what was missing (empty when the process did not answer).
inline bool Ask(HWND w, const char* proc, const char* name, LPARAM lp, DWORD ms, std::string& out,
                std::string* why) {
  static HWND reply = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "UiProbeHookReply";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "UiProbeHookReply", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }();
  why->clear();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll = path;
  dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "uiprobe_hook.dll";
  static HMODULE lib = LoadLibraryA(dll.c_str());
  auto fn = lib ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(lib, proc))) : nullptr;
  if (!fn) {
    *why = "no " + dll;
    return false;
  }
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, fn, lib, GetWindowThreadProcessId(w, nullptr));
  if (!hook) {
    *why = "no hook: " + std::to_string(GetLastError());
    return false;
  }
  g_answered = false;
  PostMessageA(w, RegisterWindowMessageA(name), reinterpret_cast<WPARAM>(reply), lp);
  for (DWORD end = GetTickCount() + ms; !g_answered && static_cast<int>(end - GetTickCount()) > 0;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (!g_answered) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  UnhookWindowsHookEx(hook);
  out = g_answer;
  return g_answered;
}

}  // namespace hook_client
