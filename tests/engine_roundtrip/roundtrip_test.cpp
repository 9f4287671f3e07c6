// The engine with the real archiver libraries beside it: every format is
// packed, listed, extracted (to files and to memory), edited, tested, made
// self-extracting and turned back, and the bytes are compared.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Archiver.h"
#include "../tools/scratch_dir.h"

namespace {

class TForm : public TComponent {
 public:
  TForm() : TComponent(nullptr) {
    FWnd = CreateWindowExA(0, "STATIC", "form", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  }
  ~TForm() override { DestroyWindow(FWnd); }
  bool IsForm() const override { return true; }
  HWND GetHandle() override { return FWnd; }

 private:
  HWND FWnd;
};

std::string ExeFolder() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, n);
  return p.substr(0, p.find_last_of('\\') + 1);
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  f << data;
}
std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Last-write time as a number (0 when the file cannot be opened).
uint64_t WriteTime(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FILETIME t{};
  GetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
  return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
void SetWriteTime(const std::string& path, WORD year) {
  SYSTEMTIME st{year, 2, 0, 3, 12, 0, 0, 0};
  FILETIME t;
  SystemTimeToFileTime(&st, &t);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
}

std::string Slashes(std::string s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(s[i]))) {
      ++i;
      continue;
    }
    if (s[i] == '\\') s[i] = '/';
  }
  return s;
}

struct Format {
  const char* name;
  const char* ext;
  TArchiverMode mode;
  bool toMem, del, sfx, back;
};

// The libraries a format needs, beside the program (or in the folder above).
bool Beside(const std::string& file) { return Exists(ExeFolder() + file) || Exists(ExeFolder() + "..\\" + file); }
const char* LibraryOf(TArchiverMode m) {
  switch (m) {
    case amLha: return "unlha32.dll";
    case amZip: return "zip32.dll";
    case amTar:
    case amGz: return "tar32.dll";
    case amCab: return "cab32.dll";
    case amBga: return "bga32.dll";
    default: return "unrar.dll";
  }
}

class RoundTrip : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    Dir = std::make_unique<Scratch>(std::string("rt-") + GetParam().name);
    Root = Dir->Path;
    for (const char* d : {"src", "src\\sub", "out", "made", "back"}) CreateDirectoryA((Root + d).c_str(), nullptr);
    Files["a.txt"] = "hello, archive\r\nsecond line\r\n";
    std::string bin;
    uint32_t x = 12345;
    for (int i = 0; i < 70000; ++i) {
      x = x * 1103515245u + 12345u;
      bin += static_cast<char>(i % 3 ? (x >> 24) : 'a' + i % 7);
    }
    Files["sub/b.bin"] = bin;
    Files["sub/ソ.txt"] = "double-byte name whose second byte is a backslash";
    for (auto& [name, data] : Files) {
      std::string p = Root + "src\\" + name;
      std::replace(p.begin(), p.end(), '/', '\\');
      WriteFile(p, data);
    }
    Form = new TForm;
    Engine = new TArchiver(Form);
    Engine->NoMessage = true;
    Engine->Loaded();
  }
  void TearDown() override {
    delete Form;  // and the engine it owns
    Dir.reset();  // after the engine has let go of its files
  }

  std::set<std::string> List(const std::string& arc) {
    Engine->SetArcName(arc);
    std::set<std::string> names;
    for (int r = Engine->FindFirst("*.*"); r == 0; r = Engine->FindNext()) {
      std::string n = Slashes(Engine->FindName());
      if (!n.empty() && n.back() != '/' && n != "sub") names.insert(n);
    }
    Engine->CloseArchive();
    return names;
  }
  std::set<std::string> Names() const {
    std::set<std::string> s;
    for (auto& [n, d] : Files) s.insert(n);
    return s;
  }
  bool Pack(const std::string& arc, char* log, uint32_t size) {
    Engine->SetArcName(arc);
    Engine->SetBaseDir(Root + "src\\");
    Engine->ArcOptions = {ar_Silent, ar_OverWrite};
    Engine->Level = 6;
    TStringList names;
    for (auto& [n, d] : Files) {
      std::string p = n;
      std::replace(p.begin(), p.end(), '/', '\\');
      names.Add(p);
    }
    return Engine->Pack(names, log, size);
  }

  std::unique_ptr<Scratch> Dir;
  std::string Root;
  std::map<std::string, std::string> Files;
  TForm* Form = nullptr;
  TArchiver* Engine = nullptr;
};

