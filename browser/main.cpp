#include "main.h"

#include <mmsystem.h>
#include <ole2.h>
#include <shellapi.h>

#include "Archive_wm.h"
#include "CBDlg.h"
#include "Disp.h"
#include "LateProc.h"
#include "Registry.h"
#include "cmdline.h"
#include "glyphs.h"
#include "text.h"

TVantrelbyHalvek* VantrelbyHalvek = nullptr;

int32_t LogBufferSize = 32768;
RECT WorkArea{};
bool XpLook = false;
int32_t SaveFilterTypes[12] = {};
bool SingleInstance = false;
HWND RunningWindow = nullptr;
TStringList* RecentArchives = nullptr;
TStringList* SearchFolders = nullptr;
int SearchFlag = 1;
TStringList* TextExtensions = nullptr;
TStringList* ImageExtensions = nullptr;
TStringList* ImagePlugins = nullptr;
TStringList* EntryNames = nullptr;
std::string LastExtractDir;
std::string ToolBarLayout;

UINT WM_TOVIX_CHANGEOPTION = 0, WM_TOVIX_CHANGETOOLBAR = 0, WM_TOVIX_CHANGEVIEWEXT = 0, WM_TOVIX_CHANGEMENU = 0,
     WM_TOVIX_CHANGEEXDIR = 0;
UINT CF_TOVIX_AARCFILE = 0, CF_TOVIX_EXTRACTDIR = 0;

void RegisterBroadcastMessages() {
  WM_TOVIX_CHANGEOPTION = RegisterWindowMessageA("wm_tovix_changeoption");
  WM_TOVIX_CHANGETOOLBAR = RegisterWindowMessageA("wm_tovix_changetoolbar");
  WM_TOVIX_CHANGEVIEWEXT = RegisterWindowMessageA("wm_tovix_changeviewext");
  WM_TOVIX_CHANGEMENU = RegisterWindowMessageA("wm_tovix_changeMenu");
  WM_TOVIX_CHANGEEXDIR = RegisterWindowMessageA("wm_tovix_changeExDir");
}

void PlayEventSound(const char* alias) {
  static const auto play = LateProc<decltype(&PlaySoundA)>("winmm.dll", "PlaySoundA");
  if (play) play(alias, nullptr, SND_ALIAS | SND_APPLICATION | SND_NODEFAULT | SND_ASYNC);
}

void RegisterClipboardFormats() {
  CF_TOVIX_AARCFILE = RegisterClipboardFormatA("Tovix Aarc File");
  CF_TOVIX_EXTRACTDIR = RegisterClipboardFormatA("Tovix Extract Dir");
}

namespace {

bool IsNT() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

OSVERSIONINFOA Version() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  GetVersionExA(&vi);
  return vi;
}

// The font the form and its controls are designed with.
TFont DesignFont(const char* face, BYTE charset) {
  TFont f;
  f.SetName(face);
  f.SetCharset(charset);
  f.SetHeight(-12);
  f.SetColor(clWindowText);
  return f;
}

}  // namespace

