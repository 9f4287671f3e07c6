// Common dialogs and message boxes.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include "Classes.h"

enum : unsigned {
  ofReadOnly = OFN_READONLY, ofHideReadOnly = OFN_HIDEREADONLY, ofOverwritePrompt = OFN_OVERWRITEPROMPT,
  ofAllowMultiSelect = OFN_ALLOWMULTISELECT, ofPathMustExist = OFN_PATHMUSTEXIST, ofFileMustExist = OFN_FILEMUSTEXIST,
  ofNoChangeDir = OFN_NOCHANGEDIR, ofEnableSizing = 0x00800000
};

// Filters are written "text|pattern|text|pattern".
class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;
  std::string FileName;
  std::string InitialDir;
  std::string DefaultExt;
  unsigned Options = ofHideReadOnly;
  // Every chosen file (full paths) after Execute.
  TStringList Files;
  virtual bool Execute();

 protected:
  bool Run(bool save);
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
  bool Execute() override { return Run(true); }
};

// A message box captioned with the application's title.
int ShowMessageBox(const std::string& text, UINT flags = MB_OK);
void ShowMessage(const std::string& text);
