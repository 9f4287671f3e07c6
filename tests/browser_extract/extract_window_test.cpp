// Work folders, closing the archive and exit, the extraction settings and
// dropped streams, in the real main window over the real libraries beside it;
// the folder picker, the result log and the message boxes are the real ones,
// worked from a second thread as a person would.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Disp.h"
#include "main.h"
#include "../tools/scratch_dir.h"
#include "../tools/window_suite.h"

namespace {


// The suite's folder, emptied on first use; each test has its own folder in
// it, and the suite's tear-down removes the lot.
std::string Root() {
  static const std::string root = [] {
    std::string d = scratch_dir::FreshFolder("extract");
    d.pop_back();
    return d;
  }();
  return root;
}

bool IsDir(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool IsFile(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
void Put(const std::string& p, const std::string& data) {
  std::ofstream f(p, std::ios::binary);
  f << data;
  ASSERT_TRUE(f.good()) << p;
}
std::string Get(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A gzip stream with the data in one stored block, no name in the header.
std::string Gzip(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc ^= 0xFFFFFFFFu;
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  out.push_back('\x01');
  le(out, static_cast<uint32_t>(data.size()), 2);
  le(out, static_cast<uint32_t>(~data.size()), 2);
  out += data;
  le(out, crc, 4);
  le(out, static_cast<uint32_t>(data.size()), 4);
  return out;
}

// An LHA archive with one stored entry; with a wrong check value it lists,
// but its extraction fails.
std::string LhaStored(const std::string& name, const std::string& data, bool goodCrc = true) {
  unsigned crc = 0;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? 0xA001u : 0u);
  }
  if (!goodCrc) crc ^= 0x1234;
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string h = "-lh0-";
  le(h, static_cast<uint32_t>(data.size()), 4);
  le(h, static_cast<uint32_t>(data.size()), 4);
  le(h, 0x306570FDu, 4);
  h += '\x20';
  h += '\x00';
  h += static_cast<char>(name.size());
  h += name;
  le(h, crc, 2);
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  return std::string(1, static_cast<char>(h.size())) + static_cast<char>(sum & 0xFF) + h + data + '\0';
}

// ---- this process's modal windows, worked from another thread

// A visible top-level window of this process, once it shows (nullptr after ms).
HWND WaitOwn(const char* cls, const char* caption, int ms) {
  for (int waited = 0;; waited += 50) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, cls, caption)) != nullptr;) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    if (waited >= ms) return nullptr;
    Sleep(50);
  }
}

std::string TextOf(HWND w) {
  std::string t(static_cast<size_t>(GetWindowTextLengthA(w)) + 1, '\0');
  t.resize(static_cast<size_t>(GetWindowTextA(w, t.data(), static_cast<int>(t.size()))));
  return t;
}

// Presses the button with that caption until its window is gone.
bool PressUntilGone(HWND top, const char* button) {
  HWND b = FindWindowExA(top, nullptr, "Button", button);
  if (!b) return false;
  for (int i = 0; i < 100 && IsWindow(top) && IsWindowVisible(top); ++i) {
    PostMessageA(b, BM_CLICK, 0, 0);
    for (int k = 0; k < 6 && IsWindow(top); ++k) Sleep(50);
  }
  return !IsWindow(top) || !IsWindowVisible(top);
}

// Opens the picker's selected folder and selects its child of that name.
void ChooseChildInTree(HWND dlg, const std::string& name) {
  HWND tv = FindWindowExA(dlg, nullptr, "SysTreeView32", nullptr);
  auto next = [tv](UINT how, HTREEITEM from) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
  };
  HTREEITEM parent = next(TVGN_CARET, nullptr);
  if (!tv || !parent) return;
  SendMessageA(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  for (HTREEITEM c = next(TVGN_CHILD, parent); c; c = next(TVGN_NEXT, c)) {
    char text[MAX_PATH] = {};
    TVITEMA item{};
    item.mask = TVIF_TEXT;
    item.hItem = c;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    SendMessageA(tv, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (lstrcmpiA(text, name.c_str()) == 0) {
      SendMessageA(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c));
      Sleep(100);
      return;
    }
  }
}

