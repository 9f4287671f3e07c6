// Result-log text, about-box rows and the folder picker without a window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "CBDlg.h"
#include "Disp.h"
#include "about.h"

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
  TCBDialog d(nullptr);
  d.Options = 0;
  EXPECT_EQ(d.BrowseFlags(), d.NewStyle() ? 0x40u : 0u);
  d.Options = CBDlgOption(biReturnOnlyFSDirs) | CBDlgOption(biEditBox);
  EXPECT_EQ(d.BrowseFlags() & 0x11u, 0x11u);
}

TEST(FolderPicker, HeadlessAnswersFolderAndBoxes) {
  _putenv_s("TOVIX_ANSWERS", "folder=Z:\\tmp\\out|cancel;n1=1;n2=1");
  TCBDialog d(nullptr);
  d.VisibleNum = 1;
  d.N1Checked = false;
  d.N2Checked = false;
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Directory, "Z:\\tmp\\out");
  EXPECT_TRUE(d.N1Checked);
  EXPECT_FALSE(d.N2Checked);  // box 2 was not shown
  // Cancel keeps the folder; with no box shown nothing can be toggled.
  d.VisibleNum = 0;
  d.N1Checked = false;
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Directory, "Z:\\tmp\\out");
  EXPECT_FALSE(d.N1Checked);
  _putenv_s("TOVIX_ANSWERS", "");
}

}  // namespace
