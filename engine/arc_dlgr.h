// Progress box of the RAR extraction, with a bar and a cancel button.
#pragma once
#include "EngineBox.h"

class TArcuDlg : public TEngineBox {
 public:
  TArcuDlg();
  HWND Label1, Label2, ProgressBar1, Button1;
  bool Cancel = false;
  void FormShow();
  void Button1Click() { Cancel = true; }
  void SetPosition(int pos);

 protected:
  void OnCommand(int id) override;
  bool OnClose() override { return false; }
};

extern TArcuDlg* ArcuDlg;