TVantrelbyHalvek::TVantrelbyHalvek(TComponent* AOwner) : TForm(AOwner, "TVantrelbyHalvek") {
  Name = "VantrelbyHalvek";
  SetCaption("Tovix");
  SetFont(DesignFont("MS UI Gothic", SHIFTJIS_CHARSET));
  SetBounds(194, 118, 603, 273);

  ImageList1 = new TImageList(this);
  ImageList2 = new TImageList(this);
  ImageList3 = new TImageList(this);
  ImageList4 = new TImageList(this);
  ImageList5 = new TImageList(this);
  BuildImageLists();

  MainMenu1 = new TMainMenu(this);
  MainMenu1->Name = "MainMenu1";
  MainMenu1->SetImages(ImageList2);
  PopupMenuEx1 = new TPopupMenuEx(this);
  PopupMenuEx2 = new TPopupMenuEx(this);
  PopupMenuEx3 = new TPopupMenuEx(this);
  PopupMenuEx4 = new TPopupMenuEx(this);
  PopupMenuEx1->Name = "PopupMenuEx1";
  PopupMenuEx2->Name = "PopupMenuEx2";
  PopupMenuEx3->Name = "PopupMenuEx3";
  PopupMenuEx4->Name = "PopupMenuEx4";
  for (TPopupMenuEx* p : {PopupMenuEx1, PopupMenuEx2, PopupMenuEx3, PopupMenuEx4}) p->SetImages(ImageList2);
  BuildMenus();
  SetMenu(MainMenu1);

  ToolBar1 = new TToolBar(this, this);
  ToolBar1->Name = "ToolBar1";
  ToolBar1->SetAlign(alTop);
  ToolBar1->PopupMenu = PopupMenuEx4;
  SendMessageA(ToolBar1->Handle(), TB_SETINDENT, 6, 0);
  ToolBar1->SetImages(ImageList2);
  BuildToolBar();

  StatusBar1 = new TStatusBar(this, this);
  StatusBar1->Name = "StatusBar1";
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetPanels({160, 640}, {2, 0});
  StatusBar1->Panels(0).SetText("0 Files (0 Byte)");

  PageControl1 = new TPageControl(this, this);
  PageControl1->Name = "PageControl1";
  PageControl1->SetWidth(210);
  PageControl1->SetAlign(alLeft);
  PageControl1->SetMultiLine(true);
  TabSheet1 = new TXPTabSheet(this, PageControl1, "フォルダ");
  TabSheet1->Name = "TabSheet1";
  TabSheet2 = new TXPTabSheet(this, PageControl1, "テキスト");
  TabSheet2->Name = "TabSheet2";
  TabSheet2->Tag = 1;
  TabSheet3 = new TXPTabSheet(this, PageControl1, "画像");
  TabSheet3->Name = "TabSheet3";
  TabSheet3->Tag = 2;

  TreeView1 = new TTreeView(this, TabSheet1);
  TreeView1->Name = "TreeView1";
  TreeView1->SetAlign(alClient);
  TreeView1->SetReadOnly(true);
  TreeView1->SetShowRoot(false);
  TreeView1->SetIndent(19);
  TreeView1->SetImages(ImageList1);
  TreeView1->SetFont(DesignFont("ＭＳ Ｐゴシック", SHIFTJIS_CHARSET));
  TreeView1->SetColor(clWindow);
  TreeView1->PopupMenu = PopupMenuEx1;

  Memo1 = new TMemo(this, TabSheet2);
  Memo1->Name = "Memo1";
  Memo1->SetAlign(alClient);
  Memo1->SetReadOnly(true);
  Memo1->SetFont(DesignFont("ＭＳ ゴシック", SHIFTJIS_CHARSET));
  Memo1->PopupMenu = PopupMenuEx3;
  // The edit control has a menu of its own; this one replaces it.
  Memo1->HookWindowProc([this](TMessage& m) {
    if (m.Msg != WM_CONTEXTMENU) return false;
    POINT pt{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
    if (pt.x == -1 && pt.y == -1) GetCursorPos(&pt);  // from the keyboard; 32 bits of -1 in a 64-bit LPARAM
    PopupMenuEx3->PopupComponent = Memo1;
    PopupMenuEx3->Popup(pt.x, pt.y);
    return true;
  });

  Image1 = new TImage(this, TabSheet3);
  Image1->Name = "Image1";
  Image1->SetAlign(alClient);
  Image1->Center = true;

  Splitter1 = new TSplitter(this, this, alLeft, 2);
  Splitter1->Name = "Splitter1";

  ListView1 = new TListView(this, this, true);
  // Placed, styled and given its columns here and by the settings before the
  // window is first shown (FormActivate): it lays itself out once, when it
  // is drawn again.
  ListView1->Perform(WM_SETREDRAW, FALSE);
  ListView1->Name = "ListView1";
  ListView1->SetAlign(alClient);
  ListView1->SetSmallImages(ImageList1);
  ListView1->SetFont(DesignFont("ＭＳ Ｐゴシック", SHIFTJIS_CHARSET));
  ListView1->SetColor(clWindow);
  ListView1->PopupMenu = PopupMenuEx2;
  SetWindowLongA(ListView1->Handle(), GWL_STYLE, GetWindowLongA(ListView1->Handle(), GWL_STYLE) & ~LVS_EDITLABELS);
  ListView1->AddColumn("名前", 100);
  ListView1->AddColumn("サイズ", 80, LVCFMT_RIGHT);
  ListView1->AddColumn("更新日時", 104);
  ListView1->AddColumn("圧縮率", 48, LVCFMT_RIGHT);
  ListView1->AddColumn("形式", 40, LVCFMT_CENTER);

  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->Name = "OpenDialog1";
  OpenDialog1->Title = "書庫の選択";
  OpenDialog1->Filter =
      "アーカイブファイル|*.lzh;*.arj;*.zip;*.tar;*.gz;*.z;*.tgz;*.taz;*.cab;*.bz2;*.gza;*.bza|実行ファイル|*.exe|"
      "全てのファイル|*.*";
  OpenDialog1->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  OpenDialog3 = new TOpenDialog(this);
  OpenDialog3->Name = "OpenDialog3";
  OpenDialog3->Title = "圧縮ﾌｧｲﾙの選択";
  OpenDialog3->Filter = "すべてのファイル|*.*";
  OpenDialog3->Options = ofHideReadOnly | ofAllowMultiSelect;
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->Name = "SaveDialog1";
  SaveDialog1->Title = "作成書庫ﾌｧｲﾙの入力";
  SaveDialog1->DefaultExt = "lzh";
  FolderDialog1 = new TCBDialog(this);
  FolderDialog1->Name = "FolderDialog1";

  Archive1 = new TArchiver(this);
  Archive1->Name = "Archive1";
  Archive1->Level = 0;
  Archive1->NoMessage = true;
  OpenArc = new TDdeServerConv(this, "OpenArc");
  OpenArc->OnExecuteMacro = [this](TObject* s, TStrings& m) { OpenArcExecuteMacro(s, m); };
  DdeServerItem1 = new TDdeServerItem(this, OpenArc);
  DdeServerItem1->Name = "DdeServerItem1";

  ActiveControl = TreeView1;
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };

  // The after-construction step of every component (the engine binds its
  // libraries here), then the creation event.
  for (int i = 0; i < ComponentCount(); ++i) Components(i)->Loaded();
  Realign();
  DoCreate();
}

