// The RAR and Info-ZIP back-ends, the self-extractor operations and the
// engine's own boxes.
#include "ArchiverImpl.h"
#include "arc_dlg.h"
#include "arc_dlgr.h"
#include "engine_fixture.h"
#include "pswd2.h"

#include <commctrl.h>

using BackendTest = EngineTest;

namespace {
const char* kRarEntries[] = {
    "a.txt|10|5|0|2A6B5C21||x|0",       "d\\b.txt|10|5|0|2A6B5C21||x|0", "d\\e\\c.txt|10|5|0|2A6B5C21||x|0",
    "dx.txt|10|5|0|2A6B5C21||x|0",      "d|0|0|0|2A6B5C21||x|224",
};

std::vector<std::string> Dests(const std::vector<std::string>& calls) {
  std::vector<std::string> r;
  for (const std::string& c : calls)
    if (c.compare(0, 5, "op=2 ") == 0) r.push_back(c.substr(10));
  return r;
}
}  // namespace

TEST_F(BackendTest, RarExtractionPicksEntriesByPrefixOrExactName) {
  Rec("unrar", "ENTRIES", WriteEntries({std::begin(kRarEntries), std::end(kRarEntries)}));
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  struct {
    std::vector<std::string> names;
    std::vector<std::string> targets;
  } cases[] = {
      {{"*.*"}, {"a.txt", "d\\b.txt", "d\\e\\c.txt", "dx.txt", "d"}},
      {{"d/*.*"}, {"d\\b.txt", "d\\e\\c.txt"}},
      {{"a.txt", "d/b.txt"}, {"a.txt", "d\\b.txt"}},
      {{"A.TXT"}, {}},
  };
  for (auto& c : cases) {
    TStringList names;
    for (auto& n : c.names) names.Add(n);
    std::vector<std::string> expected;
    for (auto& t : c.targets) expected.push_back(Scratch + "out\\" + t);
    char log[512];
    ClearJournal();
    EXPECT_TRUE(Engine->ExtractRar(&names, log, sizeof log));
    EXPECT_EQ(Dests(Calls("unrar", "RARProcessFile")), expected) << c.names[0];
    EXPECT_EQ(Calls("unrar", "RAROpenArchive"), std::vector<std::string>{"mode=1 " + Scratch + "a.rar"});
    EXPECT_EQ(Calls("unrar", "RARCloseArchive").size(), 1u);
  }
  // Without folders every entry lands in the folder itself.
  Engine->ArcOptions.Include(ar_NoFolder);
  TStringList names;
  names.Add("d/e/c.txt");
  char log[512];
  ClearJournal();
  EXPECT_TRUE(Engine->Extract(names, log, sizeof log));
  EXPECT_EQ(Dests(Calls("unrar", "RARProcessFile")), std::vector<std::string>{Scratch + "out\\c.txt"});
  EXPECT_STREQ(log, "Melted d\\e\\c.txt\r\n");
  EXPECT_FALSE(RarBusy);
}

TEST_F(BackendTest, RarExtractionKeepsNewerFilesAndRefusesClimbingNames) {
  Rec("unrar", "ENTRIES", WriteEntries({"a.txt|10|5|0|2A6B5C21||x|0", "..\\evil.txt|10|5|0|2A6B5C21||x|0",
                                        "d|0|0|0|2A6B5C21||x|224"}));
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out\\");
  CreateDirectoryA((Scratch + "out").c_str(), nullptr);
  CreateDirectoryA((Scratch + "out\\d").c_str(), nullptr);
  WriteFile(Scratch + "out\\a.txt", "mine");  // written now: newer than 2001
  Engine->ArcOptions = {ar_Silent};
  TStringList names;
  names.Add("*.*");
  char log[512];
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_STREQ(log,
               "Skipped : a.txt\t : 最新のファイルが存在\r\n"
               "Skipped ..\\evil.txt\t : 解凍に失敗しました\r\n"
               "Skipped : d\t : 最新のファイルが存在\r\n");
  EXPECT_TRUE(Dests(Calls("unrar", "RARProcessFile")).empty());
  EXPECT_EQ(ReadFile(Scratch + "out\\a.txt"), "mine");
  Engine->ArcOptions.Include(ar_OverWrite);
  ClearJournal();
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_EQ(Dests(Calls("unrar", "RARProcessFile")), std::vector<std::string>{Scratch + "out\\a.txt"});
}

