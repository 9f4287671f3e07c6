// unlha32.dll's entries that shell tests cannot reach: the owner window's
// "wm_arcextract" messages (and cancelling through them), and ExtractMem's
// limits and extra outputs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arcapi.h"

namespace {

struct Lib {
  HMODULE m = LoadLibraryA("unlha32.dll");
  template <class F>
  F get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  }
};

struct Seen {
  std::vector<int> modes;
  std::vector<std::string> names;
  LRESULT answer = 0;
};
Seen* g_seen = nullptr;
UINT g_msg = 0;

LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == g_msg && g_seen) {
    g_seen->modes.push_back(static_cast<int>(wp));
    // The record: two sizes, then the source name.
    g_seen->names.push_back(reinterpret_cast<const char*>(lp) + 8);
    return wp == 1 ? g_seen->answer : 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

class LhaOwner : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    dir_ = std::string(tmp) + "lha_owner_test";
    CreateDirectoryA(dir_.c_str(), nullptr);
    CreateDirectoryA((dir_ + "\\src").c_str(), nullptr);
    for (const char* n : {"one.txt", "two.txt"}) {
      HANDLE h = CreateFileA((dir_ + "\\src\\" + n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      std::string body(3000, n[0]);
      DWORD put = 0;
      WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &put, nullptr);
      CloseHandle(h);
    }
    arc_ = dir_ + "\\t.lzh";
    DeleteFileA(arc_.c_str());
    ASSERT_EQ(0, run("a \"" + arc_ + "\" \"" + dir_ + "\\src\\\" one.txt two.txt"));
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = "LhaOwnerTest";
    wc.hInstance = GetModuleHandleA(nullptr);
    RegisterClassA(&wc);
    wnd_ = CreateWindowA("LhaOwnerTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    g_msg = RegisterWindowMessageA("wm_arcextract");
  }
  void TearDown() override {
    lib_.get<arcapi::FnClearOwnerWindow>("UnlhaClearOwnerWindow")();
    DestroyWindow(wnd_);
    g_seen = nullptr;
  }
  int run(const std::string& cmd) {
    char log[4096];
    return lib_.get<arcapi::FnCommand>("Unlha")(nullptr, cmd.c_str(), log, sizeof log);
  }
  Lib lib_;
  std::string dir_, arc_;
  HWND wnd_ = nullptr;
};

TEST_F(LhaOwner, ReportsBeginEachFileAndEndWhileOwnerIsSet) {
  Seen seen;
  g_seen = &seen;
  ASSERT_TRUE(lib_.get<arcapi::FnSetOwnerWindow>("UnlhaSetOwnerWindow")(wnd_));
  ASSERT_EQ(0, run("x -c1 -y \"" + arc_ + "\" \"" + dir_ + "\\out\\\""));
  EXPECT_EQ((std::vector<int>{0, 1, 1, 2}), seen.modes);
  EXPECT_EQ("one.txt", seen.names[1]);
  EXPECT_EQ("two.txt", seen.names[2]);
  lib_.get<arcapi::FnClearOwnerWindow>("UnlhaClearOwnerWindow")();
  seen.modes.clear();
  ASSERT_EQ(0, run("x -c1 -y \"" + arc_ + "\" \"" + dir_ + "\\out\\\""));
  EXPECT_TRUE(seen.modes.empty());
}

TEST_F(LhaOwner, NonzeroAnswerCancels) {
  Seen seen;
  seen.answer = 1;
  g_seen = &seen;
  lib_.get<arcapi::FnSetOwnerWindow>("UnlhaSetOwnerWindow")(wnd_);
  EXPECT_EQ(0x8020, run("x -c1 -y \"" + arc_ + "\" \"" + dir_ + "\\cancel\\\""));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir_ + "\\cancel\\one.txt").c_str()));
  EXPECT_FALSE(lib_.get<arcapi::FnGetRunning>("UnlhaGetRunning")());
}

TEST_F(LhaOwner, ExtractMemStopsAtTheBufferAndFillsTimeAndAttributes) {
  auto mem = lib_.get<arcapi::FnExtractMem>("UnlhaExtractMem");
  std::vector<uint8_t> buf(100, 0xEE);
  int32_t t = 0;
  uint16_t attr = 0;
  uint32_t written = 0;
  std::string cmd = "-n \"" + arc_ + "\" \"two.txt\"";
  ASSERT_EQ(0, mem(nullptr, cmd.c_str(), buf.data(), 40, &t, &attr, &written));
  EXPECT_EQ(40u, written);
  EXPECT_EQ('t', buf[39]);
  EXPECT_EQ(0xEE, buf[40]);
  EXPECT_GT(t, 1000000000);
  EXPECT_EQ(0x20, attr & 0x20);
  EXPECT_NE(0, mem(nullptr, ("\"" + arc_ + "\" \"none.txt\"").c_str(), buf.data(), 40, &t, &attr, &written));
}

}  // namespace
