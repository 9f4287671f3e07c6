// uiprobe: looks at and drives another process's window for GUI tests.
//
//   uiprobe COMMAND [ARGS] [COMMAND [ARGS]]...
//
// Commands run in order; output lines are UTF-8. Texts given as arguments
// arrive in the program's code page (Wine converts the Unix arguments).
//   wait CLASS [MS]       wait for a visible top-level window of CLASS (default
//                         10000 ms); it becomes the target. Fails on timeout.
//   waitgone CLASS [MS]   wait until no top-level window of CLASS is left
//   find CLASS            like wait without waiting; prints "none" if absent
//   target HWND           makes the window with that handle (decimal) the target,
//                         for tests that run several windows of one class
//   caption               "caption: TEXT"
//   rect                  "rect: LEFT TOP RIGHT BOTTOM" of the window on screen
//   status                "status[i]: TEXT" for every status-bar panel
//   tabs                  "tab[i]: TEXT" (and "*" after the selected one)
//   tree                  every tree-view node, two spaces per level, "*"
//                         after the selected one
//   columns               "column[i]: TEXT WIDTH"
//   list                  every list-view row: columns joined by " | ", "*"
//                         before selected rows
//   menus                 the whole menu bar: caption [disabled] [checked]
//   popup CLASS           opens the popup menu of the first child window of
//                         CLASS as a right click in its middle does, prints
//                         its items as menus does and closes it with Escape
//   menu CAPTION          the state line of the first item whose caption
//                         (without "&" and the shortcut part) is CAPTION
//   command CAPTION       posts WM_COMMAND for that menu item
//   toolbar               "button[i]: id=N image=N [hidden] [disabled] [sep] tip=TEXT"
//   press N               presses toolbar button N (index in the bar)
//   select-node PATH      selects the tree node at PATH ("root/a/b")
//   select-rows I,J,...   selects list rows (none: "-") and reports a click
//   key VK                sends a key press to the list view (decimal code)
//   tab N                 clicks tab N of the tab control
//   memo                  "memo: N bytes", then the multi-line edit's text
//                         (lines without CR)
//   close                 posts WM_CLOSE to the target
//   wait-exit [MS]        waits for the target's process to end; fails on timeout
//   sleep MS
//   menu-key CHAR         opens the menu-bar menu with that mnemonic, as Alt+CHAR
//                         does (the first item of its drop-down is highlighted)
//   post-key VK           posts a key press (decimal code) to the target's
//                         thread, where an open menu's loop takes it
//   simple                "simple: TEXT" while the status bar shows its simple
//                         panel, "simple: off" otherwise
//   context CLASS         asks the first child window of CLASS for its popup
//                         menu, as a right click in its middle does
//   cursor X Y            moves the mouse pointer to X, Y on the screen (an open
//                         menu highlights the item under a pointer left there)
//   f1 CLASS N            presses F1 on the Nth (from 0) child window of CLASS,
//                         with a help viewer of its own listening; prints
//                         "help: COMMAND DATA FILE" for the request that
//                         arrives within 5 s, fails without one
// Dialogs (of the process of the first window found):
//   dialog TEXT [MS]      wait for another visible top-level window whose class
//                         ("#32770" for a system dialog) or caption is TEXT;
//                         it becomes the target
//   answer CAPTION [MS]   wait for a message box, print "msgbox: CAPTION |
//                         TEXT...", press its button CAPTION (without "&") and
//                         wait until the box is gone
//   controls              every control: "CLASS id=N [hidden] [disabled]
//                         [checked] [focus] TEXT"; list rows follow indented,
//                         "*" before the selected one
//   focus                 "focus: CLASS id=N TEXT" of the control with the focus
//   type N TEXT           sets the text of the N-th edit or combo box (from 0)
//   keys TEXT             types TEXT into the control with the focus
//   vk enter|escape|tab|N presses that key in the control with the focus
//   alt LETTER            presses Alt with LETTER there (an access key)
//   tick CAPTION [0|1]    clicks the check box or radio button (only when it
//                         is not already in the state given)
//   click CAPTION         presses the button
//   pick N ROW            chooses a row (number or text) of the N-th list box
//                         or combo box
//   check [texts]         the dialog check (texts: only the texts and captions): owner and the program's other
//                         windows disabled, the focus on the first input
//                         control (else a button), on the screen, a title
//                         bar, no literal "&" in captions, no label across a
//                         group box's frame, every static text and list row fits
//                         its control in its own font (measured inside the
//                         process by uiprobe_hook.dll); "fault: ..." lines or
//                         "check: CAPTION ok"
// The program's common dialogs (the target is the dialog):
//   browse PATH           the folder picker selects PATH, as choosing it in its
//                         tree does
//   track N POS           moves the N-th shown track bar (from 0) to POS, as a
//                         drag of its thumb ending there does
// Archivers, engine, extensions and setup (programs without a main window of
// their own, or the test program itself as the process under test):
//   pid N                 the process under test is N (decimal): dialog and
//                         answer look only at its windows
//   gone                  waits (up to 10 s) until the target is closed or
//                         hidden (before answering the next box of its kind)
//   touch PATH            creates an empty file PATH (tells a waiting test
//                         library that the steps before it were taken)
//   choose-folder PATH    in the target's folder tree (a folder picker),
//                         opens the nodes from the selected one down to the
//                         folder PATH (X:\a\b) by their names and selects it
// Editing (the main window's command dialogs):
//   into N                clicks into the N-th edit or combo box (from 0), as a
//                         user does before typing there: it takes the focus
//   caret N LINE COL      puts the caret of the N-th edit at LINE, COL (from 0)
//   ctrl LETTER           types Ctrl with LETTER into the control with the focus
// Pictures (the preview tests):
//   picture [CLASS]       what the target's first child window of CLASS
//                         (default TImage) shows, read from its pixels inside
//                         the process (uiprobe_hook.dll): "picture: WxH at X,Y"
//                         for the part that differs from its background (the
//                         top-left pixel), "picture: none" when nothing does
//   help-click CAPTION    presses the target's button CAPTION (without "&")
//                         with a help viewer of its own listening, as f1 does
// Waiting for what was posted to be taken (in place of a pause):
//   blur N MS             waits up to MS until the N-th edit or combo box (from
//                         0) has lost the focus, as it does once a Tab posted
//                         to it has been handled
// Editing commands (help asked by a menu command):
//   help-command CAPTION  chooses that menu item with a help viewer of its own
//                         listening; prints "help: COMMAND DATA FILE" for the
//                         request that arrives within 5 s, fails without one
// File dialogs (the target is an open or save dialog):
//   folder                "folder: PATH" of the folder the dialog shows
//   choose N ROW          row ROW (from 0) of the N-th combo box chosen as a
//                         click in its dropped list does: the selection
//                         changes, then the list ends on it (the file
//                         dialogs' type box takes its choice only then)
//   hold ctrl|shift 1|0   presses (1) or lets go (0) that key on the keyboard,
//                         the target (if any) brought to the front first: the
//                         program sees it held from its next input on until
//                         it is let go; with a target, waits until the
//                         target's thread sees the key so
//   taken                 waits until the target's thread has taken what was
//                         posted to it before (a click, keys): in place of a
//                         pause after them
// Owners (a box over the window it belongs to):
//   owner                 "owner: CLASS enabled|disabled" for the target's
//                         owner, then " > " and that one's owner, and so on;
//                         "owner: none" without one
//   enabled               "enabled: yes|no" for the target itself
// The exit code is 0 when every command succeeded, 1 otherwise.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hook_client.h"

