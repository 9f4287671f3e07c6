#include "ContextMenu.h"

#include <shellapi.h>

#include <memory>


STDMETHODIMP TContextMenu::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IContextMenu))
    *ppv = static_cast<IContextMenu*>(this);
  else if (IsEqualIID(riid, IID_IShellExtInit))
    *ppv = static_cast<IShellExtInit*>(this);
  else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP TContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* lpdobj, HKEY) {
  if (!lpdobj) return E_INVALIDARG;
  FORMATETC fe = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  HRESULT hr = lpdobj->GetData(&fe, &medium);
  if (FAILED(hr)) return hr;
  try {  // nothing may leave for Explorer's side
    std::vector<std::string> names;
    if (HDROP drop = static_cast<HDROP>(medium.hGlobal)) {
      UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        // Ask for the length first: a name past MAX_PATH is not cut short.
        UINT len = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(len + 1, '\0');
        len = DragQueryFileA(drop, i, name.data(), len + 1);
        name.resize(len);
        if (!name.empty()) names.push_back(name);  // an empty list still counts one empty name
      }
    }
    hr = TakeSelection(names);
  } catch (...) {
    hr = E_OUTOFMEMORY;
  }
  ReleaseStgMedium(&medium);
  return hr;
}

STDMETHODIMP TContextMenu::QueryContextMenu(HMENU hMenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                            UINT uFlags) {
  // An identifier outside the range Explorer gave would run someone else's command.
  if (idCmdFirst > idCmdLast) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  if ((uFlags & 0x0F) == 0 || (uFlags & CMF_EXPLORE)) {
    InsertMenuA(hMenu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, FInfo.Caption.c_str());
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  }
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
}

STDMETHODIMP TContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* lpici) {
  if (!lpici) return E_INVALIDARG;
  // A verb string is refused; a command offset is one below 64K (a pointer
  // of a 64-bit build may have nothing in its second 16 bits).
  if (!IS_INTRESOURCE(lpici->lpVerb)) return E_FAIL;
  if (LOWORD(reinterpret_cast<UINT_PTR>(lpici->lpVerb)) != 0) return E_INVALIDARG;
  try {
    Command(lpici->hwnd);
  } catch (...) {
  }
  return S_OK;
}

STDMETHODIMP TContextMenu::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
  if (idCmd != 0) return E_INVALIDARG;
  if (uType == GCS_HELPTEXTA && pszName && cchMax > 0) lstrcpynA(pszName, FInfo.HelpText.c_str(), cchMax);
  return S_OK;
}

// Registration.

static bool IsNTFamily() { return GetVersion() < 0x80000000u; }

static const char kApproved[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions";

TContextMenuFactory::TContextMenuFactory(const TContextMenuInfo& info, TCreate create)
    : TComObjectFactory(info.ClassID, info.Description, create), FInfo(info) {}

std::string TContextMenuFactory::ServerPath() const {
  std::string path = ComServer::ModuleFileName();
  if (path.find(' ') == std::string::npos) return path;
  if (FInfo.QuotePath) return "\"" + path + "\"";
  char shortPath[MAX_PATH + 1] = {};
  DWORD n = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return n > 0 && n <= MAX_PATH ? std::string(shortPath, n) : path;
}

void TContextMenuFactory::UpdateRegistry(bool Register) {
  std::string clsid = GUIDToString(ClassID());
  if (Register) {
    TComObjectFactory::UpdateRegistry(true);
    CreateRegKey("CLSID\\" + clsid + "\\InProcServer32", "ThreadingModel", "Apartment");
    for (const std::string& key : FInfo.HandlerKeys) CreateRegKey(key, "", clsid);
    if (IsNTFamily()) {
      HKEY ext = nullptr, approved = nullptr;
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ext, nullptr);
      if (ext) RegCreateKeyExA(ext, "Approved", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &approved, nullptr);
      LONG r = approved ? RegSetValueExA(approved, clsid.c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(FInfo.HelpText.c_str()),
                                         static_cast<DWORD>(FInfo.HelpText.size() + 1))
                        : ERROR_INVALID_HANDLE;
      if (approved) RegCloseKey(approved);
      if (ext) RegCloseKey(ext);
      if (r != ERROR_SUCCESS) throw EOleRegistrationError("cannot approve " + clsid);
    }
  } else {
    // Plain deletions, deepest first: a key that still holds another
    // program's handler stays.
    for (const std::string& key : FInfo.UnregisterKeys) RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    if (IsNTFamily()) {
      HKEY ext = nullptr, approved = nullptr;
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ext, nullptr);
      if (ext) RegCreateKeyExA(ext, "Approved", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &approved, nullptr);
      if (approved) {
        RegDeleteValueA(approved, clsid.c_str());
        RegCloseKey(approved);
      }
      if (ext) RegCloseKey(ext);
    }
    TComObjectFactory::UpdateRegistry(false);
  }
}

void RegisterContextMenuFactory(const TContextMenuInfo& info, TComObjectFactory::TCreate create) {
  static std::unique_ptr<TContextMenuFactory> factory;
  if (!factory) factory = std::make_unique<TContextMenuFactory>(info, create);
}

int ErrorBox(HWND owner, const std::string& text, UINT buttons) {
  return MessageBoxA(owner, text.c_str(), "Error", MB_ICONERROR | buttons);
}

bool KeyHeld(int vk) {
  return (GetKeyState(vk) & 0x8000) != 0;
}
