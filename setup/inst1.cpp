#include "inst1.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "RegKey.h"
#include "Registry.h"
#include "inst2.h"
#include "inst3.h"
#include "inst4.h"
#include "inst6.h"
#include "text.h"
#include "view.h"

std::string InstalledDir;
std::string TargetDir;
int SetupVersion = 0, SetupMajor = 0, SetupMinor = 0;
int InstalledVersion = 0;
int BuildYear = 2001;
int ShortCutFlags = 0;
int ShellFlags = 0;
int ShellExFlags = 0;
bool ExistingInstall = false;
bool ShortcutsAsked = false;
int UseCommonFolders = 0;
std::string WindowsDir;
char WindowsDrive = 'C';
char TargetDrive = 0;
DWORD ClusterSize = 0, FreeClusters = 0, NeededClusters = 0, PackageClusters = 0;

const char* const SetupFiles[kSetupFileCount] = {"TovixSetup.exe", "tovix.exe",  "tovix.hlp",
                                                 "tovix.cnt",      "tovix.dll",  "tovixu.dll"};
DWORD SetupFileSizes[kSetupFileCount] = {};
bool SetupFileFound[kSetupFileCount] = {};

const char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvek_Tovix";
const char kArpCacheKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";

TForm1* Form1 = nullptr;

