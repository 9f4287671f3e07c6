// The archive engine: binds the archiver libraries found at run time, detects
// an archive's type, walks its entries with one find-first/find-next pair and
// runs every archive operation through the library that serves the format.
// Nothing here throws across the interface: answers are 0/-1 or booleans.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "arcapi.h"

using TDateTime = double;  // days since 1899-12-30, fraction = time of day

enum TArchiverMode : uint16_t {
  amAuto = 0,
  amLha,
  amArj,
  amZip,
  amTar,
  amCab,
  amGz,
  amRar,
  amBga,
};

// A small set over an enumeration: bit n for the n-th member.
template <class E, class Bits>
struct TSmallSet {
  Bits Value = 0;
  constexpr TSmallSet() = default;
  constexpr TSmallSet(std::initializer_list<E> items) {
    for (E e : items) Value |= Bit(e);
  }
  static constexpr Bits Bit(E e) { return static_cast<Bits>(Bits(1) << static_cast<unsigned>(e)); }
  constexpr bool Contains(E e) const { return (Value & Bit(e)) != 0; }
  constexpr TSmallSet& Include(E e) {
    Value |= Bit(e);
    return *this;
  }
  constexpr TSmallSet& Exclude(E e) {
    Value &= static_cast<Bits>(~Bit(e));
    return *this;
  }
  constexpr bool Empty() const { return Value == 0; }
  constexpr void Clear() { Value = 0; }
  constexpr bool operator==(const TSmallSet& o) const { return Value == o.Value; }
};

enum TArchiverOption : uint8_t {
  ar_NoFolder = 0,
  ar_OverWrite,
  ar_All,
  ar_Silent,
  ar_Date,
  ar_noPack,
  ar_Multi,
  ar_BZ2,
  ar_NoAtr,
  ar_Passwd,
  ar_DelPath,
  ar_SFX32M,
  ar_NoRoot,
  ar_Force,
};
using TArchiverOptions = TSmallSet<TArchiverOption, uint16_t>;
static_assert(sizeof(TArchiverOptions) == 2);

enum TArchiverDLLopt : uint8_t {
  aoNoInstLha = 0,
  aoNoInstArj,
  aoNoInstZip,
  aoNoInstTar,
  aoNoInstCab,
  aoNoInstRar,
  aoNoInstBga,
};
using TArchiverDLLopts = TSmallSet<TArchiverDLLopt, uint8_t>;
static_assert(sizeof(TArchiverDLLopts) == 1);

// The libraries' extracting-progress record, passed through unread.
using LPExtractingInfo = void*;

class TArchiver;
struct TCommonLib;
struct TCommonFormat;
using TArcExtractEvent =
    std::function<void(TArchiver* Sender, int32_t _nMode, LPExtractingInfo _lpEis, int32_t& Result)>;

// The entry record of the common interface (558 bytes).
using TArcEntryRec = arcapi::IndividualInfo;

// First-in first-out queue of entry records: the Info-ZIP listing pushes
// every entry at once, find-next drains it.
class TArcFileList {
 public:
  void Clear() { FItems.clear(); }
  // A new record at the end (zeroed); null when no memory is left.
  TArcEntryRec* Add();
  // Copies the first record to dest and drops it: 0, or -1 when empty.
  int PopFirst(TArcEntryRec* dest);
  size_t Count() const { return FItems.size(); }

 private:
  std::deque<TArcEntryRec> FItems;
};

// The one list shared by every engine (null while no engine exists).
extern TArcFileList* ArcFileList;

// Busy flags shared by every engine; they keep a second operation from
// starting while a library pumps messages.
extern bool RarBusy;
extern bool InfoZipBusy;
extern bool ZipBusy;

class TArchiver : public TComponent {
 public:
  explicit TArchiver(TComponent* AOwner);
  ~TArchiver() override;
  void Loaded() override;

  // Versions of the bound libraries (0 when absent).
  uint16_t UnLhaVersion() const { return FUnLhaVersion; }
  uint16_t UnArjVersion() const { return FUnArjVersion; }
  uint16_t UnZipVersion() const { return FUnZipVersion; }
  uint16_t UnZipPatchVersion() const { return FUnZipPatchVersion; }
  uint16_t ZipVersion() const { return FZipVersion; }
  uint16_t ZipPatchVersion() const { return FZipPatchVersion; }
  uint16_t TarVersion() const { return FTarVersion; }
  uint16_t CabVersion() const { return FCabVersion; }
  uint16_t RarVersion() const { return FRarVersion; }
  uint16_t BgaVersion() const { return FBgaVersion; }
  uint16_t UnLhaSubVersion() const { return FUnLhaSubVersion; }
  uint16_t UnArjSubVersion() const { return FUnArjSubVersion; }
  int64_t ArcOriginalSize() const { return FArcOriginalSize; }
  int64_t ArcCompressedSize() const { return FArcCompressedSize; }

  bool BackGround() const { return FBackGround; }
  void SetBackGround(bool Value);
  bool Cursor() const { return FCursor; }
  void SetCursor(bool Value);
  TArchiverMode Mode() const { return FMode; }
  void SetMode(TArchiverMode Value);
  TArchiverDLLopts DllOptions;  // read once, by Loaded
  TArchiverOptions ArcOptions;
  int32_t Level = 0;
  const std::string& BaseDir() const { return FBaseDir; }
  void SetBaseDir(const std::string& Value);
  TArchiverMode ArcMode() const { return FArcMode; }