TVantrelbyHalvek::~TVantrelbyHalvek() {
  DoDestroy();  // the clean-up needs the lists below
  delete FPendingFiles;
  delete FWorkFiles;
  delete FWorkFolders;
  FPendingFiles = FWorkFiles = FWorkFolders = nullptr;
}

// The lists of the newer look; those of the older one are drawn by FormCreate
// when it takes them (XpLook off).
void TVantrelbyHalvek::BuildImageLists() {
  FillItemImages(ImageList3);
  FillCommandImages(ImageList4, false);
  FillCommandImages(ImageList5, true);
}

void TVantrelbyHalvek::BuildMenus() {
  TMenuItem* root = MainMenu1->Items;
  auto on = [this](void (TVantrelbyHalvek::*m)(TObject*)) -> TNotifyEvent {
    return [this, m](TObject* s) { (this->*m)(s); };
  };
  File1 = NewItem(root, "File1", "ファイル(&F)", 0, "書庫を操作するコマンドです。");
  New2 = NewItem(File1, "New2", "新規作成(&W)", 0, "新しいオブジェクトを作成するコマンドです。");
  New1 = NewItem(New2, "New1", "新規書庫(&N)", ShortCut('N', ssCtrl), "書庫を開いていない状態にします。");
  Next1 = NewItem(New2, "Next1", "新規起動(&Z)", ShortCut('Z', ssCtrl), "新規にTovixを起動します。");
  NewLine(New2);
  NewFolder1 = NewItem(New2, "NewFolder1", "フォルダ(&F)...", 0, "新しい、空のフォルダを作成します。");
  NewFolder1->SetEnabled(false);
  Open1 = NewItem(File1, "Open1", "開く(&O)...", ShortCut('O', ssCtrl), "書庫を開きます。");
  NewLine(File1);
  Check1 = NewItem(File1, "Check1", "書庫の検査(&T)", 0, "書庫を検査します。");
  AutoUnpack1 = NewItem(File1, "AutoUnpack1", "自己解凍書庫の作成(&S)...", 0, "書庫から自己解凍書庫を作成します。");
  Exe2Lzh1 = NewItem(File1, "Exe2Lzh1", "書庫に変更(&R)...", 0, "自己解凍書庫から書庫を作成します。");
  Property1 = NewItem(File1, "Property1", "プロパティ(&R)...", 0, "書庫のプロパティを表示します。");
  for (TMenuItem* i : {Check1, AutoUnpack1, Exe2Lzh1, Property1}) i->SetEnabled(false);
  NewLine(File1);
  Close1 = NewItem(File1, "Close1", "閉じる(&C)", 0, "アプリケーションを終了します。", on(&TVantrelbyHalvek::Close1Click));
  RecentLine = NewLine(File1);
  RecentLine->Name = "RecentLine";
  RecentLine->SetVisible(false);

  Edit1 = NewItem(root, "Edit1", "編集(&E)", 0, "オブジェクトの選択や操作を行うコマンドです。");
  UnPack1 = NewItem(Edit1, "UnPack1", "解凍(&U)...", ShortCut('U', ssCtrl), "選択されたオブジェクトを解凍します。");
  Pack1 = NewItem(Edit1, "Pack1", "圧縮(&P)...", ShortCut('P', ssCtrl), "選択されたオブジェクトを圧縮します。");
  Show1 = NewItem(Edit1, "Show1", "表示(&V)", ShortCut('V', ssCtrl), "選択されたオブジェクトを関連付けで開きます。");
  Edit2 = NewItem(Edit1, "Edit2", "編集(&E)", ShortCut('E', ssCtrl),
                  "選択されたオブジェクトを関連付けで開き、終了後更新された場合には書庫を更新します。");
  Delete1 = NewItem(Edit1, "Delete1", "削除(&D)", ShortCut(VK_DELETE, 0), "選択されたオブジェクトを削除します。");
  ReName1 = NewItem(Edit1, "ReName1", "名前の変更(&N)...", ShortCut('R', ssCtrl), "選択されたオブジェクトの名前を変更します。");
  NewLine(Edit1);
  Test1 = NewItem(Edit1, "Test1", "テスト実行(&T)", 0, "書庫を解凍後、選択されたオブジェクトを実行し、終了時に削除します。");
  NewLine(Edit1);
  SelectAll1 = NewItem(Edit1, "SelectAll1", "すべて選択(&A)", ShortCut('A', ssCtrl), "ｳｲﾝﾄﾞｳ内のすべてのオブジェクトを選択します。");
  SelectChg1 = NewItem(Edit1, "SelectChg1", "選択の切り替え(&I)", 0,
                       "選択されたｵﾌﾞｼﾞｪｸﾄと選択されていないオブジェクトを逆にします。");
  for (TMenuItem* i : {UnPack1, Show1, Edit2, Delete1, ReName1, Test1, SelectAll1, SelectChg1}) i->SetEnabled(false);

  KO1 = NewItem(root, "KO1", "表示(&V)", 0, "このウインドウのデザインを変更するコマンドです。");
  ToolB1 = NewItem(KO1, "ToolB1", "ツールバー(&T)", 0, "ツールバーの表示/非表示を切り替えます。");
  ToolB1->SetChecked(true);
  StatusB1 = NewItem(KO1, "StatusB1", "ステータスバー(&B)", 0, "ステータスバーの表示/非表示を切り替えます。",
                     on(&TVantrelbyHalvek::StatusB1Click));
  StatusB1->SetChecked(true);
  NewLine(KO1);
  D_List = NewItem(KO1, "D_List", "一覧(&L)", 0, "オブジェクトを一覧表示します。", on(&TVantrelbyHalvek::D_ListClick));
  D_Rep = NewItem(KO1, "D_Rep", "詳細(&D)", 0, "ウインドウ内の各オブジェクトの情報を表示します。",
                  on(&TVantrelbyHalvek::D_RepClick));
  for (TMenuItem* i : {D_List, D_Rep}) {
    i->SetRadioItem(true);
    i->GroupIndex = 1;
  }
  D_Rep->SetChecked(true);
  NewLine(KO1);
  K1 = NewItem(KO1, "K1", "ソート(&S)", 0, "ウインドウ内のオブジェクトをソートするコマンドです。");
  SortName = NewItem(K1, "SortName", "名前順(&N)");
  SortExt = NewItem(K1, "SortExt", "拡張子順(&E)");
  SortSize = NewItem(K1, "SortSize", "サイズ順(&Z)");
  SortDate = NewItem(K1, "SortDate", "日付順(&D)");
  SortRate = NewItem(K1, "SortRate", "圧縮率順(&R)");
  SortType = NewItem(K1, "SortType", "形式順(&T)");
  NewLine(K1);
  SortNon = NewItem(K1, "SortNon", "なし");
  for (TMenuItem* i : {SortName, SortExt, SortSize, SortDate, SortRate, SortType, SortNon}) i->SetRadioItem(true);
  SortNon->SetChecked(true);
  NewLine(KO1);
  OP1 = NewItem(KO1, "OP1", "オプション(&O)...", 0, "オプションを変更します。");
  E1 = NewItem(KO1, "E1", "拡張子設定(&E)...", 0, "テキスト/画像に対応する拡張子を設定します。");
  KC1 = NewItem(KO1, "KC1", "ツールバーの編集(&C)...", 0, "ツールバーを編集します。", on(&TVantrelbyHalvek::KC1Click));

  T1 = NewItem(root, "T1", "ツール(&T)", 0, "書庫に関する追加コマンドです。");
  Find1 = NewItem(T1, "Find1", "検索(&F)...", ShortCut('F', ssCtrl), "書庫内のファイルを検索します。");
  NewLine(T1);
  MkDoru1 = NewItem(T1, "MkDoru1", "$設定ファイル作成(&I)...", 0, "自己解凍書庫用のインストール設定ファイルを作成します。");
  MkDoru1->SetEnabled(false);
  NewLine(T1);
  fm1 = NewItem(T1, "fm1", "フォーマット(&F)", 0, "リムーバブルディスクをフォーマットするコマンドです。");
  NewLine(T1);
  Explorer1 = NewItem(T1, "Explorer1", "Explorerの起動(&E)", 0, "書庫のフォルダでExplorerを起動します。");
  KA1 = NewItem(T1, "KA1", "アプリケーションの追加と削除(&A)", 0,
                "アプリケーションをセットアップして、ショートカットを作成します。", on(&TVantrelbyHalvek::KA1Click));
  N15 = NewItem(T1, "N15", "サウンド(&S)", 0, "コンピュータやアプリケーションのサウンドを設定します。",
                on(&TVantrelbyHalvek::N15Click));

  Help1 = NewItem(root, "Help1", "ヘルプ(&H)", 0, "ヘルプを表示するコマンドです。");
  SearchforHelpOn1 = NewItem(Help1, "SearchforHelpOn1", "トピックの検索(&H)", 0, "ヘルプを開きます。");
  NewLine(Help1);
  About1 = NewItem(Help1, "About1", "バージョン情報(&A)...", 0, "バージョン情報を表示します。",
                   on(&TVantrelbyHalvek::About1Click));

  // Commands that have a toolbar button show the button's glyph.
  const std::pair<TMenuItem*, int> glyphs[] = {
      {Close1, 0},  {New1, 1},       {Next1, 2},       {NewFolder1, 3},   {Open1, 4},     {UnPack1, 5},
      {Pack1, 6},   {Show1, 7},      {Edit2, 8},       {Delete1, 9},      {Test1, 10},    {SelectAll1, 11},
      {SelectChg1, 12}, {SortNon, 13}, {SortExt, 14}, {Check1, 15},     {AutoUnpack1, 16}, {Find1, 17},
      {Explorer1, 18}, {Property1, 19}};
  for (const auto& [item, image] : glyphs) item->ImageIndex = image;

  // Popups: captions and hints as the main-menu items of the same command.
  auto like = [](TMenuItem* parent, const char* name, TMenuItem* model) {
    TMenuItem* i = NewItem(parent, name, model->Caption(), 0, model->Hint);
    i->ImageIndex = model->ImageIndex;
    return i;
  };
  UnPack2 = like(PopupMenuEx1->Items, "UnPack2", UnPack1);
  Delete2 = like(PopupMenuEx1->Items, "Delete2", Delete1);
  NewLine(PopupMenuEx1->Items);
  NewFolder2 = NewItem(PopupMenuEx1->Items, "NewFolder2", "フォルダ作成(&F)...", 0, NewFolder1->Hint);
  for (TMenuItem* i : {UnPack2, Delete2, NewFolder2}) i->SetEnabled(false);

  UnPack3 = like(PopupMenuEx2->Items, "UnPack3", UnPack1);
  Show3 = like(PopupMenuEx2->Items, "Show3", Show1);
  Edit3 = like(PopupMenuEx2->Items, "Edit3", Edit2);
  Delete3 = like(PopupMenuEx2->Items, "Delete3", Delete1);
  ReName3 = like(PopupMenuEx2->Items, "ReName3", ReName1);
  NewLine(PopupMenuEx2->Items);
  Test3 = like(PopupMenuEx2->Items, "Test3", Test1);
  for (TMenuItem* i : {UnPack3, Show3, Edit3, Delete3, ReName3, Test3}) i->SetEnabled(false);

  MemoCopy1 = NewItem(PopupMenuEx3->Items, "MemoCopy1", "コピー(&C)", 0, "選択された文字列をクリップボードにコピーします。");
  MemoSelectAll1 = NewItem(PopupMenuEx3->Items, "MemoSelectAll1", "すべて選択(&A)", 0, "すべての文字を選択します。");
  NewLine(PopupMenuEx3->Items);
  WrapMnu = NewItem(PopupMenuEx3->Items, "WrapMnu", "右端で折り返す(&W)", 0, "右端で折り返す/折り返さないを切り替えます。",
                    on(&TVantrelbyHalvek::WrapMnuClick));
  EfontMnu = NewItem(PopupMenuEx3->Items, "EfontMnu", "英語フォント(&F)", 0, "日本語/英語フォントを切り替えます。",
                     on(&TVantrelbyHalvek::EfontMnuClick));

  ToolB2 = like(PopupMenuEx4->Items, "ToolB2", ToolB1);
  ToolB2->SetChecked(true);
  C1 = like(PopupMenuEx4->Items, "C1", KC1);
  C1->OnClick = on(&TVantrelbyHalvek::KC1Click);
}

