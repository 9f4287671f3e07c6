#include "btnxp.h"

#include "UxTheme.h"

namespace {
constexpr int kGlyphWidth = 9;
constexpr int kGlyphHeight = 6;
}  // namespace

TUpDnButton::TUpDnButton(TComponent* AOwner, TWinControl* AParent) : TButton(AOwner, AParent, "") {
  SetBounds(0, 0, 15, 13);
  FGlyphs = ImageList_LoadImageA(GetModuleHandleA(nullptr), "BUTTONXPBMP", kGlyphWidth, 0, RGB(255, 255, 255),
                                 IMAGE_BITMAP, LR_DEFAULTSIZE);
  // The native button paints first; the glyph goes over it afterwards, so it
  // stays in place while the button is pressed.
  HookWindowProc([this](TMessage& m) {
    switch (m.Msg) {
      case WM_PAINT:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_MOUSEMOVE:
      case WM_ENABLE:
      case BM_SETSTATE:
        m.Result = CallWindowProcA(FOldProc, FHandle, m.Msg, m.WParam, m.LParam);
        DrawGlyph();
        return true;
      default:
        return false;
    }
  });
}

TUpDnButton::~TUpDnButton() {
  if (FGlyphs) ImageList_Destroy(FGlyphs);
}

void TUpDnButton::SetUpMode(bool up) {
  FUpMode = up;
  Invalidate();
}

void TUpDnButton::SetAssociate(TEdit* edit) {
  FAssociate = edit;
  if (!edit) return;
  SetBounds(edit->Left() + edit->Width() - 1, edit->Top(), Width(), Height());
  // The window of this library exists from construction on, so the themed
  // widening that comes with the window is made here, once per associate.
  if (!(ComponentState & csDesigning) && ThemesActive()) {
    edit->SetWidth(edit->Width() - 4);
    SetBounds(Left() - 4, Top(), Width() + 4, Height());
  }
}

int TUpDnButton::GlyphIndex() const {
  return (ThemesActive() ? 4 : 0) + (FUpMode ? 2 : 0) + (Enabled() ? 0 : 1);
}

void TUpDnButton::DrawGlyph() {
  if (!FGlyphs || !FHandle) return;
  int x = (Width() - kGlyphWidth) / 2;
  int y = (Height() - kGlyphHeight) / 2 - (FUpMode ? 1 : 0);
  HDC dc = GetDC(FHandle);
  if (!dc) return;
  ImageList_DrawEx(FGlyphs, GlyphIndex(), dc, x, y, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT);
  ReleaseDC(FHandle, dc);
}
