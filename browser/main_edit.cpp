// Deleting, renaming, viewing, editing and test-running entries, testing the
// archive, self-extractors both ways, new folder nodes, and the tool
// commands of the same menus.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CBDlg.h"
#include "Disp.h"
#include "list.h"
#include "main.h"
#include "mkfol.h"
#include "text.h"

namespace {

std::string Q(const std::string& s) { return "\"" + s + "\""; }

// The size and check value of a file, as the archive's format counts them:
// LHA's CRC-16 (reflected 0x8005), the CRC-32 of the others.
bool FileSizeAndCrc(const std::string& path, bool crc16, uint64_t& size, uint32_t& crc) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  static const auto table16 = [] {
    std::vector<uint16_t> t(256);
    for (unsigned i = 0; i < 256; ++i) {
      unsigned c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
      t[i] = static_cast<uint16_t>(c);
    }
    return t;
  }();
  std::vector<uint8_t> buf(1 << 16);
  size = 0;
  crc = 0;
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) != 0) && got) {
    size += got;
    if (crc16) {
      for (DWORD i = 0; i < got; ++i) crc = table16[(crc ^ buf[i]) & 0xFF] ^ (crc >> 8);
    } else {
      crc = arc::crc32(crc, buf.data(), got);
    }
  }
  CloseHandle(h);
  return ok;
}

// Two files with the same bytes. One that cannot be read is taken as
// different, so that an edit is put back rather than lost.
bool SameContent(const std::string& a, const std::string& b) {
  HANDLE ha = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE hb = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool same = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE;
  LARGE_INTEGER sa{}, sb{};
  same = same && GetFileSizeEx(ha, &sa) && GetFileSizeEx(hb, &sb) && sa.QuadPart == sb.QuadPart;
  std::vector<uint8_t> ba(1 << 16), bb(1 << 16);
  while (same) {
    DWORD ga = 0, gb = 0;
    same = ReadFile(ha, ba.data(), static_cast<DWORD>(ba.size()), &ga, nullptr) &&
           ReadFile(hb, bb.data(), static_cast<DWORD>(bb.size()), &gb, nullptr) && ga == gb &&
           std::memcmp(ba.data(), bb.data(), ga) == 0;
    if (ga == 0) break;
  }
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return same;
}

INT_PTR ShellRun(HWND owner, const char* verb, const std::string& file, const std::string& params,
                 const std::string& dir) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(owner, verb, file.c_str(), params.empty() ? nullptr : params.c_str(),
                                                 dir.c_str(), SW_SHOW));
}

struct TOutput {
  explicit TOutput(int32_t size) : Size(size), Data(new char[static_cast<size_t>(size) + 1]) { Data[0] = 0; }
  char* Ptr() { return Data.get(); }
  uint32_t Cap() const { return static_cast<uint32_t>(Size); }
  void End() { Data[static_cast<size_t>(Size)] = 0; }
  int32_t Size;
  std::unique_ptr<char[]> Data;
};

// The shared entry-name list is emptied whichever way a command leaves.
struct TNamesScope {
  ~TNamesScope() {
    if (EntryNames) EntryNames->Clear();
  }
};

struct THourGlass {
  THourGlass() : Old(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~THourGlass() { SetCursor(Old); }
  HCURSOR Old;
};

}  // namespace

std::string TVantrelbyHalvek::GetCurrentFolderDir() { return SlashesToBackslashes(FCurrentFolder); }

// A read-only archive is refused before the library is asked: some file
// systems let a replacement through the attribute.
bool TVantrelbyHalvek::ArchiveWritable() {
  const DWORD a = GetFileAttributesA(Archive1->ArcName().c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_READONLY)) return true;
  MessageBoxA(Handle(), ("書庫が読み込み専用のため変更できません。\r\n" + Archive1->ArcName()).c_str(), "Tovix",
              MB_ICONERROR);
  return false;
}

void TVantrelbyHalvek::ReportResult(bool Ok, const char* Log, const std::string& Caption,
                                    const std::string& Failure) {
  if (Log && Log[0] && DispDlg) {
    DispDlg->SetCaption(Caption);
    DispDlg->SetResultText(Log);
    ShowResultLog();
  } else if (!Ok) {
    MessageBoxA(Handle(), Failure.c_str(), "Tovix", MB_ICONERROR);
  } else {
    Application->ProcessMessages();
  }
}