void TVantrelbyHalvek::BuildToolBar() {
  TToolBar* tb = ToolBar1;
  auto btn = [tb](const char* name, const std::string& caption, int image, bool hidden, bool disabled) {
    TToolButton* b = tb->AddButton(name, image, caption + "|");
    if (hidden) b->SetVisible(false);
    if (disabled) b->SetEnabled(false);
    return b;
  };
  CloseBtn1 = btn("CloseBtn1", "終了", 0, false, false);
  CloseBtn1->OnClick = [this](TObject* s) { Close1Click(s); };
  tb->AddSeparator("ToolButton1");
  NewBtn1 = btn("NewBtn1", "新規書庫", 1, false, false);
  NextBtn1 = btn("NextBtn1", "新規起動", 2, true, false);
  NewFolderBtn1 = btn("NewFolderBtn1", "フォルダ作成", 3, true, true);
  OpenBtn1 = btn("OpenBtn1", "開く", 4, false, false);
  tb->AddSeparator("ToolButton2");
  UnPackBtn1 = btn("UnPackBtn1", "解凍", 5, false, true);
  PackBtn1 = btn("PackBtn1", "圧縮", 6, false, false);
  tb->AddSeparator("ToolButton3");
  ShowBtn1 = btn("ShowBtn1", "表示", 7, false, true);
  EditBtn1 = btn("EditBtn1", "編集", 8, true, true);
  DeleteBtn1 = btn("DeleteBtn1", "削除", 9, false, true);
  tb->AddSeparator("ToolButton4");
  TestBtn1 = btn("TestBtn1", "テスト実行", 10, true, true);
  SelectAllBtn1 = btn("SelectAllBtn1", "すべて選択", 11, true, true);
  SelectChgBtn1 = btn("SelectChgBtn1", "選択の切り替え", 12, true, true);
  SortNonBtn1 = btn("SortNonBtn1", "ソートしない", 13, false, false);
  SortExtBtn1 = btn("SortExtBtn1", "拡張子でソート", 14, false, false);
  CheckBtn1 = btn("CheckBtn1", "書庫の検査", 15, true, true);
  AutoUnpackBtn1 = btn("AutoUnpackBtn1", "自己解凍書庫作成", 16, true, true);
  FindBtn1 = btn("FindBtn1", "検索", 17, true, false);
  ExplorerBtn1 = btn("ExplorerBtn1", "Explorerの起動", 18, true, false);
  PropertyBtn1 = btn("PropertyBtn1", "プロパティ", 19, true, true);
  UpDirBtn = btn("UpDirBtn", "上へ", 20, true, true);
  for (int i = 5; i <= 8; ++i) tb->AddSeparator((std::string("ToolButton") + std::to_string(i)).c_str())->SetVisible(false);
}

