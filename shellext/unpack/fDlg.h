// The folder picker of the unpack command.
#pragma once
#include <windows.h>

#include <string>

class TSFDialog {
 public:
  virtual ~TSFDialog() = default;
  std::string FFolder;  // proposed going in, chosen coming out
  std::string FTitle;
  // True when a folder was chosen.
  virtual bool Execute(HWND owner);
};

int CALLBACK BrowseCallbackProc(HWND wnd, UINT msg, LPARAM param, LPARAM data);
