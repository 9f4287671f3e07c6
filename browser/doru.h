// The editor of a self-extractor's install setting file "$": template
// lines for the product, and line-editing keys in the text.
#pragma once
#include <string>

#include "Forms.h"
#include "StdCtrls.h"

// The product name proposed for an archive's file name: the name without
// its last four characters (".lzh"), empty for four or fewer.
std::string DoruProductName(const std::string& FileName);

class TDoruDlg : public TForm {
 public:
  explicit TDoruDlg(TComponent* AOwner);

  TButton *WinTitlerBtn, *UnPackTitleBtn, *UnPackInitialValBtn, *ExtProcBtn, *StartMnuBtn, *ExecCmdBtn;
  TMemo* Memo1;
  TLabel* Label1;
  TEdit* ProEd;
  TButton *OKBtn, *CancelBtn, *HelpBtn;
  bool ClassTitlePending = true;
  bool GroupTitlePending = true;

  void FormShow();
  void WinTitlerBtnClick();
  void UnPackTitleBtnClick();
  void UnPackInitialValBtnClick();
  void ExtProcBtnClick();
  void StartMnuBtnClick();
  void ExecCmdBtnClick();
  // True when the key was a line-editing key (then it is consumed).
  bool Memo1KeyPress(char Key);
  void HelpBtnClick();
  bool Modified() const;
  void SetModified(bool m);
  // The text as the file holds it: every line ends with CR LF.
  std::string FileText() const;

  // Test keys: "doru:ProEd=TEXT" (typed before the presses), "doru:press="
  // a blank-separated list of button names and keys "^K@L:C" (also ^U,
  // ^Y; the caret at line L, column C, from 0), then "doru=ok|cancel".
  int Execute();

 private:
  void AddLine(const std::string& Line);
  void PlaceTemplateButtons();
};