void TVantrelbyHalvek::BuildSaveFilter() {
  std::string filter;
  int index = 0;
  auto add = [&](const char* part, int code) {
    if (!filter.empty()) filter += '|';
    filter += part;
    SaveFilterTypes[++index] = code;
  };
  for (int& t : SaveFilterTypes) t = 0;
  if (Archive1->UnLhaVersion()) add("Lha ファイル|*.lzh", 1);
  if (Archive1->ZipVersion()) add("Zip ファイル|*.zip", 2);
  if (Archive1->CabVersion()) {
    add("Cab ファイル|*.cab", 3);
    add("Cab ファイル (マルチボリューム)|*.cab", 4);
  }
  if (Archive1->TarVersion()) {
    add("Tar ファイル|*.tar", 5);
    add("Tar+GZip ファイル|*.gz;*.tgz", 6);
    add("GZip ファイル|*.gz", 7);
    add("Tar+BZip2 ファイル|*.bz2", 8);
    add("BZip2 ファイル|*.bz2", 9);
  }
  if (Archive1->BgaVersion()) {
    add("Gza ファイル|*.gza", 10);
    add("Bza ファイル|*.bza", 11);
  }
  SaveDialog1->Filter = filter;
}

void TVantrelbyHalvek::BuildFormatMenu() {
  // Only letters in use can name a removable drive.
  const DWORD inUse = GetLogicalDrives();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char root[4] = {letter, ':', '\\', 0};
    if (!(inUse & (1u << (letter - 'A'))) || GetDriveTypeA(root) != DRIVE_REMOVABLE) continue;
    std::string drive = std::string(1, letter) + ":";
    TMenuItem* item = NewItem(fm1, "", drive, 0, std::string("ドライブ ") + drive + " をフォーマットします。");
    item->Tag = letter - 'A';
    item->OnClick = [this](TObject* s) { formatClick(s); };
  }
}

