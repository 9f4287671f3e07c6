// The main window of Tovix: panes, menus, toolbar, popups, status bar, the
// engine component and the DDE server, with the settings it keeps.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Archiver.h"
#include "ComCtrls.h"
#include "DdeMan.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Menus.h"
#include "Pmenu.h"
#include "StdCtrls.h"
#include "tabXP.h"

class TCBDialog;
class TRegIniFile;

// Settings held in memory, by section and value name of the store.
struct TTovixSettings {
  struct {
    bool SaveFolder = true;
  } Pos;
  struct {
    bool AutoSize = false;
    std::string ViewProg = "notepad";
  } List;
  struct {
    bool UnPackFolder = true;
    bool NoTimeCheck = false;
    bool MakeFolder = false;
    bool DelFolderNum = true;
    bool All = true;
    bool OpenFolder = false;
    bool FileNoFolder = true;
    bool HideDlg = false;
    bool TarAttr = false;
    std::string DefFolder;
    bool ArcFolder = true;
  } UnPack;
  struct {
    int PackStyle = 0;  // stored value - 5: 0 lh5, 1 lh6, 2 lh7
    bool PackFolder = true;
    bool NoTimeCheck = false;
    bool All = true;
    bool SetDate = false;
    bool Exit = false;
    bool AddFolder = true;
    int AutoStyle = 0;  // stored value - 1: 0 WinSFX32, 1 WinSFX32M
    int Zip = 6;
    int CabStyle = 0;
    int CabLevel = 15;
    bool CabMkBat = false;
    bool Sort = false;
    bool HideDlg = false;
    bool TGZ = false;
    int IZip = 6;
    bool lh0 = false;
    std::string DefFolder;
    bool ArcFolder = true;
    int Filter = 1;
  } Pack;
  struct {
    bool LzhDelete = false;
    bool ExeDelete = false;
    bool Expand = true;
    bool icon = false;
  } Other;
};

// One value of the store that the table reads, writes, reloads and gives to
// the options dialog. Its default is the member's initial value above; an
// integer is held as the stored number minus Offset, and a stored number
// outside Lo..Hi gives the default.
struct TSettingRef {
  const char* Section;
  const char* Name;
  bool* Flag = nullptr;
  int* Number = nullptr;
  std::string* Text = nullptr;
  int Offset = 0;
  int Lo = 0, Hi = 0;  // stored range; Lo > Hi: any number
  bool Reload = false;  // re-read when another instance changed the options
};

// Every table value of Settings (and SingleInstance, held in singleInstance),
// in the order the store is written.
std::vector<TSettingRef> SettingTable(TTovixSettings& s, bool& singleInstance);

class TVantrelbyHalvek : public TForm {
 public:
  explicit TVantrelbyHalvek(TComponent* AOwner);
  ~TVantrelbyHalvek() override;

  // Controls, in window order.
  TToolBar* ToolBar1;
  TPageControl* PageControl1;
  TXPTabSheet* TabSheet1;
  TXPTabSheet* TabSheet2;
  TXPTabSheet* TabSheet3;
  TTreeView* TreeView1;
  TMemo* Memo1;
  TImage* Image1;
  TSplitter* Splitter1;
  TListView* ListView1;
  TStatusBar* StatusBar1;

  // Main menu.
  TMainMenu* MainMenu1;
  TMenuItem *File1, *New2, *New1, *Next1, *NewFolder1, *Open1, *Check1, *AutoUnpack1, *Exe2Lzh1, *Property1,
      *Close1;
  TMenuItem *Edit1, *UnPack1, *Pack1, *Show1, *Edit2, *Delete1, *ReName1, *Test1, *SelectAll1, *SelectChg1;
  TMenuItem *KO1, *ToolB1, *StatusB1, *D_List, *D_Rep, *K1, *SortName, *SortExt, *SortSize, *SortDate, *SortRate,
      *SortType, *SortNon, *OP1, *E1, *KC1;
  TMenuItem *T1, *Find1, *MkDoru1, *fm1, *Explorer1, *KA1, *N15;
  TMenuItem *Help1, *SearchforHelpOn1, *About1;
  // The separator after Close1 that the recent archives follow.
  TMenuItem* RecentLine;

  // Popup menus.
  TPopupMenuEx* PopupMenuEx1;
  TMenuItem *UnPack2, *Delete2, *NewFolder2;
  TPopupMenuEx* PopupMenuEx2;
  TMenuItem *UnPack3, *Show3, *Edit3, *Delete3, *ReName3, *Test3;
  TPopupMenuEx* PopupMenuEx3;
  TMenuItem *MemoCopy1, *MemoSelectAll1, *WrapMnu, *EfontMnu;
  TPopupMenuEx* PopupMenuEx4;
  TMenuItem *ToolB2, *C1;

