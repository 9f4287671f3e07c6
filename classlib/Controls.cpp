#include "Controls.h"

#include <unordered_map>

#include "ComCtrls.h"
#include "Forms.h"
#include "Menus.h"

namespace {
// Window to object. Kept in the process rather than as a window property:
// under Wine every property lookup is a trip to the window server, and one
// is made for each message a control receives.
std::unordered_map<HWND, TControl*>& ControlsByHandle() {
  static std::unordered_map<HWND, TControl*> map;
  return map;
}
}  // namespace

void TControl::Register(HWND h, TControl* c) {
  if (h) ControlsByHandle()[h] = c;
}
void TControl::Unregister(HWND h) { ControlsByHandle().erase(h); }

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

COLORREF ColorToRGB(TColor c) {
  if (c < 0) return GetSysColor(c & 0xFF);
  return static_cast<COLORREF>(c);
}

int ScreenPixelsPerInch() {
  HDC dc = GetDC(nullptr);
  int r = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return r > 0 ? r : 96;
}

void PlaceChildWindow(HWND h, int l, int t, int w, int hgt) {
  if (!h) return;
  if (w < 0) w = 0;
  if (hgt < 0) hgt = 0;
  RECT now{};
  GetWindowRect(h, &now);
  if (HWND p = GetParent(h)) MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&now), 2);
  if (now.left != l || now.top != t || now.right - now.left != w || now.bottom - now.top != hgt)
    MoveWindow(h, l, t, w, hgt, TRUE);
}

// ---- TFont

TFont::TFont() = default;
TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}
TFont::TFont(const TFont& f)
    : FName(f.FName), FHeight(f.FHeight), FStyle(f.FStyle), FColor(f.FColor), FCharset(f.FCharset) {}
TFont& TFont::operator=(const TFont& f) {
  if (this == &f) return *this;
  FName = f.FName;
  FHeight = f.FHeight;
  FStyle = f.FStyle;
  FColor = f.FColor;
  FCharset = f.FCharset;
  Changed();
  return *this;
}
void TFont::SetName(const std::string& n) {
  FName = n;
  Changed();
}
void TFont::SetHeight(int h) {
  FHeight = h;
  Changed();
}
int TFont::Size() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }
void TFont::SetStyle(TFontStyles s) {
  FStyle = s;
  Changed();
}
void TFont::SetColor(TColor c) {
  FColor = c;
  Changed();
}
void TFont::SetCharset(BYTE c) {
  FCharset = c;
  Changed();
}
void TFont::Changed() {
  if (FHandle) {
    // The control still draws with the old one until it gets the new.
    HFONT old = FHandle;
    FHandle = nullptr;
    if (OnChange) OnChange();
    DeleteObject(old);
  } else if (OnChange) {
    OnChange();
  }
}
HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
    lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = FCharset;
    lstrcpynA(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle = CreateFontIndirectA(&lf);
  }
  return FHandle;
}

// ---- safety

void SafeCall(TComponent* sender, const std::function<void()>& f) {
  try {
    f();
  } catch (...) {
    if (Application)
      Application->HandleException(sender);
    else
      ApplicationHandleException(sender);
  }
}

void Fire(const TNotifyEvent& e, TObject* sender) {
  if (!e) return;
  // A handler may clear or replace its own event while it runs.
  TNotifyEvent copy = e;
  SafeCall(sender, [&] { copy(sender); });
}

namespace {
// The "|" between the parts; a trail byte of a double-byte character ("ポ"
// is 83 7C) is none.
size_t HintBar(const std::string& hint) {
  for (size_t i = 0; i < hint.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(hint[i]))) ++i;
    else if (hint[i] == '|') return i;
  }
  return std::string::npos;
}
}  // namespace

std::string GetShortHint(const std::string& hint) { return hint.substr(0, HintBar(hint)); }
std::string GetLongHint(const std::string& hint) {
  size_t bar = HintBar(hint);
  return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// ---- TControl

TControl::TControl(TComponent* AOwner, TWinControl* AParent) : TComponent(AOwner), FParent(AParent) {
  if (FParent) {
    FParent->InsertControl(this);
    FFont = FParent->Font();
    FColor = FParent->Color();
  }
  FFont.OnChange = [this] { FontChanged(); };
}

TControl::~TControl() {
  DestroyHandle();
  if (FBrush) DeleteObject(FBrush);
  if (FParent) FParent->RemoveControl(this);
}

HWND TControl::ParentHandle() const { return FParent ? FParent->Handle() : FParentWnd; }

void TControl::CreateHandle(const char* className, DWORD style, DWORD exStyle, const char* text) {
  HWND parent = ParentHandle();
  if (parent) style |= WS_CHILD;
  FHandle = CreateWindowExA(exStyle, className, text, style, 0, 0, 0, 0, parent, nullptr, GetModuleHandleA(nullptr),
                            this);
  if (FHandle) {
    Register(FHandle, this);
    ApplyFont();
  }
}

void TControl::DestroyHandle() {
  if (!FHandle) return;
  HWND h = FHandle;
  if (FOldProc) {
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldProc));
    FOldProc = nullptr;
  }
  Unregister(h);
  FHandle = nullptr;
  // Children of a destroyed parent are gone with it.
  if (IsWindow(h)) DestroyWindow(h);
}

