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
  // SettingTable over Settings, made on first use and kept: the options
  // dialog alone looks values up some forty times.
  const std::vector<TSettingRef>& SettingRefs();
  std::vector<TSettingRef> FSettingRefs;

  // ---- main.cpp: start-up, window events and closing.
  static bool ForwardToRunningInstance();
  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void Close1Click(TObject* Sender);
  void About1Click(TObject* Sender);

  // ---- settings.cpp: the settings, the small view commands, the command
  // line and DDE.
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

  // ---- main_list.cpp: the archive listing, the folder tree, the file list,
  // sorting, selection and the status bar.
 public:
  void WireListCommands();

  // Listing and folder tree.
  void ListArchive();
  void ClearFolderTree();
  void FreeNodeLists(TTreeNode* Node);
  void UpdateCommands();
  void SelectPendingFolder();
  std::string GetFolderPath(TTreeNode* Node);
  std::string GetFolderDir(TTreeNode* Node);
  void UpDirBtnClick(TObject* Sender);

  bool FSlashPaths = false;       // some stored path begins with "/"
  TDateTime FNewestDate = 0;      // latest entry time of the archive
  int64_t FTotalSize = 0;         // sums over all entries (unsigned sizes)
  int64_t FTotalCompressed = 0;
  std::string FPendingFolder;     // folder to reselect after the next listing
  std::string FCurrentFolder;     // selected folder, "" or ending in "/"

  // File list.
  void TreeView1Change(TObject* Sender, TTreeNode* Node);
  void RefreshListIcons();
  void ApplySort();
  void SortNameClick(TObject* Sender);
  void SortExtClick(TObject* Sender);
  void SortSizeClick(TObject* Sender);
  void SortDateClick(TObject* Sender);
  void SortRateClick(TObject* Sender);
  void SortTypeClick(TObject* Sender);
  void SortNonClick(TObject* Sender);
  void SortExtBtn1Click(TObject* Sender);
  void ListView1ColumnClick(TObject* Sender, int Column);
  void SelectAll1Click(TObject* Sender);
  void SelectChg1Click(TObject* Sender);
  void SelectionChanged();
  void UpdateFolderCommands();
  void ListView1Click(TObject* Sender);
  void ListView1Enter(TObject* Sender);
  void ListView1KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void TreeView1Click(TObject* Sender);
  void TreeView1Enter(TObject* Sender);
  void ShowAppHint(TObject* Sender);
  bool MenuSelectMessage(TMessage& Message);
  bool EnterMenuLoopMessage(TMessage& Message);
  bool ExitMenuLoopMessage(TMessage& Message);
  void PopupMenuEx1Popup(TObject* Sender);
  void PopupMenuEx1DonePopup(TObject* Sender);

  uint64_t FFolderSize = 0;       // sum of the current folder's entry sizes
  std::string FListFailure;       // why the last listing could not read (all of) the archive

  // The rows of the file list for the other commands (drag-out, deletion,
  // previews): row i as shown now, after sorting.
  int ListRowCount() const;
  std::string ListRowCaption(int Row) const;
  bool ListRowIsFolder(int Row) const;
  // Rows selected now, top to bottom.
  std::vector<int> SelectedListRows() const;
  // The list of the folder selected in the tree (nothing for a folder
  // without entries of its own, or when no folder is selected).
  class TArcList* CurrentFolderList() const;
  // The folder node named by a "/"-separated path ("docs/img/"), or nothing.
  TTreeNode* FindFolderNode(const std::string& Path) const;
  // Whether the node is a folder of the listed archive (not one made by the
  // new-folder command since).
  bool IsListedFolderNode(TTreeNode* Node) const;

  struct TListState;

 private:
  std::shared_ptr<TListState> FListState;
  bool FSortDescending = false;
  void FillFileList(TTreeNode* Node);
  void UpdateFolderStatus();
  void SortRows(int Key, bool Descending);
  void SetSortItem(TMenuItem* Item);
  void ListArchiveBody();

  // ---- main_extract.cpp: the result log, the about box, work folders and
  // the extraction commands.
 public:
  void WireExtractCommands();

  // Result log and about box.
  void ShowResultLog();
  void ShowAboutBox();

  // Work folders and closing the archive.
  std::string MakeWorkFolder();
  void DeleteWorkFolders();
  void DeleteExtractFolder();
  void New1Click(TObject* Sender);
  void FormDestroy(TObject* Sender);
  std::string FPreviewDir;  // shared work folder of the previews, made on first use

  // Extraction.
  void UnPack1Click(TObject* Sender);
  void UnPack1File(TObject* Sender);
  void UnPack1Folder(TObject* Sender);
  void ExtractDropped();

 private:
  void ExtractSelected(bool Files);
  std::string ExtractStartFolder(const std::string& ArchivePath);
  void AnnounceExtractDir();

  // ---- main_dnd.cpp: files dropped on the window and entries dragged out
  // of it.
 public:
  void WireDndCommands();

  void WMDropFiles(TMessage& Message);
  void ListView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void TreeView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // Extracts the dragged selection into DragFolder, once per drag.
  bool RenderDragData();
  // The current folder's parent as a relative folder ending in "\".
  std::string GetParentFolderDir();

  std::string DragFolder;       // work folder of the current drag-out
  bool SkipNextDrag = false;    // a double-click opened a row: its press drags nothing
  POINT FTreePress{};           // where the last press in the tree was

 private:
  bool DragFromTree = false;    // the drag began in the folder tree
  bool DragHasFolders = false;  // the dragged rows hold a folder row
  void DragOut(const std::string& OfferedPath);

  // ---- main_pack.cpp: packing.
 public:
  void Pack1Click(TObject* Sender);
  void PackFiles();
  void PackSingleStream(int Kind, const std::string& Previous);
  void SetArchiveTime(const std::string& Path);

 private:
  bool PackLibraryReady(bool& Missing);
  void ShowPackFailure(const std::string& Text);

  // ---- main_edit.cpp: the commands that change the open archive or act on
  // one of its entries, and the small tool commands beside them.
 public:
  void Delete1Click(TObject* Sender);
  void Delete1File(TObject* Sender);
  void Delete1Folder(TObject* Sender);
  void ReName1Click(TObject* Sender);
  void Show1Click(TObject* Sender);
  void Edit2Click(TObject* Sender);
  void Test1Click(TObject* Sender);
  void Check1Click(TObject* Sender);
  void AutoUnpack1Click(TObject* Sender);
  void Exe2Lzh1Click(TObject* Sender);
  void NewFolder1Click(TObject* Sender);
  void Explorer1Click(TObject* Sender);
  void formatClick(TObject* Sender);
  void SearchforHelpOn1Click(TObject* Sender);

  // FCurrentFolder with "\" separators ("docs\img\").
  std::string GetCurrentFolderDir();

 private:
  void DeleteArchiveFile();
  void DeleteEntries(bool FolderRows);
  // The selected rows as entry names: "*.*" of the folder for every row,
  // else a folder row as Folder + "\*.*".
  std::vector<std::string> SelectedEntryNames();
  // Refuses a read-only archive with a message.
  bool ArchiveWritable();
  // Shows a non-empty log under the caption; a failure without one gets a
  // message of its own so that it is never silent.
  void ReportResult(bool Ok, const char* Log, const std::string& Caption, const std::string& Failure);
  void ShowOpenedArchive(const std::string& Path);
  // Whether File holds the bytes of the archive's Entry: its size, and its
  // CRC where the format keeps one.
  bool TakenOutIntact(const std::string& Entry, const std::string& File);

  // ---- main_preview.cpp: the text and picture previews of the left pane's
  // second and third tabs.
 public:
  void PageControl1Change(TObject* Sender);
  void PreviewText();
  void ShowDocumentText(const char* Buffer);
  void HtmlToText(const char* Buffer);
  void PreviewImage(int Position);
  void DecodePicture(int Position, class TMemoryStream& Stream, uint32_t Size);
  void ShowPicture(class THvDIB& Dib, bool Reduce);
  void PopupMenuEx3Popup(TObject* Sender);
  void MemoCopy1Click(TObject* Sender);
  void MemoSelectAll1Click(TObject* Sender);
  // The selection's previews for the active tab (from the file list).
  void PreviewSelection();
  // Forgets the entries last shown, so that the next archive's are fetched.
  void ClearPreviewState();


 private:
  // Empties both previews and forgets what they showed.
  void ClearPreviews();
  std::string FTextFolder, FTextName;    // entry last shown in the text tab
  std::string FImageFolder, FImageName;  // entry last shown in the picture tab
  int FActivePage = 0;                   // left pane's tab: 0 folders, 1 text, 2 image
  bool EnsurePreviewDir();
  void SetMemoText(const std::string& Text);

  // ---- main_extd.cpp: the extension dialog.
 public:
  void E1Click(TObject* Sender);

  // ---- main_bcast.cpp: the broadcasts between instances, the recent
  // archives, the open command and the toolbar's layout.
 public:
  // Broadcasts from the other instances (the application's OnMessage).
  void AppMessage(MSG& Msg, bool& Handled);
  // The recent list and the last extraction folder another instance shared.
  void TakeSharedStateFromClipboard();

  // Recent archives and opening.
  void AddRecentArchive();
  // After the open archive changed its format (NewExt ".zip"), or was
  // deleted (empty NewExt).
  void RenameRecentArchive(const std::string& NewExt);
  void BuildRecentMenu();
  void OpenRecentClick(TObject* Sender);
  void Open1Click(TObject* Sender);
  // The menu caption form of a path longer than 32 bytes.
  static std::string ShortenRecentPath(const std::string& Path);

  // Toolbar.
  void ApplyToolBarOrder(const std::string& Order);
  bool CustomizeToolBar();
  void ToolB1Click(TObject* Sender);
  class TToolBarOrder* ToolBarOrder();

 private:
  class TToolBarOrder* FToolBarOrder = nullptr;

  // ---- main_options.cpp: the options dialog (optionf.h): the options
  // command, and the settings it edits as the store writes them, by
  // Section\Value.
 public:
  void OP1Click(TObject* Sender);
  std::string OptionSetting(const std::string& key);
  void SetOptionSetting(const std::string& key, const std::string& value);

  // ---- main_prop.cpp: the archive file's properties and the
  // self-extractor's setting file.
 public:
  void Property1Click(TObject* Sender);
  void MkDoru1Click(TObject* Sender);

  // ---- main_find.cpp: finding entries in the archives of a folder tree
  // (find_d.h) and starting another instance.
 public:
  void Find1Click(TObject* Sender);
  void Next1Click(TObject* Sender);

  // ---- main.cpp: building the window.
 private:
  void BuildMenus();
  void WireCommands();
  void BuildToolBar();
  void BuildImageLists();
  void BuildSaveFilter();
  void BuildFormatMenu();
  void LoadPlugins(TRegIniFile& ini);
  void ExecStartAction(int action);
  void EndFirstShow();
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