TEST_F(BackendTest, RarLogLinesThatDoNotFitAreDroppedWhole) {
  Rec("unrar", "ENTRIES", WriteEntries({"a-long-name.txt|1|1|0|2A6B5C21||x|0", "b.txt|1|1|0|2A6B5C21||x|0"}));
  Rec("unrar", "PROCESS", "0");
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  TStringList names;
  names.Add("*.*");
  char log[20];
  std::memset(log, 'Z', sizeof log);
  EXPECT_TRUE(Engine->Extract(names, log, 16));
  EXPECT_STREQ(log, "Melted b.txt\r\n");
  EXPECT_EQ(log[16], 'Z');
}

TEST_F(BackendTest, RarPasswordIsAskedOnceAndCancelStops) {
  Rec("unrar", "ENTRIES", WriteEntries({"a.txt|1|1|0|2A6B5C21||x|4", "b.txt|1|1|0|2A6B5C21||x|4"}));
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  TStringList names;
  names.Add("*.*");
  char log[256];
  {
    Beside probe({"dialog", "Rar書庫の解凍", "controls", "type", "0", "sesame", "click", "OK"});
    EXPECT_TRUE(Engine->Extract(names, log, sizeof log));
    EXPECT_TRUE(probe.Done()) << probe.Output;
    EXPECT_TRUE(probe.Saw("パスワードの入力")) << probe.Output;
  }
  EXPECT_EQ(Calls("unrar", "RARSetPassword"), std::vector<std::string>{"sesame"});
  EXPECT_EQ(Dests(Calls("unrar", "RARProcessFile")).size(), 2u);
  // Cancelled: nothing is extracted.
  ClearJournal();
  Beside probe({"dialog", "Rar書庫の解凍", "click", "キャンセル"});
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_TRUE(probe.Done()) << probe.Output;
  EXPECT_TRUE(Dests(Calls("unrar", "RARProcessFile")).empty());
}

TEST_F(BackendTest, RarProgressBoxAndItsCancel) {
  Rec("unrar", "ENTRIES", WriteEntries({"a.txt|100|1|0|2A6B5C21||x|0", "b.txt|100|1|0|2A6B5C21||x|0"}));
  // The library holds its data until the probe has pressed the button.
  const std::string pressed = Scratch + "pressed";
  Rec("unrar", "HOLD", pressed);
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_OverWrite};
  TStringList names;
  names.Add("*.*");
  char log[256];
  Beside probe({"dialog", "Rar 書庫の解凍", "click", "取り消し(C)", "touch", pressed});
  Engine->Extract(names, log, sizeof log);
  EXPECT_TRUE(probe.Done()) << probe.Output;
  // The button press reaches the box during the first entry's data.
  EXPECT_EQ(Calls("unrar", "data"), std::vector<std::string>{"stopped at 40"});
  EXPECT_STREQ(log, "Skipped a.txt\t : 解凍に失敗しました\r\nユーザーにより中断されました。\r\n");
  EXPECT_EQ(ArcuDlg, nullptr);
  EXPECT_FALSE(RarBusy);
}

TEST_F(BackendTest, RarVolumePromptCancelStopsTheSpanningEntry) {
  Rec("unrar", "ENTRIES", WriteEntries({"big.bin|10|10|0|2A6B5C21||x|256"}));
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  TStringList names;
  names.Add("*.*");
  char log[256];
  Beside probe({"answer", "キャンセル"});
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_TRUE(probe.Saw("msgbox: Error | next.r00 の入ったディスクを入れてください。")) << probe.Output;
  EXPECT_EQ(Calls("unrar", "volume"), std::vector<std::string>{"refused"});
}

