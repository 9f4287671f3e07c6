// Pieces the engine's modules share: the table of bound entry points, the
// guard that keeps libraries loaded while a call into them runs, and the
// message-box seam.
#pragma once
#include <string>
#include <vector>

#include "Archiver.h"

// One library of the common archiver interface.
struct TCommonLib {
  arcapi::FnGetRunning GetRunning = nullptr;
  arcapi::FnSetMode SetBackGroundMode = nullptr;
  arcapi::FnSetMode SetCursorMode = nullptr;
  arcapi::FnCommand Command = nullptr;
  arcapi::FnOpenArchive OpenArchive = nullptr;
  arcapi::FnCloseArchive CloseArchive = nullptr;
  arcapi::FnFindFirst FindFirst = nullptr;
  arcapi::FnFindNext FindNext = nullptr;
  arcapi::FnCheckArchive CheckArchive = nullptr;
  arcapi::FnGetArchiveType GetArchiveType = nullptr;
  arcapi::FnConfigDialog ConfigDialog = nullptr;
  arcapi::FnSetOwnerWindow SetOwnerWindow = nullptr;
  arcapi::FnClearOwnerWindow ClearOwnerWindow = nullptr;
  arcapi::FnExtractMem ExtractMem = nullptr;
  arcapi::FnGetSizeEx GetOriginalSizeEx = nullptr;
  arcapi::FnGetSizeEx GetCompressedSizeEx = nullptr;
};

struct TArchiver::Entries {
  TCommonLib Lha, Arj, UnZip, Tar, Cab, Bga;
  arcapi::FnRAROpenArchive RAROpenArchive = nullptr;
  arcapi::FnRARCloseArchive RARCloseArchive = nullptr;
  arcapi::FnRARReadHeader RARReadHeader = nullptr;
  arcapi::FnRARProcessFile RARProcessFile = nullptr;
  arcapi::FnRARSetChangeVolProc RARSetChangeVolProc = nullptr;
  arcapi::FnRARSetProcessDataProc RARSetProcessDataProc = nullptr;
  arcapi::FnRARSetPassword RARSetPassword = nullptr;
  arcapi::FnWizSingleEntryUnzip Wiz_SingleEntryUnzip = nullptr;
  arcapi::FnWizUnzipToMemory Wiz_UnzipToMemory = nullptr;
  arcapi::FnWizValidate Wiz_Validate = nullptr;
  arcapi::FnZpInit ZpInit = nullptr;
  arcapi::FnZpSetOptions ZpSetOptions = nullptr;
  arcapi::FnZpArchive ZpArchive = nullptr;
};

// The words of one format's commands, as its library spells them. A null
// word: the format has none for that option; a null verb: it cannot do that.
struct TExtractWords {
  // By overwrite and folders: {overwrite, no folders}, {overwrite},
  // {no folders}, {neither}.
  const char* Verb[4] = {};
  const char* NoRoot = nullptr;  // the stored root folder dropped
  const char* Silent = nullptr;
  const char* Force = nullptr;   // no questions
  const char* All = nullptr;     // hidden and system files too
  const char* NotAll = nullptr;  // ... or never
  const char* Multi = nullptr;   // on across a spanned set
};
struct TPackWords {
  const char* Verb[2] = {};  // replacing, updating
  const char* All = nullptr;
  const char* NotAll = nullptr;
  uint16_t NotAllFrom = 0;   // the library version that knows NotAll
  const char* Silent = nullptr;
  const char* Date = nullptr;     // the archive takes its newest file's time
  const char* Folders = nullptr;  // names stored with their folders
  std::string (*Level)(int level, bool bz2) = nullptr;
  const char* Multi = nullptr;        // spanned over volumes
  const char* FirstVolume = nullptr;  // ... whose first one ends so
};
struct TDeleteWords {
  const char* Verb[2] = {};  // by path, recursively
  const char* Date = nullptr;
};
// The self-extractor: its program made from the archive (verbs without and
// with ar_SFX32M; the base folder follows the archive, then Names), and the
// archive taken back out of one.
struct TSfxWords {
  const char* Verb[2] = {};
  const char* Date = nullptr;
  const char* Folders = nullptr;  // unless without folders
  const char* Names = nullptr;
  const char* ArchiveExt = nullptr;  // of the archive taken out; null: cannot
  // Its verb (the new archive, then the program, follow); null: the engine
  // takes the archive out itself.
  const char* Undo = nullptr;
  const char* UndoDate = nullptr;
};
struct TToMemWords {
  const char* Verb = nullptr;
  bool ByExtractMem = false;  // through the library's ExtractMem, not its command
  const char* Silent = nullptr;
};

