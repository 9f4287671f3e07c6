#include "Archiver.h"

#include <algorithm>
#include <cstring>

#include "Archive_wm.h"
#include "ArchiverImpl.h"
#include "text.h"

using namespace arcapi;

TArcFileList* ArcFileList = nullptr;
bool RarBusy = false;
bool InfoZipBusy = false;
bool ZipBusy = false;

namespace {

enum { kLha, kArj, kUnZip, kZip, kTar, kCab, kRar, kBga };

// Engines alive and calls running: the shared list and the library handles
// go only when nobody uses them any more.
int gListUsers = 0;
int gCallDepth = 0;
std::vector<HMODULE> gPendingFree;

void ReleaseListIfUnused() {
  if (gListUsers == 0 && gCallDepth == 0 && ArcFileList) {
    delete ArcFileList;
    ArcFileList = nullptr;
  }
}

template <class T>
void Bind(HMODULE m, T& slot, const std::string& name) {
  slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name.c_str())));
}

void BindCommon(HMODULE m, TCommonLib& l, const std::string& prefix, bool modes, bool archiveType, bool mem) {
  Bind(m, l.GetRunning, prefix + "GetRunning");
  if (modes) {
    Bind(m, l.SetBackGroundMode, prefix + "SetBackGroundMode");
    Bind(m, l.SetCursorMode, prefix + "SetCursorMode");
  }
  Bind(m, l.Command, prefix);
  Bind(m, l.OpenArchive, prefix + "OpenArchive");
  Bind(m, l.CloseArchive, prefix + "CloseArchive");
  Bind(m, l.FindFirst, prefix + "FindFirst");
  Bind(m, l.FindNext, prefix + "FindNext");
  Bind(m, l.CheckArchive, prefix + "CheckArchive");
  if (archiveType) Bind(m, l.GetArchiveType, prefix + "GetArchiveType");
  Bind(m, l.ConfigDialog, prefix + "ConfigDialog");
  Bind(m, l.SetOwnerWindow, prefix + "SetOwnerWindow");
  Bind(m, l.ClearOwnerWindow, prefix + "ClearOwnerWindow");
  if (mem) Bind(m, l.ExtractMem, prefix + "ExtractMem");
  Bind(m, l.GetOriginalSizeEx, prefix + "GetOriginalSizeEx");
  Bind(m, l.GetCompressedSizeEx, prefix + "GetCompressedSizeEx");
  // The owner window is handed over only when it can be taken back.
  if (!l.ClearOwnerWindow) l.SetOwnerWindow = nullptr;
}

uint16_t CallVersion(HMODULE m, const char* name) {
  FnGetVersion f = nullptr;
  Bind(m, f, name);
  return f ? f() : 0;
}

bool Checks(FnCheckArchive f, const std::string& path) { return f && (f(path.c_str(), 0) & 0xFF) != 0; }

}  // namespace

// ---- TArcFileList ----

TArcEntryRec* TArcFileList::Add() {
  try {
    FItems.emplace_back();
    std::memset(&FItems.back(), 0, sizeof(TArcEntryRec));
    return &FItems.back();
  } catch (...) {
    return nullptr;
  }
}

int TArcFileList::PopFirst(TArcEntryRec* dest) {
  if (FItems.empty()) return -1;
  std::memcpy(dest, &FItems.front(), sizeof(TArcEntryRec));
  FItems.pop_front();
  return 0;
}

// ---- call scope ----

TArchiver::CallScope::CallScope(TArchiver* a) : FAlive(a->FAlive) { ++gCallDepth; }

TArchiver::CallScope::~CallScope() {
  if (--gCallDepth > 0) return;
  for (HMODULE m : gPendingFree) FreeLibrary(m);
  gPendingFree.clear();
  ReleaseListIfUnused();
}

// ---- construction and binding ----