TEST_F(BackendTest, RarToMemoryStopsWhenTheTargetIsFull) {
  Rec("unrar", "ENTRIES", WriteEntries({"a.txt|5|5|0|2A6B5C21||x|0", "d\\big.bin|100|100|0|2A6B5C21||x|0"}));
  Make();
  Engine->SetArcName(Scratch + "a.rar");
  uint8_t buf[80];
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_TRUE(Engine->ExtractToMem("d/big.bin", buf, 64));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 64), std::string(64, 'd'));
  EXPECT_EQ(buf[64], 'Z');
  EXPECT_EQ(Calls("unrar", "data"), std::vector<std::string>{"stopped at 80"});
  EXPECT_FALSE(Engine->ExtractToMem("none", buf, 64));
  RarBusy = true;
  EXPECT_FALSE(Engine->ExtractToMem("a.txt", buf, 64));
}

TEST_F(BackendTest, InfoZipExtractionSetsItsOptionsAndTheAbortLine) {
  Rec("unzip32", "ENTRIES", WriteEntries({"a.txt|1|1|0|2A6B5C21||x|0", "b.txt|1|1|0|2A6B5C21||x|4"}));
  Make("recorder-infozip");
  Engine->SetArcName(Scratch + "a.zip");
  Engine->SetBaseDir(Scratch + "out");
  Engine->ArcOptions = {ar_Silent};
  TStringList names;
  names.Add("*.*");
  names.Add("d/x");
  char log[256];
  {
    Beside probe({"dialog", "パスワードの入力", "type", "0", "pw", "click", "OK"});
    EXPECT_TRUE(Engine->Extract(names, log, sizeof log));
    EXPECT_TRUE(probe.Done()) << probe.Output;
  }
  EXPECT_EQ(names[0], "*");
  EXPECT_EQ(Calls("unzip32", "Wiz_SingleEntryUnzip"),
            std::vector<std::string>{"ifnc=2 names=[*,d/x] xfnc=0 newer=1 test=0 verbose=0 folders=1 overwrite=0 "
                                     "nocase=1 priv=1 zip=" + Scratch + "a.zip dir=" + Scratch +
                                     "out cb=print,replace,password,service,"});
  EXPECT_EQ(Calls("unzip32", "password"), std::vector<std::string>{"rc=0 pw=pw"});
  EXPECT_STREQ(log, "  inflating: a.txt\n  inflating: b.txt\n");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite, ar_NoFolder};
  ClearJournal();
  {
    // Answered should the password be asked again.
    Beside probe({"dialog", "パスワードの入力", "3000", "type", "0", "pw", "click", "OK"});
    Engine->Extract(names, log, sizeof log);
  }
  EXPECT_NE(Calls("unzip32", "Wiz_SingleEntryUnzip")[0].find("newer=0 test=0 verbose=0 folders=0 overwrite=1"),
            std::string::npos);

  // The abort button, pressed while the box shows (the library waits for
  // the press before its first entry).
  const std::string pressed = Scratch + "pressed";
  Rec("unzip32", "HOLD", pressed);
  Engine->ArcOptions = {};
  ClearJournal();
  Beside probe({"dialog", "ZIP 書庫の操作", "click", "中断", "touch", pressed});
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_TRUE(probe.Done()) << probe.Output;
  EXPECT_EQ(Calls("unzip32", "aborted"), std::vector<std::string>{"at a.txt"});
  EXPECT_STREQ(log, "\r\nユーザーが中断しました。");
  // Only with more than 27 bytes free.
  Rec("unzip32", "HOLD", pressed + "2");
  Beside again({"dialog", "ZIP 書庫の操作", "click", "中断", "touch", pressed + "2"});
  EXPECT_FALSE(Engine->Extract(names, log, 27));
  EXPECT_TRUE(again.Done()) << again.Output;
  EXPECT_STREQ(log, "");
  EXPECT_FALSE(InfoZipBusy);
}

TEST_F(BackendTest, InfoZipPrintCutsTheLogAtTheBuffer) {
  Rec("unzip32", "LOG", std::string(100, 'L'));
  Make("recorder-infozip");
  Engine->SetArcName(Scratch + "a.zip");
  char log[40];
  std::memset(log, 'Z', sizeof log);
  EXPECT_TRUE(Engine->TestArchive(log, 32));
  EXPECT_EQ(std::string(log), std::string(31, 'L'));
  EXPECT_EQ(log[32], 'Z');
  EXPECT_NE(Calls("unzip32", "Wiz_SingleEntryUnzip")[0].find("ifnc=0 names=[] xfnc=0 newer=0 test=1"),
            std::string::npos);
  Rec("unzip32", "MEM", "zipped bytes");
  uint8_t mem[6];
  EXPECT_TRUE(Engine->ExtractToMem("a.txt", mem, sizeof mem));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(mem), 6), "zipped");
  EXPECT_EQ(Calls("unzip32", "Wiz_UnzipToMemory"), std::vector<std::string>{Scratch + "a.zip a.txt"});
}

