#include "Archive_wm.h"

UINT RegisterArcExtractMessage() { return RegisterWindowMessageA("wm_arcextract"); }

UINT WM_ARCEXTRACT = RegisterArcExtractMessage();