TArchiver::TArchiver(TComponent* AOwner)
    : TComponent(AOwner), F(std::make_unique<Entries>()), FAlive(std::make_shared<bool>(true)) {
  FHandle = AllocateHWnd([this](TMessage& m) { WndProc(m); });
  if (!ArcFileList) ArcFileList = new TArcFileList;
  ++gListUsers;
}

TArchiver::~TArchiver() {
  CloseArchive();
  *FAlive = false;
  static const int kFreeOrder[] = {kLha, kArj, kUnZip, kTar, kCab, kBga, kRar, kZip};
  for (int i : kFreeOrder) {
    if (!FLibs[i]) continue;
    if (gCallDepth > 0)
      gPendingFree.push_back(FLibs[i]);  // a call into it is still on the stack
    else
      FreeLibrary(FLibs[i]);
    FLibs[i] = nullptr;
  }
  --gListUsers;
  ReleaseListIfUnused();
  DeallocateHWnd(FHandle);
  FHandle = nullptr;
}

void TArchiver::Loaded() {
  TComponent::Loaded();
  if (!Owner() || !Owner()->IsForm() || (ComponentState & csDesigning)) return;
  Bind();
}

namespace {

// The level as each packing library spells it.
std::string LhaMethod(int level, bool) {
  switch (level) {
    case 0: return "-jm0 ";
    case 5: return "-jm2 ";
    case 6: return "-jm3 ";
    case 7: return "-jm4 ";
    default: return "";
  }
}

std::string GzipLevel(int level, bool bz2) {
  if (level < 1 || level > 9) return " ";
  return std::string(bz2 ? "-B" : "-z") + static_cast<char>('0' + level) + " ";
}

std::string CabLevel(int level, bool) {
  return level >= 15 && level <= 21 ? "-ml:" + std::to_string(level) + " " : "-mz ";
}

std::string BgaLevel(int level, bool bz2) { return (bz2 ? "-m2 -l" : "-m1 -l") + std::to_string(level) + " "; }

}  // namespace

