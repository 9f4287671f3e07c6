// The options dialog: most settings of the store on nine pages picked from a
// tree. It only holds the values while it is open; the main window copies
// them in and, on OK, out again (main_options.cpp).
#pragma once
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "FontDialogs.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "StdCtrlsXp.h"
#include "TrackBar.h"

class TCBDialog;

// One edited setting: its store name (Section\Value), the control that
// edits it, the page it is on, and what the control's index adds to give
// the stored number (radio groups).
struct TOptionField {
  std::string Key;
  TControl* Control;
  int Page;
  int Offset = 0;
};

class TOptionDlg : public TForm {
 public:
  explicit TOptionDlg(TComponent* AOwner);
  ~TOptionDlg() override;

  TTreeView* TreeView1;
  TPanel* Panel2;
  TPageControl* PageControl1;
  TTabSheet *TabSheet1, *TabSheet4, *TabSheet5, *TabSheet2, *TabSheet3, *TabSheet7, *TabSheet9, *TabSheet8, *TabSheet6;
  TButton *OKBtn, *CancelBtn;
  // 画面
  TXpGroupBox* GroupBox1;
  TListView* TestView1;
  TButton *Button1, *Button2, *Button6;
  TCheckBox* Tl_AutoSize;
  // 表示プログラム
  TXpGroupBox* GroupBox2;
  TEdit* VprogEd;
  TButton* Button3;
  // フォルダ
  TXpGroupBox *GroupBox3, *GroupBox4;
  TEdit *Up_Folder, *Pk_Folder;
  TCheckBox *Up_ArcFolder, *Pk_ArcFolder;
  TButton *Button4, *Button5;
  // 解凍
  TCheckBox *Up_ExecFolder, *Up_OverWrite, *Up_MkFolder, *Up_All, *Up_OpenFolder, *Up_FileNoFolder, *Up_MfNum, *Up_NoDlg;
  // 圧縮
  TCheckBox *pk_ExecFolder, *Pk_OverWrite, *Pk_All, *Pk_Date, *Pk_AddFolder, *Pk_CmdExit, *Pk_Sort, *Pk_NoDlg;
  // LHA, ZIP/TAR, CAB
  TXpGroupBox *GroupBox5, *GroupBox6, *GroupBox8, *GroupBox7;
  TXpRadioGroup *Pk_Style, *Pk_SfxStyle, *Pk_CabStyle;
  TCheckBox *Pk_lh0, *Pk_TGZ, *Pk_CabMkBat;
  TTrackBar *Pk_ZipLevel, *Pk_IZipLevel, *Pk_CabLevel;
  // その他
  TCheckBox *ArcDel, *SfxDel, *ExDir, *Op_OldFolder, *T_err, *op_vIcon;

  TFontDialog* FontDialog1;
  TColorDialog* ColorDialog1;
  TOpenDialog* OpenDialog2;
  TCBDialog* FolderDialog1;

  // Every edited setting except the sample's font and colour, in page order.
  std::vector<TOptionField> Fields;
  const TOptionField* FindField(const std::string& key) const;
  // The control's value as the store writes it ("1"/"0", a number, text).
  static std::string FieldValue(const TOptionField& f);
  void SetFieldValue(const TOptionField& f, const std::string& value);

  // Shown modally.
  int Execute();

  void FormCreate(TObject* Sender);
  void TreeView1Change(TObject* Sender, TTreeNode* Node);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void Button6Click(TObject* Sender);
  void Up_MkFolderClick(TObject* Sender);
  void Up_ExecFolderClick(TObject* Sender);

 private:
  void BuildPages();
  void ShowPage(int page);
  TTabSheet* Page(const char* name, const char* caption);
};

// The dialog's top-left corner: centred on the cursor, then kept inside the
// work area.
POINT OptionDlgPlace(POINT cursor, int width, int height, const RECT& work);
