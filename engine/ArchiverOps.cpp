// Archive operations: each format's command text put together from the words
// of its row in the format table, sent to the library that serves the format.
#include <cstring>
#include <vector>

#include "Archiver.h"
#include "ArchiverImpl.h"
#include "text.h"

using namespace arcapi;
using engine::Quoted;

namespace {

std::string AppendNames(std::string s, const TStrings& names) {
  for (int i = 0; i < names.Count(); ++i) {
    s += " \"";
    s += names[i];
    s += '"';
  }
  return s;
}

// An option's word added to a command text (a format without that word adds
// nothing); a lead goes in front of all the words so far.
void AddWord(std::string& s, const char* w) {
  if (w) s += w;
}
void LeadWord(std::string& s, const char* w) {
  if (w) s.insert(0, w);
}

std::string ProgramFolder() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, n);
  return arc::dir_part(p);
}

std::string SystemFolder() {
  char buf[MAX_PATH];
  UINT n = GetSystemDirectoryA(buf, MAX_PATH);
  return arc::with_separator(std::string(buf, n));
}

// Appends a file's whole content to an open file.
bool AppendFile(HANDLE out, const std::string& source) {
  HANDLE in = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  std::vector<char> buf(1 << 16);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    DWORD put = 0;
    if (!WriteFile(out, buf.data(), got, &put, nullptr) || put != got) {
      ok = false;
      break;
    }
  }
  CloseHandle(in);
  return ok;
}

// True when both paths name the same file (the made file would replace the
// archive it is made from).
bool SamePath(const std::string& a, const std::string& b) {
  char fa[MAX_PATH * 2], fb[MAX_PATH * 2];
  DWORD na = GetFullPathNameA(a.c_str(), sizeof fa, fa, nullptr);
  DWORD nb = GetFullPathNameA(b.c_str(), sizeof fb, fb, nullptr);
  if (na == 0 || na >= sizeof fa || nb == 0 || nb >= sizeof fb) return lstrcmpiA(a.c_str(), b.c_str()) == 0;
  return lstrcmpiA(fa, fb) == 0;
}

}  // namespace

int TArchiver::Command(const std::string& Cmd, char* Buffer, uint32_t Size) {
  TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
  if (!l || !l->Command) return -1;
  CallScope scope(this);
  // Locals: the library may pump messages and the engine may go meanwhile.
  FnCommand command = l->Command;
  FnSetOwnerWindow setOwner = NoMessage ? nullptr : l->SetOwnerWindow;
  FnClearOwnerWindow clearOwner = l->ClearOwnerWindow;
  bool owned = setOwner && setOwner(FHandle) != 0;
  int r = command(OwnerHandle(), Cmd.c_str(), Buffer, Size);
  if (owned && clearOwner) clearOwner();
  return r;
}

int TArchiver::ExtractMem(const std::string& Cmd, uint8_t* Target, uint32_t Size, uint32_t* Written) {
  TCommonLib* l = CommonLibFor(*F, FArcMode, FIsInfoZip);
  FnExtractMem f = l ? l->ExtractMem : nullptr;
  if (!f) return -1;
  CallScope scope(this);
  return f(OwnerHandle(), Cmd.c_str(), Target, Size, nullptr, nullptr, Written);
}

bool TArchiver::Extract(TStrings& Names, char* Buffer, uint32_t Size) {
  if (FArcMode == amRar) return ExtractRar(&Names, Buffer, Size);
  if (FArcMode == amZip && FIsInfoZip) return InfoZipExtract(Names, Buffer, Size);
  const TCommonFormat* f = CommonFormatOf(FArcMode);
  if (!f) return false;
  const TExtractWords& w = f->Extract;
  const TArchiverOptions o = ArcOptions;
  const bool O = o.Contains(ar_OverWrite), N = o.Contains(ar_NoFolder);
  std::string s = w.Verb[O && N ? 0 : O ? 1 : N ? 2 : 3];
  if (o.Contains(ar_NoRoot)) AddWord(s, w.NoRoot);
  if (N) LeadWord(s, f->NoFolderLead);
  if (o.Contains(ar_Silent)) {
    AddWord(s, w.Silent);
    LeadWord(s, f->SilentLead);
  }
  if (o.Contains(ar_Force)) AddWord(s, w.Force);
  AddWord(s, o.Contains(ar_All) ? w.All : w.NotAll);
  if (o.Contains(ar_Multi)) AddWord(s, w.Multi);
  s += Quoted(FArcName) + " " + Quoted(FBaseDir + "\\");
  if (!f->SingleFile) s = AppendNames(s, Names);
  return Command(s, Buffer, Size) == 0;
}

