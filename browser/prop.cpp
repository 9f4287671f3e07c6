#include "prop.h"

#include <algorithm>
#include <cstdio>


int DayMaxOf(int Month, int Year, int Current) {
  switch (Month) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12:
      return 32;
    case 4: case 6: case 9: case 11:
      return 31;
    case 2:
      return Year % 4 == 0 ? 30 : 29;
    default:
      return Current;
  }
}

int TypedPosition(int Value, int Min, int Max, int Step) {
  if (Value >= Max || Value < Min + Step) Value = Max - Step;
  // Down to the step's grid; the grid starts at 0 (seconds in twos).
  return Value - ((Value % Step) + Step) % Step;
}

int WrappedPosition(int Position, TUDBtnType Button, int Min, int Max, int Step) {
  if (Button == btNext && Position >= Max) return Min + Step;
  if (Button == btPrev && Position <= Min) return Max - Step;
  return Position;
}

std::string PropDateText(const SYSTEMTIME& t) {
  static const char* const kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4d年%.2d月%.2d日%s曜日 %-.2d:%.2d:%.2d", t.wYear, t.wMonth, t.wDay,
                kDays[t.wDayOfWeek % 7], t.wHour, t.wMinute, t.wSecond);
  return buf;
}

std::string ArchiveTypeText(TArchiverMode Mode, bool Sfx) {
  std::string name;
  switch (Mode) {
    case amLha: name = "LHa"; break;
    case amArj: name = "Arj"; break;
    case amZip: name = "Zip"; break;
    case amTar: name = "Tar"; break;
    case amCab: name = "Cab"; break;
    case amGz: name = "Gzip"; break;
    case amRar: name = "Rar"; break;
    case amBga: name = "Bga"; break;
    default: break;
  }
  return name + (Sfx ? "自己解凍ファイル" : "書庫ファイル");
}

namespace {
// Initial range, step and position of Date1..Date6; the outer values of
// each range are wrap markers.
struct TFieldInit {
  int MaxLength, Min, Max, Step, Position;
};
constexpr TFieldInit kFields[6] = {
    {4, 1899, 2100, 1, 1900}, {2, 0, 13, 1, 1}, {2, 0, 32, 1, 0},
    {2, -1, 24, 1, 0},        {2, -1, 60, 1, 0}, {2, -2, 60, 2, 0},
};

TLabel* Bevel(TForm* Form, int Top) {
  TLabel* b = new TLabel(Form, Form);
  SetWindowLongA(b->Handle(), GWL_STYLE, (GetWindowLongA(b->Handle(), GWL_STYLE) & ~SS_TYPEMASK) | SS_ETCHEDHORZ);
  b->SetBounds(8, Top, 268, 2);
  return b;
}
}  // namespace