TEST_F(BackendTest, ZipSelfExtractorIsStubThenArchiveAndNothingStaysOnFailure) {
  Make();
  const std::string stub = ExeFolder() + "Sfx32gui.dat";
  std::string archive = Scratch + "a.zip", out;
  WriteFile(archive, "PK-archive");
  Engine->SetArcName(archive);
  Engine->SetBaseDir(Scratch + "made");
  CreateDirectoryA((Scratch + "made").c_str(), nullptr);
  Engine->ArcOptions = {ar_Silent};
  char log[64];
  // No stub: a message and nothing made.
  DeleteFileA(stub.c_str());
  {
    Beside probe({"answer", "OK"});
    EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log));
    EXPECT_TRUE(probe.Saw("msgbox: Tovix | Sfx32gui.dat が見つかりませんでした。")) << probe.Output;
  }
  EXPECT_FALSE(Exists(Scratch + "made\\a.exe"));

  WriteFile(stub, "STUB");
  EXPECT_TRUE(Engine->MakeSfx(out, log, sizeof log));
  EXPECT_EQ(out, Scratch + "made\\a.exe");
  EXPECT_EQ(ReadFile(out), "STUBPK-archive");
  EXPECT_NE(Calls("zip32", "ZpSetOptions")[0].find("offsets=-1 recurse=0 level=6"), std::string::npos);
  EXPECT_EQ(Calls("zip32", "ZpArchive").back(), "argc=0 zip=" + out + " names=[]");

  // zip32 fails: the made file goes again (the existing one was agreed away).
  Rec("zip32", "RC", "1");
  {
    Beside probe({"answer", "はい(Y)"});
    EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log));
    EXPECT_TRUE(probe.Saw("msgbox: Tovix | ファイルはすでに存在しています。")) << probe.Output;
  }
  EXPECT_FALSE(Exists(out));
  // The archive cannot be read: no half-made program.
  Rec("zip32", "RC", "");
  Engine->SetArcName(Scratch + "gone.zip");
  EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log));
  EXPECT_FALSE(Exists(Scratch + "made\\gone.exe"));
  DeleteFileA(stub.c_str());

  // And back: the archive is copied, then the stub is cut off.
  WriteFile(Scratch + "a.exe", "STUBPK");
  Engine->SetArcName(Scratch + "a.exe");
  Engine->SetMode(amZip);
  ClearJournal();
  EXPECT_TRUE(Engine->SfxToArchive(out, log, sizeof log));
  EXPECT_EQ(out, Scratch + "made\\a.zip");
  EXPECT_EQ(ReadFile(out), "STUBPK");
  EXPECT_NE(Calls("zip32", "ZpSetOptions")[0].find("junksfx=-1"), std::string::npos);
  Rec("zip32", "RC", "1");
  {
    Beside probe({"answer", "はい(Y)"});
    EXPECT_FALSE(Engine->SfxToArchive(out, log, sizeof log));  // asked, agreed, failed
    EXPECT_TRUE(probe.Done()) << probe.Output;
  }
  EXPECT_FALSE(Exists(out));
}

