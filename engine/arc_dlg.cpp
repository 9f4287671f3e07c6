#include "arc_dlg.h"

#include "text.h"

int AbortFlag = 0;

TArcDlg::TArcDlg() : TEngineBox(313, 82, "ＭＳ Ｐゴシック", false) {
  Label1 = AddControl("STATIC", "", SS_LEFTNOWORDWRAP, 16, 12, 281, 14, 101);
  Label2 = AddControl("STATIC", "", SS_LEFTNOWORDWRAP, 16, 32, 281, 14, 102);
  Button1 = AddControl("BUTTON", "中断", WS_TABSTOP | BS_PUSHBUTTON, 120, 52, 75, 25, 1);
}

void TArcDlg::OnCommand(int id) {
  if (id == 1) Button1Click();
}

void TArcDlg::ShowBox() {
  Show();
  Repaint();
}