bool TArchiver::ExtractToMem(const std::string& Name, uint8_t* Target, uint32_t Size) {
  if (FArcMode == amRar) return ExtractRarToMem(Name, Target, Size);
  if (FArcMode == amZip && FIsInfoZip) return InfoZipToMem(Name, Target, Size);
  const TCommonFormat* f = CommonFormatOf(FArcMode);
  if (!f || !f->ToMem.Verb) return false;
  std::string s = f->ToMem.Verb;
  if (ArcOptions.Contains(ar_Silent)) {
    AddWord(s, f->ToMem.Silent);
    LeadWord(s, f->SilentLead);
  }
  s += Quoted(FArcName) + " " + Quoted(Name);
  if (f->ToMem.ByExtractMem) return ExtractMem(s, Target, Size, nullptr) == 0;
  return Command(s, reinterpret_cast<char*>(Target), Size) == 0;
}

bool TArchiver::Pack(TStrings& Names, char* Buffer, uint32_t Size) {
  const TArchiverMode m = FArcMode;
  const TArchiverOptions o = ArcOptions;
  if (m == amZip) {
    if (!F->ZpArchive) return false;
    engine::ResetZipOptions();
    ZPOPT& z = engine::ZipOptions();
    // A root folder that does not fit would pack from the wrong place.
    if (!engine::SetRootDir(FBaseDir)) return false;
    z.fUpdate = engine::FileExists(FArcName) && !o.Contains(ar_OverWrite) ? -1 : 0;
    z.fNoDirEntries = -1;
    z.fJunkDir = o.Contains(ar_NoFolder) ? -1 : 0;
    z.fLevel = Level >= 1 && Level <= 9 ? static_cast<char>('0' + Level) : '0';
    z.fSystem = o.Contains(ar_All) ? -1 : 0;
    z.fLatestTime = o.Contains(ar_Date) ? -1 : 0;
    z.fRecurse = 1;
    z.szRootDir = engine::RootDir();
    z.fEncrypt = o.Contains(ar_Passwd) ? -1 : 0;
    return ZipRun(&Names, Buffer, Size);
  }
  // ARJ and RAR are read-only here.
  const TCommonFormat* f = CommonFormatOf(m);
  if (!f || !f->Pack.Verb[0]) return false;
  const TPackWords& w = f->Pack;
  std::string s = w.Verb[o.Contains(ar_OverWrite) ? 0 : 1];
  if (o.Contains(ar_All)) AddWord(s, w.All);
  else if (f->Version && this->*f->Version >= w.NotAllFrom) AddWord(s, w.NotAll);
  if (o.Contains(ar_Silent)) {
    AddWord(s, w.Silent);
    LeadWord(s, f->SilentLead);
  }
  if (o.Contains(ar_Date)) AddWord(s, w.Date);
  if (!o.Contains(ar_NoFolder)) AddWord(s, w.Folders);
  if (w.Level) s += w.Level(Level, o.Contains(ar_BZ2));
  if (o.Contains(ar_Multi)) AddWord(s, w.Multi);
  if (o.Contains(ar_NoFolder)) LeadWord(s, f->NoFolderLead);
  const std::string arcName = FArcName;
  s += Quoted(arcName) + " ";
  if (f->SingleFile) {
    std::string inner = engine::ChangeFileExt(arc::base_name(arcName), "");
    s += Quoted(FBaseDir + "\\" + inner);
    return Command(s, Buffer, Size) == 0;
  }
  s += Quoted(FBaseDir + "\\");
  s = AppendNames(s, Names);
  CallScope scope(this);
  bool ok = Command(s, Buffer, Size) == 0;
  // The spanned set is named after its first volume; nothing to name when
  // the packing failed.
  if (ok && scope.Alive() && w.FirstVolume && o.Contains(ar_Multi))
    FArcName = engine::ChangeFileExt(arcName, w.FirstVolume);
  return ok;
}

