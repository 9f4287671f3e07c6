// Procedures of system libraries that only a few commands need (the common
// dialogs, sounds, the OLE format enumerator) are found on first use, so
// that their libraries and what they pull in stay out of the start-up.
#pragma once
#include <windows.h>

template <class Fn>
Fn LateProc(const char* library, const char* name) {
  HMODULE m = GetModuleHandleA(library);
  if (!m) m = LoadLibraryA(library);  // kept for the rest of the process
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}
