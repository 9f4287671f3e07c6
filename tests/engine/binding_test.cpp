// Binding the libraries: version gates, missing libraries, the owner window
// hand-over, the hidden window's message, the mode pushes and the folder.
#include "engine_fixture.h"

static_assert(sizeof(TArcEntryRec) == 558);
static_assert(sizeof(TArchiverOptions) == 2 && sizeof(TArchiverDLLopts) == 1 && sizeof(TArchiverMode) == 2);
#if !defined(_WIN64)
static_assert(sizeof(arcapi::RARHeaderData) == 572);
static_assert(sizeof(arcapi::DCL) == 68);
static_assert(sizeof(arcapi::USERFUNCTIONS) == 42);
static_assert(sizeof(arcapi::ZPOPT) == 128);
#endif
// Major, minor and patch level at 48, 49 and 50 of both version records.
static_assert(sizeof(arcapi::UzpVer2) == 64 && offsetof(arcapi::UzpVer2, unzip) == 48);
static_assert(sizeof(arcapi::ZpVer) == 60 && offsetof(arcapi::ZpVer, zip) == 48);

TEST(EngineTypes, SetsHoldBitNForTheNthMember) {
  TArchiverOptions o{ar_NoFolder, ar_Force};
  EXPECT_EQ(o.Value, (1u << 0) | (1u << 13));
  o.Exclude(ar_NoFolder).Include(ar_BZ2);
  EXPECT_TRUE(o.Contains(ar_BZ2));
  EXPECT_FALSE(o.Contains(ar_NoFolder));
  EXPECT_EQ(TArchiverDLLopts{aoNoInstBga}.Value, 1u << 6);
  EXPECT_EQ(amBga, 8);
}

using BindingTest = EngineTest;

struct GateCase {
  const char* lib;
  const char* value;  // version answer
  bool bound;
};

TEST_F(BindingTest, VersionGatesBindAtTheGateAndFreeBelowIt) {
  const GateCase cases[] = {
      {"unlha32", "82", false}, {"unlha32", "83", true},  {"unarj32j", "9", false}, {"unarj32j", "10", true},
      {"unzip32", "89", false}, {"unzip32", "90", true},  {"tar32", "210", false},  {"tar32", "211", true},
      {"cab32", "89", false},   {"cab32", "90", true},    {"bga32", "27", false},   {"bga32", "28", true},
      {"zip32", "2.02", false}, {"zip32", "2.03", true},
  };
  for (const GateCase& c : cases) {
    SCOPED_TRACE(std::string(c.lib) + " " + c.value);
    Rec(c.lib, "VERSION", c.value);
    Make();
    EXPECT_EQ(GetModuleHandleA((std::string(c.lib) + ".dll").c_str()) != nullptr, c.bound);
    std::string lib = c.lib;
    if (lib == "unlha32") {
      EXPECT_EQ(Engine->UnLhaVersion(), std::stoi(c.value));  // kept even when freed
    }
    if (lib == "zip32") {
      EXPECT_EQ(Engine->ZipVersion(), c.bound ? 203 : 0);
      Engine->SetMode(amZip);
      EXPECT_EQ(Engine->GetRunning(true), !c.bound);  // ZIP packing busy for good without zip32
    }
    delete Engine;
    Engine = nullptr;
    Rec(c.lib, "VERSION", "");
    ZipBusy = false;
  }
}