TEST_F(BackendTest, UnsupportedFormatsNeverTouchAnExistingProgram) {
  // A question would be agreed to; none may come.
  auto agreed = std::make_unique<Beside>(std::vector<std::string>{"answer", "はい(Y)", "2000"});
  Make();
  CreateDirectoryA((Scratch + "made").c_str(), nullptr);
  WriteFile(Scratch + "made\\a.exe", "precious");
  Engine->SetBaseDir(Scratch + "made");
  char log[64];
  std::string out;
  for (const char* name : {"a.arj", "a.tar", "a.rar", "a.txt.gz"}) {
    Engine->SetArcName(Scratch + name);
    EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log)) << name;
  }
  EXPECT_FALSE(agreed->Done()) << agreed->Output;
  // ZIP without its stub does not reach the question either: it says the
  // stub is missing.
  DeleteFileA((ExeFolder() + "Sfx32gui.dat").c_str());
  Engine->SetArcName(Scratch + "a.zip");
  {
    Beside probe({"answer", "OK"});
    EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log));
    EXPECT_TRUE(probe.Saw("Sfx32gui.dat が見つかりませんでした。")) << probe.Output;
  }
  EXPECT_EQ(ReadFile(Scratch + "made\\a.exe"), "precious");
  agreed = std::make_unique<Beside>(std::vector<std::string>{"answer", "はい(Y)", "2000"});
  // The made file would be the archive itself: refused before the question,
  // which would delete the archive.
  WriteFile(Scratch + "made\\self.exe", "self-lzh");
  WriteFile(Scratch + "made\\self.zip", "self-zip");
  WriteFile(Scratch + "made\\self.lzh", "self-lzh");
  WriteFile(ExeFolder() + "Sfx32gui.dat", "STUB");
  const std::pair<const char*, TArchiverMode> selfCases[] = {
      {"self.exe", amLha}, {"self.zip", amZip}, {"self.lzh", amLha}};
  for (auto& [name, mode] : selfCases) {
    SCOPED_TRACE(name);
    Engine->SetArcName(Scratch + "made\\" + name);
    Engine->SetMode(mode);
    ClearJournal();
    bool isExe = std::string(name).find(".exe") != std::string::npos;
    EXPECT_FALSE(isExe ? Engine->MakeSfx(out, log, sizeof log) : Engine->SfxToArchive(out, log, sizeof log));
    EXPECT_TRUE(Lines().empty());
  }
  DeleteFileA((ExeFolder() + "Sfx32gui.dat").c_str());
  EXPECT_EQ(ReadFile(Scratch + "made\\self.exe"), "self-lzh");
  EXPECT_EQ(ReadFile(Scratch + "made\\self.zip"), "self-zip");
  EXPECT_EQ(ReadFile(Scratch + "made\\self.lzh"), "self-lzh");
  EXPECT_FALSE(agreed->Done()) << agreed->Output;
  Engine->SetMode(amAuto);
  // Answered No: nothing is touched.
  Engine->SetArcName(Scratch + "a.lzh");
  ClearJournal();
  Beside probe({"answer", "いいえ(N)"});
  EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log));
  EXPECT_TRUE(probe.Done()) << probe.Output;
  EXPECT_EQ(ReadFile(Scratch + "made\\a.exe"), "precious");
  EXPECT_TRUE(Calls("unlha32", "Command").empty());
}

TEST_F(BackendTest, ZipStubIsLookedForBesideTheProgramThenInTheSystemFolder) {
  Make();
  char sys[MAX_PATH];
  GetSystemDirectoryA(sys, MAX_PATH);
  const std::string mine = ExeFolder() + "Sfx32gui.dat", system = std::string(sys) + "\\Sfx32gui.dat";
  WriteFile(Scratch + "a.zip", "PK-archive");
  Engine->SetArcName(Scratch + "a.zip");
  Engine->SetBaseDir(Scratch);
  Engine->ArcOptions = {ar_Silent};
  char log[64];
  std::string out;
  DeleteFileA(mine.c_str());
  WriteFile(system, "SYSTEM-STUB");
  EXPECT_TRUE(Engine->MakeSfx(out, log, sizeof log));
  EXPECT_EQ(ReadFile(out), "SYSTEM-STUBPK-archive");
  DeleteFileA(out.c_str());
  WriteFile(mine, "OWN-STUB");
  EXPECT_TRUE(Engine->MakeSfx(out, log, sizeof log));
  EXPECT_EQ(ReadFile(out), "OWN-STUBPK-archive");
  DeleteFileA(system.c_str());
  DeleteFileA(mine.c_str());
}

