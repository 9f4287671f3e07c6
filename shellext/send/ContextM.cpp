// The send extension: hands the selection to Tovix through the clipboard.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "Classes.h"
#include "ContextMenu.h"
#include "text.h"

namespace {

const TContextMenuInfo kInfo = {
    {0x34869A80, 0x2706, 0x11D3, {0x9E, 0xE0, 0x89, 0xA6, 0xF7, 0x00, 0xB5, 0x19}},
    "Tovix Shell",
    "&Tovix",
    "Tovixで圧縮/解凍を行います。",
    {"*\\shellex\\ContextMenuHandlers\\tovix_shell", "folder\\shellex\\ContextMenuHandlers\\tovix_shell"},
    {"*\\shellex\\ContextMenuHandlers\\tovix_shell", "folder\\shellex\\ContextMenuHandlers\\tovix_shell"},
    false};

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvek_Tovix";

// Read only: asking for the program must not leave an empty record behind.
std::string InstallLocation() {
  std::string folder;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return folder;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, "InstallLocation", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
    std::string buf(size, '\0');
    if (RegQueryValueExA(key, "InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) ==
        ERROR_SUCCESS)
      folder.assign(buf.c_str());
  }
  RegCloseKey(key);
  return folder;
}

class TSendMenu : public TContextMenu {
 public:
  TSendMenu() : TContextMenu(kInfo) {}
  ~TSendMenu() override { delete FFileList; }
  TStringList* FFileList = nullptr;

 protected:
  HRESULT TakeSelection(const std::vector<std::string>& names) override {
    if (names.empty()) return E_FAIL;
    if (FFileList)
      FFileList->Clear();
    else
      FFileList = new TStringList;
    for (const std::string& n : names) FFileList->Add(n);
    return FFileList->Count() > 0 ? S_OK : E_FAIL;
  }
  void Command(HWND owner) override;
};

}  // namespace

void SetFileListToClipboard(HWND owner, const TStrings& list) {
  static const UINT format = RegisterClipboardFormatA("Tovix FileList");
  if (!OpenClipboard(owner)) return;
  std::string text;
  for (const std::string& s : list.Items()) text += s + "\r\n";
  // Added beside what the clipboard holds: nothing is emptied.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
  bool handed = false;
  if (block) {
    if (void* p = GlobalLock(block)) {
      std::memcpy(p, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      handed = SetClipboardData(format, block) != nullptr;
    }
    if (!handed) GlobalFree(block);
  }
  CloseClipboard();
}

namespace {

void TSendMenu::Command(HWND W) {
  if (!FFileList) return;
  SetFileListToClipboard(W, *FFileList);
  std::string folder = InstallLocation();
  // Without an installation there is no program to start; "\tovix.exe" on
  // whatever drive is current could be anyone's.
  if (folder.empty()) return;
  std::string program = folder + "\\tovix.exe";
  std::string workDir = arc::folder_of(FFileList->Strings(0));
  ShellExecuteA(W, nullptr, program.c_str(), "/C", workDir.c_str(), SW_SHOW);
}

IUnknown* CreateSendMenu() { return static_cast<IContextMenu*>(new TSendMenu); }

const bool kRegistered = (RegisterContextMenuFactory(kInfo, CreateSendMenu), true);

}  // namespace
