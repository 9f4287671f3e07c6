#include "about.h"

#include <cstdio>

#include "Archiver.h"
#include "Label3D.h"
#include "Disp.h"
#include "Forms.h"

namespace {

const char kAboutClass[] = "TAboutBox";
// A dialog frame with its title bar (to read and to move it by) but no
// caption buttons.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

std::string Fmt(const char* f, double a) {
  char b[64];
  snprintf(b, sizeof(b), f, a);
  return b;
}

}  // namespace

std::string AboutSubVersion(unsigned Version, unsigned SubVersion) {
  if (Version == 0) return "Not Installed.";
  char b[64];
  snprintf(b, sizeof(b), "ver. %.2f.%u.%u", Version / 100.0, SubVersion / 100, SubVersion % 100);
  return b;
}

std::string AboutPatchVersion(unsigned Version, unsigned Patch) {
  if (Version == 0) return "Not Installed.";
  char b[64];
  snprintf(b, sizeof(b), "ver. %u.%u.%u", Version / 100, Version % 100, Patch);
  return b;
}

std::string AboutPlainVersion(unsigned Version) {
  if (Version == 0) return "Not Installed.";
  return Fmt("ver. %.2f", Version / 100.0);
}

std::string AboutWindowsName(DWORD Platform, DWORD Major, DWORD Minor, DWORD Build, DWORD& ShownBuild) {
  if (Platform == VER_PLATFORM_WIN32_WINDOWS) {
    ShownBuild = Build & 0xFFFF;
    if (Major != 4) return "Windows";
    if (Minor < 10) return "Windows 95";
    if (ShownBuild == 1998) return "Windows 98";
    if (ShownBuild == 2222) return "Windows 98SE";
    return "Windows Me";
  }
  if (Platform == VER_PLATFORM_WIN32_NT) {
    ShownBuild = Build;
    if (Major == 5 && Minor == 0) return "Windows 2000";
    if (Major == 5 && Minor == 1) return "Windows XP";
    return "Windows NT";
  }
  ShownBuild = 0;
  return "Windows";
}

std::string AboutWinVer(DWORD Platform, DWORD Major, DWORD Minor, DWORD Build) {
  DWORD shown = 0;
  std::string name = AboutWindowsName(Platform, Major, Minor, Build, shown);
  char b[128];
  if (Platform == VER_PLATFORM_WIN32_WINDOWS || Platform == VER_PLATFORM_WIN32_NT)
    snprintf(b, sizeof(b), "%s %lu.%.2lu (Build %lu)", name.c_str(), static_cast<unsigned long>(Major),
             static_cast<unsigned long>(Minor), static_cast<unsigned long>(shown));
  else
    snprintf(b, sizeof(b), "%s %lu.%.2lu", name.c_str(), static_cast<unsigned long>(Major),
             static_cast<unsigned long>(Minor));
  return b;
}

std::string AboutWinSer(const std::string& ServicePack) {
  if (ServicePack.empty() || ServicePack == " ") return std::string();
  return "[" + ServicePack + "]";
}

std::string ProgramProductVersion() {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  // The version functions come from their own library, bound here only.
  HMODULE ver = LoadLibraryA("version.dll");
  if (!ver) return std::string();
  using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  auto size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(ver, "GetFileVersionInfoSizeA")));
  auto info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(ver, "GetFileVersionInfoA")));
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(ver, "VerQueryValueA")));
  std::string out;
  DWORD handle = 0;
  DWORD n = size && info && query ? size(exe, &handle) : 0;
  if (n > 0) {
    std::string block(n, '\0');
    if (info(exe, handle, n, block.data())) {
      void* p = nullptr;
      UINT len = 0;
      if (query(block.data(), "\\VarFileInfo\\Translation", &p, &len) && p && len >= 4) {
        DWORD t = *static_cast<DWORD*>(p);
        char hex[16];
        snprintf(hex, sizeof(hex), "%08lX", static_cast<unsigned long>(t));
        std::string swapped = std::string(hex + 4, 4) + std::string(hex, 4);
        std::string key = "\\StringFileInfo\\" + swapped + "\\ProductVersion";
        void* v = nullptr;
        UINT vlen = 0;
        if (query(block.data(), key.c_str(), &v, &vlen) && v && vlen > 0) {
          std::string value(static_cast<const char*>(v));
          if (!value.empty()) out = ("Version " + value).substr(0, 32);
        }
      }
    }
  }
  FreeLibrary(ver);
  return out;
}

TAboutBox::TAboutBox(TComponent* AOwner, HWND OwnerWnd, TArchiver* Engine)
    : TComponent(AOwner), FOwnerWnd(OwnerWnd), FEngine(Engine) {}

TAboutBox::~TAboutBox() {
  if (FWnd) DestroyWindow(FWnd);
  if (FFont) DeleteObject(FFont);
  if (FTitleFont) DeleteObject(FTitleFont);
}

