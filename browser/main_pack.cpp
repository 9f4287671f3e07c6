// Packing: files from the pack command, the command line, a DDE macro or a
// drop go into the open archive or into a new one named in the save dialog.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "Disp.h"
#include "MessageDlg.h"
#include "list.h"
#include "main.h"
#include "pack.h"
#include "text.h"

// ---------------------------------------------------------------------------
// Rules without a window

bool IsSingleStreamCode(int Code) { return Code == 7 || Code == 9; }

std::string PackExtension(int Code, bool Tgz) {
  switch (Code) {
    case 1: return ".lzh";
    case 2: return ".zip";
    case 3:
    case 4: return ".cab";
    case 5: return ".tar";
    case 6: return Tgz ? ".tgz" : ".tar.gz";
    case 7: return ".gz";
    case 8: return ".tar.bz2";
    case 9: return ".bz2";
    case 10: return ".gza";
    case 11: return ".bza";
    default: return std::string();
  }
}

TPackPlan MakePackPlan(int Code, const TPackSettings& Pack, bool CtrlHeld, int32_t Level, bool LhaArchive) {
  TPackPlan p;
  p.Level = Level;
  if (Pack.NoTimeCheck) p.Options.Include(ar_OverWrite);
  if (!Pack.PackFolder) p.Options.Include(ar_NoFolder);
  if (Pack.All) p.Options.Include(ar_All);
  if (Pack.SetDate) p.Options.Include(ar_Date);
  switch (Code) {
    case 1:
      p.Level = Pack.PackStyle + 5;
      if (Pack.lh0) {
        p.Options.Include(ar_noPack);
        // The engine stores without compression only through the level.
        if (LhaArchive) p.Level = 0;
      }
      break;
    case 2:
      p.Level = Pack.IZip;
      if (CtrlHeld) p.Options.Include(ar_Passwd);
      break;
    case 3:
    case 4:
      p.Level = Pack.CabStyle != 0 ? Pack.CabLevel : -1;
      if (Code == 4) p.Options.Include(ar_Multi);
      break;
    case 5: p.Level = 0; break;
    case 6:
    case 10: p.Level = Pack.Zip; break;
    case 8:
    case 11:
      p.Level = Pack.Zip;
      p.Options.Include(ar_BZ2);
      break;
    default: break;
  }
  return p;
}

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && lstrcmpiA(s.c_str() + (s.size() - tail.size()), tail.c_str()) == 0;
}

// The extension of the last path component, with its dot.
std::string LastExtension(const std::string& path) {
  const std::string name = arc::base_name(path);
  size_t dot = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    if (IsSystemLeadByte(static_cast<unsigned char>(name[i]))) {
      ++i;
      continue;
    }
    if (name[i] == '.') dot = i;
  }
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeExtension(const std::string& path, const std::string& ext) {
  return path.substr(0, path.size() - LastExtension(path).size()) + ext;
}

}  // namespace

std::string PackTargetName(const std::string& Chosen, const std::string& Ext) {
  std::string stem = Chosen.substr(0, Chosen.size() - LastExtension(Chosen).size());
  const bool tarFamily = lstrcmpiA(Ext.c_str(), ".tgz") == 0 || (Ext.size() > 4 && EndsWithNoCase(Ext.substr(0, 4), ".tar"));
  if (tarFamily && EndsWithNoCase(stem, ".tar") && stem.size() > 4) stem.resize(stem.size() - 4);
  return stem + Ext;
}

int FilterIndexOfType(const int32_t (&Types)[12], int Code) {
  for (int i = 1; i < 12; ++i)
    if (Types[i] == Code) return i;
  return 1;
}

std::string SingleStreamCommand(int Kind, int Level, const std::string& Target, const std::string& Source) {
  return std::string(Kind == 0 ? "cGvfz" : "cvfGB") + std::to_string(Level) + " \"" + Target + "\" \"" + Source + "\"";
}