bool TArchiver::DeleteFiles(TStrings& Names, char* Buffer, uint32_t Size) {
  if (FArcMode == amZip) {
    if (!F->ZpArchive) return false;
    engine::ResetZipOptions();
    ZPOPT& z = engine::ZipOptions();
    z.fDeleteEntries = -1;
    z.fLatestTime = ArcOptions.Contains(ar_Date) ? -1 : 0;
    return ZipRun(&Names, Buffer, Size);
  }
  const TCommonFormat* f = CommonFormatOf(FArcMode);
  if (!f || !f->Delete.Verb[0]) return false;
  std::string s = f->Delete.Verb[ArcOptions.Contains(ar_DelPath) ? 0 : 1];
  if (ArcOptions.Contains(ar_Date)) AddWord(s, f->Delete.Date);
  s = AppendNames(s + Quoted(FArcName), Names);
  return Command(s, Buffer, Size) == 0;
}

bool TArchiver::TestArchive(char* Buffer, uint32_t Size) {
  if (FArcMode == amZip && FIsInfoZip) return InfoZipTest(Buffer, Size);
  const TCommonFormat* f = CommonFormatOf(FArcMode);
  if (!f || !f->Test) return false;
  return Command(f->Test + Quoted(FArcName), Buffer, Size) == 0;
}