// ---------------------------------------------------------------------------
// Deleting

void TVantrelbyHalvek::Delete1Click(TObject* Sender) {
  TTreeNode* node = TreeView1->Selected();
  if (ListView1->Focused())
    Delete1File(Sender);
  else if (node && !node->Parent())
    DeleteArchiveFile();
  else
    Delete1Folder(Sender);
}

std::vector<std::string> TVantrelbyHalvek::SelectedEntryNames() {
  std::vector<std::string> names;
  const std::vector<int> rows = SelectedListRows();
  if (rows.empty()) return names;
  if (static_cast<int>(rows.size()) == ListRowCount()) {
    names.push_back(FCurrentFolder + "*.*");
    return names;
  }
  for (int r : rows)
    names.push_back(FCurrentFolder + ListRowCaption(r) + (ListRowIsFolder(r) ? "\\*.*" : ""));
  return names;
}

void TVantrelbyHalvek::Delete1File(TObject*) {
  if (Archive1->ArcName().empty() || SelectedListRows().empty() || !ArchiveWritable()) return;
  if (MessageBoxA(Handle(), "オブジェクトを削除しますか?", "Tovix", MB_ICONWARNING | MB_YESNO) != IDYES)
    return;
  TArchiverOptions opts{ar_DelPath};
  if (Settings.Pack.SetDate) opts.Include(ar_Date);
  Archive1->ArcOptions = opts;
  TNamesScope scope;
  EntryNames->Clear();
  for (const std::string& n : SelectedEntryNames()) EntryNames->Add(n);
  DeleteEntries(true);
}

void TVantrelbyHalvek::Delete1Folder(TObject*) {
  TTreeNode* node = TreeView1->Selected();
  if (Archive1->ArcName().empty() || !node || !node->Parent() || !ArchiveWritable()) return;
  if (MessageBoxA(Handle(), "フォルダを削除しますか?", "Tovix", MB_ICONWARNING | MB_YESNO) != IDYES)
    return;
  // A node made by the new-folder command holds no entries yet: it only
  // leaves the tree, and the library is not asked.
  if (!IsListedFolderNode(node)) {
    TTreeNode* parent = node->Parent();
    node->Delete();
    TreeView1->SetSelected(parent);
    return;
  }
  if (FCurrentFolder.empty() || FindFolderNode(FCurrentFolder) != node) return;
  TArchiverOptions opts;
  if (Settings.Pack.SetDate) opts.Include(ar_Date);
  Archive1->ArcOptions = opts;
  TNamesScope scope;
  EntryNames->Clear();
  EntryNames->Add(FCurrentFolder + "*.*");
  DeleteEntries(false);
}

void TVantrelbyHalvek::DeleteEntries(bool KeepFolder) {
  if (Archive1->GetRunning(false)) return;
  TOutput log(LogBufferSize);
  const bool ok = Archive1->DeleteFiles(*EntryNames, log.Ptr(), log.Cap());
  log.End();
  ReportResult(ok, log.Ptr(), "tovixの削除結果", "削除できませんでした。");
  if (KeepFolder) FPendingFolder = FCurrentFolder;
  ListArchive();
  if (ok && !Archive1->IsLhaOrZip() && Settings.Pack.SetDate) SetArchiveTime(Archive1->ArcName());
}

void TVantrelbyHalvek::DeleteArchiveFile() {
  const std::string arc = Archive1->ArcName();
  if (arc.empty()) return;
  const bool forGood = KeyboardShiftState() & ssShift;
  std::string from = arc;
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.hwnd = Handle();
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = forGood ? 0 : FOF_ALLOWUNDO;
  SHFileOperationA(&op);
  if (FileExists(arc)) return;
  RenameRecentArchive("");
  New1Click(this);
}

// ---------------------------------------------------------------------------
// Renaming

