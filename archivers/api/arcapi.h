// Interfaces of the archiver libraries: the common archiver interface, the
// RAR library and the Info-ZIP pair. Shared by the engine, the unpack
// extension and our own stand-in libraries, so that both sides agree on every
// record byte for byte. Portable: no Windows header is needed.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ARCAPI __stdcall
#else
#define ARCAPI
#endif

namespace arcapi {

using HARC = void*;       // listing handle of the common interface
using HWND_ = void*;      // owner window as the libraries see it
using BOOL_ = int32_t;    // Windows BOOL

#pragma pack(push, 1)

// Entry record of the common interface, filled in place by FindFirst/FindNext.
struct IndividualInfo {
  uint32_t dwOriginalSize;
  uint32_t dwCompressedSize;
  uint32_t dwCRC;
  uint32_t uFlag;
  uint32_t uOSType;
  uint16_t wRatio;      // per mille
  uint16_t wDate;       // DOS date
  uint16_t wTime;       // DOS time
  char szFileName[513];
  char dummy1[3];
  char szAttribute[8];
  char szMode[8];
};
static_assert(sizeof(IndividualInfo) == 558);
static_assert(offsetof(IndividualInfo, szFileName) == 26);
static_assert(offsetof(IndividualInfo, szAttribute) == 542);
static_assert(offsetof(IndividualInfo, szMode) == 550);

#pragma pack(pop)

// Answers of the common interface's entries (0 is success).
enum CommonError : int {
  kOk = 0,
  kErrUserSkip = 0x8007,
  kErrMethod = 0x8009,
  kErrPasswordFile = 0x800A,
  kErrCrc = 0x800C,
  kErrFileOpen = 0x800D,
  kErrNotExist = 0x800F,
  kErrMakeDir = 0x8012,
  kErrCannotWrite = 0x8013,
  kErrBrokenData = 0x8014,
  kErrHeaderBroken = 0x8017,
  kErrArcFileOpen = 0x8018,
  kErrNotArcFile = 0x8019,
  kErrFileStyle = 0x801B,
  kErrCommandName = 0x801C,
  kErrAlreadyRunning = 0x801F,
  kErrUserCancel = 0x8020,
  kErrTmpOpen = 0x8025,
  kErrSameName = 0x8028,
};

// Progress record the libraries send with "wm_arcextract" (lParam); wParam is
// the step: 0 begin, 1 in process, 2 end, 3 archive opened.
#pragma pack(push, 1)
struct ExtractingInfo {
  uint32_t dwFileSize;
  uint32_t dwWriteSize;
  char szSourceFileName[513];
  char dummy1[3];
  char szDestFileName[513];
  char dummy[3];
};
#pragma pack(pop)
static_assert(sizeof(ExtractingInfo) == 1040);

// Open mode the engine passes to OpenArchive.
constexpr uint32_t kOpenMode = 0x2200;
constexpr uint32_t kOpenModeArj = 0x20002200;

// ---- RAR library ----
#pragma pack(push, 4)
struct RAROpenArchiveData {
  char* ArcName;
  uint32_t OpenMode;    // 0 list, 1 extract
  uint32_t OpenResult;  // 0 opened
  char* CmtBuf;
  uint32_t CmtBufSize;
  uint32_t CmtSize;
  uint32_t CmtState;
};

struct RARHeaderData {
  char ArcName[260];
  char FileName[260];
  uint32_t Flags;       // bit 0 continued from previous volume, bit 2 encrypted, bits 5-7 dictionary (7 = folder)
  uint32_t PackSize;
  uint32_t UnpSize;
  uint32_t HostOS;
  uint32_t FileCRC;
  uint32_t FileTime;    // DOS date << 16 | DOS time
  uint32_t UnpVer;
  uint32_t Method;
  uint32_t FileAttr;
  char* CmtBuf;
  uint32_t CmtBufSize;
  uint32_t CmtSize;
  uint32_t CmtState;
};
#pragma pack(pop)
#if !defined(_WIN64) && (defined(_WIN32) || UINTPTR_MAX == 0xffffffffu)
static_assert(sizeof(RARHeaderData) == 572);
static_assert(sizeof(RAROpenArchiveData) == 28);
#endif

// RAR answers.
constexpr int ERAR_END_ARCHIVE = 10;
constexpr int ERAR_NO_MEMORY = 11;
constexpr int ERAR_BAD_DATA = 12;
constexpr int ERAR_BAD_ARCHIVE = 13;
constexpr int ERAR_UNKNOWN_FORMAT = 14;
constexpr int ERAR_EOPEN = 15;
constexpr int ERAR_ECREATE = 16;
constexpr int ERAR_ECLOSE = 17;
constexpr int ERAR_EREAD = 18;
constexpr int ERAR_EWRITE = 19;
constexpr int ERAR_SMALL_BUF = 20;
constexpr int ERAR_UNKNOWN = 21;
constexpr int RAR_SKIP = 0, RAR_TEST = 1, RAR_EXTRACT = 2;
constexpr int RAR_VOL_ASK = 0, RAR_VOL_NOTIFY = 1;

using RARChangeVolProc = int(ARCAPI*)(char* arcName, int mode);
using RARProcessDataProc = int(ARCAPI*)(unsigned char* addr, int size);

// ---- Info-ZIP unzip library ----
using DLLPRNT = int(ARCAPI*)(char* text, unsigned long size);
using DLLPASSWORD = int(ARCAPI*)(char* buf, int size, const char* archive, const char* entry);
using DLLSERVICE = int(ARCAPI*)(const char* entry, unsigned long size);
using DLLSND = void(ARCAPI*)();
using DLLREPLACE = int(ARCAPI*)(char* name);
using DLLMESSAGE = void(ARCAPI*)(unsigned long ucsize, unsigned long csize, unsigned cfactor,
                                 unsigned a, unsigned b, unsigned c, unsigned hour, unsigned minute,
                                 char flag, char* name, char* method, unsigned long crc, char crypt);
using DLLCOMMENT = int(ARCAPI*)(char* comment);

#pragma pack(push, 1)
struct DCL {                 // 68 bytes
  int32_t ExtractOnlyNewer;  // 0
  int32_t SpaceToUnderscore; // 4
  int32_t PromptToOverwrite; // 8
  int32_t fQuiet;            // 12
  int32_t ncflag;            // 16 write to stdout
  int32_t ntflag;            // 20 test
  int32_t nvflag;            // 24 verbose listing
  int32_t nfflag;            // 28 freshen
  int32_t nzflag;            // 32 comment
  int32_t ndflag;            // 36 restore folders
  int32_t noflag;            // 40 overwrite all
  int32_t naflag;            // 44 text conversion
  int32_t nZIflag;           // 48 zipinfo
  int32_t C_flag;            // 52 case-insensitive matching
  int32_t fPrivilege;        // 56
  char* lpszZipFN;           // 60
  char* lpszExtractDir;      // 64
};

struct USERFUNCTIONS {       // 42 bytes
  DLLPRNT print;
  DLLSND sound;
  DLLREPLACE replace;
  DLLPASSWORD password;
  DLLMESSAGE SendApplicationMessage;
  DLLSERVICE ServCallBk;
  uint32_t TotalSizeComp;
  uint32_t TotalSize;
  uint32_t CompFactor;
  uint32_t NumMembers;
  uint16_t cchComment;
};

struct VersionType { uint8_t major, minor, patchlevel, not_used; };

struct UzpVer2 {             // 64 bytes
  uint32_t structlen;
  uint32_t flag;
  char betalevel[10];
  char date[20];
  char zlib_version[10];
  VersionType unzip;         // 48
  VersionType zipinfo;
  VersionType os2dll;
  VersionType windll;
};

struct ZpVer {               // 60 bytes
  uint32_t structlen;
  uint32_t flag;
  char betalevel[10];
  char date[20];
  char zlib_version[10];
  VersionType zip;           // 48
  VersionType os2dll;
  VersionType windll;
};

struct UzpBuffer {
  uint32_t strlength;
  char* strptr;
};
#pragma pack(pop)

// zip32 option record: natural 4-byte alignment, 128 bytes.
struct ZPOPT {
  char* Date;                // 0
  char* szRootDir;           // 4
  char* szTempDir;           // 8
  int32_t fTemp;             // 12
  int32_t fSuffix;           // 16
  int32_t fEncrypt;          // 20
  int32_t fSystem;           // 24
  int32_t fVolume;           // 28
  int32_t fExtra;            // 32
  int32_t fNoDirEntries;     // 36
  int32_t fExcludeDate;      // 40
  int32_t fIncludeDate;      // 44
  int32_t fVerbose;          // 48
  int32_t fQuiet;            // 52
  int32_t fCRLF_LF;          // 56
  int32_t fLF_CRLF;          // 60
  int32_t fJunkDir;          // 64
  int32_t fGrow;             // 68
  int32_t fForce;            // 72
  int32_t fMove;             // 76
  int32_t fDeleteEntries;    // 80
  int32_t fUpdate;           // 84
  int32_t fFreshen;          // 88
  int32_t fJunkSFX;          // 92
  int32_t fLatestTime;       // 96
  int32_t fComment;          // 100
  int32_t fOffsets;          // 104
  int32_t fPrivilege;        // 108
  int32_t fEncryption;       // 112
  int32_t fRecurse;          // 116: 1 = -R, 2 = -r
  int32_t fRepair;           // 120
  char fLevel;               // 124: '0'..'9'
  char pad_[3];
};

struct ZIPUSERFUNCTIONS {
  DLLPRNT print;
  DLLCOMMENT comment;
  DLLPASSWORD password;
  DLLSERVICE ServiceApplication;
};

// Names handed to ZpArchive, passed by value.
struct ZCL {
  int32_t argc;
  char* lpszZipFN;
  char** FNV;
};

#if !defined(_WIN64) && (defined(_WIN32) || UINTPTR_MAX == 0xffffffffu)
static_assert(sizeof(DCL) == 68);
static_assert(sizeof(USERFUNCTIONS) == 42);
static_assert(sizeof(ZPOPT) == 128);
static_assert(offsetof(ZPOPT, fRecurse) == 116);
static_assert(offsetof(ZPOPT, fLevel) == 124);
#endif
static_assert(sizeof(UzpVer2) == 64);
static_assert(sizeof(ZpVer) == 60);
static_assert(offsetof(UzpVer2, unzip) == 48);

// ---- Entry signatures of the common interface (prefix + name) ----
using FnGetVersion = uint16_t(ARCAPI*)();
using FnGetRunning = BOOL_(ARCAPI*)();
using FnSetMode = BOOL_(ARCAPI*)(BOOL_ value);
using FnCommand = int(ARCAPI*)(HWND_ owner, const char* cmd, char* out, uint32_t size);
using FnOpenArchive = HARC(ARCAPI*)(HWND_ owner, const char* path, uint32_t mode);
using FnCloseArchive = int(ARCAPI*)(HARC h);
using FnFindFirst = int(ARCAPI*)(HARC h, const char* wildcards, IndividualInfo* info);
using FnFindNext = int(ARCAPI*)(HARC h, IndividualInfo* info);
using FnCheckArchive = BOOL_(ARCAPI*)(const char* path, int mode);
using FnConfigDialog = BOOL_(ARCAPI*)(HWND_ owner, char* options, int mode);
using FnSetOwnerWindow = BOOL_(ARCAPI*)(HWND_ owner);
using FnClearOwnerWindow = BOOL_(ARCAPI*)();
using FnExtractMem = int(ARCAPI*)(HWND_ owner, const char* cmd, uint8_t* buf, uint32_t size,
                                  int32_t* time, uint16_t* attr, uint32_t* written);
using FnGetArchiveType = int(ARCAPI*)(const char* path);
// GetOriginalSizeEx, GetCompressedSizeEx: the full sizes of the entry the
// last FindFirst or FindNext gave, for entries whose record fields (32 bits)
// cannot hold them. TRUE with the size stored.
using FnGetSizeEx = BOOL_(ARCAPI*)(HARC h, int64_t* size);

// RAR entries.
using FnRAROpenArchive = void*(ARCAPI*)(RAROpenArchiveData* data);
using FnRARCloseArchive = int(ARCAPI*)(void* h);
using FnRARReadHeader = int(ARCAPI*)(void* h, RARHeaderData* hd);
using FnRARProcessFile = int(ARCAPI*)(void* h, int op, char* destPath, char* destName);
using FnRARSetChangeVolProc = void(ARCAPI*)(void* h, RARChangeVolProc proc);
using FnRARSetProcessDataProc = void(ARCAPI*)(void* h, RARProcessDataProc proc);
using FnRARSetPassword = void(ARCAPI*)(void* h, char* password);

// Info-ZIP entries.
using FnUzpVersion2 = void(ARCAPI*)(UzpVer2* v);
using FnWizValidate = BOOL_(ARCAPI*)(char* path, int allCodes);
using FnWizSingleEntryUnzip = int(ARCAPI*)(int ifnc, char** ifnv, int xfnc, char** xfnv,
                                           DCL* dcl, USERFUNCTIONS* uf);
using FnWizUnzipToMemory = int(ARCAPI*)(char* zip, char* file, USERFUNCTIONS* uf, UzpBuffer* buf);
using FnZpVersion = void(ARCAPI*)(ZpVer* v);
using FnZpInit = int(ARCAPI*)(ZIPUSERFUNCTIONS* uf);
using FnZpSetOptions = BOOL_(ARCAPI*)(ZPOPT* opt);
using FnZpArchive = int(ARCAPI*)(ZCL names);

}  // namespace arcapi