const std::vector<TCommonFormat>& CommonFormats() {
  using E = TArchiver::Entries;
  using A = TArchiver;
  static const std::vector<TCommonFormat> formats = {
      {.Mode = amLha, .Dll = "unlha32.dll", .Prefix = "Unlha", .NoInstall = aoNoInstLha, .MinVersion = 83,
       .Modes = true, .ExtractMem = true, .Lib = &E::Lha, .Slot = kLha, .Version = &A::FUnLhaVersion,
       .SubVersion = &A::FUnLhaSubVersion,
       .Extract = {.Verb = {"e -c1 -p2 ", "x -c1 -p2 ", "e -c0 -p2 ", "x -c0 -p2 "}, .NoRoot = "-jf0 ",
                   .Silent = "-n -y ", .Force = "-y ", .All = "-a1 "},
       .Pack = {.Verb = {"a -r2 ", "u -r2 "}, .All = "-a1 ", .Silent = "-n ", .Date = "-t1 ", .Folders = "-x1 ",
                .Level = LhaMethod},
       .Delete = {.Verb = {"d -p ", "d -r1 "}, .Date = "-t1 "},
       .Test = "t ",
       .ToMem = {.Verb = "", .ByExtractMem = true, .Silent = "-n "},
       .Sfx = {.Verb = {"s -gw -m1 ", "s -gw3 -m1 "}, .Date = "-t1 ", .Folders = "-x1 ", .Names = " *.*",
               .ArchiveExt = ".lzh", .Undo = "j ", .UndoDate = "-t1 "}},
      {.Mode = amArj, .Dll = "unarj32j.dll", .Prefix = "Unarj", .NoInstall = aoNoInstArj, .MinVersion = 10,
       .Modes = true, .Lib = &E::Arj, .Slot = kArj, .Version = &A::FUnArjVersion, .SubVersion = &A::FUnArjSubVersion,
       .Extract = {.Verb = {"e -c -p1 -hk ", "x -c -p1 -hk ", "e -p1 -hk ", "x -p1 -hk "}, .Silent = "-i ",
                   .Force = "-y ", .NotAll = "-a0 "},
       .Test = "t -hk ",
       .ToMem = {.Verb = "p -hk ", .Silent = "-i "}},
      {.Mode = amZip, .Lib = &E::UnZip, .Slot = kUnZip, .Version = &A::FUnZipVersion,
       .Extract = {.Verb = {"-x -o -j ", "-x -o ", "-u -j ", "-u "}, .Silent = "--i ", .Force = "-o "},
       .Test = "-t ",
       .ToMem = {.Verb = "", .ByExtractMem = true, .Silent = "--i "},
       // Made and taken out through zip32 (ZipRun), not this row's library.
       .Sfx = {.ArchiveExt = ".zip"}},
      {.Mode = amTar, .Dll = "tar32.dll", .Prefix = "Tar", .NoInstall = aoNoInstTar, .MinVersion = 211,
       .Modes = true, .ArchiveType = true, .Lib = &E::Tar, .Slot = kTar, .Version = &A::FTarVersion,
       .Extract = {.Verb = {"-x ", "-x ", "-x ", "-x "}},
       .Pack = {.Verb = {"-c ", "-c "}, .Level = GzipLevel},
       .Test = "-t ",
       .ToMem = {.Verb = "-x -p "},
       .SilentLead = "--display-dialog=0 ", .NoFolderLead = "--use-directory=0 "},
      {.Mode = amCab, .Dll = "cab32.dll", .Prefix = "Cab", .NoInstall = aoNoInstCab, .MinVersion = 90,
       .Modes = true, .Lib = &E::Cab, .Slot = kCab, .Version = &A::FCabVersion,
       .Extract = {.Verb = {"-x -o -j ", "-x -o ", "-x -n -j ", "-x -n "}, .Silent = "-i ", .Force = "-o ",
                   .Multi = "-k "},
       .Pack = {.Verb = {"-a -r ", "-a -r "}, .NotAll = "-g ", .NotAllFrom = 93, .Silent = "-i ", .Level = CabLevel,
                .Multi = "-v:1423 ", .FirstVolume = "01.cab"},
       .Test = "-t ",
       .Sfx = {.Verb = {"-f ", "-f "}, .ArchiveExt = ".cab"}},
      // The tar library serves single gzip and bzip2 files too.
      {.Mode = amGz, .Lib = &E::Tar, .Slot = kTar, .Version = &A::FTarVersion,
       .Extract = {.Verb = {"-x ", "-x ", "-x ", "-x "}},
       .Pack = {.Verb = {"-c -G ", "-c -G "}, .Level = GzipLevel},
       .ToMem = {.Verb = "-x -p "},
       .SilentLead = "--display-dialog=0 ", .SingleFile = true},
      {.Mode = amBga, .Dll = "bga32.dll", .Prefix = "Bga", .NoInstall = aoNoInstBga, .MinVersion = 28,
       .Lib = &E::Bga, .Slot = kBga, .Version = &A::FBgaVersion,
       .Extract = {.Verb = {"x -j -o -r ", "x -o -r ", "x -j -n -r ", "x -n -r "}, .Silent = "-i ", .Force = "-o ",
                   .All = "-a "},
       .Pack = {.Verb = {"a -r ", "a -n -r "}, .All = "-a ", .Silent = "-i ", .Level = BgaLevel},
       .Delete = {.Verb = {"d ", "d -r "}},
       .Test = "t ",
       .Sfx = {.Verb = {"s ", "s "}}},
  };
  return formats;
}

const TCommonFormat* CommonFormatOf(TArchiverMode m) {
  for (const TCommonFormat& c : CommonFormats())
    if (c.Mode == m) return &c;
  return nullptr;
}

TCommonLib* CommonLibFor(TArchiver::Entries& f, TArchiverMode m, bool infoZip) {
  if (m == amZip && infoZip) return nullptr;
  const TCommonFormat* c = CommonFormatOf(m);
  return c ? &(f.*c->Lib) : nullptr;
}

