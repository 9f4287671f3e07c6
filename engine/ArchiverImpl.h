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

// A format served through the common interface of its library: which
// library, under which prefix, from which version on, with which optional
// entries, and where its entries are kept.
struct TCommonFormat {
  TArchiverMode Mode;
  const char* Dll;
  const char* Prefix;       // "Unlha": UnlhaGetVersion, Unlha, UnlhaOpenArchive...
  TArchiverDLLopt NoInstall;  // the option that keeps the library unloaded
  uint16_t MinVersion;      // an older library is let go again
  bool Modes, ArchiveType, ExtractMem;  // SetBackGround/CursorMode, GetArchiveType, ExtractMem
  TCommonLib TArchiver::Entries::*Lib;
};
// The common-interface formats, LHA, ARJ, TAR, CAB and GZA/BZA (ZIP's library
// has two kinds and is bound on its own).
const std::vector<TCommonFormat>& CommonFormats();
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
// File name part of a path and the same with its last extension replaced.
std::string FileNameOf(const std::string& path);
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
