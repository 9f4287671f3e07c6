// Program entry of the setup program.
#include <windows.h>
#include <objbase.h>

#include "inst1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HRESULT com = CoInitialize(nullptr);
  int rc = RunSetup();
  if (SUCCEEDED(com)) CoUninitialize();
  return rc;
}
