// Shared ground of the engine tests: a small form as the engine's owner, the
// recording libraries chosen per test by folder, their scripted answers and
// the journal they write, and uiprobe beside the test to answer the engine's
// real dialogs.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include "../tools/scratch_dir.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Archiver.h"

// A form with a real window, as the program's main window is.
class TTestForm : public TComponent {
 public:
  TTestForm() : TComponent(nullptr) {
    static ATOM atom = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "TTestForm";
      return RegisterClassA(&wc);
    }();
    (void)atom;
    FWnd = CreateWindowExA(0, "TTestForm", "test", WS_OVERLAPPEDWINDOW, 100, 100, 600, 400, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(FWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TTestForm() override { DestroyWindow(FWnd); }
  bool IsForm() const override { return true; }
  HWND GetHandle() override { return FWnd; }
  // Run when the window gets WM_APP (posted by a test).
  std::function<void()> OnApp;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TTestForm*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (m == WM_APP && self && self->OnApp) {
      self->OnApp();
      return 0;
    }
    return DefWindowProcA(h, m, w, l);
  }
  HWND FWnd;
};

inline std::string ExeFolder() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, n);
  return p.substr(0, p.find_last_of('\\') + 1);
}

// uiprobe run beside the test, working the windows this process shows (the
// engine's questions and progress boxes) through their controls, as a user
// would: Beside probe({"answer", "はい(Y)"}); ...; EXPECT_TRUE(probe.Done()).
class Beside {
 public:
  explicit Beside(const std::vector<std::string>& commands) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    FOut = std::string(tmp) + "tovix-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++Count()) + ".txt";
    std::string line = "\"" + ExeFolder() + "..\\uiprobe.exe\" pid " + std::to_string(GetCurrentProcessId());
    for (const std::string& c : commands) line += " \"" + c + "\"";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(FOut.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      FProc = pi.hProcess;
    }
    CloseHandle(out);
  }
  ~Beside() { Done(); }
  // Waits for the probe (working off this thread's messages meanwhile);
  // true when every command succeeded. Output holds its lines.
  bool Done() {
    if (FProc) {
      while (MsgWaitForMultipleObjects(1, &FProc, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      }
      DWORD rc = 1;
      GetExitCodeProcess(FProc, &rc);
      CloseHandle(FProc);
      FProc = nullptr;
      FOk = rc == 0;
      std::ifstream f(FOut, std::ios::binary);
      std::stringstream s;
      s << f.rdbuf();
      Output = s.str();
      f.close();
      DeleteFileA(FOut.c_str());
    }
    return FOk;
  }
  std::string Output;  // UTF-8
  // Whether the probe's lines hold this text (in the program's code page).
  bool Saw(const std::string& text) {
    Done();
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, w.data(), n);
    int m = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, u.data(), m, nullptr, nullptr);
    u.resize(u.size() - 1);
    return Output.find(u) != std::string::npos;
  }

 private:
  static int& Count() {
    static int n = 0;
    return n;
  }
  HANDLE FProc = nullptr;
  bool FOk = false;
  std::string FOut;
};

inline std::string Hex(const void* p) {
  char b[32];
  std::snprintf(b, sizeof b, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return b;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Scratch = std::string(tmp) + "tovix-engine-" + std::to_string(GetCurrentProcessId()) + "-" +
              info->test_suite_name() + "-" + info->name() + "\\";
    for (char& c : Scratch)
      if (c == '/') c = '_';
    scratch_dir::RemoveTree(Scratch);  // process ids come round again between runs
    CreateDirectoryA(Scratch.c_str(), nullptr);
    Journal = Scratch + "journal.txt";
    SetVar("ARC_JOURNAL", Journal);
    RarBusy = InfoZipBusy = ZipBusy = false;
    Form = new TTestForm;
  }
  void TearDown() override {
    delete Engine;
    Engine = nullptr;
    delete Form;
    for (const std::string& v : FVars) SetVar(v, "");
    SetDllDirectoryA(nullptr);
    RarBusy = InfoZipBusy = ZipBusy = false;
  }

  // An environment variable for this process and the libraries it loads.
  void SetVar(const std::string& name, const std::string& value) {
    FVars.insert(name);
    std::string s = name + "=" + value;
    _putenv(s.c_str());
    SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  }
  // A scripted answer of one recording library: REC_<lib>_<key>.
  void Rec(const std::string& lib, const std::string& key, const std::string& value) {
    SetVar("REC_" + lib + "_" + key, value);
  }

  // The engine bound to the recording libraries of one folder below bin.
  TArchiver* Make(const std::string& variant = "recorder", TArchiverDLLopts opts = {}) {
    SetDllDirectoryA((ExeFolder() + "..\\" + variant).c_str());
    Engine = new TArchiver(Form);
    Engine->DllOptions = opts;
    Engine->Loaded();
    return Engine;
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> r;
    std::ifstream f(Journal, std::ios::binary);
    std::string line;
    while (std::getline(f, line)) r.push_back(line);
    return r;
  }
  void ClearJournal() { DeleteFileA(Journal.c_str()); }
  // Lines of one library that begin with the entry's name.
  std::vector<std::string> Calls(const std::string& lib, const std::string& entry) const {
    std::vector<std::string> r;
    std::string head = lib + " " + entry;
    for (const std::string& l : Lines())
      if (l.compare(0, head.size(), head) == 0 && (l.size() == head.size() || l[head.size()] == ' '))
        r.push_back(l.substr(head.size() + (l.size() > head.size() ? 1 : 0)));
    return r;
  }
  // The command text of the last Command or ExtractMem call ("" when none).
  std::string LastCmd(const std::string& lib) const {
    std::string r;
    for (const std::string& l : Lines()) {
      if (l.compare(0, lib.size() + 1, lib + " ") != 0) continue;
      std::string rest = l.substr(lib.size() + 1);
      if (rest.compare(0, 8, "Command ") != 0 && rest.compare(0, 11, "ExtractMem ") != 0) continue;
      size_t at = rest.find(" cmd=");
      if (at != std::string::npos) r = rest.substr(at + 5);
    }
    return r;
  }
  std::string WriteEntries(const std::vector<std::string>& lines) {
    std::string path = Scratch + "entries" + std::to_string(++FEntryFiles) + ".txt";
    std::ofstream f(path, std::ios::binary);
    for (const std::string& l : lines) f << l << "\n";
    return path;
  }
  static void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f << data;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string Scratch, Journal;
  TTestForm* Form = nullptr;
  TArchiver* Engine = nullptr;

 private:
  std::set<std::string> FVars;
  int FEntryFiles = 0;
};