// The command handlers of the other modules, on every item and button of
// their command; a module wires more of its own afterwards.
void TVantrelbyHalvek::WireCommands() {
  auto on = [this](void (TVantrelbyHalvek::*handler)(TObject*)) -> TNotifyEvent {
    return [this, handler](TObject* s) { (this->*handler)(s); };
  };
  auto wire = [](TNotifyEvent h, std::initializer_list<TMenuItem*> items,
                 std::initializer_list<TToolButton*> buttons = {}) {
    for (TMenuItem* i : items) i->OnClick = h;
    for (TToolButton* b : buttons) b->OnClick = h;
  };
  wire(on(&TVantrelbyHalvek::New1Click), {New1}, {NewBtn1});
  wire(on(&TVantrelbyHalvek::Next1Click), {Next1}, {NextBtn1});
  wire(on(&TVantrelbyHalvek::NewFolder1Click), {NewFolder1, NewFolder2}, {NewFolderBtn1});
  wire(on(&TVantrelbyHalvek::Open1Click), {Open1}, {OpenBtn1});
  wire(on(&TVantrelbyHalvek::Check1Click), {Check1}, {CheckBtn1});
  wire(on(&TVantrelbyHalvek::AutoUnpack1Click), {AutoUnpack1}, {AutoUnpackBtn1});
  wire(on(&TVantrelbyHalvek::Exe2Lzh1Click), {Exe2Lzh1});
  wire(on(&TVantrelbyHalvek::Property1Click), {Property1}, {PropertyBtn1});
  wire(on(&TVantrelbyHalvek::UnPack1Click), {UnPack1}, {UnPackBtn1});
  wire(on(&TVantrelbyHalvek::UnPack1Folder), {UnPack2});
  wire(on(&TVantrelbyHalvek::UnPack1File), {UnPack3});
  wire(on(&TVantrelbyHalvek::Pack1Click), {Pack1}, {PackBtn1});
  wire(on(&TVantrelbyHalvek::Show1Click), {Show1, Show3}, {ShowBtn1});
  ListView1->OnDblClick = on(&TVantrelbyHalvek::Show1Click);
  wire(on(&TVantrelbyHalvek::Edit2Click), {Edit2, Edit3}, {EditBtn1});
  wire(on(&TVantrelbyHalvek::Delete1Click), {Delete1}, {DeleteBtn1});
  wire(on(&TVantrelbyHalvek::Delete1Folder), {Delete2});
  wire(on(&TVantrelbyHalvek::Delete1File), {Delete3});
  wire(on(&TVantrelbyHalvek::ReName1Click), {ReName1, ReName3});
  wire(on(&TVantrelbyHalvek::Test1Click), {Test1, Test3}, {TestBtn1});
  wire(on(&TVantrelbyHalvek::SelectAll1Click), {SelectAll1}, {SelectAllBtn1});
  wire(on(&TVantrelbyHalvek::SelectChg1Click), {SelectChg1}, {SelectChgBtn1});
  wire(on(&TVantrelbyHalvek::ToolB1Click), {ToolB1, ToolB2});
  wire(on(&TVantrelbyHalvek::SortNameClick), {SortName});
  wire(on(&TVantrelbyHalvek::SortExtClick), {SortExt});
  wire(on(&TVantrelbyHalvek::SortSizeClick), {SortSize});
  wire(on(&TVantrelbyHalvek::SortDateClick), {SortDate});
  wire(on(&TVantrelbyHalvek::SortRateClick), {SortRate});
  wire(on(&TVantrelbyHalvek::SortTypeClick), {SortType});
  wire(on(&TVantrelbyHalvek::SortNonClick), {SortNon}, {SortNonBtn1});
  wire(on(&TVantrelbyHalvek::SortExtBtn1Click), {}, {SortExtBtn1});
  wire(on(&TVantrelbyHalvek::UpDirBtnClick), {}, {UpDirBtn});
  wire(on(&TVantrelbyHalvek::OP1Click), {OP1});
  wire(on(&TVantrelbyHalvek::E1Click), {E1});
  wire(on(&TVantrelbyHalvek::Find1Click), {Find1}, {FindBtn1});
  wire(on(&TVantrelbyHalvek::MkDoru1Click), {MkDoru1});
  wire(on(&TVantrelbyHalvek::Explorer1Click), {Explorer1}, {ExplorerBtn1});
  wire(on(&TVantrelbyHalvek::SearchforHelpOn1Click), {SearchforHelpOn1});
  wire(on(&TVantrelbyHalvek::MemoCopy1Click), {MemoCopy1});
  wire(on(&TVantrelbyHalvek::MemoSelectAll1Click), {MemoSelectAll1});
  PageControl1->OnChange = on(&TVantrelbyHalvek::PageControl1Change);
  for (TPopupMenuEx* p : {PopupMenuEx1, PopupMenuEx2, PopupMenuEx4}) p->OnPopup = on(&TVantrelbyHalvek::PopupMenuEx1Popup);
  PopupMenuEx3->OnPopup = on(&TVantrelbyHalvek::PopupMenuEx3Popup);
  for (TPopupMenuEx* p : {PopupMenuEx1, PopupMenuEx2, PopupMenuEx3, PopupMenuEx4})
    p->OnDonePopup = on(&TVantrelbyHalvek::PopupMenuEx1DonePopup);
}

