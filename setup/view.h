// The readme shown before anything is installed.
#pragma once
#include "Forms.h"
#include "StdCtrls.h"

class TViewDlg : public TForm {
 public:
  explicit TViewDlg(TComponent* AOwner);
  TMemo* Memo1;
  TButton* OKBtn;
  TButton* CancelBtn;
  void FormActivate(TObject* Sender);
  // Test key "readme": "ok" or "cancel".
  int Execute();
};

extern TViewDlg* ViewDlg;
