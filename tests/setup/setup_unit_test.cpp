// Version texts and code page 932 path ends, as the setup reads them; the
// shell dialog's hints.
#include <gtest/gtest.h>

#include "Forms.h"
#include "SBDlg.h"
#include "inst1.h"
#include "inst6.h"

TEST(SetupVersion, PackageVersionNeedsDigitsDotDigits) {
  struct {
    const char* text;
    bool ok;
    int version;
  } cases[] = {{"2.08", true, 208}, {"2.8", true, 208}, {"1.00", true, 100}, {"10.5", true, 1005},
               {"2", false, 0},     {"2.", false, 0},   {".5", false, 0},    {"2.08a", false, 0},
               {"v2.08", false, 0}, {"2.08 ", false, 0}, {"2.0.1", false, 0}, {"Z:\\pkg\\tovix.exe", false, 0}};
  for (auto& c : cases) {
    int major = -1, minor = -1;
    bool ok = ParseSetupVersion(c.text, major, minor);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (ok) {
      EXPECT_EQ(major * 100 + minor, c.version) << c.text;
    }
  }
}

TEST(SetupVersion, InstalledVersionJoinsTheDigits) {
  struct {
    const char* text;
    int version;
  } cases[] = {{"2.05", 205}, {"1.40", 140}, {"2.5", 25}, {"3", 3}, {"2.05 beta", 205},
               {"2x.5", 2},   {"abc", 0},    {"", 0},     {"C:\\Tovix\\tovix.exe", 0}};
  for (auto& c : cases) EXPECT_EQ(ParseInstalledVersion(c.text), c.version) << c.text;
}

TEST(SetupPaths, BrowsePreselectionStepsOverDoubleByteCharacters) {
  // "\x83\x5C" is one character whose second byte looks like a backslash.
  EXPECT_EQ(SBDlgPreselect("C:\\"), "C:\\");
  EXPECT_EQ(SBDlgPreselect("C:\\Tools\\"), "C:\\Tools");
  EXPECT_EQ(SBDlgPreselect("C:\\\x83\x5C"), "C:\\\x83\x5C");
}

TEST(SetupShellDialog, ExtensionBoxesShowTheirHintsOnHover) {
  auto* app = new TApplication;
  app->Initialize();
  auto* dlg = new TExeDlg(app);
  dlg->Show();
  HWND tip = dlg->HintWindow();
  ASSERT_TRUE(tip);
  for (TCheckBox* box : {dlg->ShellPack, dlg->ShellUnPack}) {
    ShowWindow(tip, SW_HIDE);
    RECT r;
    GetWindowRect(box->Handle(), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(box->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2));
    for (DWORD end = GetTickCount() + 3000; !IsWindowVisible(tip) && static_cast<int>(end - GetTickCount()) > 0;) {
      app->ProcessMessages();
      Sleep(10);
    }
    ASSERT_TRUE(IsWindowVisible(tip)) << box->Caption();
    char text[512] = {};
    GetWindowTextA(tip, text, sizeof text);
    EXPECT_EQ(text, box->Hint);
    // Off the box, so the next one starts a hover of its own.
    SetCursorPos(0, 0);
    PostMessageA(box->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(-500, -500));
    app->ProcessMessages();
  }
  delete app;
}
