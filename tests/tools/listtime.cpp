// listtime: times the browser from outside, as a person with a stopwatch
// would, for scripts/bench-listing.sh.
//
//   listtime EXE ARCHIVE ROWS NODES [STEP]...
//
// Starts EXE on ARCHIVE and polls its new main window every millisecond
// until the list view holds ROWS rows, the tree NODES nodes, both are shown
// and nothing of the window waits to be painted; prints "listed MS" (from
// just before the process is created). Then runs the steps on that window,
// each timed the same way (its action, then until the condition holds and
// the window is painted):
//   fill PATH ROWS   selects the tree node PATH ("root/a/b"): prints
//                    "fill PATH MS" once the list holds ROWS rows
//   sort COL         clicks the header of column COL: "sort COL MS"
//   command CAPTION  chooses the menu item CAPTION (without "&"), the select
//                    all command: "command MS" once every row is selected
// Finally closes the window and waits for the process to end. Exit code 0
// when every step finished within 60 s, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hook_client.h"

namespace {

LARGE_INTEGER g_freq;

double Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(g_freq.QuadPart);
}

struct Windows {
  DWORD pid = 0;
  HWND top = nullptr, list = nullptr, tree = nullptr;
};

BOOL CALLBACK FindTopProc(HWND h, LPARAM lp) {
  auto* w = reinterpret_cast<Windows*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (pid != w->pid || std::strcmp(cls, "TVantrelbyHalvek") != 0) return TRUE;
  w->top = h;
  return FALSE;
}

BOOL CALLBACK FindChildProc(HWND h, LPARAM lp) {
  auto* w = reinterpret_cast<Windows*>(lp);
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (!w->list && lstrcmpiA(cls, WC_LISTVIEWA) == 0) w->list = h;
  if (!w->tree && lstrcmpiA(cls, WC_TREEVIEWA) == 0) w->tree = h;
  return TRUE;
}

// A message the program answers when it next looks at its queue; -1 while
// it is busy beyond the timeout.
LRESULT Ask(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
  DWORD_PTR res = 0;
  if (!SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, 60000, &res)) return -1;
  return static_cast<LRESULT>(res);
}

bool Painted(HWND h) { return IsWindowVisible(h) && !GetUpdateRect(h, nullptr, FALSE); }

// Polls until the condition holds and the window and its lists are painted.
template <class Cond>
bool WaitFor(const Windows& w, Cond cond, double until) {
  while (Now() < until) {
    if (cond() && Painted(w.top) && Painted(w.list) && Painted(w.tree)) return true;
    Sleep(1);
  }
  return false;
}

// Memory in the program's process for the messages that take pointers.
class Remote {
 public:
  explicit Remote(DWORD pid)
      : proc_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)),
        mem_(proc_ ? static_cast<char*>(VirtualAllocEx(proc_, nullptr, 8192, MEM_COMMIT, PAGE_READWRITE)) : nullptr) {}
  ~Remote() {
    if (mem_) VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
    if (proc_) CloseHandle(proc_);
  }
  char* at(size_t off) const { return mem_ + off; }
  void write(size_t off, const void* p, size_t n) { WriteProcessMemory(proc_, mem_ + off, p, n, nullptr); }
  void read(size_t off, void* p, size_t n) { ReadProcessMemory(proc_, mem_ + off, p, n, nullptr); }

 private:
  HANDLE proc_;
  char* mem_;
};

std::string NodeText(Remote& r, HWND tree, HTREEITEM item) {
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = r.at(1024);
  it.cchTextMax = 1024;
  r.write(0, &it, sizeof it);
  char zero = 0;
  r.write(1024, &zero, 1);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(r.at(0)));
  char buf[1025] = {};
  r.read(1024, buf, 1024);
  return buf;
}

HTREEITEM FindNode(Remote& r, HWND tree, const std::string& path) {
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  size_t p = 0;
  while (item) {
    size_t slash = path.find('/', p);
    std::string part = path.substr(p, slash == std::string::npos ? std::string::npos : slash - p);
    while (item && NodeText(r, tree, item) != part)
      item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    if (!item || slash == std::string::npos) return item;
    p = slash + 1;
    item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
  }
  return nullptr;
}

