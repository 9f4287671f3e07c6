// What each archive type of the save dialog means to the engine, the names
// packing makes, the archive time, and the question with an "all" button.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "MessageDlg.h"
#include "pack.h"

namespace {

TPackSettings Defaults() { return TPackSettings{}; }

TEST(PackPlan, LevelAndOptionsPerType) {
  TPackSettings p = Defaults();  // lh5, Zip 6, IZip 6, CabStyle 0, folders kept, All on
  p.PackStyle = 2;
  p.IZip = 3;
  p.Zip = 8;
  const uint16_t common = TArchiverOptions{ar_All}.Value;
  struct Case {
    int code;
    int32_t level;
    TArchiverOptions extra;
  } cases[] = {
      {1, 7, {}},        {2, 3, {}},       {3, -1, {}},      {4, -1, {ar_Multi}}, {5, 0, {}},
      {6, 8, {}},        {8, 8, {ar_BZ2}}, {10, 8, {}},      {11, 8, {ar_BZ2}},
  };
  for (const Case& c : cases) {
    TPackPlan plan = MakePackPlan(c.code, p, false, 42, true);
    EXPECT_EQ(plan.Level, c.level) << "code " << c.code;
    EXPECT_EQ(plan.Options.Value, common | c.extra.Value) << "code " << c.code;
  }
  // Types that set no level keep the one given.
  EXPECT_EQ(MakePackPlan(7, p, false, 42, false).Level, 42);
}

TEST(PackPlan, SettingsBecomeOptions) {
  TPackSettings p = Defaults();
  p.NoTimeCheck = true;
  p.PackFolder = false;
  p.All = false;
  p.SetDate = true;
  EXPECT_EQ(MakePackPlan(5, p, false, 0, false).Options, (TArchiverOptions{ar_OverWrite, ar_NoFolder, ar_Date}));
  p.CabStyle = 1;
  p.CabLevel = 21;
  EXPECT_EQ(MakePackPlan(3, p, false, 0, false).Level, 21);
  // Ctrl asks for a password with ZIP only.
  EXPECT_TRUE(MakePackPlan(2, p, true, 0, false).Options.Contains(ar_Passwd));
  EXPECT_FALSE(MakePackPlan(1, p, true, 0, true).Options.Contains(ar_Passwd));
}

TEST(PackPlan, UncompressedLhaGoesThroughTheLevel) {
  TPackSettings p = Defaults();
  p.lh0 = true;
  TPackPlan lha = MakePackPlan(1, p, false, 0, true);
  EXPECT_EQ(lha.Level, 0);
  EXPECT_TRUE(lha.Options.Contains(ar_noPack));
  // Added to a BGA archive the LHA style keeps its level.
  EXPECT_EQ(MakePackPlan(1, p, false, 0, false).Level, 5);
}

TEST(PackNames, ExtensionOfTheTypeReplacesTheChosenOne) {
  struct Case {
    const char* chosen;
    int code;
    bool tgz;
    const char* want;
  } cases[] = {
      {"C:\\a\\data", 1, false, "C:\\a\\data.lzh"},
      {"C:\\a\\data.txt", 2, false, "C:\\a\\data.zip"},
      {"C:\\a.b\\data", 5, false, "C:\\a.b\\data.tar"},
      {"C:\\a\\data", 6, true, "C:\\a\\data.tgz"},
      {"C:\\a\\data", 6, false, "C:\\a\\data.tar.gz"},
      {"C:\\a\\data.tar.gz", 6, false, "C:\\a\\data.tar.gz"},
      {"C:\\a\\data.TAR.GZ", 6, true, "C:\\a\\data.tgz"},
      {"C:\\a\\data.tar", 8, false, "C:\\a\\data.tar.bz2"},
      {"C:\\a\\data.tar", 5, false, "C:\\a\\data.tar"},
      {"C:\\a\\x.tar", 1, false, "C:\\a\\x.lzh"},
      {"C:\\a\\set.cab", 4, false, "C:\\a\\set.cab"},
      {"C:\\a\\b.gza", 11, false, "C:\\a\\b.bza"},
      // The second byte of a double-byte character is no separator or dot.
      {"C:\\\x83\x5C\\data", 1, false, "C:\\\x83\x5C\\data.lzh"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PackTargetName(c.chosen, PackExtension(c.code, c.tgz)), c.want) << c.chosen << " code " << c.code;
}

TEST(PackNames, CommandsVolumesAndFilterIndex) {
  EXPECT_EQ(SingleStreamCommand(0, 6, "C:\\o\\a.txt.gz", "C:\\i\\a.txt"), "cGvfz6 \"C:\\o\\a.txt.gz\" \"C:\\i\\a.txt\"");
  EXPECT_EQ(SingleStreamCommand(2, 9, "b.bz2", "b"), "cvfGB9 \"b.bz2\" \"b\"");
  EXPECT_EQ(CabVolumeName("C:\\o\\set01.cab", 2), "C:\\o\\set02.cab");
  EXPECT_EQ(CabVolumeName("C:\\o\\set01.cab", 99), "C:\\o\\set99.cab");
  const int32_t types[12] = {0, 1, 2, 5, 6, 7, 8, 9, 0, 0, 0, 0};  // no CAB or BGA library
  EXPECT_EQ(FilterIndexOfType(types, 6), 4);
  EXPECT_EQ(FilterIndexOfType(types, 3), 1);
}

TEST(PackTime, DateTimeAsDos) {
  uint16_t d = 0, t = 0;
  // 2004-03-05 14:07:58 is day 38051 plus the fraction.
  ASSERT_TRUE(DateTimeToDosDateTime(38051.0 + (14 * 3600 + 7 * 60 + 58) / 86400.0, d, t));
  EXPECT_EQ(d, 0x3065);
  EXPECT_EQ(t, 0x70FD);
  ASSERT_TRUE(DateTimeToDosDateTime(29221.0, d, t));  // 1980-01-01 00:00
  EXPECT_EQ(d, (0 << 9) | (1 << 5) | 1);
  EXPECT_EQ(t, 0);
  EXPECT_FALSE(DateTimeToDosDateTime(0, d, t));  // an archive without entries
  EXPECT_FALSE(DateTimeToDosDateTime(29220.9, d, t));
}

// The question packing asks about an existing file, answered by a second
// thread through the dialog's own buttons as a person would press them.
HWND WaitForQuestion() {
  for (int i = 0; i < 500; ++i) {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL CALLBACK {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          char cls[16] = {}, text[32] = {};
          GetClassNameA(w, cls, sizeof cls);
          GetWindowTextA(w, text, sizeof text);
          if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || lstrcmpA(cls, "#32770") || lstrcmpA(text, "警告"))
            return TRUE;
          *reinterpret_cast<HWND*>(lp) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (found) return found;
    Sleep(10);
  }
  return nullptr;
}

std::string ButtonsOf(HWND dlg) {
  std::string all;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = {}, text[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    GetWindowTextA(c, text, sizeof text);
    if (!lstrcmpiA(cls, "Button")) all += std::string(all.empty() ? "" : " ") + text;
  }
  return all;
}

TEST(ExistsQuestion, EachButtonAnswersAndAllOnlyWhenOffered) {
  const unsigned kAll = mbYes | mbNo | mbCancel | mbAll;
  struct Case {
    unsigned buttons;
    int press;  // a button's id, or 0: the box is closed
    const char* shown;
    int want;
  } cases[] = {
      {kAll, mrAll, "はい(&Y) いいえ(&N) キャンセル すべて(&A)", mrAll},
      {kAll, mrYes, "はい(&Y) いいえ(&N) キャンセル すべて(&A)", mrYes},
      {kAll, mrNo, "はい(&Y) いいえ(&N) キャンセル すべて(&A)", mrNo},
      {mbYes | mbNo | mbCancel, mrCancel, "はい(&Y) いいえ(&N) キャンセル", mrCancel},
      {mbYes | mbNo | mbCancel, 0, "はい(&Y) いいえ(&N) キャンセル", mrCancel},
  };
  HWND owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
  for (const Case& c : cases) {
    std::string shown, text;
    bool ownerDisabled = false;
    std::thread person([&] {
      HWND dlg = WaitForQuestion();
      if (!dlg) return;
      shown = ButtonsOf(dlg);
      char buf[256] = {};
      GetDlgItemTextA(dlg, 101, buf, sizeof buf);
      text = buf;
      ownerDisabled = !IsWindowEnabled(owner);
      if (c.press) PostMessageA(GetDlgItem(dlg, c.press), BM_CLICK, 0, 0);
      else PostMessageA(dlg, WM_CLOSE, 0, 0);
    });
    const int r = MessageDlg(owner, "a.txt.gz はすでに存在しています。", mtWarning, c.buttons);
    person.join();
    EXPECT_EQ(r, c.want) << c.shown << " pressed " << c.press;
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(text, "a.txt.gz はすでに存在しています。");
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

}  // namespace
