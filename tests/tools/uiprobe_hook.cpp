// uiprobe_hook.dll: runs inside the process under test, on the thread of a
// window uiprobe asks about. Fonts are handles of that process, so texts can
// only be measured there; the answer goes back to uiprobe as WM_COPYDATA.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr ULONG_PTR kMeasureMagic = 0x5458504D;

std::string Hex(HWND h) {
  char b[32];
  std::snprintf(b, sizeof b, "%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(h)));
  return b;
}

std::string WindowText(HWND h) {
  int n = GetWindowTextLengthA(h);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

// The text as a prefix-handling control shows it: "&&" is "&", a lone "&"
// marks the access key and takes no room.
std::string Shown(const std::string& s, bool prefix) {
  if (!prefix) return s;
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size()) {
      out += s[i];
      out += s[++i];
    } else if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') out += s[++i];
    } else {
      out += s[i];
    }
  }
  return out;
}

// The control's own font selected into its DC, for as long as this lives.
struct ControlDC {
  explicit ControlDC(HWND c) : c_(c), dc(GetDC(c)) {
    old_ = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
  }
  ~ControlDC() {
    SelectObject(dc, old_);
    ReleaseDC(c_, dc);
  }
  ControlDC(const ControlDC&) = delete;
  ControlDC& operator=(const ControlDC&) = delete;
  HWND c_;
  HDC dc;
  HGDIOBJ old_;
};

// "fit|over HANDLE ROOMWxROOMH NEEDWxNEEDH TEXT".
std::string FitLine(bool fits, HWND c, int roomW, int roomH, int needW, int needH, const std::string& text) {
  return std::string(fits ? "fit " : "over ") + Hex(c) + " " + std::to_string(roomW) + "x" + std::to_string(roomH) +
         " " + std::to_string(needW) + "x" + std::to_string(needH) + " " + text + "\n";
}

// One line per static text and list-box item: "fit" or "over", the handle,
// the room (client width and height), what the text needs, and the text.
void MeasureStatic(HWND c, std::string& out) {
  LONG style = GetWindowLongA(c, GWL_STYLE);
  int type = style & SS_TYPEMASK;
  if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE)
    return;
  std::string text = WindowText(c);
  if (text.empty()) return;
  RECT rc;
  GetClientRect(c, &rc);
  bool prefix = !(style & SS_NOPREFIX);
  std::string shown = Shown(text, prefix);
  TEXTMETRICA tm{};
  int needW = 0, needH = 0;
  {
    ControlDC d(c);
    GetTextMetricsA(d.dc, &tm);
    if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
      SIZE sz{};
      GetTextExtentPoint32A(d.dc, shown.c_str(), static_cast<int>(shown.size()), &sz);
      needW = sz.cx;
      needH = sz.cy;
    } else {
      // A wrapped label: the control breaks it as DrawText does, so the
      // same call gives its lines; their count times the line height must fit.
      RECT r{0, 0, rc.right, 0};
      DrawTextA(d.dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (prefix ? 0 : DT_NOPREFIX));
      needW = r.right;
      needH = r.bottom;
    }
  }
  // The font's internal leading may overhang the bottom: the glyphs need
  // only the ascent and descent less that.
  int room = rc.bottom - rc.top + tm.tmInternalLeading;
  bool fits = needW <= rc.right - rc.left && needH <= room;
  out += FitLine(fits, c, rc.right, rc.bottom, needW, needH, text);
}