TEST_P(RoundTrip, PackListExtractEditTestAndSelfExtract) {
  const Format& f = GetParam();
  ASSERT_TRUE(Beside(LibraryOf(f.mode)) && (f.mode != amZip || Beside("unzip32.dll"))) << "no library for " << f.name;
  const std::string arc = Root + "t" + f.ext;
  std::vector<char> log(65537);
  ASSERT_TRUE(Pack(arc, log.data(), 65536)) << log.data();
  ASSERT_TRUE(Exists(arc));
  EXPECT_EQ(Engine->ArcMode(), f.mode);
#if defined(ROUNDTRIP_INFOZIP)
  ASSERT_TRUE(Engine->IsInfoZip());
#endif
  EXPECT_EQ(List(arc), Names());

  // Extraction into a fresh folder gives the same bytes.
  Engine->SetArcName(arc);
  Engine->SetBaseDir(Root + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  TStringList all;
  all.Add("*.*");
  ASSERT_TRUE(Engine->Extract(all, log.data(), 65536)) << log.data();
  for (auto& [name, data] : Files) {
    std::string p = Root + "out\\" + name;
    std::replace(p.begin(), p.end(), '/', '\\');
    EXPECT_EQ(ReadFile(p), data) << name;
  }
  EXPECT_TRUE(Engine->TestArchive(log.data(), 65536)) << log.data();

  if (f.toMem) {
    std::vector<uint8_t> mem(Files["sub/b.bin"].size());
    ASSERT_TRUE(Engine->ExtractToMem("sub/b.bin", mem.data(), static_cast<uint32_t>(mem.size())));
    EXPECT_TRUE(std::string(mem.begin(), mem.end()) == Files["sub/b.bin"]);
  }

  if (f.sfx) {
    // The ZIP self-extractor needs its stub beside the program.
    if (f.mode == amZip) ASSERT_TRUE(Exists(ExeFolder() + "Sfx32gui.dat")) << "no Sfx32gui.dat";
    std::string exe;
    Engine->SetArcName(arc);
    Engine->SetBaseDir(Root + "made");
    // With the date option the program carries the archive's time.
    SetWriteTime(arc, 2001);
    Engine->ArcOptions = {ar_Silent, ar_Date};
    ASSERT_TRUE(Engine->MakeSfx(exe, log.data(), 65536)) << log.data();
    EXPECT_EQ(exe, Root + "made\\t.exe");
    ASSERT_TRUE(Exists(exe));
    EXPECT_EQ(WriteTime(exe), WriteTime(arc));
    // A self-extractor is known by its library's check alone.
    Engine->SetArcName(exe);
    EXPECT_EQ(Engine->ArcMode(), f.mode);
    EXPECT_TRUE(Engine->ExeExt());
    EXPECT_EQ(List(exe), Names());
  }
  if (f.sfx && f.back) {
    std::string exe = Root + "made\\t.exe", back;
    Engine->SetArcName(exe);
    if (Engine->ArcMode() == amAuto) Engine->SetMode(f.mode);
    Engine->SetBaseDir(Root + "back");
    SetWriteTime(exe, 2002);
    Engine->ArcOptions = {ar_Silent, ar_Date};
    ASSERT_TRUE(Engine->SfxToArchive(back, log.data(), 65536)) << log.data();
    EXPECT_EQ(back, Root + "back\\t" + f.ext);
    EXPECT_EQ(WriteTime(back), WriteTime(exe));
    EXPECT_EQ(Engine->OutName(), back);
    Engine->SetMode(amAuto);
    EXPECT_EQ(List(back), Names());
    EXPECT_EQ(Engine->ArcMode(), f.mode);
    Engine->SetBaseDir(Root + "back\\x");
    Engine->ArcOptions = {ar_Silent, ar_OverWrite};
    ASSERT_TRUE(Engine->Extract(all, log.data(), 65536)) << log.data();
    for (auto& [name, data] : Files) {
      std::string p = Root + "back\\x\\" + name;
      std::replace(p.begin(), p.end(), '/', '\\');
      EXPECT_TRUE(ReadFile(p) == data) << name;
    }
  }

  if (f.del) {
    Engine->SetArcName(arc);
    Engine->ArcOptions = {ar_Silent};
    TStringList one;
    one.Add("a.txt");
    ASSERT_TRUE(Engine->DeleteFiles(one, log.data(), 65536)) << log.data();
    std::set<std::string> rest = Names();
    rest.erase("a.txt");
    EXPECT_EQ(List(arc), rest);
  }
}

TEST_P(RoundTrip, BadInputLosesNothing) {
  const Format& f = GetParam();
  ASSERT_TRUE(Beside(LibraryOf(f.mode)) && (f.mode != amZip || Beside("unzip32.dll"))) << "no library for " << f.name;
  const std::string arc = Root + "t" + f.ext;
  std::vector<char> log(65537);
  ASSERT_TRUE(Pack(arc, log.data(), 65536)) << log.data();
  const std::string before = ReadFile(arc);
  TStringList all, one;
  all.Add("*.*");
  one.Add("a.txt");

  // A missing archive: every operation fails, the library says why, and
  // nothing is made in its place.
  const std::string gone = Root + "gone" + f.ext;
  Engine->SetArcName(gone);
  Engine->SetBaseDir(Root + "out");
  Engine->ArcOptions = {ar_Silent, ar_OverWrite};
  EXPECT_NE(Engine->FindFirst("*.*"), 0);
  Engine->CloseArchive();
  log[0] = 0;
  EXPECT_FALSE(Engine->Extract(all, log.data(), 65536));
  EXPECT_NE(log[0], 0);
  EXPECT_FALSE(Engine->TestArchive(log.data(), 65536));
  uint8_t m[16];
  EXPECT_FALSE(Engine->ExtractToMem("a.txt", m, sizeof m));
  log[0] = 0;
  EXPECT_FALSE(Engine->DeleteFiles(one, log.data(), 65536));
  EXPECT_EQ(log[0] != 0, f.del);  // formats that cannot delete ask no library
  EXPECT_FALSE(Exists(gone));

  // Packing from a folder that is not there, extracting into a folder that
  // cannot be made: both fail and the archive stays as it was.
  Engine->SetArcName(arc);
  Engine->SetBaseDir(Root + "nowhere");
  EXPECT_FALSE(Engine->Pack(one, log.data(), 65536));
  WriteFile(Root + "blocked", "a file where a folder should be");
  Engine->SetBaseDir(Root + "blocked");
  EXPECT_FALSE(Engine->Extract(all, log.data(), 65536));
  EXPECT_EQ(ReadFile(Root + "blocked"), "a file where a folder should be");

  // Output buffers too small for what comes: cut, terminated, never overrun.
  Engine->SetBaseDir(Root + "small");
  char small[12];
  std::memset(small, 'Z', sizeof small);
  EXPECT_TRUE(Engine->Extract(all, small, 8));
  EXPECT_LT(strnlen(small, 8), 8u);
  EXPECT_EQ(std::string(small + 8, 4), "ZZZZ");
  EXPECT_EQ(ReadFile(Root + "small\\sub\\b.bin"), Files["sub/b.bin"]);
  std::vector<uint8_t> t(1100, 'Z');
  EXPECT_EQ(Engine->ExtractToMem("sub/b.bin", t.data(), 1000), f.toMem);
  if (f.toMem) EXPECT_EQ(std::string(t.begin(), t.begin() + 999), Files["sub/b.bin"].substr(0, 999));
  EXPECT_EQ(std::string(t.begin() + 1000, t.end()), std::string(100, 'Z'));
  EXPECT_TRUE(ReadFile(arc) == before);
}

#if defined(ROUNDTRIP_INFOZIP)
// Built a second time beside the Info-ZIP kind of unzip32.dll, which the
// program's own folder gives first; the other libraries come from the folder
// above.
const bool kDllFolder = SetDllDirectoryA((ExeFolder() + "..").c_str()) != 0;
const Format kFormats[] = {{"infozip", ".zip", amZip, true, true, true, true}};
#else
const Format kFormats[] = {
    {"lha", ".lzh", amLha, true, true, true, true}, {"zip", ".zip", amZip, true, true, true, true},
    {"tar", ".tar", amTar, true, false, false, false}, {"cab", ".cab", amCab, false, false, true, true},
    {"bga", ".gza", amBga, false, true, true, false},
};
#endif
INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

#if !defined(ROUNDTRIP_INFOZIP)
TEST(RoundTripGz, OneFileCompressedAndBack) {
  ASSERT_TRUE(Beside("tar32.dll")) << "no tar32.dll";
  Scratch dir("rt-gz");
  const std::string& root = dir.Path;
  CreateDirectoryA((root + "src").c_str(), nullptr);
  CreateDirectoryA((root + "out").c_str(), nullptr);
  std::string data(50000, 'g');
  for (size_t i = 0; i < data.size(); i += 7) data[i] = static_cast<char>(i);
  WriteFile(root + "src\\note.txt", data);
  TForm form;
  auto* a = new TArchiver(&form);
  a->NoMessage = true;
  a->Loaded();
  for (bool bz2 : {false, true}) {
    SCOPED_TRACE(bz2 ? "bzip2" : "gzip");
    std::string arc = root + (bz2 ? "note.txt.bz2" : "note.txt.gz");
    a->SetArcName(arc);
    ASSERT_EQ(a->ArcMode(), amGz);
    a->SetBaseDir(root + "src");
    a->ArcOptions = {ar_Silent};
    if (bz2) a->ArcOptions.Include(ar_BZ2);
    a->Level = 9;
    char log[4096];
    TStringList none;
    ASSERT_TRUE(a->Pack(none, log, sizeof log)) << log;
    a->SetBaseDir(root + "out");
    a->ArcOptions = {ar_Silent, ar_OverWrite};
    DeleteFileA((root + "out\\note.txt").c_str());
    ASSERT_TRUE(a->Extract(none, log, sizeof log)) << log;
    EXPECT_TRUE(ReadFile(root + "out\\note.txt") == data);
    // One entry, listed and printed into memory.
    ASSERT_EQ(a->FindFirst("*.*"), 0);
    const std::string entry = a->FindName();
    if (!bz2) EXPECT_EQ(a->FindOriginalSize(), data.size());  // a bzip2 stream keeps no size
    EXPECT_NE(a->FindNext(), 0);
    a->CloseArchive();
    std::string mem(data.size() + 1, '\0');
    ASSERT_TRUE(a->ExtractToMem(entry, reinterpret_cast<uint8_t*>(mem.data()), static_cast<uint32_t>(mem.size())));
    EXPECT_TRUE(mem.substr(0, data.size()) == data);
    EXPECT_FALSE(a->TestArchive(log, sizeof log));  // no test for a single stream
  }
  // A missing stream: nothing to list or extract, nothing made.
  a->SetArcName(root + "gone.txt.gz");
  EXPECT_NE(a->FindFirst("*.*"), 0);
  a->CloseArchive();
  char log[256];
  TStringList none;
  DeleteFileA((root + "out\\gone.txt").c_str());
  EXPECT_FALSE(a->Extract(none, log, sizeof log));
  EXPECT_FALSE(Exists(root + "out\\gone.txt"));
}

TEST(RoundTripCab, SpannedSetIsNamedAfterItsFirstVolume) {
  ASSERT_TRUE(Beside("cab32.dll")) << "no cab32.dll";
  Scratch dir("rt-span");
  const std::string& root = dir.Path;
  for (const char* d : {"src", "out"}) CreateDirectoryA((root + d).c_str(), nullptr);
  // Three volumes' worth of bytes that do not compress.
  std::string big(3 * 1024 * 1024, '\0');
  uint32_t x = 99;
  for (char& c : big) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  WriteFile(root + "src\\big.bin", big);
  WriteFile(root + "src\\small.txt", "small\r\n");
  TForm form;
  auto* a = new TArchiver(&form);
  a->NoMessage = true;
  a->Loaded();
  a->SetArcName(root + "set.cab");
  a->SetBaseDir(root + "src");
  a->ArcOptions = {ar_Silent, ar_Multi};
  a->Level = 0;
  TStringList names;
  names.Add("big.bin");
  names.Add("small.txt");
  std::vector<char> log(65537);
  ASSERT_TRUE(a->Pack(names, log.data(), 65536)) << log.data();
  EXPECT_EQ(a->ArcName(), root + "set01.cab");
  EXPECT_TRUE(Exists(root + "set02.cab"));
  EXPECT_FALSE(Exists(root + "set.cab"));
  std::set<std::string> listed;
  for (int r = a->FindFirst("*.*"); r == 0; r = a->FindNext()) listed.insert(a->FindName());
  a->CloseArchive();
  EXPECT_EQ(listed, (std::set<std::string>{"big.bin", "small.txt"}));
  a->SetBaseDir(root + "out");
  a->ArcOptions = {ar_Silent, ar_OverWrite, ar_Multi};
  TStringList all;
  all.Add("*.*");
  ASSERT_TRUE(a->Extract(all, log.data(), 65536)) << log.data();
  EXPECT_TRUE(ReadFile(root + "out\\big.bin") == big);
  EXPECT_EQ(ReadFile(root + "out\\small.txt"), "small\r\n");
}

#endif

}  // namespace