namespace {

// Posted on the first activation: the flow runs outside WM_ACTIVATE.
constexpr UINT kRunFlowMessage = WM_APP + 1;

HWND MessageOwner() {
  if (Application && Application->MainForm && IsWindowVisible(Application->MainForm->Handle()))
    return Application->MainForm->Handle();
  return nullptr;
}

bool FileExists(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsProgramFile(const std::string& p) { return FileExists(p) || FileExists(p + ".exe"); }

// Where the program name ends in the command line. The uninstall list
// starts us with the unquoted path it was given, which may hold blanks:
// the name ends at the first blank where a program file ends, as Windows
// found it.
size_t ProgramNameEnd(const std::string& cl) {
  if (!cl.empty() && cl[0] == '"') {
    size_t q = cl.find('"', 1);
    return q == std::string::npos ? cl.size() : q + 1;
  }
  size_t first = cl.find(' ');
  for (size_t b = first; b != std::string::npos; b = cl.find(' ', b + 1))
    if (IsProgramFile(cl.substr(0, b))) return b;
  if (first == std::string::npos || IsProgramFile(cl)) return cl.size();
  return first;
}

// The arguments after the program name.
std::vector<std::string> Arguments() {
  std::string cl = GetCommandLineA();
  std::vector<std::string> out;
  for (auto& t : arc::tokenize(cl.substr(ProgramNameEnd(cl)))) out.push_back(t.text);
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "X:\..." (or "X:"): the only form an install folder may take.
bool IsDrivePath(const std::string& p) {
  return p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
         (p.size() == 2 || p[2] == '\\');
}

bool IsFolder(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates p with every missing parent folder.
bool ForceDirectories(const std::string& p) {
  if (!IsDrivePath(p)) return false;
  for (size_t i = 3; i <= p.size(); ++i) {
    if (i < p.size() && arc::is_lead(static_cast<unsigned char>(p[i]))) {
      ++i;
      continue;
    }
    if (i == p.size() || p[i] == '\\') {
      std::string part = p.substr(0, i);
      if (!IsFolder(part)) CreateDirectoryA(part.c_str(), nullptr);
    }
  }
  return IsFolder(p.size() == 2 ? p + "\\" : p);
}

// Library files and the help file may be absent from a package; the
// program and the setup itself may not.
bool OptionalPackageFile(int i) { return i >= 2; }

bool DriveIsFixed(char d) {
  if (!d) return false;
  char root[4] = {d, ':', '\\', 0};
  return GetDriveTypeA(root) == DRIVE_FIXED;
}

}  // namespace

std::string SettingsKeyName() { return "software\\halvek\\Tovix"; }

void ErrorMsg(const std::string& text) { MessageBoxA(MessageOwner(), text.c_str(), "エラー", MB_OK | MB_ICONSTOP); }

void InfoMsg(const std::string& text) { MessageBoxA(MessageOwner(), text.c_str(), "情報", MB_OK | MB_ICONINFORMATION); }

int ConfirmMsg(const std::string& text, UINT buttons) {
  return MessageBoxA(MessageOwner(), text.c_str(), "確認", buttons | MB_ICONQUESTION);
}

void PrepareDialog(TForm* f, int clientWidth, int clientHeight) {
  f->SetClientSize(clientWidth, clientHeight);
  f->Position = poScreenCenter;
  SetWindowPos(f->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string SetupFolder() {
  char buf[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return arc::dir_part(buf);
}

std::string VersionText(int version) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", version / 100.0);
  return buf;
}

// ---- Versions

bool ProductVersionOf(const std::string& path, std::string& out) {
  DWORD handle = 0;
  DWORD n = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (n == 0) return false;
  std::vector<char> block(n);
  if (!GetFileVersionInfoA(path.c_str(), 0, n, block.data())) return false;
  void* p = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &p, &len) || !p || len < 4) return false;
  const WORD* t = static_cast<const WORD*>(p);
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04X%04X\\ProductVersion", t[0], t[1]);
  if (!VerQueryValueA(block.data(), key, &p, &len) || !p || len == 0) return false;
  std::string v(static_cast<const char*>(p), strnlen(static_cast<const char*>(p), len));
  out = v.substr(0, 32);
  return true;
}

bool ParseSetupVersion(const std::string& v, int& major, int& minor) {
  size_t i = 0;
  while (i < v.size() && IsDigit(v[i])) ++i;
  if (i == 0 || i > 6 || i >= v.size() || v[i] != '.') return false;
  size_t j = i + 1;
  while (j < v.size() && IsDigit(v[j])) ++j;
  if (j == i + 1 || j - i - 1 > 6 || j != v.size()) return false;
  major = std::atoi(v.substr(0, i).c_str());
  minor = std::atoi(v.substr(i + 1).c_str());
  return true;
}

int ParseInstalledVersion(const std::string& v) {
  std::string digits;
  size_t i = 0;
  while (i < v.size() && IsDigit(v[i])) digits += v[i++];
  if (i < v.size() && v[i] == '.' && !digits.empty()) {
    ++i;
    while (i < v.size() && IsDigit(v[i])) digits += v[i++];
  }
  if (digits.empty()) return 0;
  if (digits.size() > 9) digits.resize(9);
  return std::atoi(digits.c_str());
}

bool ReadSetupVersion() {
  std::string P = SetupFolder() + "tovix.exe";
  WIN32_FILE_ATTRIBUTE_DATA fad{};
  if (!GetFileAttributesExA(P.c_str(), GetFileExInfoStandard, &fad) || (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  FILETIME local;
  SYSTEMTIME st{};
  FileTimeToLocalFileTime(&fad.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &st);
  BuildYear = st.wYear < 2001 ? 2001 : st.wYear;
  std::string V;
  if (!ProductVersionOf(P, V)) V = P;
  int major = 0, minor = 0;
  if (!ParseSetupVersion(V, major, minor)) return false;
  SetupMajor = major;
  SetupMinor = minor;
  SetupVersion = major * 100 + minor;
  return true;
}

void ReadInstalledVersion() {
  const std::string P = arc::join_path(InstalledDir, "tovix.exe");
  InstalledVersion = 0;
  if (!FileExists(P)) return;
  std::string V;
  if (!ProductVersionOf(P, V)) V = P;
  InstalledVersion = ParseInstalledVersion(V);
}

bool CheckWindowsDriveSpace() {
  MeasureDrive(WindowsDrive);
  return FreeClusters < NeededClusters;
}

static bool DosStamp(const FILETIME& ft, uint32_t& out) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return false;
  out = (static_cast<uint32_t>(date) << 16) | time;
  return true;
}

bool CopyIfNewer(const std::string& S, const std::string& T) {
  WIN32_FILE_ATTRIBUTE_DATA s{}, t{};
  if (!GetFileAttributesExA(S.c_str(), GetFileExInfoStandard, &s) || (s.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (GetFileAttributesExA(T.c_str(), GetFileExInfoStandard, &t) && !(t.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    uint32_t ds = 0, dt = 0;
    if (DosStamp(s.ftLastWriteTime, ds) && DosStamp(t.ftLastWriteTime, dt) && dt >= ds) return true;
  }
  return CopyFileA(S.c_str(), T.c_str(), FALSE) != 0;
}

// ---- Main window

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner, "TForm1", bsSingle) {
  const TColor teal = 0x808000;
  SetColor(teal);
  FIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  Image1 = new TImage(this, this);
  Image1->Name = "Image1";
  Image1->SetBounds(20, 16, 32, 32);
  Image1->OnPaint = [this](HDC dc, const RECT& rc) {
    FillRect(dc, &rc, ColorBrush());
    if (FIcon) DrawIcon(dc, 0, 0, FIcon);
  };
  ProgName = new TLabel(this, this);
  ProgName->Name = "ProgName";
  ProgName->SetColor(teal);
  TFont big = ProgName->Font();
  big.SetHeight(-32);
  big.SetStyle(fsBold | fsItalic);
  big.SetColor(clWhite);
  ProgName->SetFont(big);
  ProgName->SetBounds(64, 16, 640, 44);
  Notice = new TLabel(this, this, "Copyright (C) halvek 2001-");
  Notice->Name = "Notice";
  Notice->SetColor(teal);
  TFont small = Notice->Font();
  small.SetColor(clWhite);
  Notice->SetFont(small);
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  AddMessageHandler(kRunFlowMessage, [this](TMessage& m) {
    RunFlow();
    m.Result = 0;
    return true;
  });
  DoCreate();
}

TForm1::~TForm1() { DoDestroy(); }

void TForm1::FormCreate(TObject*) {
  RECT wa{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0)) wa = RECT{0, 0, ScreenWidth(), ScreenHeight()};
  SetBounds(wa.left, wa.top, wa.right - wa.left, wa.bottom - wa.top);
  // The application keeps the title "Tovix Setup": a second setup finds
  // the running one by it.
  std::string prog = "Vantrel  Ver " + VersionText(SetupVersion);
  ProgName->SetCaption(prog);

  Notice->SetCaption(Notice->Caption() + std::to_string(BuildYear));
  SIZE sz{};
  if (HDC dc = GetDC(Notice->Handle())) {
    HGDIOBJ old = SelectObject(dc, Notice->Font().Handle());
    std::string t = Notice->Caption();
    GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &sz);
    SelectObject(dc, old);
    ReleaseDC(Notice->Handle(), dc);
  }
  int w = sz.cx + 4, h = sz.cy + 2;
  Notice->SetBounds(wa.right - wa.left - w - 20, wa.bottom - wa.top - h - GetSystemMetrics(SM_CYCAPTION) - 20, w, h);

  UINT n = GetWindowsDirectoryA(nullptr, 0);
  FWindowsDirBuf = new char[n + 1]();
  GetWindowsDirectoryA(FWindowsDirBuf, n + 1);
  WindowsDir = FWindowsDirBuf;
  WindowsDrive = WindowsDir.empty() ? 'C' : WindowsDir[0];
  if (WindowsDrive >= 'a' && WindowsDrive <= 'z') WindowsDrive = static_cast<char>(WindowsDrive - 32);

  SetCaption(prog + (Arguments().empty() ? " のインストール" : " のアンインストール"));
  ShortcutsAsked = false;

  std::string folder = SetupFolder();
  for (int i = 0; i < kSetupFileCount; ++i) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + SetupFiles[i]).c_str(), &fd);
    SetupFileSizes[i] = 0;
    SetupFileFound[i] = h != INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE) {
      SetupFileSizes[i] = fd.nFileSizeLow;
      FindClose(h);
    }
  }

  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  GetVersionExA(&vi);
  UseCommonFolders = vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion > 4 ? 1 : 0;
}

