// Progress box of the zip32 and Info-ZIP runs, with an abort button.
#pragma once
#include "EngineBox.h"

extern int AbortFlag;

class TArcDlg : public TEngineBox {
 public:
  TArcDlg();
  HWND Label1, Label2, Button1;
  void Button1Click() { AbortFlag = 1; }
  void ShowBox();

 protected:
  void OnCommand(int id) override;
  bool OnClose() override { return false; }
};