namespace {

HWND g_target = nullptr;

std::string Utf8(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, w.data(), n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string r(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, r.data(), m, nullptr, nullptr);
  if (!r.empty() && r.back() == '\0') r.pop_back();
  return r;
}

void Out(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Memory in the target process for the control messages that take pointers.
class Remote {
 public:
  explicit Remote(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    proc_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (proc_) mem_ = static_cast<char*>(VirtualAllocEx(proc_, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
  }
  ~Remote() {
    if (mem_) VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
    if (proc_) CloseHandle(proc_);
  }
  bool ok() const { return mem_ != nullptr; }
  char* at(size_t off) const { return mem_ + off; }
  void write(size_t off, const void* p, size_t n) { WriteProcessMemory(proc_, mem_ + off, p, n, nullptr); }
  void read(size_t off, void* p, size_t n) { ReadProcessMemory(proc_, mem_ + off, p, n, nullptr); }
  std::string str(size_t off) {
    std::string s(kText, '\0');
    read(off, s.data(), kText);
    s.resize(strnlen(s.c_str(), kText));
    return s;
  }
  static constexpr size_t kSize = 65536, kText = 4096, kTextOff = 8192;

 private:
  HANDLE proc_ = nullptr;
  char* mem_ = nullptr;
};

struct FindCtx {
  const char* cls;
  HWND found;
};

BOOL CALLBACK FindMemo(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") != 0 || !(GetWindowLongA(w, GWL_STYLE) & ES_MULTILINE)) return TRUE;
  *reinterpret_cast<HWND*>(p) = w;
  return FALSE;
}

HWND Child(const char* cls) {
  FindCtx c{cls, nullptr};
  if (!g_target) return nullptr;
  EnumChildWindows(g_target, [](HWND h, LPARAM lp) -> BOOL CALLBACK {
    auto* c = reinterpret_cast<FindCtx*>(lp);
    char name[128] = {};
    GetClassNameA(h, name, sizeof name);
    if (lstrcmpiA(name, c->cls) == 0) {
      c->found = h;
      return FALSE;
    }
    return TRUE;
  }, reinterpret_cast<LPARAM>(&c));
  return c.found;
}

HWND FindTop(const char* cls) {
  HWND h = FindWindowA(cls, nullptr);
  while (h && !IsWindowVisible(h)) h = FindWindowExA(nullptr, h, cls, nullptr);
  return h;
}

std::string TreeText(Remote& r, HWND tree, HTREEITEM item) {
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = r.at(Remote::kTextOff);
  it.cchTextMax = Remote::kText;
  r.write(0, &it, sizeof it);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(r.at(0)));
  return r.str(Remote::kTextOff);
}

void DumpTree(Remote& r, HWND tree, HTREEITEM item, int level, HTREEITEM sel) {
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    Out(std::string(level * 2, ' ') + Utf8(TreeText(r, tree, item)) + (item == sel ? " *" : ""));
    DumpTree(r, tree, reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))),
             level + 1, sel);
  }
}

bool Fail(const std::string& why) {
  Out("error: " + why);
  return false;
}

// ---- Dialogs: finding a window of the process under test, reading and
// working its controls as a user would, and the dialog check.

DWORD g_pid = 0;  // the process under test: that of the first window found

DWORD ProcessOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

