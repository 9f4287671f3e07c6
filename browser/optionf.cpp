#include "optionf.h"

#include <algorithm>

#include "CBDlg.h"
#include "Registry.h"
#include "text.h"

namespace {
const int kPageCount = 9;

TCheckBox* Check(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int x, int y,
                 int w = 300) {
  auto* c = new TCheckBox(owner, parent, caption);
  c->Name = name;
  c->SetBounds(x, y, w, 20);
  return c;
}

TButton* Push(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int x, int y,
              int w) {
  auto* b = new TButton(owner, parent, caption);
  b->Name = name;
  b->SetBounds(x, y, w, 24);
  return b;
}

TXpGroupBox* Group(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int x, int y,
                   int w, int h) {
  auto* g = new TXpGroupBox(owner, parent, caption);
  g->Name = name;
  g->SetBounds(x, y, w, h);
  return g;
}

TXpRadioGroup* Radios(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption,
                      const std::vector<std::string>& items, int columns, int x, int y, int w, int h) {
  auto* r = new TXpRadioGroup(owner, parent, caption);
  r->Name = name;
  r->SetBounds(x, y, w, h);
  r->SetColumns(columns);
  r->SetItems(items);
  return r;
}

TTrackBar* Track(TComponent* owner, TWinControl* parent, const char* name, int lo, int hi, int x, int y, int w) {
  auto* t = new TTrackBar(owner, parent);
  t->Name = name;
  t->SetRange(lo, hi);
  t->SetBounds(x, y, w, 30);
  return t;
}

TLabel* Label(TComponent* owner, TWinControl* parent, const std::string& text, int x, int y, int w = 40) {
  auto* l = new TLabel(owner, parent, text);
  l->SetBounds(x, y, w, 16);
  return l;
}

// Tick labels under a track bar: value v sits centred under its thumb
// position, narrow enough to stay inside the group box's frame.
void TickLabels(TComponent* owner, TWinControl* parent, const std::vector<std::pair<int, std::string>>& ticks, int lo,
                int hi, int x, int y, int w) {
  for (const auto& [v, text] : ticks) {
    int pos = x + 10 + (w - 20) * (v - lo) / (hi - lo);
    TLabel* l = Label(owner, parent, text, pos - 8, y, 16);
    SetWindowLongA(l->Handle(), GWL_STYLE, (GetWindowLongA(l->Handle(), GWL_STYLE) & ~SS_TYPEMASK) | SS_CENTER);
  }
}
}  // namespace

POINT OptionDlgPlace(POINT cursor, int width, int height, const RECT& work) {
  POINT p{cursor.x - width / 2, cursor.y - height / 2};
  if (p.x < work.left) p.x = work.left;
  if (p.y < work.top) p.y = work.top;
  if (p.x + width > work.right) p.x = work.right - width;
  if (p.y + height > work.bottom) p.y = work.bottom - height;
  return p;
}