void TArchiver::Bind() {
  auto load = [](const char* name) { return LoadLibraryA(name); };
  auto drop = [this](int i) {
    FreeLibrary(FLibs[i]);
    FLibs[i] = nullptr;
  };

  for (const TCommonFormat& c : CommonFormats()) {
    if (!c.Dll || DllOptions.Contains(c.NoInstall) || !(FLibs[c.Slot] = load(c.Dll))) continue;
    this->*c.Version = CallVersion(FLibs[c.Slot], (std::string(c.Prefix) + "GetVersion").c_str());
    if (c.SubVersion)
      this->*c.SubVersion = CallVersion(FLibs[c.Slot], (std::string(c.Prefix) + "GetSubVersion").c_str());
    if (this->*c.Version >= c.MinVersion)
      BindCommon(FLibs[c.Slot], (*F).*c.Lib, c.Prefix, c.Modes, c.ArchiveType, c.ExtractMem);
    else
      drop(c.Slot);
  }
  if (!DllOptions.Contains(aoNoInstZip) && (FLibs[kUnZip] = load("unzip32.dll"))) {
    HMODULE m = FLibs[kUnZip];
    FnGetVersion getVersion = nullptr;
    FnUzpVersion2 uzp = nullptr;
    ::Bind(m, getVersion, "UnZipGetVersion");
    ::Bind(m, uzp, "UzpVersion2");
    if (uzp) {
      UzpVer2 v{};
      v.structlen = sizeof(UzpVer2);
      uzp(&v);
      FUnZipVersion = static_cast<uint16_t>(v.unzip.major * 100 + v.unzip.minor);
      FUnZipPatchVersion = v.unzip.patchlevel;
    }
    if (getVersion) {
      FIsInfoZip = false;
      if (getVersion() >= 90)
        BindCommon(m, F->UnZip, "UnZip", true, false, true);
      else
        drop(kUnZip);
    } else {
      FIsInfoZip = true;
      ::Bind(m, F->Wiz_SingleEntryUnzip, "Wiz_SingleEntryUnzip");
      ::Bind(m, F->Wiz_UnzipToMemory, "Wiz_UnzipToMemory");
      ::Bind(m, F->Wiz_Validate, "Wiz_Validate");
    }
  }
  if (DllOptions.Contains(aoNoInstRar) || !(FLibs[kRar] = load("unrar.dll"))) {
    RarBusy = true;
  } else {
    HMODULE m = FLibs[kRar];
    ::Bind(m, F->RAROpenArchive, "RAROpenArchive");
    ::Bind(m, F->RARCloseArchive, "RARCloseArchive");
    ::Bind(m, F->RARReadHeader, "RARReadHeader");
    ::Bind(m, F->RARProcessFile, "RARProcessFile");
    ::Bind(m, F->RARSetChangeVolProc, "RARSetChangeVolProc");
    ::Bind(m, F->RARSetProcessDataProc, "RARSetProcessDataProc");
    ::Bind(m, F->RARSetPassword, "RARSetPassword");
    FRarVersion = 1;
  }
  bool zipBound = false;
  if (!DllOptions.Contains(aoNoInstZip) && (FLibs[kZip] = load("zip32.dll"))) {
    HMODULE m = FLibs[kZip];
    FnZpVersion zpVersion = nullptr;
    ::Bind(m, zpVersion, "ZpVersion");
    if (zpVersion) {
      ZpVer v{};
      v.structlen = sizeof(ZpVer);
      zpVersion(&v);
      FZipVersion = static_cast<uint16_t>(v.zip.major * 100 + v.zip.minor);
      FZipPatchVersion = v.zip.patchlevel;
    }
    if (zpVersion && FZipVersion >= 203) {
      ::Bind(m, F->ZpInit, "ZpInit");
      ::Bind(m, F->ZpSetOptions, "ZpSetOptions");
      ::Bind(m, F->ZpArchive, "ZpArchive");
      zipBound = true;
    } else {
      drop(kZip);
    }
  }
  if (!zipBound) {
    FZipVersion = 0;
    ZipBusy = true;
  }

  for (TCommonLib* l : {&F->Lha, &F->Arj, &F->UnZip, &F->Tar, &F->Cab}) {
    if (l->SetBackGroundMode) l->SetBackGroundMode(FBackGround);
    if (l->SetCursorMode) l->SetCursorMode(FCursor);
  }
}

