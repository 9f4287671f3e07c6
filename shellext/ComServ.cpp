#include "ComServ.h"

#include <cstdio>

namespace ComServer {
LONG ObjectCount = 0;
LONG LockCount = 0;

HMODULE Instance() {
  HMODULE m = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Instance), &m);
  return m;
}

std::string ModuleFileName() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(Instance(), buf, MAX_PATH);
  return std::string(buf, n);
}
}  // namespace ComServer

static TComObjectFactory* gFactory = nullptr;

std::string GUIDToString(const GUID& g) {
  char s[40];
  std::snprintf(s, sizeof s, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return s;
}

void CreateRegKey(const std::string& key, const std::string& valueName, const std::string& value, HKEY root) {
  HKEY k = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    throw EOleRegistrationError("cannot create " + key);
  LONG r = RegSetValueExA(k, valueName.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) throw EOleRegistrationError("cannot write " + key);
}

TComObject::TComObject() { InterlockedIncrement(&ComServer::ObjectCount); }
TComObject::~TComObject() { InterlockedDecrement(&ComServer::ObjectCount); }

ULONG TComObject::ObjAddRef() { return InterlockedIncrement(&FRefCount); }

ULONG TComObject::ObjRelease() {
  LONG n = InterlockedDecrement(&FRefCount);
  if (n == 0) delete this;
  return n;
}

TComObjectFactory::TComObjectFactory(const CLSID& classID, const std::string& description, TCreate create)
    : FClassID(classID), FDescription(description), FCreate(create) {
  if (!gFactory) gFactory = this;
}

TComObjectFactory::~TComObjectFactory() {
  if (gFactory == this) gFactory = nullptr;
}

TComObjectFactory* TComObjectFactory::Current() { return gFactory; }

STDMETHODIMP TComObjectFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// The factory lives as long as the library; references do not own it.
STDMETHODIMP_(ULONG) TComObjectFactory::AddRef() { return 2; }
STDMETHODIMP_(ULONG) TComObjectFactory::Release() { return 1; }

STDMETHODIMP TComObjectFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  IUnknown* obj = FCreate();
  if (!obj) return E_OUTOFMEMORY;
  HRESULT hr = obj->QueryInterface(riid, ppv);
  obj->Release();  // the creation reference; the caller's one remains on success
  return hr;
}

STDMETHODIMP TComObjectFactory::LockServer(BOOL lock) {
  if (lock)
    InterlockedIncrement(&ComServer::LockCount);
  else
    InterlockedDecrement(&ComServer::LockCount);
  return S_OK;
}

void TComObjectFactory::UpdateRegistry(bool Register) {
  std::string clsidKey = "CLSID\\" + GUIDToString(FClassID);
  if (Register) {
    CreateRegKey(clsidKey, "", FDescription);
    CreateRegKey(clsidKey + "\\InprocServer32", "", ServerPath());
  } else {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsidKey + "\\InprocServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, clsidKey.c_str());
  }
}

// The four exports of an in-process server.

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  TComObjectFactory* f = TComObjectFactory::Current();
  if (!f || !IsEqualCLSID(rclsid, f->ClassID())) return CLASS_E_CLASSNOTAVAILABLE;
  return f->QueryInterface(riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
  return ComServer::ObjectCount == 0 && ComServer::LockCount == 0 ? S_OK : S_FALSE;
}

static HRESULT UpdateAll(bool Register) {
  try {
    if (TComObjectFactory* f = TComObjectFactory::Current()) f->UpdateRegistry(Register);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

extern "C" HRESULT __stdcall DllRegisterServer() { return UpdateAll(true); }
extern "C" HRESULT __stdcall DllUnregisterServer() { return UpdateAll(false); }
