// Shared ground of the engine tests: a small form as the engine's owner, the
// recording libraries chosen per test by folder, their scripted answers and
// the journal they write.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
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
    CreateDirectoryA(Scratch.c_str(), nullptr);
    Journal = Scratch + "journal.txt";
    DeleteFileA(Journal.c_str());  // process ids come round again between runs
    SetVar("ARC_JOURNAL", Journal);
    SetVar("TOVIX_ANSWERS", "none=1");  // nothing modal may wait for a person
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
