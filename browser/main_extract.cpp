// The result log, the about box, work folders and closing the archive, and
// the extraction commands.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <memory>

#include "CBDlg.h"
#include "Disp.h"
#include "about.h"
#include "list.h"
#include "bcast.h"
#include "main.h"
#include "text.h"

namespace {

bool ShellDelete(HWND owner, const std::string& path) {
  std::string from = path;
  from.push_back('\0');  // the list ends with a second NUL
  SHFILEOPSTRUCTA op{};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return SHFileOperationA(&op) == 0;
}

void OpenDestination(HWND owner, const std::string& dir) {
  ShellExecuteA(owner, nullptr, dir.c_str(), nullptr, "", SW_SHOW);
}


// The output text buffer of one operation.
struct TLogBuffer {
  explicit TLogBuffer(int32_t size) : Size(size), Data(new char[static_cast<size_t>(size) + 1]) { Data[0] = 0; }
  int32_t Size;
  std::unique_ptr<char[]> Data;
};

}  // namespace

// ---------------------------------------------------------------------------

void TVantrelbyHalvek::WireExtractCommands() {
  // The commands themselves are wired with the others (and the clean-up with
  // the window's destroy event); the picker is the one part made here.
  if (!FolderDialog1) FolderDialog1 = new TCBDialog(this);
}

// ---------------------------------------------------------------------------
// Result log and about box

void TVantrelbyHalvek::ShowResultLog() {
  if (!DispDlg) return;
  RECT main{};
  GetWindowRect(Handle(), &main);
  const int w = DispDlg->Width(), h = DispDlg->Height();
  POINT at = KeepInWorkArea(main.left + ((main.right - main.left) - w) / 2,
                            main.top + ((main.bottom - main.top) - h) / 2, w, h, WorkArea);
  SetForegroundWindow(Handle());
  DispDlg->SetParentWindow(Handle());
  DispDlg->ShowModalAt(at.x, at.y);
}

void TVantrelbyHalvek::ShowAboutBox() {
  std::unique_ptr<TAboutBox> box(new TAboutBox(nullptr, Handle(), Archive1));
  box->FormCreate();
  box->ShowModal();
}

// ---------------------------------------------------------------------------
// Work folders

std::string TVantrelbyHalvek::MakeWorkFolder() {
  // A name is free only when nothing at all has it: a plain file there would
  // make the caller's folder creation fail.
  std::string name;
  for (int64_t n = 0; n < 0x80000000LL; ++n) {
    name = FTempPath + "tovix." + std::to_string(n);
    if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) return name;
  }
  MessageBoxA(Handle(), "ワークフォルダが作成できませんでした。", "Tovix", MB_ICONERROR);
  return std::string();
}

void TVantrelbyHalvek::DeleteWorkFolders() {
  if (!FWorkFiles) return;
  for (int i = FWorkFiles->Count() - 1; i >= 0; --i) {
    const std::string path = FWorkFiles->Strings(i);
    if (!FileExists(path) || ShellDelete(Handle(), path)) FWorkFiles->Delete(i);
  }
}

void TVantrelbyHalvek::DeleteExtractFolder() {
  if (!FWorkFolders) return;
  for (int i = FWorkFolders->Count() - 1; i >= 0; --i) {
    const std::string path = FWorkFolders->Strings(i);
    if (!FolderExists(path) || ShellDelete(Handle(), path)) FWorkFolders->Delete(i);
  }
}

void TVantrelbyHalvek::New1Click(TObject*) {
  DeleteWorkFolders();
  DeleteExtractFolder();
  if (Memo1) Memo1->Clear();
  if (Image1) Image1->SetBitmap(nullptr);
  ClearPreviewState();
  FSlashPaths = false;
  ListView1->Perform(WM_SETREDRAW, FALSE);
  ListView1->ClearSelection();
  ListView1->SetItemCount(0);
  ListView1->Perform(WM_SETREDRAW, TRUE);
  ClearFolderTree();
  FCurrentFolder.clear();
  FFolderSize = 0;
  Archive1->SetArcName("");
  SetCaption("Tovix");
  Application->SetTitle("Tovix");
  StatusBar1->Panels(0).SetText("0 Files (0 Byte)");
  StatusBar1->Panels(1).SetText("");
  if (UpDirBtn) UpDirBtn->SetEnabled(false);
  if (PropertyBtn1) PropertyBtn1->SetEnabled(false);
  if (Property1) Property1->SetEnabled(false);
  UpdateCommands();
}

