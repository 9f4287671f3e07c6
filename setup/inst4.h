// Shortcut dialog and the shortcut files.
#pragma once
#include "Forms.h"
#include "StdCtrls.h"

// CSIDL of the programs menu, startup folder and desktop, per UseCommonFolders.
extern const int SpecialFolders[2][3];
constexpr int kSendToFolder = 9;
// The folder of a shortcut bit (1, 2, 4 or 8) for this system.
int ShortcutFolder(int bit);

void CreateShortcut(const std::string& F, const std::string& X, const std::string& L, int C);
void DeleteShortcut(const std::string& L, int C);

class TScutDlg : public TForm {
 public:
  explicit TScutDlg(TComponent* AOwner);
  TCheckBox* SendBox;
  TCheckBox* DeskBox;
  TButton* Button1;
  // Test key "shortcuts": the ticked boxes, "start" and/or "desk".
  int Execute();
};

extern TScutDlg* ScutDlg;
