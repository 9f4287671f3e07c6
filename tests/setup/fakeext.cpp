// A stand-in for the extension libraries: its registration entries record
// that they ran, under HKCU\Software\TovixSetupTest, value = own file name.
#include <windows.h>

#include <string>

static HMODULE self;

static HRESULT Mark(const char* what) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of('\\') + 1);
  HKEY k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TovixSetupTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                      nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(what), lstrlenA(what) + 1);
  RegCloseKey(k);
  return S_OK;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE h, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = h;
  return TRUE;
}
extern "C" HRESULT WINAPI DllRegisterServer() { return Mark("reg"); }
extern "C" HRESULT WINAPI DllUnregisterServer() { return Mark("unreg"); }
