// The shell's folder-browse dialog as a component.
#pragma once
#include <windows.h>

#include <string>

#include "Classes.h"

enum TSBDlgOption {
  biBrowseForComputer,
  biBrowseForPrinter,
  biDontGoBelowDomain,
  biReturnFSAncestors,
  biReturnOnlyFSDirs,
  biStatusText,
  biNewStyle,
  biEditBox
};
// Bit n set: the n-th member is in the set.
using TSBDlgOptions = unsigned;
constexpr TSBDlgOptions SBOpt(TSBDlgOption o) { return 1u << o; }
// The browse flags of a set of options.
UINT SBDlgFlags(TSBDlgOptions o);
// The folder handed to the dialog for preselection: one trailing backslash
// removed unless it is a drive root.
std::string SBDlgPreselect(const std::string& dir);

class TSBDialog : public TComponent {
 public:
  explicit TSBDialog(TComponent* AOwner);
  std::string Directory;
  std::string Caption;
  TSBDlgOptions Options;
  // Test key "browse": the chosen folder, or "cancel".
  virtual bool Execute();
};

int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM param, LPARAM data);