void TVantrelbyHalvek::FormDestroy(TObject*) {
  DeleteWorkFolders();
  DeleteExtractFolder();
  WinHelpA(Handle(), Application->HelpFile.c_str(), HELP_QUIT, 0);
  if (!FPreviewDir.empty() && FolderExists(FPreviewDir)) ShellDelete(Handle(), FPreviewDir);
}

// ---------------------------------------------------------------------------
// Extraction

void TVantrelbyHalvek::UnPack1Click(TObject* Sender) {
  if (ListView1->Focused())
    UnPack1File(Sender);
  else
    UnPack1Folder(Sender);
}

void TVantrelbyHalvek::UnPack1File(TObject*) { ExtractSelected(true); }

void TVantrelbyHalvek::UnPack1Folder(TObject*) { ExtractSelected(false); }

std::string TVantrelbyHalvek::ExtractStartFolder(const std::string& ArchivePath) {
  std::string start;
  if (Settings.UnPack.ArcFolder || !FolderExists(Settings.UnPack.DefFolder))
    start = arc::folder_of(ArchivePath);
  else
    start = Settings.UnPack.DefFolder;
  if ((KeyboardShiftState() & ssShift) && !LastExtractDir.empty()) start = LastExtractDir;
  return start;
}

void TVantrelbyHalvek::AnnounceExtractDir() {
  LastExtractDir = FolderDialog1->Directory;
  PutExtractDirOnClipboard();
  if (WM_TOVIX_CHANGEEXDIR)
    PostMessageA(HWND_BROADCAST, WM_TOVIX_CHANGEEXDIR, reinterpret_cast<WPARAM>(Handle()), 0);
}

