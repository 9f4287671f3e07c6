#include "Disp.h"

#include <cstring>
#include <vector>

TDispDlg* DispDlg = nullptr;

namespace {

const char kDispClass[] = "TDispDlg";
constexpr int kWorkSize = 65536;
constexpr int kShown = 32768;
constexpr int kOKId = IDOK;
constexpr int kMemoId = 100;

HFONT MakeFont(const char* face, int height, BYTE charset = SHIFTJIS_CHARSET) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfCharSet = charset;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

}  // namespace

POINT KeepInWorkArea(int Left, int Top, int Width, int Height, const RECT& Area) {
  if (Left < Area.left) Left = Area.left;
  if (Top < Area.top) Top = Area.top;
  if (Left + Width > Area.right) Left = Area.right - Width;
  if (Top + Height > Area.bottom) Top = Area.bottom - Height;
  return POINT{Left, Top};
}

TDispDlg::TDispDlg(TComponent* AOwner, HWND ParentWnd) : TComponent(AOwner), FParent(ParentWnd) {}

TDispDlg::~TDispDlg() {
  if (FWnd) DestroyWindow(FWnd);
  if (FFormFont) DeleteObject(FFormFont);
  if (FMemoFont) DeleteObject(FMemoFont);
  if (FMemoBrush) DeleteObject(FMemoBrush);
  if (DispDlg == this) DispDlg = nullptr;
}

std::string TDispDlg::ConvertLog(const char* Text) {
  std::vector<char> work(kWorkSize);
  size_t o = 0;
  bool prevCR = false;
  // Room for the closing zero is kept at every step.
  for (const char* p = Text; p && *p && o + 1 < work.size(); ++p) {
    if (*p == '\n' && !prevCR) {
      if (o + 2 >= work.size()) break;
      work[o++] = '\r';
    }
    work[o++] = *p;
    prevCR = *p == '\r';
  }
  work[o] = 0;
  work[kShown] = 0;
  return std::string(work.data());
}

void TDispDlg::SetResultText(const char* Text) {
  FText = ConvertLog(Text);
  if (FMemo) {
    SendMessageA(FMemo, WM_SETREDRAW, FALSE, 0);
    SetWindowTextA(FMemo, "");
    SetWindowTextA(FMemo, FText.c_str());
    SendMessageA(FMemo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FMemo, nullptr, TRUE);
  }
}

void TDispDlg::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  if (FWnd) SetWindowTextA(FWnd, FCaption.c_str());
}

void TDispDlg::SetMemoFont(const LOGFONTA& Font) {
  if (FMemoFont) DeleteObject(FMemoFont);
  FMemoFont = CreateFontIndirectA(&Font);
  ApplyMemo();
}

void TDispDlg::SetMemoColor(COLORREF Color) {
  FMemoColor = Color;
  if (FMemoBrush) DeleteObject(FMemoBrush);
  FMemoBrush = Color == CLR_INVALID ? nullptr : CreateSolidBrush(Color);
  ApplyMemo();
}

void TDispDlg::SetMemoTextColor(COLORREF Color) {
  FMemoTextColor = Color;
  ApplyMemo();
}

void TDispDlg::ApplyMemo() {
  if (!FMemo) return;
  if (FMemoFont) SendMessageA(FMemo, WM_SETFONT, reinterpret_cast<WPARAM>(FMemoFont), TRUE);
  InvalidateRect(FMemo, nullptr, TRUE);
}

void TDispDlg::SetParentWindow(HWND ParentWnd) {
  FParent = ParentWnd;
  if (FWnd) SetWindowLongPtrA(FWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(FParent));
}

HWND TDispDlg::Handle() {
  if (!FWnd) CreateWnd();
  return FWnd;
}

void TDispDlg::CreateWnd() {
  static const ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kDispClass;
    return RegisterClassA(&wc);
  }();
  (void)atom;
  if (!FParent && Owner()) FParent = Owner()->GetHandle();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
  RECT r{0, 0, 392, 229};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  FWnd = CreateWindowExA(exStyle, kDispClass, FCaption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                         r.right - r.left, r.bottom - r.top, FParent, nullptr, GetModuleHandleA(nullptr), this);
  if (!FWnd) return;
  FFormFont = MakeFont("MS UI Gothic", -12);
  if (!FMemoFont) FMemoFont = MakeFont("ＭＳ Ｐゴシック", -12);
  FMemo = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                              ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                          4, 4, 385, 193, FWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoId)),
                          GetModuleHandleA(nullptr), nullptr);
  SendMessageA(FMemo, EM_LIMITTEXT, 0, 0);
  FOKBtn = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 158, 201, 75,
                           24, FWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOKId)),
                           GetModuleHandleA(nullptr), nullptr);
  SendMessageA(FOKBtn, WM_SETFONT, reinterpret_cast<WPARAM>(FFormFont), FALSE);
  ApplyMemo();
  if (!FText.empty()) SetWindowTextA(FMemo, FText.c_str());
}

int TDispDlg::Width() {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return r.right - r.left;
}

int TDispDlg::Height() {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return r.bottom - r.top;
}

void TDispDlg::ShowModalAt(int Left, int Top) {
  HWND w = Handle();
  if (!w) return;
  SetWindowTextA(w, FCaption.c_str());
  SetWindowTextA(FMemo, FText.c_str());
  SetWindowPos(w, HWND_TOPMOST, Left, Top, 0, 0, SWP_NOSIZE);
  HWND owner = FParent;
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  FModalDone = false;
  ShowWindow(w, SW_SHOW);
  SetFocus(FOKBtn);
  MSG msg;
  while (!FModalDone) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // let the main loop see it too
      break;
    }
    if (got < 0) break;
    if (IsDialogMessageA(w, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  ShowWindow(w, SW_HIDE);
  if (owner) SetActiveWindow(owner);
}

LRESULT CALLBACK TDispDlg::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* self = reinterpret_cast<TDispDlg*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
  switch (Msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(LParam);
      SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_COMMAND:
      if (self && (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL)) {
        self->FModalDone = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (self) self->FModalDone = true;
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (self && reinterpret_cast<HWND>(LParam) == self->FMemo &&
          (self->FMemoBrush || self->FMemoTextColor != CLR_INVALID)) {
        HDC dc = reinterpret_cast<HDC>(WParam);
        if (self->FMemoTextColor != CLR_INVALID) SetTextColor(dc, self->FMemoTextColor);
        if (!self->FMemoBrush) {
          // A read-only memo paints as a static: the face colour behind.
          SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
          return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        SetBkColor(dc, self->FMemoColor);
        return reinterpret_cast<LRESULT>(self->FMemoBrush);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(Wnd, Msg, WParam, LParam);
}
