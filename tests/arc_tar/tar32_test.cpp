// tar32.dll entries that the shell tests cannot reach: the owner window's
// "wm_arcextract" progress, the busy flag, the type answers and the bounded log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arcapi.h"
#include "../tools/scratch_dir.h"

using namespace arcapi;

namespace {

struct Dll {
  HMODULE m = LoadLibraryA("tar32.dll");
  template <class F>
  F get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  }
};

Dll& dll() {
  static Dll d;
  return d;
}

int run(const std::string& cmd, std::string* log = nullptr, uint32_t size = 8192) {
  std::vector<char> buf(size + 1, 'Z');
  int rc = dll().get<FnCommand>("Tar")(nullptr, cmd.c_str(), buf.data(), size);
  if (log) *log = buf.data();
  return rc;
}

void write(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
  CloseHandle(h);
}

std::string q(const std::string& s) { return "\"" + s + "\""; }

// Counts the progress messages a window receives; answers what the test sets.
struct Watcher {
  static UINT msg;
  static int begins, ends, opens, total;
  static LRESULT answer;
  static std::string source;
  HWND hwnd;
  Watcher() {
    msg = RegisterWindowMessageA("wm_arcextract");
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "Tar32Watcher";
    wc.hInstance = GetModuleHandleA(nullptr);
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, "Tar32Watcher", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    begins = ends = opens = total = 0;
    answer = 0;
  }
  ~Watcher() { DestroyWindow(hwnd); }
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == msg) {
      ++total;
      if (wp == 0) ++begins;
      if (wp == 2) ++ends;
      if (wp == 3) ++opens;
      source = reinterpret_cast<const char*>(lp) + 8;
      return answer;
    }
    return DefWindowProcA(h, m, wp, lp);
  }
};
UINT Watcher::msg;
int Watcher::begins, Watcher::ends, Watcher::opens, Watcher::total;
LRESULT Watcher::answer;
std::string Watcher::source;

class Tar32 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll().m, nullptr);
    write(dir + "\\a.txt", "hello tar\r\n");
    write(dir + "\\b.txt", std::string(100000, 'b'));
    ASSERT_EQ(run("--display-dialog=0 -c -z6 " + q(dir + "\\t.tgz") + " " + q(dir + "\\") + " a.txt b.txt"), 0);
  }
  Scratch work{"tar32"};
  std::string dir = work.Folder();
};

}  // namespace

TEST_F(Tar32, VersionPassesTheEngineGateAndIdleIsNotRunning) {
  EXPECT_GE(dll().get<FnGetVersion>("TarGetVersion")(), 211);
  EXPECT_EQ(dll().get<FnGetRunning>("TarGetRunning")(), 0);
}

TEST_F(Tar32, ProgressGoesToTheOwnerWindowOnlyWhileSet) {
  Watcher w;
  auto setOwner = dll().get<FnSetOwnerWindow>("TarSetOwnerWindow");
  auto clearOwner = dll().get<FnClearOwnerWindow>("TarClearOwnerWindow");
  ASSERT_TRUE(setOwner(w.hwnd));
  EXPECT_EQ(run("--display-dialog=0 -x " + q(dir + "\\t.tgz") + " " + q(dir + "\\out\\")), 0);
  EXPECT_EQ(Watcher::opens, 1);
  EXPECT_GE(Watcher::begins, 2);  // one per entry
  EXPECT_EQ(Watcher::ends, 1);
  EXPECT_EQ(Watcher::source, dir + "\\t.tgz");

  // A handler answering non-zero stops the operation.
  Watcher::answer = 1;
  EXPECT_NE(run("--display-dialog=0 -x " + q(dir + "\\t.tgz") + " " + q(dir + "\\out2\\")), 0);
  Watcher::answer = 0;

  ASSERT_TRUE(clearOwner());
  int before = Watcher::total;
  EXPECT_EQ(run("--display-dialog=0 -t " + q(dir + "\\t.tgz")), 0);
  EXPECT_EQ(Watcher::total, before);
}

TEST_F(Tar32, TypesAndChecksByContent) {
  ASSERT_EQ(run("cGvfz6 " + q(dir + "\\a.txt.gz") + " " + q(dir + "\\a.txt")), 0);
  ASSERT_EQ(run("cvfGB6 " + q(dir + "\\a.txt.bz2") + " " + q(dir + "\\a.txt")), 0);
  ASSERT_EQ(run("-c -B1 " + q(dir + "\\t.tar.bz2") + " " + q(dir + "\\") + " a.txt"), 0);
  ASSERT_EQ(run("-c " + q(dir + "\\t.tar") + " " + q(dir + "\\") + " a.txt"), 0);
  write(dir + "\\plain.tgz", "not an archive at all, whatever the name says");
  auto type = dll().get<FnGetArchiveType>("TarGetArchiveType");
  auto check = dll().get<FnCheckArchive>("TarCheckArchive");
  struct Case {
    const char* file;
    int type;
  } cases[] = {{"t.tar", 1}, {"t.tgz", 2}, {"a.txt.gz", 4}, {"t.tar.bz2", 6}, {"a.txt.bz2", 7}, {"plain.tgz", 0},
               {"missing.tar", -1}};
  for (auto& c : cases) {
    std::string p = dir + "\\" + c.file;
    EXPECT_EQ(type(p.c_str()), c.type) << c.file;
    EXPECT_EQ(check(p.c_str(), 0) != 0, c.type > 0) << c.file;
  }
}

