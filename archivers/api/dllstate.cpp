#include "dllstate.h"

namespace arc {

DllState g_dll;

UINT arcextract_message() {
  static UINT msg = RegisterWindowMessageA("wm_arcextract");
  return msg;
}

bool owner_asks_stop(int mode, arcapi::ExtractingInfo& info) {
  HWND owner = g_dll.owner;
  UINT msg = arcextract_message();
  if (!owner || !msg) return false;
  return SendMessageA(owner, msg, static_cast<WPARAM>(mode), reinterpret_cast<LPARAM>(&info)) != 0;
}

bool OwnerHost::progress(int mode, uint64_t size, uint64_t written, const std::string& source,
                         const std::string& dest) {
  if (!g_dll.owner) return false;
  arcapi::ExtractingInfo info{};
  info.dwFileSize = static_cast<uint32_t>(size < 0xFFFFFFFFu ? size : 0xFFFFFFFFu);
  info.dwWriteSize = static_cast<uint32_t>(written < 0xFFFFFFFFu ? written : 0xFFFFFFFFu);
  copy_text(info.szSourceFileName, sizeof info.szSourceFileName, source);
  copy_text(info.szDestFileName, sizeof info.szDestFileName, dest);
  return owner_asks_stop(mode, info);
}

BOOL dll_get_running() { return g_dll.running.load() > 0 ? TRUE : FALSE; }
BOOL dll_set_background_mode(BOOL v) {
  g_dll.background = v;
  return TRUE;
}
BOOL dll_get_background_mode() { return g_dll.background; }
BOOL dll_set_cursor_mode(BOOL v) {
  g_dll.cursor = v;
  return TRUE;
}
BOOL dll_get_cursor_mode() { return g_dll.cursor; }
BOOL dll_set_owner_window(HWND owner) {
  g_dll.owner = owner;
  return TRUE;
}
BOOL dll_clear_owner_window() {
  g_dll.owner = nullptr;
  return TRUE;
}

}  // namespace arc