bool TArchiver::ConfirmOverwrite(const std::string& Path) {
  if (GetFileAttributesA(Path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  int r = MessageBoxA(OwnerHandle(), "ファイルはすでに存在しています。\r\n\r\n上書きしてもよろしいですか?", "Tovix",
                      MB_ICONWARNING | MB_YESNO);
  if (r != IDYES) return false;
  // A file that cannot be removed cannot be replaced either.
  return DeleteFileA(Path.c_str()) != 0;
}

void TArchiver::CopyFileTime(const std::string& Source, const std::string& Dest) {
  FILETIME t;
  HANDLE s = CreateFileA(Source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (s == INVALID_HANDLE_VALUE) return;
  bool have = GetFileTime(s, nullptr, nullptr, &t) != 0;
  CloseHandle(s);
  if (!have) return;
  HANDLE d = CreateFileA(Dest.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (d == INVALID_HANDLE_VALUE) return;
  SetFileTime(d, nullptr, nullptr, &t);
  CloseHandle(d);
}

bool TArchiver::MakeSfx(std::string& OutPath, char* Buffer, uint32_t Size) {
  const TArchiverMode m = FArcMode;
  // Only a format that can be made self-extracting may touch an existing
  // program file.
  const TCommonFormat* f = CommonFormatOf(m);
  if (m == amZip) {
    // A busy zip32 would fail only after the question was answered.
    if (!F->ZpArchive || ZipBusy) return false;
  } else {
    TCommonLib* l = CommonLibFor(*F, m, FIsInfoZip);
    if (!f || !f->Sfx.Verb[0] || !l || !l->Command) return false;
  }
  std::string stub;
  if (m == amZip) {
    for (const std::string& dir : {ProgramFolder(), SystemFolder()}) {
      if (engine::FileExists(dir + "Sfx32gui.dat")) {
        stub = dir + "Sfx32gui.dat";
        break;
      }
    }
    if (stub.empty()) {
      MessageBoxA(OwnerHandle(), "Sfx32gui.dat が見つかりませんでした。", "Tovix", MB_ICONERROR | MB_OK);
      return false;
    }
  }
  const std::string arcName = FArcName;
  OutPath = FBaseDir + "\\" + engine::ChangeFileExt(arc::base_name(arcName), ".exe");
  FOutName = OutPath;
  // Agreeing to replace the archive itself would delete it before it is read.
  if (SamePath(OutPath, arcName) || !ConfirmOverwrite(OutPath)) return false;
  const std::string out = OutPath;
  const TArchiverOptions o = ArcOptions;
  CallScope scope(this);
  bool ok = false;
  if (m == amZip) {
    HANDLE h = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool copied = AppendFile(h, stub) && AppendFile(h, arcName);
    CloseHandle(h);
    if (copied) {
      engine::ResetZipOptions();
      engine::ZipOptions().fOffsets = -1;
      ok = ZipRun(nullptr, Buffer, Size);
    }
    if (!ok) DeleteFileA(out.c_str());  // no half-made program stays behind
  } else {
    const TSfxWords& w = f->Sfx;
    std::string s = w.Verb[o.Contains(ar_SFX32M) ? 1 : 0];
    if (o.Contains(ar_Date)) AddWord(s, w.Date);
    if (!o.Contains(ar_NoFolder)) AddWord(s, w.Folders);
    s.append(Quoted(arcName)).append(" ").append(Quoted(FBaseDir + "\\"));
    AddWord(s, w.Names);
    ok = Command(s, Buffer, Size) == 0;
  }
  if (ok && o.Contains(ar_Date)) CopyFileTime(arcName, out);
  return ok;
}

bool TArchiver::SfxToArchive(std::string& OutPath, char* Buffer, uint32_t Size) {
  const TArchiverMode m = FArcMode;
  const TCommonFormat* f = CommonFormatOf(m);
  const char* ext = f ? f->Sfx.ArchiveExt : nullptr;
  if (!ext) return false;
  const std::string arcName = FArcName;
  const TArchiverOptions o = ArcOptions;
  OutPath = FBaseDir + "\\" + engine::ChangeFileExt(arc::base_name(arcName), ext);
  FOutName = OutPath;
  const std::string out = OutPath;
  // Nothing is asked (or deleted) for a conversion that cannot run, nor when
  // the result would replace the archive it is made from.
  if (SamePath(out, arcName)) return false;
  if (m == amZip && (!F->ZpArchive || ZipBusy)) return false;
  if (m != amZip && f->Sfx.Undo) {
    TCommonLib* l = CommonLibFor(*F, m, FIsInfoZip);
    if (!l || !l->Command) return false;
  }
  CallScope scope(this);
  if (!ConfirmOverwrite(out)) return false;
  bool ok = false;
  if (m == amZip) {
    engine::ResetZipOptions();
    engine::ZipOptions().fJunkSFX = -1;
    if (CopyFileA(arcName.c_str(), out.c_str(), TRUE)) {
      ok = ZipRun(nullptr, Buffer, Size);
      if (!ok) DeleteFileA(out.c_str());
    } else if (GetLastError() != ERROR_FILE_EXISTS) {
      DeleteFileA(out.c_str());
    }
  } else if (f->Sfx.Undo) {
    std::string s = f->Sfx.Undo;
    if (o.Contains(ar_Date)) AddWord(s, f->Sfx.UndoDate);
    s += Quoted(out) + " " + Quoted(arcName);
    ok = Command(s, Buffer, Size) == 0;
  } else {
    ok = ExtractCabFromExe(arcName, out);
    arc::LogWriter log(Buffer, Size);
    log.add(ok ? "成功\r\n" : "失敗\r\n");
  }
  if (ok && o.Contains(ar_Date)) CopyFileTime(arcName, out);
  return ok;
}

bool TArchiver::ExtractCabFromExe(const std::string& Source, const std::string& Dest) {
  std::vector<uint8_t> data;
  {
    HANDLE h = CreateFileA(Source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < (int64_t(1) << 31);
    if (ok) {
      data.resize(static_cast<size_t>(size.QuadPart));
      DWORD got = 0;
      ok = data.empty() || (ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) &&
                            got == data.size());
    }
    CloseHandle(h);
    if (!ok) return false;
  }
  // The cabinet follows the stub, at 0x8000 or later. A candidate counts only
  // when its header's own size fits in what follows, so the letters showing up
  // inside the stub do not stop the search.
  static const uint8_t kSig[] = {'M', 'S', 'C', 'F', 0, 0};
  const size_t kStart = 0x8000, kHeader = 0x24;
  size_t found = std::string::npos;
  if (data.size() >= kStart + kHeader) {
    auto it = data.begin() + kStart;
    while ((it = std::search(it, data.end(), std::begin(kSig), std::end(kSig))) != data.end()) {
      size_t at = static_cast<size_t>(it - data.begin());
      if (data.size() - at >= kHeader) {
        uint32_t cb;
        std::memcpy(&cb, &data[at + 8], 4);
        if (cb >= kHeader && cb <= data.size() - at) {
          found = at;
          break;
        }
      }
      ++it;
    }
  }
  if (found == std::string::npos) return false;
  HANDLE out = CreateFileA(Dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  DWORD n = static_cast<DWORD>(data.size() - found);
  bool ok = WriteFile(out, &data[found], n, &put, nullptr) && put == n;
  CloseHandle(out);
  if (!ok) {
    DeleteFileA(Dest.c_str());
    return false;
  }
  CopyFileTime(Source, Dest);
  return true;
}