std::string ClassOf(HWND w) {
  char cls[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  return cls;
}

std::string TextOf(HWND w) {
  // WM_GETTEXT rather than GetWindowText: that one does not ask another
  // process's controls.
  int n = static_cast<int>(SendMessageA(w, WM_GETTEXTLENGTH, 0, 0));
  std::string s(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
  n = static_cast<int>(SendMessageA(w, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data())));
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

// A caption as a user reads it: without the access-key marks.
std::string WithoutAmp(const std::string& s) {
  std::string out;
  for (size_t k = 0; k < s.size(); ++k) {
    if (IsDBCSLeadByte(static_cast<BYTE>(s[k])) && k + 1 < s.size()) {
      out += s[k];
      out += s[++k];
    } else if (s[k] == '&') {
      if (k + 1 < s.size() && s[k + 1] == '&') out += s[++k];
    } else {
      out += s[k];
    }
  }
  return out;
}

// Every control of the target, depth first in z-order (the tab order of a
// dialog).
std::vector<HWND> Controls(HWND top) {
  std::vector<HWND> all;
  EnumChildWindows(top, [](HWND h, LPARAM p) -> BOOL CALLBACK {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool IsClass(HWND w, const char* cls) { return lstrcmpiA(ClassOf(w).c_str(), cls) == 0; }

bool IsCheckOrRadio(HWND w) {
  if (!IsClass(w, "Button")) return false;
  LONG t = GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
  return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE || t == BS_RADIOBUTTON ||
         t == BS_AUTORADIOBUTTON;
}

bool IsPushButton(HWND w) {
  if (!IsClass(w, "Button")) return false;
  LONG t = GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
  return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == BS_OWNERDRAW;
}

// The first visible control of the target that is of one of the classes
// (after skip others), or whose caption without "&" is caption.
HWND NthControl(const std::vector<const char*>& classes, int skip) {
  for (HWND c : Controls(g_target)) {
    if (!IsWindowVisible(c)) continue;
    for (const char* cls : classes)
      if (IsClass(c, cls) && !(IsClass(c, "Edit") && IsClass(GetParent(c), "ComboBox")) && skip-- == 0) return c;
  }
  return nullptr;
}

HWND ButtonByCaption(const std::string& caption) {
  for (HWND c : Controls(g_target))
    if (IsWindowVisible(c) && IsClass(c, "Button") && WithoutAmp(TextOf(c)) == caption) return c;
  return nullptr;
}

HWND FocusOf(HWND w) {
  GUITHREADINFO gi{};
  gi.cbSize = sizeof gi;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gi)) return nullptr;
  return gi.hwndFocus;
}

struct TopSearch {
  std::string text;
  DWORD pid;
  HWND skip, found;
};

// A visible top-level window of the process under test whose class or
// caption is text (the newest such window other than skip first).
HWND FindDialog(const std::string& text, HWND skip) {
  TopSearch s{text, g_pid, skip, nullptr};
  EnumWindows([](HWND h, LPARAM p) -> BOOL CALLBACK {
    auto* s = reinterpret_cast<TopSearch*>(p);
    if (!IsWindowVisible(h) || h == s->skip || (s->pid && ProcessOf(h) != s->pid)) return TRUE;
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof buf);
    if (ClassOf(h) != s->text && buf != s->text) return TRUE;
    s->found = h;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

void PostKey(HWND to, WORD vk) {
  PostMessageA(to, WM_KEYDOWN, vk, 1);
  PostMessageA(to, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

// Asks uiprobe_hook.dll inside the process under test, on the thread of w
// (see hook_client.h).
bool AskHook(HWND w, const char* proc, const char* name, LPARAM lp, std::string& out) {
  std::string why;
  if (hook_client::Ask(w, proc, name, lp, 10000, out, &why)) return true;
  return why.empty() ? false : Fail(why);
}

bool Measure(HWND dlg, std::string& out) { return AskHook(dlg, "UiProbeGetMessage", "UiProbeMeasure", 0, out); }

// Menus: their handles are handles of the process under test, so the hook
// library reads them there (UiProbeMenu); the request goes as a global atom.
// Prints the answer's lines; false on an "error:" answer.
bool AskMenu(HWND w, const std::string& request) {
  ATOM atom = GlobalAddAtomA(request.c_str());
  if (!atom) return Fail("no atom for " + Utf8(request));
  std::string answer;
  bool got = AskHook(w, "UiProbeMenu", "UiProbeMenu", static_cast<LPARAM>(atom), answer);
  GlobalDeleteAtom(atom);
  if (!got) return Fail("no menu answer from the process");
  size_t p = 0;
  while (p < answer.size()) {
    size_t nl = answer.find('\n', p);
    Out(Utf8(answer.substr(p, nl == std::string::npos ? std::string::npos : nl - p)));
    if (nl == std::string::npos) break;
    p = nl + 1;
  }
  return answer.rfind("error:", 0) != 0;
}

// The dialog check: what a user meets when a dialog comes up.
bool CheckDialog(HWND dlg, bool textsOnly) {
  std::vector<std::string> faults;
  char caption[512] = {};
  GetWindowTextA(dlg, caption, sizeof caption);
  // Modal: its owner, and every other window of the program, waits.
  HWND owner = GetWindow(dlg, GW_OWNER);
  if (!owner) faults.push_back("no owner");
  else if (IsWindowEnabled(owner)) faults.push_back("owner enabled");
  struct Others {
    HWND dlg;
    DWORD pid;
    std::vector<std::string>* faults;
  } others{dlg, ProcessOf(dlg), &faults};
  EnumWindows([](HWND h, LPARAM p) -> BOOL CALLBACK {
    auto* o = reinterpret_cast<Others*>(p);
    if (h == o->dlg || !IsWindowVisible(h) || ProcessOf(h) != o->pid || !IsWindowEnabled(h)) return TRUE;
    for (HWND w = GetWindow(h, GW_OWNER); w; w = GetWindow(w, GW_OWNER))
      if (w == o->dlg) return TRUE;
    if (IsClass(h, "tooltips_class32")) return TRUE;
    o->faults->push_back("window " + ClassOf(h) + " enabled");
    return TRUE;
  }, reinterpret_cast<LPARAM>(&others));
  // On the screen.
  RECT r{};
  GetWindowRect(dlg, &r);
  if (r.left < 0 || r.top < 0 || r.right > GetSystemMetrics(SM_CXSCREEN) || r.bottom > GetSystemMetrics(SM_CYSCREEN))
    faults.push_back("off the screen: " + std::to_string(r.left) + "," + std::to_string(r.top) + "-" +
                     std::to_string(r.right) + "," + std::to_string(r.bottom));
  // A title bar to read and to move it by.
  if ((GetWindowLongA(dlg, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) faults.push_back("no title bar");
  else if (!caption[0]) faults.push_back("no title");
  // A caption shows no literal "&".
  if (std::string(caption).find('&') != std::string::npos) faults.push_back("caption shows &");
  for (HWND c : Controls(dlg)) {
    if (!IsWindowVisible(c) || !IsClass(c, "Static") || !(GetWindowLongA(c, GWL_STYLE) & SS_NOPREFIX)) continue;
    std::string t = TextOf(c);
    if (t.find('&') != std::string::npos && t.find("&&") == std::string::npos && IsClass(dlg, "#32770") == false)
      faults.push_back("label shows &: " + Utf8(t));
  }
  // No label lies across a group box's frame (its background would cut
  // the line).
  for (HWND g : Controls(dlg)) {
    if (!IsWindowVisible(g) || !IsClass(g, "Button") || (GetWindowLongA(g, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX)
      continue;
    RECT gr{}, inner{};
    GetWindowRect(g, &gr);
    inner = RECT{gr.left + 2, gr.top + 2, gr.right - 2, gr.bottom - 2};
    for (HWND c : Controls(dlg)) {
      if (!IsWindowVisible(c) || !IsClass(c, "Static") || TextOf(c).empty()) continue;
      RECT cr{}, both{};
      GetWindowRect(c, &cr);
      if (!IntersectRect(&both, &cr, &gr)) continue;
      if (cr.left >= inner.left && cr.top >= inner.top && cr.right <= inner.right && cr.bottom <= inner.bottom) continue;
      faults.push_back("label " + Utf8(TextOf(c)) + " over the frame of " + Utf8(TextOf(g)));
    }
  }
  // The focus: on the first input control in tab order, else on a button.
  std::string m;
  if (!Measure(dlg, m)) {
    faults.push_back("no measurement from the process");
  } else {
    HWND focus = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(m.c_str() + 6, nullptr, 10)));
    HWND first = nullptr, firstStop = nullptr;
    for (HWND c = GetNextDlgTabItem(dlg, nullptr, FALSE), start = c; c;) {
      const bool readOnly = IsClass(c, "Edit") && (GetWindowLongA(c, GWL_STYLE) & ES_READONLY);
      if (IsWindowVisible(c) && IsWindowEnabled(c) && !readOnly) {
        if (!firstStop) firstStop = c;
        for (const char* cls : {"Edit", "ComboBox", "ListBox", "SysTreeView32", "SysListView32", "msctls_trackbar32"})
          if (IsClass(c, cls)) first = c;
        if (first) break;
      }
      c = GetNextDlgTabItem(dlg, c, FALSE);
      if (c == start) break;
    }
    HWND want = first ? first : firstStop;
    bool ok = focus && (want ? (focus == want || IsChild(want, focus)) : (focus == dlg || IsChild(dlg, focus)));
    if (!first && focus && IsPushButton(focus)) ok = true;
    if (!ok && !textsOnly)
      faults.push_back("focus on " + (focus ? ClassOf(focus) + " " + Utf8(TextOf(focus)) : std::string("nothing")) +
                       ", not on " + (want ? ClassOf(want) + " " + Utf8(TextOf(want)) : std::string("the dialog")));
    // Every text fits its control.
    size_t p = 0;
    while (p < m.size()) {
      size_t nl = m.find('\n', p);
      std::string line = m.substr(p, nl == std::string::npos ? std::string::npos : nl - p);
      if (line.rfind("over ", 0) == 0) {
        // "over HWND WxH NEEDxNEED TEXT"
        size_t a = line.find(' ', 5), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
        faults.push_back("text cut (" + line.substr(a + 1, b - a - 1) + " for " + line.substr(b + 1, c - b - 1) +
                         "): " + Utf8(line.substr(c + 1)));
      }
      if (nl == std::string::npos) break;
      p = nl + 1;
    }
  }
  std::string name = Utf8(caption[0] ? caption : ClassOf(dlg).c_str());
  for (const std::string& f : faults) Out("fault: " + name + ": " + f);
  if (faults.empty()) Out("check: " + name + " ok");
  return faults.empty();
}

// The dialog commands; false in handled when cmd is none of them.
bool RunDialogCommand(const std::string& cmd, std::vector<std::string>& args, size_t& i, bool& handled) {
  handled = true;
  auto next = [&](const char* def) -> std::string {
    if (i < args.size()) return args[i++];
    return def ? def : "";
  };
  auto numeric = [&](const char* def) -> std::string {
    if (i < args.size() && !args[i].empty() && isdigit(static_cast<unsigned char>(args[i][0]))) return args[i++];
    return def;
  };
  if (cmd == "dialog" || cmd == "answer") {
    // answer: a message box; its texts, then the button pressed.
    std::string text = cmd == "answer" ? "#32770" : next(nullptr);
    std::string button = cmd == "answer" ? next(nullptr) : "";
    int ms = std::atoi(numeric("10000").c_str());
    if (g_target && !g_pid) g_pid = ProcessOf(g_target);
    for (int t = 0;; t += 50) {
      HWND h = FindDialog(text, cmd == "dialog" ? g_target : nullptr);
      if (h) {
        g_target = h;
        break;
      }
      if (t >= ms) return Fail("no window " + Utf8(text));
      Sleep(50);
    }
    if (cmd == "dialog") return true;
    std::string line = "msgbox: " + Utf8(TextOf(g_target));
    for (HWND c : Controls(g_target))
      if (IsClass(c, "Static") && !TextOf(c).empty()) line += " | " + Utf8(TextOf(c));
    Out(line);
    HWND b = ButtonByCaption(button);
    if (!b) return Fail("no button " + Utf8(button));
    // A click posted while the box is still being set up can be lost (seen
    // on a loaded machine): press again until the box is gone.
    HWND box = g_target;
    for (int t = 0; IsWindow(box) && IsWindowVisible(box); t += 50) {
      if (t % 1000 == 0) PostMessageA(b, BM_CLICK, 0, 0);
      if (t >= 10000) return Fail("message box still open after " + Utf8(button));
      Sleep(50);
    }
    return true;
  }
  if (cmd != "controls" && cmd != "type" && cmd != "keys" && cmd != "vk" && cmd != "alt" && cmd != "tick" && cmd != "click" &&
      cmd != "pick" && cmd != "check" && cmd != "focus") {
    handled = false;
    return false;
  }
  if (!g_target) return Fail("no target window (use wait or dialog first)");
  if (!g_pid) g_pid = ProcessOf(g_target);
  if (cmd == "controls") {
    // "CLASS id=N [flags] TEXT" for every control.
    HWND focus = FocusOf(g_target);
    for (HWND c : Controls(g_target)) {
      std::string line = ClassOf(c) + " id=" + std::to_string(GetDlgCtrlID(c));
      if (!IsWindowVisible(c)) line += " [hidden]";
      if (!IsWindowEnabled(c)) line += " [disabled]";
      if (IsCheckOrRadio(c) && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED) line += " [checked]";
      if (c == focus) line += " [focus]";
      if (IsClass(c, "ListBox") || IsClass(c, "ComboBox")) {
        bool lb = IsClass(c, "ListBox");
        int n = static_cast<int>(SendMessageA(c, lb ? LB_GETCOUNT : CB_GETCOUNT, 0, 0));
        int sel = static_cast<int>(SendMessageA(c, lb ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
        line += " " + Utf8(TextOf(c)) + " rows=" + std::to_string(n);
        Out(line);
        // The system carries the row's text across to this process.
        for (int k = 0; k < n; ++k) {
          wchar_t text[Remote::kText] = {};
          char utf8[Remote::kText * 3] = {};
          SendMessageW(c, lb ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(text));
          WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
          Out("  " + std::string(k == sel ? "* " : "") + utf8);
        }
        continue;
      }
      Out(line + " " + Utf8(TextOf(c)));
    }
    return true;
  }
  if (cmd == "focus") {
    HWND f = FocusOf(g_target);
    Out("focus: " + (f ? ClassOf(f) + " id=" + std::to_string(GetDlgCtrlID(f)) + " " + Utf8(TextOf(f)) : std::string("none")));
    return true;
  }
  if (cmd == "type") {
    // type N TEXT: the text of the N-th edit or combo box (from 0).
    int n = std::atoi(next("0").c_str());
    std::string text = next("");
    HWND e = NthControl({"Edit", "ComboBox"}, n);
    if (!e) return Fail("no edit " + std::to_string(n));
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (IsClass(e, "ComboBox"))
      PostMessageA(GetParent(e), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(e), CBN_EDITCHANGE), reinterpret_cast<LPARAM>(e));
    return true;
  }
  if (cmd == "keys" || cmd == "vk" || cmd == "alt") {
    // Keys go where the keyboard's go: to the control with the focus. A
    // window just shown may be found before its activation has moved the
    // focus into it (a slow first start): that is waited for a moment.
    HWND f = FocusOf(g_target);
    for (int t = 0; t < 3000 && !(f == g_target || IsChild(g_target, f)); t += 50) {
      Sleep(50);
      f = FocusOf(g_target);
    }
    if (!f) return Fail("nothing has the focus");
    if (cmd == "alt") {
      // Alt with a letter: the access key of a control.
      std::string k = next("");
      if (k.empty()) return Fail("no key");
      const LPARAM ctx = 1 | (1 << 29);
      PostMessageA(f, WM_SYSKEYDOWN, static_cast<WPARAM>(toupper(static_cast<unsigned char>(k[0]))), ctx);
      PostMessageA(f, WM_SYSCHAR, static_cast<WPARAM>(static_cast<unsigned char>(k[0])), ctx);
      PostMessageA(f, WM_SYSKEYUP, static_cast<WPARAM>(toupper(static_cast<unsigned char>(k[0]))), ctx | (3u << 30));
      return true;
    }
    if (cmd == "vk") {
      std::string v = next("13");
      PostKey(f, static_cast<WORD>(v == "enter" ? VK_RETURN : v == "escape" ? VK_ESCAPE : v == "tab" ? VK_TAB : std::atoi(v.c_str())));
      return true;
    }
    for (char ch : next("")) PostMessageA(f, WM_CHAR, static_cast<BYTE>(ch), 1);
    return true;
  }
  if (cmd == "tick" || cmd == "click") {
    // tick CAPTION [0|1]: a check box or radio button as a click would set
    // it; click CAPTION: a button pressed.
    std::string caption = next(nullptr);
    HWND b = ButtonByCaption(caption);
    if (!b) return Fail("no button " + Utf8(caption));
    if (cmd == "tick") {
      int want = std::atoi(numeric("-1").c_str());
      bool on = SendMessageA(b, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (want >= 0 && on == (want == 1)) return true;
    }
    if (!IsWindowEnabled(b)) return Fail("button " + Utf8(caption) + " disabled");
    PostMessageA(b, BM_CLICK, 0, 0);
    return true;
  }
  if (cmd == "pick") {
    // pick N ROW: row ROW (a number, or the row's text) of the N-th list or
    // combo box, chosen as a click would.
    int n = std::atoi(next("0").c_str());
    std::string row = next("0");
    HWND c = NthControl({"ListBox", "ComboBox"}, n);
    if (!c) return Fail("no list " + std::to_string(n));
    bool lb = IsClass(c, "ListBox");
    int k = -1;
    if (!row.empty() && isdigit(static_cast<unsigned char>(row[0]))) {
      k = std::atoi(row.c_str());
    } else {
      Remote r(c);
      if (!r.ok()) return Fail("cannot reach the target process");
      r.write(Remote::kTextOff, row.c_str(), row.size() + 1);
      k = static_cast<int>(SendMessageA(c, lb ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(r.at(Remote::kTextOff))));
    }
    if (k < 0 || SendMessageA(c, lb ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(k), 0) < 0)
      return Fail("no row " + Utf8(row));
    PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), lb ? LBN_SELCHANGE : CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(c));
    return true;
  }
  // check [texts]: texts only, for a page a click (which took the focus) showed.
  bool textsOnly = i < args.size() && args[i] == "texts";
  if (textsOnly) ++i;
  return CheckDialog(g_target, textsOnly);
}

// ---- menus, hints and help by context

HWND NthChild(const char* cls, int n) {
  struct Ctx {
    const char* cls;
    int left;
    HWND found;
  } c{cls, n, nullptr};
  if (!g_target) return nullptr;
  EnumChildWindows(g_target, [](HWND h, LPARAM lp) -> BOOL CALLBACK {
    auto* c = reinterpret_cast<Ctx*>(lp);
    char name[128] = {};
    GetClassNameA(h, name, sizeof name);
    if (lstrcmpiA(name, c->cls) != 0) return TRUE;
    if (c->left-- > 0) return TRUE;
    c->found = h;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&c));
  return c.found;
}

// The help viewer's side of the help protocol: a window of the viewer's
// class gets each request as WM_COPYDATA. Any viewer that registers the
// class receives them; this one only writes them down.
std::string g_help;

LRESULT CALLBACK HelpViewerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    struct Request {
      WORD size, command;
      LONG data, reserved;
      WORD ofsFilename, ofsData;
    };
    auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
    if (cds && cds->cbData >= sizeof(Request)) {
      auto* rq = static_cast<const Request*>(cds->lpData);
      std::string file;
      if (rq->ofsFilename && rq->ofsFilename < cds->cbData)
        file.assign(static_cast<const char*>(cds->lpData) + rq->ofsFilename,
                    strnlen(static_cast<const char*>(cds->lpData) + rq->ofsFilename, cds->cbData - rq->ofsFilename));
      g_help = std::to_string(rq->command) + " " + std::to_string(rq->data) + " " + file;
    }
    return TRUE;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

// Does what ask does (it posts what asks for help) with a help viewer of
// this process listening, and prints the request that arrives within ms.
bool AwaitHelp(const std::function<bool()>& ask, int ms) {
  static HWND viewer = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HelpViewerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MS_WINHELP";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  }();
  if (!viewer) return Fail("no help viewer window");
  g_help.clear();
  if (!ask()) return false;
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (g_help.empty() && static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  if (g_help.empty()) return Fail("no help request");
  Out("help: " + Utf8(g_help));
  return true;
}

bool PressF1(HWND control, int ms) {
  return AwaitHelp(
      [&] {
        PostMessageA(control, WM_KEYDOWN, VK_F1, 1);
        PostMessageA(control, WM_KEYUP, VK_F1, static_cast<LPARAM>(0xC0000001u));
        return true;
      },
      ms);
}

// Commands of this group; false in *known when the command is none of them.
bool RunMenuHelp(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "cursor") {
    int x = std::atoi(next("0").c_str());
    int y = std::atoi(next("0").c_str());
    return SetCursorPos(x, y) ? true : Fail("cursor not moved");
  }
  if (cmd == "menu-key") {
    std::string ch = next("");
    if (ch.empty()) return Fail("menu-key needs a character");
    PostMessageA(g_target, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(static_cast<unsigned char>(ch[0])));
    return true;
  }
  if (cmd == "post-key") {
    WPARAM vk = static_cast<WPARAM>(std::atoi(next("0").c_str()));
    DWORD thread = GetWindowThreadProcessId(g_target, nullptr);
    PostThreadMessageA(thread, WM_KEYDOWN, vk, 1);
    PostThreadMessageA(thread, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    return true;
  }
  if (cmd == "simple") {
    HWND sb = Child(STATUSCLASSNAMEA);
    if (!sb) return Fail("no status bar");
    if (!SendMessageA(sb, SB_ISSIMPLE, 0, 0)) {
      Out("simple: off");
      return true;
    }
    Remote r(g_target);
    if (!r.ok()) return Fail("cannot reach the target process");
    static const char zeros[Remote::kText] = {};
    r.write(Remote::kTextOff, zeros, sizeof zeros);
    // While simple, some status bars answer part 0 with the simple text and
    // refuse the simple panel's own index; ask both.
    SendMessageA(sb, SB_GETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(r.at(Remote::kTextOff)));
    std::string text = r.str(Remote::kTextOff);
    if (text.empty()) {
      SendMessageA(sb, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(r.at(Remote::kTextOff)));
      text = r.str(Remote::kTextOff);
    }
    Out("simple: " + Utf8(text));
    return true;
  }
  if (cmd == "context") {
    std::string cls = next("");
    HWND control = NthChild(cls.c_str(), 0);
    if (!control) return Fail("no " + cls);
    RECT r{};
    GetWindowRect(control, &r);
    PostMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                 MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    return true;
  }
  if (cmd == "popup") {
    // Opened as a right click opens it, read while it is open, closed with
    // Escape.
    std::string cls = next("");
    HWND control = NthChild(cls.c_str(), 0);
    if (!control) return Fail("no " + cls);
    struct Open {
      DWORD pid;
      HWND found;
    } open{ProcessOf(control), nullptr};
    auto find = [&open] {
      open.found = nullptr;
      EnumWindows([](HWND h, LPARAM p) -> BOOL CALLBACK {
        auto* o = reinterpret_cast<Open*>(p);
        if (!IsWindowVisible(h) || ProcessOf(h) != o->pid || ClassOf(h) != "#32768") return TRUE;
        o->found = h;
        return FALSE;
      }, reinterpret_cast<LPARAM>(&open));
      return open.found;
    };
    if (find()) return Fail("a popup menu is open already");
    RECT r{};
    GetWindowRect(control, &r);
    PostMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                 MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    HWND menu = nullptr;
    for (DWORD end = GetTickCount() + 10000; !(menu = find()) && static_cast<int>(end - GetTickCount()) > 0;) Sleep(20);
    if (!menu) return Fail("no popup menu from " + cls);
    bool ok = AskMenu(menu, "popup");
    PostKey(menu, VK_ESCAPE);
    for (DWORD end = GetTickCount() + 5000; find() && static_cast<int>(end - GetTickCount()) > 0;) Sleep(20);
    if (find()) return Fail("the popup menu stayed open after Escape");
    return ok;
  }
  if (cmd == "f1") {
    std::string cls = next("");
    int n = std::atoi(next("0").c_str());
    HWND control = NthChild(cls.c_str(), n);
    if (!control) return Fail("no " + cls + " " + std::to_string(n));
    return PressF1(control, 5000);
  }
  // help-mode CLASS N: the title bar's "?" and then a click on the Nth (from
  // 0) shown child window of CLASS, with a help viewer listening as for f1;
  // prints "help: COMMAND DATA FILE". The "?" is the WM_SYSCOMMAND that its
  // click sends; the click on the control follows once the window holds the
  // capture, that is once its help mode has begun.
  if (cmd == "help-mode") {
    std::string cls = next("");
    const int n = std::atoi(next("0").c_str());
    HWND control = nullptr;
    int seen = 0;
    for (HWND c : Controls(g_target))
      if (IsWindowVisible(c) && IsClass(c, cls.c_str()) && seen++ == n) {
        control = c;
        break;
      }
    if (!control) return Fail("no shown " + cls + " " + std::to_string(n));
    HWND top = GetAncestor(control, GA_ROOT);
    return AwaitHelp(
        [&] {
          PostMessageA(top, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
          GUITHREADINFO gi{};
          gi.cbSize = sizeof gi;
          for (DWORD end = GetTickCount() + 5000;; Sleep(20)) {
            if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gi) && gi.hwndCapture == top) break;
            if (static_cast<int>(end - GetTickCount()) <= 0) return Fail("no help mode after the \"?\"");
          }
          RECT r{};
          GetClientRect(control, &r);
          LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
          PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
          PostMessageA(control, WM_LBUTTONUP, 0, at);
          return true;
        },
        5000);
  }
  // fits: every caption of the target's static texts, push buttons, check
  // boxes and radio buttons and every list-box row measured against its room
  // inside the process (uiprobe_hook.dll), and every list box's height
  // against its rows: "cut: TEXT (NEED for ROOM)" for each that does not
  // fit, else "fits: CAPTION ok".
  if (cmd == "fits") {
    if (!g_target) return Fail("no target window");
    std::string m;
    if (!AskHook(g_target, "UiProbeGetMessage", "UiProbeMeasure", 1, m)) return Fail("no measurement from the process");
    bool whole = true;
    for (size_t p = 0; p < m.size();) {
      size_t nl = m.find('\n', p);
      std::string line = m.substr(p, nl == std::string::npos ? std::string::npos : nl - p);
      p = nl == std::string::npos ? m.size() : nl + 1;
      if (line.rfind("over ", 0) != 0) continue;
      // "over HWND WxH NEEDxNEED TEXT"
      size_t a = line.find(' ', 5), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
      Out("cut: " + Utf8(line.substr(c + 1)) + " (" + line.substr(b + 1, c - b - 1) + " for " +
          line.substr(a + 1, b - a - 1) + ")");
      whole = false;
    }
    if (whole) Out("fits: " + Utf8(TextOf(g_target)) + " ok");
    return true;
  }
  *known = false;
  return false;
}

bool RunCommonDialog(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known);
bool RunPicture(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known);
bool RunWaits(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known);
// ---- Archivers, engine, extensions and setup.

bool RunArchiverCommand(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "pid") {
    g_pid = static_cast<DWORD>(std::strtoul(next("0").c_str(), nullptr, 10));
    return g_pid != 0 || Fail("pid needs a process id");
  }
  if (cmd == "gone") {
    for (int t = 0; t <= 10000; t += 50) {
      if (!g_target || !IsWindow(g_target) || !IsWindowVisible(g_target)) return true;
      Sleep(50);
    }
    return Fail("window " + Utf8(TextOf(g_target)) + " still there");
  }
  if (cmd == "choose-folder") {
    std::string path = next("");
    HWND tv = Child(WC_TREEVIEWA);
    if (!tv) return Fail("no tree view");
    Remote r(tv);
    if (!r.ok()) return Fail("no memory in the process");
    // The names along the path; the drive shows as "... (X:)". A 0x5C that
    // is the second byte of a double-byte character (as in 表) is no
    // separator.
    std::vector<std::string> names;
    std::string name;
    for (size_t p = 0; p < path.size(); ++p) {
      const char c = path[p];
      if (IsDBCSLeadByte(static_cast<BYTE>(c)) && p + 1 < path.size()) {
        name += c;
        name += path[++p];
      } else if (c == '\\') {
        if (!name.empty()) names.push_back(name);
        name.clear();
      } else {
        name += c;
      }
    }
    if (!name.empty()) names.push_back(name);
    if (names.empty()) return Fail("choose-folder needs a path");
    auto is = [&](const std::string& node, size_t k) {
      if (k == 0) return node.find("(" + names[0] + ")") != std::string::npos;
      return lstrcmpiA(node.c_str(), names[k].c_str()) == 0;
    };
    // Where the picker's own selection stands on the path; without one on
    // it, the drive's node a few levels below the root (desktop, computer).
    HTREEITEM item = nullptr;
    for (int t = 0; t < 40 && !item; ++t, Sleep(50))
      item = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_CARET, 0));
    size_t at = names.size();
    if (item) {
      std::string text = TreeText(r, tv, item);
      for (size_t k = names.size(); k-- > 0;)
        if (is(text, k)) {
          at = k;
          break;
        }
    }
    if (at == names.size()) {
      std::function<HTREEITEM(HTREEITEM, int)> drive = [&](HTREEITEM first, int depth) -> HTREEITEM {
        for (HTREEITEM n = first; n;
             n = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(n)))) {
          if (is(TreeText(r, tv, n), 0)) return n;
          if (depth == 0) continue;
          SendMessageA(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(n));
          HTREEITEM c = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(n)));
          if (HTREEITEM d = drive(c, depth - 1)) return d;
        }
        return nullptr;
      };
      item = drive(reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 2);
      if (!item) return Fail("no drive " + Utf8(names[0]) + " in the tree");
      at = 0;
    }
    for (size_t k = at + 1; k < names.size(); ++k) {
      SendMessageA(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
      HTREEITEM c = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
      while (c && !is(TreeText(r, tv, c), k))
        c = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)));
      if (!c) return Fail("no folder " + Utf8(names[k]) + " below " + Utf8(TreeText(r, tv, item)));
      item = c;
    }
    SendMessageA(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return true;
  }
  if (cmd == "touch") {
    std::string path = next("");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("cannot create " + path);
    CloseHandle(h);
    return true;
  }
  *known = false;
  return false;
}

// ---- editing: the main window's command dialogs

bool RunEditing(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "into" || cmd == "caret") {
    if (!g_target) return Fail("no target window (use wait or dialog first)");
    int n = std::atoi(next("0").c_str());
    HWND e = NthControl({"Edit", "ComboBox"}, n);
    if (!e) return Fail("no edit " + std::to_string(n));
    if (cmd == "into") {
      // Sent, not posted: what follows finds the focus already moved.
      SendMessageA(e, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      SendMessageA(e, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
      return true;
    }
    int line = std::atoi(next("0").c_str());
    int col = std::atoi(next("0").c_str());
    LRESULT at = SendMessageA(e, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    if (at < 0) return Fail("no line " + std::to_string(line));
    SendMessageA(e, EM_SETSEL, static_cast<WPARAM>(at + col), at + col);
    return true;
  }
  if (cmd == "ctrl") {
    if (!g_target) return Fail("no target window (use wait or dialog first)");
    HWND f = FocusOf(g_target);
    std::string k = next("");
    if (!f || k.empty()) return Fail(f ? "no key" : "nothing has the focus");
    PostMessageA(f, WM_CHAR, static_cast<WPARAM>(toupper(static_cast<unsigned char>(k[0])) - '@'), 1);
    return true;
  }
  *known = false;
  return false;
}

// ---- Editing commands: help asked by a menu command.

bool RunEditCommands(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "help-command") {
    std::string caption = next("");
    if (!g_target) return Fail("no target window");
    return AwaitHelp([&] { return AskMenu(g_target, "command\t" + caption); }, 5000);
  }
  *known = false;
  return false;
}

// ---- file dialogs: the folder an open or save dialog shows, keys held

bool RunFileDialog(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "folder") {
    if (!g_target) return Fail("no file dialog");
    Remote r(g_target);
    if (!r.ok()) return Fail("no access to the file dialog");
    r.write(Remote::kTextOff, "", 1);
    if (SendMessageA(g_target, CDM_GETFOLDERPATH, Remote::kText, reinterpret_cast<LPARAM>(r.at(Remote::kTextOff))) < 0)
      return Fail("no folder in the dialog");
    Out("folder: " + Utf8(r.str(Remote::kTextOff)));
    return true;
  }
  if (cmd == "choose") {
    int n = std::atoi(next("0").c_str());
    int row = std::atoi(next("0").c_str());
    if (!g_target) return Fail("no target window");
    HWND c = NthControl({"ComboBox"}, n);
    if (!c) return Fail("no combo box " + std::to_string(n));
    if (SendMessageA(c, CB_SETCURSEL, static_cast<WPARAM>(row), 0) < 0) return Fail("no row " + std::to_string(row));
    for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP})
      SendMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), code), reinterpret_cast<LPARAM>(c));
    return true;
  }
  if (cmd == "hold") {
    const std::string key = next("ctrl");
    const bool down = next("1") != "0";
    if (key != "ctrl" && key != "shift") return Fail("no key " + key);
    if (down && g_target) SetForegroundWindow(g_target);
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key == "ctrl" ? VK_CONTROL : VK_SHIFT;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    // The key reaches the program as input, after what was posted before:
    // with a target, until its thread sees the key so; without one, a while.
    if (!g_target) {
      Sleep(500);
      return true;
    }
    const std::string want = (key == "ctrl" ? "ctrl " : "shift ") + std::string(down ? "1" : "0");
    for (DWORD end = GetTickCount() + 10000;; Sleep(50)) {
      std::string state;
      if (!AskHook(g_target, "UiProbeTaken", "UiProbeTaken", 0, state)) return Fail("no answer from the target");
      if (state.find(want) != std::string::npos) return true;
      if (static_cast<int>(end - GetTickCount()) <= 0) return Fail("the target does not see " + want + ": " + state);
    }
  }
  if (cmd == "taken") {
    // Every message posted to the target's thread before (a click, keys)
    // taken: a request posted after them is answered.
    std::string state;
    if (!g_target) return Fail("no target window");
    return AskHook(g_target, "UiProbeTaken", "UiProbeTaken", 0, state) || Fail("the target took nothing");
  }
  *known = false;
  return false;
}

