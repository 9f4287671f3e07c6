#include "tabXP.h"

#include "UxTheme.h"

namespace {
constexpr int kTabBody = 10;  // TABP_BODY
}

TXPTabSheet::TXPTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption)
    : TTabSheet(AOwner, APageControl, caption, "TXPTabSheet") {
  if (FHandle && ThemesActive()) FTheme = UxTheme::OpenThemeData(FHandle, L"TAB");
}

TXPTabSheet::~TXPTabSheet() { CloseTheme(); }

void TXPTabSheet::CloseTheme() {
  if (FTheme && UxTheme::CloseThemeData) UxTheme::CloseThemeData(FTheme);
  FTheme = nullptr;
}

// False: the caller paints as the base class does.
bool TXPTabSheet::PaintBody(HDC dc) {
  if (!FTheme || !Ctl3D || !ThemesActive()) return false;
  RECT r;
  GetClientRect(FHandle, &r);
  return SUCCEEDED(UxTheme::DrawThemeBackground(FTheme, dc, kTabBody, 0, &r, nullptr));
}

void TXPTabSheet::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      if (PaintBody(reinterpret_cast<HDC>(m.WParam))) {
        m.Result = 1;
        return;
      }
      break;
    case WM_PRINTCLIENT:
      if (PaintBody(reinterpret_cast<HDC>(m.WParam))) return;
      break;
    case WM_THEMECHANGED:
      // Switched to the classic style: the old handle stays, painting goes classic.
      if (ThemesActive()) {
        CloseTheme();
        FTheme = UxTheme::OpenThemeData(FHandle, L"TAB");
      }
      m.Result = 0;
      return;
    case WM_DESTROY:
      CloseTheme();
      break;
  }
  TTabSheet::WndProc(m);
}
