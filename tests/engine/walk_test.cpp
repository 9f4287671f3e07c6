// Detection of the archive type and the entry walk over the common, RAR and
// Info-ZIP back-ends.
#include "ArchiverImpl.h"
#include "engine_fixture.h"

using WalkTest = EngineTest;

TEST_F(WalkTest, ExtensionsDecideWhenNoLibraryKnowsTheFile) {
  Make("no-libraries-here");
  const std::pair<const char*, TArchiverMode> cases[] = {
      {"a.lzh", amLha},     {"A.LZH", amLha},   {"a.arj", amArj},    {"a.zip", amZip},  {"a.cab", amCab},
      {"a.rar", amRar},     {"a.gza", amBga},   {"a.bza", amBga},    {"a.tar", amTar},  {"a.tgz", amTar},
      {"a.taz", amTar},     {"a.tar.gz", amTar}, {"a.gz", amGz},     {"a.TAR.Z", amTar}, {"a.z", amGz},
      {"a.tar.bz2", amTar}, {"a.bz2", amGz},    {"a.txt.gz", amGz},  {"a.exe", amAuto}, {"a", amAuto},
      {"d.lzh\\a", amAuto}, {"ソ.lzh", amLha},
  };
  for (auto& [name, mode] : cases) {
    Engine->SetArcName(Scratch + name);
    EXPECT_EQ(Engine->ArcMode(), mode) << name;
  }
  Engine->SetArcName(Scratch + "A.EXE");
  EXPECT_TRUE(Engine->ExeExt());
  EXPECT_EQ(Engine->ArcMode(), amAuto);
}

TEST_F(WalkTest, LibraryChecksComeFirstInTheirFixedOrder) {
  Rec("unlha32", "CHECK", "both|sfx.exe");
  Rec("unzip32", "CHECK", "both|zipped.lzh");
  Rec("cab32", "CHECK", "cabbed");
  Make();
  struct {
    const char* name;
    TArchiverMode mode;
  } cases[] = {{"both.zip", amLha}, {"zipped.lzh", amZip}, {"sfx.exe", amLha}, {"other.exe", amAuto},
               {"cabbed.lzh", amCab}, {"plain.rar", amRar}};
  for (auto& c : cases) {
    ClearJournal();
    Engine->SetArcName(Scratch + c.name);
    EXPECT_EQ(Engine->ArcMode(), c.mode) << c.name;
  }
  EXPECT_TRUE(Engine->ExeExt() == false);
  Engine->SetArcName(Scratch + "sfx.exe");
  EXPECT_TRUE(Engine->ExeExt());
  // The order of the questions, and the TAR library is never asked.
  ClearJournal();
  Engine->SetArcName(Scratch + "nobody.dat");
  std::vector<std::string> asked;
  for (const std::string& l : Lines())
    if (l.find(" CheckArchive ") != std::string::npos) asked.push_back(l.substr(0, l.find(' ')));
  EXPECT_EQ(asked, (std::vector<std::string>{"unlha32", "unzip32", "unarj32j", "cab32", "bga32"}));
  EXPECT_EQ(Calls("unlha32", "CheckArchive"), std::vector<std::string>{Scratch + "nobody.dat 0"});
  // A forced type asks nobody.
  ClearJournal();
  Engine->SetMode(amZip);
  Engine->SetArcName(Scratch + "x.lzh");
  EXPECT_EQ(Engine->ArcMode(), amZip);
  EXPECT_TRUE(Calls("unlha32", "CheckArchive").empty());
}

TEST_F(WalkTest, InfoZipValidateComesAfterTheLhaCheck) {
  Rec("unzip32", "CHECK", "*");
  Make("recorder-infozip");
  Engine->SetArcName(Scratch + "a.lzh");
  EXPECT_EQ(Engine->ArcMode(), amZip);
  Rec("unlha32", "CHECK", "*");
  Engine->SetArcName(Scratch + "a.zip");
  EXPECT_EQ(Engine->ArcMode(), amLha);
}