TEST_F(BindingTest, MissingLibrariesLeaveTheirFormatsUnavailable) {
  // Silently: no message box comes.
  Beside shown({"dialog", "#32770", "2000"});
  Make("no-libraries-here");
  for (TArchiverMode m : {amLha, amArj, amZip, amTar, amCab, amGz, amRar, amBga, amAuto}) {
    Engine->SetMode(m);
    EXPECT_TRUE(Engine->GetRunning(false)) << m;
  }
  EXPECT_EQ(Engine->UnLhaVersion() + Engine->ZipVersion() + Engine->RarVersion(), 0);
  EXPECT_TRUE(RarBusy);
  EXPECT_TRUE(ZipBusy);
  Engine->SetArcName(Scratch + "a.lzh");
  TStringList names;
  names.Add("a.txt");
  char log[64] = "x";
  EXPECT_FALSE(Engine->Extract(names, log, sizeof log));
  EXPECT_EQ(Engine->FindFirst("*.*"), -1);
  EXPECT_EQ(Engine->Command("t", log, sizeof log), -1);
  EXPECT_FALSE(Engine->TestArchive(log, sizeof log));
  EXPECT_FALSE(shown.Done()) << shown.Output;
}

TEST_F(BindingTest, EachOptionSkipsOnlyItsOwnLibrary) {
  const struct {
    TArchiverDLLopt opt;
    const char* dll;
    TArchiverMode mode;
  } cases[] = {
      {aoNoInstLha, "unlha32.dll", amLha}, {aoNoInstArj, "unarj32j.dll", amArj}, {aoNoInstTar, "tar32.dll", amTar},
      {aoNoInstCab, "cab32.dll", amCab},   {aoNoInstBga, "bga32.dll", amBga},    {aoNoInstRar, "unrar.dll", amRar},
  };
  const char* all[] = {"unlha32.dll", "unarj32j.dll", "unzip32.dll", "tar32.dll",
                       "cab32.dll",   "bga32.dll",    "unrar.dll",   "zip32.dll"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dll);
    Make("recorder", {c.opt});
    for (const char* d : all) EXPECT_EQ(GetModuleHandleA(d) != nullptr, std::string(d) != c.dll) << d;
    Engine->SetMode(c.mode);
    EXPECT_TRUE(Engine->GetRunning(false));
    Engine->SetMode(c.mode == amLha ? amTar : amLha);
    EXPECT_FALSE(Engine->GetRunning(false));
    delete Engine;
    Engine = nullptr;
    RarBusy = ZipBusy = false;
  }
}

