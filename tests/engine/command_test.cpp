// The command text each library receives, for every format and option
// combination, read back from the recording libraries' journal.
#include "engine_fixture.h"

namespace {

enum Op { X, P, D, T, M, S, U };

struct CmdCase {
  Op op;
  TArchiverMode mode;
  std::vector<TArchiverOption> options;
  int level;
  const char* expected;  // nullptr: the operation answers False and sends nothing
  const char* cabVersion = nullptr;
};

const char* Lib(TArchiverMode m) {
  switch (m) {
    case amLha: return "unlha32";
    case amArj: return "unarj32j";
    case amZip: return "unzip32";
    case amTar:
    case amGz: return "tar32";
    case amCab: return "cab32";
    case amBga: return "bga32";
    default: return "none";
  }
}

const char* ArcFor(TArchiverMode m) {
  switch (m) {
    case amLha: return R"(C:\w\a.lzh)";
    case amArj: return R"(C:\w\a.arj)";
    case amZip: return R"(C:\w\a.zip)";
    case amTar: return R"(C:\w\a.tar)";
    case amGz: return R"(C:\w\a.txt.gz)";
    case amCab: return R"(C:\w\a.cab)";
    case amBga: return R"(C:\w\a.gza)";
    default: return R"(C:\w\a.xyz)";
  }
}

}  // namespace

using CommandTest = EngineTest;

