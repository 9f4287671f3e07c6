// Progress of the file copy.
#pragma once
#include "ComCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TCopyDlg : public TForm {
 public:
  explicit TCopyDlg(TComponent* AOwner);
  TLabel* Label1;
  TProgressBar* ProgressBar1;
};

extern TCopyDlg* CopyDlg;
