#include "fDlg.h"

#include <shlobj.h>

#include "text.h"

int CALLBACK BrowseCallbackProc(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  auto* dlg = reinterpret_cast<TSFDialog*>(data);
  if (dlg && msg == BFFM_INITIALIZED && !dlg->FFolder.empty()) {
    const std::string s = arc::without_separator(dlg->FFolder, true);  // C:\ keeps its backslash
    SendMessageA(wnd, BFFM_SETSELECTIONA, 1, reinterpret_cast<LPARAM>(s.c_str()));
  }
  return 0;
}

bool TSFDialog::Execute(HWND owner) {
  char display[261] = {};
  BROWSEINFOA bi{};
  bi.hwndOwner = owner;
  bi.pszDisplayName = display;
  bi.lpszTitle = FTitle.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  bi.lpfn = BrowseCallbackProc;
  bi.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
  if (!pidl) return false;
  char path[261] = {};
  SHGetPathFromIDListA(pidl, path);
  FFolder = path;
  CoTaskMemFree(pidl);
  return true;
}