void TForm1::FormDestroy(TObject*) {
  delete[] FWindowsDirBuf;
  FWindowsDirBuf = nullptr;
}

void TForm1::FormActivate(TObject*) {
  if (FActivated) return;
  FActivated = true;
  PostMessageA(Handle(), kRunFlowMessage, 0, 0);
}

void TForm1::RunFlow() {
  try {
    auto args = Arguments();
    if (!args.empty()) {
      if (args[0] == "/s") {
        // Repairing nothing would tie the extensions to a program that
        // is not there.
        if (InstalledDir.empty()) {
          ErrorMsg("インストールされていません。");
        } else {
          TargetDir = InstalledDir;
          SetupAssociations();
          InfoMsg("シェル/関連付けの修復が終了しました。");
        }
      } else if (args[0] == "/r") {
        TargetDir = InstalledDir;
        Uninstall();
      }
    } else if (InstalledVersion >= SetupVersion) {
      if (ConfirmMsg("最新バージョンがインストールされています。\r\n\r\nシェル/関連付けの設定を行いますか？", MB_YESNO) ==
          IDYES) {
        TargetDir = InstalledDir;
        RegisterSoundEvents();
        SetupAssociations();
        InfoMsg("シェル/関連付けの修復が終了しました。");
      }
    } else {
      InstallFlow();
    }
  } catch (...) {
    if (CopyDlg) CopyDlg->Hide();
    Application->HandleException(this);
  }
  Application->Terminate();
}