// The folder picker: once it shows its proposal, led to folder (a Windows
// path without a trailing backslash; empty: left where it is), its boxes
// clicked into the states given, and answered with the button. Empty when
// all went so, else what did not.
std::string PickFolder(const std::string& folder, const std::vector<std::pair<const char*, bool>>& boxes = {},
                       const char* button = "OK") {
  HWND dlg = WaitOwn("#32770", "フォルダーの参照", 60000);
  if (!dlg) return "no folder picker";
  // Its controls, the boxes and its proposal come after it shows.
  auto ready = [&] {
    HWND edit = FindWindowExA(dlg, nullptr, "Edit", nullptr);
    if (!edit || TextOf(edit).empty() || !FindWindowExA(dlg, nullptr, "Button", button)) return false;
    for (const auto& box : boxes)
      if (!FindWindowExA(dlg, nullptr, "Button", box.first)) return false;
    return true;
  };
  for (int i = 0; i < 200 && !ready(); ++i) Sleep(50);
  auto steps = [&]() -> std::string {
    if (!ready()) return "the folder picker never got ready";
    HWND edit = FindWindowExA(dlg, nullptr, "Edit", nullptr);
    if (!folder.empty()) {
      // Asked again while a late preselection of the picker's own moves it.
      const std::string name = folder.substr(folder.find_last_of('\\') + 1);
      bool there = false;
      for (int i = 0; i < 20 && !there; ++i) {
        SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        Sleep(300);
        there = lstrcmpiA(TextOf(edit).c_str(), name.c_str()) == 0;
        // Under load the picker at times stays on the parent and does not
        // open it for the path: the child is then opened and clicked in the
        // tree, as a person would.
        if (!there && i > 0) ChooseChildInTree(dlg, name);
        there = there || lstrcmpiA(TextOf(edit).c_str(), name.c_str()) == 0;
      }
      if (!there) return "the picker did not go to " + folder + ": " + TextOf(edit);
    }
    for (const auto& [caption, on] : boxes) {
      HWND b = FindWindowExA(dlg, nullptr, "Button", caption);
      if ((SendMessageA(b, BM_GETCHECK, 0, 0) == BST_CHECKED) != on) SendMessageA(b, BM_CLICK, 0, 0);
    }
    return "";
  };
  std::string fault = steps();
  if (!fault.empty()) {
    PressUntilGone(dlg, "キャンセル");  // the test goes on, to fail
    return fault;
  }
  return PressUntilGone(dlg, button) ? "" : std::string("the picker stayed after ") + button;
}

// The result log's text, once it shows, closed with OK.
struct TShownLog {
  bool shown = false;
  std::string caption, text;
};
TShownLog ResultLog(int ms = 60000) {
  TShownLog log;
  HWND dlg = WaitOwn("TDispDlg", nullptr, ms);
  if (!dlg) return log;
  log.shown = true;
  log.caption = TextOf(dlg);
  log.text = TextOf(GetDlgItem(dlg, 100));
  PressUntilGone(dlg, "OK");
  return log;
}

// The text of the message box with that caption, once it shows, answered OK.
std::string MessageBoxText(const char* caption) {
  HWND box = WaitOwn("#32770", caption, 60000);
  if (!box) return "(no message box)";
  std::string text;
  for (HWND c = nullptr; (c = FindWindowExA(box, c, "Static", nullptr)) != nullptr;) text += TextOf(c);
  PressUntilGone(box, "OK");
  return text;
}

// Runs the steps on a thread of its own and, once they are done, closes
// every result log that shows until the call under test has returned:
// Logs() counts those.
class TBeside {
 public:
  explicit TBeside(std::function<void()> steps)
      : FThread([this, steps] {
          steps();
          while (!FDone)
            if (ResultLog(50).shown) ++FLogs;
        }) {}
  ~TBeside() { Join(); }
  void Join() {
    FDone = true;
    if (FThread.joinable()) FThread.join();
  }
  int Logs() {
    Join();
    return FLogs;
  }

 private:
  std::atomic<bool> FDone{false};
  std::atomic<int> FLogs{0};
  std::thread FThread;
};

std::string ClipboardExtractDir() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_TOVIX_EXTRACTDIR))
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  CloseClipboard();
  return text;
}

// A top-level window on a thread of its own, as another instance has, that
// counts the folder announcements it hears.
class TListener {
 public:
  TListener() {
    FThread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(FReady, 5000);
  }
  ~TListener() {
    PostThreadMessageA(FThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(FThread, 5000);
    CloseHandle(FThread);
    CloseHandle(FReady);
  }
  // How many announcements came, once the queue has drained; -1 when the
  // last one named another sender.
  int Heard(WPARAM Sender) {
    Sleep(300);
    return FLastSender == Sender ? static_cast<int>(FCount) : -1;
  }

 private:
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<TListener*>(p);
    self->FThreadId = GetCurrentThreadId();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TovixTestListener";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(self->FReady);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
      if (m.message == WM_TOVIX_CHANGEEXDIR && m.hwnd == w) {
        self->FLastSender = m.wParam;
        InterlockedIncrement(&self->FCount);
      }
      DispatchMessageA(&m);
    }
    DestroyWindow(w);
    return 0;
  }
  HANDLE FReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE FThread = nullptr;
  DWORD FThreadId = 0;
  volatile WPARAM FLastSender = 0;
  volatile LONG FCount = 0;
};