void TVantrelbyHalvek::ReName1Click(TObject*) {
  if (Archive1->ArcName().empty()) return;
  const std::vector<std::string> names = SelectedEntryNames();
  if (names.empty() || !ArchiveWritable()) return;
  std::string cmd = "n -p ";
  cmd += Q(Archive1->ArcName());
  for (const std::string& n : names) cmd.append(" ").append(Q(n));
  if (Archive1->GetRunning(false)) return;
  TOutput log(LogBufferSize);
  const int rc = Archive1->Command(cmd, log.Ptr(), log.Cap());
  log.End();
  ReportResult(rc == 0, log.Ptr(), "tovixの名前の変更結果", "名前を変更できませんでした。");
  FPendingFolder = FCurrentFolder;
  ListArchive();
}

// ---------------------------------------------------------------------------
// Viewing, editing and test runs

void TVantrelbyHalvek::Show1Click(TObject*) {
  SkipNextDrag = true;
  const std::vector<int> rows = SelectedListRows();
  if (rows.empty() || Archive1->ArcName().empty()) return;
  const int row = rows.front();
  const std::string caption = ListRowCaption(row);
  if (ListRowIsFolder(row)) {
    if (TTreeNode* node = TreeView1->Selected())
      for (int i = 0; i < node->Count(); ++i)
        if (node->Item(i)->Text() == caption) {
          TreeView1->SetSelected(node->Item(i));
          break;
        }
    return;
  }
  if (Archive1->ArcMode() != amGz) {
    char size[64] = {};
    LVITEMA it{};
    it.iSubItem = 1;
    it.pszText = size;
    it.cchTextMax = sizeof size;
    ListView1->Perform(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    if (std::strcmp(size, "0") == 0) return;
  }
  if (FPreviewDir.empty()) {
    FPreviewDir = MakeWorkFolder();
    if (FPreviewDir.empty()) return;
    CreateDirectoryA(FPreviewDir.c_str(), nullptr);
  }
  const bool shift = KeyboardShiftState() & ssShift;
  Archive1->ArcOptions = TArchiverOptions{ar_NoFolder, ar_OverWrite, ar_All, ar_Silent, ar_NoAtr, ar_NoRoot, ar_Force};
  Archive1->SetBaseDir(FPreviewDir);
  TNamesScope scope;
  EntryNames->Clear();
  EntryNames->Add(FCurrentFolder + caption);
  const std::string view = arc::join_path(FPreviewDir, caption);
  FWorkFiles->Add(view);
  if (Archive1->GetRunning(false)) return;
  {
    THourGlass wait;
    Archive1->Extract(*EntryNames, nullptr, 0);
  }
  if (shift) {
    ShellRun(Handle(), nullptr, Settings.List.ViewProg, view, "");
  } else if (ShellRun(Handle(), nullptr, view, "", "") == SE_ERR_NOASSOC) {
    ShellRun(Handle(), nullptr, Settings.List.ViewProg, view, "");
  }
}

bool TVantrelbyHalvek::TakenOutIntact(const std::string& Entry, const std::string& File) {
  // The entry's own size and check value, from a walk of the archive.
  const std::string want = arc::to_slashes(Entry);
  bool found = false;
  uint64_t size = 0;
  uint32_t crc = 0;
  Archive1->CloseArchive();
  for (int r = Archive1->FindFirst("*.*"); r == 0 && !found; r = Archive1->FindNext()) {
    std::string name = arc::to_slashes(Archive1->FindName());
    while (!name.empty() && name.front() == '/') name.erase(0, 1);
    if (name.empty() || arc::ends_with_separator(name) || lstrcmpiA(name.c_str(), want.c_str()) != 0) continue;
    found = true;
    size = Archive1->FindOriginalSize();
    crc = Archive1->FindCRC();
  }
  Archive1->CloseArchive();
  if (!found) return false;
  const TArchiverMode mode = Archive1->ArcMode();
  const bool hasCrc = mode == amLha || mode == amZip || mode == amArj || mode == amBga || mode == amRar;
  uint64_t gotSize = 0;
  uint32_t gotCrc = 0;
  if (!FileSizeAndCrc(File, mode == amLha, gotSize, gotCrc)) return false;
  return static_cast<uint32_t>(gotSize) == static_cast<uint32_t>(size) && (!hasCrc || gotCrc == crc);
}

void TVantrelbyHalvek::Edit2Click(TObject*) {
  const std::vector<int> rows = SelectedListRows();
  const std::string arc = Archive1->ArcName();
  if (rows.empty() || arc.empty() || !ArchiveWritable()) return;
  const std::string caption = ListRowCaption(rows.front());
  if (Archive1->GetRunning(false)) return;
  // A folder of its own: a file of the entry's name already lying in the
  // temporary folder must be neither opened, stored nor deleted in its place.
  const std::string work = MakeWorkFolder();
  if (work.empty() || !CreateDirectoryA(work.c_str(), nullptr)) return;
  const std::string temp = arc::join_path(work, caption);
  // An edit that could not be put back stays in its folder for the user,
  // out of the clean-up's reach.
  bool keepEdited = false;
  struct TWorkGone {
    TVantrelbyHalvek* Form;
    const std::string& Work;
    const bool& Keep;
    ~TWorkGone() {
      if (!Keep && !RemoveDirectoryA(Work.c_str()) && FolderExists(Work)) Form->FWorkFolders->Add(Work);
    }
  } workGone{this, work, keepEdited};
  Archive1->Command("e -n -c1 -y " + Q(arc) + " " + Q(arc::with_separator(work)) + " " + Q(FCurrentFolder + caption),
                    nullptr, 0);
  // Nothing came out, or not the entry's bytes: no editor is started on it.
  if (!FileExists(temp) || !TakenOutIntact(FCurrentFolder + caption, temp)) {
    DeleteFileA(temp.c_str());
    MessageBoxA(Handle(), ("ファイルを取り出せませんでした。\r\n" + FCurrentFolder + caption).c_str(), "Tovix",
                MB_ICONERROR);
    return;
  }
  // An edit is told by the bytes, not the time: editors that keep the time,
  // and entries stamped ahead of the clock (a local time from a zone further
  // east), would make a saved file look unchanged. With no copy to compare,
  // whatever the editor leaves is put back.
  const std::string original = temp + ".tovix-orig";
  const bool haveOriginal = CopyFileA(temp.c_str(), original.c_str(), TRUE) != 0;
  if (haveOriginal) SetFileAttributesA(original.c_str(), FILE_ATTRIBUTE_HIDDEN);
  struct TOriginalGone {
    const std::string& Path;
    const bool Made;
    ~TOriginalGone() {
      if (Made) {
        SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(Path.c_str());
      }
    }
  } originalGone{original, haveOriginal};
  std::string program = Settings.List.ViewProg;
  if (!(KeyboardShiftState() & ssShift)) {
    char found[MAX_PATH] = {};
    if (reinterpret_cast<INT_PTR>(FindExecutableA(temp.c_str(), "", found)) > 32) program = found;
  }
  PROCESS_INFORMATION pi{};
  STARTUPINFOA si{};
  si.cb = sizeof si;
  GetStartupInfoA(&si);
  const DWORD flags = CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | CREATE_NEW_CONSOLE;
  std::string line = "open " + Q(temp);
  bool started =
      CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi);
  if (!started) {
    char shortName[MAX_PATH + 1] = {};
    GetShortPathNameA(temp.c_str(), shortName, MAX_PATH);
    line = program + " " + shortName;
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi);
  }
  if (started)
    while (WaitForSingleObject(pi.hProcess, 3000) == WAIT_TIMEOUT) Application->ProcessMessages();
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  if (started && FileExists(temp) && !(haveOriginal && SameContent(temp, original))) {
    while (Archive1->GetRunning(false)) {
      Application->ProcessMessages();
      Sleep(50);
    }
    // Added, not updated: the library's newer-only rule compares times and
    // would pass over a saved file older than the entry.
    TOutput log(LogBufferSize);
    const int rc = Archive1->Command(
        "a -jr1 -n " + Q(arc) + " " + Q(arc::with_separator(work)) + " " + Q(FCurrentFolder + caption), log.Ptr(),
        log.Cap());
    log.End();
    keepEdited = rc != 0 || !TakenOutIntact(FCurrentFolder + caption, temp);
    FPendingFolder = FCurrentFolder;
    ListArchive();
    if (keepEdited) {
      if (log.Ptr()[0] && DispDlg) {
        DispDlg->SetCaption("tovixの編集結果");
        DispDlg->SetResultText(log.Ptr());
        ShowResultLog();
      }
      const std::string text = "編集したファイルを書庫に戻せませんでした。\r\n"
                               "編集したファイルは次の場所に残してあります。\r\n\r\n" + temp;
      MessageBoxA(Handle(), text.c_str(), "Tovix", MB_ICONERROR);
      return;
    }
  }
  DeleteFileA(temp.c_str());
}