TEST_F(WalkTest, CommonWalkReadsEveryEntryAndSumsBeyondFourGigabytes) {
  std::string archive = Scratch + "a.lzh";
  WriteFile(archive, "x");
  FILETIME ft;
  SYSTEMTIME st{2003, 4, 0, 5, 6, 7, 8, 0};
  SystemTimeToFileTime(&st, &ft);
  FILETIME utc;
  LocalFileTimeToFileTime(&ft, &utc);
  HANDLE h = CreateFileA(archive.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
  Rec("unlha32", "ENTRIES",
      WriteEntries({"d/one.txt|3000000000|1000000000|1234abcd|2A6B5C21|--wa|-lh5-|0",
                    "two.txt|3000000000|2000000000|0|00000000|--wa|-lh0-|0", "three.txt|10|5|0|2A6B5C21|-|-lhd-|0"}));
  Make();
  Engine->SetArcName(archive);
  EXPECT_EQ(Engine->FindNext(), -1);  // nothing open yet
  ASSERT_EQ(Engine->FindFirst("*.*"), 0);
  EXPECT_EQ(Calls("unlha32", "FindFirst"), std::vector<std::string>{"*.*"});
  EXPECT_EQ(Calls("unlha32", "OpenArchive"),
            std::vector<std::string>{"owner=" + Hex(Form->GetHandle()) + " mode=2200 " + archive});
  EXPECT_EQ(Engine->FindName(), "d/one.txt");
  EXPECT_EQ(Engine->FindMode(), "-lh5-");
  EXPECT_EQ(Engine->FindAttribute(), "--wa");
  EXPECT_EQ(Engine->FindCRC(), 0x1234abcdu);
  EXPECT_EQ(Engine->FindRatio(), 333);
  TDateTime expected;
  ASSERT_TRUE(engine::DosDateTimeToDateTime(0x2A6B5C21, expected));
  EXPECT_DOUBLE_EQ(Engine->FindDate(), expected);
  ASSERT_EQ(Engine->FindNext(), 0);
  // An impossible date falls back on the archive file's own time.
  TDateTime fileTime;
  ASSERT_TRUE(engine::DosDateTimeToDateTime((((2003 - 1980) << 25) | (4 << 21) | (5 << 16) | (6 << 11) | (7 << 5) | 4),
                                            fileTime));
  EXPECT_DOUBLE_EQ(Engine->FindDate(), fileTime);
  ASSERT_EQ(Engine->FindNext(), 0);
  EXPECT_EQ(Engine->FindNext(), -1);
  EXPECT_EQ(Engine->ArcOriginalSize(), 6000000010LL);
  EXPECT_EQ(Engine->ArcCompressedSize(), 3000000005LL);
  // A second find-first reuses the open handle and starts the sums again.
  ASSERT_EQ(Engine->FindFirst("*.*"), 0);
  EXPECT_EQ(Calls("unlha32", "OpenArchive").size(), 1u);
  EXPECT_EQ(Engine->FindName(), "d/one.txt");
  EXPECT_EQ(Engine->ArcOriginalSize(), 3000000000LL);
  EXPECT_EQ(Engine->CloseArchive(), 0);
  EXPECT_EQ(Engine->CloseArchive(), -1);
}

TEST_F(WalkTest, ArjOpensWithItsOwnModeAndAMissingArchiveGivesMinusOne) {
  Make();
  Engine->SetArcName(Scratch + "a.arj");
  EXPECT_EQ(Engine->FindFirst("*.*"), -1);  // no entries
  EXPECT_NE(Calls("unarj32j", "OpenArchive")[0].find("mode=20002200 "), std::string::npos);
  Rec("unlha32", "OPEN", "0");
  Engine->SetArcName(Scratch + "missing.lzh");
  EXPECT_EQ(Engine->FindFirst("*.*"), -1);
  EXPECT_EQ(Engine->FindNext(), -1);
  Engine->SetArcName("");
  EXPECT_EQ(Engine->FindFirst("*.*"), -1);
}

TEST(EngineDates, DosDateTimesAndImpossibleOnes) {
  TDateTime d;
  ASSERT_TRUE(engine::DosDateTimeToDateTime((20u << 25) | (1u << 21) | (1u << 16), d));
  EXPECT_DOUBLE_EQ(d, 36526.0);  // 2000-01-01
  ASSERT_TRUE(engine::DosDateTimeToDateTime((20u << 25) | (2u << 21) | (29u << 16) | (12u << 11), d));
  EXPECT_DOUBLE_EQ(d, 36585.5);  // 2000-02-29 12:00, a leap day
  EXPECT_FALSE(engine::DosDateTimeToDateTime((21u << 25) | (2u << 21) | (29u << 16), d));
  EXPECT_FALSE(engine::DosDateTimeToDateTime(0, d));
  EXPECT_FALSE(engine::DosDateTimeToDateTime((20u << 25) | (13u << 21) | (1u << 16), d));
  EXPECT_FALSE(engine::DosDateTimeToDateTime((20u << 25) | (1u << 21) | (1u << 16) | (24u << 11), d));
}

TEST_F(WalkTest, RarWalkSkipsContinuedEntriesAfterTheFirstHeader) {
  // Flags: 1 continued, 0xE0 folder, 0x60 dictionary 3.
  Rec("unrar", "ENTRIES", WriteEntries({"tail.bin|100|50|0|2A6B5C21||x|1", "dir|0|0|0|2A6B5C21||x|224",
                                        "more.bin|10|10|0|2A6B5C21||x|1", "b.txt|1000|10|abc|2A6B5C21||x|96"}));
  Make();
  Engine->SetArcName(Scratch + "a.part2.rar");
  ASSERT_EQ(Engine->FindFirst("*.*"), 0);
  EXPECT_EQ(Engine->FindName(), "tail.bin");  // the first header whatever its flags
  EXPECT_EQ(Engine->FindRatio(), 500);
  ASSERT_EQ(Engine->FindNext(), 0);
  EXPECT_EQ(Engine->FindName(), "dir");
  EXPECT_EQ(Engine->FindMode(), "dir");
  ASSERT_EQ(Engine->FindNext(), 0);
  EXPECT_EQ(Engine->FindName(), "b.txt");  // more.bin continued: skipped
  EXPECT_EQ(Engine->FindMode(), "rar3");
  EXPECT_EQ(Engine->FindCRC(), 0xabcu);
  EXPECT_EQ(Engine->FindNext(), arcapi::ERAR_END_ARCHIVE);
  EXPECT_EQ(Calls("unrar", "RAROpenArchive"), std::vector<std::string>{"mode=0 " + Scratch + "a.part2.rar"});
  EXPECT_EQ(Engine->CloseArchive(), 0);
  EXPECT_EQ(Engine->CloseArchive(), -1);
}

TEST_F(WalkTest, InfoZipListingFillsTheQueueThatFindNextDrains) {
  // 1999-12-31 23:59 and 2005-02-01 08:30.
  Rec("unzip32", "ENTRIES", WriteEntries({"a.txt|200|100|11|279FBF60||Defl:N|0", "b/c.txt|0|0|22|324143C0||Stored|0"}));
  Make("recorder-infozip");
  Engine->SetArcName(Scratch + "a.zip");
  ASSERT_EQ(Engine->FindFirst("*.*"), 0);
  EXPECT_EQ(Calls("unzip32", "Wiz_SingleEntryUnzip")[0].substr(0, 38), "ifnc=1 names=[*] xfnc=0 newer=0 test=0");
  EXPECT_NE(Calls("unzip32", "Wiz_SingleEntryUnzip")[0].find("verbose=1 folders=0 overwrite=0 nocase=1 priv=1"),
            std::string::npos);
  EXPECT_EQ(Engine->FindName(), "a.txt");
  EXPECT_EQ(Engine->FindMode(), "Defl:N");
  EXPECT_EQ(Engine->FindRatio(), 500);
  TDateTime d;
  ASSERT_TRUE(engine::DosDateTimeToDateTime(0x279FBF60u, d));
  EXPECT_DOUBLE_EQ(Engine->FindDate(), d);
  ASSERT_EQ(Engine->FindNext(), 0);
  EXPECT_EQ(Engine->FindName(), "b/c.txt");
  EXPECT_EQ(Engine->FindRatio(), 0);
  EXPECT_EQ(Engine->FindNext(), -1);
  EXPECT_EQ(Engine->ArcOriginalSize(), 200);
  // Closing empties the queue; a busy unzip library is not entered.
  Engine->FindFirst("*");
  EXPECT_EQ(Engine->CloseArchive(), 0);
  EXPECT_EQ(Engine->FindNext(), -1);
  InfoZipBusy = true;
  EXPECT_EQ(Engine->FindFirst("*"), -1);
}

TEST(EngineInfoZipDates, LocaleOrderDecidesWhichNumberIsWhich) {
  auto dos = [](int y, int m, int d) { return static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d); };
  EXPECT_EQ(engine::InfoZipDosDate('1', 31, 12, 99), dos(1999, 12, 31));
  EXPECT_EQ(engine::InfoZipDosDate('1', 1, 2, 5), dos(2005, 2, 1));
  EXPECT_EQ(engine::InfoZipDosDate('0', 12, 31, 99), dos(1999, 12, 31));
  EXPECT_EQ(engine::InfoZipDosDate('2', 5, 2, 1), dos(2005, 2, 1));
  EXPECT_EQ(engine::InfoZipDosDate('0', 2, 1, 2005), dos(2005, 2, 1));  // a four-digit year too
}