#if !defined(ROUNDTRIP_INFOZIP)
namespace {

// Runs a program beside this one and waits for it.
bool RunProgram(const std::string& cmdLine) {
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  std::string c = cmdLine;
  if (!CreateProcessA(nullptr, c.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return code == 0;
}

}  // namespace

TEST(RoundTripRar, ListExtractAndToMemoryFromOneAndFromSeveralVolumes) {
  ASSERT_TRUE(Beside("unrar.dll") && Exists(ExeFolder() + "mkrar.exe")) << "no unrar.dll or mkrar.exe";
  Scratch dir("rt-rar");
  const std::string& root = dir.Path;
  for (const char* d : {"src", "out", "out2"}) CreateDirectoryA((root + d).c_str(), nullptr);
  std::string a = "plain text\r\n", b(30000, 'b');
  for (size_t i = 0; i < b.size(); i += 11) b[i] = static_cast<char>(i >> 3);
  WriteFile(root + "src\\a.txt", a);
  WriteFile(root + "src\\b.bin", b);
  const std::string mkrar = "\"" + ExeFolder() + "mkrar.exe\"";
  const std::string items = " \"a.txt=" + root + "src\\a.txt\" \"sub/\" \"sub\\b.bin=" + root + "src\\b.bin\"";
  ASSERT_TRUE(RunProgram(mkrar + " \"" + root + "t.rar\"" + items));
  ASSERT_TRUE(RunProgram(mkrar + " -v 8000 \"" + root + "v.part1.rar\"" + items));
  TForm form;
  auto* e = new TArchiver(&form);
  e->NoMessage = true;
  e->Loaded();
  for (const char* arc : {"t.rar", "v.part1.rar"}) {
    SCOPED_TRACE(arc);
    e->SetArcName(root + arc);
    ASSERT_EQ(e->ArcMode(), amRar);
    std::vector<std::string> names;
    for (int r = e->FindFirst("*.*"); r == 0; r = e->FindNext()) names.push_back(e->FindName());
    e->CloseArchive();
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub", "sub\\b.bin"}));
    std::string mem(b.size(), '\0');
    ASSERT_TRUE(e->ExtractToMem("sub/b.bin", reinterpret_cast<uint8_t*>(mem.data()), static_cast<uint32_t>(mem.size())));
    EXPECT_TRUE(mem == b);
    std::string out = root + (std::string(arc) == "t.rar" ? "out" : "out2");
    e->SetBaseDir(out);
    e->ArcOptions = {ar_Silent, ar_OverWrite};
    TStringList sub;
    sub.Add("sub/*.*");
    char log[1024];
    ASSERT_TRUE(e->Extract(sub, log, sizeof log)) << log;
    EXPECT_TRUE(ReadFile(out + "\\sub\\b.bin") == b);
    EXPECT_FALSE(Exists(out + "\\a.txt"));
    EXPECT_STREQ(log, "Melted sub\\b.bin\r\n");
  }
  // A missing archive: no walk, no extraction, nothing in the folder.
  e->SetArcName(root + "gone.rar");
  EXPECT_NE(e->FindFirst("*.*"), 0);
  e->CloseArchive();
  e->SetBaseDir(root + "out3");
  TStringList all;
  all.Add("*.*");
  char log[64];
  EXPECT_FALSE(e->Extract(all, log, sizeof log));
  uint8_t m[8];
  EXPECT_FALSE(e->ExtractToMem("a.txt", m, sizeof m));
  EXPECT_FALSE(Exists(root + "out3"));
}

// A header the library cannot read ends the walk before the end of the
// archive: the extraction fails and the log says why, whether the damage
// comes before every entry or after some were extracted.
TEST(RoundTripRar, DamagedHeaderFailsTheExtractionWithAReason) {
  if (!Beside("unrar.dll") || !Exists(ExeFolder() + "mkrar.exe")) GTEST_SKIP() << "no unrar.dll or mkrar.exe";
  Scratch dir("rt-rardmg");
  const std::string& root = dir.Path;
  WriteFile(root + "a.txt", "first\r\n");
  WriteFile(root + "b.txt", "second\r\n");
  const std::string mkrar = "\"" + ExeFolder() + "mkrar.exe\"";
  struct Case {
    const char* format;
    const char* damaged;   // the stored name whose header gets a wrong byte
    const char* melted;    // what is extracted before the damage
  } cases[] = {{"-4", "first.txt", ""}, {"-5", "first.txt", ""},
               {"-4", "second.txt", "Melted first.txt\r\n"}, {"-5", "second.txt", "Melted first.txt\r\n"}};
  TForm form;
  auto* e = new TArchiver(&form);
  e->NoMessage = true;
  e->Loaded();
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.damaged);
    std::string arc = root + "d" + std::to_string(n) + ".rar", out = root + "out" + std::to_string(n++);
    ASSERT_TRUE(RunProgram(mkrar + " " + c.format + " \"" + arc + "\" \"first.txt=" + root + "a.txt\" \"second.txt=" +
                           root + "b.txt\""));
    std::string bytes = ReadFile(arc);
    size_t at = bytes.find(c.damaged);
    ASSERT_NE(at, std::string::npos);
    bytes[at] ^= 0x20;  // the header's checksum no longer agrees
    WriteFile(arc, bytes);
    e->SetArcName(arc);
    e->SetBaseDir(out);
    e->ArcOptions = {ar_Silent, ar_OverWrite};
    TStringList all;
    all.Add("*.*");
    char log[1024];
    EXPECT_FALSE(e->Extract(all, log, sizeof log));
    EXPECT_EQ(std::string(log), std::string(c.melted) + "Error : " + "d" + std::to_string(n - 1) +
                                    ".rar\t : 書庫が壊れています\r\n");
    EXPECT_FALSE(Exists(out + "\\second.txt"));
  }
}
#endif