TPropDlg::TPropDlg(TComponent* AOwner) : TForm(AOwner, "TPropDlg", bsDialog) {
  SetHelpButton(true);
  SetClientSize(284, 312);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetHeight(-12);
  font.SetColor(clBlack);
  SetFont(font);
  auto label = [&](const char* name, const std::string& caption, int l, int t, int w) {
    TLabel* x = new TLabel(this, this, caption);
    x->Name = name;
    x->SetBounds(l, t, w, 14);
    x->SetFont(font);
    return x;
  };
  auto box = [&](const char* name, const std::string& caption, int l, int t, int w) {
    TCheckBox* x = new TCheckBox(this, this, caption);
    x->Name = name;
    x->SetBounds(l, t, w, 17);
    x->SetFont(font);
    return x;
  };
  Image1 = new TImage(this, this);
  Image1->Name = "Image1";
  Image1->SetBounds(12, 10, 32, 32);
  Image1->OnPaint = [this](HDC dc, const RECT&) {
    if (FIcon) DrawIcon(dc, 0, 0, FIcon);
  };
  NameL = label("NameL", "", 60, 20, 216);
  Bevel1 = Bevel(this, 50);
  Label1 = label("Label1", "種類 :", 12, 60, 78);
  SyuruiL = label("SyuruiL", "", 92, 60, 184);
  Label8 = label("Label8", "サイズ :", 12, 78, 78);
  SizeL = label("SizeL", "", 92, 78, 184);
  Label2 = label("Label2", "元サイズ :", 12, 96, 78);
  OsizeL = label("OsizeL", "", 92, 96, 184);
  Label3 = label("Label3", "圧縮サイズ :", 12, 114, 78);
  AsizeL = label("AsizeL", "", 92, 114, 184);
  Label4 = label("Label4", "圧縮率 :", 12, 132, 78);
  RateL = label("RateL", "", 92, 132, 184);
  Bevel2 = Bevel(this, 152);
  MdateB = box("MdateB", "作成日時 :", 10, 160, 76);
  MdateL = label("MdateL", "", 88, 162, 188);
  OdateB = box("OdateB", "更新日時 :", 10, 180, 76);
  ODateL = label("ODateL", "", 88, 182, 188);
  static const int kLeft[6] = {10, 66, 106, 146, 186, 226};
  static const int kWidth[6] = {54, 38, 38, 38, 38, 38};
  for (int n = 0; n < 6; ++n) {
    TEdit* e = new TEdit(this, this, ES_NUMBER);
    e->Name = "Edit" + std::to_string(n + 1);
    e->Tag = n + 1;
    e->SetBounds(kLeft[n], 202, kWidth[n], 20);
    e->SetFont(font);
    e->SetMaxLength(kFields[n].MaxLength);
    // ES_NUMBER keeps out most junk; a pasted "-" still reaches Edit1Exit.
    SetWindowLongA(e->Handle(), GWL_STYLE, GetWindowLongA(e->Handle(), GWL_STYLE) & ~ES_NUMBER);
    e->HookWindowProc([this, e](TMessage& m) {
      // Leaving takes a good number at once; a bad text waits for OK, so no
      // box comes up while the focus moves.
      if (m.Msg == WM_KILLFOCUS) TakeTyped(e);
      return false;
    });
    TUpDown* u = new TUpDown(this, this);
    u->Name = "Date" + std::to_string(n + 1);
    u->Tag = n + 1;
    u->SetAssociate(e);
    u->SetRange(kFields[n].Min, kFields[n].Max);
    u->SetIncrement(kFields[n].Step);
    u->SetPosition(kFields[n].Position);
    u->OnChangingClick = [this](TObject* s, TUDBtnType b) { UpDownClick(static_cast<TUpDown*>(s), b); };
    Edits[n] = e;
    Dates[n] = u;
  }
  Bevel3 = Bevel(this, 230);
  AttrB = box("AttrB", "属性 :", 10, 238, 60);
  RonlyBox = box("RonlyBox", "読み取り専用(&R)", 76, 238, 110);
  ArchiveBox = box("ArchiveBox", "アーカイブ(&C)", 188, 238, 94);
  HideBox = box("HideBox", "隠しファイル(&D)", 76, 256, 110);
  ArcBox = box("ArcBox", "圧縮", 188, 256, 94);
  ArcBox->SetEnabled(false);
  // OK closes only after the time is checked.
  OKBtn = new TButton(this, this, "OK", mrNone);
  OKBtn->Name = "OKBtn";
  OKBtn->SetBounds(118, 282, 75, 24);
  OKBtn->SetFont(font);
  CancelBtn = new TButton(this, this, "キャンセル", mrCancel);
  CancelBtn->Name = "CancelBtn";
  CancelBtn->SetBounds(200, 282, 75, 24);
  CancelBtn->SetFont(font);
  // Enter cancels: a slip of the key must not rewrite the file.
  CancelBtn->SetDefault(true);
  CancelBtn->SetCancel(true);
  FitToTexts();
  // Help topics for F1 and the title bar's "?".
  const std::pair<TControl*, int> help[] = {{MdateB, 119},   {OdateB, 120},  {AttrB, 121}, {RonlyBox, 122},
                                            {HideBox, 123},  {ArchiveBox, 124}, {ArcBox, 125}};
  for (const auto& [control, context] : help) control->HelpContext = context;
  for (TEdit* e : Edits)
    if (e) e->HelpContext = 126;
  MdateB->OnClick = [this](TObject*) { MdateBClick(); };
  OdateB->OnClick = [this](TObject*) { MdateBClick(); };
  AttrB->OnClick = [this](TObject*) { AttrBClick(); };
  OKBtn->OnClick = [this](TObject*) { OKBtnClick(); };
  OnShow = [this](TObject*) { FormShow(); };
}

// The check boxes as wide as their captions need in the fonts at hand, the
// time texts after them and the second column of attributes after the
// first; the dialog widens when the widest row does not fit.
void TPropDlg::FitToTexts() {
  const int mark = GetSystemMetrics(SM_CXMENUCHECK) + 6;
  auto fit = [mark](TCheckBox* b) { b->SetWidth(static_cast<int>(b->TextExtent(b->Caption()).cx) + mark); };
  for (TCheckBox* b : {MdateB, OdateB, AttrB, RonlyBox, ArchiveBox, HideBox, ArcBox}) fit(b);
  auto right = [](TControl* c) { return c->Left() + c->Width(); };
  // The times: a date of the widest digits and day name stands for them.
  const int timeLeft = std::max(right(MdateB), right(OdateB)) + 8;
  const int timeWidth = static_cast<int>(MdateL->TextExtent(PropDateText(SYSTEMTIME{2000, 10, 3, 28, 20, 20, 20, 0})).cx);
  for (TLabel* l : {MdateL, ODateL}) l->SetBounds(timeLeft, l->Top(), timeWidth, l->Height());
  const int column1 = std::max(RonlyBox->Left(), right(AttrB) + 8);
  for (TCheckBox* b : {RonlyBox, HideBox}) b->SetLeft(column1);
  const int column2 = std::max(ArchiveBox->Left(), std::max(right(RonlyBox), right(HideBox)) + 8);
  for (TCheckBox* b : {ArchiveBox, ArcBox}) b->SetLeft(column2);
  const int widest = std::max({right(MdateL), right(ArchiveBox), right(ArcBox)}) + 8;
  const int more = widest - ClientWidth();
  if (more > 0) {
    SetClientSize(ClientWidth() + more, ClientHeight());
    for (TControl* c : {static_cast<TControl*>(NameL), static_cast<TControl*>(SyuruiL), static_cast<TControl*>(SizeL),
                        static_cast<TControl*>(OsizeL), static_cast<TControl*>(AsizeL), static_cast<TControl*>(RateL),
                        Bevel1, Bevel2, Bevel3})
      c->SetWidth(c->Width() + more);
    for (TButton* b : {OKBtn, CancelBtn}) b->SetLeft(b->Left() + more);
  }
  // The time texts reach the right edge, as the other values do.
  for (TLabel* l : {MdateL, ODateL}) l->SetWidth(ClientWidth() - 8 - l->Left());
}