void TAboutBox::FormCreate() {
  TArchiver* a = FEngine;
  Rows.clear();
  Rows.push_back({"unlha32.dll :", a ? AboutSubVersion(a->UnLhaVersion(), a->UnLhaSubVersion()) : "Not Installed."});
  Rows.push_back({"unarj32j.dll :", a ? AboutSubVersion(a->UnArjVersion(), a->UnArjSubVersion()) : "Not Installed."});
  Rows.push_back({"unzip32.dll :", a ? AboutPatchVersion(a->UnZipVersion(), a->UnZipPatchVersion()) : "Not Installed."});
  Rows.push_back({"zip32.dll :", a ? AboutPatchVersion(a->ZipVersion(), a->ZipPatchVersion()) : "Not Installed."});
  Rows.push_back({"cab32.dll :", a ? AboutPlainVersion(a->CabVersion()) : "Not Installed."});
  Rows.push_back({"tar32.dll :", a ? AboutPlainVersion(a->TarVersion()) : "Not Installed."});
  Rows.push_back({"bga32.dll :", a ? AboutPlainVersion(a->BgaVersion()) : "Not Installed."});
  Rows.push_back({"unrar.dll :", a && a->RarVersion() > 0 ? "Installed." : "Not Installed."});

  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&vi);
#pragma GCC diagnostic pop
  WinVer = AboutWinVer(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber);
  if (vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || vi.dwPlatformId == VER_PLATFORM_WIN32_NT)
    WinSer = AboutWinSer(vi.szCSDVersion);
  std::string pv = ProgramProductVersion();
  if (!pv.empty()) Version = pv;

  // Top 50 pixels above the cursor, centred on it across; inside the work area.
  RECT frame{0, 0, 202, 222};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  POINT pt{};
  GetCursorPos(&pt);
  RECT wa{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0)) wa = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  POINT at = KeepInWorkArea(pt.x - width / 2, pt.y - 50, width, height, wa);
  Left = at.x;
  Top = at.y;
}

void TAboutBox::FormClick() { FDone = true; }

void TAboutBox::ShowModal() {
  static const ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kAboutClass;
    return RegisterClassA(&wc);
  }();
  (void)atom;
  RECT r{0, 0, 202, 222};
  AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  FWnd = CreateWindowExA(kExStyle, kAboutClass, "バージョン情報", kStyle, Left, Top, r.right - r.left, r.bottom - r.top,
                         FOwnerWnd, nullptr, GetModuleHandleA(nullptr), this);
  if (!FWnd) return;
  LOGFONTA lf{};
  lf.lfHeight = -12;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpynA(lf.lfFaceName, "ＭＳ Ｐゴシック", LF_FACESIZE);
  FFont = CreateFontIndirectA(&lf);
  lf.lfHeight = -13;
  lf.lfWeight = FW_BOLD;
  FTitleFont = CreateFontIndirectA(&lf);
  HINSTANCE inst = GetModuleHandleA(nullptr);
  auto label = [&](const std::string& text, int x, int y, int w, DWORD align, HFONT font) {
    HWND h = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOTIFY | align, x, y, w, 16,
                             FWnd, nullptr, inst, nullptr);
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
  };
  HWND icon = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ICON | SS_NOTIFY, 12, 10, 32, 32, FWnd,
                              nullptr, inst, nullptr);
  HICON hIcon = LoadIconA(inst, MAKEINTRESOURCEA(1));
  if (!hIcon) hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
  // The embossed title: black bold text over a white shade.
  auto* title = new TLabel3D(this, FWnd);
  title->Name = "Label3D1";
  TFont titleFont;
  titleFont.SetName("ＭＳ Ｐゴシック");
  titleFont.SetCharset(SHIFTJIS_CHARSET);
  titleFont.SetHeight(-13);
  titleFont.SetStyle(fsBold);
  titleFont.SetColor(clBlack);
  title->SetFont(titleFont);
  title->SetBounds(54, 8, 132, 24);
  title->SetCaption("Vantrel");
  title->SetShadeColor(clWhite);
  label(Version, 56, 30, 130, SS_LEFT, FFont);
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 8, 50, 186, 2, FWnd, nullptr, inst,
                  nullptr);
  label(WinVer, 4, 56, 194, SS_CENTER, FFont);
  label(WinSer, 4, 72, 194, SS_RIGHT, FFont);
  int y = 94;
  for (const TRow& row : Rows) {
    label(row.Caption, 8, y, 86, SS_LEFT, FFont);
    label(row.Value, 96, y, 102, SS_LEFT, FFont);
    y += 15;
  }
  std::vector<HWND> disabled = DisableThreadWindows(FWnd);
  ShowWindow(FWnd, SW_SHOW);
  SetFocus(FWnd);
  FDone = false;
  MSG msg;
  while (!FDone) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    // A click on any control of the box closes it.
    if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_KEYDOWN) &&
        (msg.hwnd == FWnd || GetParent(msg.hwnd) == FWnd)) {
      FormClick();
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EnableThreadWindows(disabled);
  ShowWindow(FWnd, SW_HIDE);
  if (FOwnerWnd) SetActiveWindow(FOwnerWnd);
}

LRESULT CALLBACK TAboutBox::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* self = reinterpret_cast<TAboutBox*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
  switch (Msg) {
    case WM_NCCREATE:
      SetWindowLongPtrA(Wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams));
      break;
    case WM_COMMAND:  // clicks on the labels (SS_NOTIFY)
    case WM_LBUTTONDOWN:
    case WM_CLOSE:
      if (self) self->FormClick();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(Wnd, Msg, WParam, LParam);
}