struct ExtractWindow : ::testing::Test {
  TVantrelbyHalvek* form = nullptr;
  std::string dir;  // this test's own folder

  static void SetUpTestSuite() { StartWindowSuite(); }
  static void TearDownTestSuite() { EndWindowSuite(Root()); }
  void SetUp() override {
    dir = Root() + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\temp").c_str(), nullptr);
    form = new TVantrelbyHalvek(Application);
    form->FTempPath = dir + "\\temp\\";
    DispDlg = new TDispDlg(nullptr, form->Handle());
  }
  void TearDown() override {
    delete DispDlg;
    delete form;
  }
  std::string NewWorkFolder() {
    std::string w = form->MakeWorkFolder();
    EXPECT_TRUE(CreateDirectoryA(w.c_str(), nullptr)) << w;
    return w;
  }
};

}  // namespace

TEST_F(ExtractWindow, WorkFolderNamesSkipEverythingThatExists) {
  const std::string t = form->FTempPath;
  EXPECT_EQ(form->MakeWorkFolder(), t + "tovix.0");
  // A name is only reserved by existing.
  EXPECT_EQ(form->MakeWorkFolder(), t + "tovix.0");
  CreateDirectoryA((t + "tovix.0").c_str(), nullptr);
  CreateDirectoryA((t + "tovix.1").c_str(), nullptr);
  EXPECT_EQ(form->MakeWorkFolder(), t + "tovix.2");
  // A plain file with the next name must not make every later work folder
  // fail: the name is passed over.
  Put(t + "tovix.2", "stray");
  const std::string next = form->MakeWorkFolder();
  EXPECT_EQ(next, t + "tovix.3");
  EXPECT_TRUE(CreateDirectoryA(next.c_str(), nullptr));
  EXPECT_EQ(form->MakeWorkFolder(), t + "tovix.4");
  EXPECT_TRUE(IsFile(t + "tovix.2"));
}

