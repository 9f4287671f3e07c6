#include "UnRAR.h"

#include "ContextMenu.h"
#include "InputQuery.h"

using namespace arcapi;

namespace {

using FnOpen = HANDLE(WINAPI*)(RAROpenArchiveData*);
using FnClose = int(WINAPI*)(HANDLE);
using FnReadHeader = int(WINAPI*)(HANDLE, RARHeaderData*);
using FnProcessFile = int(WINAPI*)(HANDLE, int, char*, char*);
using FnSetChangeVolProc = void(WINAPI*)(HANDLE, RARChangeVolProc);
using FnSetPassword = void(WINAPI*)(HANDLE, char*);
using FnSingleEntryUnzip = int(WINAPI*)(int, char**, int, char**, DCL*, USERFUNCTIONS*);

struct TRarEntries {
  FnOpen Open = nullptr;
  FnClose Close = nullptr;
  FnReadHeader ReadHeader = nullptr;
  FnProcessFile ProcessFile = nullptr;
  FnSetChangeVolProc SetChangeVolProc = nullptr;
  FnSetPassword SetPassword = nullptr;
};

thread_local TRarEntries Rar;
thread_local HWND VolumeOwner = nullptr;
thread_local bool VolumeCancelled = false;  // the user cancelled the volume prompt
thread_local FnSingleEntryUnzip SingleEntryUnzip = nullptr;
thread_local char UnzipDir[264];

template <class F>
void Bind(HMODULE lib, const char* name, F& fn) {
  fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

}  // namespace

bool InitUnRar(HMODULE lib) {
  Bind(lib, "RAROpenArchive", Rar.Open);
  Bind(lib, "RARCloseArchive", Rar.Close);
  Bind(lib, "RARReadHeader", Rar.ReadHeader);
  Bind(lib, "RARProcessFile", Rar.ProcessFile);
  Bind(lib, "RARSetChangeVolProc", Rar.SetChangeVolProc);
  Bind(lib, "RARSetPassword", Rar.SetPassword);
  return Rar.Open && Rar.Close && Rar.ReadHeader && Rar.ProcessFile && Rar.SetChangeVolProc && Rar.SetPassword;
}

int ARCAPI ChangeVolProc(char* volume, int mode) {
  if (mode != RAR_VOL_ASK) return 1;
  std::string text = std::string(volume ? volume : "") + " の入ったディスクを入れてください。";
  if (ErrorBox(VolumeOwner, text, MB_OKCANCEL) != IDCANCEL) return 1;
  VolumeCancelled = true;
  return 0;
}

bool ExtractRar(HWND owner, const std::string& archive, const std::string& dest, bool* cancelled) {
  VolumeOwner = owner;
  VolumeCancelled = false;
  if (cancelled) *cancelled = false;
  std::string arcName = archive, destDir = dest;
  RAROpenArchiveData open{};
  open.ArcName = arcName.data();
  open.OpenMode = 1;
  HANDLE h = Rar.Open(&open);
  struct TCloser {
    HANDLE h;
    ~TCloser() {
      if (h) Rar.Close(h);
    }
  } closer{h};
  if (!h || open.OpenResult != 0) return false;
  Rar.SetChangeVolProc(h, ChangeVolProc);
  bool result = true, askPassword = true;
  RARHeaderData header{};
  int r;
  while ((r = Rar.ReadHeader(h, &header)) == 0) {
    if (askPassword && (header.Flags & 0x04)) {
      askPassword = false;
      std::string password;
      if (!InputQuery(owner, "Rar書庫の解凍", "パスワードの入力", password)) {
        if (cancelled) *cancelled = true;
        return false;
      }
      Rar.SetPassword(h, password.data());
    }
    if (Rar.ProcessFile(h, RAR_EXTRACT, destDir.data(), nullptr) != 0) result = false;
    if (VolumeCancelled) {
      // A cancel on the volume prompt ends the run; it is no failure.
      if (cancelled) *cancelled = true;
      return false;
    }
  }
  if (VolumeCancelled) {
    if (cancelled) *cancelled = true;
    return false;
  }
  if (r == ERAR_BAD_DATA) result = false;
  return result;
}

bool InitInfoZip(HMODULE lib) {
  Bind(lib, "Wiz_SingleEntryUnzip", SingleEntryUnzip);
  return SingleEntryUnzip != nullptr;
}

int ARCAPI UzPrintProc(char*, unsigned long) { return 0; }
int ARCAPI UzReplaceProc(char*) { return 104; }

bool InfoZipExtract(HWND, const std::string& archive, const std::string& dest) {
  USERFUNCTIONS uf{};
  uf.print = UzPrintProc;
  uf.replace = UzReplaceProc;
  // A folder that does not fit would be cut to another folder's name.
  if (dest.size() >= sizeof UnzipDir) return false;
  lstrcpynA(UnzipDir, dest.c_str(), sizeof UnzipDir);
  std::string arcName = archive;
  DCL dcl{};
  dcl.ExtractOnlyNewer = 1;
  dcl.ndflag = 1;
  dcl.C_flag = 1;
  dcl.fPrivilege = 1;
  dcl.lpszZipFN = arcName.data();
  dcl.lpszExtractDir = UnzipDir;
  return SingleEntryUnzip(0, nullptr, 0, nullptr, &dcl, &uf) == 0;
}

bool IsExistingFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