void MeasureList(HWND c, std::string& out) {
  LONG style = GetWindowLongA(c, GWL_STYLE);
  if ((style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) && !(style & LBS_HASSTRINGS)) return;
  RECT rc;
  GetClientRect(c, &rc);
  // An owner-drawn row starts with its picture, as wide as the row is high.
  int lead = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))
                 ? static_cast<int>(SendMessageA(c, LB_GETITEMHEIGHT, 0, 0)) + 4
                 : 2;
  ControlDC d(c);
  int n = static_cast<int>(SendMessageA(c, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    int len = static_cast<int>(SendMessageA(c, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
    if (len <= 0) continue;
    std::string s(static_cast<size_t>(len) + 1, '\0');
    SendMessageA(c, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(strnlen(s.c_str(), s.size()));
    SIZE sz{};
    GetTextExtentPoint32A(d.dc, s.c_str(), static_cast<int>(s.size()), &sz);
    out += FitLine(lead + sz.cx <= rc.right, c, rc.right, rc.bottom, lead + sz.cx, sz.cy, s);
  }
}

// Asked for with the request's second parameter 1: one "fit" or "over" line
// per push button, check box and radio button with a caption, as for a
// static text; the room is the part of the client area the caption is drawn
// in (inside the push button's edges, after the check box's mark).
void MeasureButton(HWND c, std::string& out) {
  LONG style = GetWindowLongA(c, GWL_STYLE);
  int type = style & BS_TYPEMASK;
  bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
  bool mark = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
              type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  if ((!push && !mark) || (style & (BS_BITMAP | BS_ICON | BS_MULTILINE))) return;
  std::string text = WindowText(c);
  if (text.empty()) return;
  RECT rc;
  GetClientRect(c, &rc);
  RECT need{0, 0, 0, 0};
  DrawTextA(ControlDC(c).dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  int room = push ? rc.right - 4 : rc.right - GetSystemMetrics(SM_CXMENUCHECK) - 4;
  out += FitLine(need.right <= room, c, room, rc.bottom, need.right, need.bottom, text);
}

// Asked for the same way: an "over" line for a list box whose height ends in
// part of a row ("ROWxROWS" for what it needs).
void MeasureRows(HWND c, std::string& out) {
  int row = static_cast<int>(SendMessageA(c, LB_GETITEMHEIGHT, 0, 0));
  RECT rc;
  GetClientRect(c, &rc);
  if (row <= 0 || rc.bottom % row == 0) return;
  out += "over " + Hex(c) + " " + std::to_string(rc.right) + "x" + std::to_string(rc.bottom) + " " +
         std::to_string(row) + "x" + std::to_string(rc.bottom / row + 1) + " (a list that ends in part of a row)\n";
}

BOOL CALLBACK MeasureChild(HWND c, LPARAM p) {
  auto& out = *reinterpret_cast<std::string*>(p);
  if (!IsWindowVisible(c)) return TRUE;
  char cls[64] = {};
  GetClassNameA(c, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) MeasureStatic(c, out);
  else if (lstrcmpiA(cls, "ListBox") == 0) MeasureList(c, out);
  return TRUE;
}

}  // namespace

// WH_GETMESSAGE: the registered request posted to a window of this thread,
// with uiprobe's reply window as its first parameter.
extern "C" __declspec(dllexport) LRESULT CALLBACK UiProbeGetMessage(int code, WPARAM wp, LPARAM lp) {
  static const UINT ask = RegisterWindowMessageA("UiProbeMeasure");
  auto* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m && m->message == ask) {
    std::string out = "focus " + Hex(GetFocus()) + "\n";
    EnumChildWindows(m->hwnd, MeasureChild, reinterpret_cast<LPARAM>(&out));
    if (m->lParam == 1)
      EnumChildWindows(m->hwnd, [](HWND c, LPARAM p) -> BOOL CALLBACK {
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (!IsWindowVisible(c)) return TRUE;
        if (lstrcmpiA(cls, "Button") == 0) MeasureButton(c, *reinterpret_cast<std::string*>(p));
        else if (lstrcmpiA(cls, "ListBox") == 0) MeasureRows(c, *reinterpret_cast<std::string*>(p));
        return TRUE;
      }, reinterpret_cast<LPARAM>(&out));
    COPYDATASTRUCT cds{kMeasureMagic, static_cast<DWORD>(out.size()), out.data()};
    SendMessageTimeoutA(reinterpret_cast<HWND>(m->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(m->hwnd),
                        reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000, nullptr);
    m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// ---- pictures: what an image control shows (the preview tests)
// WH_GETMESSAGE: the registered request "UiProbePicture" posted to a window
// of this thread, with uiprobe's reply window as its first parameter. The
// window paints what is pending; the answer is the smallest rectangle of
// its client area whose pixels differ from the top-left corner's, "LEFT TOP
// WIDTH HEIGHT", or "none" when every pixel is the corner's.
extern "C" __declspec(dllexport) LRESULT CALLBACK UiProbePicture(int code, WPARAM wp, LPARAM lp) {
  static const UINT ask = RegisterWindowMessageA("UiProbePicture");
  auto* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m && m->message == ask) {
    HWND w = m->hwnd;
    UpdateWindow(w);
    RECT rc{};
    GetClientRect(w, &rc);
    const int cw = rc.right, ch = rc.bottom;
    std::string out = "none";
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cw, -ch, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = GetDC(w), mem = CreateCompatibleDC(dc);
    HBITMAP dib = cw > 0 && ch > 0 ? CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (dib) {
      HGDIOBJ old = SelectObject(mem, dib);
      BitBlt(mem, 0, 0, cw, ch, dc, 0, 0, SRCCOPY);
      GdiFlush();
      const auto* px = static_cast<const DWORD*>(bits);
      const DWORD back = px[0] & 0xFFFFFF;
      int l = cw, t = ch, r = -1, b = -1;
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
          if ((px[y * cw + x] & 0xFFFFFF) != back) {
            if (x < l) l = x;
            if (x > r) r = x;
            if (y < t) t = y;
            if (y > b) b = y;
          }
      if (r >= 0)
        out = std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r - l + 1) + " " + std::to_string(b - t + 1);
      SelectObject(mem, old);
      DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(w, dc);
    COPYDATASTRUCT cds{kMeasureMagic, static_cast<DWORD>(out.size()), out.data()};
    SendMessageTimeoutA(reinterpret_cast<HWND>(m->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(w),
                        reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000, nullptr);
    m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// ---- menus: menu handles are handles of this process, so menus are read
// here. WH_GETMESSAGE: the registered request "UiProbeMenu" posted to a
// window of this thread, with uiprobe's reply window as its first parameter
// and a global atom naming the request as its second:
//   menus            the menu bar of the window's top-level window, one item a
//                    line: caption, " [shortcut]", " [disabled]", " [checked]",
//                    "-" for a separator, two spaces per level
//   menu\tCAPTION    "menu: LINE" for the first item whose caption (without
//                    "&" and the shortcut part) is CAPTION
//   command\tCAPTION the same, and posts that item's WM_COMMAND
//   popup            the items of the open popup menu the request was posted to
//                    (a window of class "#32768")
namespace {

std::string MenuLine(HMENU m, int i, std::string* caption, UINT* id) {
  char buf[512] = {};
  MENUITEMINFOA mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_FTYPE;
  mi.dwTypeData = buf;
  mi.cch = sizeof buf - 1;
  if (!GetMenuItemInfoA(m, static_cast<UINT>(i), TRUE, &mi)) return "?";
  if (mi.fType & MFT_SEPARATOR) return "-";
  std::string line = buf;
  size_t tab = line.find('\t');
  std::string shortcut = tab == std::string::npos ? "" : line.substr(tab + 1);
  if (tab != std::string::npos) line.resize(tab);
  caption->clear();
  for (size_t k = 0; k < line.size(); ++k) {
    if (IsDBCSLeadByte(static_cast<BYTE>(line[k])) && k + 1 < line.size()) {
      *caption += line[k];
      *caption += line[++k];
    } else if (line[k] != '&') {
      *caption += line[k];
    }
  }
  *id = mi.wID;
  if (!shortcut.empty()) line += " [" + shortcut + "]";
  if (mi.fState & MFS_GRAYED) line += " [disabled]";
  if (mi.fState & MFS_CHECKED) line += " [checked]";
  return line;
}

struct MenuWalk {
  std::string out;        // every line, when want is empty
  std::string want;       // the caption looked for
  UINT found = 0;
  std::string foundLine;
};

void WalkMenu(HMENU m, int level, MenuWalk& w) {
  int n = GetMenuItemCount(m);
  for (int i = 0; i < n; ++i) {
    std::string cap;
    UINT id = 0;
    std::string line = MenuLine(m, i, &cap, &id);
    HMENU sub = GetSubMenu(m, i);
    if (w.want.empty()) w.out += std::string(static_cast<size_t>(level) * 2, ' ') + line + "\n";
    // An item that only opens a submenu is no command ("編集(E)" names both).
    else if (!w.found && cap == w.want && line != "-" && !sub) {
      w.found = id;
      w.foundLine = line;
    }
    if (sub) WalkMenu(sub, level + 1, w);
  }
}

std::string MenuAnswer(HWND w, const std::string& request) {
  MenuWalk walk;
  if (request == "popup") {
    auto menu = reinterpret_cast<HMENU>(SendMessageA(w, MN_GETHMENU, 0, 0));
    if (!menu) return "error: no open popup menu";
    WalkMenu(menu, 0, walk);
    return walk.out;
  }
  HWND top = GetAncestor(w, GA_ROOT);
  HMENU menu = GetMenu(top);
  if (!menu) return "error: no menu";
  if (request == "menus") {
    WalkMenu(menu, 0, walk);
    return walk.out;
  }
  size_t tab = request.find('\t');
  std::string verb = request.substr(0, tab);
  walk.want = tab == std::string::npos ? "" : request.substr(tab + 1);
  if (walk.want.empty()) return "error: no caption";
  WalkMenu(menu, 0, walk);
  if (!walk.found) return "error: no menu item " + walk.want;
  if (verb == "command") PostMessageA(top, WM_COMMAND, MAKEWPARAM(walk.found, 0), 0);
  return "menu: " + walk.foundLine;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK UiProbeMenu(int code, WPARAM wp, LPARAM lp) {
  static const UINT ask = RegisterWindowMessageA("UiProbeMenu");
  auto* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m && m->message == ask) {
    char request[256] = {};
    GlobalGetAtomNameA(static_cast<ATOM>(m->lParam), request, sizeof request);
    std::string out = MenuAnswer(m->hwnd, request);
    COPYDATASTRUCT cds{kMeasureMagic, static_cast<DWORD>(out.size()), out.data()};
    SendMessageTimeoutA(reinterpret_cast<HWND>(m->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(m->hwnd),
                        reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000, nullptr);
    m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// ---- taken: what was posted before has been taken. WH_GETMESSAGE: the
// registered request "UiProbeTaken" posted to a window of this thread, with
// uiprobe's reply window as its first parameter; it comes out of the queue
// after every message posted before it, and the answer is the thread's own
// view of the keyboard then: "ctrl 0|1 shift 0|1".
extern "C" __declspec(dllexport) LRESULT CALLBACK UiProbeTaken(int code, WPARAM wp, LPARAM lp) {
  static const UINT ask = RegisterWindowMessageA("UiProbeTaken");
  auto* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m && m->message == ask) {
    std::string out = std::string("ctrl ") + (GetKeyState(VK_CONTROL) < 0 ? "1" : "0") + " shift " +
                      (GetKeyState(VK_SHIFT) < 0 ? "1" : "0");
    COPYDATASTRUCT cds{kMeasureMagic, static_cast<DWORD>(out.size()), out.data()};
    SendMessageTimeoutA(reinterpret_cast<HWND>(m->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(m->hwnd),
                        reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 5000, nullptr);
    m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