std::string CabVolumeName(const std::string& First, int N) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d", N);
  return First.substr(0, First.size() >= 6 ? First.size() - 6 : 0) + digits + ".cab";
}

bool DateTimeToDosDateTime(double DateTime, uint16_t& Date, uint16_t& Time) {
  if (!(DateTime >= 0)) return false;
  int64_t days = static_cast<int64_t>(DateTime);
  int64_t secs = static_cast<int64_t>((DateTime - static_cast<double>(days)) * 86400.0 + 0.5);
  if (secs >= 86400) secs = 86399;
  int64_t y = 0;
  int m = 0, d = 0;
  arc::civil_from_days(days - 25569, y, m, d);  // day 0 is 1899-12-30
  if (y < 1980 || y > 2107) return false;
  Date = static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d);
  Time = static_cast<uint16_t>(((secs / 3600) << 11) | (((secs / 60) % 60) << 5) | ((secs % 60) / 2));
  return true;
}

// ---------------------------------------------------------------------------

namespace {


// An archive the user agreed to replace is moved aside instead of deleted,
// and comes back unless the new one was made.
class TSetAside {
 public:
  explicit TSetAside(const std::string& path) : FPath(path) {
    for (int n = 0; n < 1000 && FSaved.empty(); ++n) {
      std::string name = path + ".tovix-old" + std::to_string(n);
      if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
      if (MoveFileA(path.c_str(), name.c_str())) FSaved = name;
      else break;
    }
  }
  ~TSetAside() { Finish(false); }
  TSetAside(const TSetAside&) = delete;
  TSetAside& operator=(const TSetAside&) = delete;
  bool Moved() const { return !FSaved.empty(); }
  // Made: the new file is in place, the old one goes; otherwise whatever was
  // left at the name goes and the old one returns.
  void Finish(bool Made) {
    if (FSaved.empty()) return;
    if (Made && FileExists(FPath)) {
      DeleteFileA(FSaved.c_str());
    } else {
      if (FileExists(FPath)) DeleteFileA(FPath.c_str());
      MoveFileA(FSaved.c_str(), FPath.c_str());
    }
    FSaved.clear();
  }

 private:
  std::string FPath;
  std::string FSaved;
};

// The output text buffer of one operation.
struct TPackLog {
  explicit TPackLog(int32_t size) : Size(size), Data(new char[static_cast<size_t>(size) + 1]) { Data[0] = 0; }
  int32_t Size;
  std::unique_ptr<char[]> Data;
};

void ShellDeleteFolder(HWND owner, const std::string& path) {
  std::string from = path;
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  SHFileOperationA(&op);
}

}  // namespace

// ---------------------------------------------------------------------------
// Commands

void TVantrelbyHalvek::Pack1Click(TObject*) {
  FPendingFiles->Clear();
  OpenDialog3->Options = ofHideReadOnly | ofAllowMultiSelect | ofPathMustExist | ofFileMustExist | OFN_NOREADONLYRETURN;
  OpenDialog3->InitialDir = Archive1->ArcName().empty() ? std::string() : arc::folder_of(Archive1->ArcName());
  OpenDialog3->FileName.clear();
  if (!OpenDialog3->Execute()) return;
  for (int i = 0; i < OpenDialog3->Files.Count(); ++i) FPendingFiles->Add(OpenDialog3->Files[i]);
  PackFiles();
}

bool TVantrelbyHalvek::PackLibraryReady(bool& Missing) {
  const TArchiverMode mode = Archive1->ArcMode();
  uint16_t version = 0;
  switch (mode) {
    case amLha: version = Archive1->UnLhaVersion(); break;
    case amZip: version = Archive1->ZipVersion(); break;
    case amTar:
    case amGz: version = Archive1->TarVersion(); break;
    case amCab: version = Archive1->CabVersion(); break;
    case amBga: version = Archive1->BgaVersion(); break;
    default: break;
  }
  Missing = version == 0;
  // ZIP packing runs through zip32 alone, so only its busy flag counts.
  return !Missing && !Archive1->GetRunning(mode == amZip);
}