void TVantrelbyHalvek::Test1Click(TObject*) {
  const std::vector<int> rows = SelectedListRows();
  if (rows.empty() || Archive1->ArcName().empty()) return;
  const std::string caption = ListRowCaption(rows.front());
  const std::string work = MakeWorkFolder();
  if (work.empty()) return;
  Archive1->ArcOptions = TArchiverOptions{ar_OverWrite, ar_All, ar_NoRoot, ar_Force};
  Archive1->SetBaseDir(work);
  TNamesScope scope;
  EntryNames->Clear();
  EntryNames->Add("*.*");
  if (Archive1->GetRunning(false)) return;
  const bool ok = Archive1->Extract(*EntryNames, nullptr, 0);
  // A half-finished run may still have made the folder: it goes with the others.
  if (FolderExists(work)) FWorkFolders->Add(work);
  if (!ok) return;
  const std::string path = arc::join_path(work, GetCurrentFolderDir() + caption);
  const bool inf = lstrcmpiA(NameExtension(caption).c_str(), ".inf") == 0;
  ShellRun(Handle(), inf ? "install" : "open", path, "", arc::file_dir(path));
}

// ---------------------------------------------------------------------------
// Testing the archive and self-extractors

void TVantrelbyHalvek::Check1Click(TObject*) {
  if (Archive1->ArcName().empty() || Archive1->GetRunning(false)) return;
  TOutput log(LogBufferSize);
  const bool ok = Archive1->TestArchive(log.Ptr(), log.Cap());
  log.End();
  if (log.Ptr()[0] == 0 && Archive1->ArcMode() == amBga && DispDlg) {
    DispDlg->SetCaption("tovixの検査結果");
    DispDlg->SetResultText(ok ? "OK" : "NG");
    ShowResultLog();
    return;
  }
  ReportResult(ok, log.Ptr(), "tovixの検査結果", "書庫を検査できませんでした。");
}

