// The find-in-archives dialog: walks a folder tree for archive files and
// lists the entries of each whose names match a pattern. Made once and kept,
// so its results and boxes survive between uses.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Archiver.h"
#include "ComCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TCBDialog;
class TXpGroupBox;

struct TFindRow {
  std::string Name;     // file-name part of the entry
  uint64_t Size = 0;
  double Date = 0;
  std::string Archive;  // full path of the archive file
};

class TFindDlg : public TForm {
 public:
  TFindDlg(TComponent* AOwner, TArchiver& Engine);
  ~TFindDlg() override;

  TXpGroupBox* GroupBox1;
  TLabel* Label1;
  TEdit* NameEd;
  TLabel* Label2;
  TComboBox* DirEd;
  TButton* Button3;
  TCheckBox* SubFind1;
  TXpGroupBox* GroupBox2;
  TCheckBox *LhaS, *ArjS, *ZipS, *TarS, *GzS, *CabS, *Bz2S, *RarS, *BgaS;
  TListView* ListView1;
  TButton* Button1;
  TButton* Button2;
  TButton* Button4;
  HWND Animate1 = nullptr;
  TCBDialog* FolderDialog1;

  int SortColumn = 0;  // 0 none, 1 name, 2 size, 3 date, 4 archive
  bool SortDescending = false;

  void FormCreate();
  void FormShow();
  void FlagChg(TCheckBox* Box);
  void Button1Click();
  void Button3Click();
  void ListView1DblClick();
  void ListView1ColumnClick(int Column);

  // Shows the dialog modally.
  int Execute();
  const std::vector<TFindRow>& Rows() const { return FRows; }

 private:
  struct TTypeBox {
    TCheckBox* Box;
    const char* Patterns[2];
    int Bit;  // 0: not stored
  };
  std::vector<TTypeBox> Types() const;
  void LoadFolderList();
  void SearchFolder(const std::string& Folder);
  void SearchPattern(const std::string& Folder, const char* Pattern);
  bool CancelRequested();
  void ShowRows();

  TArchiver& FEngine;
  std::vector<TFindRow> FRows;
  bool FCancelled = false;
};

extern TFindDlg* FindDlg;

// The dialog's top-left corner for the cursor at (X, Y): 100 left and 40 up
// of it, kept inside Area.
POINT FindDlgPlace(int X, int Y, int Width, int Height, const RECT& Area);
// The entry's name after its last "\" or ":" (double-byte aware).
std::string EntryFileNamePart(const std::string& Name);
// Folder moved (or added) to the head of History, compared case-insensitively.
void PushSearchFolder(TStrings& History, const std::string& Folder);
// Negative, 0 or positive as the column's comparison orders A before B
// (1 name, 2 size, 3 date, 4 archive).
int CompareFindRows(const TFindRow& A, const TFindRow& B, int Column);