void TVantrelbyHalvek::ShowPackFailure(const std::string& Text) {
  MessageBoxA(Handle(), Text.c_str(), "Tovix", MB_ICONERROR);
}

void TVantrelbyHalvek::PackFiles() {
  // A macro path that does not exist arrives as an empty entry; packing it
  // would name the whole base folder.
  for (int i = FPendingFiles->Count() - 1; i >= 0; --i)
    if (FPendingFiles->Strings(i).empty()) FPendingFiles->Delete(i);
  if (FPendingFiles->Count() == 0) return;

  // 1.
  SaveDialog1->FilterIndex = FilterIndexOfType(SaveFilterTypes, Settings.Pack.Filter);
  const std::string previous = Archive1->ArcName();
  const TArchiverMode openMode = Archive1->ArcMode();
  int code = 0;
  bool isNew = false;
  bool intoFolder = false;
  std::optional<TSetAside> replaced;
  if (!previous.empty() && (openMode == amLha || openMode == amZip || openMode == amBga) && !Archive1->ExeExt()) {
    // 2. Added to the open archive, which is refused as delete refuses it
    // when the archive is read-only.
    if (!ArchiveWritable()) return;
    code = openMode == amZip ? 2 : 1;
    Settings.Pack.Filter = code;
    intoFolder = !FCurrentFolder.empty() && Settings.Pack.AddFolder && Settings.Pack.PackFolder;
  } else {
    // 3.
    const std::string first = FPendingFiles->Strings(0);
    if (Settings.Pack.ArcFolder || !FolderExists(Settings.Pack.DefFolder))
      SaveDialog1->InitialDir = arc::folder_of(first);
    else
      SaveDialog1->InitialDir = Settings.Pack.DefFolder;
    SaveDialog1->FileName.clear();
    // The window closed while the dialog was up ends the dialog as well,
    // with no name chosen: nothing is packed then.
    if (!SaveDialog1->Execute() || Application->Terminated() || arc::base_name(SaveDialog1->FileName).empty()) return;
    // 4.
    const int index = SaveDialog1->FilterIndex;
    code = index >= 1 && index <= 11 ? SaveFilterTypes[index] : 0;
    if (code == 0) return;
    Settings.Pack.Filter = code;
    Archive1->SetArcName(PackTargetName(SaveDialog1->FileName, PackExtension(code, Settings.Pack.TGZ)));
    // 5. Codes 7 and 9 take only the folder from this name and ask about
    // each file they make instead.
    if (!IsSingleStreamCode(code)) {
      std::string check = Archive1->ArcName();
      if (code == 4 && Archive1->ArcMode() == amCab) check = ChangeExtension(check, "01.cab");
      if (FileExists(check)) {
        const int r = MessageBoxA(Handle(), "ファイルはすでに存在しています。\r\n\r\n新規に作成しますか?", "Tovix",
                                  MB_ICONWARNING | MB_YESNOCANCEL);
        if (r == IDCANCEL) {
          Archive1->SetArcName(previous);
          return;
        }
        // The TAR library makes a tar or a compressed tar only anew: adding
        // to the one there would replace it. It stays as it is.
        if (r == IDNO && (Archive1->ArcMode() == amTar || Archive1->ArcMode() == amGz)) {
          MessageBoxA(Handle(), ("この形式の書庫にはファイルを追加できません。書庫は変更していません。\r\n" + check).c_str(),
                      "Tovix", MB_ICONWARNING);
          Archive1->SetArcName(previous);
          return;
        }
        if (r == IDYES) {
          replaced.emplace(check);
          if (!replaced->Moved()) {
            ShowPackFailure("ファイルを置き換えられません。\r\n" + check);
            Archive1->SetArcName(previous);
            return;
          }
        }
      }
    }
    // 6.
    isNew = true;
  }
  // 7.
  if (Settings.Pack.Sort) FPendingFiles->Sort();
  // 8.
  PlayEventSound("TX_ArcPack");
  // 9.
  if (IsSingleStreamCode(code)) {
    PackSingleStream(code - 7, previous);
    return;
  }
  // 10.
  const TPackPlan plan =
      MakePackPlan(code, Settings.Pack, code == 2 && (KeyboardShiftState() & ssCtrl), Archive1->Level,
                   Archive1->ArcMode() == amLha);
  Archive1->ArcOptions = plan.Options;
  Archive1->Level = plan.Level;

  std::string work;
  struct TCleanUp {
    TVantrelbyHalvek* Form;
    std::string* Work;
    ~TCleanUp() {
      // 14.
      EntryNames->Clear();
      if (!Work->empty()) ShellDeleteFolder(Form->Handle(), *Work);
    }
  } cleanUp{this, &work};
  EntryNames->Clear();
  if (intoFolder) {
    // 11. The files go below the same folder of a work folder, which is
    // then packed with that folder's path.
    work = MakeWorkFolder();
    if (work.empty()) return;
    const std::string dest = arc::join_path(work, GetFolderDir(TreeView1->Selected()));
    std::string from;
    for (int i = 0; i < FPendingFiles->Count(); ++i) {
      from += FPendingFiles->Strings(i);
      from.push_back('\0');
    }
    from.push_back('\0');
    std::string to = FPendingFiles->Count() == 1 ? dest + arc::base_name(FPendingFiles->Strings(0)) : dest;
    to.push_back('\0');
    SHFILEOPSTRUCTA op{};
    op.hwnd = Handle();
    op.wFunc = FO_COPY;
    op.pFrom = from.c_str();
    op.pTo = to.c_str();
    op.fFlags = FOF_NOCONFIRMMKDIR | FOF_NOCONFIRMATION | FOF_SILENT;
    SHFileOperationA(&op);
    Archive1->SetBaseDir(work);
    EntryNames->Add(FCurrentFolder + "*.*");
  } else {
    // 12.
    Archive1->SetBaseDir(arc::folder_of(FPendingFiles->Strings(0)));
    for (int i = 0; i < FPendingFiles->Count(); ++i) {
      const std::string& path = FPendingFiles->Strings(i);
      std::string name = arc::base_name(path);
      if ((code == 3 || code == 4) && FolderExists(path)) name += "\\*.*";
      EntryNames->Add(name);
    }
  }
  // 13.
  bool missing = false;
  if (!PackLibraryReady(missing)) {
    if (replaced) replaced->Finish(false);
    if (isNew) Archive1->SetArcName(previous);
    ShowPackFailure(missing ? "この形式の圧縮に使うライブラリが見つかりません。"
                            : "ライブラリが使用中のため圧縮できませんでした。");
    return;
  }
  const std::string target = Archive1->ArcName();
  TPackLog log(LogBufferSize);
  const bool ok = Archive1->Pack(*EntryNames, log.Data.get(), static_cast<uint32_t>(log.Size));
  const bool hasLog = log.Data[0] != 0;
  // A failure shows its log even when the results are hidden.
  if (hasLog && (!Settings.Pack.HideDlg || !ok) && DispDlg) {
    log.Data[static_cast<size_t>(log.Size)] = 0;
    DispDlg->SetCaption("tovixの圧縮結果");
    DispDlg->SetResultText(log.Data.get());
    ShowResultLog();
  } else {
    Application->ProcessMessages();
  }
  const bool made = FileExists(Archive1->ArcName());
  if (replaced) replaced->Finish(ok && made);
  if (!ok && !hasLog) ShowPackFailure("圧縮できませんでした。\r\n" + target);
  // A new archive that was not made leaves the open one as it was.
  if (isNew && !made) Archive1->SetArcName(previous);
  FPendingFolder = FCurrentFolder;
  if (isNew && made) AddRecentArchive();
  if (!FExitAfterPack) {
    ListArchive();
    if (ok && made && !Archive1->IsLhaOrZip() && Settings.Pack.SetDate) {
      SetArchiveTime(Archive1->ArcName());
      if (code == 4) {
        const std::string first = Archive1->ArcName();
        for (int i = 2; i <= 99; ++i) {
          const std::string volume = CabVolumeName(first, i);
          if (!FileExists(volume)) break;
          SetArchiveTime(volume);
        }
      }
    }
  }
}