void TVantrelbyHalvek::ExtractSelected(bool Files) {
  const std::string arcName = Archive1->ArcName();
  if (arcName.empty()) return;
  const TArchiverMode mode = Archive1->ArcMode();
  TTreeNode* node = TreeView1->Selected();
  // 1-4. The destination.
  FolderDialog1->Directory = ExtractStartFolder(arcName);
  if (Files)
    FolderDialog1->Caption = "ファイルの解凍先を指定して下さい。";
  else if (node && !node->Parent())
    FolderDialog1->Caption = "すべての解凍先を指定して下さい。";
  else
    FolderDialog1->Caption = "フォルダの解凍先を指定して下さい。";
  FolderDialog1->VisibleNum = 1;
  FolderDialog1->N1ChkCaption = "フォルダ作成";
  FolderDialog1->N1Checked = Settings.UnPack.MakeFolder;
  if (!Files && mode == amCab) {
    FolderDialog1->N2Checked = false;
    FolderDialog1->N2ChkCaption = "マルチボリューム";
    FolderDialog1->VisibleNum = 2;
  }
  if (!FolderDialog1->Execute()) return;
  // 5.
  AnnounceExtractDir();
  // 6.
  const std::vector<int> selected = Files ? SelectedListRows() : std::vector<int>();
  bool anyFolderRow = false;
  for (int r : selected) anyFolderRow = anyFolderRow || ListRowIsFolder(r);
  const bool filesOnly = Files && Settings.UnPack.FileNoFolder && !anyFolderRow;
  // 7.
  PlayEventSound("TX_ArcUnPack");
  // 8.
  TArchiverOptions opts{ar_NoRoot};
  if (Settings.UnPack.NoTimeCheck) opts.Include(ar_OverWrite);
  if (!Settings.UnPack.UnPackFolder || filesOnly) opts.Include(ar_NoFolder);
  if (mode == amTar && FolderDialog1->N2Checked) opts.Include(ar_NoAtr);
  if (!Files && mode == amCab && FolderDialog1->N2Checked) opts.Include(ar_Multi);
  if (Settings.UnPack.All) opts.Include(ar_All);
  Archive1->ArcOptions = opts;
  // 9-10.
  Archive1->SetBaseDir(FolderDialog1->Directory);
  if (FolderDialog1->N1Checked) {
    const std::string name = arc::file_name(arcName);
    const int n = ArchiveFolderNameLength(name, Settings.UnPack.DelFolderNum);
    if (n > 0) {
      const std::string dir = arc::join_path(Archive1->BaseDir(), name.substr(0, static_cast<size_t>(n)));
      // A folder of that name from an earlier extraction is used as it is.
      if (!CreateDirectoryA(dir.c_str(), nullptr) && !FolderExists(dir)) {
        MessageBoxA(Handle(), ("フォルダを作成できませんでした。\r\n" + dir).c_str(), "Tovix", MB_ICONERROR);
        return;
      }
      Archive1->SetBaseDir(dir);
    }
  }
  // 11.
  EntryNames->Clear();
  if (mode != amGz) {
    if (!Files) {
      EntryNames->Add(FCurrentFolder + "*.*");
    } else if (!selected.empty() && static_cast<int>(selected.size()) == ListRowCount()) {
      EntryNames->Add(FCurrentFolder + "*.*");
    } else {
      for (int r : selected) {
        if (ListRowIsFolder(r))
          EntryNames->Add(FCurrentFolder + ListRowCaption(r) + "/*.*");
        else
          EntryNames->Add(FCurrentFolder + ListRowCaption(r));
      }
    }
  }
  // 12.
  try {
    if (!Archive1->GetRunning(false)) {
      TLogBuffer log(LogBufferSize);
      Archive1->Extract(*EntryNames, log.Data.get(), static_cast<uint32_t>(log.Size));
      if (!Settings.UnPack.HideDlg && log.Data[0] != 0) {
        log.Data[static_cast<size_t>(log.Size)] = 0;
        if (DispDlg) {
          DispDlg->SetCaption("tovixの解凍結果");
          DispDlg->SetResultText(log.Data.get());
          ShowResultLog();
        }
      } else {
        Application->ProcessMessages();
      }
      if (Settings.UnPack.OpenFolder) OpenDestination(Handle(), Archive1->BaseDir());
    }
  } catch (...) {
    EntryNames->Clear();
    throw;
  }
  // 13.
  EntryNames->Clear();
}

void TVantrelbyHalvek::ExtractDropped() {
  if (!FPendingFiles || FPendingFiles->Count() == 0) return;
  New1Click(this);
  const std::string first = FPendingFiles->Strings(0);
  FolderDialog1->Directory = ExtractStartFolder(first);
  FolderDialog1->Caption = "すべての解凍先を指定して下さい。";
  FolderDialog1->VisibleNum = 0;
  if (!FolderDialog1->Execute()) return;
  AnnounceExtractDir();
  PlayEventSound("TX_ArcUnPack");
  try {
    TArchiverOptions opts{ar_NoRoot};
    if (Settings.UnPack.NoTimeCheck) opts.Include(ar_OverWrite);
    Archive1->ArcOptions = opts;
    Archive1->SetBaseDir(FolderDialog1->Directory);
    EntryNames->Clear();
    const std::string baseDir = Archive1->BaseDir();
    for (int i = 0; i < FPendingFiles->Count(); ++i) {
      Archive1->SetArcName(FPendingFiles->Strings(i));
      if (!Archive1->GetRunning(false)) {
        Archive1->Extract(*EntryNames, nullptr, 0);
        Application->ProcessMessages();
      }
    }
    if (Settings.UnPack.OpenFolder) OpenDestination(Handle(), baseDir);
  } catch (...) {
    EntryNames->Clear();
    FPendingFiles->Clear();
    New1Click(this);
    throw;
  }
  EntryNames->Clear();
  FPendingFiles->Clear();
  New1Click(this);
}
