// The visual-style library, bound by name at start-up: absent before NT 5.1,
// and the program must still run (and paint classically) there.
#pragma once
#include <windows.h>
#include <uxtheme.h>

// Every entry point, in binding order.
#define UXTHEME_ENTRIES(X)                                                                                    \
  X(OpenThemeData) X(CloseThemeData) X(DrawThemeBackground) X(DrawThemeText) X(GetThemeBackgroundContentRect)    \
  X(GetThemeBackgroundExtent) X(GetThemePartSize) X(GetThemeTextExtent) X(GetThemeTextMetrics)                  \
  X(GetThemeBackgroundRegion) X(HitTestThemeBackground) X(DrawThemeEdge) X(DrawThemeIcon) X(IsThemePartDefined)  \
  X(IsThemeBackgroundPartiallyTransparent) X(GetThemeColor) X(GetThemeMetric) X(GetThemeString) X(GetThemeBool) \
  X(GetThemeInt) X(GetThemeEnumValue) X(GetThemePosition) X(GetThemeFont) X(GetThemeRect) X(GetThemeMargins)     \
  X(GetThemeIntList) X(GetThemePropertyOrigin) X(SetWindowTheme) X(GetThemeFilename) X(GetThemeSysColor)        \
  X(GetThemeSysColorBrush) X(GetThemeSysBool) X(GetThemeSysSize) X(GetThemeSysFont) X(GetThemeSysString)        \
  X(GetThemeSysInt) X(IsThemeActive) X(IsAppThemed) X(GetWindowTheme) X(EnableThemeDialogTexture)               \
  X(IsThemeDialogTextureEnabled) X(GetThemeAppProperties) X(SetThemeAppProperties) X(GetCurrentThemeName)      \
  X(GetThemeDocumentationProperty) X(DrawThemeParentBackground) X(EnableTheming)

// The pointers carry the entry points' own names, so they live apart from the
// platform's declarations of the same names.
namespace UxTheme {

extern HMODULE ThemeModule;
#define UXTHEME_POINTER(NAME) extern decltype(&::NAME) NAME;
UXTHEME_ENTRIES(UXTHEME_POINTER)
#undef UXTHEME_POINTER

// Runs once at start-up (module initialization) and once at the end.
void LoadThemeLibrary();
void ReleaseThemeLibrary();
// Whether the library is looked for at all on this system version.
bool ThemeLibraryWanted(DWORD platformId, DWORD major, DWORD minor);
// Asked afresh every time, so a change of visual style shows at the next paint.
bool ThemesActive();
// Entry points bound (non-null), for diagnostics.
int BoundEntryCount();

}  // namespace UxTheme

using UxTheme::ThemesActive;