void TVantrelbyHalvek::PackSingleStream(int Kind, const std::string& Previous) {
  // 1.
  const std::string folder = arc::dir_part(Archive1->ArcName());
  bool yesToAll = false;
  bool anyMade = false;
  std::string lastMade;
  std::string failedLog, failedNames;
  const unsigned buttons = mbYes | mbNo | mbCancel | (FPendingFiles->Count() >= 2 ? mbAll : 0u);
  // 2-4.
  for (int i = 0; i < FPendingFiles->Count(); ++i) {
    const std::string source = FPendingFiles->Strings(i);
    if (FolderExists(source)) continue;
    const std::string name = arc::base_name(source) + (Kind == 0 ? ".gz" : ".bz2");
    const std::string target = folder + name;
    std::optional<TSetAside> replaced;
    if (FileExists(target)) {
      if (!yesToAll) {
        MessageBeep(MB_ICONEXCLAMATION);
        char text[1024];
        std::snprintf(text, sizeof text, "%s はすでに存在しています。\r\n\r\n新規に作成しますか?", name.c_str());
        const int r = MessageDlg(Handle(), text, mtWarning, buttons);
        if (r == mrCancel) break;
        if (r == mrNo) continue;
        if (r == mrAll) yesToAll = true;
      }
      replaced.emplace(target);
      if (!replaced->Moved()) {
        ShowPackFailure("ファイルを置き換えられません。\r\n" + target);
        continue;
      }
    }
    Archive1->SetArcName(target);
    const std::string command = SingleStreamCommand(Kind, Settings.Pack.Zip, target, source);
    bool missing = false;
    if (!PackLibraryReady(missing)) continue;
    TPackLog log(LogBufferSize);
    const int r = Archive1->Command(command, log.Data.get(), static_cast<uint32_t>(log.Size));
    log.Data[static_cast<size_t>(log.Size)] = 0;
    Application->ProcessMessages();
    if (replaced) replaced->Finish(r == 0);
    anyMade = true;
    FPendingFolder.clear();
    if (r == 0) {
      lastMade = target;
      AddRecentArchive();
    } else {
      // Whatever the library left at the name is no file of the user's.
      if (!replaced && FileExists(target)) DeleteFileA(target.c_str());
      failedLog += log.Data.get();
      failedNames += "\r\n" + target;
    }
  }
  // The failures together, once the questions are over: the libraries' logs
  // when they wrote any, else the names not made.
  if (!failedNames.empty()) {
    if (!failedLog.empty() && DispDlg) {
      DispDlg->SetCaption("tovixの圧縮結果");
      DispDlg->SetResultText(failedLog.c_str());
      ShowResultLog();
    } else {
      ShowPackFailure("圧縮できませんでした。" + failedNames);
    }
  }
  // The window stays on the last file made, or on the archive it had when
  // none was (Cancel, No to every file, failures): never on a name that was
  // only proposed.
  Archive1->SetArcName(lastMade.empty() ? Previous : lastMade);
  // 5.
  if (anyMade && !FExitAfterPack) ListArchive();
}

void TVantrelbyHalvek::SetArchiveTime(const std::string& Path) {
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  uint16_t date = 0, time = 0;
  FILETIME local{}, utc{};
  if (DateTimeToDosDateTime(FNewestDate, date, time) && DosDateTimeToFileTime(date, time, &local) &&
      LocalFileTimeToFileTime(&local, &utc))
    SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
}
