// The extension dialog: the extensions shown as text, and the picture
// extensions with the plug-in library that decodes each group of them.
#pragma once
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "Forms.h"
#include "ListBox.h"
#include "StdCtrls.h"
#include "btnxp.h"

class TXPTabSheet;

class TExtDlg : public TForm {
 public:
  explicit TExtDlg(TComponent* AOwner);
  TPageControl* PageControl1;
  TXPTabSheet *TabSheet1, *TabSheet2;
  TLabel *Label1, *Label2, *Label3;
  TEdit *Edit1, *Edit2, *Edit3;
  TListBox *ListBox1, *ListBox2;
  TButton *Button1, *Button2, *Button3, *Button4, *OKBtn, *CancelBtn;
  TUpDnButton* UpDnButton1;
  TOpenDialog* OpenDialog1;

  // Working copies: taken before Execute, read back after OK.
  TStringList TextList, ImageList, PluginList;
  std::string SystemDir;

  void FormShow();
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  void ListBox2DblClick(TObject* Sender);
  // Shown modal near the mouse; mrOk or mrCancel.
  int Execute();
};

// The ListBox2 lines: runs of plug-in extensions with the same plug-in.
std::vector<std::string> PluginGroupLines(const TStringList& Images, const TStringList& Plugins);
// A plug-in's pattern text as bare lower-case extensions ("*.JPG;*.jpeg" -> "jpg,jpeg").
std::string PatternExtensions(const std::string& Patterns);
// The name a plug-in is stored by: the file name alone in the system or
// the program's folder, else the whole path; lower case.
std::string PluginStoredName(const std::string& File, const std::string& SystemDir, const std::string& ProgramDir);