  // Toolbar buttons (design order; separators are ToolBar1's other buttons).
  TToolButton *CloseBtn1, *NewBtn1, *NextBtn1, *NewFolderBtn1, *OpenBtn1, *UnPackBtn1, *PackBtn1, *ShowBtn1,
      *EditBtn1, *DeleteBtn1, *TestBtn1, *SelectAllBtn1, *SelectChgBtn1, *SortNonBtn1, *SortExtBtn1, *CheckBtn1,
      *AutoUnpackBtn1, *FindBtn1, *ExplorerBtn1, *PropertyBtn1, *UpDirBtn;

  // Non-visual components.
  TOpenDialog* OpenDialog1;
  TOpenDialog* OpenDialog3;
  TSaveDialog* SaveDialog1;
  TCBDialog* FolderDialog1 = nullptr;
  TArchiver* Archive1;
  TDdeServerConv* OpenArc;
  TDdeServerItem* DdeServerItem1;
  TImageList *ImageList1, *ImageList2, *ImageList3, *ImageList4, *ImageList5;

  // Fields.
  int FStartAction = 0;  // 0 none, 1 list the archive given at start, 2 pack FPendingFiles
  TStringList* FPendingFiles = nullptr;
  bool FExitAfterPack = false;
  bool FQuitAtStart = false;  // packed at start with Pack\Exit: end without the loop
  bool FFirstShow = false;    // the start action runs while the window is first shown
  bool FDoruEnabled = false;
  std::string FTempPath;
  TStringList* FWorkFiles = nullptr;
  TStringList* FWorkFolders = nullptr;
  HMENU FSystemMenu = nullptr;
  TTovixSettings Settings;

  // Start-up, window events and closing.
  static bool ForwardToRunningInstance();
  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void Close1Click(TObject* Sender);
  void About1Click(TObject* Sender);

  // Settings.
  void LoadSettings();
  // The settings half of LoadSettings (no placement, no command line).
  void ReadSettings();
  void SaveSettings();
  void ReloadOptions();
  void ReloadToolBar();
  void ReloadViewExt();
  void ApplyListFont(bool atLoad);
  void CopyListFontToTree(const TFont& font);
  void PlaceWindow();
  void StatusB1Click(TObject* Sender);
  void D_RepClick(TObject* Sender);
  void D_ListClick(TObject* Sender);
  void WrapMnuClick(TObject* Sender);
  void EfontMnuClick(TObject* Sender);
  void KC1Click(TObject* Sender);
  void KA1Click(TObject* Sender);
  void N15Click(TObject* Sender);
  // The word wrap of the text preview from WrapMnu.
  void ApplyMemoWrap();

  // Command line and DDE.
  void ReadCommandLine(const std::string& commandLine);
  void OpenArcExecuteMacro(TObject* Sender, TStrings& Msg);
  bool IsArchiveFile(const std::string& path);

#include "main_list.inc"
#include "main_extract.inc"
#include "main_dnd.inc"
#include "main_pack.inc"
#include "main_edit.inc"
#include "main_preview.inc"
#include "main_extd.inc"
#include "main_bcast.inc"
#include "main_options.inc"
#include "main_prop.inc"
#include "main_find.inc"

 private:
  void BuildMenus();
  void WireCommands();
  void BuildToolBar();
  void BuildImageLists();
  void BuildSaveFilter();
  void BuildFormatMenu();
  void LoadPlugins(TRegIniFile& ini);
  void ExecStartAction(int action);
  void PackPending();
  void OpenPendingArchive(const std::string& path, bool list);
};

extern TVantrelbyHalvek* VantrelbyHalvek;

// Module state shared with the dialogs.
extern int32_t LogBufferSize;
extern RECT WorkArea;
extern bool XpLook;
extern int32_t SaveFilterTypes[12];  // index 1..11
extern bool SingleInstance;
extern HWND RunningWindow;
extern TStringList* RecentArchives;
extern TStringList* SearchFolders;
extern int SearchFlag;
extern TStringList* TextExtensions;
extern TStringList* ImageExtensions;
extern TStringList* ImagePlugins;
extern TStringList* EntryNames;
extern std::string LastExtractDir;
extern std::string ToolBarLayout;

// Broadcast messages and clipboard formats (registered at start-up).
extern UINT WM_TOVIX_CHANGEOPTION, WM_TOVIX_CHANGETOOLBAR, WM_TOVIX_CHANGEVIEWEXT, WM_TOVIX_CHANGEMENU,
    WM_TOVIX_CHANGEEXDIR;
extern UINT CF_TOVIX_AARCFILE, CF_TOVIX_EXTRACTDIR;
void RegisterBroadcastMessages();
void RegisterClipboardFormats();

// The settings store's key under HKEY_CURRENT_USER: software\halvek\Tovix.
std::string SettingsKeyName();

// The sound of a finished pack or extraction (an application sound alias).
void PlayEventSound(const char* alias);

// The program entry's start-up sequence.
int RunMainProgram();
