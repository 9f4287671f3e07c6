// Copy progress, the uninstall record, the uninstall and the repair.
#include "inst3.h"

#include <cstring>

#include "RegKey.h"
#include "inst1.h"
#include "inst4.h"
#include "inst6.h"
#include "text.h"

TCopyDlg* CopyDlg = nullptr;

TCopyDlg::TCopyDlg(TComponent* AOwner) : TForm(AOwner, "TCopyDlg", bsToolWindow) {
  SetCaption("インストール中");
  PrepareDialog(this, 260, 72);
  Label1 = new TLabel(this, this, "ファイルをインストール中です。");
  Label1->SetBounds(12, 10, 236, 16);
  ProgressBar1 = new TProgressBar(this, this);
  ProgressBar1->SetBounds(12, 36, 236, 18);
  ProgressBar1->SetRange(0, 100);
  DoCreate();
}

namespace {

const char kRunOnceKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kPublisher[] = "halvek";
const char kUpdatePage[] = "http://www.halvek.example/tovix/";
const char* const RemoveFiles[] = {"tovix.exe", "tovix.hlp", "tovix.cnt", "tovix.gid", "tovix.dll", "tovixu.dll"};

void PutLE(unsigned char* p, unsigned long long v, int n) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

void TForm1::WriteUninstallInfo() {
  {
    TRegistry reg(HKEY_LOCAL_MACHINE);
    if (reg.OpenKey(kUninstallKey, true)) {
      try {
        std::string setup = TargetDir + "\\TovixSetup.exe";
        reg.WriteString("DisplayName", "Vantrel");
        reg.WriteString("Publisher", kPublisher);
        reg.WriteString("UninstallString", setup + " /r");
        reg.WriteString("InstallLocation", TargetDir);
        reg.WriteString("ModifyPath", setup + " /s");
        reg.WriteString("DisplayVersion", VersionText(SetupVersion));
        reg.WriteInteger("VersionMajor", SetupMajor);
        reg.WriteInteger("VersionMinor", SetupMinor);
        reg.WriteInteger("ShortCut", ShortCutFlags);
        reg.WriteString("URLUpdateInfo", kUpdatePage);
      } catch (const ERegistryException&) {
        // No right to write the machine's keys: the install still stands.
      }
    }
  }
  TRegistry reg(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKeyReadOnly(kArpCacheKey)) return;
  reg.CloseKey();
  if (!reg.OpenKey(std::string(kArpCacheKey) + "\\Halvek_Tovix", true)) return;
  unsigned char rec[552] = {};
  PutLE(rec + 0, 552, 4);
  PutLE(rec + 4, 1, 4);
  PutLE(rec + 8, static_cast<DWORD>(ClusterSize * PackageClusters), 8);
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft{};
  SystemTimeToFileTime(&st, &ft);
  PutLE(rec + 16, ft.dwLowDateTime, 4);
  PutLE(rec + 20, ft.dwHighDateTime, 4);
  PutLE(rec + 24, 0xFFFFFFFFu, 4);
  std::string exe = TargetDir + "\\tovix.exe";
  wchar_t wide[257] = {};
  int n = MultiByteToWideChar(CP_ACP, 0, exe.c_str(), static_cast<int>(exe.size()), wide, 256);
  for (int i = 0; i < n; ++i) PutLE(rec + 28 + 2 * i, static_cast<unsigned short>(wide[i]), 2);
  try {
    reg.WriteInteger("Changed", 0);
    reg.WriteBinaryData("SlowInfoCache", rec, sizeof rec);
  } catch (const ERegistryException&) {
  }
}

void TForm1::RemoveAssociations() {
  if (ShellExFlags & 1) RegisterShellExtension("tovix.dll", false);
  if (ShellExFlags & 2) RegisterShellExtension("tovixu.dll", false);
  if (ShellFlags == 0) return;
  TRegistry reg(HKEY_CLASSES_ROOT);
  for (const TExtGroup& g : ExtGroups)
    if (ShellFlags & g.bit)
      for (const char* e : g.restore)
        if (e) RestoreAssociation(reg, e);
  reg.DeleteKey("\\tovix");
  TRegistry ev(HKEY_CURRENT_USER);
  ev.DeleteKey("\\AppEvents\\Schemes\\Apps\\Tovix");
  ev.DeleteKey("\\AppEvents\\EventLabels\\TX_ArcUnPack");
  ev.DeleteKey("\\AppEvents\\EventLabels\\TX_ArcPack");
}

void TForm1::Uninstall() {
  if (InstalledDir.empty()) {
    ErrorMsg("インストールされていません。");
    return;
  }
  if (ConfirmMsg("アンインストールを実行してもよろしいですか？", MB_OKCANCEL) != IDOK) return;
  RemoveAssociations();
  // What is in use (a library held by the shell) goes at the next start,
  // with the running setup program, and then the folder.
  std::string later = " TovixSetup.exe";
  for (const char* f : RemoveFiles) {
    const std::string path = arc::join_path(InstalledDir, f);
    if (!DeleteFileA(path.c_str()) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
      later += std::string(" ") + f;
  }
  {
    TRegistry user(HKEY_CURRENT_USER);
    user.DeleteKey(SettingsKeyName());  // no key open: from the root
    TRegistry machine(HKEY_LOCAL_MACHINE);
    machine.DeleteKey(kUninstallKey);
    machine.DeleteKey(std::string(kArpCacheKey) + "\\Halvek_Tovix");
  }
  for (int bit : {1, 2, 4, 8})
    if (ShortCutFlags & bit) DeleteShortcut("Tovix", ShortcutFolder(bit));
  TRegistry reg(HKEY_LOCAL_MACHINE);
  if (reg.OpenKey(kRunOnceKey, true)) {
    try {
      reg.WriteString("Halvek_Tovix", "Lateclear -n \"" + InstalledDir + "\"" + later);
    } catch (const ERegistryException&) {
    }
  }
  InfoMsg("アンインストールが終了しました。\r\n次回起動時に完全削除されます。");
}
