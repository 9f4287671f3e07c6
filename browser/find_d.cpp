#include "find_d.h"

#include <commctrl.h>

#include <algorithm>

#include "CBDlg.h"
#include "StdCtrlsXp.h"
#include "list.h"
#include "main.h"
#include "text.h"

TFindDlg* FindDlg = nullptr;

namespace {

constexpr int kFindFileAvi = 151;  // the system's find-file animation in shell32
constexpr int kAnimateStopFrame = 23;

}  // namespace

POINT FindDlgPlace(int X, int Y, int Width, int Height, const RECT& Area) {
  // Left and top are kept too: a title bar pushed off the screen cannot be
  // dragged back.
  int left = X - 100, top = Y - 40;
  if (left + Width > Area.right) left = Area.right - Width;
  if (top + Height > Area.bottom) top = Area.bottom - Height;
  if (left < Area.left) left = Area.left;
  if (top < Area.top) top = Area.top;
  return POINT{left, top};
}

std::string EntryFileNamePart(const std::string& Name) { return arc::file_name(Name); }

void PushSearchFolder(TStrings& History, const std::string& Folder) {
  int i = History.IndexOf(Folder);
  if (i >= 0) History.Delete(i);
  History.Insert(0, Folder);
}

int CompareFindRows(const TFindRow& A, const TFindRow& B, int Column) {
  switch (Column) {
    case 2:
      return A.Size < B.Size ? -1 : A.Size > B.Size ? 1 : 0;
    case 3:
      return FormatListDate(A.Date).compare(FormatListDate(B.Date));
    case 4:
      return TextSortKey(A.Archive).compare(TextSortKey(B.Archive));
    default:
      return TextSortKey(A.Name).compare(TextSortKey(B.Name));
  }
}

TFindDlg::TFindDlg(TComponent* AOwner, TArchiver& Engine) : TForm(AOwner, "TFindDlg", bsDialog), FEngine(Engine) {
  SetCaption("書庫内ファイル検索");
  SetClientSize(546, 301);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetHeight(-12);
  font.SetColor(clBlack);
  SetFont(font);
  auto place = [&font](TControl* c, const char* name, int l, int t, int w, int h) {
    c->Name = name;
    c->SetBounds(l, t, w, h);
    c->SetFont(font);
  };

  GroupBox1 = new TXpGroupBox(this, this, "検索条件");
  place(GroupBox1, "GroupBox1", 8, 4, 348, 100);
  Label1 = new TLabel(this, GroupBox1, "名前(&N):");
  place(Label1, "Label1", 10, 22, 80, 14);
  NameEd = new TEdit(this, GroupBox1);
  place(NameEd, "NameEd", 94, 18, 244, 21);
  Label2 = new TLabel(this, GroupBox1, "探す場所(&L):");
  place(Label2, "Label2", 10, 48, 80, 14);
  DirEd = new TComboBox(this, GroupBox1);
  place(DirEd, "DirEd", 94, 44, 164, 21 + 8 * 16);
  Button3 = new TButton(this, GroupBox1, "参照(&B)...");
  place(Button3, "Button3", 262, 43, 76, 23);
  SubFind1 = new TCheckBox(this, GroupBox1, "サブフォルダも探す(&S)");
  place(SubFind1, "SubFind1", 94, 74, 200, 17);

  GroupBox2 = new TXpGroupBox(this, this, "書庫タイプ");
  place(GroupBox2, "GroupBox2", 362, 4, 176, 100);
  const char* names[9] = {"LhaS", "ArjS", "ZipS", "TarS", "GzS", "CabS", "Bz2S", "RarS", "BgaS"};
  const char* captions[9] = {"Lha", "Arj", "Zip", "Tar", "GZip", "Cab", "BZip", "Rar", "Bga"};
  TCheckBox** boxes[9] = {&LhaS, &ArjS, &ZipS, &TarS, &GzS, &CabS, &Bz2S, &RarS, &BgaS};
  for (int i = 0; i < 9; ++i) {
    *boxes[i] = new TCheckBox(this, GroupBox2, captions[i]);
    place(*boxes[i], names[i], 10 + (i % 3) * 56, 22 + (i / 3) * 24, 54, 17);
  }

  ListView1 = new TListView(this, this);
  place(ListView1, "ListView1", 8, 110, 530, 150);
  ListView1->SetViewStyle(vsReport);
  SetWindowLongA(ListView1->Handle(), GWL_STYLE,
                 GetWindowLongA(ListView1->Handle(), GWL_STYLE) | LVS_SHOWSELALWAYS | LVS_SINGLESEL);
  ListView_SetExtendedListViewStyleEx(ListView1->Handle(), LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  ListView1->AddColumn("名前", 150);
  ListView1->AddColumn("サイズ", 60, LVCFMT_RIGHT);
  ListView1->AddColumn("更新日時", 104);
  ListView1->AddColumn("書庫名", 530 - 150 - 60 - 104 - GetSystemMetrics(SM_CXVSCROLL) - 4);
  ListView1->OnData = [this](TObject*, TLVDispItem& item) {
    const TFindRow& row = FRows[static_cast<size_t>(item.Index)];
    item.Caption = row.Name;
    item.SubItems = {FormatThousands(row.Size), FormatListDate(row.Date), row.Archive, "", std::to_string(row.Size)};
  };
  ListView1->OnDblClick = [this](TObject*) { ListView1DblClick(); };
  ListView1->OnColumnClick = [this](TObject*, int column) { ListView1ColumnClick(column + 1); };

  Button1 = new TButton(this, this, "検索開始(&I)");
  place(Button1, "Button1", 296, 270, 78, 24);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject*) { Button1Click(); };
  Button2 = new TButton(this, this, "終了(&P)", mrCancel);
  place(Button2, "Button2", 378, 270, 78, 24);
  Button2->SetCancel(true);
  Button4 = new TButton(this, this, "ヘルプ(&H)");
  place(Button4, "Button4", 460, 270, 78, 24);
  Button4->OnClick = [this](TObject*) {
    WinHelpA(Handle(), Application ? Application->HelpFile.c_str() : "", HELP_CONTEXT, 64);
  };
  Button3->OnClick = [this](TObject*) { Button3Click(); };
  // Help topics for F1; the type boxes ask their group box.
  NameEd->HelpContext = 97;
  DirEd->HelpContext = 98;
  SubFind1->HelpContext = 95;
  GroupBox2->HelpContext = 109;
  ListView1->HelpContext = 127;

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&icc);
  Animate1 = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT | ACS_CENTER, 8, 264, 80,
                             34, Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  if (Animate1) {
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) shell = LoadLibraryA("shell32.dll");
    SendMessageA(Animate1, ACM_OPENA, reinterpret_cast<WPARAM>(shell), reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(kFindFileAvi)));
    SendMessageA(Animate1, ACM_PLAY, 1, MAKELONG(kAnimateStopFrame, kAnimateStopFrame));
  }

  FolderDialog1 = new TCBDialog(this);
  FolderDialog1->Caption = "検索先を選択";

  for (const TTypeBox& t : Types())
    if (t.Bit) t.Box->OnClick = [this, box = t.Box](TObject*) { FlagChg(box); };
  OnShow = [this](TObject*) { FormShow(); };
  ActiveControl = NameEd;
  FormCreate();
}

