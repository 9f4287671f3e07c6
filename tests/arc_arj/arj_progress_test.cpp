// The owner-window side of unarj32j.dll: "wm_arcextract" while an owner is
// set, cancelling from it, and the busy answer during a command.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arcapi.h"
#include "../tools/scratch_dir.h"

using namespace arcapi;

namespace {

struct Lib {
  HMODULE m = LoadLibraryA("unarj32j.dll");
  template <typename T>
  T get(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  }
};

UINT g_msg;
std::vector<WPARAM> g_seen;
WPARAM g_cancelOn = ~WPARAM{0};
FnGetRunning g_running;
bool g_busyInside = false;

LRESULT CALLBACK wndproc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == g_msg) {
    g_seen.push_back(wp);
    g_busyInside = g_busyInside || g_running();
    return wp == g_cancelOn ? 1 : 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

std::string fixture() {
  std::string p = "Z:" FIXTURE_DIR "/small.arj";
  for (auto& c : p)
    if (c == '/') c = '\\';
  return p;
}

bool exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ArjProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.m, nullptr);
    g_msg = RegisterWindowMessageA("wm_arcextract");
    g_running = lib.get<FnGetRunning>("UnarjGetRunning");
    WNDCLASSA wc{};
    wc.lpfnWndProc = wndproc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ArjProgressProbe";
    RegisterClassA(&wc);
    wnd = CreateWindowExA(0, "ArjProgressProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(wnd, nullptr);
    g_seen.clear();
    g_cancelOn = ~WPARAM{0};
    g_busyInside = false;
  }
  void TearDown() override { DestroyWindow(wnd); }
  int extract(const std::string& dir) {
    std::string cmd = "x -y -hk \"" + fixture() + "\" \"" + dir + "\\\"";
    return lib.get<FnCommand>("Unarj")(nullptr, cmd.c_str(), log, sizeof log);
  }
  // A new, empty folder inside this test's own.
  std::string fresh_dir(const char* tag) {
    std::string d = work.Path + tag;
    CreateDirectoryA(d.c_str(), nullptr);
    return d;
  }
  Scratch work{"arjprog"};
  Lib lib;
  HWND wnd = nullptr;
  char log[4096] = {};
};

TEST_F(ArjProgress, ReportsEachEntryWhileOwnerIsSet) {
  ASSERT_TRUE(lib.get<FnSetOwnerWindow>("UnarjSetOwnerWindow")(wnd));
  std::string d = fresh_dir("a");
  EXPECT_EQ(extract(d), 0) << log;
  int begins = 0, ends = 0;
  for (auto w : g_seen) {
    begins += w == 0;
    ends += w == 2;
  }
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(ends, 2);
  EXPECT_TRUE(g_busyInside);
  EXPECT_FALSE(g_running());
  lib.get<FnClearOwnerWindow>("UnarjClearOwnerWindow")();
  g_seen.clear();
  EXPECT_EQ(extract(fresh_dir("b")), 0) << log;
  EXPECT_TRUE(g_seen.empty());
}

TEST_F(ArjProgress, OwnerAnswerCancelsWithoutWriting) {
  ASSERT_TRUE(lib.get<FnSetOwnerWindow>("UnarjSetOwnerWindow")(wnd));
  g_cancelOn = 0;
  std::string d = fresh_dir("c");
  EXPECT_EQ(extract(d), 0x8020) << log;
  lib.get<FnClearOwnerWindow>("UnarjClearOwnerWindow")();
  EXPECT_FALSE(exists(d + "\\one.txt"));
  EXPECT_FALSE(exists(d + "\\sub\\two.txt"));
}

}  // namespace