void TVantrelbyHalvek::FormCreate(TObject* Sender) {
  if (IsNT()) LogBufferSize = 65536;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &WorkArea, 0)) WorkArea = RECT{0, 0, ScreenWidth(), ScreenHeight()};

  FWorkFiles = new TStringList;
  FWorkFolders = new TStringList;
  FPendingFiles = new TStringList;
  if (!SearchFolders) SearchFolders = new TStringList;
  if (!RecentArchives) RecentArchives = new TStringList;
  if (!TextExtensions) TextExtensions = new TStringList;
  if (!ImageExtensions) ImageExtensions = new TStringList;
  if (!ImagePlugins) ImagePlugins = new TStringList;
  if (!EntryNames) EntryNames = new TStringList;
  LastExtractDir.clear();

  OSVERSIONINFOA vi = Version();
  XpLook = vi.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (vi.dwMajorVersion > 5 || (vi.dwMajorVersion == 5 && vi.dwMinorVersion > 0));
  if (XpLook) {
    TreeView1->SetShowLines(false);
    TreeView1->SetImages(ImageList3);
    ListView1->SetSmallImages(ImageList3);
    for (TMenu* m : std::initializer_list<TMenu*>{MainMenu1, PopupMenuEx1, PopupMenuEx2}) {
      m->SetDisabledImages(ImageList5);
      m->SetImages(ImageList4);
    }
    ToolBar1->SetDisabledImages(ImageList5);
    ToolBar1->SetImages(ImageList4);
  } else {
    FillItemImages(ImageList1);
    FillCommandImages(ImageList2, false);
  }

  DWORD n = GetTempPathA(0, nullptr);
  std::string temp(n + 1, '\0');
  DWORD got = GetTempPathA(n + 1, temp.data());
  temp.resize(got <= n ? got : 0);
  FTempPath = temp;

  std::string exe = Application->ExeName();
  Application->HelpFile = arc::join_path(arc::folder_of(exe), "tovix.hlp");

  Application->OnHint = [this](TObject* s) { ShowAppHint(s); };
  FSystemMenu = GetSystemMenu(Handle(), FALSE);

  if (Archive1->UnLhaVersion() == 0) {
    Find1->SetEnabled(false);
    FindBtn1->SetEnabled(false);
  }
  BuildFormatMenu();
  StatusBar1->SetHeight(7 - Font().Height());
  BuildSaveFilter();
  DragAcceptFiles(Handle(), TRUE);
  Application->OnMessage = [this](MSG& m, bool& h) { AppMessage(m, h); };

  WireCommands();
  WireListCommands();
  WireExtractCommands();
  WireDndCommands();
}

