// Drives a context-menu extension the way Explorer does: registration,
// the class factory, a CF_HDROP selection, the menu and the command.
//   shxdrv reg|unreg DLL                 the registration exports
//   shxdrv key HKCR|HKLM PATH [VALUE]    a registry value, or (missing)
//   shxdrv menu DLL CLSID FLAGS FILE...  Initialize, QueryContextMenu, help texts, bad verbs
//   shxdrv invoke DLL CLSID FILE...      Initialize and the command (offset 0)
// invoke: SHX_CLIPTEXT is put on the clipboard first; afterwards the
// clipboard's "Tovix FileList" and text are printed; SHX_WAIT names a file
// to wait for (what a started program writes) before ending; SHX_KEYS
// ("shift", "ctrl" or both, comma-separated) are held while the command is
// chosen.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == '\r') s += "\\r";
    else if (p[i] == '\n') s += "\\n";
    else if (p[i] == 0) s += "\\0";
    else s += p[i];
  }
  return s;
}

// The smallest data object that carries CF_HDROP, as Explorer hands it.
class TDropData : public IDataObject {
 public:
  explicit TDropData(const std::vector<std::string>& files) {
    size_t size = sizeof(DROPFILES) + 1;
    for (auto& f : files) size += f.size() + 1;
    FBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* df = static_cast<DROPFILES*>(GlobalLock(FBlock));
    df->pFiles = sizeof(DROPFILES);
    char* p = reinterpret_cast<char*>(df + 1);
    for (auto& f : files) {
      std::memcpy(p, f.c_str(), f.size() + 1);
      p += f.size() + 1;
    }
    GlobalUnlock(FBlock);
  }
  ~TDropData() { GlobalFree(FBlock); }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRef; }
  STDMETHODIMP_(ULONG) Release() override { return --FRef; }  // lives on the stack
  STDMETHODIMP GetData(FORMATETC* fe, STGMEDIUM* m) override {
    if (fe->cfFormat != CF_HDROP || !(fe->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    SIZE_T n = GlobalSize(FBlock);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, n);
    std::memcpy(GlobalLock(copy), GlobalLock(FBlock), n);
    GlobalUnlock(copy);
    GlobalUnlock(FBlock);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = copy;
    m->pUnkForRelease = nullptr;
    ++Requests;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* fe) override { return fe->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
  int Requests = 0;

 private:
  HGLOBAL FBlock;
  ULONG FRef = 1;
};

struct TServer {
  HMODULE lib;
  HRESULT(__stdcall* GetClassObject)(REFCLSID, REFIID, void**);
  HRESULT(__stdcall* CanUnloadNow)();
};

TServer Load(const char* dll) {
  TServer s{LoadLibraryA(dll), nullptr, nullptr};
  if (!s.lib) {
    std::printf("LoadLibrary failed %lu\n", GetLastError());
    std::exit(2);
  }
  s.GetClassObject = reinterpret_cast<decltype(s.GetClassObject)>(GetProcAddress(s.lib, "DllGetClassObject"));
  s.CanUnloadNow = reinterpret_cast<decltype(s.CanUnloadNow)>(GetProcAddress(s.lib, "DllCanUnloadNow"));
  return s;
}

IContextMenu* Create(const TServer& s, const char* clsidText, IShellExtInit** init) {
  std::wstring w(clsidText, clsidText + std::strlen(clsidText));
  CLSID clsid;
  CLSIDFromString(w.c_str(), &clsid);
  IUnknown* bogus = reinterpret_cast<IUnknown*>(1);
  HRESULT other = s.GetClassObject(IID_IContextMenu, IID_IClassFactory, (void**)&bogus);
  std::printf("other class %08lx %s\n", other, bogus ? "set" : "null");
  IClassFactory* cf = nullptr;
  HRESULT hr = s.GetClassObject(clsid, IID_IClassFactory, (void**)&cf);
  std::printf("factory %08lx\n", hr);
  if (FAILED(hr)) std::exit(3);
  IContextMenu* cm = nullptr;
  hr = cf->CreateInstance(nullptr, IID_IContextMenu, (void**)&cm);
  cf->Release();
  if (FAILED(hr)) std::exit(4);
  cm->QueryInterface(IID_IShellExtInit, (void**)init);
  std::printf("unload while alive %08lx\n", s.CanUnloadNow());
  return cm;
}

void PrintMenu(HMENU m) {
  for (int i = 0; i < GetMenuItemCount(m); ++i) {
    char text[128] = {};
    GetMenuStringA(m, i, text, sizeof text, MF_BYPOSITION);
    std::printf("item %d id %u %s\n", i, GetMenuItemID(m, i), text);
  }
}

int Menu(int argc, char** argv) {
  TServer s = Load(argv[2]);
  IShellExtInit* init = nullptr;
  IContextMenu* cm = Create(s, argv[3], &init);
  UINT flags = std::strtoul(argv[4], nullptr, 0);
  std::vector<std::string> files(argv + 5, argv + argc);
  std::printf("init null %08lx\n", init->Initialize(nullptr, nullptr, nullptr));
  TDropData data(files);
  std::printf("init %08lx\n", init->Initialize(nullptr, &data, nullptr));
  HMENU m = CreatePopupMenu();
  AppendMenuA(m, MF_STRING, 1, "first");
  AppendMenuA(m, MF_STRING, 2, "second");
  std::printf("query %08lx\n", cm->QueryContextMenu(m, 1, 100, 200, flags));
  PrintMenu(m);
  DestroyMenu(m);
  for (UINT type : {GCS_HELPTEXTA, GCS_VERBA, GCS_VALIDATEA}) {
    char buf[64];
    std::memset(buf, '#', sizeof buf);
    HRESULT hr = cm->GetCommandString(0, type, nullptr, buf, sizeof buf);
    std::printf("command string %u %08lx %s\n", type, hr, buf[0] == '#' ? "(none)" : buf);
  }
  char small[8];
  std::memset(small, '#', sizeof small);
  cm->GetCommandString(0, GCS_HELPTEXTA, nullptr, small, 4);
  std::printf("help in 4 bytes %s\n", Escaped(small, 5).c_str());
  std::printf("command string id 1 %08lx\n", cm->GetCommandString(1, GCS_HELPTEXTA, nullptr, small, 8));
  CMINVOKECOMMANDINFO ici{};
  ici.cbSize = sizeof ici;
  ici.lpVerb = "open";
#if defined(_WIN64)
  // A verb string at an address whose second 16 bits are zero must still be
  // taken for a string.
  if (void* low = VirtualAlloc(reinterpret_cast<void*>(0x100000000ull), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
    if (reinterpret_cast<UINT_PTR>(low) >> 32 && !(reinterpret_cast<UINT_PTR>(low) & 0xFFFF0000u))
      ici.lpVerb = std::strcpy(static_cast<char*>(low), "open");
  }
#endif
  std::printf("invoke verb %08lx\n", cm->InvokeCommand(&ici));
  ici.lpVerb = MAKEINTRESOURCEA(1);
  std::printf("invoke 1 %08lx\n", cm->InvokeCommand(&ici));
  init->Release();
  cm->Release();
  std::printf("unload after %08lx\n", s.CanUnloadNow());
  return 0;
}

void PutText(HWND w, const char* text) {
  if (!OpenClipboard(w)) return;
  EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
  std::strcpy(static_cast<char*>(GlobalLock(h)), text);
  GlobalUnlock(h);
  SetClipboardData(CF_TEXT, h);
  CloseClipboard();
}

void PrintClipboard(HWND w) {
  if (!OpenClipboard(w)) {
    std::printf("clipboard closed\n");
    return;
  }
  UINT fmt = RegisterClipboardFormatA("Tovix FileList");
  for (UINT f : {fmt, UINT(CF_TEXT)}) {
    HGLOBAL h = GetClipboardData(f);
    const char* p = h ? static_cast<const char*>(GlobalLock(h)) : nullptr;
    if (!p) {
      std::printf("clip %s (none)\n", f == CF_TEXT ? "text" : "list");
      continue;
    }
    size_t n = f == CF_TEXT ? std::strlen(p) : GlobalSize(h);
    std::printf("clip %s %s\n", f == CF_TEXT ? "text" : "list", Escaped(p, n).c_str());
    GlobalUnlock(h);
  }
  CloseClipboard();
}

int Invoke(int argc, char** argv) {
  HWND owner = CreateWindowExA(0, "STATIC", "shxdrv", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (const char* t = std::getenv("SHX_CLIPTEXT")) PutText(owner, t);
  TServer s = Load(argv[2]);
  IShellExtInit* init = nullptr;
  IContextMenu* cm = Create(s, argv[3], &init);
  std::vector<std::string> files(argv + 4, argv + argc);
  TDropData data(files);
  std::printf("init %08lx\n", init->Initialize(nullptr, &data, nullptr));
  CMINVOKECOMMANDINFO ici{};
  ici.cbSize = sizeof ici;
  ici.hwnd = owner;
  ici.lpVerb = MAKEINTRESOURCEA(0);
  ici.nShow = SW_SHOW;
  if (const char* keys = std::getenv("SHX_KEYS")) {
    BYTE state[256];
    GetKeyboardState(state);
    if (std::strstr(keys, "shift")) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (std::strstr(keys, "ctrl")) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    SetKeyboardState(state);
  }
  std::printf("invoke %08lx\n", cm->InvokeCommand(&ici));
  init->Release();
  cm->Release();
  if (std::getenv("SHX_CLIPTEXT")) PrintClipboard(owner);
  if (const char* wait = std::getenv("SHX_WAIT"); wait && *wait)
    for (int i = 0; i < 200 && GetFileAttributesA(wait) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  DestroyWindow(owner);
  return 0;
}

int Key(int argc, char** argv) {
  HKEY root = std::strcmp(argv[2], "HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
  const char* value = argc > 4 ? argv[4] : nullptr;
  char buf[1024] = {};
  DWORD size = sizeof buf - 1;
  HKEY k;
  if (RegOpenKeyExA(root, argv[3], 0, KEY_READ, &k) != ERROR_SUCCESS) {
    std::printf("(missing)\n");
    return 0;
  }
  LONG r = RegQueryValueExA(k, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  std::printf("%s\n", r == ERROR_SUCCESS ? buf : "(no value)");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  std::string cmd = argv[1];
  OleInitialize(nullptr);
  if (cmd == "reg" || cmd == "unreg") {
    TServer s = Load(argv[2]);
    auto fn = reinterpret_cast<HRESULT(__stdcall*)()>(
        GetProcAddress(s.lib, cmd == "reg" ? "DllRegisterServer" : "DllUnregisterServer"));
    std::printf("%s %08lx\n", cmd.c_str(), fn());
    return 0;
  }
  if (cmd == "key" && argc >= 4) return Key(argc, argv);
  if (cmd == "menu" && argc >= 5) return Menu(argc, argv);
  if (cmd == "invoke" && argc >= 4) return Invoke(argc, argv);
  return 1;
}