void TArchiver::SetBackGround(bool Value) {
  if (Value == FBackGround) return;
  FBackGround = Value;
  for (TCommonLib* l : {&F->Lha, &F->Arj, &F->UnZip, &F->Tar, &F->Cab})
    if (l->SetBackGroundMode) l->SetBackGroundMode(Value);
}

void TArchiver::SetCursor(bool Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  for (TCommonLib* l : {&F->Lha, &F->Arj, &F->UnZip, &F->Tar, &F->Cab})
    if (l->SetCursorMode) l->SetCursorMode(Value);
}

void TArchiver::SetBaseDir(const std::string& Value) {
  // Held without its separator (C:\ too): the commands add one back.
  FBaseDir = arc::without_separator(Value);
}

void TArchiver::WndProc(TMessage& Message) {
  if (WM_ARCEXTRACT != 0 && Message.Msg == WM_ARCEXTRACT) {
    if (OnExtract) {
      try {
        int32_t result = static_cast<int32_t>(Message.Result);
        OnExtract(this, static_cast<int32_t>(Message.WParam), reinterpret_cast<LPExtractingInfo>(Message.LParam),
                  result);
        Message.Result = result;
      } catch (...) {
        ApplicationHandleException(this);
      }
    }
    return;
  }
  Message.Result = DefWindowProcA(FHandle, Message.Msg, Message.WParam, Message.LParam);
}

HWND TArchiver::OwnerHandle() const { return Owner() ? Owner()->GetHandle() : nullptr; }

bool TArchiver::GetRunning(bool ForPack) {
  switch (FArcMode) {
    case amRar: return FLibs[kRar] ? RarBusy : true;
    case amZip:
      if (ForPack) return ZipBusy;
      if (FIsInfoZip) return InfoZipBusy;
      break;
    default: break;
  }
  const TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
  return l && l->GetRunning ? l->GetRunning() != 0 : true;
}

bool TArchiver::IsLhaOrZip() const { return FArcMode == amLha || FArcMode == amZip; }

bool TArchiver::CanModify() const {
  return FArcMode == amLha || (FArcMode == amZip && FZipVersion != 0) || FArcMode == amBga;
}

// ---- detection and the entry walk ----

void TArchiver::SetArcName(const std::string& Value) {
  CloseArchive();
  FArcName = Value;
  FFallbackDate = 0;
  DetectMode();
}

void TArchiver::SetMode(TArchiverMode Value) {
  CloseArchive();
  FMode = Value;
  DetectMode();
}