void TVantrelbyHalvek::ExecStartAction(int action) {
  if (action == 1) {
    ListArchive();
  } else if (action == 2) {
    PackPending();
  }
}

void TVantrelbyHalvek::PackPending() { PackFiles(); }

void TVantrelbyHalvek::FormActivate(TObject* Sender) {
  OnActivate = nullptr;
  // The archive given at start is listed while the window is being shown:
  // it is painted once, filled (see ListArchiveBody). The tree and the file
  // list are out of sight meanwhile: a list in sight draws its scroll bars
  // each time it sets them, and filling sets them several times.
  FFirstShow = FStartAction == 1;
  if (FFirstShow) {
    ShowWindow(TreeView1->Handle(), SW_HIDE);
    ShowWindow(ListView1->Handle(), SW_HIDE);
  }
  // Placed and styled by now (see the constructor).
  ListView1->Perform(WM_SETREDRAW, TRUE);
  if (!FFirstShow) {
    ExecStartAction(FStartAction);
    return;
  }
  try {
    ExecStartAction(FStartAction);
  } catch (...) {
    EndFirstShow();
    throw;
  }
  EndFirstShow();
}

void TVantrelbyHalvek::EndFirstShow() {
  FFirstShow = false;
  // The file list works out its row sizes when it is first painted and sets
  // its scroll bars again then; painted once out of sight, it comes into
  // sight as it stays.
  HDC dc = CreateCompatibleDC(nullptr);
  SendMessageA(ListView1->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  DeleteDC(dc);
  ShowWindow(TreeView1->Handle(), SW_SHOWNA);
  ShowWindow(ListView1->Handle(), SW_SHOWNA);
}

void TVantrelbyHalvek::FormCloseQuery(TObject* Sender, bool& CanClose) {
  SaveSettings();
  CanClose = true;
}

void TVantrelbyHalvek::Close1Click(TObject* Sender) { Close(); }

void TVantrelbyHalvek::About1Click(TObject* Sender) { ShowAboutBox(); }

// ---- second start

bool TVantrelbyHalvek::ForwardToRunningInstance() {
  {
    TRegIniFile ini(SettingsKeyName());
    SingleInstance = ini.ReadBool("Other", "2Err", false);
  }
  RunningWindow = FindWindowA("TVantrelbyHalvek", nullptr);
  if (!SingleInstance || !RunningWindow) return false;
  ShowWindow(RunningWindow, SW_RESTORE);
  std::string macro = ForwardMacro(GetCommandLineA());
  TDdeClientConv conv(nullptr);
  conv.ConnectMode = ddeManual;
  conv.SetLink("Tovix", "OpenArc");
  if (conv.OpenLink()) {
    conv.ExecuteMacro(macro, false);
    conv.CloseLink();
  }
  return true;
}

// ---- program entry

int RunMainProgram() {
  HRESULT ole = OleInitialize(nullptr);
  RegisterArcExtractMessage();
  RegisterBroadcastMessages();
  RegisterClipboardFormats();

  int rc = 0;
  if (!TVantrelbyHalvek::ForwardToRunningInstance()) {
    auto* app = new TApplication;
    app->Initialize();
    app->SetTitle("Tovix");
    VantrelbyHalvek = new TVantrelbyHalvek(app);
    DispDlg = new TDispDlg(app, VantrelbyHalvek->Handle());
    VantrelbyHalvek->LoadSettings();
    // A pack asked for at start with Pack\Exit has already run: no window.
    if (!VantrelbyHalvek->FQuitAtStart) app->Run();
    delete app;
    VantrelbyHalvek = nullptr;
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return rc;
}