void TVantrelbyHalvek::ShowOpenedArchive(const std::string& Path) {
  Archive1->SetArcName(Path);
  const std::string name = arc::file_name(Path);
  SetCaption(name + " (" + arc::without_separator(arc::file_dir(Path)) + ") - Tovix");
  Application->SetTitle(name + " - Tovix");
  if (TTreeNode* root = TreeView1->Items.GetFirstNode()) root->SetText(name);
}

void TVantrelbyHalvek::AutoUnpack1Click(TObject*) {
  const std::string arc = Archive1->ArcName();
  if (arc.empty()) return;
  const TArchiverMode mode = Archive1->ArcMode();
  FolderDialog1->Directory = arc::without_separator(arc::file_dir(arc));
  FolderDialog1->Caption = "作成先を指定して下さい。";
  if (mode == amLha) {
    FolderDialog1->N1ChkCaption = "WinSFX32M";
    FolderDialog1->N1Checked = Settings.Pack.AutoStyle == 1;
    FolderDialog1->VisibleNum = 1;
  } else {
    FolderDialog1->VisibleNum = 0;
  }
  if (!FolderDialog1->Execute()) return;
  Archive1->SetBaseDir(FolderDialog1->Directory);
  TArchiverOptions opts;
  if (mode == amLha && FolderDialog1->N1Checked) opts.Include(ar_SFX32M);
  if (Settings.Pack.SetDate) opts.Include(ar_Date);
  if (!Settings.Pack.PackFolder) opts.Include(ar_NoFolder);
  Archive1->ArcOptions = opts;
  if (Archive1->GetRunning(false)) return;
  TOutput log(LogBufferSize);
  std::string made;
  const bool ok = Archive1->MakeSfx(made, log.Ptr(), log.Cap());
  log.End();
  if (ok && FileExists(made)) {
    if (!Archive1->IsLhaOrZip() && Settings.Pack.SetDate) SetArchiveTime(made);
    if (Settings.Other.LzhDelete) {
      DeleteFileA(arc.c_str());
      RenameRecentArchive(".exe");
      if (mode == amLha || mode == amZip || mode == amCab || mode == amBga) {
        ShowOpenedArchive(made);
        Exe2Lzh1->SetEnabled(true);
      } else {
        Archive1->SetArcName("");
      }
      AutoUnpack1->SetEnabled(false);
      AutoUnpackBtn1->SetEnabled(false);
      MkDoru1->SetEnabled(false);
    }
  }
  ReportResult(ok, log.Ptr(), "tovixの自己解凍書庫作成結果", "自己解凍書庫を作成できませんでした。");
  if (Archive1->ArcName().empty()) New1Click(this);
}

