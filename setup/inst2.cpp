#include "inst2.h"

#include <cstdio>

#include "RegKey.h"
#include "Registry.h"
#include "inst1.h"

TSetDirDlg* SetDirDlg = nullptr;

// Drive letters are kept upper case so that they compare with WindowsDrive.
static char DriveOf(const std::string& path) {
  char c = path.empty() ? 0 : path[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string MegabyteText(DWORD clusters, DWORD clusterSize) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%8.2f Mバイト", clusters / 1024.0 / 1024.0 * clusterSize);
  return buf;
}

void MeasureDrive(char drive) {
  DWORD spc = 0, bps = 0, freeC = 0, total = 0;
  char root[4] = {drive, ':', '\\', 0};
  bool fixed = false;
  if (drive) {
    fixed = GetDriveTypeA(root) == DRIVE_FIXED;
    if (fixed && !GetDiskFreeSpaceA(root, &spc, &bps, &freeC, &total)) freeC = 0;
  } else if (!GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeC, &total)) {
    freeC = 0;
  }
  FreeClusters = freeC;
  if (FreeClusters != 0 && spc * bps != 0) {
    ClusterSize = spc * bps;
    DWORD sum = 0;
    for (DWORD size : SetupFileSizes) sum += size / ClusterSize + 1;
    PackageClusters = sum;
    NeededClusters = sum;
    if (drive == WindowsDrive) NeededClusters += kLateclearRoom / ClusterSize + 1;
  }
  if (drive) {
    ULARGE_INTEGER avail{}, totalBytes{}, freeBytes{};
    if (fixed && ClusterSize && GetDiskFreeSpaceExA(root, &avail, &totalBytes, &freeBytes)) {
      // A count past 32 bits would wrap to a small number on a big disk.
      unsigned long long c = freeBytes.QuadPart / ClusterSize;
      FreeClusters = c > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(c);
    } else {
      FreeClusters = 0;
    }
  }
}

TSetDirDlg::TSetDirDlg(TComponent* AOwner) : TForm(AOwner, "TSetDirDlg", bsToolWindow) {
  SetCaption("インストール準備");
  PrepareDialog(this, 299, 136);
  Label1 = new TLabel(this, this, "インストールするフォルダを指定して下さい。");
  Label1->SetBounds(11, 8, 277, 16);
  InstDir = new TEdit(this, this);
  InstDir->Name = "InstDir";
  InstDir->SetBounds(11, 27, 277, 21);
  Button1 = new TButton(this, this, "検索...");
  Button1->SetBounds(213, 53, 75, 23);
  Label2 = new TLabel(this, this, "必要ﾃﾞｨｽｸ容量");
  Label2->SetBounds(11, 58, 90, 16);
  IDS = new TLabel(this, this);
  IDS->SetBounds(100, 58, 100, 16);
  Label3 = new TLabel(this, this, "空きﾃﾞｨｽｸ容量");
  Label3->SetBounds(11, 78, 90, 16);
  FDS = new TLabel(this, this);
  FDS->SetBounds(100, 78, 100, 16);
  OKBtn = new TButton(this, this, "次へ", mrOk);
  OKBtn->SetBounds(130, 104, 75, 25);
  OKBtn->SetDefault(true);
  CancelBtn = new TButton(this, this, "中止", mrCancel);
  CancelBtn->SetBounds(213, 104, 75, 25);
  CancelBtn->SetCancel(true);
  FolderDialog1 = new TSBDialog(this);
  FolderDialog1->Name = "FolderDialog1";
  FolderDialog1->Caption = "インストール先の選択";
  FolderDialog1->Options = SBOpt(biReturnOnlyFSDirs) | SBOpt(biNewStyle);
  ActiveControl = InstDir;
  InstDir->OnChange = [this](TObject* s) { InstDirChange(s); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  DoCreate();
}

void TSetDirDlg::FormCreate(TObject*) {
  std::string L;
  int V = 0;
  {
    // Only read here: a setup that is cancelled leaves no empty record.
    TRegistry reg(HKEY_LOCAL_MACHINE);
    if (reg.OpenKeyReadOnly(kUninstallKey)) {
      L = reg.ReadString("InstallLocation");
      try {
        V = reg.ReadInteger("VersionMajor");
        if (V > 0) {
          ShortCutFlags = reg.ReadInteger("ShortCut");
          ShellFlags = reg.ReadInteger("Shell");
          ShellExFlags = reg.ReadInteger("ShellEx");
        }
      } catch (const ERegistryException&) {
      }
    }
  }
  if (L.empty() && V > 0) {
    TRegIniFile ini(SettingsKeyName());
    L = ini.ReadString("Install", "Dir", "");
    ShortCutFlags = ini.ReadInteger("Install", "ShortCut", 0);
    ShellFlags = ini.ReadInteger("Install", "Shell", 0);
    ShellExFlags = ini.ReadInteger("Install", "ShellEx", 0);
  }
  InstalledDir = L;
  if (!L.empty()) {
    ReadInstalledVersion();
    if (InstalledVersion <= 0) {
      InstalledDir.clear();
    } else {
      ExistingInstall = true;
      InstDir->SetText(L);
      TargetDrive = DriveOf(L);
    }
  }
  if (InstalledDir.empty()) {
    InstDir->SetText(std::string(1, WindowsDrive) + ":\\Program Files\\" + "Tovix");
    TargetDrive = WindowsDrive;
  }
  UpdateDiskSpace();
}

void TSetDirDlg::InstDirChange(TObject*) {
  char c = DriveOf(InstDir->Text());
  if (c != TargetDrive) {
    TargetDrive = c;
    UpdateDiskSpace();
  }
}

void TSetDirDlg::Button1Click(TObject*) {
  FolderDialog1->Directory = InstDir->Text();
  if (FolderDialog1->Execute()) {
    InstDir->SetText(FolderDialog1->Directory);
    TargetDrive = DriveOf(FolderDialog1->Directory);
  }
}

void TSetDirDlg::UpdateDiskSpace() {
  MeasureDrive(TargetDrive);
  IDS->SetCaption(MegabyteText(NeededClusters, ClusterSize));
  FDS->SetCaption(MegabyteText(FreeClusters, ClusterSize));
}

int TSetDirDlg::Execute() {
  return ShowModal();
}