TEST_F(BindingTest, OptionsSkipLibrariesAndNoInstZipSkipsBothZipLibraries) {
  Make("recorder", {aoNoInstZip, aoNoInstRar});
  EXPECT_EQ(GetModuleHandleA("unzip32.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("zip32.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("unrar.dll"), nullptr);
  EXPECT_NE(GetModuleHandleA("unlha32.dll"), nullptr);
  EXPECT_EQ(Engine->ZipVersion(), 0);
  Engine->SetMode(amZip);
  EXPECT_TRUE(Engine->GetRunning(true));
  Engine->SetMode(amRar);
  EXPECT_TRUE(Engine->GetRunning(false));
}

TEST_F(BindingTest, OwnerThatIsNotAFormLoadsNothing) {
  SetDllDirectoryA((ExeFolder() + "..\\recorder").c_str());
  TComponent plain(nullptr);
  auto* a = new TArchiver(&plain);
  a->Loaded();
  EXPECT_EQ(GetModuleHandleA("unlha32.dll"), nullptr);
  EXPECT_EQ(a->UnLhaVersion(), 0);
  EXPECT_EQ(a->RarVersion(), 0);
  delete a;
}

TEST_F(BindingTest, InfoZipKindIsTheUnzipLibraryWithoutUnZipGetVersion) {
  Rec("unzip32", "UZPVERSION", "5.40.2");
  Make("recorder-infozip");
  EXPECT_TRUE(Engine->IsInfoZip());
  EXPECT_EQ(Engine->UnZipVersion(), 540);
  EXPECT_EQ(Engine->UnZipPatchVersion(), 2);
  EXPECT_EQ(Calls("unzip32", "UzpVersion2"), std::vector<std::string>{"len=64"});
  EXPECT_EQ(Calls("zip32", "ZpVersion"), std::vector<std::string>{"len=60"});
}

TEST_F(BindingTest, CommonUnzipIsNotInfoZip) {
  Make();
  EXPECT_FALSE(Engine->IsInfoZip());
  EXPECT_EQ(Engine->UnZipVersion(), 0);  // no UzpVersion2 in that library
}

TEST_F(BindingTest, HiddenWindowGoesToTheLibraryForOneCommandAndReachesOnExtract) {
  Make();
  Engine->SetArcName(Scratch + "a.lzh");
  std::vector<int32_t> modes;
  Engine->OnExtract = [&](TArchiver* s, int32_t mode, LPExtractingInfo, int32_t& result) {
    EXPECT_EQ(s, Engine);
    modes.push_back(mode);
    result = 5;
  };
  char log[64];
  ClearJournal();
  EXPECT_EQ(Engine->Command("t x", log, sizeof log), 0);
  EXPECT_EQ(Calls("unlha32", "SetOwnerWindow"), std::vector<std::string>{Hex(Engine->WindowHandle())});
  EXPECT_EQ(Calls("unlha32", "progress"), std::vector<std::string>{"result=5"});
  EXPECT_EQ(Calls("unlha32", "ClearOwnerWindow").size(), 1u);
  EXPECT_EQ(modes, std::vector<int32_t>{7});
  ASSERT_EQ(Calls("unlha32", "Command").size(), 2u);
  EXPECT_EQ(Calls("unlha32", "Command")[0], "owner=" + Hex(Form->GetHandle()) + " size=64 cmd=t x");

  // Without a handler the answer stays 0; a throwing handler reaches the
  // application's handler with the engine as sender.
  Engine->OnExtract = nullptr;
  ClearJournal();
  Engine->Command("t", log, sizeof log);
  EXPECT_EQ(Calls("unlha32", "progress"), std::vector<std::string>{"result=0"});
  TComponent* sender = nullptr;
  SetApplicationExceptionHandler([&](TComponent* s) { sender = s; });
  Engine->OnExtract = [](TArchiver*, int32_t, LPExtractingInfo, int32_t&) { throw 1; };
  Engine->Command("t", log, sizeof log);
  EXPECT_EQ(sender, Engine);
  SetApplicationExceptionHandler(nullptr);

  Engine->NoMessage = true;
  ClearJournal();
  Engine->Command("t", log, sizeof log);
  EXPECT_TRUE(Calls("unlha32", "SetOwnerWindow").empty());
}

TEST_F(BindingTest, LibraryWithoutClearOwnerWindowNeverGetsTheHiddenWindow) {
  Make("recorder-noclear");
  Engine->SetArcName(Scratch + "a.lzh");
  char log[16];
  EXPECT_EQ(Engine->Command("t", log, sizeof log), 0);
  EXPECT_TRUE(Calls("unlha32", "SetOwnerWindow").empty());
  EXPECT_EQ(Calls("unlha32", "Command").size(), 2u);
}

TEST_F(BindingTest, ModesArePushedAtBindingAndOnlyOnChange) {
  Make();
  const char* libs[] = {"unlha32", "unarj32j", "unzip32", "tar32", "cab32"};
  for (const char* l : libs) EXPECT_EQ(Calls(l, "SetBackGroundMode"), std::vector<std::string>{"0"}) << l;
  EXPECT_TRUE(Calls("bga32", "SetBackGroundMode").empty());
  ClearJournal();
  Engine->SetBackGround(false);
  Engine->SetCursor(false);
  EXPECT_TRUE(Lines().empty());
  Engine->SetBackGround(true);
  Engine->SetCursor(true);
  for (const char* l : libs) {
    EXPECT_EQ(Calls(l, "SetBackGroundMode"), std::vector<std::string>{"1"}) << l;
    EXPECT_EQ(Calls(l, "SetCursorMode"), std::vector<std::string>{"1"}) << l;
  }
}

TEST_F(BindingTest, GetRunningAsksTheLibraryOfTheFormat) {
  Rec("tar32", "RUNNING", "1");
  Make();
  Engine->SetMode(amGz);
  EXPECT_TRUE(Engine->GetRunning(false));
  Engine->SetMode(amLha);
  EXPECT_FALSE(Engine->GetRunning(false));
  Engine->SetMode(amRar);
  EXPECT_FALSE(Engine->GetRunning(false));
  RarBusy = true;
  EXPECT_TRUE(Engine->GetRunning(false));
  Engine->SetMode(amZip);
  EXPECT_FALSE(Engine->GetRunning(true));
  ZipBusy = true;
  EXPECT_TRUE(Engine->GetRunning(true));
  EXPECT_FALSE(Engine->GetRunning(false));
}

TEST_F(BindingTest, CanModifyAndIsLhaOrZip) {
  Make();
  struct {
    TArchiverMode m;
    bool modify, lhaOrZip;
  } cases[] = {{amLha, true, true}, {amZip, true, true},   {amBga, true, false}, {amArj, false, false},
               {amCab, false, false}, {amRar, false, false}, {amAuto, false, false}};
  for (auto& c : cases) {
    Engine->SetMode(c.m);
    EXPECT_EQ(Engine->CanModify(), c.modify) << c.m;
    EXPECT_EQ(Engine->IsLhaOrZip(), c.lhaOrZip) << c.m;
  }
}

TEST(EngineBaseDir, OneSingleByteBackslashIsDropped) {
  TArchiver a(nullptr);
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\out\\", "C:\\out"},
      {"C:\\out\\\\", "C:\\out\\"},
      {"C:\\out", "C:\\out"},
      {"C:\\ソ", "C:\\ソ"},  // ends in the trail byte 0x5C
      {"C:\\ソ\\", "C:\\ソ"},
      {"\\", ""},
      {"", ""},
  };
  ASSERT_EQ(std::string("ソ"), "\x83\x5C");
  for (auto& [in, out] : cases) {
    a.SetBaseDir(in);
    EXPECT_EQ(a.BaseDir(), out) << in;
  }
}