void TVantrelbyHalvek::Exe2Lzh1Click(TObject*) {
  const std::string program = Archive1->ArcName();
  if (program.empty()) return;
  FolderDialog1->Directory = arc::without_separator(arc::file_dir(program));
  FolderDialog1->Caption = "作成先を指定して下さい。";
  FolderDialog1->VisibleNum = 0;
  if (!FolderDialog1->Execute()) return;
  Archive1->SetBaseDir(FolderDialog1->Directory);
  TArchiverOptions opts;
  if (Settings.Pack.SetDate) opts.Include(ar_Date);
  Archive1->ArcOptions = opts;
  if (Archive1->GetRunning(false)) return;
  TOutput log(LogBufferSize);
  std::string made;
  const bool ok = Archive1->SfxToArchive(made, log.Ptr(), log.Cap());
  log.End();
  if (ok && FileExists(made)) {
    if (Settings.Other.ExeDelete) {
      DeleteFileA(program.c_str());
      RenameRecentArchive(NameExtension(made));
    }
    ShowOpenedArchive(made);
    Exe2Lzh1->SetEnabled(false);
    AutoUnpack1->SetEnabled(true);
    AutoUnpackBtn1->SetEnabled(true);
    MkDoru1->SetEnabled(FDoruEnabled);
  }
  if (!DispDlg) return;
  DispDlg->SetCaption("tovixの書庫に変更の結果");
  // The log shows even when empty; a failure that left none still says so.
  DispDlg->SetResultText(log.Ptr()[0] || ok ? log.Ptr() : "書庫に変更できませんでした。");
  ShowResultLog();
}

// ---------------------------------------------------------------------------
// New folder nodes

void TVantrelbyHalvek::NewFolder1Click(TObject*) {
  std::unique_ptr<TFolDlg> dlg(new TFolDlg(nullptr));
  POINT p{};
  GetCursorPos(&p);
  const int w = dlg->Width(), h = dlg->Height();
  int left = p.x - w / 2, top = p.y - h / 2;
  if (left + w > WorkArea.right) left = WorkArea.right - w;
  if (top + h > WorkArea.bottom) top = WorkArea.bottom - h;
  if (left < WorkArea.left) left = WorkArea.left;
  if (top < WorkArea.top) top = WorkArea.top;
  dlg->SetBounds(left, top, w, h);
  dlg->NewFolder->SetText("");
  if (dlg->Execute() != mrOk) return;
  const std::string name = dlg->NewFolder->Text();
  if (name.empty() || !IsValidFolderName(name)) return;
  TTreeNode* node = TreeView1->Selected();
  if (!node) return;
  for (int i = 0; i < node->Count(); ++i) {
    const std::string other = node->Item(i)->Text();
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, other.c_str(), -1, name.c_str(), -1) == CSTR_EQUAL)
      return;
  }
  TTreeNode* child = TreeView1->Items.AddChild(node, name);
  child->SetImageIndex(1);
  child->SetSelectedIndex(2);
  node->Expand(false);
}

// ---------------------------------------------------------------------------
// Tool commands

void TVantrelbyHalvek::Explorer1Click(TObject*) {
  const std::string arc = Archive1->ArcName();
  ShellRun(Handle(), nullptr, "Explorer.exe", arc.empty() ? std::string() : "/e," + Q(arc::file_dir(arc)), "");
}

void TVantrelbyHalvek::formatClick(TObject* Sender) {
  auto* item = dynamic_cast<TComponent*>(Sender);
  if (!item) return;
  SHFormatDrive(Handle(), static_cast<UINT>(item->Tag), 0, 0);
}

void TVantrelbyHalvek::SearchforHelpOn1Click(TObject*) {
  WinHelpA(Handle(), Application->HelpFile.c_str(), HELP_FINDER, 0);
}