TEST_F(CommandTest, EachFormatGetsItsExactCommandText) {
  // Tails: archive, folder, names.
  const std::string L = R"("C:\w\a.lzh" "C:\out\" "a.txt" "d/*.*")";
  const std::string J = R"("C:\w\a.arj" "C:\out\" "a.txt" "d/*.*")";
  const std::string Z = R"("C:\w\a.zip" "C:\out\" "a.txt" "d/*.*")";
  const std::string R = R"("C:\w\a.tar" "C:\out\" "a.txt" "d/*.*")";
  const std::string C = R"("C:\w\a.cab" "C:\out\" "a.txt" "d/*.*")";
  const std::string B = R"("C:\w\a.gza" "C:\out\" "a.txt" "d/*.*")";
  std::vector<std::string> keep;  // owns the expected texts
  auto e = [&](const std::string& s) { return keep.emplace_back(s).c_str(); };
  keep.reserve(200);
  const CmdCase cases[] = {
      // Extraction.
      {X, amLha, {}, 0, e("x -c0 -p2 " + L)},
      {X, amLha, {ar_OverWrite}, 0, e("x -c1 -p2 " + L)},
      {X, amLha, {ar_NoFolder}, 0, e("e -c0 -p2 " + L)},
      {X, amLha, {ar_OverWrite, ar_NoFolder, ar_Silent, ar_Force, ar_All}, 0, e("e -c1 -p2 -n -y -y -a1 " + L)},
      {X, amLha, {ar_NoFolder, ar_NoRoot, ar_All}, 0, e("e -c0 -p2 -jf0 -a1 " + L)},
      {X, amArj, {}, 0, e("x -p1 -hk -a0 " + J)},
      {X, amArj, {ar_OverWrite, ar_NoFolder}, 0, e("e -c -p1 -hk -a0 " + J)},
      {X, amArj, {ar_OverWrite}, 0, e("x -c -p1 -hk -a0 " + J)},
      {X, amArj, {ar_NoFolder, ar_Silent, ar_Force, ar_All}, 0, e("e -p1 -hk -i -y " + J)},
      {X, amZip, {}, 0, e("-u " + Z)},
      {X, amZip, {ar_OverWrite, ar_NoFolder}, 0, e("-x -o -j " + Z)},
      {X, amZip, {ar_OverWrite}, 0, e("-x -o " + Z)},
      {X, amZip, {ar_NoFolder, ar_Silent, ar_Force}, 0, e("-u -j --i -o " + Z)},
      {X, amTar, {}, 0, e("-x " + R)},
      {X, amTar, {ar_NoFolder, ar_Silent}, 0, e("--display-dialog=0 --use-directory=0 -x " + R)},
      {X, amTar, {ar_Force, ar_All, ar_OverWrite}, 0, e("-x " + R)},
      {X, amGz, {}, 0, e(R"(-x "C:\w\a.txt.gz" "C:\out\")")},
      {X, amGz, {ar_NoFolder, ar_Silent}, 0, e(R"(--display-dialog=0 -x "C:\w\a.txt.gz" "C:\out\")")},
      {X, amCab, {}, 0, e("-x -n " + C)},
      {X, amCab, {ar_OverWrite, ar_NoFolder}, 0, e("-x -o -j " + C)},
      {X, amCab, {ar_NoFolder}, 0, e("-x -n -j " + C)},
      {X, amCab, {ar_OverWrite, ar_Silent, ar_Force, ar_Multi}, 0, e("-x -o -i -o -k " + C)},
      {X, amBga, {}, 0, e("x -n -r " + B)},
      {X, amBga, {ar_OverWrite, ar_NoFolder}, 0, e("x -j -o -r " + B)},
      {X, amBga, {ar_OverWrite}, 0, e("x -o -r " + B)},
      {X, amBga, {ar_NoFolder, ar_Silent, ar_Force, ar_All}, 0, e("x -j -n -r -i -o -a " + B)},
      {X, amAuto, {ar_Silent}, 0, nullptr},
      // Packing.
      {P, amLha, {}, 0, e("u -r2 -x1 -jm0 " + L)},
      {P, amLha, {}, 1, e("u -r2 -x1 " + L)},
      {P, amLha, {ar_OverWrite, ar_All, ar_Silent, ar_Date, ar_NoFolder}, 5, e("a -r2 -a1 -n -t1 -jm2 " + L)},
      {P, amLha, {}, 6, e("u -r2 -x1 -jm3 " + L)},
      {P, amLha, {}, 7, e("u -r2 -x1 -jm4 " + L)},
      {P, amTar, {ar_NoFolder, ar_Silent}, 0, e("--use-directory=0 --display-dialog=0 -c  " + R)},
      {P, amTar, {ar_BZ2}, 9, e("-c -B9 " + R)},
      {P, amTar, {ar_OverWrite}, 3, e("-c -z3 " + R)},
      {P, amGz, {ar_NoFolder}, 0, e(R"(-c -G  "C:\w\a.txt.gz" "C:\out\a.txt")")},
      {P, amGz, {ar_BZ2, ar_Silent}, 9, e(R"(--display-dialog=0 -c -G -B9 "C:\w\a.txt.gz" "C:\out\a.txt")")},
      {P, amCab, {}, 15, e("-a -r -g -ml:15 " + C)},
      {P, amCab, {}, 22, e("-a -r -g -mz " + C)},
      {P, amCab, {ar_All}, 0, e("-a -r -mz " + C)},
      {P, amCab, {ar_Silent, ar_Multi}, 21, e("-a -r -g -i -ml:21 -v:1423 " + C)},
      {P, amCab, {}, 14, e("-a -r -mz " + C), "92"},
      {P, amBga, {}, 0, e("a -n -r -m1 -l0 " + B)},
      {P, amBga, {ar_OverWrite, ar_All, ar_Silent, ar_BZ2}, 9, e("a -r -a -i -m2 -l9 " + B)},
      {P, amArj, {}, 0, nullptr},
      {P, amRar, {}, 0, nullptr},
      {P, amAuto, {}, 0, nullptr},
      // Deleting.
      {D, amLha, {}, 0, e(R"(d -r1 "C:\w\a.lzh" "a.txt" "d/*.*")")},
      {D, amLha, {ar_DelPath, ar_Date}, 0, e(R"(d -p -t1 "C:\w\a.lzh" "a.txt" "d/*.*")")},
      {D, amBga, {}, 0, e(R"(d -r "C:\w\a.gza" "a.txt" "d/*.*")")},
      {D, amBga, {ar_DelPath}, 0, e(R"(d "C:\w\a.gza" "a.txt" "d/*.*")")},
      {D, amTar, {}, 0, nullptr},
      {D, amCab, {}, 0, nullptr},
      // Testing.
      {T, amLha, {}, 0, e(R"(t "C:\w\a.lzh")")},
      {T, amArj, {}, 0, e(R"(t -hk "C:\w\a.arj")")},
      {T, amZip, {}, 0, e(R"(-t "C:\w\a.zip")")},
      {T, amTar, {}, 0, e(R"(-t "C:\w\a.tar")")},
      {T, amCab, {}, 0, e(R"(-t "C:\w\a.cab")")},
      {T, amBga, {}, 0, e(R"(t "C:\w\a.gza")")},
      {T, amGz, {}, 0, nullptr},
      {T, amRar, {}, 0, nullptr},
      {T, amAuto, {}, 0, nullptr},
      // One entry to memory.
      {M, amLha, {}, 0, e(R"("C:\w\a.lzh" "d/x.txt")")},
      {M, amLha, {ar_Silent}, 0, e(R"(-n "C:\w\a.lzh" "d/x.txt")")},
      {M, amZip, {ar_Silent}, 0, e(R"(--i "C:\w\a.zip" "d/x.txt")")},
      {M, amArj, {}, 0, e(R"(p -hk "C:\w\a.arj" "d/x.txt")")},
      {M, amArj, {ar_Silent}, 0, e(R"(p -hk -i "C:\w\a.arj" "d/x.txt")")},
      {M, amTar, {ar_Silent}, 0, e(R"(--display-dialog=0 -x -p "C:\w\a.tar" "d/x.txt")")},
      {M, amGz, {}, 0, e(R"(-x -p "C:\w\a.txt.gz" "d/x.txt")")},
      {M, amCab, {}, 0, nullptr},
      {M, amBga, {}, 0, nullptr},
      // Self-extractors and back.
      {S, amLha, {}, 0, e(R"(s -gw -m1 -x1 "C:\w\a.lzh" "C:\out\" *.*)")},
      {S, amLha, {ar_SFX32M, ar_Date, ar_NoFolder}, 0, e(R"(s -gw3 -m1 -t1 "C:\w\a.lzh" "C:\out\" *.*)")},
      {S, amBga, {}, 0, e(R"(s "C:\w\a.gza" "C:\out\")")},
      {S, amCab, {}, 0, e(R"(-f "C:\w\a.cab" "C:\out\")")},
      {S, amTar, {}, 0, nullptr},
      {U, amLha, {}, 0, e(R"(j "C:\out\a.lzh" "C:\w\a.lzh")")},
      {U, amLha, {ar_Date}, 0, e(R"(j -t1 "C:\out\a.lzh" "C:\w\a.lzh")")},
      {U, amBga, {}, 0, nullptr},
  };
  std::string boundCab = "-";
  for (const CmdCase& c : cases) {
    SCOPED_TRACE(std::string("op ") + "XPDTMSU"[c.op] + " mode " + std::to_string(c.mode) + " level " +
                 std::to_string(c.level) + " -> " + (c.expected ? c.expected : "(nothing)"));
    // One binding serves every case but those with another CAB version.
    if (boundCab != (c.cabVersion ? c.cabVersion : "")) {
      delete Engine;
      boundCab = c.cabVersion ? c.cabVersion : "";
      Rec("cab32", "VERSION", boundCab);
      Make();
    }
    Engine->SetMode(amAuto);
    Engine->ArcOptions = {};
    Engine->SetArcName(ArcFor(c.mode));
    if (c.mode == amRar) Engine->SetMode(amRar);
    ASSERT_EQ(Engine->ArcMode(), c.mode);
    Engine->SetBaseDir(R"(C:\out\)");
    Engine->Level = c.level;
    for (TArchiverOption o : c.options) Engine->ArcOptions.Include(o);
    TStringList names;
    names.Add("a.txt");
    names.Add("d/*.*");
    char log[256];
    uint8_t mem[64];
    std::string out;
    ClearJournal();
    bool ok = false;
    switch (c.op) {
      case X: ok = Engine->Extract(names, log, sizeof log); break;
      case P: ok = Engine->Pack(names, log, sizeof log); break;
      case D: ok = Engine->DeleteFiles(names, log, sizeof log); break;
      case T: ok = Engine->TestArchive(log, sizeof log); break;
      case M: ok = Engine->ExtractToMem("d/x.txt", mem, sizeof mem); break;
      case S: ok = Engine->MakeSfx(out, log, sizeof log); break;
      case U: ok = Engine->SfxToArchive(out, log, sizeof log); break;
    }
    if (c.expected) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(LastCmd(Lib(c.mode)), c.expected);
    } else {
      EXPECT_FALSE(ok);
      for (const std::string& l : Lines()) EXPECT_EQ(l.find(" cmd="), std::string::npos) << l;
    }
    if (c.op == P && c.mode == amCab && c.level == 21) {
      EXPECT_EQ(Engine->ArcName(), R"(C:\w\a01.cab)");
    }
    if ((c.op == S || c.op == U) && c.expected) {
      EXPECT_EQ(Engine->OutName(), out);
    }
  }
}

TEST_F(CommandTest, LibraryAnswersAndTheOutputBufferPassThrough) {
  Make();
  Engine->SetArcName(Scratch + "a.lzh");
  TStringList names;
  names.Add("a");
  // A log longer than the buffer: the library gets the buffer's size and
  // never writes past it.
  Rec("unlha32", "LOG", std::string(100, 'L'));
  char log[33];
  std::memset(log, 'Z', sizeof log);
  EXPECT_TRUE(Engine->Extract(names, log, 32));
  EXPECT_NE(Calls("unlha32", "Command")[0].find("size=32 "), std::string::npos);
  EXPECT_EQ(std::string(log), std::string(31, 'L'));
  EXPECT_EQ(log[32], 'Z');
  // A failing library is a False answer with its log kept.
  Rec("unlha32", "RC", "32778");
  Rec("unlha32", "LOG", "a.txt: no such entry");
  EXPECT_FALSE(Engine->Extract(names, log, 32));
  EXPECT_STREQ(log, "a.txt: no such entry");
  EXPECT_EQ(Engine->Command("x", log, 32), 32778);
}

TEST_F(CommandTest, ExtractToMemServesTheEntryBytes) {
  Rec("unlha32", "MEM", "hello");
  Rec("tar32", "MEM", "tarred");
  Make();
  Engine->SetArcName(Scratch + "a.lzh");
  uint8_t buf[4] = {};
  EXPECT_TRUE(Engine->ExtractToMem("x", buf, sizeof buf));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "hell");
  uint32_t written = 0;
  uint8_t big[16] = {};
  EXPECT_EQ(Engine->ExtractMem("\"a\" \"x\"", big, sizeof big, &written), 0);
  EXPECT_EQ(written, 5u);
  Engine->SetArcName(Scratch + "a.tar");
  char t[16] = {};
  EXPECT_TRUE(Engine->ExtractToMem("x", reinterpret_cast<uint8_t*>(t), sizeof t));
  EXPECT_STREQ(t, "tarred");
  Engine->SetArcName(Scratch + "a.cab");
  EXPECT_EQ(Engine->ExtractMem("x", big, sizeof big, nullptr), -1);
}

TEST_F(CommandTest, ZipPackingSetsThePackingOptions) {
  Make();
  WriteFile(Scratch + "old.zip", "PK");
  struct {
    std::string arc;
    std::vector<TArchiverOption> options;
    int level;
    std::string expected;
  } cases[] = {
      {Scratch + "new.zip", {}, 0, "encrypt=0 system=0 nodirs=-1 junkdir=0 delete=0 update=0 junksfx=0 latest=0 offsets=0 recurse=1 level=0"},
      {Scratch + "new.zip", {}, 10, "encrypt=0 system=0 nodirs=-1 junkdir=0 delete=0 update=0 junksfx=0 latest=0 offsets=0 recurse=1 level=0"},
      {Scratch + "old.zip", {}, 9, "encrypt=0 system=0 nodirs=-1 junkdir=0 delete=0 update=-1 junksfx=0 latest=0 offsets=0 recurse=1 level=9"},
      {Scratch + "old.zip", {ar_OverWrite, ar_NoFolder, ar_All, ar_Date, ar_Passwd}, 3,
       "encrypt=-1 system=-1 nodirs=-1 junkdir=-1 delete=0 update=0 junksfx=0 latest=-1 offsets=0 recurse=1 level=3"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.expected);
    Engine->SetArcName(c.arc);
    Engine->SetBaseDir(Scratch + "src");
    Engine->Level = c.level;
    Engine->ArcOptions = {};
    for (auto o : c.options) Engine->ArcOptions.Include(o);
    Engine->ArcOptions.Include(ar_Silent);
    TStringList names;
    names.Add("a.txt");
    names.Add("b/c.txt");
    char log[64];
    ClearJournal();
    {
      // The password box asks twice when packing: typed into both fields.
      std::unique_ptr<Beside> probe;
      if (Engine->ArcOptions.Contains(ar_Passwd))
        probe = std::make_unique<Beside>(std::vector<std::string>{"dialog", "パスワードの入力", "type", "0", "pw1", "type",
                                                                  "1", "pw1", "click", "OK"});
      EXPECT_TRUE(Engine->Pack(names, log, sizeof log));
      if (probe) EXPECT_TRUE(probe->Done()) << probe->Output;
    }
    ASSERT_EQ(Calls("zip32", "ZpSetOptions").size(), 1u);
    EXPECT_EQ(Calls("zip32", "ZpSetOptions")[0], "root=" + Scratch + "src " + c.expected);
    EXPECT_EQ(Calls("zip32", "ZpArchive"), std::vector<std::string>{"argc=2 zip=" + c.arc + " names=[a.txt,b/c.txt]"});
    EXPECT_EQ(Calls("zip32", "ZpInit"), std::vector<std::string>{"print=1 comment=1 password=1 service=1"});
    if (Engine->ArcOptions.Contains(ar_Passwd)) {
      EXPECT_EQ(Calls("zip32", "password"), std::vector<std::string>{"rc=0 pw=pw1"});
    }
  }
  // Deleting: only the delete flag and the date.
  Engine->ArcOptions = {ar_Date, ar_Silent};
  TStringList names;
  names.Add("a.txt");
  char log[64];
  ClearJournal();
  EXPECT_TRUE(Engine->DeleteFiles(names, log, sizeof log));
  EXPECT_NE(Calls("zip32", "ZpSetOptions")[0].find("delete=-1 update=0 junksfx=0 latest=-1 offsets=0 recurse=0 level=6"),
            std::string::npos);
  // A busy zip32 is not entered.
  ZipBusy = true;
  EXPECT_FALSE(Engine->DeleteFiles(names, log, sizeof log));
}