TEST_F(BindingTest, DestroyingOneEngineKeepsTheSharedListForTheOthers) {
  Make();
  auto* second = new TArchiver(Form);
  ASSERT_NE(ArcFileList, nullptr);
  delete Engine;
  Engine = nullptr;
  EXPECT_NE(ArcFileList, nullptr);
  delete second;
  EXPECT_EQ(ArcFileList, nullptr);
}

TEST_F(BindingTest, ClosingInsideTheLibrarysMessageLoopFreesItAfterTheCall) {
  Rec("unlha32", "PUMP", "1");
  Make();
  Engine->SetArcName(Scratch + "a.lzh");
  Engine->NoMessage = true;
  bool destroyed = false;
  Form->OnApp = [&] {
    delete Engine;
    Engine = nullptr;
    destroyed = true;
    // The library is still running this call: it must stay loaded.
    EXPECT_NE(GetModuleHandleA("unlha32.dll"), nullptr);
  };
  PostMessageA(Form->GetHandle(), WM_APP, 0, 0);
  TArchiver* a = Engine;
  TStringList names;
  names.Add("x");
  char log[32];
  a->Extract(names, log, sizeof log);  // the engine is gone when this returns
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Calls("unlha32", "Command").back(), "done");
  EXPECT_EQ(GetModuleHandleA("unlha32.dll"), nullptr);
  std::vector<std::string> lha;
  for (const std::string& l : Lines())
    if (l == "unlha32 Command done" || l == "unlha32 freed") lha.push_back(l);
  ASSERT_GE(lha.size(), 2u);
  EXPECT_EQ(lha[lha.size() - 2], "unlha32 Command done");
  EXPECT_EQ(lha.back(), "unlha32 freed");  // after the call, not inside it
}
