// The main window's start-up pieces: the command-line grammar, path
// normalisation, the open-or-pack decision, the clipboard list and the
// settings store with the real window object.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <shlwapi.h>

#include <cstdlib>
#include <map>
#include <set>

#include "Registry.h"
#include "cmdline.h"
#include "main.h"

namespace {

std::string TempDir() {
  char buf[MAX_PATH];
  GetTempPathA(MAX_PATH, buf);
  // A name of 8.3 form: it has no short alias of its own, so the short
  // names below it cannot meet another test's folder of a similar name.
  char name[16];
  std::snprintf(name, sizeof name, "TM%06lX", GetCurrentProcessId() & 0xFFFFFFUL);
  std::string d = std::string(buf) + name;
  CreateDirectoryA(d.c_str(), nullptr);
  return d;
}

void Touch(const std::string& p) {
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << p;
  CloseHandle(h);
}

std::vector<std::string> Tokens(const std::string& s) { return SplitCommandLine(s); }

}  // namespace

TEST(CommandLineGrammar, SplitsLikeTheProgramsOwnCommandLine) {
  const std::string longName(300, 'x');
  struct Case {
    std::string text;
    std::vector<std::string> want;
  } cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\t.exe\" \"a b.lzh\"", {"C:\\Program Files\\t.exe", "a b.lzh"}},
      {"prog \"\" x", {"prog", "x"}},
      {"prog \"\"\"\" x", {"prog", "x"}},
      {"prog\ta\t\tb", {"prog", "a", "b"}},
      {"prog ab\"c d\"e", {"prog", "abc de"}},
      {"prog \"unclosed tail", {"prog", "unclosed tail"}},
      {"prog \x01\x1f z", {"prog", "z"}},
      // The second byte of these characters is 0x5C, the path separator.
      {"prog \"C:\\ソフト\\表.lzh\" 能", {"prog", "C:\\ソフト\\表.lzh", "能"}},
      {"prog \"C:\\ソ\" next", {"prog", "C:\\ソ", "next"}},
      // No backslash escapes: a quoted folder may end in a separator.
      {"prog \"C:\\dir\\\" x", {"prog", "C:\\dir\\", "x"}},
      {"prog C:\\" + longName + ".lzh", {"prog", std::string("C:\\") + longName + ".lzh"}},
      {"   ", {}},
      {"", {}},
  };
  for (auto& c : cases) EXPECT_EQ(Tokens(c.text), c.want) << c.text;
}

TEST(CommandLineGrammar, TokenPositionStopsAtTheBlankBehindIt) {
  std::string t;
  const char* text = "\"a b\"  rest";
  const char* p = SplitMacroToken(text, t);
  EXPECT_EQ(t, "a b");
  EXPECT_EQ(p - text, 5);
}

TEST(ArchiveExtension, OpensArchivesAndExeOnlyWithShift) {
  struct Case {
    const char* path;
    bool shift;
    bool want;
  } cases[] = {
      {"a.lzh", false, true},        {"A.LZH", false, true},   {"a.lzh", true, false},
      {"x.tgz", false, true},        {"x.taz", false, true},   {"x.gz", false, true},
      {"x.Z", false, true},          {"x.bz2", false, true},   {"x.rar", false, true},
      {"x.cab", false, true},        {"x.gza", false, true},   {"x.bza", false, true},
      {"setup.exe", false, false},   {"setup.exe", true, true}, {"readme.txt", false, false},
      {"noext", false, false},       {"dir.lzh\\file", false, false},
      {"C:\\ソ\\a.zip", false, true},
  };
  for (auto& c : cases) EXPECT_EQ(IsArchiveExtension(c.path, c.shift), c.want) << c.path << " shift=" << c.shift;
}