// ---- owners: which window a box belongs to and whether that one waits

bool RunOwners(const std::string& cmd, bool* known) {
  *known = cmd == "owner" || cmd == "enabled";
  if (!*known) return false;
  if (!g_target) return Fail("no target window (use wait or dialog first)");
  auto state = [](HWND w) { return IsWindowEnabled(w) ? "enabled" : "disabled"; };
  if (cmd == "enabled") {
    Out(std::string("enabled: ") + (IsWindowEnabled(g_target) ? "yes" : "no"));
    return true;
  }
  std::string line;
  for (HWND w = GetWindow(g_target, GW_OWNER); w; w = GetWindow(w, GW_OWNER))
    line += (line.empty() ? "" : " > ") + ClassOf(w) + " " + state(w);
  Out("owner: " + (line.empty() ? std::string("none") : line));
  return true;
}

bool Run(std::vector<std::string>& args, size_t& i) {
  const std::string cmd = args[i++];
  {
    bool handled = false;
    bool ok = RunDialogCommand(cmd, args, i, handled);
    if (handled) return ok;
  }
  auto next = [&](const char* def) -> std::string {
    if (i < args.size()) return args[i++];
    return def ? def : "";
  };
  auto numeric = [&](const char* def) -> std::string {
    if (i < args.size() && !args[i].empty() && isdigit(static_cast<unsigned char>(args[i][0]))) return args[i++];
    return def;
  };
  {
    bool known = false;
    bool done = RunArchiverCommand(cmd, next, &known);
    if (known) return done;
  }
  {
    bool known = false;
    bool done = RunFileDialog(cmd, next, &known);
    if (known) return done;
  }
  {
    bool known = false;
    bool done = RunOwners(cmd, &known);
    if (known) return done;
  }
  if (cmd == "wait" || cmd == "find") {
    std::string cls = next(nullptr);
    int ms = cmd == "wait" ? std::atoi(numeric("10000").c_str()) : 0;
    for (int t = 0;; t += 50) {
      if ((g_target = FindTop(cls.c_str()))) {
        if (!g_pid) g_pid = ProcessOf(g_target);
        return true;
      }
      if (t >= ms) break;
      Sleep(50);
    }
    if (cmd == "find") {
      Out("none");
      return true;
    }
    return Fail("no window of class " + cls);
  }
  if (cmd == "target") {
    g_target = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(next("0").c_str(), nullptr, 10)));
    return IsWindow(g_target) ? true : Fail("no window " + args[i - 1]);
  }
  if (cmd == "waitgone") {
    std::string cls = next(nullptr);
    int ms = std::atoi(numeric("10000").c_str());
    for (int t = 0; t <= ms; t += 50) {
      if (!FindWindowA(cls.c_str(), nullptr)) return true;
      Sleep(50);
    }
    return Fail("window of class " + cls + " still there");
  }
  if (cmd == "sleep") {
    Sleep(static_cast<DWORD>(std::atoi(next("0").c_str())));
    return true;
  }
  if (!g_target) return Fail("no target window (use wait first)");
  if (cmd == "caption") {
    char buf[1024] = {};
    GetWindowTextA(g_target, buf, sizeof buf);
    Out("caption: " + Utf8(buf));
    return true;
  }
  if (cmd == "rect") {
    RECT rc{};
    GetWindowRect(g_target, &rc);
    Out("rect: " + std::to_string(rc.left) + " " + std::to_string(rc.top) + " " + std::to_string(rc.right) + " " +
        std::to_string(rc.bottom));
    return true;
  }
  if (cmd == "close") {
    PostMessageA(g_target, WM_CLOSE, 0, 0);
    return true;
  }
  if (cmd == "wait-exit") {
    int ms = std::atoi(numeric("10000").c_str());
    DWORD pid = 0;
    GetWindowThreadProcessId(g_target, &pid);
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p) return true;  // already gone
    DWORD r = WaitForSingleObject(p, static_cast<DWORD>(ms));
    CloseHandle(p);
    return r == WAIT_OBJECT_0 ? true : Fail("process did not end");
  }
  if (cmd == "menus" || cmd == "menu" || cmd == "command")
    return AskMenu(g_target, cmd == "menus" ? cmd : cmd + "\t" + next(nullptr));
  Remote r(g_target);
  if (!r.ok()) return Fail("cannot reach the target process");
  if (cmd == "status") {
    HWND sb = Child(STATUSCLASSNAMEA);
    if (!sb) return Fail("no status bar");
    int n = static_cast<int>(SendMessageA(sb, SB_GETPARTS, 0, 0));
    for (int k = 0; k < n; ++k) {
      static const char zeros[Remote::kText] = {};
      r.write(Remote::kTextOff, zeros, sizeof zeros);
      SendMessageA(sb, SB_GETTEXTA, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(r.at(Remote::kTextOff)));
      std::string s = r.str(Remote::kTextOff);
      while (!s.empty() && s[0] == '\t') s.erase(0, 1);
      Out("status[" + std::to_string(k) + "]: " + Utf8(s));
    }
    return true;
  }
  if (cmd == "tabs") {
    HWND tc = Child(WC_TABCONTROLA);
    if (!tc) return Fail("no tab control");
    int n = static_cast<int>(SendMessageA(tc, TCM_GETITEMCOUNT, 0, 0));
    int sel = static_cast<int>(SendMessageA(tc, TCM_GETCURSEL, 0, 0));
    for (int k = 0; k < n; ++k) {
      TCITEMA it{};
      it.mask = TCIF_TEXT;
      it.pszText = r.at(Remote::kTextOff);
      it.cchTextMax = Remote::kText;
      r.write(0, &it, sizeof it);
      SendMessageA(tc, TCM_GETITEMA, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(r.at(0)));
      Out("tab[" + std::to_string(k) + "]: " + Utf8(r.str(Remote::kTextOff)) + (k == sel ? " *" : ""));
    }
    return true;
  }
  if (cmd == "tab") {
    // A click on the tab: the control tells its window itself (WM_NOTIFY
    // does not cross processes).
    HWND tc = Child(WC_TABCONTROLA);
    if (!tc) return Fail("no tab control");
    int want = std::atoi(next("0").c_str());
    RECT rc{};
    if (!SendMessageA(tc, TCM_GETITEMRECT, static_cast<WPARAM>(want), reinterpret_cast<LPARAM>(r.at(0))))
      return Fail("no tab " + std::to_string(want));
    r.read(0, &rc, sizeof rc);
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(tc, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tc, WM_LBUTTONUP, 0, at);
    return true;
  }
  if (cmd == "memo") {
    HWND edit = nullptr;
    EnumChildWindows(g_target, FindMemo, reinterpret_cast<LPARAM>(&edit));
    if (!edit) return Fail("no memo");
    int n = static_cast<int>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    n = static_cast<int>(SendMessageA(edit, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(n));
    Out("memo: " + std::to_string(n) + " bytes");
    std::string lines;
    for (char c : text)
      if (c != '\r') lines.push_back(c);
    Out(Utf8(lines));
    return true;
  }
  if (cmd == "tree" || cmd == "select-node") {
    HWND tv = Child(WC_TREEVIEWA);
    if (!tv) return Fail("no tree view");
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    if (cmd == "tree") {
      DumpTree(r, tv, root, 0, reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_CARET, 0)));
      return true;
    }
    std::string path = next(nullptr);
    HTREEITEM item = root, found = nullptr;
    size_t p = 0;
    while (item) {
      // A node whose own text holds "/" ("ZIP/TAR") matches the whole rest.
      HTREEITEM whole = item;
      while (whole && TreeText(r, tv, whole) != path.substr(p))
        whole = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(whole)));
      if (whole) {
        found = whole;
        break;
      }
      size_t slash = path.find('/', p);
      std::string part = path.substr(p, slash == std::string::npos ? std::string::npos : slash - p);
      while (item && TreeText(r, tv, item) != part)
        item = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
      if (!item) break;
      if (slash == std::string::npos) {
        found = item;
        break;
      }
      p = slash + 1;
      item = reinterpret_cast<HTREEITEM>(SendMessageA(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    }
    if (!found) return Fail("no tree node " + Utf8(path));
    SendMessageA(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
    return true;
  }
  HWND lv = Child(WC_LISTVIEWA);
  if (cmd == "columns" || cmd == "list") {
    if (!lv) return Fail("no list view");
    HWND hdr = reinterpret_cast<HWND>(SendMessageA(lv, LVM_GETHEADER, 0, 0));
    int cols = hdr ? static_cast<int>(SendMessageA(hdr, HDM_GETITEMCOUNT, 0, 0)) : 1;
    if (cmd == "columns") {
      for (int c = 0; c < cols; ++c) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.pszText = r.at(Remote::kTextOff);
        col.cchTextMax = Remote::kText;
        r.write(0, &col, sizeof col);
        SendMessageA(lv, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(r.at(0)));
        r.read(0, &col, sizeof col);
        const char* align = (col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? "right"
                            : (col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? "center" : "left";
        Out("column[" + std::to_string(c) + "]: " + Utf8(r.str(Remote::kTextOff)) + " " + std::to_string(col.cx) + " " + align);
      }
      return true;
    }
    int n = static_cast<int>(SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < n; ++row) {
      std::string line = (SendMessageA(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) ? "* " : "";
      for (int c = 0; c < cols; ++c) {
        LVITEMA it{};
        it.iSubItem = c;
        it.pszText = r.at(Remote::kTextOff);
        it.cchTextMax = Remote::kText;
        r.write(0, &it, sizeof it);
        SendMessageA(lv, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(r.at(0)));
        line += (c ? " | " : "") + Utf8(r.str(Remote::kTextOff));
      }
      Out(line);
    }
    return true;
  }
  if (cmd == "select-rows") {
    if (!lv) return Fail("no list view");
    std::string spec = next("-");
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    it.state = 0;
    r.write(0, &it, sizeof it);
    SendMessageA(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(r.at(0)));
    int first = -1;
    size_t p = 0;
    while (spec != "-" && p < spec.size()) {
      size_t comma = spec.find(',', p);
      int row = std::atoi(spec.substr(p, comma - p).c_str());
      if (first < 0) first = row;
      it.stateMask = LVIS_SELECTED | (row == first ? LVIS_FOCUSED : 0);
      it.state = it.stateMask;
      r.write(0, &it, sizeof it);
      SendMessageA(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(r.at(0)));
      if (comma == std::string::npos) break;
      p = comma + 1;
    }
    NMITEMACTIVATE nm{};
    nm.hdr.hwndFrom = lv;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(lv));
    nm.hdr.code = NM_CLICK;
    nm.iItem = first;
    r.write(1024, &nm, sizeof nm);
    SendMessageA(GetParent(lv), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(r.at(1024)));
    return true;
  }
  if (cmd == "key") {
    if (!lv) return Fail("no list view");
    WORD vk = static_cast<WORD>(std::atoi(next("0").c_str()));
    NMLVKEYDOWN nm{};
    nm.hdr.hwndFrom = lv;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(lv));
    nm.hdr.code = LVN_KEYDOWN;
    nm.wVKey = vk;
    r.write(1024, &nm, sizeof nm);
    SendMessageA(GetParent(lv), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(r.at(1024)));
    return true;
  }
  if (cmd == "toolbar" || cmd == "press") {
    HWND tb = Child(TOOLBARCLASSNAMEA);
    if (!tb) return Fail("no toolbar");
    int n = static_cast<int>(SendMessageA(tb, TB_BUTTONCOUNT, 0, 0));
    int want = cmd == "press" ? std::atoi(next("0").c_str()) : -1;
    for (int k = 0; k < n; ++k) {
      SendMessageA(tb, TB_GETBUTTON, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(r.at(0)));
      TBBUTTON b{};
      r.read(0, &b, sizeof b);
      if (cmd == "toolbar") {
        std::string line = "button[" + std::to_string(k) + "]: id=" + std::to_string(b.idCommand) + " image=" + std::to_string(b.iBitmap);
        if (b.fsState & TBSTATE_HIDDEN) line += " [hidden]";
        if (!(b.fsState & TBSTATE_ENABLED)) line += " [disabled]";
        if (b.fsStyle & BTNS_SEP) line += " [sep]";
        // The tooltip text, through the tooltip control as a hover asks it.
        HWND tip = reinterpret_cast<HWND>(SendMessageA(tb, TB_GETTOOLTIPS, 0, 0));
        if (tip && !(b.fsStyle & BTNS_SEP)) {
          static const char zeros[Remote::kText] = {};
          r.write(Remote::kTextOff, zeros, sizeof zeros);
          TTTOOLINFOA ti{};
          ti.cbSize = sizeof ti;
          ti.hwnd = tb;
          ti.uId = static_cast<UINT_PTR>(b.idCommand);
          ti.lpszText = r.at(Remote::kTextOff);
          r.write(1024, &ti, sizeof ti);
          SendMessageA(tip, TTM_GETTEXTA, Remote::kText, reinterpret_cast<LPARAM>(r.at(1024)));
          line += " tip=" + Utf8(r.str(Remote::kTextOff));
        }
        Out(line);
      } else if (k == want) {
        PostMessageA(GetParent(tb), WM_COMMAND, MAKEWPARAM(b.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(tb));
        return true;
      }
    }
    return cmd == "toolbar" ? true : Fail("no toolbar button " + std::to_string(want));
  }
  bool known = false;
  bool done = RunMenuHelp(cmd, next, &known);
  if (known) return done;
  done = RunCommonDialog(cmd, next, &known);
  if (known) return done;
  done = RunEditing(cmd, next, &known);
  if (known) return done;
  done = RunPicture(cmd, next, &known);
  if (known) return done;
  done = RunWaits(cmd, next, &known);
  if (known) return done;
  done = RunEditCommands(cmd, next, &known);
  if (known) return done;
  return Fail("unknown command " + cmd);
}

// The program's common dialogs, answered as a user would.
bool RunCommonDialog(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "browse") {
    std::string path = next("");
    if (!g_target) return Fail("no folder picker");
    Remote r(g_target);
    if (!r.ok()) return Fail("no access to the folder picker");
    r.write(Remote::kTextOff, path.c_str(), path.size() + 1);
    SendMessageA(g_target, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(r.at(Remote::kTextOff)));
    return true;
  }
  if (cmd == "track") {
    int n = std::atoi(next("0").c_str());
    int pos = std::atoi(next("0").c_str());
    if (!g_target) return Fail("no target window");
    HWND t = NthControl({TRACKBAR_CLASSA}, n);
    if (!t) return Fail("no track bar " + std::to_string(n));
    SendMessageA(t, TBM_SETPOS, TRUE, pos);
    HWND parent = GetParent(t);
    UINT msg = (GetWindowLongA(t, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(parent, msg, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(t));
    SendMessageA(parent, msg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(t));
    return true;
  }
  *known = false;
  return false;
}

// ---- pictures: what an image control shows, read from its pixels inside
// the process under test by uiprobe_hook.dll (the preview tests)
bool RunPicture(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = cmd == "picture" || cmd == "help-click";
  if (!*known) return false;
  if (cmd == "help-click") {
    std::string caption = next("");
    if (!g_target) return Fail("no target window");
    HWND b = ButtonByCaption(caption);
    if (!b) return Fail("no button " + Utf8(caption));
    return AwaitHelp(
        [&] {
          PostMessageA(b, BM_CLICK, 0, 0);
          return true;
        },
        5000);
  }
  std::string cls = "TImage";
  if (std::string a = next(""); !a.empty()) cls = a;
  if (!g_target) return Fail("no target window");
  HWND image = Child(cls.c_str());
  if (!image) return Fail("no " + cls);
  std::string picture;
  if (!AskHook(image, "UiProbePicture", "UiProbePicture", 0, picture)) return Fail("no picture from the process");
  int l = 0, t = 0, w = 0, h = 0;
  if (std::sscanf(picture.c_str(), "%d %d %d %d", &l, &t, &w, &h) != 4) {
    Out("picture: none");
    return true;
  }
  Out("picture: " + std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(l) + "," + std::to_string(t));
  return true;
}

// ---- waiting for what was posted to be taken

bool RunWaits(const std::string& cmd, const std::function<std::string(const char*)>& next, bool* known) {
  *known = true;
  if (cmd == "blur") {
    if (!g_target) return Fail("no target window (use wait or dialog first)");
    int n = std::atoi(next("0").c_str());
    int ms = std::atoi(next("10000").c_str());
    HWND e = NthControl({"Edit", "ComboBox"}, n);
    if (!e) return Fail("no edit " + std::to_string(n));
    for (int waited = 0;; waited += 20, Sleep(20)) {
      HWND f = FocusOf(g_target);
      if (f != e && !IsChild(e, f)) return true;
      if (waited >= ms) return Fail("edit " + std::to_string(n) + " still has the focus");
    }
  }
  *known = false;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool ok = true;
  size_t i = 0;
  while (i < args.size()) ok = Run(args, i) && ok;
  return ok ? 0 : 1;
}
