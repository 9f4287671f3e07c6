// The libraries' progress message, registered once at start-up.
#pragma once
#include <windows.h>

UINT RegisterArcExtractMessage();
extern UINT WM_ARCEXTRACT;