TPropDlg::~TPropDlg() {
  if (FIcon) DestroyIcon(FIcon);
}

void TPropDlg::SetIcon(HICON Icon) {
  if (FIcon) DestroyIcon(FIcon);
  FIcon = Icon;
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
  Image1->Invalidate();
}

void TPropDlg::SetDayMax() {
  TUpDown* day = Dates[2];
  day->SetMax(DayMaxOf(Dates[1]->Position(), Dates[0]->Position(), day->Max()));
}

void TPropDlg::FormShow() {
  MdateB->SetChecked(false);
  OdateB->SetChecked(true);
  AttrB->SetChecked(true);
  MdateBClick();
  AttrBClick();
  SetDayMax();
  ActiveControl = Edits[0];  // the year: typing starts there
}

void TPropDlg::MdateBClick() {
  const bool on = MdateB->Checked() || OdateB->Checked();
  for (int n = 0; n < 6; ++n) {
    Edits[n]->SetEnabled(on);
    Dates[n]->SetEnabled(on);
  }
}

void TPropDlg::AttrBClick() {
  const bool on = AttrB->Checked();
  for (TCheckBox* b : {RonlyBox, ArchiveBox, HideBox}) b->SetEnabled(on);
}

void TPropDlg::UpDownClick(TUpDown* Sender, TUDBtnType Button) {
  const int p = Sender->Position();
  const int w = WrappedPosition(p, Button, Sender->Min(), Sender->Max(), Sender->Increment());
  if (w != p) Sender->SetPosition(w);
  if (Sender->Tag != 2) return;
  SetDayMax();
  TUpDown* day = Dates[2];
  if (day->Position() >= day->Max()) day->SetPosition(day->Max() - 1);
}

bool TPropDlg::TakeTyped(TEdit* Sender) {
  TUpDown* u = Dates[Sender->Tag - 1];
  const std::string text = Sender->Text();
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || end == text.c_str()) return false;
  u->SetPosition(TypedPosition(static_cast<int>(v), u->Min(), u->Max(), u->Increment()));
  // The edit shows what will be applied.
  u->SetPosition(u->Position());
  return true;
}

bool TPropDlg::Edit1Exit(TEdit* Sender) {
  if (TakeTyped(Sender)) return true;
  const std::string msg = "'" + Sender->Text() + "' は整数値ではありません";
  MessageBoxA(Handle(), msg.c_str(), "エラー", MB_OK | MB_ICONERROR);
  // The value that stands comes back; the focus goes to the field, its text
  // selected for typing over.
  TUpDown* u = Dates[Sender->Tag - 1];
  u->SetPosition(u->Position());
  if (Sender->Handle()) {
    ::SetFocus(Sender->Handle());
    SendMessageA(Sender->Handle(), EM_SETSEL, 0, -1);
  }
  return false;
}

SYSTEMTIME TPropDlg::EditedTime() const {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(Dates[0]->Position());
  t.wMonth = static_cast<WORD>(Dates[1]->Position());
  t.wDay = static_cast<WORD>(Dates[2]->Position());
  t.wHour = static_cast<WORD>(Dates[3]->Position());
  t.wMinute = static_cast<WORD>(Dates[4]->Position());
  t.wSecond = static_cast<WORD>(Dates[5]->Position());
  return t;
}

bool TPropDlg::EditedTimeValid() const {
  if (!MdateB->Checked() && !OdateB->Checked()) return true;
  const SYSTEMTIME st = EditedTime();
  FILETIME ft{};
  return SystemTimeToFileTime(&st, &ft) != FALSE;
}

void TPropDlg::OKBtnClick() {
  for (TEdit* e : Edits)
    if (e->Enabled() && !Edit1Exit(e)) return;
  if (!EditedTimeValid()) {
    MessageBoxA(Handle(), "日付が正しくありません。", "エラー", MB_OK | MB_ICONERROR);
    return;
  }
  ModalResult = mrOk;
}

void TPropDlg::SetEditedTime(const SYSTEMTIME& t) {
  const int v[6] = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  for (int n = 0; n < 6; ++n) Dates[n]->SetPosition(v[n]);
}

int TPropDlg::Execute() {
  // The value labels show names as they are, "&" included.
  for (TLabel* c : {NameL, SyuruiL, SizeL, OsizeL, AsizeL, RateL, MdateL, ODateL}) c->SetShowAccelChar(false);
  return ShowModal();
}
