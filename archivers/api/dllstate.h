// State every stand-in keeps for the common interface: the busy counter, the
// background and cursor flags, the owner window and its "wm_arcextract"
// progress messages. Each DLL links its own copy, so each has its own state.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "arcapi.h"
#include "text.h"

namespace arc {

struct DllState {
  std::atomic<int> running{0};
  BOOL background = FALSE;
  BOOL cursor = FALSE;
  HWND owner = nullptr;  // gets "wm_arcextract" while set
};
extern DllState g_dll;

UINT arcextract_message();

// Sends one progress record to the owner window. True when the owner answered
// non-zero, i.e. asked to stop; false without an owner.
bool owner_asks_stop(int mode, arcapi::ExtractingInfo& info);

BOOL dll_get_running();
BOOL dll_set_background_mode(BOOL v);
BOOL dll_get_background_mode();
BOOL dll_set_cursor_mode(BOOL v);
BOOL dll_get_cursor_mode();
BOOL dll_set_owner_window(HWND owner);
BOOL dll_clear_owner_window();

}  // namespace arc