TEST(LongPath, ExpandsShortNamesAndDropsMissingPaths) {
  std::string dir = TempDir() + "\\Long Folder Name";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string file = dir + "\\a rather long file name.txt";
  Touch(file);
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);
  EXPECT_EQ(ExpandLongPath(shortPath), file);
  EXPECT_EQ(ExpandLongPath(file), file);
  EXPECT_EQ(ExpandLongPath(dir + "\\"), dir);
  EXPECT_EQ(ExpandLongPath(dir + "\\missing.txt"), "");
  EXPECT_EQ(ExpandLongPath(dir + "\\*.txt"), "") << "a wildcard names no one file";
  EXPECT_EQ(ExpandLongPath(""), "");
  // Through a folder whose name ends in the byte 0x5C (表): the folders above
  // it get their long names too.
  std::string hyo = dir + "\\資料表";
  CreateDirectoryA(hyo.c_str(), nullptr);
  Touch(hyo + "\\a rather long file name.txt");
  char shortHyo[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA((hyo + "\\a rather long file name.txt").c_str(), shortHyo, MAX_PATH), 0u);
  EXPECT_EQ(ExpandLongPath(shortHyo), hyo + "\\a rather long file name.txt") << shortHyo;
  // A system folder is not reported by the folder search: it and the
  // folders above it stay as written instead of dropping out.
  std::string sys = dir + "\\System Folder";
  CreateDirectoryA(sys.c_str(), nullptr);
  Touch(sys + "\\f.txt");
  SetFileAttributesA(sys.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_EQ(FindLongName(sys, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY), "");
  EXPECT_EQ(ExpandLongPath(sys + "\\f.txt"), sys + "\\f.txt");
  SetFileAttributesA(sys.c_str(), FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
bool NoShift(const std::string& p) { return IsArchiveExtension(p, false); }
bool Shift(const std::string& p) { return IsArchiveExtension(p, true); }

struct Decision : ::testing::Test {
  std::string dir = TempDir() + "\\decide";
  void SetUp() override {
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\folder.zip").c_str(), nullptr);
    for (const char* n : {"a.lzh", "b.txt", "c.exe"}) Touch(dir + "\\" + n);
  }
  std::string P(const char* n) { return dir + "\\" + n; }
  void Clip(const std::vector<std::string>& paths) {
    TStringList l;
    for (auto& p : paths) l.Add(p);
    ASSERT_TRUE(WriteClipboardFileList(l));
  }
};
}  // namespace

TEST_F(Decision, OpensOneArchivePacksTheRest) {
  struct Case {
    std::vector<std::string> args;
    TArchiveTest test;
    TStartKind want;
    size_t pending;
  } cases[] = {
      {{P("a.lzh")}, NoShift, skOpen, 1},
      {{P("a.lzh")}, Shift, skPack, 1},
      {{P("c.exe")}, NoShift, skPack, 1},
      {{P("c.exe")}, Shift, skOpen, 1},
      {{P("missing.lzh")}, NoShift, skNone, 0},
      {{P("a.lzh"), P("b.txt")}, NoShift, skPack, 2},
      {{P("folder.zip")}, NoShift, skPack, 1},
      {{"/c"}, NoShift, skNone, 0},
      {{}, NoShift, skNone, 0},
  };
  for (auto& c : cases) {
    TStringList pending;
    std::string archive;
    EXPECT_EQ(CommandLineRequest(c.args, pending, c.test, archive), c.want) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(static_cast<size_t>(pending.Count()), c.pending);
    if (c.want == skOpen) {
      EXPECT_EQ(archive, c.args[0]);
    }
  }
}

TEST_F(Decision, RelativePathsAreTakenInTheWorkingFolder) {
  char old[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old);
  SetCurrentDirectoryA(dir.c_str());
  TStringList pending;
  std::string archive;
  EXPECT_EQ(CommandLineRequest({"a.lzh"}, pending, NoShift, archive), skOpen);
  EXPECT_EQ(archive, P("a.lzh"));
  std::string macro = ForwardMacro("\"C:\\t\\tovix.exe\" a.lzh /C sub\\x");
  EXPECT_EQ(macro, std::string("\"C:\\t\\tovix.exe\" \"") + P("a.lzh") + "\" /C \"" + P("sub\\x") + "\"");
  SetCurrentDirectoryA(old);
}

TEST_F(Decision, ClipboardListForALoneSwitch) {
  TStringList pending;
  std::string archive;
  Clip({P("a.lzh"), P("b.txt")});
  EXPECT_EQ(CommandLineRequest({"/C"}, pending, NoShift, archive), skPack);
  EXPECT_EQ(pending.Count(), 2);
  Clip({P("a.lzh")});
  EXPECT_EQ(CommandLineRequest({"/C"}, pending, NoShift, archive), skOpen);
  EXPECT_EQ(archive, P("a.lzh"));
  // With other arguments the switch is a path that does not exist.
  EXPECT_EQ(CommandLineRequest({"/C", P("b.txt")}, pending, NoShift, archive), skPack);
  EXPECT_EQ(pending.Count(), 1);
}

TEST_F(Decision, MacroSkipsTheProgramAndHandsNoEmptyOrSwitchEntries) {
  TStringList pending;
  std::string archive;
  EXPECT_EQ(MacroRequest("\"C:\\Program Files\\tovix.exe\"", pending, NoShift, archive), skNone);
  EXPECT_EQ(MacroRequest(std::string("\"C:\\Program Files\\tovix.exe\" \"") + P("a.lzh") + "\"", pending, NoShift, archive), skOpen);
  EXPECT_EQ(archive, P("a.lzh"));
  EXPECT_EQ(MacroRequest(std::string("tovix ") + P("missing.txt") + " " + P("b.txt"), pending, NoShift, archive), skPack);
  ASSERT_EQ(pending.Count(), 1);
  EXPECT_EQ(pending[0], P("b.txt"));
  EXPECT_EQ(MacroRequest(std::string("tovix /C ") + P("b.txt"), pending, NoShift, archive), skPack);
  ASSERT_EQ(pending.Count(), 1);
  EXPECT_EQ(pending[0], P("b.txt"));
  Clip({P("b.txt"), P("c.exe")});
  EXPECT_EQ(MacroRequest("tovix /C", pending, NoShift, archive), skPack);
  EXPECT_EQ(pending.Count(), 2);
}

// A legal path longer than 256 bytes, and folder and file names whose
// second bytes are 0x5C, come through both paths whole.
TEST_F(Decision, LongAndDoubleBytePathsComeThroughWhole) {
  std::string sub = dir + "\\" + std::string(251 - dir.size(), 'L');
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::string longArc = sub + "\\a.lzh";
  ASSERT_EQ(longArc.size(), 258u);
  Touch(longArc);
  std::string soft = dir + "\\ソフト";
  CreateDirectoryA(soft.c_str(), nullptr);
  const std::string dbcsArc = soft + "\\表.lzh";
  Touch(dbcsArc);
  for (const std::string& path : {longArc, dbcsArc}) {
    TStringList pending;
    std::string archive;
    auto args = SplitCommandLine("tovix \"" + path + "\"");
    args.erase(args.begin());
    EXPECT_EQ(CommandLineRequest(args, pending, NoShift, archive), skOpen) << path;
    EXPECT_EQ(archive, path);
    EXPECT_EQ(MacroRequest(ForwardMacro("tovix " + path), pending, NoShift, archive), skOpen) << path;
    EXPECT_EQ(archive, path);
  }
  DeleteFileA(longArc.c_str());
  RemoveDirectoryA(sub.c_str());
}

TEST(ClipboardList, ReadsNoFurtherThanTheBlock) {
  TStringList l;
  const char unterminated[] = {'a', '\r', '\n', 'b', 'X', 'Y'};
  ClipboardTextToList(unterminated, 4, l);
  EXPECT_EQ(l.Items(), (std::vector<std::string>{"a", "b"}));
  const char mixed[] = "p1\rp2\np3\r\n\0junk";
  ClipboardTextToList(mixed, sizeof mixed, l);
  EXPECT_EQ(l.Items(), (std::vector<std::string>{"p1", "p2", "p3"}));
}

TEST(CommaText, ReadsAndWritesTheClassLibraryForm) {
  TStringList l;
  l.SetCommaText("a b,\"c d\",,e \"x\"\"y\"");
  EXPECT_EQ(l.Items(), (std::vector<std::string>{"a", "b", "c d", "", "e", "x\"y"}));
  TStringList w;
  for (const char* s : {".jpg", "C:\\Program Files\\p.spi", "q\"t", "a,b"}) w.Add(s);
  TStringList back;
  back.SetCommaText(w.GetCommaText());
  EXPECT_EQ(back.Items(), w.Items());
}

TEST(SettingsStore, OddValuesGiveTheDefault) {
  const std::string key = "software\\halvek\\TovixStoreTest";
  SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  {
    TRegIniFile ini(key);
    ini.WriteString("S", "junk", "12abc");
    ini.WriteString("S", "empty", "");
    ini.WriteString("S", "two", "2");
    ini.WriteString("S", "neg", "-7");
    ini.WriteString("S", "huge", "99999999999");
    HKEY sub;
    RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\S").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
    DWORD v = 5;
    RegSetValueExA(sub, "dword", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v);
    RegCloseKey(sub);
  }
  TRegIniFile ini(key);
  EXPECT_EQ(ini.ReadInteger("S", "junk", 4), 4);
  EXPECT_EQ(ini.ReadInteger("S", "empty", 4), 4);
  EXPECT_EQ(ini.ReadInteger("S", "neg", 4), -7);
  EXPECT_EQ(ini.ReadInteger("S", "huge", 4), 4);
  EXPECT_EQ(ini.ReadInteger("S", "dword", 4), 4);
  EXPECT_EQ(ini.ReadInteger("Missing", "x", 4), 4);
  EXPECT_TRUE(ini.ReadBool("S", "two", false));
  EXPECT_FALSE(ini.ReadBool("S", "junk", false));
  int c = 0;
  EXPECT_TRUE(TryStrToIntHex("$80000005", c));
  EXPECT_EQ(static_cast<unsigned>(c), 0x80000005u);
  EXPECT_TRUE(TryStrToIntHex("255", c));
  EXPECT_EQ(c, 255);
  EXPECT_FALSE(TryStrToIntHex("$ZZ", c));
  EXPECT_FALSE(TryStrToIntHex("$123456789", c));
  SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

// One object reads a section that is not there yet, writes it, reads again.
TEST(SettingsStore, ASectionWrittenAfterAMissedReadIsReadBack) {
  const std::string key = "software\\halvek\\TovixStoreTest";
  SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  {
    TRegIniFile ini(key);
    EXPECT_EQ(ini.ReadString("Later", "a", "none"), "none");
    EXPECT_FALSE(ini.ValueExists("Later", "a"));
    ini.WriteString("Later", "a", "here");
    EXPECT_EQ(ini.ReadString("Later", "a", "none"), "here");
    EXPECT_TRUE(ini.EraseSection("Later"));
    EXPECT_EQ(ini.ReadString("Later", "a", "none"), "none");
    ini.WriteInteger("Later", "b", 3);
    EXPECT_EQ(ini.ReadInteger("Later", "b", 0), 3);
  }
  SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

namespace {

// The program's own settings key: the suite takes its turn on the desktop, so
// no other test shares it.
const char kTestKey[] = "software\\halvek\\Tovix";

// The real main window over a settings key of its own.
struct MainWindow : ::testing::Test {
  static TVantrelbyHalvek* form;
  static void SetUpTestSuite() {
    auto* app = new TApplication;
    app->Initialize();
    app->SetTitle("Tovix");
    form = new TVantrelbyHalvek(app);
  }
  static void TearDownTestSuite() {
    delete Application;
    form = nullptr;
  }
  void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }
  std::map<std::string, std::string> Stored() {
    std::map<std::string, std::string> r;
    HKEY root;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &root) != ERROR_SUCCESS) return r;
    char sec[256];
    for (DWORD i = 0;; ++i) {
      DWORD n = sizeof sec;
      if (RegEnumKeyExA(root, i, sec, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY s;
      RegOpenKeyExA(root, sec, 0, KEY_READ, &s);
      for (DWORD k = 0;; ++k) {
        char name[256];
        BYTE data[2048];
        DWORD nn = sizeof name, dn = sizeof data, type = 0;
        if (RegEnumValueA(s, k, name, &nn, nullptr, &type, data, &dn) != ERROR_SUCCESS) break;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << sec << "\\" << name;
        r[std::string(sec) + "\\" + name] = reinterpret_cast<char*>(data);
      }
      RegCloseKey(s);
    }
    RegCloseKey(root);
    return r;
  }
  void Put(const char* section, const char* ident, const std::string& v) {
    TRegIniFile ini(kTestKey);
    ini.WriteString(section, ident, v);
  }
};
TVantrelbyHalvek* MainWindow::form = nullptr;

}  // namespace

// Every value a save writes, with the defaults of an empty store.
static const std::map<std::string, std::string>& DefaultStore() {
  static const std::map<std::string, std::string> want = {
      {"Pos\\Top", "0"}, {"Pos\\Left", "0"}, {"Pos\\Height", "400"}, {"Pos\\Width", "600"}, {"Pos\\FWidth", "210"},
      {"Pos\\ToolBar", "1"}, {"Pos\\StatusBar", "1"}, {"Pos\\SaveFolder", "1"}, {"Pos\\ToolBarSet", ""},
      {"List\\ReportMode", "1"}, {"List\\AutoSize", "0"}, {"List\\NameWidth", "100"}, {"List\\SizeWidth", "80"},
      {"List\\DateWidth", "104"}, {"List\\RateWidth", "48"}, {"List\\ModeWidth", "40"},
      {"List\\Color", "$80000005"}, {"List\\ViewProg", "notepad"},
      {"Font\\Name", "ＭＳ Ｐゴシック"}, {"Font\\Size", "9"}, {"Font\\Style", "0"}, {"Font\\Color", "$00000000"},
      {"UnPack\\UnPackFolder", "1"}, {"UnPack\\NoTimeCheck", "0"}, {"UnPack\\MakeFolder", "0"},
      {"UnPack\\DelFolderNum", "1"}, {"UnPack\\All", "1"}, {"UnPack\\OpenFolder", "0"},
      {"UnPack\\FileNoFolder", "1"}, {"UnPack\\HideDlg", "0"}, {"UnPack\\TarAttr", "0"}, {"UnPack\\ExDir", ""},
      {"UnPack\\DefFolder", ""}, {"UnPack\\ArcFolder", "1"},
      {"Pack\\PackStyle", "5"}, {"Pack\\PackFolder", "1"}, {"Pack\\NoTimeCheck", "0"}, {"Pack\\All", "1"},
      {"Pack\\SetDate", "0"}, {"Pack\\Exit", "0"}, {"Pack\\AddFolder", "1"}, {"Pack\\AutoStyle", "1"},
      {"Pack\\Zip", "6"}, {"Pack\\CabStyle", "0"}, {"Pack\\CabLevel", "15"}, {"Pack\\CabMkBat", "0"},
      {"Pack\\Sort", "0"}, {"Pack\\HideDlg", "0"}, {"Pack\\TGZ", "0"}, {"Pack\\IZip", "6"}, {"Pack\\lh0", "0"},
      {"Pack\\DefFolder", ""}, {"Pack\\ArcFolder", "1"}, {"Pack\\Filter", "1"},
      {"Other\\LzhDelete", "0"}, {"Other\\ExeDelete", "0"}, {"Other\\Expand", "1"}, {"Other\\2Err", "0"},
      {"Other\\wrap", "0"}, {"Other\\icon", "0"},
      {"Search\\Folder1", ""}, {"Search\\Folder2", ""}, {"Search\\Folder3", ""}, {"Search\\Folder4", ""},
      {"Search\\Folder5", ""}, {"Search\\Flag", "1"},
      {"Old\\Arc1", ""}, {"Old\\Arc2", ""}, {"Old\\Arc3", ""}, {"Old\\Arc4", ""}, {"Old\\Arc5", ""},
      {"Ext\\Text", ".txt,.doc,.pas,.dpr,.c,.h,.cpp,.rtf,.htm,.html"}, {"Ext\\Grph", "0"},
  };
  return want;
}

TEST_F(MainWindow, EmptyStoreLoadsAndSavesTheDefaults) {
  form->ReadSettings();
  form->SaveSettings();
  EXPECT_EQ(Stored(), DefaultStore());
}

TEST_F(MainWindow, OddStoredValuesGiveDefaultsOrClamp) {
  struct Odd {
    const char *section, *ident, *stored, *saved;
  } table[] = {
      {"Pos", "Width", "abc", "600"},        {"Pos", "Height", "-5", "400"},
      {"Pos", "ToolBar", "2", "1"},          {"Pos", "FWidth", "x", "210"},
      {"List", "NameWidth", "-1", "100"},    {"List", "ReportMode", "yes", "1"},
      {"List", "Color", "junk", "$80000005"}, {"List", "Color", "$ZZZZ", "$80000005"},
      {"List", "Color", "$00FF0000", "$00FF0000"}, {"Font", "Color", "$1234567890", "$00000000"},
      {"Font", "Style", "5", "0"},           {"Font", "Style", "3", "3"},
      {"Font", "Size", "0", "9"},            {"Pack", "PackStyle", "9", "5"},
      {"Pack", "PackStyle", "7", "7"},       {"Pack", "AutoStyle", "0", "1"},
      {"Pack", "Zip", "42", "6"},            {"Pack", "CabLevel", "3", "15"},
      {"Pack", "Filter", "99", "1"},         {"Ext", "Grph", "-3", "0"},
      // Each ranged value at both ends and one past them.
      {"Pack", "PackStyle", "5", "5"},       {"Pack", "PackStyle", "4", "5"},
      {"Pack", "PackStyle", "8", "5"},       {"Pack", "AutoStyle", "2", "2"},
      {"Pack", "AutoStyle", "3", "1"},       {"Pack", "Zip", "1", "1"},
      {"Pack", "Zip", "9", "9"},             {"Pack", "Zip", "0", "6"},
      {"Pack", "Zip", "10", "6"},            {"Pack", "CabStyle", "1", "1"},
      {"Pack", "CabStyle", "2", "0"},        {"Pack", "CabStyle", "-1", "0"},
      {"Pack", "CabLevel", "21", "21"},      {"Pack", "CabLevel", "22", "15"},
      {"Pack", "IZip", "0", "0"},            {"Pack", "IZip", "9", "9"},
      {"Pack", "IZip", "10", "6"},           {"Pack", "IZip", "-1", "6"},
      {"Pack", "Filter", "11", "11"},        {"Pack", "Filter", "0", "1"},
      {"Other", "2Err", "7", "1"},           {"UnPack", "TarAttr", "x", "0"},
  };
  for (auto& o : table) {
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    Put(o.section, o.ident, o.stored);
    form->ReadSettings();
    form->SaveSettings();
    EXPECT_EQ(Stored()[std::string(o.section) + "\\" + o.ident], o.saved) << o.section << "\\" << o.ident << "=" << o.stored;
  }
}

TEST_F(MainWindow, PicturePluginsRoundTrip) {
  Put("Ext", "Grph", "3");
  Put("Ext", "G0", ".jpg,.jpeg,C:\\plug\\jpeg.spi");
  Put("Ext", "G1", ".png,\"C:\\Program Files\\png.spi\"");
  Put("Ext", "G2", "lonely");
  form->ReadSettings();
  EXPECT_EQ(ImageExtensions->Items(), (std::vector<std::string>{".bmp", ".ico", ".jpg", ".jpeg", ".png"}));
  EXPECT_EQ(ImagePlugins->Items(),
            (std::vector<std::string>{"C:\\plug\\jpeg.spi", "C:\\plug\\jpeg.spi", "C:\\Program Files\\png.spi"}));
  form->SaveSettings();
  auto s = Stored();
  EXPECT_EQ(s["Ext\\Grph"], "2");
  EXPECT_EQ(s["Ext\\G0"], ".jpg,.jpeg,C:\\plug\\jpeg.spi");
  form->ReadSettings();
  EXPECT_EQ(ImagePlugins->Count(), 3);
  EXPECT_EQ((*ImagePlugins)[2], "C:\\Program Files\\png.spi") << "a path with a blank reads back whole";
}

// Another instance changed every value: each reload takes exactly its own
// values and this instance keeps the rest.
TEST_F(MainWindow, ReloadsTakeOnlyTheirOwnValues) {
  const std::map<std::string, std::string> changed = {
      {"Pos\\Top", "50"}, {"Pos\\Left", "60"}, {"Pos\\Height", "350"}, {"Pos\\Width", "550"}, {"Pos\\FWidth", "150"},
      {"Pos\\ToolBar", "0"}, {"Pos\\StatusBar", "0"}, {"Pos\\SaveFolder", "0"}, {"Pos\\ToolBarSet", "2,1"},
      {"List\\ReportMode", "0"}, {"List\\AutoSize", "1"}, {"List\\NameWidth", "111"}, {"List\\SizeWidth", "81"},
      {"List\\DateWidth", "105"}, {"List\\RateWidth", "49"}, {"List\\ModeWidth", "41"},
      {"List\\Color", "$00FFEEDD"}, {"List\\ViewProg", "wordpad"},
      {"Font\\Name", "Arial"}, {"Font\\Size", "12"}, {"Font\\Style", "3"}, {"Font\\Color", "$000000FF"},
      {"UnPack\\UnPackFolder", "0"}, {"UnPack\\NoTimeCheck", "1"}, {"UnPack\\MakeFolder", "1"},
      {"UnPack\\DelFolderNum", "0"}, {"UnPack\\All", "0"}, {"UnPack\\OpenFolder", "1"},
      {"UnPack\\FileNoFolder", "0"}, {"UnPack\\HideDlg", "1"}, {"UnPack\\TarAttr", "1"}, {"UnPack\\ExDir", "C:\\ex"},
      {"UnPack\\DefFolder", "C:\\ud"}, {"UnPack\\ArcFolder", "0"},
      {"Pack\\PackStyle", "7"}, {"Pack\\PackFolder", "0"}, {"Pack\\NoTimeCheck", "1"}, {"Pack\\All", "0"},
      {"Pack\\SetDate", "1"}, {"Pack\\Exit", "1"}, {"Pack\\AddFolder", "0"}, {"Pack\\AutoStyle", "2"},
      {"Pack\\Zip", "9"}, {"Pack\\CabStyle", "1"}, {"Pack\\CabLevel", "21"}, {"Pack\\CabMkBat", "1"},
      {"Pack\\Sort", "1"}, {"Pack\\HideDlg", "1"}, {"Pack\\TGZ", "1"}, {"Pack\\IZip", "3"}, {"Pack\\lh0", "1"},
      {"Pack\\DefFolder", "C:\\pd"}, {"Pack\\ArcFolder", "0"}, {"Pack\\Filter", "4"},
      {"Other\\LzhDelete", "1"}, {"Other\\ExeDelete", "1"}, {"Other\\Expand", "0"}, {"Other\\2Err", "1"},
      {"Other\\wrap", "1"}, {"Other\\icon", "1"},
      {"Search\\Folder1", "C:\\s"}, {"Search\\Folder2", ""}, {"Search\\Folder3", ""}, {"Search\\Folder4", ""},
      {"Search\\Folder5", ""}, {"Search\\Flag", "3"},
      {"Old\\Arc1", "C:\\a.lzh"}, {"Old\\Arc2", ""}, {"Old\\Arc3", ""}, {"Old\\Arc4", ""}, {"Old\\Arc5", ""},
      {"Ext\\Text", ".md,.log"}, {"Ext\\Grph", "1"}, {"Ext\\G0", ".jpg,C:\\p.spi"},
  };
  ASSERT_EQ(changed.size(), DefaultStore().size() + 1) << "every value of a save is changed";
  std::set<std::string> reloaded = {
      "List\\AutoSize", "Font\\Name", "Font\\Size", "Font\\Style", "Font\\Color", "List\\Color", "List\\ViewProg",
      "UnPack\\UnPackFolder", "UnPack\\NoTimeCheck", "UnPack\\MakeFolder", "UnPack\\DelFolderNum", "UnPack\\All",
      "UnPack\\OpenFolder", "UnPack\\FileNoFolder", "UnPack\\HideDlg", "UnPack\\TarAttr", "Pack\\PackStyle",
      "Pack\\PackFolder", "Pack\\NoTimeCheck", "Pack\\All", "Pack\\SetDate", "Pack\\Exit", "Pack\\AddFolder",
      "Pack\\AutoStyle", "Pack\\Zip", "Pack\\CabStyle", "Pack\\CabLevel", "Pack\\CabMkBat", "Pack\\Sort",
      "Pack\\HideDlg", "Other\\LzhDelete", "Other\\ExeDelete", "Other\\Expand", "UnPack\\DefFolder",
      "UnPack\\ArcFolder", "Pack\\DefFolder", "Pack\\ArcFolder"};
  auto putAll = [&] {
    for (auto& [k, v] : changed) {
      size_t bs = k.find('\\');
      Put(k.substr(0, bs).c_str(), k.substr(bs + 1).c_str(), v);
    }
  };
  auto expectSaved = [&](const char* step) {
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    form->SaveSettings();
    auto s = Stored();
    for (auto& [k, def] : DefaultStore())
      EXPECT_EQ(s[k], reloaded.count(k) ? changed.at(k) : def) << step << ": " << k;
  };

  form->ReadSettings();
  ASSERT_FALSE(form->FDoruEnabled);
  putAll();
  form->ReloadOptions();
  expectSaved("options");
  // Applied to the tree and the previews; the preview keeps its face.
  EXPECT_EQ(form->TreeView1->Font().Name(), "Arial");
  EXPECT_EQ(form->TreeView1->Font().Style(), fsBold | fsItalic);
  EXPECT_EQ(form->TreeView1->Color(), 0xFFEEDD);
  EXPECT_EQ(form->Memo1->Color(), 0xFFEEDD);
  EXPECT_EQ(form->Memo1->Font().Color(), 0x0000FF);
  EXPECT_EQ(form->Memo1->Font().Height(), form->ListView1->Font().Height());
  EXPECT_EQ(form->Memo1->Font().Name(), "ＭＳ ゴシック");
  // The command states of a full load are not redone.
  EXPECT_FALSE(form->FDoruEnabled);
  EXPECT_TRUE(form->Next1->Enabled());
  EXPECT_FALSE(SingleInstance);

  putAll();
  form->ReloadToolBar();
  EXPECT_EQ(ToolBarLayout, "2,1");
  reloaded.insert("Pos\\ToolBarSet");
  form->ReloadViewExt();
  EXPECT_EQ(ImageExtensions->Items(), (std::vector<std::string>{".bmp", ".ico", ".jpg"}));
  reloaded.insert({"Ext\\Text", "Ext\\Grph"});
  expectSaved("toolbar and view extensions");

  putAll();
  form->ReadSettings();
  EXPECT_TRUE(form->FDoruEnabled);
  EXPECT_FALSE(form->Next1->Enabled());
  EXPECT_FALSE(form->NextBtn1->Enabled());
  EXPECT_TRUE(SingleInstance);
  SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  form->ReadSettings();
  EXPECT_TRUE(form->Next1->Enabled());
}

TEST_F(MainWindow, MinimizedWindowSavesItsNormalPlace) {
  form->ReadSettings();
  form->SetWindowState(wsNormal);
  form->SetBounds(100, 120, 500, 300);
  form->SetWindowState(wsMinimized);
  form->SaveSettings();
  form->SetWindowState(wsNormal);
  auto s = Stored();
  EXPECT_EQ(s["Pos\\Left"], std::to_string(100 + WorkArea.left));
  EXPECT_EQ(s["Pos\\Top"], std::to_string(120 + WorkArea.top));
  EXPECT_EQ(s["Pos\\Width"], "500");
  EXPECT_EQ(s["Pos\\Height"], "300");
}

TEST_F(MainWindow, MaximizedWindowKeepsTheStoredPlace) {
  Put("Pos", "Left", "33");
  form->ReadSettings();
  form->SetWindowState(wsMaximized);
  form->SaveSettings();
  form->SetWindowState(wsNormal);
  if (IsZoomed(form->Handle())) GTEST_SKIP() << "no maximizing without a display";
  EXPECT_EQ(Stored()["Pos\\Left"], "33");
}

TEST_F(MainWindow, SecondWindowOpensBesideTheNormalPlaceOfTheFirst) {
  form->ReadSettings();
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(other, &wp);
  wp.rcNormalPosition = RECT{40, 50, 340, 250};
  wp.showCmd = SW_SHOWMINIMIZED;
  SetWindowPlacement(other, &wp);
  RunningWindow = other;
  form->SetBounds(0, 0, 200, 150);
  form->PlaceWindow();
  EXPECT_EQ(form->Left(), 40 + WorkArea.left + 30);
  EXPECT_EQ(form->Top(), 50 + WorkArea.top + 30);
  // Crossing the work area's right edge: the top-left corner instead.
  form->SetBounds(0, 0, WorkArea.right - WorkArea.left, 150);
  form->PlaceWindow();
  EXPECT_EQ(form->Left(), WorkArea.left);
  EXPECT_EQ(form->Top(), WorkArea.top);
  RunningWindow = nullptr;
  DestroyWindow(other);
}

TEST_F(MainWindow, ViewCommandsFollowTheirMenuItems) {
  form->ReadSettings();
  form->StatusB1->Click();
  EXPECT_FALSE(form->StatusB1->Checked());
  EXPECT_FALSE(form->StatusBar1->Visible());
  form->StatusB1->Click();
  EXPECT_TRUE(form->StatusBar1->Visible());
  form->D_List->Click();
  EXPECT_EQ(form->ListView1->ViewStyle(), vsList);
  EXPECT_FALSE(form->D_Rep->Checked());
  form->D_Rep->Click();
  EXPECT_EQ(form->ListView1->ViewStyle(), vsReport);
  EXPECT_FALSE(form->D_List->Checked());
  form->WrapMnu->Click();
  EXPECT_TRUE(form->Memo1->WordWrap());
  EXPECT_EQ(form->Memo1->ScrollBars(), ssVertical);
  form->WrapMnu->Click();
  EXPECT_EQ(form->Memo1->ScrollBars(), ssBoth);
  form->EfontMnu->Click();
  EXPECT_EQ(form->Memo1->Font().Name(), "Courier New");
  form->EfontMnu->Click();
  EXPECT_EQ(form->Memo1->Font().Name(), "ＭＳ ゴシック");
}

TEST_F(MainWindow, StatusBarAndFilterFollowTheDesign) {
  EXPECT_EQ(form->StatusBar1->Height(), 19);
  // Every filter index maps to a type code in the order the parts were added.
  int n = 0;
  for (char c : form->SaveDialog1->Filter) n += c == '|';
  int parts = form->SaveDialog1->Filter.empty() ? 0 : (n + 1) / 2;
  for (int i = 1; i <= parts; ++i) EXPECT_GT(SaveFilterTypes[i], 0) << i;
  for (int i = parts + 1; i <= 11; ++i) EXPECT_EQ(SaveFilterTypes[i], 0) << i;
}
