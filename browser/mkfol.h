// The new-folder dialog of the main window, and the name rules of the
// editing commands.
#pragma once
#include <string>

#include "Forms.h"
#include "StdCtrls.h"

class TFolDlg : public TForm {
 public:
  explicit TFolDlg(TComponent* AOwner);
  TButton* OKBtn;
  TButton* CancelBtn;
  TComboBox* NewFolder;

  // Test key "newfolder": the text typed before OK, or "cancel".
  int Execute();
};

// False when a single-byte character of the name is one of " * , / : ; < > ? \ |
// (double-byte characters are stepped over whole).
bool IsValidFolderName(const std::string& Name);
// "docs/img/" as "docs\img\": every "/" outside double-byte characters.
std::string SlashesToBackslashes(const std::string& Path);
// True when the volume of the path's drive reports the NTFS file system.
bool IsNtfsVolume(const std::string& Path);
