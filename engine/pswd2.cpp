#include "pswd2.h"

#include "ArchiverImpl.h"
#include "text.h"

TPasswd2Dlg::TPasswd2Dlg() : TEngineBox(265, 93, "MS UI Gothic", true) {
  SetCaption("パスワードの入力");
  // Creation order gives the tab order: OK, Cancel, then the two fields.
  OKBtn = AddControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 59, 64, 75, 25, IDOK);
  CancelBtn = AddControl("BUTTON", "キャンセル", WS_TABSTOP | BS_PUSHBUTTON, 139, 64, 75, 25, IDCANCEL);
  // Wider than the design (47 and 36) so that the words show whole; both
  // still end beside their fields.
  Label1 = AddControl("STATIC", "パスワード", SS_RIGHT, 2, 12, 60, 14, 101);
  Label2 = AddControl("STATIC", "再入力", SS_RIGHT, 2, 40, 60, 14, 102);
  Edit1 = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, 64, 8, 193, 20, 103,
                     WS_EX_CLIENTEDGE);
  Edit2 = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, 64, 36, 193, 20, 104,
                     WS_EX_CLIENTEDGE);
  for (HWND e : {Edit1, Edit2}) {
    SendMessageA(e, EM_LIMITTEXT, 80, 0);
    SendMessageA(e, EM_SETPASSWORDCHAR, '*', 0);
  }
  SetConfirm(false);
  SetFocusControl(Edit1);
}

void TPasswd2Dlg::SetConfirm(bool value) {
  Confirm = value;
  ShowWindow(Label2, value ? SW_SHOW : SW_HIDE);
  ShowWindow(Edit2, value ? SW_SHOW : SW_HIDE);
}

bool PasswordAccepted(bool confirm, const std::string& edit1, const std::string& edit2) {
  return !confirm || (!edit1.empty() && edit1 == edit2);
}

void TPasswd2Dlg::OKBtnClick() {
  if (PasswordAccepted(Confirm, GetText(Edit1), GetText(Edit2))) {
    ModalResult = 1;
    return;
  }
  SetText(Edit2, "");
}

void TPasswd2Dlg::OnCommand(int id) {
  if (id == IDOK) OKBtnClick();
  else if (id == IDCANCEL) ModalResult = 2;
}

int AskPassword(std::string& Password, bool Confirm) {
  TPasswd2Dlg dlg;
  POINT p{};
  GetCursorPos(&p);
  int left, top;
  engine::PlaceAtCursor(p.x, p.y, dlg.Width(), dlg.Height(), GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), left, top);
  dlg.SetBounds(left, top);
  dlg.SetConfirm(Confirm);
  int r = dlg.ShowModal();
  std::string text = dlg.GetText(dlg.Edit1);
  if (text.empty()) r = 2;
  Password = r == 1 ? text : std::string();
  return r;
}
