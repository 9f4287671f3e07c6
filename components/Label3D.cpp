#include "Label3D.h"

namespace {
const char kClass[] = "TLabel3D";
}

TLabel3D::TLabel3D(TComponent* AOwner, TWinControl* AParent) : TWinControl(AOwner, AParent) { Create(); }

TLabel3D::TLabel3D(TComponent* AOwner, HWND ParentWnd) : TWinControl(AOwner, nullptr) {
  FParentWnd = ParentWnd;
  Create();
}

void TLabel3D::Create() {
  // No background brush: the caption is drawn over the parent's face.
  RegisterWindowClass(kClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr,
                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  CreateHandle(kClass, WS_VISIBLE, 0);
  SetBounds(0, 0, 96, 24);
  FFont.SetColor(clWhite);
  FShadeColor = clBlack;
}

void TLabel3D::SetShadeColor(TColor c) {
  FShadeColor = c;
  if (!FHandle) return;
  HDC dc = GetDC(FHandle);
  Paint(dc);
  ReleaseDC(FHandle, dc);
}

void TLabel3D::SetCaption(const std::string& s) {
  TControl::SetCaption(s);
  Invalidate();
}

void TLabel3D::Paint(HDC dc) {
  std::string text = Caption();
  RECT r;
  GetClientRect(FHandle, &r);
  InflateRect(&r, -2, -2);
  OffsetRect(&r, 2, 2);
  int mode = SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, FFont.Handle());
  COLORREF oldColor = SetTextColor(dc, ColorToRGB(FShadeColor));
  DrawTextA(dc, text.c_str(), -1, &r, DT_EXPANDTABS | DT_WORDBREAK);
  SetTextColor(dc, ColorToRGB(FFont.Color()));
  OffsetRect(&r, -2, -2);
  DrawTextA(dc, text.c_str(), -1, &r, DT_EXPANDTABS | DT_WORDBREAK);
  SetTextColor(dc, oldColor);
  SelectObject(dc, oldFont);
  SetBkMode(dc, mode);
}

void TLabel3D::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FHandle, &ps);
    Paint(dc);
    EndPaint(FHandle, &ps);
    m.Result = 0;
    return;
  }
  if (m.Msg == WM_PRINTCLIENT) {
    Paint(reinterpret_cast<HDC>(m.WParam));
    m.Result = 0;
    return;
  }
  if (m.Msg == WM_LBUTTONUP) Fire(OnClick, this);
  TWinControl::WndProc(m);
}