TControl* TControl::FromHandle(HWND h) {
  if (!h) return nullptr;
  auto& map = ControlsByHandle();
  auto it = map.find(h);
  return it == map.end() ? nullptr : it->second;
}

void TControl::ApplyFont() {
  if (FHandle) SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
}

void TControl::SetFont(const TFont& f) { FFont.Assign(f); }

RECT TControl::BoundsRect() const {
  RECT r{};
  if (!FHandle) return r;
  GetWindowRect(FHandle, &r);
  HWND p = GetParent(FHandle);
  if (p && (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
int TControl::Left() const { return BoundsRect().left; }
int TControl::Top() const { return BoundsRect().top; }
int TControl::Width() const {
  RECT r = BoundsRect();
  return r.right - r.left;
}
int TControl::Height() const {
  RECT r = BoundsRect();
  return r.bottom - r.top;
}
void TControl::SetBounds(int l, int t, int w, int h) {
  if (FHandle) MoveWindow(FHandle, l, t, w < 0 ? 0 : w, h < 0 ? 0 : h, TRUE);
  if (FParent && FAlign != alNone) FParent->Realign();
}
void TControl::SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
void TControl::SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
void TControl::SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
void TControl::SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
void TControl::SetClientSize(int w, int h) {
  RECT r{0, 0, w, h};
  if (FHandle)
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(FHandle, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(FHandle, GWL_EXSTYLE)));
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

int TControl::ClientWidth() const {
  RECT r{};
  if (FHandle) GetClientRect(FHandle, &r);
  return r.right;
}
int TControl::ClientHeight() const {
  RECT r{};
  if (FHandle) GetClientRect(FHandle, &r);
  return r.bottom;
}

bool TControl::Visible() const { return FHandle && (GetWindowLongA(FHandle, GWL_STYLE) & WS_VISIBLE); }
void TControl::SetVisible(bool v) {
  if (!FHandle || Visible() == v) return;
  ShowWindow(FHandle, v ? SW_SHOWNA : SW_HIDE);
  if (FParent) FParent->Realign();
}
bool TControl::Enabled() const { return FHandle && IsWindowEnabled(FHandle); }
void TControl::SetEnabled(bool v) {
  if (FHandle) EnableWindow(FHandle, v);
}
SIZE TControl::TextExtent(const std::string& text) const {
  RECT r{0, 0, 0, 0};
  if (!FHandle) return SIZE{0, 0};
  HDC dc = GetDC(FHandle);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(FHandle, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(FHandle, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string TControl::Caption() const {
  if (!FHandle) return {};
  int n = GetWindowTextLengthA(FHandle);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(FHandle, s.data(), n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}
void TControl::SetCaption(const std::string& s) {
  if (FHandle) SetWindowTextA(FHandle, s.c_str());
}
bool TControl::Focused() const { return FHandle && GetFocus() == FHandle; }
void TControl::SetFocus() {
  if (FHandle) ::SetFocus(FHandle);
}
void TControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}
void TControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}
LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) { return FHandle ? SendMessageA(FHandle, msg, wp, lp) : 0; }

void TControl::SetAlign(TAlign a) {
  FAlign = a;
  if (FParent) FParent->Realign();
}

void TControl::SetColor(TColor c) {
  FColor = c;
  if (FBrush) {
    DeleteObject(FBrush);
    FBrush = nullptr;
  }
  Invalidate();
}
HBRUSH TControl::ColorBrush() {
  if (!FBrush) FBrush = CreateSolidBrush(ColorToRGB(FColor));
  return FBrush;
}
HBRUSH TControl::CtlColor(HDC dc) { return nullptr; }

LRESULT CALLBACK ControlSubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TControl* c = TControl::FromHandle(h);
  if (!c || !c->FOldProc) return DefWindowProcA(h, msg, wp, lp);
  WNDPROC old = c->FOldProc;
  if (msg == WM_NCDESTROY) TControl::Unregister(h);  // the object may outlive its window
  TMessage m{msg, wp, lp, 0};
  bool handled = false;
  SafeCall(c, [&] {
    for (auto& hook : c->FHooks)
      if (hook(m)) {
        handled = true;
        break;
      }
  });
  if (handled) return m.Result;
  return CallWindowProcA(old, h, msg, wp, lp);
}

void TControl::HookWindowProc(std::function<bool(TMessage&)> hook) {
  FHooks.push_back(std::move(hook));
  if (!FOldProc && FHandle)
    FOldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclassProc)));
}

// ---- TWinControl

TWinControl::~TWinControl() {
  // Children go with the window; detach them so they don't touch it later.
  for (TControl* c : FControls) c->FParent = nullptr;
  FControls.clear();
}

void TWinControl::RemoveControl(TControl* c) {
  for (size_t i = 0; i < FControls.size(); ++i)
    if (FControls[i] == c) {
      FControls.erase(FControls.begin() + static_cast<long>(i));
      break;
    }
}