TFindDlg::~TFindDlg() {
  if (FindDlg == this) FindDlg = nullptr;
}

std::vector<TFindDlg::TTypeBox> TFindDlg::Types() const {
  // Search order of the walk.
  return {{LhaS, {"*.lzh", nullptr}, 1},  {ArjS, {"*.arj", nullptr}, 2},   {ZipS, {"*.zip", nullptr}, 4},
          {TarS, {"*.tar", nullptr}, 8},  {GzS, {"*.gz", "*.tgz"}, 16},    {Bz2S, {"*.bz2", nullptr}, 64},
          {CabS, {"*.cab", nullptr}, 32}, {RarS, {"*.rar", nullptr}, 128}, {BgaS, {"*.gza", "*.bza"}, 0}};
}

void TFindDlg::FormCreate() {
  LhaS->SetEnabled(FEngine.UnLhaVersion() != 0);
  ArjS->SetEnabled(FEngine.UnArjVersion() != 0);
  TarS->SetEnabled(FEngine.TarVersion() != 0);
  GzS->SetEnabled(FEngine.TarVersion() != 0);
  Bz2S->SetEnabled(FEngine.TarVersion() != 0);
  CabS->SetEnabled(FEngine.CabVersion() != 0);
  RarS->SetEnabled(FEngine.RarVersion() != 0);
  BgaS->SetEnabled(FEngine.BgaVersion() != 0);
  for (const TTypeBox& t : Types())
    if (t.Bit) t.Box->SetChecked((SearchFlag & t.Bit) != 0);
  LoadFolderList();
}

void TFindDlg::LoadFolderList() {
  DirEd->ClearItems();
  if (!SearchFolders) return;
  for (int i = 0; i < SearchFolders->Count(); ++i) DirEd->AddItem((*SearchFolders)[i]);
}

void TFindDlg::FormShow() {
  NameEd->SetText("");
  DirEd->SetText("");
  ZipS->SetEnabled(FEngine.UnZipVersion() != 0 && FEngine.UnZipVersion() >= 80);
}

void TFindDlg::FlagChg(TCheckBox* Box) {
  for (const TTypeBox& t : Types())
    if (t.Box == Box && t.Bit) {
      if (Box->Checked()) SearchFlag |= t.Bit;
      else SearchFlag &= ~t.Bit;
    }
}

