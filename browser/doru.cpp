#include "doru.h"

#include <algorithm>
#include <cstdio>


// The template buttons as wide as their captions need in the fonts at hand
// (a substitute font can be much wider than the design's), in one row over
// the memo's width; the dialog widens when the row cannot fit there.
void TDoruDlg::PlaceTemplateButtons() {
  TButton* const row[] = {WinTitlerBtn, UnPackTitleBtn, UnPackInitialValBtn, ExtProcBtn, StartMnuBtn, ExecCmdBtn};
  constexpr int kCount = 6, kGap = 2, kMargin = 14, kMin = 56;
  int widths[kCount], need = 0;
  for (int i = 0; i < kCount; ++i) {
    widths[i] = std::max(kMin, static_cast<int>(row[i]->TextExtent(row[i]->Caption()).cx) + kMargin);
    need += widths[i];
  }
  const int room = Memo1->Width() - (kCount - 1) * kGap;
  if (need > room) {
    const int more = need - room;
    SetClientSize(ClientWidth() + more, ClientHeight());
    Memo1->SetWidth(Memo1->Width() + more);
    for (TButton* b : {OKBtn, CancelBtn, HelpBtn}) b->SetLeft(b->Left() + more);
  } else {
    // The spare room goes to all alike, so the row still spans the memo.
    for (int i = 0; i < kCount; ++i) widths[i] += (room - need) / kCount + (i < (room - need) % kCount ? 1 : 0);
  }
  int x = Memo1->Left();
  for (int i = 0; i < kCount; ++i) {
    row[i]->SetBounds(x, 4, widths[i], 22);
    x += widths[i] + kGap;
  }
}

std::string DoruProductName(const std::string& FileName) {
  return FileName.size() <= 4 ? std::string() : FileName.substr(0, FileName.size() - 4);
}

TDoruDlg::TDoruDlg(TComponent* AOwner) : TForm(AOwner, "TDoruDlg", bsDialog) {
  SetCaption("$設定ファイル作成支援");
  SetClientSize(509, 272);
  TFont font;
  font.SetName("MS UI Gothic");
  font.SetHeight(-12);
  font.SetColor(clBlack);
  SetFont(font);
  auto flat = [&](const char* name, const char* caption, int left) {
    TButton* b = new TButton(this, this, caption);
    b->Name = name;
    SetWindowLongA(b->Handle(), GWL_STYLE, GetWindowLongA(b->Handle(), GWL_STYLE) | BS_FLAT);
    b->SetBounds(left, 4, 82, 22);
    b->SetFont(font);
    return b;
  };
  WinTitlerBtn = flat("WinTitlerBtn", "Windowタイトル", 4);
  TFont first = font;
  first.SetName("ＭＳ Ｐゴシック");
  WinTitlerBtn->SetFont(first);
  UnPackTitleBtn = flat("UnPackTitleBtn", "展開先タイトル", 88);
  UnPackInitialValBtn = flat("UnPackInitialValBtn", "展開先初期値", 172);
  ExtProcBtn = flat("ExtProcBtn", "関連付け", 256);
  StartMnuBtn = flat("StartMnuBtn", "ｽﾀｰﾄﾒﾆｭｰ", 340);
  ExecCmdBtn = flat("ExecCmdBtn", "実行コマンド", 424);
  Memo1 = new TMemo(this, this);
  Memo1->Name = "Memo1";
  Memo1->SetWordWrap(false);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetBounds(4, 30, 501, 204);
  Memo1->SetFont(font);
  // A long file is still one memo: the edit control's default limit is 32 KB.
  SendMessageA(Memo1->Handle(), EM_LIMITTEXT, 0x7FFFFFFE, 0);
  Memo1->HookWindowProc([this](TMessage& m) {
    if (m.Msg != WM_CHAR || !Memo1KeyPress(static_cast<char>(m.WParam))) return false;
    m.Result = 0;
    return true;
  });
  Label1 = new TLabel(this, this, "製品名");
  Label1->Name = "Label1";
  Label1->SetBounds(8, 246, 40, 14);
  Label1->SetFont(font);
  ProEd = new TEdit(this, this);
  ProEd->Name = "ProEd";
  ProEd->SetBounds(52, 242, 200, 21);
  ProEd->SetFont(font);
  OKBtn = new TButton(this, this, "OK", mrOk);
  OKBtn->Name = "OKBtn";
  OKBtn->SetBounds(268, 240, 75, 25);
  OKBtn->SetDefault(true);
  OKBtn->SetFont(font);
  CancelBtn = new TButton(this, this, "キャンセル", mrCancel);
  CancelBtn->Name = "CancelBtn";
  CancelBtn->SetBounds(348, 240, 75, 25);
  CancelBtn->SetCancel(true);
  CancelBtn->SetFont(font);
  HelpBtn = new TButton(this, this, "ヘルプ(&H)");
  HelpBtn->Name = "HelpBtn";
  HelpBtn->SetBounds(428, 240, 75, 25);
  HelpBtn->SetFont(font);
  WinTitlerBtn->OnClick = [this](TObject*) { WinTitlerBtnClick(); };
  UnPackTitleBtn->OnClick = [this](TObject*) { UnPackTitleBtnClick(); };
  UnPackInitialValBtn->OnClick = [this](TObject*) { UnPackInitialValBtnClick(); };
  ExtProcBtn->OnClick = [this](TObject*) { ExtProcBtnClick(); };
  StartMnuBtn->OnClick = [this](TObject*) { StartMnuBtnClick(); };
  ExecCmdBtn->OnClick = [this](TObject*) { ExecCmdBtnClick(); };
  HelpBtn->OnClick = [this](TObject*) { HelpBtnClick(); };
  PlaceTemplateButtons();
  OnShow = [this](TObject*) { FormShow(); };
  ActiveControl = Memo1;
}

