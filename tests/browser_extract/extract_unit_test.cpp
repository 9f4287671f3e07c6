// Result-log text, about-box rows and the folder picker: its rules alone,
// then the shell's real browser driven from a second thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "CBDlg.h"
#include "Disp.h"
#include "about.h"
#include "fDlg.h"

namespace {

TEST(ResultLog, LineEndsBecomeCrLfOnce) {
  EXPECT_EQ(TDispDlg::ConvertLog("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(TDispDlg::ConvertLog("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(TDispDlg::ConvertLog("\nx"), "\r\nx");
  EXPECT_EQ(TDispDlg::ConvertLog("a\r\rb\n\n"), "a\r\rb\r\n\r\n");
  EXPECT_EQ(TDispDlg::ConvertLog(""), "");
  EXPECT_EQ(TDispDlg::ConvertLog(nullptr), "");
}

TEST(ResultLog, ShowsTheFirst32768BytesAfterConversion) {
  std::string in(20000, 'x');
  for (size_t i = 99; i < in.size(); i += 100) in[i] = '\n';  // 200 LFs grow the text by 200
  std::string out = TDispDlg::ConvertLog(in.c_str());
  EXPECT_EQ(out.size(), 20200u);
  std::string big(70000, 'y');
  big[10] = '\n';
  out = TDispDlg::ConvertLog(big.c_str());
  EXPECT_EQ(out.size(), 32768u);
  EXPECT_EQ(out.substr(9, 3), "y\r\n");
}

TEST(ResultLog, KeepsCaptionAndText) {
  TDispDlg dlg(nullptr);
  dlg.SetCaption("tovixの解凍結果");
  dlg.SetResultText("Melted a.txt\n");
  EXPECT_EQ(dlg.GetCaption(), "tovixの解凍結果");
  EXPECT_EQ(dlg.GetResultText(), "Melted a.txt\r\n");
}

// The memo paints in the file list's colours: its background and its font
// colour (Font\Color), which a read-only edit asks for as a static.
TEST(ResultLog, MemoTakesTheListsTextAndBackgroundColour) {
  TDispDlg dlg(nullptr);
  ASSERT_TRUE(dlg.Handle());
  HWND memo = GetDlgItem(dlg.Handle(), 100);
  ASSERT_TRUE(memo);
  HDC dc = CreateCompatibleDC(nullptr);
  for (COLORREF back : {static_cast<COLORREF>(CLR_INVALID), static_cast<COLORREF>(RGB(1, 2, 3))}) {
    if (back != CLR_INVALID) dlg.SetMemoColor(back);
    dlg.SetMemoTextColor(RGB(200, 0, 0));
    SetTextColor(dc, RGB(0, 0, 0));
    for (UINT msg : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
      LRESULT brush = SendMessageA(dlg.Handle(), msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(memo));
      EXPECT_NE(brush, 0);
      EXPECT_EQ(GetTextColor(dc), RGB(200, 0, 0)) << msg;
      if (back != CLR_INVALID) {
        EXPECT_EQ(GetBkColor(dc), back) << msg;
      }
    }
  }
  DeleteDC(dc);
}

TEST(ResultLog, StaysInsideTheWorkArea) {
  const RECT area{0, 0, 1024, 738};
  struct {
    int left, top;
    LONG wantLeft, wantTop;
  } cases[] = {
      {100, 100, 100, 100},    // inside: unchanged
      {-150, -40, 0, 0},       // main window off the top left
      {900, 700, 624, 478},    // off the bottom right
      {-150, 700, 0, 478},
  };
  for (const auto& c : cases) {
    POINT p = KeepInWorkArea(c.left, c.top, 400, 260, area);
    EXPECT_EQ(p.x, c.wantLeft) << c.left << "," << c.top;
    EXPECT_EQ(p.y, c.wantTop) << c.left << "," << c.top;
  }
}

TEST(AboutBox, LibraryRows) {
  EXPECT_EQ(AboutSubVersion(155, 203), "ver. 1.55.2.3");
  EXPECT_EQ(AboutSubVersion(0, 203), "Not Installed.");
  EXPECT_EQ(AboutPatchVersion(203, 1), "ver. 2.3.1");
  EXPECT_EQ(AboutPatchVersion(540, 0), "ver. 5.40.0");
  EXPECT_EQ(AboutPlainVersion(93), "ver. 0.93");
  EXPECT_EQ(AboutPlainVersion(0), "Not Installed.");
}

TEST(AboutBox, WindowsNames) {
  struct {
    DWORD platform, major, minor, build;
    const char* line;
  } cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, "Windows 98SE 4.10 (Build 2222)"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A07CE, "Windows 98 4.10 (Build 1998)"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8, "Windows Me 4.90 (Build 3000)"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, "Windows 95 4.00 (Build 950)"},
      {VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Windows 2000 5.00 (Build 2195)"},
      {VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Windows XP 5.01 (Build 2600)"},
      {VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Windows NT 6.01 (Build 7601)"},
      {VER_PLATFORM_WIN32s, 3, 10, 5, "Windows 3.10"},
  };
  for (const auto& c : cases) EXPECT_EQ(AboutWinVer(c.platform, c.major, c.minor, c.build), c.line);
  EXPECT_EQ(AboutWinSer("Service Pack 2"), "[Service Pack 2]");
  EXPECT_EQ(AboutWinSer(" "), "");
  EXPECT_EQ(AboutWinSer(""), "");
}

TEST(FolderPicker, BoxLayout) {
  // New style: one row, halves of the reference width.
  RECT a = TCBDialog::Box1Rect(true, 400, 100, -12, 2);
  EXPECT_EQ(a.left, 20);
  EXPECT_EQ(a.top, 98);
  EXPECT_EQ(a.bottom, 112);
  EXPECT_EQ(a.right, 180);
  RECT b = TCBDialog::Box2Rect(true, 400, 100, -12, -12);
  EXPECT_EQ(b.left, 220);
  EXPECT_EQ(b.right, 380);
  EXPECT_EQ(b.top, a.top);
  // Old style: box 2 below box 1 at the lower left.
  RECT c = TCBDialog::Box1Rect(false, 300, 200, -12, 2);
  EXPECT_EQ(c.left, 15);
  EXPECT_EQ(c.right, 135);
  EXPECT_EQ(c.top, 200 - 39);
  EXPECT_EQ(c.bottom, 200 - 27);
  RECT d = TCBDialog::Box2Rect(false, 300, 200, -12, -12);
  EXPECT_EQ(d.top, 200 - 21);
  EXPECT_EQ(d.bottom, 200 - 9);
  RECT e = TCBDialog::Box1Rect(false, 300, 200, -12, 1);
  EXPECT_EQ(e.top, 170);
  EXPECT_EQ(e.bottom, 182);
}

TEST(FolderPicker, SelectionTextAndFlags) {
  EXPECT_EQ(TCBDialog::SelectionText("C:\\"), "C:\\");
  EXPECT_EQ(TCBDialog::SelectionText("C:\\Work\\"), "C:\\Work");
  EXPECT_EQ(TCBDialog::SelectionText("C:\\Work"), "C:\\Work");
  EXPECT_EQ(TCBDialog::SelectionText("C:\\資料表"), "C:\\資料表");  // 表 ends in the byte 0x5C
  EXPECT_EQ(TCBDialog::SelectionText("C:\\資料表\\"), "C:\\資料表");
  TCBDialog d(nullptr);
  d.Options = 0;
  EXPECT_EQ(d.BrowseFlags(), d.NewStyle() ? 0x40u : 0u);
  d.Options = CBDlgOption(biReturnOnlyFSDirs) | CBDlgOption(biEditBox);
  EXPECT_EQ(d.BrowseFlags() & 0x11u, 0x11u);
}

// Drives the shell's real browser from a second thread: clicks the boxes by
// caption, then presses OK or Cancel.
struct BrowserDriver {
  std::vector<std::string> clicks;
  int button = IDOK;
  bool sawBox2 = false;
  RECT box1{}, box2{}, tree{};
  static BOOL CALLBACK Find(HWND h, LPARAM p) {
    auto* f = reinterpret_cast<std::pair<const char*, HWND>*>(p);
    char text[128] = {};
    GetWindowTextA(h, text, sizeof text);
    if (lstrcmpA(text, f->first) == 0) {
      f->second = h;
      return FALSE;
    }
    return TRUE;
  }
  static HWND Child(HWND top, const char* text) {
    std::pair<const char*, HWND> f{text, nullptr};
    EnumChildWindows(top, Find, reinterpret_cast<LPARAM>(&f));
    return f.second;
  }
  void Run() {
    HWND dlg = nullptr;
    for (int i = 0; i < 1200 && !dlg; ++i) {  // a busy machine starts the shell slowly
      // Only this process's browser, whatever else runs beside the test.
      for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) dlg = w;
      }
      if (!dlg) Sleep(50);
    }
    if (!dlg) return;
    // The boxes come when the browser reports that it is ready.
    for (int i = 0; i < 100 && !Child(dlg, "フォルダ作成"); ++i) Sleep(50);
    Sleep(300);
    if (HWND t = FindWindowExA(dlg, nullptr, "SysTreeView32", nullptr)) GetWindowRect(t, &tree);
    if (HWND b = Child(dlg, "フォルダ作成")) GetWindowRect(b, &box1);
    if (HWND b = Child(dlg, "マルチボリューム")) {
      sawBox2 = IsWindowVisible(b);
      GetWindowRect(b, &box2);
    }
    for (const std::string& c : clicks)
      if (HWND b = Child(dlg, c.c_str())) SendMessageA(b, BM_CLICK, 0, 0);
    PostMessageA(dlg, WM_COMMAND, button, 0);
  }
};

}  // namespace

TEST(FolderPicker, RealBrowserTogglesTheBoxesAndReturnsTheFolder) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string start = std::string(tmp) + "tovix_picker";
  CreateDirectoryA(start.c_str(), nullptr);
  TCBDialog d(nullptr);
  d.Caption = "すべての解凍先を指定して下さい。";
  d.N1ChkCaption = "フォルダ作成";
  d.N2ChkCaption = "マルチボリューム";
  d.VisibleNum = 2;
  d.N1Checked = false;
  d.N2Checked = true;
  d.Directory = start + "\\";
  // Box 1 clicked once, box 2 twice: only box 1 changes; OK returns the
  // preselected folder.
  BrowserDriver drv;
  drv.clicks = {"フォルダ作成", "マルチボリューム", "マルチボリューム"};
  std::thread t([&] { drv.Run(); });
  bool ok = d.Execute();
  t.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(lstrcmpiA(d.Directory.c_str(), start.c_str()), 0) << d.Directory;
  EXPECT_TRUE(d.N1Checked);
  EXPECT_TRUE(d.N2Checked);
  EXPECT_TRUE(drv.sawBox2);
  if (d.NewStyle()) {  // one row: box 1 on the left, box 2 on the right
    EXPECT_EQ(drv.box1.top, drv.box2.top);
    EXPECT_LT(drv.box1.right, drv.box2.left);
    // The halved control stays clear of the boxes after the shell's layout.
    if (drv.tree.bottom) EXPECT_LE(drv.tree.bottom, drv.box1.top);
  }
  // Cancel leaves the folder as it was but keeps the clicks; with one box
  // shown the second is not there to click.
  d.Directory = "C:\\";
  d.VisibleNum = 1;
  BrowserDriver cancel;
  cancel.clicks = {"フォルダ作成", "マルチボリューム"};
  cancel.button = IDCANCEL;
  std::thread t2([&] { cancel.Run(); });
  ok = d.Execute();
  t2.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(d.Directory, "C:\\");
  EXPECT_FALSE(d.N1Checked);
  EXPECT_TRUE(d.N2Checked);
  EXPECT_FALSE(cancel.sawBox2);
  RemoveDirectoryA(start.c_str());
}

