#include "UxTheme.h"

#include "Menus.h"

namespace UxTheme {

HMODULE ThemeModule = nullptr;
#define UXTHEME_POINTER(NAME) decltype(&::NAME) NAME = nullptr;
UXTHEME_ENTRIES(UXTHEME_POINTER)
#undef UXTHEME_POINTER

bool ThemeLibraryWanted(DWORD platformId, DWORD major, DWORD minor) {
  return platformId == VER_PLATFORM_WIN32_NT && (major > 5 || (major == 5 && minor > 0));
}

void LoadThemeLibrary() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  if (!GetVersionExA(&vi) || !ThemeLibraryWanted(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion)) return;
  ThemeModule = LoadLibraryA("uxtheme.dll");
  if (!ThemeModule) return;
#define UXTHEME_BIND(NAME) \
  NAME = reinterpret_cast<decltype(&::NAME)>(reinterpret_cast<void*>(GetProcAddress(ThemeModule, #NAME)));
  UXTHEME_ENTRIES(UXTHEME_BIND)
#undef UXTHEME_BIND
}

void ReleaseThemeLibrary() {
  if (ThemeModule) FreeLibrary(ThemeModule);
  ThemeModule = nullptr;
}

bool ThemesActive() {
  // A library without these two is not one we can paint with.
  if (!ThemeModule || !IsThemeActive || !IsAppThemed) return false;
  return IsThemeActive() && IsAppThemed();
}

int BoundEntryCount() {
  int n = 0;
#define UXTHEME_COUNT(NAME) n += NAME != nullptr;
  UXTHEME_ENTRIES(UXTHEME_COUNT)
#undef UXTHEME_COUNT
  return n;
}

namespace {
// Before any form exists and after the last one is gone.
struct ThemeLibraryLifetime {
  ThemeLibraryLifetime() {
    LoadThemeLibrary();
    MenuThemesActive = &ThemesActive;
  }
  ~ThemeLibraryLifetime() { ReleaseThemeLibrary(); }
} lifetime;
}  // namespace

}  // namespace UxTheme
