// The properties dialog's time editor in-process (and the setting-file
// editor's product name): the range rules as a
// table, then real arrow clicks (UDN_DELTAPOS through the dialog) and typed
// values leaving their edits.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "doru.h"
#include "prop.h"

namespace {

TEST(PropTimeRules, DayMaxFollowsMonthAndYear) {
  struct {
    int month, year, current, max;
  } cases[] = {{1, 2023, 5, 32},  {4, 2023, 5, 31},  {2, 2024, 5, 30}, {2, 2023, 5, 29},
               {2, 1900, 5, 30},  {12, 2023, 5, 32}, {0, 2023, 31, 31}, {13, 2023, 30, 30}};
  for (auto& c : cases) EXPECT_EQ(DayMaxOf(c.month, c.year, c.current), c.max) << c.month << "/" << c.year;
}

TEST(PropTimeRules, TypedValuesComeIntoRange) {
  struct {
    int value, min, max, step, position;
  } cases[] = {
      {13, 0, 13, 1, 12},  {0, 0, 13, 1, 12},      {7, 0, 13, 1, 7},       // month
      {7, -2, 60, 2, 6},   {59, -2, 60, 2, 58},    {60, -2, 60, 2, 58},    // seconds, FAT
      {0, -2, 60, 2, 0},   {-1, -2, 60, 2, 58},    {7, -1, 60, 1, 7},      // 0 stays; NTFS step 1
      {31, 0, 31, 1, 30},  {30, 0, 30, 1, 29},     {0, 0, 32, 1, 31},      // April, leap February, day 0
      {2100, 1899, 2100, 1, 2099}, {1899, 1899, 2100, 1, 2099}, {1987, 1899, 2100, 1, 1987},
      {24, -1, 24, 1, 23}, {-1, -1, 24, 1, 23},
  };
  for (auto& c : cases)
    EXPECT_EQ(TypedPosition(c.value, c.min, c.max, c.step), c.position) << c.value << " in " << c.min << ".." << c.max;
}

TEST(PropTexts, DateAndTypeTexts) {
  SYSTEMTIME t{2004, 3, 5, 5, 14, 7, 8, 0};
  EXPECT_EQ(PropDateText(t), "2004年03月05日金曜日 14:07:08");
  EXPECT_EQ(ArchiveTypeText(amLha, true), "LHa自己解凍ファイル");
  EXPECT_EQ(ArchiveTypeText(amZip, false), "Zip書庫ファイル");
  EXPECT_EQ(ArchiveTypeText(amCab, false), "Cab書庫ファイル");
}

TEST(DoruProduct, NameWithoutItsLastFourCharacters) {
  EXPECT_EQ(DoruProductName("setup.lzh"), "setup");
  EXPECT_EQ(DoruProductName("a.lzh"), "a");
  EXPECT_EQ(DoruProductName(".lzh"), "");
  EXPECT_EQ(DoruProductName("abc"), "");
  EXPECT_EQ(DoruProductName(""), "");
}

struct PropDialog : ::testing::Test {
  TPropDlg dlg{nullptr};
  void SetUp() override { dlg.FormShow(); }
  // One arrow click on Date<n>, as the control reports it to the dialog.
  void Click(int n, bool up) {
    NMUPDOWN nm{};
    nm.hdr.hwndFrom = dlg.Dates[n - 1]->Handle();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(nm.hdr.hwndFrom));
    nm.hdr.code = UDN_DELTAPOS;
    nm.iPos = dlg.Dates[n - 1]->Position();
    nm.iDelta = up ? 1 : -1;
    SendMessageA(dlg.Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  }
  std::string Text(int n) { return dlg.Edits[n - 1]->Text(); }
  void Type(int n, const std::string& s) {
    dlg.Edits[n - 1]->SetText(s);
    dlg.Edit1Exit(dlg.Edits[n - 1]);
  }
  // Like Type for a text the dialog refuses: its message box comes up and
  // is answered from another thread as a user would; its text returned.
  std::string TypeRefused(int n, const std::string& s) {
    std::string text;
    std::thread answer([&text] {
      for (int i = 0; i < 200; ++i) {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) continue;
          char buf[256] = {};
          GetDlgItemTextA(w, 0xFFFF, buf, sizeof buf);  // the message box's text
          text = buf;
          PostMessageA(w, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(50);
      }
    });
    Type(n, s);
    answer.join();
    return text;
  }
};

TEST_F(PropDialog, ArrowsWrapAtBothEnds) {
  dlg.SetEditedTime(SYSTEMTIME{2099, 12, 0, 1, 0, 0, 58, 0});
  Click(2, true);
  EXPECT_EQ(Text(2), "1");
  Click(1, true);
  EXPECT_EQ(Text(1), "1900");
  Click(1, false);
  EXPECT_EQ(Text(1), "2099");
  Click(6, true);
  EXPECT_EQ(Text(6), "0");
  Click(4, false);
  EXPECT_EQ(Text(4), "23");
  Click(4, true);
  EXPECT_EQ(Text(4), "0");
  Click(5, true);
  EXPECT_EQ(Text(5), "1");
}

TEST_F(PropDialog, MonthStepCutsTheDayToTheMonth) {
  dlg.SetEditedTime(SYSTEMTIME{2024, 1, 0, 31, 0, 0, 0, 0});
  Click(2, false);  // January down to December: the 31st stays
  EXPECT_EQ(Text(2), "12");
  EXPECT_EQ(Text(3), "31");
  Click(2, true);  // up to January and on to February
  Click(2, true);
  EXPECT_EQ(Text(2), "2");
  EXPECT_EQ(Text(3), "29");
  Type(3, "30");  // the day's max holds now
  EXPECT_EQ(Text(3), "29");
  // Not a leap year: changing the year alone keeps the max, the next month
  // step applies it.
  dlg.SetEditedTime(SYSTEMTIME{2023, 1, 0, 29, 0, 0, 0, 0});
  Click(2, true);
  EXPECT_EQ(Text(3), "28");
  Click(2, true);  // March
  Type(3, "31");
  EXPECT_EQ(Text(3), "31");
  Click(2, true);  // April
  EXPECT_EQ(Text(3), "30");
}

TEST_F(PropDialog, TypedTextIsRewrittenFromThePosition) {
  Type(2, "13");
  EXPECT_EQ(Text(2), "12");
  Type(2, "0");
  EXPECT_EQ(Text(2), "12");
  Type(6, "7");  // two-second steps off NTFS
  EXPECT_EQ(Text(6), "6");
  // Not a number: refused with a message, and the old value comes back.
  EXPECT_EQ(TypeRefused(4, "x"), "'x' は整数値ではありません");
  EXPECT_EQ(Text(4), "0");
  Type(1, "1987");
  EXPECT_EQ(dlg.EditedTime().wYear, 1987);
}

TEST_F(PropDialog, BoxesEnableTheirControls) {
  EXPECT_FALSE(dlg.MdateB->Checked());
  EXPECT_TRUE(dlg.OdateB->Checked() && dlg.AttrB->Checked());
  EXPECT_TRUE(dlg.Edits[0]->Enabled() && dlg.RonlyBox->Enabled());
  dlg.OdateB->SetChecked(false);
  dlg.MdateBClick();
  for (int n = 0; n < 6; ++n) EXPECT_FALSE(dlg.Edits[n]->Enabled() || dlg.Dates[n]->Enabled());
  dlg.MdateB->SetChecked(true);
  dlg.MdateBClick();
  EXPECT_TRUE(dlg.Edits[5]->Enabled() && dlg.Dates[5]->Enabled());
  dlg.AttrB->SetChecked(false);
  dlg.AttrBClick();
  EXPECT_FALSE(dlg.RonlyBox->Enabled() || dlg.HideBox->Enabled() || dlg.ArchiveBox->Enabled());
  EXPECT_FALSE(dlg.ArcBox->Enabled());
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