// Both pickers, the window's and the unpack command's, on a folder whose
// name ends in a character whose second byte is 0x5C: the shell's browser
// opens on it and OK returns it, with or without a trailing backslash.
TEST(FolderPicker, RealBrowsersKeepAFolderEndingInTrailByte5C) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string folder = std::string(tmp) + "資料表";
  ASSERT_EQ(folder.substr(folder.size() - 2), "\x95\x5C");
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& proposed : {folder, folder + "\\"}) {
    TCBDialog d(nullptr);
    d.Caption = "すべての解凍先を指定して下さい。";
    d.VisibleNum = 0;
    d.Directory = proposed;
    BrowserDriver drv;
    std::thread t([&] { drv.Run(); });
    EXPECT_TRUE(d.Execute());
    t.join();
    EXPECT_EQ(lstrcmpiA(d.Directory.c_str(), folder.c_str()), 0) << d.Directory;

    TSFDialog u;
    u.FTitle = "解凍先の選択";
    u.FFolder = proposed;
    BrowserDriver drv2;
    std::thread t2([&] { drv2.Run(); });
    EXPECT_TRUE(u.Execute(nullptr));
    t2.join();
    EXPECT_EQ(lstrcmpiA(u.FFolder.c_str(), folder.c_str()), 0) << u.FFolder;
  }
  RemoveDirectoryA(folder.c_str());
}
