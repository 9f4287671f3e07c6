#include "SBDlg.h"

#include <shlobj.h>

#include "text.h"

UINT SBDlgFlags(TSBDlgOptions o) {
  static const UINT kFlags[] = {0x1000, 0x2000, 0x2, 0x8, 0x1, 0x4, 0x40, 0x10};
  UINT f = 0;
  for (int i = 0; i < 8; ++i)
    if (o & (1u << i)) f |= kFlags[i];
  return f;
}

std::string SBDlgPreselect(const std::string& dir) { return arc::without_separator(dir, true); }

TSBDialog::TSBDialog(TComponent* AOwner) : TComponent(AOwner), Options(SBOpt(biReturnOnlyFSDirs)) {}

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM param, LPARAM data) {
  auto* dlg = reinterpret_cast<TSBDialog*>(data);
  if (dlg && msg == BFFM_INITIALIZED && !dlg->Directory.empty()) {
    std::string d = SBDlgPreselect(dlg->Directory);
    SendMessageA(wnd, BFFM_SETSELECTIONA, 1, reinterpret_cast<LPARAM>(d.c_str()));
  }
  return 0;
}

bool TSBDialog::Execute() {
  char display[261] = {};
  BROWSEINFOA bi{};
  bi.hwndOwner = Owner() ? Owner()->GetHandle() : nullptr;
  bi.pidlRoot = nullptr;
  bi.pszDisplayName = display;
  bi.lpszTitle = Caption.c_str();
  bi.ulFlags = SBDlgFlags(Options);
  bi.lpfn = BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST list = SHBrowseForFolderA(&bi);
  if (!list) return false;
  char path[261] = {};
  SHGetPathFromIDListA(list, path);
  Directory = path;
  CoTaskMemFree(list);
  return true;
}
