#include "EngineBox.h"

#include <commctrl.h>

#include <vector>

#include "Forms.h"

namespace {
const char kClass[] = "TTovixEngineBox";

ATOM RegisterBoxClass() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  return RegisterClassA(&wc);
}
}  // namespace

TEngineBox::TEngineBox(int clientW, int clientH, const char* fontFace, bool sysMenu) {
  static ATOM atom = RegisterBoxClass();
  (void)atom;
  DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN | (sysMenu ? WS_SYSMENU : 0);
  DWORD ex = WS_EX_DLGMODALFRAME;
  RECT r{0, 0, clientW, clientH};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  FWnd = CreateWindowExA(ex, kClass, "", style, 0, 0, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  if (FWnd) {
    SetWindowLongPtrA(FWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(FWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TEngineBox::Proc));
  }
  FFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, fontFace);
}

TEngineBox::~TEngineBox() {
  // Enabled before the box goes, so the activation returns to the owner.
  if (FDisabledOwner && IsWindow(FDisabledOwner)) EnableWindow(FDisabledOwner, TRUE);
  if (FWnd) {
    SetWindowLongPtrA(FWnd, GWLP_USERDATA, 0);
    DestroyWindow(FWnd);
  }
  if (FFont) DeleteObject(FFont);
}

LRESULT CALLBACK TEngineBox::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TEngineBox*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (self) {
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
      self->OnCommand(LOWORD(wp));
      return 0;
    }
    if (msg == WM_CLOSE) {
      if (self->OnClose()) self->ModalResult = IDCANCEL;
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

HWND TEngineBox::AddControl(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id,
                            DWORD exStyle) {
  HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, FWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (c && FFont) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  return c;
}

void TEngineBox::SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

std::string TEngineBox::GetText(HWND control) const {
  int n = GetWindowTextLengthA(control);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(control, s.data(), n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

void TEngineBox::SetCaption(const std::string& text) { SetWindowTextA(FWnd, text.c_str()); }

int TEngineBox::Width() const {
  RECT r{};
  GetWindowRect(FWnd, &r);
  return r.right - r.left;
}
int TEngineBox::Height() const {
  RECT r{};
  GetWindowRect(FWnd, &r);
  return r.bottom - r.top;
}
int TEngineBox::Left() const {
  RECT r{};
  GetWindowRect(FWnd, &r);
  return r.left;
}
int TEngineBox::Top() const {
  RECT r{};
  GetWindowRect(FWnd, &r);
  return r.top;
}

void TEngineBox::SetBounds(int left, int top) {
  SetWindowPos(FWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TEngineBox::Show() {
  // The owner waits while the box shows: a click on it cannot cover the box.
  HWND owner = FWnd ? GetWindow(FWnd, GW_OWNER) : nullptr;
  if (owner && !FDisabledOwner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    FDisabledOwner = owner;
  }
  ShowWindow(FWnd, SW_SHOWNORMAL);
}

void TEngineBox::Repaint() {
  InvalidateRect(FWnd, nullptr, TRUE);
  UpdateWindow(FWnd);
}

int TEngineBox::ShowModal() {
  ModalResult = 0;
  // Owned by the window the question interrupts (else the program's main
  // window), which waits with every other window of the program.
  HWND owner = GetActiveWindow();
  if (!owner && Application && Application->MainForm) owner = Application->MainForm->Handle();
  if (!owner && Application) owner = Application->Handle();
  if (owner) SetWindowLongPtrA(FWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  std::vector<HWND> disabled = DisableThreadWindows(FWnd);
  ShowWindow(FWnd, SW_SHOWNORMAL);
  SetForegroundWindow(FWnd);
  if (FFocus) SetFocus(FFocus);
  MSG m;
  while (ModalResult == 0) {
    BOOL got = GetMessageA(&m, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));  // the main loop ends too
      ModalResult = 2;
      break;
    }
    if (IsDialogMessageA(FWnd, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  EnableThreadWindows(disabled);
  ShowWindow(FWnd, SW_HIDE);
  if (owner && IsWindow(owner)) SetActiveWindow(owner);
  return ModalResult;
}

void CenterOnOwner(TEngineBox& box, HWND owner) {
  RECT r;
  if (!owner || !GetWindowRect(owner, &r)) return;
  if (box.Handle()) SetWindowLongPtrA(box.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  box.SetBounds(r.left + ((r.right - r.left) - box.Width()) / 2, r.top + ((r.bottom - r.top) - box.Height()) / 2);
}
