#include "arc_dlgr.h"

#include <commctrl.h>

#include "text.h"

TArcuDlg* ArcuDlg = nullptr;

TArcuDlg::TArcuDlg() : TEngineBox(313, 100, "ＭＳ Ｐゴシック", false) {
  Label1 = AddControl("STATIC", "", SS_LEFTNOWORDWRAP, 16, 12, 281, 14, 101);
  Label2 = AddControl("STATIC", "", SS_LEFTNOWORDWRAP, 16, 32, 281, 14, 102);
  ProgressBar1 = AddControl(PROGRESS_CLASSA, "", 0, 16, 52, 281, 14, 103);
  SendMessageA(ProgressBar1, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  Button1 = AddControl("BUTTON", "取り消し(&C)", WS_TABSTOP | BS_PUSHBUTTON, 120, 72, 75, 25, 1);
}

void TArcuDlg::OnCommand(int id) {
  if (id == 1) Button1Click();
}

void TArcuDlg::SetPosition(int pos) { SendMessageA(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(pos), 0); }

void TArcuDlg::FormShow() {
  Cancel = false;
  Show();
  Repaint();
}