  // The current entry.
  std::string GetFindName() const;
  TDateTime GetFindDate();
  std::string GetFindAttribute() const;
  std::string GetFindMode() const;
  std::string FindName() const { return GetFindName(); }
  TDateTime FindDate() { return GetFindDate(); }
  std::string FindAttribute() const { return GetFindAttribute(); }
  std::string FindMode() const { return GetFindMode(); }
  // The record's sizes, or the library's 64-bit answers where it gives them.
  uint64_t FindOriginalSize() const { return FFindOriginalSize; }
  uint64_t FindCompressedSize() const { return FFindCompressedSize; }
  // Why the last FindFirst could not read the archive (or the RAR walk
  // stopped early); empty when it could, an empty archive included.
  const std::string& FindFailure() const { return FFindFailure; }
  uint32_t FindCRC() const { return FEntry.dwCRC; }
  uint32_t FindOSType() const { return FEntry.uOSType; }
  uint16_t FindRatio() const { return FEntry.wRatio; }

  bool ExeExt() const { return FExeExt; }
  bool NoMessage = false;
  TArcExtractEvent OnExtract;

  const std::string& ArcName() const { return FArcName; }
  void SetArcName(const std::string& Value);
  const std::string& OutName() const { return FOutName; }
  bool IsInfoZip() const { return FIsInfoZip; }
  // The hidden window that receives "wm_arcextract".
  HWND WindowHandle() const { return FHandle; }

  // Queries asked before every operation.
  bool GetRunning(bool ForPack);
  bool IsLhaOrZip() const;
  bool CanModify() const;

  // Detection and the entry walk.
  void DetectMode();
  int FindFirst(const std::string& Wildcard);
  int FindNext();
  int CloseArchive();

  // Operations on the current archive. Buffers are the caller's output text
  // buffers (log), never written past Size.
  int Command(const std::string& Cmd, char* Buffer, uint32_t Size);
  int ExtractMem(const std::string& Cmd, uint8_t* Target, uint32_t Size, uint32_t* Written);
  bool Extract(TStrings& Names, char* Buffer, uint32_t Size);
  bool ExtractToMem(const std::string& Name, uint8_t* Target, uint32_t Size);
  bool Pack(TStrings& Names, char* Buffer, uint32_t Size);
  bool DeleteFiles(TStrings& Names, char* Buffer, uint32_t Size);
  bool TestArchive(char* Buffer, uint32_t Size);
  bool MakeSfx(std::string& OutPath, char* Buffer, uint32_t Size);
  bool SfxToArchive(std::string& OutPath, char* Buffer, uint32_t Size);
  bool ConfirmOverwrite(const std::string& Path);
  static void CopyFileTime(const std::string& Source, const std::string& Dest);
  static bool ExtractCabFromExe(const std::string& Source, const std::string& Dest);

  // RAR back-end (unrar.dll).
  bool ExtractRar(TStrings* Names, char* Buffer, uint32_t Size);
  bool ExtractRarToMem(const std::string& Name, uint8_t* Target, uint32_t Size);

  // Info-ZIP back-end (unzip32.dll of that kind, zip32.dll).
  bool ZipRun(TStrings* Names, char* Buffer, uint32_t Size);
  int InfoZipFindFirst(const std::string& Wildcard);
  bool InfoZipExtract(TStrings& Names, char* Buffer, uint32_t Size);
  bool InfoZipToMem(const std::string& Name, uint8_t* Target, uint32_t Size);
  bool InfoZipTest(char* Buffer, uint32_t Size);

 protected:
  void WndProc(TMessage& Message);

 public:
  // Internals of the engine's own modules.
  struct Entries;    // bound entry points
  struct CallScope;  // keeps libraries alive while a call runs

 private:
  // The format table names where each library's versions are kept.
  friend const std::vector<TCommonFormat>& CommonFormats();
  void Bind();
  HWND OwnerHandle() const;
  int OpenModeFor() const;

  uint16_t FUnLhaVersion = 0, FUnArjVersion = 0, FUnZipVersion = 0, FUnZipPatchVersion = 0;
  uint16_t FZipVersion = 0, FZipPatchVersion = 0, FTarVersion = 0, FCabVersion = 0;
  uint16_t FRarVersion = 0, FBgaVersion = 0, FUnLhaSubVersion = 0, FUnArjSubVersion = 0;
  int64_t FArcOriginalSize = 0, FArcCompressedSize = 0;
  bool FBackGround = false, FCursor = false;
  TArchiverMode FMode = amAuto, FArcMode = amAuto;
  std::string FBaseDir;
  bool FExeExt = false;

  HMODULE FLibs[8] = {};  // unlha32, unarj32j, unzip32, zip32, tar32, cab32, unrar, bga32
  std::string FArcName;
  std::string FOutName;
  TArcEntryRec FEntry{};
  uint64_t FFindOriginalSize = 0, FFindCompressedSize = 0;
  std::string FFindFailure;
  void TakeEntrySizes(TCommonLib* Lib);
  arcapi::HARC FArcHandle = nullptr;
  void* FRarHandle = nullptr;
  arcapi::RARHeaderData FRarHeader{};
  arcapi::RAROpenArchiveData FRarOpen{};
  HWND FHandle = nullptr;
  TDateTime FFallbackDate = 0;
  bool FIsInfoZip = false;
  std::unique_ptr<Entries> F;
  std::shared_ptr<bool> FAlive;  // cleared by the destructor; calls in flight look at it
};