TOptionDlg::TOptionDlg(TComponent* AOwner) : TForm(AOwner, "TOptionDlg", bsDialog) {
  SetCaption("オプション設定");
  SetHelpButton(true);
  TFont f = Font();
  f.SetName("MS UI Gothic");
  f.SetHeight(-12);
  SetFont(f);
  // Client 470 x 330.
  RECT r{0, 0, 470, 330};
  AdjustWindowRectEx(&r, GetWindowLongA(FHandle, GWL_STYLE), FALSE, GetWindowLongA(FHandle, GWL_EXSTYLE));
  SetBounds(0, 0, r.right - r.left, r.bottom - r.top);

  TreeView1 = new TTreeView(this, this);
  TreeView1->Name = "TreeView1";
  TreeView1->SetBounds(8, 8, 120, 280);
  TreeView1->SetReadOnly(true);
  TreeView1->SetIndent(19);
  TreeView1->SetShowRoot(true);
  TreeView1->SetShowLines(true);
  Panel2 = new TPanel(this, this);
  Panel2->Name = "Panel2";
  Panel2->SetBounds(136, 8, 326, 280);
  PageControl1 = new TPageControl(this, Panel2);
  PageControl1->Name = "PageControl1";
  // No tabs to see (the design's one-pixel button tabs drew a dotted strip
  // above each page): only the tree picks a page.
  PageControl1->SetTabsVisible(false);
  PageControl1->SetAlign(alClient);

  OKBtn = Push(this, this, "OKBtn", "OK", 302, 298, 76);
  OKBtn->ModalResult = mrOk;
  OKBtn->SetDefault(true);
  CancelBtn = Push(this, this, "CancelBtn", "キャンセル", 386, 298, 76);
  CancelBtn->ModalResult = mrCancel;
  CancelBtn->SetCancel(true);

  FontDialog1 = new TFontDialog(this);
  FontDialog1->Name = "FontDialog1";
  ColorDialog1 = new TColorDialog(this);
  ColorDialog1->Name = "ColorDialog1";
  OpenDialog2 = new TOpenDialog(this);
  OpenDialog2->Name = "OpenDialog2";
  OpenDialog2->Title = "Shiftキー押し時の表示ﾌﾟﾛｸﾞﾗﾑ";
  OpenDialog2->Filter = "実行ﾌｧｲﾙ|*.exe";
  OpenDialog2->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  FolderDialog1 = new TCBDialog(this);
  FolderDialog1->Name = "FolderDialog1";

  BuildPages();

  const char* const names[kPageCount] = {"画面", "表示", "フォルダ", "解凍", "圧縮", "LHA", "ZIP/TAR", "CAB", "その他"};
  TTreeNode* pack = nullptr;
  for (int i = 0; i < kPageCount; ++i) {
    TTreeNode* n = TreeView1->Items.AddChild(i >= 5 && i <= 7 ? pack : nullptr, names[i]);
    n->SetImageIndex(i);
    n->SetSelectedIndex(i);
    if (i == 4) pack = n;
  }
  pack->SetExpanded(true);
  TreeView1->OnChange = [this](TObject* s, TTreeNode* n) { TreeView1Change(s, n); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  ActiveControl = TreeView1;
  // Help topics for F1 and the title bar's "?"; a control without one asks its group box.
  const std::pair<TControl*, int> help[] = {
      {Button1, 24},       {Button2, 36},        {Button6, 86},      {Tl_AutoSize, 113},     {GroupBox2, 50},
      {GroupBox3, 51},     {GroupBox4, 52},      {Up_ExecFolder, 23}, {Up_OverWrite, 25},   {Up_MkFolder, 45},
      {Up_All, 42},        {Up_OpenFolder, 81},  {Up_FileNoFolder, 82}, {Up_MfNum, 110},    {Up_NoDlg, 111},
      {pk_ExecFolder, 41}, {Pk_OverWrite, 46},   {Pk_All, 47},       {Pk_Date, 68},          {Pk_AddFolder, 70},
      {Pk_CmdExit, 85},    {Pk_Sort, 108},       {Pk_NoDlg, 112},    {Pk_Style, 48},         {Pk_SfxStyle, 49},
      {Pk_lh0, 134},       {Pk_ZipLevel, 84},    {Pk_TGZ, 117},      {Pk_IZipLevel, 116},    {Pk_CabStyle, 88},
      {Pk_CabLevel, 89},   {Pk_CabMkBat, 53},    {ArcDel, 54},       {SfxDel, 55},           {ExDir, 56},
      {Op_OldFolder, 76},  {T_err, 114},         {op_vIcon, 145}};
  for (const auto& [control, context] : help)
    if (control) control->HelpContext = context;
  DoCreate();
}

TOptionDlg::~TOptionDlg() { DoDestroy(); }

TTabSheet* TOptionDlg::Page(const char* name, const char* caption) {
  auto* t = new TTabSheet(this, PageControl1, caption);
  t->Name = name;
  return t;
}

void TOptionDlg::BuildPages() {
  TabSheet1 = Page("TabSheet1", "画面");
  TabSheet4 = Page("TabSheet4", "表示プログラム");
  TabSheet5 = Page("TabSheet5", "フォルダ");
  TabSheet2 = Page("TabSheet2", "解凍");
  TabSheet3 = Page("TabSheet3", "圧縮");
  TabSheet7 = Page("TabSheet7", "LHA");
  TabSheet9 = Page("TabSheet9", "ZIP/TAR");
  TabSheet8 = Page("TabSheet8", "CAB");
  TabSheet6 = Page("TabSheet6", "その他");

  // 画面
  GroupBox1 = Group(this, TabSheet1, "GroupBox1", "サンプル", 6, 4, 308, 160);
  TestView1 = new TListView(this, GroupBox1, false);
  TestView1->Name = "TestView1";
  TestView1->SetBounds(8, 18, 292, 134);
  TestView1->SetViewStyle(vsReport);
  TestView1->AddColumn("名前", 60);
  TestView1->AddColumn("サイズ", 50, LVCFMT_RIGHT);
  TestView1->AddColumn("更新日時", 100);
  TestView1->AddColumn("圧縮率", 50, LVCFMT_RIGHT);
  TestView1->AddColumn("形式", 40);
  TestView1->AddColumn("パス", 50);
  TestView1->AddItem("tovix.txt", {"2,834", "1997/05/11 01:03", "51.9%", "-lh6-"});
  TestView1->AddItem("tovix.exe", {"440,320", "1997/05/11 01:03", "44.2%", "-lh6-"});
  Button1 = Push(this, TabSheet1, "Button1", "フォント(&F)", 6, 172, 100);
  Button2 = Push(this, TabSheet1, "Button2", "背景色(&B)", 110, 172, 100);
  Button6 = Push(this, TabSheet1, "Button6", "システム色(&S)", 214, 172, 100);
  Tl_AutoSize = Check(this, TabSheet1, "Tl_AutoSize", "幅を自動調整する(&A)", 8, 206);

  // 表示プログラム
  GroupBox2 = Group(this, TabSheet4, "GroupBox2", "表示プログラムの指定(&V)", 6, 4, 308, 60);
  VprogEd = new TEdit(this, GroupBox2);
  VprogEd->Name = "VprogEd";
  VprogEd->SetBounds(8, 24, 204, 22);
  Button3 = Push(this, GroupBox2, "Button3", "検索(&B)...", 218, 23, 82);

  // フォルダ
  GroupBox3 = Group(this, TabSheet5, "GroupBox3", "初期解凍先の指定(&U)", 6, 4, 308, 82);
  Up_Folder = new TEdit(this, GroupBox3);
  Up_Folder->Name = "Up_Folder";
  Up_Folder->SetBounds(8, 24, 204, 22);
  Button4 = Push(this, GroupBox3, "Button4", "参照(&B)...", 218, 23, 82);
  Up_ArcFolder = Check(this, GroupBox3, "Up_ArcFolder", "書庫のフォルダを使用する(&X)", 8, 54, 290);
  GroupBox4 = Group(this, TabSheet5, "GroupBox4", "初期圧縮先の指定(&P)", 6, 94, 308, 82);
  Pk_Folder = new TEdit(this, GroupBox4);
  Pk_Folder->Name = "Pk_Folder";
  Pk_Folder->SetBounds(8, 24, 204, 22);
  Button5 = Push(this, GroupBox4, "Button5", "参照(&S)...", 218, 23, 82);
  Pk_ArcFolder = Check(this, GroupBox4, "Pk_ArcFolder", "ファイルのフォルダを使用する(&Y)", 8, 54, 290);

  // 解凍
  int y = 8;
  auto next = [&y] { int r = y; y += 26; return r; };
  Up_ExecFolder = Check(this, TabSheet2, "Up_ExecFolder", "フォルダ付きで解凍(&F)", 8, next());
  Up_OverWrite = Check(this, TabSheet2, "Up_OverWrite", "タイムスタンプを無視して解凍(&T)", 8, next());
  Up_MkFolder = Check(this, TabSheet2, "Up_MkFolder", "書庫名のフォルダ作成して解凍(&M)", 8, next());
  Up_All = Check(this, TabSheet2, "Up_All", "隠し属性、システム属性も解凍(&A)", 8, next());
  Up_OpenFolder = Check(this, TabSheet2, "Up_OpenFolder", "解凍後にフォルダを開く(&O)", 8, next());
  Up_FileNoFolder = Check(this, TabSheet2, "Up_FileNoFolder", "ファイル解凍時にはフォルダを付けない(&N)", 8, next());
  Up_MfNum = Check(this, TabSheet2, "Up_MfNum", "書庫名の後ろの数値は除く(&X)", 8, next());
  Up_NoDlg = Check(this, TabSheet2, "Up_NoDlg", "解凍後に結果を表示しない(&N)", 8, next());
  Up_MkFolder->OnClick = [this](TObject* s) { Up_MkFolderClick(s); };
  Up_ExecFolder->OnClick = [this](TObject* s) { Up_ExecFolderClick(s); };

  // 圧縮
  y = 8;
  pk_ExecFolder = Check(this, TabSheet3, "pk_ExecFolder", "フォルダ付きで圧縮(&F)", 8, next());
  Pk_OverWrite = Check(this, TabSheet3, "Pk_OverWrite", "タイムスタンプを無視して圧縮(&T)", 8, next());
  Pk_All = Check(this, TabSheet3, "Pk_All", "隠し属性、システム属性も圧縮(&A)", 8, next());
  Pk_Date = Check(this, TabSheet3, "Pk_Date", "書庫の日付を書庫内の最新のものに合せる(&D)", 8, next());
  Pk_AddFolder = Check(this, TabSheet3, "Pk_AddFolder", "追加圧縮時に開いているフォルダへ圧縮(&C)", 8, next());
  Pk_CmdExit = Check(this, TabSheet3, "Pk_CmdExit", "コマンドラインからの圧縮時に、圧縮後終了する(&E)", 8, next());
  Pk_Sort = Check(this, TabSheet3, "Pk_Sort", "ファイル名でソートして圧縮(&S)", 8, next());
  Pk_NoDlg = Check(this, TabSheet3, "Pk_NoDlg", "圧縮後に結果を表示しない(&N)", 8, next());

  // LHA
  GroupBox5 = Group(this, TabSheet7, "GroupBox5", "LHA", 6, 4, 308, 168);
  Pk_Style = Radios(this, GroupBox5, "Pk_Style", "圧縮形式(&L)", {"lh5", "lh6", "lh7"}, 3, 8, 20, 292, 48);
  Pk_SfxStyle = Radios(this, GroupBox5, "Pk_SfxStyle", "自己解凍形式(&S)", {"WinSFX32", "WinSFX32M"}, 2, 8, 76, 292, 48);
  Pk_lh0 = Check(this, GroupBox5, "Pk_lh0", "書庫は圧縮しない(&N)", 8, 134, 290);

  // ZIP/TAR
  GroupBox6 = Group(this, TabSheet9, "GroupBox6", "GZIP", 6, 4, 308, 118);
  Label(this, GroupBox6, "圧縮レベル", 8, 20, 100);
  Pk_ZipLevel = Track(this, GroupBox6, "Pk_ZipLevel", 1, 9, 8, 38, 292);
  TickLabels(this, GroupBox6, {{1, "1"}, {3, "3"}, {6, "6"}, {9, "9 "}}, 1, 9, 8, 70, 292);
  Pk_TGZ = Check(this, GroupBox6, "Pk_TGZ", "拡張子 tgz (&T)", 8, 92, 290);
  GroupBox8 = Group(this, TabSheet9, "GroupBox8", "ZIP", 6, 130, 308, 80);
  Pk_IZipLevel = Track(this, GroupBox8, "Pk_IZipLevel", 0, 9, 8, 22, 292);
  TickLabels(this, GroupBox8, {{0, "0"}, {3, "3"}, {6, "6"}, {9, "9 "}}, 0, 9, 8, 54, 292);

  // CAB
  GroupBox7 = Group(this, TabSheet8, "GroupBox7", "CAB", 6, 4, 308, 160);
  Pk_CabStyle = Radios(this, GroupBox7, "Pk_CabStyle", "圧縮形式(&L)", {"MSZIP", "LZW"}, 2, 8, 20, 292, 48);
  Pk_CabLevel = Track(this, GroupBox7, "Pk_CabLevel", 15, 21, 8, 76, 292);
  TickLabels(this, GroupBox7, {{15, "15"}, {21, "21"}}, 15, 21, 8, 108, 292);
  Pk_CabMkBat = Check(this, GroupBox7, "Pk_CabMkBat", "マルチボリュームでバッチファイルを作成", 8, 130, 290);

  // その他
  y = 8;
  ArcDel = Check(this, TabSheet6, "ArcDel", "自己解凍書庫の作成時に書庫を削除する(&S)", 8, next());
  SfxDel = Check(this, TabSheet6, "SfxDel", "書庫に変更時に自己解凍書庫を削除する(&R)", 8, next());
  ExDir = Check(this, TabSheet6, "ExDir", "読み込み時に全てのフォルダを展開する(&E)", 8, next());
  Op_OldFolder = Check(this, TabSheet6, "Op_OldFolder", "最後に開いたフォルダを保存する(&O)", 8, next());
  T_err = Check(this, TabSheet6, "T_err", "２重起動しない(&X)", 8, next());
  op_vIcon = Check(this, TabSheet6, "op_vIcon", "書庫のアイコンは抽出する(&I)", 8, next());

  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  Button5->OnClick = [this](TObject* s) { Button5Click(s); };
  Button6->OnClick = [this](TObject* s) { Button6Click(s); };

  Fields = {
      {"List\\AutoSize", Tl_AutoSize, 0},
      {"List\\ViewProg", VprogEd, 1},
      {"UnPack\\DefFolder", Up_Folder, 2},
      {"UnPack\\ArcFolder", Up_ArcFolder, 2},
      {"Pack\\DefFolder", Pk_Folder, 2},
      {"Pack\\ArcFolder", Pk_ArcFolder, 2},
      {"UnPack\\UnPackFolder", Up_ExecFolder, 3},
      {"UnPack\\NoTimeCheck", Up_OverWrite, 3},
      {"UnPack\\MakeFolder", Up_MkFolder, 3},
      {"UnPack\\All", Up_All, 3},
      {"UnPack\\OpenFolder", Up_OpenFolder, 3},
      {"UnPack\\FileNoFolder", Up_FileNoFolder, 3},
      {"UnPack\\DelFolderNum", Up_MfNum, 3},
      {"UnPack\\HideDlg", Up_NoDlg, 3},
      {"Pack\\PackFolder", pk_ExecFolder, 4},
      {"Pack\\NoTimeCheck", Pk_OverWrite, 4},
      {"Pack\\All", Pk_All, 4},
      {"Pack\\SetDate", Pk_Date, 4},
      {"Pack\\AddFolder", Pk_AddFolder, 4},
      {"Pack\\Exit", Pk_CmdExit, 4},
      {"Pack\\Sort", Pk_Sort, 4},
      {"Pack\\HideDlg", Pk_NoDlg, 4},
      {"Pack\\PackStyle", Pk_Style, 5, 5},
      {"Pack\\AutoStyle", Pk_SfxStyle, 5, 1},
      {"Pack\\lh0", Pk_lh0, 5},
      {"Pack\\Zip", Pk_ZipLevel, 6},
      {"Pack\\TGZ", Pk_TGZ, 6},
      {"Pack\\IZip", Pk_IZipLevel, 6},
      {"Pack\\CabStyle", Pk_CabStyle, 7},
      {"Pack\\CabLevel", Pk_CabLevel, 7},
      {"Pack\\CabMkBat", Pk_CabMkBat, 7},
      {"Other\\LzhDelete", ArcDel, 8},
      {"Other\\ExeDelete", SfxDel, 8},
      {"Other\\Expand", ExDir, 8},
      {"Pos\\SaveFolder", Op_OldFolder, 8},
      {"Other\\2Err", T_err, 8},
      {"Other\\icon", op_vIcon, 8},
  };
}

const TOptionField* TOptionDlg::FindField(const std::string& key) const {
  for (const auto& f : Fields)
    if (lstrcmpiA(f.Key.c_str(), key.c_str()) == 0) return &f;
  return nullptr;
}

std::string TOptionDlg::FieldValue(const TOptionField& f) {
  if (auto* r = dynamic_cast<TXpRadioGroup*>(f.Control)) return std::to_string(r->ItemIndex() + f.Offset);
  if (auto* t = dynamic_cast<TTrackBar*>(f.Control)) return std::to_string(t->Position());
  if (auto* c = dynamic_cast<TCheckBox*>(f.Control)) return c->Checked() ? "1" : "0";
  return f.Control->Text();
}

void TOptionDlg::SetFieldValue(const TOptionField& f, const std::string& value) {
  int v = 0;
  if (auto* r = dynamic_cast<TXpRadioGroup*>(f.Control)) {
    if (TryStrToInt(value, v)) r->SetItemIndex(v - f.Offset);
  } else if (auto* t = dynamic_cast<TTrackBar*>(f.Control)) {
    if (TryStrToInt(value, v)) t->SetPosition(v);
  } else if (auto* c = dynamic_cast<TCheckBox*>(f.Control)) {
    c->SetChecked(value != "0" && !value.empty());
  } else {
    f.Control->SetText(value);
  }
}

void TOptionDlg::FormCreate(TObject* Sender) {
  if (TTreeNode* first = TreeView1->Items.GetFirstNode()) TreeView1->SetSelected(first);
  ShowPage(0);
}

void TOptionDlg::ShowPage(int page) {
  if (page >= 0 && page < PageControl1->PageCount()) PageControl1->SetActivePageIndex(page);
}

void TOptionDlg::TreeView1Change(TObject* Sender, TTreeNode* Node) {
  if (Node) ShowPage(Node->ImageIndex());
}

void TOptionDlg::Button1Click(TObject* Sender) {
  FontDialog1->Font = TestView1->Font();
  if (FontDialog1->Execute()) TestView1->SetFont(FontDialog1->Font);
}

void TOptionDlg::Button2Click(TObject* Sender) {
  ColorDialog1->Color = TestView1->Color();
  if (ColorDialog1->Execute()) TestView1->SetColor(ColorDialog1->Color);
}

void TOptionDlg::Button6Click(TObject* Sender) {
  TestView1->SetColor(clWindow);
  TFont f = TestView1->Font();
  f.SetColor(clWindowText);
  TestView1->SetFont(f);
}

void TOptionDlg::Button3Click(TObject* Sender) {
  const std::string prog = VprogEd->Text();
  OpenDialog2->InitialDir = arc::dir_part(prog);
  OpenDialog2->FileName = arc::base_name(prog);
  if (OpenDialog2->Execute()) VprogEd->SetText(OpenDialog2->FileName);
}

void TOptionDlg::Button4Click(TObject* Sender) {
  FolderDialog1->Directory = Up_Folder->Text();
  FolderDialog1->Caption = "初期解凍先を選択して下さい";
  if (FolderDialog1->Execute()) Up_Folder->SetText(FolderDialog1->Directory);
}

void TOptionDlg::Button5Click(TObject* Sender) {
  FolderDialog1->Directory = Pk_Folder->Text();
  FolderDialog1->Caption = "初期圧縮先を選択して下さい";
  if (FolderDialog1->Execute()) Pk_Folder->SetText(FolderDialog1->Directory);
}

void TOptionDlg::Up_MkFolderClick(TObject* Sender) { Up_MfNum->SetEnabled(Up_MkFolder->Checked()); }

void TOptionDlg::Up_ExecFolderClick(TObject* Sender) { Up_FileNoFolder->SetEnabled(Up_ExecFolder->Checked()); }

int TOptionDlg::Execute() { return ShowModal(); }