// A format served through the common interface of its library: which
// library, under which prefix, from which version on, with which optional
// entries, where its entries and versions are kept, and the words of its
// commands.
struct TCommonFormat {
  TArchiverMode Mode;
  const char* Dll = nullptr;     // null: bound on its own or by another row
  const char* Prefix = nullptr;  // "Unlha": UnlhaGetVersion, Unlha, UnlhaOpenArchive...
  TArchiverDLLopt NoInstall{};   // the option that keeps the library unloaded
  uint16_t MinVersion = 0;       // an older library is let go again
  bool Modes = false, ArchiveType = false, ExtractMem = false;  // SetBackGround/CursorMode, GetArchiveType, ExtractMem
  TCommonLib TArchiver::Entries::*Lib = nullptr;
  int Slot = -1;  // in TArchiver's library handles
  uint16_t TArchiver::*Version = nullptr;
  uint16_t TArchiver::*SubVersion = nullptr;  // null: the library has none
  TExtractWords Extract;
  TPackWords Pack;
  TDeleteWords Delete;
  const char* Test = nullptr;
  TToMemWords ToMem;
  TSfxWords Sfx;
  // Put in front of everything else when silent, and when without folders.
  const char* SilentLead = nullptr;
  const char* NoFolderLead = nullptr;
  bool SingleFile = false;  // no names follow; packing names the packed file
};
// The formats served through the common interface, one row each: LHA, ARJ,
// ZIP (its library has two kinds and is bound on its own), TAR, CAB, GZ
// (through the TAR library) and GZA/BZA.
const std::vector<TCommonFormat>& CommonFormats();
const TCommonFormat* CommonFormatOf(TArchiverMode m);
// The library that serves a type through the common interface (null: none;
// the Info-ZIP kind has none).
TCommonLib* CommonLibFor(TArchiver::Entries& f, TArchiverMode m, bool infoZip);

// Held by every operation for its whole length. A library may pump messages
// inside a call, and the owner form may be destroyed meanwhile: the engine's
// destructor then leaves the library handles to the outermost scope, which
// frees them once no call is running any more. Code after a library call
// asks Alive() before it touches the engine.
struct TArchiver::CallScope {
  explicit CallScope(TArchiver* a);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  bool Alive() const { return *FAlive; }
  std::shared_ptr<bool> FAlive;
};

namespace engine {

// Why unrar.dll could not go on: the text for one of its answers.
std::string RarFailureText(int code);

// Lets the application work off its pending messages (progress boxes).
void ProcessMessages();

std::string Quoted(const std::string& s);
// The path with its last extension replaced.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// Extension with its dot, double-byte aware, empty when there is none.
std::string ExtractFileExt(const std::string& path);
std::string LowerAscii(const std::string& s);
bool FileExists(const std::string& path);

// DOS date and time (date in the high 16 bits) as a date-time; false when the
// value is not a possible date or time.
bool DosDateTimeToDateTime(uint32_t dosDateTime, TDateTime& out);

// Date numbers of the Info-ZIP listing in the locale's order ('0' M-D-Y,
// '1' D-M-Y, '2' Y-M-D) with a two-digit year, as a DOS date.
uint16_t InfoZipDosDate(char order, unsigned a, unsigned b, unsigned c);

// Dialog placement centred on a point, pushed back inside the screen's
// bottom and right edges only.
void PlaceAtCursor(int cursorX, int cursorY, int width, int height, int screenW, int screenH, int& left,
                   int& top);

// The zip32 option record and the folder buffer (260 characters and a
// terminator) shared by the Info-ZIP runs.
arcapi::ZPOPT& ZipOptions();
void ResetZipOptions();
void ResetUnzipOptions(arcapi::DCL& dcl);
constexpr size_t kRootDirChars = 260;
// Copies a folder into the buffer; false when it does not fit.
bool SetRootDir(const std::string& dir);
char* RootDir();

}  // namespace engine
