// The unpack extension: extracts the one selected archive next to itself.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ContextMenu.h"
#include "UnRAR.h"
#include "fDlg.h"
#include "text.h"

namespace {

const TContextMenuInfo kInfo = {
    {0x34869A81, 0x2706, 0x11D3, {0x9E, 0xE0, 0x89, 0xA6, 0xF7, 0x00, 0xB5, 0x19}},
    "Tovix Unpack",
    "解凍(&U)",
    "書庫の解凍を行います。",
    {"tovix\\shellex\\ContextMenuHandlers\\tovix_unpack"},
    {"tovix\\shellex\\ContextMenuHandlers\\tovix_unpack", "tovix\\shellex\\ContextMenuHandlers", "tovix\\shellex"},
    true};

enum TKind { kLha = 0, kArj = 1, kZip = 2, kCab = 3, kGzip = 4, kTar = 5, kRar = 6, kBga = 7, kInfoZip = 100 };

struct TRow {
  const char* Library;
  const char* Entry;
  const char* Switches;
};

const TRow kRows[] = {
    {"unlha32.dll", "Unlha", "x -c0 -a1"},
    {"unarj32j.dll", "Unarj", "x -p -hk"},
    {"unzip32.dll", "UnZip", "-u"},
    {"cab32.dll", "Cab", "-x -k -n"},
    {"tar32.dll", "Tar", "--display-dialog=0 --message-loop=0 -x"},
    {"tar32.dll", "Tar", "--display-dialog=0 --message-loop=0 -x"},
    {"unrar.dll", nullptr, nullptr},
    {"bga32.dll", "Bga", "x -n"},
};

// From the last '.' of the file name; empty when there is none.
std::string ExtensionOf(const std::string& path) {
  std::string name = arc::file_name(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string WithoutExtension(const std::string& path) {
  std::string ext = ExtensionOf(path);
  return path.substr(0, path.size() - ext.size());
}

bool SameText(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

TKind KindOf(const std::string& archive) {
  std::string e = ExtensionOf(archive);
  if (SameText(e, ".lzh")) return kLha;
  if (SameText(e, ".arj")) return kArj;
  if (SameText(e, ".zip")) return kZip;
  if (SameText(e, ".cab")) return kCab;
  if (SameText(e, ".rar")) return kRar;
  if (SameText(e, ".gza") || SameText(e, ".bza")) return kBga;
  if (SameText(e, ".gz") || SameText(e, ".bz2") || SameText(e, ".z"))
    return SameText(ExtensionOf(WithoutExtension(archive)), ".tar") ? kTar : kGzip;
  return kTar;
}

// True when a file lies anywhere below the folder (empty folders do not count).
bool HoldsFiles(const std::string& folder) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(arc::join_path(folder, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    found = !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || HoldsFiles(arc::join_path(folder, name));
  } while (!found && FindNextFileA(h, &fd));
  FindClose(h);
  return found;
}

// Removes a folder this command made and a failed run wrote no file into.
void RemoveMadeFolder(const std::string& folder) {
  std::string from = folder + '\0';
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  SHFileOperationA(&op);
}

void OpenFolder(HWND owner, const std::string& folder) {
  ShellExecuteA(owner, nullptr, folder.c_str(), nullptr, "", SW_SHOW);
}

class TUnpackMenu : public TContextMenu {
 public:
  TUnpackMenu() : TContextMenu(kInfo) {}
  std::string FFileName;

 protected:
  HRESULT TakeSelection(const std::vector<std::string>& names) override {
    if (names.size() == 1) {
      FFileName = names[0];
      return S_OK;
    }
    FFileName.clear();
    return E_FAIL;
  }
  void Command(HWND owner) override;
};

struct TLibrary {
  HMODULE Handle;
  ~TLibrary() {
    if (Handle) FreeLibrary(Handle);
  }
};

void TUnpackMenu::Command(HWND W) {
  const std::string A = FFileName;
  int kind = KindOf(A);
  const TRow& row = kRows[kind];
  TLibrary lib{LoadLibraryA(row.Library)};
  if (!lib.Handle) {
    ErrorBox(W, std::string(row.Library) + " が見つかりません。");
    return;
  }
  arcapi::FnCommand command = nullptr;
  bool bound;
  if (kind == kRar) {
    bound = InitUnRar(lib.Handle);
  } else if (kind == kZip && !GetProcAddress(lib.Handle, "UnZipGetVersion")) {
    kind = kInfoZip;
    bound = InitInfoZip(lib.Handle);
  } else {
    command = reinterpret_cast<arcapi::FnCommand>(reinterpret_cast<void*>(GetProcAddress(lib.Handle, row.Entry)));
    bound = command != nullptr;
  }
  if (!bound) {
    ErrorBox(W, std::string(row.Library) + " が異常です。");
    return;
  }

  std::string D = arc::folder_of(A);
  bool openAfterwards = false;
  if (KeyHeld(VK_SHIFT) || GetDriveTypeA(D.substr(0, 3).c_str()) != DRIVE_FIXED) {
    TSFDialog dlg;
    dlg.FTitle = "解凍先の選択";
    dlg.FFolder = D;
    if (!dlg.Execute(W)) return;
    openAfterwards = dlg.FFolder != D;
    D = dlg.FFolder;
  }

  bool madeFolder = false;
  if (kind == kGzip || KeyHeld(VK_CONTROL)) {
    D = arc::without_separator(D, true);
  } else {
    D = arc::join_path(D, WithoutExtension(arc::file_name(A)));
    madeFolder = CreateDirectoryA(D.c_str(), nullptr) != 0;
  }
  if (!IsExistingFolder(D)) {
    ErrorBox(W, "フォルダが作成できませんでした。");
    return;
  }

  bool ok, cancelled = false;
  if (kind == kRar) {
    ok = ExtractRar(W, A, D, &cancelled);
  } else if (kind == kInfoZip) {
    ok = InfoZipExtract(W, A, D);
  } else {
    // A drive root already ends in its backslash.
    std::string cmd = std::string(row.Switches) + " \"" + A + "\" \"" + arc::with_separator(D) + "\"";
    if (kind == kTar) cmd += " *.*";
    ok = command(W, cmd.c_str(), nullptr, 0) == 0;
  }
  if (!ok) {
    // What did extract stays (a refused password, one bad entry among good
    // ones); only a folder that got nothing goes again.
    if (madeFolder && !HoldsFiles(D)) RemoveMadeFolder(D);
    if (cancelled) return;  // the user's own choice, no failure
    ErrorBox(W, "書庫の解凍に失敗しました。");
    return;
  }
  if (openAfterwards) OpenFolder(W, D);
}

IUnknown* CreateUnpackMenu() { return static_cast<IContextMenu*>(new TUnpackMenu); }

const bool kRegistered = (RegisterContextMenuFactory(kInfo, CreateUnpackMenu), true);

}  // namespace