void TDoruDlg::FormShow() {
  for (TButton* b : {WinTitlerBtn, UnPackTitleBtn, UnPackInitialValBtn, ExecCmdBtn}) b->SetEnabled(true);
  ClassTitlePending = true;
  GroupTitlePending = true;
}

// Appended through the selection, so the memo counts it as a change.
void TDoruDlg::AddLine(const std::string& Line) {
  const std::string text = Memo1->Text();
  std::string add = Line + "\r\n";
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)) add = "\r\n" + add;
  const int end = GetWindowTextLengthA(Memo1->Handle());
  SendMessageA(Memo1->Handle(), EM_SETSEL, end, end);
  SendMessageA(Memo1->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(add.c_str()));
  SetModified(true);
}

void TDoruDlg::WinTitlerBtnClick() {
  AddLine("$WindowTitle=" + ProEd->Text() + "のインストール");
  WinTitlerBtn->SetEnabled(false);
}

void TDoruDlg::UnPackTitleBtnClick() {
  AddLine("$InstallTitle=インストールするフォルダ(&D)");
  UnPackTitleBtn->SetEnabled(false);
}

void TDoruDlg::UnPackInitialValBtnClick() {
  AddLine("$InstallDir=%ProgramFiles%\\" + ProEd->Text());
  UnPackInitialValBtn->SetEnabled(false);
}

void TDoruDlg::ExtProcBtnClick() {
  if (ClassTitlePending) AddLine("$ClassTitle=" + ProEd->Text() + "を関連付け(&R)");
  ClassTitlePending = false;
  AddLine("$Class=<拡張子>,<説明>,<プログラム名>,<キー>");
}

void TDoruDlg::StartMnuBtnClick() {
  if (GroupTitlePending) AddLine("$GroupTitle=" + ProEd->Text() + "をｽﾀｰﾄﾒﾆｭｰに登録(&S)");
  GroupTitlePending = false;
  AddLine("$Group=" + ProEd->Text() + ",<タイトル>,<ファイル名>,");
}

void TDoruDlg::ExecCmdBtnClick() {
  AddLine("$Command=notepad " + ProEd->Text() + ".txt");
  ExecCmdBtn->SetEnabled(false);
}

bool TDoruDlg::Memo1KeyPress(char Key) {
  if (Key != 11 && Key != 21 && Key != 25) return false;
  HWND m = Memo1->Handle();
  DWORD caret = 0;
  SendMessageA(m, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
  const int line = static_cast<int>(SendMessageA(m, EM_LINEFROMCHAR, caret, 0));
  const int start = static_cast<int>(SendMessageA(m, EM_LINEINDEX, line, 0));
  const int next = static_cast<int>(SendMessageA(m, EM_LINEINDEX, line + 1, 0));
  const int textEnd = GetWindowTextLengthA(m);
  int from = 0, to = 0;
  switch (Key) {
    case 11:  // ^K: to the end of the line, its break stays
      from = static_cast<int>(caret);
      to = next < 0 ? textEnd : next - 2;
      break;
    case 21:  // ^U: from the start of the line
      from = start;
      to = static_cast<int>(caret);
      break;
    default:  // ^Y: the whole line with its break
      from = start;
      to = next < 0 ? textEnd : next;
      break;
  }
  if (to > from) {
    SendMessageA(m, EM_SETSEL, from, to);
    SendMessageA(m, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
  }
  return true;
}

void TDoruDlg::HelpBtnClick() {
  WinHelpA(Handle(), Application ? Application->HelpFile.c_str() : "", HELP_CONTEXT, 78);
}

bool TDoruDlg::Modified() const { return SendMessageA(Memo1->Handle(), EM_GETMODIFY, 0, 0) != 0; }
void TDoruDlg::SetModified(bool m) { SendMessageA(Memo1->Handle(), EM_SETMODIFY, m, 0); }

std::string TDoruDlg::FileText() const {
  std::string out;
  for (const std::string& l : Memo1->Lines()) out += l + "\r\n";
  return out;
}

int TDoruDlg::Execute() {
  return ShowModal();
}
