// What each archive type of the save dialog means to the engine, the names
// packing makes, the archive time, and the question with an "all" button.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

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

TEST(MessageDlgSeam, AnswersIncludingAllAndSafeDefault) {
  _putenv("TOVIX_ANSWERS=exists=all|no|bogus");
  EXPECT_EQ(MessageDlg(nullptr, "x", mtWarning, mbYes | mbNo | mbCancel | mbAll, "exists"), mrAll);
  EXPECT_EQ(MessageDlg(nullptr, "x", mtWarning, mbYes | mbNo | mbCancel | mbAll, "exists"), mrNo);
  EXPECT_EQ(MessageDlg(nullptr, "x", mtWarning, mbYes | mbNo | mbCancel, "exists"), mrCancel);
  EXPECT_EQ(MessageDlg(nullptr, "x", mtWarning, mbYes | mbNo, "other"), mrNo);
  _putenv("TOVIX_ANSWERS=");
}

}  // namespace
