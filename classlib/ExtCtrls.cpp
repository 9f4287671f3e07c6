#include "ExtCtrls.h"

namespace {
void RegisterOwn(const char* name, WNDPROC proc, HCURSOR cursor) {
  WNDCLASSA wc{};
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (GetClassInfoA(inst, name, &wc)) return;
  wc = WNDCLASSA{};
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = cursor;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}
}  // namespace

TImage::TImage(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {
  RegisterOwn("TImage", WndProcOf, LoadCursor(nullptr, IDC_ARROW));
  CreateHandle("TImage", WS_VISIBLE, 0);
}
TImage::~TImage() {
  if (FBitmap) DeleteObject(FBitmap);
}
void TImage::SetBitmap(HBITMAP bmp) {
  if (FBitmap && FBitmap != bmp) DeleteObject(FBitmap);
  FBitmap = bmp;
  Invalidate();
}
LRESULT CALLBACK TImage::WndProcOf(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = dynamic_cast<TImage*>(TControl::FromHandle(h));
  if (msg != WM_PAINT || !self) return DefWindowProcA(h, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT rc;
  GetClientRect(h, &rc);
  SafeCall(self, [&] {
    if (self->OnPaint) {
      self->OnPaint(dc, rc);
    } else if (self->FBitmap) {
      BITMAP bm{};
      GetObjectA(self->FBitmap, sizeof bm, &bm);
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, self->FBitmap);
      int x = 0, y = 0, w = bm.bmWidth, hh = bm.bmHeight;
      if (self->Stretch) {
        w = rc.right;
        hh = rc.bottom;
      } else if (self->Center) {
        x = (rc.right - w) / 2;
        y = (rc.bottom - hh) / 2;
      }
      StretchBlt(dc, x, y, w, hh, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
      SelectObject(mem, old);
      DeleteDC(mem);
    }
  });
  EndPaint(h, &ps);
  return 0;
}

TSplitter::TSplitter(TComponent* AOwner, TWinControl* AParent, TAlign align, int size) : TControl(AOwner, AParent) {
  bool vertical = align == alLeft || align == alRight;
  RegisterOwn(vertical ? "TSplitter" : "TSplitterH", WndProcOf, LoadCursor(nullptr, vertical ? IDC_SIZEWE : IDC_SIZENS));
  CreateHandle(vertical ? "TSplitter" : "TSplitterH", WS_VISIBLE, 0);
  SetBounds(0, 0, size, size);
  SetAlign(align);
}
TControl* TSplitter::Target() const {
  if (!FParent) return nullptr;
  TControl* found = nullptr;
  for (int i = 0; i < FParent->ControlCount(); ++i) {
    TControl* c = FParent->Controls(i);
    if (c == this) break;
    if (c->Align() == FAlign && c->Visible()) found = c;
  }
  return found;
}
LRESULT CALLBACK TSplitter::WndProcOf(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = dynamic_cast<TSplitter*>(TControl::FromHandle(h));
  if (!self) return DefWindowProcA(h, msg, wp, lp);
  bool vertical = self->FAlign == alLeft || self->FAlign == alRight;
  POINT pt;
  GetCursorPos(&pt);
  int pos = vertical ? pt.x : pt.y;
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (TControl* t = self->Target()) {
        self->FDragging = true;
        self->FStart = pos;
        self->FStartSize = vertical ? t->Width() : t->Height();
        SetCapture(h);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (self->FDragging)
        if (TControl* t = self->Target()) {
          int d = pos - self->FStart;
          if (self->FAlign == alRight || self->FAlign == alBottom) d = -d;
          int size = self->FStartSize + d;
          int limit = (vertical ? self->FParent->ClientWidth() : self->FParent->ClientHeight()) - self->MinSize;
          if (size > limit) size = limit;
          if (size < self->MinSize) size = self->MinSize;
          if (vertical) t->SetWidth(size);
          else t->SetHeight(size);
        }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (self->FDragging) {
        self->FDragging = false;
        if (msg == WM_LBUTTONUP) ReleaseCapture();
        Fire(self->OnMoved, self);
      }
      return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

TPanel::TPanel(TComponent* AOwner, TWinControl* AParent) : TWinControl(AOwner, AParent) {
  RegisterWindowClass("TPanel");
  CreateHandle("TPanel", WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
}