// Menu commands go through uiprobe_hook.dll (beside this program), which
// reads the menu inside the program's process: "command\tCAPTION" as a
// global atom posts the item's command.
void Command(HWND top, const std::string& caption) {
  ATOM atom = GlobalAddAtomA(("command\t" + caption).c_str());
  std::string answer, why;
  const bool answered =
      hook_client::Ask(top, "UiProbeMenu", "UiProbeMenu", static_cast<LPARAM>(atom), 60000, answer, &why);
  GlobalDeleteAtom(atom);
  if (!answered && !why.empty()) std::printf("error: %s\n", why.c_str());
  else if (!answered) std::printf("error: no answer to the menu command %s\n", caption.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: listtime EXE ARCHIVE ROWS NODES [STEP]...\n");
    return 2;
  }
  QueryPerformanceFrequency(&g_freq);
  const LRESULT rows = std::atol(argv[3]), nodes = std::atol(argv[4]);
  std::string cmd = std::string("\"") + argv[1] + "\" \"" + argv[2] + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double t0 = Now();
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("error: cannot start %s\n", argv[1]);
    return 1;
  }
  Windows w;
  w.pid = pi.dwProcessId;
  const double limit = t0 + 60000;
  bool ok = false;
  while (Now() < limit) {
    if (!w.top) EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&w));
    if (w.top && (!w.list || !w.tree)) EnumChildWindows(w.top, FindChildProc, reinterpret_cast<LPARAM>(&w));
    if (w.list && w.tree && Ask(w.list, LVM_GETITEMCOUNT) == rows && Ask(w.tree, TVM_GETCOUNT) == nodes &&
        Painted(w.top) && Painted(w.list) && Painted(w.tree)) {
      ok = true;
      break;
    }
    Sleep(1);
  }
  if (ok) std::printf("listed %.0f\n", Now() - t0);
  else std::printf("error: not listed within 60 s\n");
  std::fflush(stdout);

  Remote r(w.pid);
  for (int i = 5; ok && i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "fill" && i + 2 < argc) {
      const std::string path = argv[++i];
      const LRESULT want = std::atol(argv[++i]);
      HTREEITEM node = FindNode(r, w.tree, path);
      if (!node) {
        std::printf("error: no node %s\n", path.c_str());
        ok = false;
        break;
      }
      const double s = Now();
      SendMessageA(w.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
      ok = WaitFor(w, [&] { return Ask(w.list, LVM_GETITEMCOUNT) == want; }, s + 60000);
      std::printf("fill %s %.1f\n", path.c_str(), Now() - s);
    } else if (step == "sort" && i + 1 < argc) {
      const int col = std::atoi(argv[++i]);
      HWND header = reinterpret_cast<HWND>(SendMessageA(w.list, LVM_GETHEADER, 0, 0));
      RECT rc{};
      SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(r.at(0)));
      r.read(0, &rc, sizeof rc);
      const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
      const double s = Now();
      SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageA(header, WM_LBUTTONUP, 0, at);
      ok = WaitFor(w, [] { return true; }, s + 60000);
      std::printf("sort %d %.1f\n", col, Now() - s);
    } else if (step == "command" && i + 1 < argc) {
      const std::string caption = argv[++i];
      const LRESULT n = Ask(w.list, LVM_GETITEMCOUNT);
      const double s = Now();
      Command(w.top, caption);
      ok = WaitFor(w, [&] { return Ask(w.list, LVM_GETSELECTEDCOUNT) == n; }, s + 60000);
      std::printf("command %.1f\n", Now() - s);
    } else {
      std::printf("error: unknown step %s\n", step.c_str());
      ok = false;
    }
    std::fflush(stdout);
  }

  if (w.top) PostMessageA(w.top, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    ok = false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return ok ? 0 : 1;
}
