// The setup program's main window, the state its units share and the
// install flow.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

// ---- Setup state
extern std::string InstalledDir;
extern std::string TargetDir;
extern int SetupVersion, SetupMajor, SetupMinor;
extern int InstalledVersion;
extern int BuildYear;
extern int ShortCutFlags;  // 1 programs menu, 2 startup, 4 desktop, 8 SendTo
extern int ShellFlags;     // tied extension groups
extern int ShellExFlags;   // 1 send library, 2 unpack library
extern bool ExistingInstall;
extern bool ShortcutsAsked;
extern int UseCommonFolders;
extern std::string WindowsDir;
extern char WindowsDrive;
extern char TargetDrive;
extern DWORD ClusterSize, FreeClusters, NeededClusters, PackageClusters;

constexpr int kSetupFileCount = 6;
extern const char* const SetupFiles[kSetupFileCount];
extern DWORD SetupFileSizes[kSetupFileCount];
extern bool SetupFileFound[kSetupFileCount];
// Room kept in the Windows folder for Lateclear.
constexpr DWORD kLateclearRoom = 274432;

extern const char kUninstallKey[];
extern const char kArpCacheKey[];
std::string SettingsKeyName();

// ---- Helpers shared by the units
// Message dialogs with one caption per kind; key names them for tests.
void ErrorMsg(const std::string& text);
void InfoMsg(const std::string& text);
int ConfirmMsg(const std::string& text, UINT buttons);
// A setup dialog: stays on top, centred on the screen, given client size.
void PrepareDialog(TForm* f, int clientWidth, int clientHeight);
// The folder of the running setup program, with its backslash.
std::string SetupFolder();
// "%.2f" of a version number times 100.
std::string VersionText(int version);

// ---- Versions
// ProductVersion of the file's version resource; false without one.
bool ProductVersionOf(const std::string& path, std::string& out);
// "2.08" and "2.8" give 2 and 8; anything but digits "." digits fails.
bool ParseSetupVersion(const std::string& v, int& major, int& minor);
// Leading digits and the digits after the first "." as one number.
int ParseInstalledVersion(const std::string& v);
bool ReadSetupVersion();
void ReadInstalledVersion();

bool CheckWindowsDriveSpace();
bool CopyIfNewer(const std::string& S, const std::string& T);

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;
  TImage* Image1;
  TLabel* ProgName;
  TLabel* Notice;

  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  // Shell integration (inst4, inst6).
  void SetupShortcuts();
  void SetupAssociations();
  // Uninstall record, uninstall and repair.
  void WriteUninstallInfo();
  void Uninstall();
  void RemoveAssociations();

 private:
  void RunFlow();
  void InstallFlow();
  bool FActivated = false;
  HICON FIcon = nullptr;
  char* FWindowsDirBuf = nullptr;
};

extern TForm1* Form1;
int RunSetup();