TEST_F(ExtractWindow, CloseAndExitDeleteWorkFilesAndFoldersEvenAfterAFailedExtraction) {
  form->FPreviewDir = NewWorkFolder();
  const std::string viewed = form->FPreviewDir + "\\viewed.txt", held = form->FPreviewDir + "\\held.txt";
  Put(viewed, "v");
  Put(held, "h");
  form->FWorkFiles->Add(viewed);
  form->FWorkFiles->Add(held);
  form->FWorkFiles->Add(form->FPreviewDir + "\\gone-already.txt");
  const std::string test = NewWorkFolder();
  CreateDirectoryA((test + "\\sub").c_str(), nullptr);
  Put(test + "\\sub\\x.bin", "x");
  form->FWorkFolders->Add(test);
  form->FWorkFolders->Add(form->FTempPath + "tovix.99");

  // An extraction that fails: the library reports, nothing is left behind.
  const std::string bad = dir + "\\bad.lzh", out = dir + "\\out";
  Put(bad, LhaStored("bad.txt", "these bytes do not match the stored check value", false));
  CreateDirectoryA(out.c_str(), nullptr);
  form->Archive1->SetArcName(bad);
  form->ListArchive();
  std::string picked;
  TShownLog log;
  {
    TBeside user([&] {
      picked = PickFolder(out, {{"フォルダ作成", false}});
      log = ResultLog();
    });
    form->UnPack1Folder(nullptr);
  }
  EXPECT_EQ(picked, "");
  EXPECT_TRUE(log.shown);
  EXPECT_EQ(log.caption, "tovixの解凍結果");
  EXPECT_NE(log.text, "");

  // A viewer still holds one file: it stays recorded for the next attempt.
  HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  form->New1Click(nullptr);
  CloseHandle(h);
  EXPECT_FALSE(IsFile(viewed));
  EXPECT_FALSE(IsDir(test));
  EXPECT_EQ(form->FWorkFolders->Count(), 0);
  ASSERT_EQ(form->FWorkFiles->Count(), 1);
  EXPECT_EQ(form->FWorkFiles->Strings(0), held);
  EXPECT_TRUE(IsDir(form->FPreviewDir));  // the previews keep their folder until exit
  EXPECT_EQ(form->Archive1->ArcName(), "");
  EXPECT_EQ(form->Caption(), "Tovix");

  // Exit takes the rest: the file no longer held, a later work folder, and
  // the previews' folder with everything in it.
  const std::string later = NewWorkFolder(), preview = form->FPreviewDir;
  Put(later + "\\y.txt", "y");
  form->FWorkFolders->Add(later);
  Put(preview + "\\left.txt", "l");
  delete DispDlg;
  delete form;
  form = nullptr;
  EXPECT_FALSE(IsFile(held));
  EXPECT_FALSE(IsDir(later));
  EXPECT_FALSE(IsDir(preview));
  // Only the folders the test made itself are left.
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((dir + "\\temp\\*").c_str(), &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  std::string left;
  do {
    if (fd.cFileName[0] != '.') left += std::string(fd.cFileName) + " ";
  } while (FindNextFileA(f, &fd));
  FindClose(f);
  EXPECT_EQ(left, "");
  EXPECT_TRUE(IsDir(out));
}

TEST_F(ExtractWindow, DroppedStreamsGoIntoTheChosenFolderAndAreAnnounced) {
  const std::string a = dir + "\\notes.txt.gz", b = dir + "\\data.bin.gz", out = dir + "\\out";
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>(i * 7));
  Put(a, Gzip("hello\r\n"));
  Put(b, Gzip(bytes));
  CreateDirectoryA(out.c_str(), nullptr);
  TListener other;  // another instance's window
  // Cancelled: the dropped paths stay for the caller, nothing is written.
  form->FPendingFiles->Add(a);
  form->FPendingFiles->Add(b);
  std::string picked;
  {
    TBeside user([&] { picked = PickFolder("", {}, "キャンセル"); });
    form->ExtractDropped();
  }
  EXPECT_EQ(picked, "");
  EXPECT_EQ(form->FPendingFiles->Count(), 2);
  EXPECT_FALSE(IsFile(out + "\\notes.txt"));

  TBeside user([&] { picked = PickFolder(out); });
  form->ExtractDropped();
  EXPECT_EQ(picked, "");
  EXPECT_EQ(user.Logs(), 0) << "no log for dropped streams";
  EXPECT_EQ(Get(out + "\\notes.txt"), "hello\r\n");
  EXPECT_EQ(Get(out + "\\data.bin"), bytes);
  EXPECT_EQ(form->FPendingFiles->Count(), 0);
  EXPECT_EQ(form->Archive1->ArcName(), "");  // closed again
  EXPECT_EQ(lstrcmpiA(LastExtractDir.c_str(), out.c_str()), 0) << LastExtractDir;
  EXPECT_EQ(lstrcmpiA(ClipboardExtractDir().c_str(), out.c_str()), 0) << ClipboardExtractDir();
  EXPECT_EQ(other.Heard(reinterpret_cast<WPARAM>(form->Handle())), 1);
  // Only the two streams came out, and nothing beside the chosen folder.
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((out + "\\*").c_str(), &fd);
  int n = 0;
  do n += fd.cFileName[0] != '.';
  while (FindNextFileA(f, &fd));
  FindClose(f);
  EXPECT_EQ(n, 2);
}

// (UnPack\OpenFolder, which asks the shell to open the folder made, is seen
// in tests/browser_extract/extract_e2e.sh, whose prefix has an opener of its own.)
TEST_F(ExtractWindow, MakeFolderCutsTheNumberAndTheSettingHidesTheLog) {
  const std::string arc = dir + "\\disk01.lzh", out = dir + "\\out", clash = dir + "\\clash";
  Put(arc, LhaStored("f.txt", "stored text\r\n"));
  CreateDirectoryA(out.c_str(), nullptr);
  CreateDirectoryA(clash.c_str(), nullptr);
  form->Settings.UnPack.DelFolderNum = true;
  form->Settings.UnPack.HideDlg = true;
  form->Archive1->SetArcName(arc);
  form->ListArchive();
  std::string picked;
  {
    TBeside user([&] { picked = PickFolder(out, {{"フォルダ作成", true}}); });
    form->UnPack1Folder(nullptr);
    EXPECT_EQ(picked, "");
    EXPECT_EQ(user.Logs(), 0);
  }
  EXPECT_EQ(Get(out + "\\disk\\f.txt"), "stored text\r\n");

  // A plain file where the folder should go: reported, nothing extracted.
  Put(clash + "\\disk", "in the way");
  std::string said;
  {
    TBeside user([&] {
      picked = PickFolder(clash, {{"フォルダ作成", true}});
      said = MessageBoxText("Tovix");
    });
    form->UnPack1Folder(nullptr);
  }
  EXPECT_EQ(picked, "");
  EXPECT_NE(said.find("フォルダを作成できませんでした。"), std::string::npos) << said;
  EXPECT_NE(said.find(clash + "\\disk"), std::string::npos) << said;
  EXPECT_EQ(Get(clash + "\\disk"), "in the way");
  EXPECT_FALSE(IsFile(clash + "\\f.txt"));
}