void TArchiver::DetectMode() {
  if (FMode != amAuto) {
    FArcMode = FMode;
    return;
  }
  std::string ext = engine::LowerAscii(engine::ExtractFileExt(FArcName));
  FExeExt = ext == ".exe";
  CallScope scope(this);
  if (Checks(F->Lha.CheckArchive, FArcName)) {
    FArcMode = amLha;
    return;
  }
  if (Checks(F->UnZip.CheckArchive, FArcName)) {
    FArcMode = amZip;
    return;
  }
  if (F->Wiz_Validate) {
    std::string path = FArcName;
    if ((F->Wiz_Validate(path.data(), 0) & 0xFF) != 0) {
      FArcMode = amZip;
      return;
    }
  }
  if (Checks(F->Arj.CheckArchive, FArcName)) {
    FArcMode = amArj;
    return;
  }
  if (Checks(F->Cab.CheckArchive, FArcName)) {
    FArcMode = amCab;
    return;
  }
  if (Checks(F->Bga.CheckArchive, FArcName)) {
    FArcMode = amBga;
    return;
  }
  if (ext == ".lzh") FArcMode = amLha;
  else if (ext == ".arj") FArcMode = amArj;
  else if (ext == ".zip") FArcMode = amZip;
  else if (ext == ".cab") FArcMode = amCab;
  else if (ext == ".rar") FArcMode = amRar;
  else if (ext == ".gza" || ext == ".bza") FArcMode = amBga;
  else if (ext == ".tar" || ext == ".tgz" || ext == ".taz") FArcMode = amTar;
  else if (ext == ".gz" || ext == ".z" || ext == ".bz2") {
    std::string inner = FArcName.substr(0, FArcName.size() - ext.size());
    FArcMode = engine::LowerAscii(engine::ExtractFileExt(inner)) == ".tar" ? amTar : amGz;
  } else {
    FArcMode = amAuto;
  }
}

int TArchiver::OpenModeFor() const { return FArcMode == amArj ? static_cast<int>(kOpenModeArj) : kOpenMode; }

namespace {

uint16_t EntryRatio(const RARHeaderData& h) {
  if (h.UnpSize == 0) return 0;
  return static_cast<uint16_t>(static_cast<uint64_t>(h.PackSize) * 1000 / h.UnpSize);
}

void CopyRarHeader(const RARHeaderData& h, TArcEntryRec& e) {
  e.dwOriginalSize = h.UnpSize;
  e.dwCompressedSize = h.PackSize;
  e.dwCRC = h.FileCRC;
  e.uOSType = h.HostOS;
  e.wRatio = EntryRatio(h);
}

}  // namespace

// The current entry's sizes: the record's, unless the library answers the
// full ones (entries of 4 GB and more).
void TArchiver::TakeEntrySizes(TCommonLib* Lib) {
  FFindOriginalSize = FEntry.dwOriginalSize;
  FFindCompressedSize = FEntry.dwCompressedSize;
  if (!Lib || !FArcHandle) return;
  int64_t v = 0;
  if (Lib->GetOriginalSizeEx && Lib->GetOriginalSizeEx(FArcHandle, &v) && v >= 0)
    FFindOriginalSize = static_cast<uint64_t>(v);
  v = 0;
  if (Lib->GetCompressedSizeEx && Lib->GetCompressedSizeEx(FArcHandle, &v) && v >= 0)
    FFindCompressedSize = static_cast<uint64_t>(v);
}