void TForm1::InstallFlow() {
  // Libraries of an older installation that Explorer still holds. Only an
  // installation that is really there can hold them.
  if (InstalledVersion > 0 &&
      ((ShellExFlags > 1 && InstalledVersion < 201) || (ShellExFlags > 0 && InstalledVersion < 140) ||
       ((ShellExFlags & 1) && InstalledVersion < 204))) {
    ErrorMsg("シェルエクステンションを使用中です。\r\n1度ログオフしてからインストールしなおしてください。");
    TargetDir = InstalledDir;
    RegisterShellExtension("tovix.dll", false);
    RegisterShellExtension("tovixu.dll", false);
    if (InstalledVersion >= 204) {
      TRegistry reg(HKEY_LOCAL_MACHINE);
      if (reg.OpenKey(kUninstallKey, true)) {
        try {
          reg.WriteInteger("ShellEx", 0);
        } catch (const ERegistryException&) {
        }
      }
    } else {
      TRegIniFile ini(SettingsKeyName());
      ini.WriteInteger("Install", "ShellEx", 0);
    }
    return;
  }

  if (ViewDlg->Execute() != mrOk) return;
  if (!ExistingInstall && SetDirDlg->Execute() != mrOk) return;

  if (FreeClusters < NeededClusters || !DriveIsFixed(TargetDrive)) {
    ErrorMsg("ディスクの空き領域が足りません");
    return;
  }
  if (TargetDrive != WindowsDrive && CheckWindowsDriveSpace()) {
    ErrorMsg("ディスクの空き領域が足りません");
    return;
  }

  TargetDir = SetDirDlg->InstDir->Text();
  while (TargetDir.size() > 2 && arc::ends_with_separator(TargetDir)) TargetDir = arc::without_separator(TargetDir);
  if (!ForceDirectories(TargetDir)) {
    ErrorMsg("フォルダが作成できませんでした。");
    return;
  }

  CopyDlg->Show();
  Application->ProcessMessages();

  std::string from = SetupFolder();
  if (!CopyIfNewer(from + "Lateclear.exe", arc::join_path(WindowsDir, "Lateclear.exe"))) {
    CopyDlg->Hide();
    ErrorMsg("ファイルがコピーできません。");
    return;
  }
  std::string stray = arc::join_path(TargetDir, "Lateclear.exe");
  if (FileExists(stray)) DeleteFileA(stray.c_str());

  uint64_t total = 0, done = 0;
  for (DWORD s : SetupFileSizes) total += s;
  for (int i = 0; i < kSetupFileCount; ++i) {
    CopyDlg->ProgressBar1->SetPosition(total ? static_cast<int>(done * 100 / total) : 0);
    std::string name = SetupFiles[i];
    if (!SetupFileFound[i] && OptionalPackageFile(i)) continue;
    if (!CopyIfNewer(from + name, arc::join_path(TargetDir, name))) {
      CopyDlg->Hide();
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) {
        ErrorMsg("dll 使用中です。\r\n再起動後にインストールしなおしてください。");
        RegisterShellExtension("tovix.dll", false);
        RegisterShellExtension("tovixu.dll", false);
      } else {
        ErrorMsg("ファイルがコピーできません。");
      }
      return;
    }
    done += SetupFileSizes[i];
  }
  CopyDlg->ProgressBar1->SetPosition(100);
  CopyDlg->Hide();

  SetupShortcuts();
  if (ShortcutsAsked)
    for (int bit : {1, 2, 4, 8})
      if (ShortCutFlags & bit) CreateShortcut(TargetDir, "tovix.exe", "Tovix", ShortcutFolder(bit));
  WriteUninstallInfo();
  InfoMsg("インストールが終了しました。");
}

int RunSetup() {
  if (HWND other = FindWindowA("TApplication", "Tovix Setup")) {
    ShowWindow(other, SW_RESTORE);
    return 0;
  }
  if (FindWindowA("TVantrelbyHalvek", nullptr)) {
    MessageBoxA(nullptr, "Tovixが実行中です。終了してからセットアッププログラムを再実行してください。", "エラー",
                MB_OK | MB_ICONSTOP);
    return 0;
  }
  if (!ReadSetupVersion()) return 0;
  auto* app = new TApplication;
  app->Initialize();
  app->SetTitle("Tovix Setup");
  Form1 = new TForm1(app);
  SetDirDlg = new TSetDirDlg(app);
  CopyDlg = new TCopyDlg(app);
  ScutDlg = new TScutDlg(app);
  ExeDlg = new TExeDlg(app);
  ViewDlg = new TViewDlg(app);
  app->Run();
  delete app;
  Form1 = nullptr;
  SetDirDlg = nullptr;
  CopyDlg = nullptr;
  ScutDlg = nullptr;
  ExeDlg = nullptr;
  ViewDlg = nullptr;
  return 0;
}
