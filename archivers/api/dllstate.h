// State every stand-in keeps for the common interface: the busy counter, the
// background and cursor flags, the owner window and its "wm_arcextract"
// progress messages. Each DLL links its own copy, so each has its own state.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "arcapi.h"
#include "ophost.h"
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

// The operations' progress sent to the owner window (sizes held to the
// record's 32 bits); the questions are each library's own.
class OwnerHost : public OpHost {
 public:
  explicit OwnerHost(HWND owner) : owner_(owner) {}
  bool watching() const override { return g_dll.owner != nullptr; }
  bool progress(int mode, uint64_t size, uint64_t written, const std::string& source,
                const std::string& dest) override;

 protected:
  HWND owner_;
};

BOOL dll_get_running();
BOOL dll_set_background_mode(BOOL v);
BOOL dll_get_background_mode();
BOOL dll_set_cursor_mode(BOOL v);
BOOL dll_get_cursor_mode();
BOOL dll_set_owner_window(HWND owner);
BOOL dll_clear_owner_window();

}  // namespace arc