int TArchiver::FindFirst(const std::string& Wildcard) {
  FArcOriginalSize = 0;
  FArcCompressedSize = 0;
  FFindFailure.clear();
  if (FArcName.empty()) return -1;
  CallScope scope(this);
  int result;
  if (FArcMode == amRar) {
    if (!FRarHandle) {
      if (!F->RAROpenArchive) return -1;
      FRarOpen = {};
      FRarOpen.ArcName = FArcName.data();
      FRarOpen.OpenMode = 0;
      FRarHandle = F->RAROpenArchive(&FRarOpen);
      if (FRarHandle && FRarOpen.OpenResult != 0) {
        if (F->RARCloseArchive) F->RARCloseArchive(FRarHandle);
        FRarHandle = nullptr;
      }
      if (!FRarHandle) {
        const int code = FRarOpen.OpenResult ? static_cast<int>(FRarOpen.OpenResult) : ERAR_EOPEN;
        FFindFailure = code == ERAR_EOPEN ? "書庫を開けません" : engine::RarFailureText(code);
      }
    }
    if (!FRarHandle || !F->RARReadHeader || !F->RARProcessFile) return -1;
    result = F->RARReadHeader(FRarHandle, &FRarHeader);
    if (result < 2) {
      CopyRarHeader(FRarHeader, FEntry);
      result = F->RARProcessFile(FRarHandle, RAR_SKIP, nullptr, nullptr);
    }
    if (result != 0 && result != ERAR_END_ARCHIVE) FFindFailure = engine::RarFailureText(result);
    if (result == 0) TakeEntrySizes(nullptr);
  } else if (FArcMode == amZip && FIsInfoZip) {
    result = InfoZipFindFirst(Wildcard);
    if (result == 0) TakeEntrySizes(nullptr);
    else if (result != -1) FFindFailure = "書庫を読めません (" + std::to_string(result) + ")";
  } else {
    TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
    if (!l) FFindFailure = "対応していない形式です";
    if (!FArcHandle) {
      if (!l || !l->OpenArchive) return -1;
      FArcHandle = l->OpenArchive(OwnerHandle(), FArcName.c_str(), static_cast<uint32_t>(OpenModeFor()));
    }
    if (!FArcHandle) {
      FFindFailure = "書庫を開けません (壊れているか、形式が違います)";
      return -1;
    }
    if (!l->FindFirst) return -1;
    std::string list = Wildcard;
    list.push_back('\0');  // the pattern list ends with an empty pattern
    result = l->FindFirst(FArcHandle, list.c_str(), &FEntry);
    if (result == 0) TakeEntrySizes(l);
  }
  if (result == 0) {
    FArcOriginalSize = static_cast<int64_t>(FFindOriginalSize);
    FArcCompressedSize = static_cast<int64_t>(FFindCompressedSize);
  }
  return result;
}

int TArchiver::FindNext() {
  CallScope scope(this);
  int result;
  if (FArcMode == amRar) {
    if (!FRarHandle || !F->RARReadHeader || !F->RARProcessFile) return -1;
    do {
      result = F->RARReadHeader(FRarHandle, &FRarHeader);
      if (result < 2) {
        CopyRarHeader(FRarHeader, FEntry);
        result = F->RARProcessFile(FRarHandle, RAR_SKIP, nullptr, nullptr);
      }
      if (result != 0) {
        if (result != ERAR_END_ARCHIVE) FFindFailure = engine::RarFailureText(result);
        return result;
      }
    } while (FRarHeader.Flags & 1);  // continued from the previous volume
    TakeEntrySizes(nullptr);
  } else if (FArcMode == amZip && FIsInfoZip) {
    result = ArcFileList ? ArcFileList->PopFirst(&FEntry) : -1;
    if (result == 0) TakeEntrySizes(nullptr);
  } else {
    TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
    if (!FArcHandle || !l || !l->FindNext) return -1;
    result = l->FindNext(FArcHandle, &FEntry);
    if (result == 0) TakeEntrySizes(l);
  }
  if (result == 0) {
    FArcOriginalSize += static_cast<int64_t>(FFindOriginalSize);
    FArcCompressedSize += static_cast<int64_t>(FFindCompressedSize);
  }
  return result;
}

int TArchiver::CloseArchive() {
  if (FArcMode == amRar) {
    if (!FRarHandle) return -1;
    int r = F->RARCloseArchive ? F->RARCloseArchive(FRarHandle) : -1;
    FRarHandle = nullptr;
    return r;
  }
  if (FArcMode == amZip && FIsInfoZip) {
    if (ArcFileList) ArcFileList->Clear();
    return 0;
  }
  if (!FArcHandle) return -1;
  TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
  int r = l && l->CloseArchive ? l->CloseArchive(FArcHandle) : -1;
  FArcHandle = nullptr;
  return r;
}

std::string TArchiver::GetFindName() const {
  if (FArcMode == amRar) return std::string(FRarHeader.FileName, strnlen(FRarHeader.FileName, 260));
  return std::string(FEntry.szFileName, strnlen(FEntry.szFileName, sizeof FEntry.szFileName));
}