TEST_F(BackendTest, BusyBackEndsRefuseBeforeTouchingAnything) {
  // Everyone agrees to overwrite: only the busy check can keep the files
  // (and no question may come).
  Beside agreed({"answer", "はい(Y)", "2000"});
  CreateDirectoryA((Scratch + "made").c_str(), nullptr);
  WriteFile(Scratch + "made\\a.exe", "precious exe");
  WriteFile(Scratch + "made\\a.zip", "precious zip");
  WriteFile(Scratch + "a.zip", "PK");
  WriteFile(Scratch + "a.exe", "STUBPK");
  WriteFile(ExeFolder() + "Sfx32gui.dat", "STUB");
  Rec("unrar", "ENTRIES", WriteEntries({"a.txt|5|5|0|2A6B5C21||x|0"}));
  Rec("unzip32", "ENTRIES", WriteEntries({"a.txt|5|5|0|2A6B5C21||x|0"}));
  Rec("unzip32", "MEM", "bytes");
  enum Op { Ext, Mem, Tst, Find, Pck, Del, Sfx, Back };
  struct {
    const char* variant;
    bool* flag;
    const char* arc;
    TArchiverMode mode;
    Op op;
  } cases[] = {
      {"recorder", &RarBusy, "a.rar", amRar, Ext},          {"recorder", &RarBusy, "a.rar", amRar, Mem},
      {"recorder-infozip", &InfoZipBusy, "a.zip", amZip, Ext}, {"recorder-infozip", &InfoZipBusy, "a.zip", amZip, Mem},
      {"recorder-infozip", &InfoZipBusy, "a.zip", amZip, Tst}, {"recorder-infozip", &InfoZipBusy, "a.zip", amZip, Find},
      {"recorder", &ZipBusy, "a.zip", amZip, Pck},          {"recorder", &ZipBusy, "a.zip", amZip, Del},
      {"recorder", &ZipBusy, "a.zip", amZip, Sfx},          {"recorder", &ZipBusy, "a.exe", amZip, Back},
  };
  std::string bound;
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + " " + c.arc + " op " + std::to_string(c.op));
    if (bound != c.variant) {
      delete Engine;
      Make(c.variant);
      bound = c.variant;
    }
    Engine->SetArcName(Scratch + c.arc);
    Engine->SetMode(c.mode);
    Engine->SetBaseDir(Scratch + "made");
    Engine->ArcOptions = {ar_Silent, ar_OverWrite};
    *c.flag = true;
    ClearJournal();
    TStringList names;
    names.Add("a.txt");
    char log[32];
    uint8_t mem[32];
    std::memset(log, 'Z', sizeof log);
    std::memset(mem, 'Z', sizeof mem);
    std::string out;
    switch (c.op) {
      case Ext: EXPECT_FALSE(Engine->Extract(names, log, sizeof log)); break;
      case Mem: EXPECT_FALSE(Engine->ExtractToMem("a.txt", mem, sizeof mem)); break;
      case Tst: EXPECT_FALSE(Engine->TestArchive(log, sizeof log)); break;
      case Find: EXPECT_EQ(Engine->FindFirst("*.*"), -1); break;
      case Pck: EXPECT_FALSE(Engine->Pack(names, log, sizeof log)); break;
      case Del: EXPECT_FALSE(Engine->DeleteFiles(names, log, sizeof log)); break;
      case Sfx: EXPECT_FALSE(Engine->MakeSfx(out, log, sizeof log)); break;
      case Back: EXPECT_FALSE(Engine->SfxToArchive(out, log, sizeof log)); break;
    }
    EXPECT_TRUE(*c.flag);  // still the other run's
    *c.flag = false;
    EXPECT_EQ(Lines(), std::vector<std::string>{});
    EXPECT_EQ(log[0], 'Z');
    EXPECT_EQ(mem[0], 'Z');
    EXPECT_EQ(ReadFile(Scratch + "made\\a.exe"), "precious exe");
    EXPECT_EQ(ReadFile(Scratch + "made\\a.zip"), "precious zip");
  }
  EXPECT_FALSE(agreed.Done()) << agreed.Output;
  DeleteFileA((ExeFolder() + "Sfx32gui.dat").c_str());
}

namespace {
// A cabinet header: signature, reserved, total size, then filler.
std::string Cabinet(uint32_t size) {
  std::string c = std::string("MSCF") + std::string(4, '\0');
  c.append(reinterpret_cast<const char*>(&size), 4);
  c.resize(size, 'c');
  return c;
}
}  // namespace

