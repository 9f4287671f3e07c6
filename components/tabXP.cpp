#include "tabXP.h"

#include <uxtheme.h>

namespace {
// The theme library is optional: bound by name, absent before version 5.1.
struct ThemeApi {
  HMODULE lib = nullptr;
  HANDLE(WINAPI* open)(HWND, LPCWSTR) = nullptr;
  HRESULT(WINAPI* close)(HANDLE) = nullptr;
  HRESULT(WINAPI* draw)(HANDLE, HDC, int, int, const RECT*, const RECT*) = nullptr;
  BOOL(WINAPI* active)() = nullptr;
  ThemeApi() {
    lib = LoadLibraryA("uxtheme.dll");
    if (!lib) return;
    open = reinterpret_cast<decltype(open)>(reinterpret_cast<void*>(GetProcAddress(lib, "OpenThemeData")));
    close = reinterpret_cast<decltype(close)>(reinterpret_cast<void*>(GetProcAddress(lib, "CloseThemeData")));
    draw = reinterpret_cast<decltype(draw)>(reinterpret_cast<void*>(GetProcAddress(lib, "DrawThemeBackground")));
    active = reinterpret_cast<decltype(active)>(reinterpret_cast<void*>(GetProcAddress(lib, "IsThemeActive")));
    if (!open || !close || !draw || !active) open = nullptr;
  }
  bool Usable() const { return open && active(); }
};
ThemeApi& Api() {
  static ThemeApi a;
  return a;
}
constexpr int kTabPaneBody = 10;  // TABP_BODY
}  // namespace

TXPTabSheet::TXPTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption)
    : TTabSheet(AOwner, APageControl, caption, "TXPTabSheet") {
  if (Api().Usable()) FTheme = Api().open(FHandle, L"TAB");
}

TXPTabSheet::~TXPTabSheet() {
  if (FTheme) Api().close(FTheme);
}

bool TXPTabSheet::PaintThemed(HDC dc) {
  if (!FTheme || !Api().Usable()) return false;
  RECT r;
  GetClientRect(FHandle, &r);
  return SUCCEEDED(Api().draw(FTheme, dc, kTabPaneBody, 0, &r, nullptr));
}

void TXPTabSheet::WndProc(TMessage& m) {
  if (m.Msg == WM_ERASEBKGND && PaintThemed(reinterpret_cast<HDC>(m.WParam))) {
    m.Result = 1;
    return;
  }
  if (m.Msg == WM_THEMECHANGED) {
    if (FTheme) Api().close(FTheme);
    FTheme = Api().Usable() ? Api().open(FHandle, L"TAB") : nullptr;
  }
  TTabSheet::WndProc(m);
}