std::string TArchiver::GetFindMode() const {
  if (FArcMode == amRar) {
    unsigned dict = (FRarHeader.Flags >> 5) & 7;
    if (dict == 7) return "dir";
    return "rar" + std::to_string(dict);
  }
  return std::string(FEntry.szMode, strnlen(FEntry.szMode, sizeof FEntry.szMode));
}

std::string TArchiver::GetFindAttribute() const {
  return std::string(FEntry.szAttribute, strnlen(FEntry.szAttribute, sizeof FEntry.szAttribute));
}

TDateTime TArchiver::GetFindDate() {
  uint32_t dos = FArcMode == amRar ? FRarHeader.FileTime
                                   : (static_cast<uint32_t>(FEntry.wDate) << 16) | FEntry.wTime;
  TDateTime d;
  if (engine::DosDateTimeToDateTime(dos, d)) return d;
  if (FFallbackDate == 0) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    FILETIME local;
    WORD dd, tt;
    if (GetFileAttributesExA(FArcName.c_str(), GetFileExInfoStandard, &a) &&
        FileTimeToLocalFileTime(&a.ftLastWriteTime, &local) && FileTimeToDosDateTime(&local, &dd, &tt)) {
      TDateTime f;
      if (engine::DosDateTimeToDateTime((static_cast<uint32_t>(dd) << 16) | tt, f)) FFallbackDate = f;
    }
  }
  return FFallbackDate;
}

// ---- shared helpers ----

namespace engine {

void ProcessMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ExtractFileExt(const std::string& path) {
  size_t start = path.size() - arc::base_name(path).size();
  size_t dot = std::string::npos;
  for (size_t i = start; i < path.size(); ++i) {
    if (arc::is_lead(static_cast<unsigned char>(path[i]))) {
      ++i;
      continue;
    }
    if (path[i] == '.') dot = i;
  }
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  return path.substr(0, path.size() - ExtractFileExt(path).size()) + ext;
}

std::string LowerAscii(const std::string& s) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) {
    if (arc::is_lead(static_cast<unsigned char>(r[i]))) {
      ++i;
      continue;
    }
    if (r[i] >= 'A' && r[i] <= 'Z') r[i] = static_cast<char>(r[i] - 'A' + 'a');
  }
  return r;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DosDateTimeToDateTime(uint32_t dos, TDateTime& out) {
  int year = static_cast<int>((dos >> 25) & 0x7F) + 1980;
  int month = static_cast<int>((dos >> 21) & 0x0F);
  int day = static_cast<int>((dos >> 16) & 0x1F);
  int hour = static_cast<int>((dos >> 11) & 0x1F);
  int minute = static_cast<int>((dos >> 5) & 0x3F);
  int second = static_cast<int>(dos & 0x1F) * 2;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int dim = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > dim || hour > 23 || minute > 59 || second > 59) return false;
  // Day 0 of a date-time is 1899-12-30, 25,569 days before 1970-01-01.
  const int64_t days = arc::days_from_civil(year, month, day) + 25569;
  out = days + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

uint16_t InfoZipDosDate(char order, unsigned a, unsigned b, unsigned c) {
  unsigned year, month, day;
  if (order == '1') {
    year = c, month = b, day = a;
  } else if (order == '2') {
    year = a, month = b, day = c;
  } else {
    year = c, month = a, day = b;
  }
  year %= 100;  // a library that hands a four-digit year still lands right
  unsigned field = year < 80 ? year + 20 : year - 80;
  return static_cast<uint16_t>(field * 512 + month * 32 + day);
}

void PlaceAtCursor(int cursorX, int cursorY, int width, int height, int screenW, int screenH, int& left,
                   int& top) {
  top = cursorY - height / 2;
  left = cursorX - width / 2;
  if (top + height > screenH) top = screenH - height;
  if (left + width > screenW) left = screenW - width;
  // Never above or left of the screen either: the title bar stays in reach.
  if (top < 0) top = 0;
  if (left < 0) left = 0;
}

}  // namespace engine