TEST_F(BackendTest, CabinetIsFoundBehindTheStub) {
  struct {
    const char* what;
    std::string data;
    long long at;  // -1: not found
  } cases[] = {
      {"at 0x8000", std::string(0x8000, 's') + Cabinet(100), 0x8000},
      {"after M", std::string(0x9000, 's') + "M" + Cabinet(64), 0x9001},
      {"after MS", std::string(0x9000, 's') + "MS" + Cabinet(64), 0x9002},
      {"after MM", std::string(0x9000, 's') + "MM" + Cabinet(64), 0x9002},
      {"after MMSC", std::string(0x8100, 's') + "MMSC" + Cabinet(64), 0x8104},
      {"letters in the stub", std::string(0x8010, 's') + std::string("MSCF\0\0\0\0\xff\xff\xff\x7f", 12) +
                                   std::string(0x40, 's') + Cabinet(80),
       0x8010 + 12 + 0x40},
      {"before 0x8000 only", std::string(0x100, 's') + Cabinet(64) + std::string(0x8000, 's'), -1},
      {"none", std::string(0x9000, 's'), -1},
      {"short", "MSCF", -1},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string src = Scratch + "s.exe", dst = Scratch + "s.cab";
    DeleteFileA(dst.c_str());
    WriteFile(src, c.data);
    bool ok = TArchiver::ExtractCabFromExe(src, dst);
    EXPECT_EQ(ok, c.at >= 0);
    if (c.at >= 0) {
      EXPECT_EQ(ReadFile(dst), c.data.substr(static_cast<size_t>(c.at)));
    } else {
      EXPECT_FALSE(Exists(dst));
    }
  }
}

TEST_F(BackendTest, CabSelfExtractorTurnsBackWithALogLine) {
  Make();
  std::string exe = Scratch + "c.exe";
  WriteFile(exe, std::string(0x8000, 's') + Cabinet(64));
  Engine->SetArcName(exe);
  Engine->SetMode(amCab);
  Engine->SetBaseDir(Scratch);
  Engine->ArcOptions = {ar_Date};
  char log[16];
  std::string out;
  EXPECT_TRUE(Engine->SfxToArchive(out, log, sizeof log));
  EXPECT_EQ(out, Scratch + "c.cab");
  EXPECT_STREQ(log, "成功\r\n");
  EXPECT_EQ(ReadFile(out), Cabinet(64));
  // A buffer too small for the line: cut, terminated, never overrun (the
  // cabinet made before is agreed away).
  std::memset(log, 'Z', sizeof log);
  {
    Beside probe({"answer", "はい(Y)"});
    EXPECT_TRUE(Engine->SfxToArchive(out, log, 3));
    EXPECT_TRUE(probe.Done()) << probe.Output;
  }
  EXPECT_EQ(std::string(log, 3), std::string("成", 2) + '\0');
  EXPECT_EQ(log[3], 'Z');
  WriteFile(exe, "nothing");
  {
    Beside probe({"answer", "はい(Y)"});
    EXPECT_FALSE(Engine->SfxToArchive(out, log, sizeof log));
    EXPECT_TRUE(probe.Done()) << probe.Output;
  }
  EXPECT_STREQ(log, "失敗\r\n");
}

TEST(EngineDialogs, PasswordRulesAndPlacement) {
  EXPECT_TRUE(PasswordAccepted(false, "", ""));
  EXPECT_TRUE(PasswordAccepted(true, "abc", "abc"));
  EXPECT_FALSE(PasswordAccepted(true, "abc", "abd"));
  EXPECT_FALSE(PasswordAccepted(true, "abc", "ABC"));
  EXPECT_FALSE(PasswordAccepted(true, "", ""));
  int left, top;
  engine::PlaceAtCursor(1024, 768, 271, 120, 1024, 768, left, top);
  EXPECT_EQ(left, 1024 - 271);
  EXPECT_EQ(top, 768 - 120);
  // At the top-left corner the box stays on the screen.
  engine::PlaceAtCursor(0, 0, 271, 121, 1024, 768, left, top);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
}