#if !defined(ROUNDTRIP_INFOZIP)
TEST(RoundTripArj, ListExtractTestAndPrintOneEntry) {
  const std::string fx = ExeFolder() + "engine-fixtures\\";
  ASSERT_TRUE(Beside("unarj32j.dll") && Exists(fx + "t.arj")) << "no unarj32j.dll or no ARJ fixture";
  Scratch dir("rt-arj");
  const std::string out = dir.Path.substr(0, dir.Path.size() - 1);
  TForm form;
  auto* e = new TArchiver(&form);
  e->NoMessage = true;
  e->Loaded();
  e->SetArcName(fx + "t.arj");
  ASSERT_EQ(e->ArcMode(), amArj);
  std::set<std::string> names;
  for (int r = e->FindFirst("*.*"); r == 0; r = e->FindNext()) names.insert(Slashes(e->FindName()));
  e->CloseArchive();
  EXPECT_EQ(names, (std::set<std::string>{"a.txt", "sub/b.txt"}));
  e->SetBaseDir(out);
  e->ArcOptions = {ar_Silent, ar_OverWrite};
  TStringList all;
  all.Add("*.*");
  std::vector<char> log(65537);
  ASSERT_TRUE(e->Extract(all, log.data(), 65536)) << log.data();
  const std::string b = ReadFile(fx + "src\\sub\\b.txt");
  EXPECT_EQ(ReadFile(out + "\\a.txt"), "hello arj\r\n");
  EXPECT_TRUE(ReadFile(out + "\\sub\\b.txt") == b);
  EXPECT_TRUE(e->TestArchive(log.data(), 65536)) << log.data();
  std::vector<uint8_t> mem(b.size() + 1);
  ASSERT_TRUE(e->ExtractToMem("sub/b.txt", mem.data(), static_cast<uint32_t>(mem.size())));
  EXPECT_TRUE(std::string(mem.begin(), mem.begin() + static_cast<ptrdiff_t>(b.size())) == b);
}
#endif