TEST(EngineFileList, FirstInFirstOutOverManyRecords) {
  TArcFileList l;
  TArcEntryRec r{};
  EXPECT_EQ(l.PopFirst(&r), -1);
  for (uint32_t i = 0; i < 100000; ++i) l.Add()->dwOriginalSize = i;
  for (uint32_t i = 0; i < 100000; ++i) {
    ASSERT_EQ(l.PopFirst(&r), 0);
    ASSERT_EQ(r.dwOriginalSize, i);
  }
  EXPECT_EQ(l.PopFirst(&r), -1);
}

TEST_F(WalkTest, HundredThousandEntryInfoZipListingWalksInOrder) {
  std::vector<std::string> lines;
  lines.reserve(100000);
  for (int i = 0; i < 100000; ++i)
    lines.push_back("f" + std::to_string(i) + "|" + std::to_string(i) + "|1|0|2A6B5C21||Stored|0");
  Rec("unzip32", "ENTRIES", WriteEntries(lines));
  Make("recorder-infozip");
  Engine->SetArcName(Scratch + "big.zip");
  DWORD start = GetTickCount();
  int n = 0;
  for (int r = Engine->FindFirst("*.*"); r == 0; r = Engine->FindNext(), ++n) {
    if (Engine->FindOriginalSize() != static_cast<uint32_t>(n)) {
      ADD_FAILURE() << "entry " << n << " out of order";
      break;
    }
  }
  EXPECT_EQ(n, 100000);
  EXPECT_EQ(Engine->FindName(), "f99999");
  EXPECT_EQ(Engine->ArcOriginalSize(), 99999LL * 100000 / 2);
  // Draining the queue stays linear: copying the records left behind on
  // every pop would move about 2.8 TB here.
  EXPECT_LT(GetTickCount() - start, 20000u);
  EXPECT_EQ(Engine->FindNext(), -1);
}