TEST(EngineDialogs, OkWithTheConfirmFieldDifferentEmptiesItAndStays) {
  TPasswd2Dlg d;
  d.SetConfirm(true);
  d.SetText(d.Edit1, "abc");
  d.SetText(d.Edit2, "abd");
  d.OKBtnClick();
  EXPECT_EQ(d.ModalResult, 0);
  EXPECT_EQ(d.GetText(d.Edit2), "");
  d.SetText(d.Edit2, "abc");
  d.OKBtnClick();
  EXPECT_EQ(d.ModalResult, 1);
  // OK with nothing typed counts as cancel.
  std::string pw = "old";
  Beside probe({"dialog", "パスワードの入力", "click", "OK"});
  EXPECT_EQ(AskPassword(pw, false), 2);
  EXPECT_TRUE(probe.Done()) << probe.Output;
  EXPECT_EQ(pw, "");
}

namespace {
RECT ClientRectOf(HWND parent, HWND c) {
  RECT r;
  GetWindowRect(c, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
void ExpectAt(HWND parent, HWND c, int l, int t, int w, int h, const char* text) {
  RECT r = ClientRectOf(parent, c);
  EXPECT_EQ(r.left, l) << text;
  EXPECT_EQ(r.top, t) << text;
  EXPECT_EQ(r.right - r.left, w) << text;
  EXPECT_EQ(r.bottom - r.top, h) << text;
  char buf[64];
  GetWindowTextA(c, buf, sizeof buf);
  EXPECT_STREQ(buf, text);
}
void ExpectClient(HWND w, int cw, int ch) {
  RECT r;
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, cw);
  EXPECT_EQ(r.bottom, ch);
}
}  // namespace

TEST(EngineDialogs, LayoutsAndCaptions) {
  TPasswd2Dlg p;
  ExpectClient(p.Handle(), 265, 93);
  char cap[64];
  GetWindowTextA(p.Handle(), cap, sizeof cap);
  EXPECT_STREQ(cap, "パスワードの入力");
  // The labels are wider than the design, which cut "パスワード", and end
  // beside their fields as there.
  ExpectAt(p.Handle(), p.Label1, 2, 12, 60, 14, "パスワード");
  ExpectAt(p.Handle(), p.Label2, 2, 40, 60, 14, "再入力");
  ExpectAt(p.Handle(), p.OKBtn, 59, 64, 75, 25, "OK");
  ExpectAt(p.Handle(), p.CancelBtn, 139, 64, 75, 25, "キャンセル");
  ExpectAt(p.Handle(), p.Edit1, 64, 8, 193, 20, "");
  ExpectAt(p.Handle(), p.Edit2, 64, 36, 193, 20, "");
  EXPECT_EQ(SendMessageA(p.Edit1, EM_GETLIMITTEXT, 0, 0), 80);
  EXPECT_EQ(SendMessageA(p.Edit2, EM_GETPASSWORDCHAR, 0, 0), '*');
  EXPECT_FALSE(GetWindowLongA(p.Edit2, GWL_STYLE) & WS_VISIBLE);
  p.SetConfirm(true);
  EXPECT_TRUE(GetWindowLongA(p.Edit2, GWL_STYLE) & WS_VISIBLE);

  TArcDlg a;
  ExpectClient(a.Handle(), 313, 82);
  ExpectAt(a.Handle(), a.Button1, 120, 52, 75, 25, "中断");
  AbortFlag = 0;
  SendMessageA(a.Button1, BM_CLICK, 0, 0);
  EXPECT_EQ(AbortFlag, 1);

  TArcuDlg r;
  ExpectClient(r.Handle(), 313, 100);
  ExpectAt(r.Handle(), r.ProgressBar1, 16, 52, 281, 14, "");
  ExpectAt(r.Handle(), r.Button1, 120, 72, 75, 25, "取り消し(&C)");
  EXPECT_EQ(SendMessageA(r.ProgressBar1, PBM_GETRANGE, FALSE, 0), 100);
  r.Cancel = true;
  r.FormShow();
  EXPECT_FALSE(r.Cancel);
  SendMessageA(r.Button1, BM_CLICK, 0, 0);
  EXPECT_TRUE(r.Cancel);
}