void TFindDlg::Button3Click() {
  FolderDialog1->Directory = DirEd->Text();
  if (FolderDialog1->Execute()) DirEd->SetText(FolderDialog1->Directory);
}

void TFindDlg::ShowRows() {
  ListView1->SetItemCount(static_cast<int>(FRows.size()));
  ListView1->UpdateItems(0, static_cast<int>(FRows.size()) - 1);
}

void TFindDlg::Button1Click() {
  bool anyType = false;
  for (const TTypeBox& t : Types()) anyType = anyType || (t.Box->Enabled() && t.Box->Checked());
  if (NameEd->Text().empty() || DirEd->Text().empty() || !anyType) {
    MessageBoxA(Handle(), "検索条件を設定してください。", Caption().c_str(), MB_ICONERROR | MB_OK);
    return;
  }
  const std::string folder = DirEd->Text();
  FRows.clear();
  ListView1->ClearSelection();
  ShowRows();
  if (SearchFolders) {
    PushSearchFolder(*SearchFolders, folder);
    LoadFolderList();
  }
  DirEd->SetText(folder);

  const std::string saved = FEngine.ArcName();
  HCURSOR oldCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  if (Animate1) SendMessageA(Animate1, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, -1));
  FCancelled = false;
  auto finish = [&] {
    SetCursor(oldCursor ? oldCursor : LoadCursorA(nullptr, IDC_ARROW));
    if (Animate1) {
      SendMessageA(Animate1, ACM_STOP, 0, 0);
      SendMessageA(Animate1, ACM_PLAY, 1, MAKELONG(kAnimateStopFrame, kAnimateStopFrame));
    }
    FEngine.SetArcName(saved);
    ShowRows();
  };
  try {
    SearchFolder(arc::without_separator(folder));
  } catch (...) {
    finish();
    throw;
  }
  finish();
  SortColumn = 0;
}

bool TFindDlg::CancelRequested() {
  if (FCancelled) return true;
  // Nothing else is pumped while the walk runs; Escape or a click on the
  // close button stops it, other input meanwhile is dropped.
  MSG m;
  while (PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
    if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) FCancelled = true;
  while (PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
    if (m.message == WM_LBUTTONUP && m.hwnd == Button2->Handle()) FCancelled = true;
  return FCancelled;
}

void TFindDlg::SearchFolder(const std::string& Folder) {
  for (const TTypeBox& t : Types()) {
    if (!t.Box->Enabled() || !t.Box->Checked()) continue;
    for (const char* p : t.Patterns)
      if (p) SearchPattern(Folder, p);
  }
  if (!SubFind1->Checked() || CancelRequested()) return;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(arc::join_path(Folder, "*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> subs;
  do {
    const std::string name = fd.cFileName;
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && name != "." && name != "..")
      subs.push_back(name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  for (const std::string& s : subs) {
    if (CancelRequested()) return;
    SearchFolder(arc::join_path(Folder, s));
  }
}

void TFindDlg::SearchPattern(const std::string& Folder, const char* Pattern) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(arc::join_path(Folder, Pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::string ext = std::string(Pattern).substr(1);  // ".zip"
  std::vector<std::string> files;
  do {
    // "*.zip" also matches "a.zipx" through its short name on Windows; only
    // the named extension counts.
    const std::string name = fd.cFileName;
    if (!(fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) &&
        name.size() >= ext.size() && lstrcmpiA(name.c_str() + name.size() - ext.size(), ext.c_str()) == 0)
      files.push_back(name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  const std::string pattern = NameEd->Text();
  for (const std::string& f : files) {
    if (CancelRequested()) return;
    FEngine.SetArcName(arc::join_path(Folder, f));
    try {
      for (int rc = FEngine.FindFirst(pattern); rc == 0; rc = FEngine.FindNext())
        FRows.push_back(TFindRow{EntryFileNamePart(FEngine.FindName()), FEngine.FindOriginalSize(), FEngine.FindDate(),
                                 FEngine.ArcName()});
    } catch (...) {
      FEngine.CloseArchive();
      continue;
    }
    FEngine.CloseArchive();
  }
}

void TFindDlg::ListView1DblClick() {
  const int i = ListView1->GetNextSelected();
  if (i < 0 || i >= static_cast<int>(FRows.size())) return;
  FEngine.SetArcName(FRows[static_cast<size_t>(i)].Archive);
  ModalResult = mrOk;
}

void TFindDlg::ListView1ColumnClick(int Column) {
  if (Column == SortColumn) SortDescending = !SortDescending;
  else {
    SortColumn = Column;
    SortDescending = false;
  }
  const int col = SortColumn;
  const bool desc = SortDescending;
  std::stable_sort(FRows.begin(), FRows.end(), [col, desc](const TFindRow& a, const TFindRow& b) {
    const int c = CompareFindRows(a, b, col);
    return desc ? c > 0 : c < 0;
  });
  ShowRows();
}

int TFindDlg::Execute() { return ShowModal(); }
