#include "view.h"

#include <fstream>
#include <sstream>

#include "inst1.h"

TViewDlg* ViewDlg = nullptr;

TViewDlg::TViewDlg(TComponent* AOwner) : TForm(AOwner, "TViewDlg", bsDialog) {
  SetCaption("概要/著作権");
  PrepareDialog(this, 501, 282);
  Memo1 = new TMemo(this, this);
  Memo1->SetBounds(8, 8, 485, 229);
  Memo1->SetWordWrap(false);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clBtnFace);
  TFont fixed = Memo1->Font();
  fixed.SetName("ＭＳ ゴシック");
  fixed.SetCharset(SHIFTJIS_CHARSET_);
  Memo1->SetFont(fixed);
  OKBtn = new TButton(this, this, "次へ", mrOk);
  OKBtn->SetBounds(336, 248, 75, 25);
  OKBtn->SetDefault(true);
  CancelBtn = new TButton(this, this, "中止", mrCancel);
  CancelBtn->SetBounds(418, 248, 75, 25);
  CancelBtn->SetCancel(true);
  ActiveControl = OKBtn;
  OnActivate = [this](TObject* s) { FormActivate(s); };
  DoCreate();
}

void TViewDlg::FormActivate(TObject*) {
  std::ifstream in("tovix.txt", std::ios::binary);
  if (!in) return;
  std::stringstream ss;
  ss << in.rdbuf();
  Memo1->SetText(ss.str());
}

int TViewDlg::Execute() {
  return ShowModal();
}