void TWinControl::SetBounds(int l, int t, int w, int h) {
  TControl::SetBounds(l, t, w, h);
  Realign();
}

RECT TWinControl::AlignRect() {
  RECT r{};
  if (FHandle) GetClientRect(FHandle, &r);
  return r;
}

void TWinControl::Realign() {
  if (!FHandle || FInRealign) return;
  FInRealign = true;
  RECT r = AlignRect();
  RECT now{};
  // A control already in its place is not moved again (that would change
  // nothing and cost a round of window messages).
  auto place = [&now](TControl* c, int l, int t, int w, int h) {
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    if (c->Handle() && (now.left != l || now.top != t || now.right - now.left != w || now.bottom - now.top != h))
      MoveWindow(c->Handle(), l, t, w, h, TRUE);
    if (auto* wc = dynamic_cast<TWinControl*>(c)) wc->Realign();
  };
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : FControls) {
      if (c->Align() != pass || !c->Visible()) continue;
      now = c->BoundsRect();
      const int w = now.right - now.left, h = now.bottom - now.top;
      switch (pass) {
        case alTop:
          place(c, r.left, r.top, r.right - r.left, h);
          r.top += h;
          break;
        case alBottom:
          place(c, r.left, r.bottom - h, r.right - r.left, h);
          r.bottom -= h;
          break;
        case alLeft:
          place(c, r.left, r.top, w, r.bottom - r.top);
          r.left += w;
          break;
        case alRight:
          place(c, r.right - w, r.top, w, r.bottom - r.top);
          r.right -= w;
          break;
        default:
          place(c, r.left, r.top, r.right - r.left, r.bottom - r.top);
          break;
      }
    }
  }
  FInRealign = false;
}

void TWinControl::RegisterWindowClass(const char* className, UINT style, HICON icon, HBRUSH background) {
  WNDCLASSA wc{};
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (GetClassInfoA(inst, className, &wc)) return;
  wc = WNDCLASSA{};
  wc.style = style;
  wc.lpfnWndProc = CommonWndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = icon;
  wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
}

void TWinControl::DefaultHandler(TMessage& m) { m.Result = DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam); }

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE:
      Realign();
      break;
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(m.LParam);
      if (nm->code == TTN_GETDISPINFOA) {
        auto* di = reinterpret_cast<NMTTDISPINFOA*>(nm);
        if (TToolButton* b = TToolBar::ButtonOfCommand(static_cast<UINT>(nm->idFrom))) {
          static std::string text;
          text = GetShortHint(b->Hint);
          di->lpszText = text.data();
          if (Application) Application->SetHint(GetLongHint(b->Hint));
          m.Result = 0;
          return;
        }
      }
      if (TControl* c = TControl::FromHandle(nm->hwndFrom)) {
        LRESULT r = 0;
        if (c->Notify(nm, r)) {
          m.Result = r;
          return;
        }
      }
      break;
    }
    case WM_COMMAND: {
      if (m.LParam) {
        if (TControl* c = TControl::FromHandle(reinterpret_cast<HWND>(m.LParam))) {
          if (c->Command(HIWORD(m.WParam), LOWORD(m.WParam))) {
            m.Result = 0;
            return;
          }
        }
      } else if (TMenuItem* item = TMenuItem::FindByCommand(LOWORD(m.WParam))) {
        item->Click();
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (TControl* c = TControl::FromHandle(reinterpret_cast<HWND>(m.LParam))) {
        if (HBRUSH b = c->CtlColor(reinterpret_cast<HDC>(m.WParam))) {
          m.Result = reinterpret_cast<LRESULT>(b);
          return;
        }
      }
      break;
    case WM_CONTEXTMENU: {
      HWND target = reinterpret_cast<HWND>(m.WParam);
      TControl* c = TControl::FromHandle(target);
      while (c && !c->PopupMenu && c->Parent()) c = c->Parent();
      if (c && c->PopupMenu) {
        POINT pt{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
        if (pt.x == -1 && pt.y == -1) GetCursorPos(&pt);  // from the keyboard; 32 bits of -1 in a 64-bit LPARAM
        c->PopupMenu->PopupComponent = c;
        c->PopupMenu->Popup(pt.x, pt.y);
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_ERASEBKGND:
      if (FColor != clBtnFace) {
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(m.WParam), &r, ColorBrush());
        m.Result = 1;
        return;
      }
      break;
  }
  DefaultHandler(m);
}

LRESULT CALLBACK CommonWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    if (cs->lpCreateParams) TControl::Register(h, static_cast<TControl*>(cs->lpCreateParams));
  }
  auto* c = dynamic_cast<TWinControl*>(TControl::FromHandle(h));
  if (!c) return DefWindowProcA(h, msg, wp, lp);
  if (!c->Handle()) {
    // Still inside CreateWindowEx: the object learns its handle here.
    return DefWindowProcA(h, msg, wp, lp);
  }
  TMessage m{msg, wp, lp, 0};
  bool ok = true;
  SafeCall(c, [&] {
    c->WndProc(m);
  });
  (void)ok;
  // The object may outlive its window, and a later window get the handle.
  if (msg == WM_NCDESTROY) TControl::Unregister(h);
  return m.Result;
}