TEST_F(Tar32, SingleStreamListsAsOneEntryNamedWithoutItsSuffix) {
  ASSERT_EQ(run("cGvfz9 " + q(dir + "\\b.txt.gz") + " " + q(dir + "\\b.txt")), 0);
  HARC h = dll().get<FnOpenArchive>("TarOpenArchive")(nullptr, (dir + "\\b.txt.gz").c_str(), kOpenMode);
  ASSERT_NE(h, nullptr);
  IndividualInfo info{};
  ASSERT_EQ(dll().get<FnFindFirst>("TarFindFirst")(h, "*.*\0", &info), 0);
  EXPECT_STREQ(info.szFileName, "b.txt");
  EXPECT_EQ(info.dwOriginalSize, 100000u);
  EXPECT_LT(info.dwCompressedSize, 1000u);
  EXPECT_STREQ(info.szMode, "gzip");
  EXPECT_EQ(dll().get<FnFindNext>("TarFindNext")(h, &info), -1);
  EXPECT_EQ(dll().get<FnCloseArchive>("TarCloseArchive")(h), 0);
}

TEST_F(Tar32, BadCommandsAnswerAnErrorWithABoundedLog) {
  std::string log;
  EXPECT_NE(run("-q " + q(dir + "\\t.tgz"), &log), 0);
  EXPECT_NE(log.find("Error"), std::string::npos);
  EXPECT_NE(run("", &log), 0);
  // A tiny buffer still ends in NUL and is never overrun.
  std::vector<char> buf(16, 'Z');
  dll().get<FnCommand>("Tar")(nullptr, ("-x " + q(dir + "\\t.tgz") + " " + q(dir + "\\o3\\")).c_str(), buf.data(), 8);
  EXPECT_EQ(buf[7], 0);
  EXPECT_EQ(buf[8], 'Z');
}

namespace {

// A ustar header whose size field holds `size` as written; the data is absent.
std::string header(const std::string& name, const std::string& size) {
  std::string h(512, '\0');
  h.replace(0, name.size(), name);
  h.replace(100, 8, "0000644");
  h.replace(108, 8, "0000000");
  h.replace(116, 8, "0000000");
  h.replace(124, 12, size);
  h.replace(136, 12, "14000000000");
  h[156] = '0';
  h.replace(257, 6, std::string("ustar\0", 6));
  h.replace(263, 2, "00");
  h.replace(148, 8, "        ");
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  char cs[8];
  snprintf(cs, sizeof cs, "%06o", sum);
  h.replace(148, 7, std::string(cs, 6) + '\0');
  return h;
}

}  // namespace

TEST_F(Tar32, SizesOver4GiBAnswerInFullThroughTheExCalls) {
  std::string b256(12, '\0');
  b256[0] = static_cast<char>(0x80);
  const uint64_t big = 0x140000003ull;  // 5 GiB + 3
  for (int i = 0; i < 8; ++i) b256[11 - i] = static_cast<char>((big >> (8 * i)) & 0xFF);
  struct Case {
    const char* field;
    std::string size;
    uint64_t want;
  } cases[] = {
      {"12-digit octal", "100000000000", 1ull << 33},
      {"base-256", b256, big},
  };
  using FnSizeEx = BOOL_(WINAPI*)(HARC, int64_t*);
  auto orig = dll().get<FnSizeEx>("TarGetOriginalSizeEx");
  auto comp = dll().get<FnSizeEx>("TarGetCompressedSizeEx");
  ASSERT_NE(orig, nullptr);
  ASSERT_NE(comp, nullptr);
  for (auto& c : cases) {
    SCOPED_TRACE(c.field);
    std::string path = dir + "\\big.tar";
    write(path, header("big.bin", c.size) + std::string(1024, '\0'));
    HARC h = dll().get<FnOpenArchive>("TarOpenArchive")(nullptr, path.c_str(), kOpenMode);
    ASSERT_NE(h, nullptr);
    int64_t n = -1;
    EXPECT_FALSE(orig(h, &n));  // no current entry yet
    IndividualInfo info{};
    ASSERT_EQ(dll().get<FnFindFirst>("TarFindFirst")(h, "*.*\0", &info), 0);
    EXPECT_STREQ(info.szFileName, "big.bin");
    EXPECT_EQ(info.dwOriginalSize, 0xFFFFFFFFu);
    ASSERT_TRUE(orig(h, &n));
    EXPECT_EQ(static_cast<uint64_t>(n), c.want);
    ASSERT_TRUE(comp(h, &n));
    EXPECT_GE(static_cast<uint64_t>(n), c.want);
    EXPECT_EQ(dll().get<FnCloseArchive>("TarCloseArchive")(h), 0);
  }
}
