// The shortcut dialog and the shortcut files.
#include "inst4.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "RegKey.h"
#include "inst1.h"
#include "inst6.h"
#include "text.h"

TScutDlg* ScutDlg = nullptr;

const int SpecialFolders[2][3] = {
    {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_DESKTOPDIRECTORY},
    {CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP, CSIDL_COMMON_DESKTOPDIRECTORY},
};

int ShortcutFolder(int bit) {
  switch (bit) {
    case 1:
      return SpecialFolders[UseCommonFolders][0];
    case 2:
      return SpecialFolders[UseCommonFolders][1];
    case 4:
      return SpecialFolders[UseCommonFolders][2];
    default:
      return kSendToFolder;
  }
}

namespace {

// The file-system folder of a shell folder identifier, or empty.
std::string FolderOf(int C) {
  std::string out;
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), C, &pidl)) || !pidl) return out;
  IShellFolder* desktop = nullptr;
  if (SUCCEEDED(SHGetDesktopFolder(&desktop)) && desktop) {
    STRRET sr{};
    if (SUCCEEDED(desktop->GetDisplayNameOf(pidl, SHGDN_FORPARSING, &sr))) {
      if (sr.uType == STRRET_WSTR && sr.pOleStr) {
        char buf[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, sr.pOleStr, -1, buf, sizeof buf - 1, nullptr, nullptr);
        out = buf;
        CoTaskMemFree(sr.pOleStr);
      } else if (sr.uType == STRRET_CSTR) {
        out.assign(sr.cStr, strnlen(sr.cStr, MAX_PATH));
      }
    }
    desktop->Release();
  }
  CoTaskMemFree(pidl);
  return out;
}

}  // namespace

void CreateShortcut(const std::string& F, const std::string& X, const std::string& L, int C) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))) ||
      !link)
    return;
  link->SetWorkingDirectory(F.c_str());
  link->SetPath(arc::join_path(F, X).c_str());
  link->SetDescription(L.c_str());
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file) {
    std::string folder = FolderOf(C);
    // No folder: no file (not one in the current drive's root).
    if (!folder.empty()) {
      std::string path = arc::join_path(folder, L + ".lnk");
      wchar_t wide[MAX_PATH + 1] = {};
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
      file->Save(wide, TRUE);
    }
    file->Release();
  }
  link->Release();
}

void DeleteShortcut(const std::string& L, int C) {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), C, &pidl)) || !pidl) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(pidl, path)) DeleteFileA(arc::join_path(path, L + ".lnk").c_str());
  CoTaskMemFree(pidl);
}

TScutDlg::TScutDlg(TComponent* AOwner) : TForm(AOwner, "TScutDlg", bsDialog) {
  SetCaption("ショートカット設定");
  PrepareDialog(this, 240, 100);
  SendBox = new TCheckBox(this, this, "スタートメニューに作成する。");
  SendBox->SetBounds(16, 12, 210, 20);
  DeskBox = new TCheckBox(this, this, "デスクトップに作成する。");
  DeskBox->SetBounds(16, 36, 210, 20);
  Button1 = new TButton(this, this, "次へ", mrOk);
  Button1->SetBounds(150, 66, 75, 25);
  Button1->SetDefault(true);
  ActiveControl = SendBox;
  DoCreate();
}

int TScutDlg::Execute() {
  return ShowModal();
}

void TForm1::SetupShortcuts() {
  if (InstalledVersion < 204) {
    if (InstalledVersion > 0) {
      if (ShortCutFlags & 1) DeleteShortcut("Tovix", ShortcutFolder(1));
      if (ShortCutFlags & 4) DeleteShortcut("Tovix", ShortcutFolder(4));
    }
    ScutDlg->Execute();
    if (ScutDlg->SendBox->Checked()) ShortCutFlags |= 1;
    if (ScutDlg->DeskBox->Checked()) ShortCutFlags |= 4;
    ShortcutsAsked = true;
    RegisterSoundEvents();
    TRegistry reg(HKEY_CURRENT_USER);
    reg.DeleteKey(SettingsKeyName() + "\\Install");
  }
  SetupAssociations();
}
