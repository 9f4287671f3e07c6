// The about box: the bound archiver libraries with their versions, the
// Windows version and the program's product version.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Classes.h"

class TArchiver;

class TAboutBox : public TComponent {
 public:
  TAboutBox(TComponent* AOwner, HWND OwnerWnd, TArchiver* Engine);
  ~TAboutBox() override;
  void FormCreate();
  // Runs the box modally; any click on it closes it.
  void ShowModal();
  void FormClick();

  // The texts of the rows as shown: caption and value.
  struct TRow {
    std::string Caption;
    std::string Value;
  };
  std::vector<TRow> Rows;
  std::string Version = "Version 0.00";
  std::string WinVer;
  std::string WinSer;
  int Left = 0, Top = 0;

 private:
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  HWND FOwnerWnd;
  TArchiver* FEngine;
  HWND FWnd = nullptr;
  HFONT FFont = nullptr;
  HFONT FTitleFont = nullptr;
  bool FDone = false;
};

// Row texts: "ver. 1.55.2.3" style from a version and sub-version.
std::string AboutSubVersion(unsigned Version, unsigned SubVersion);   // "ver. %.2f.%d.%d"
std::string AboutPatchVersion(unsigned Version, unsigned Patch);      // "ver. %d.%d.%d"
std::string AboutPlainVersion(unsigned Version);                      // "ver. %.2f"
// The Windows line: name and build number for a version record.
std::string AboutWindowsName(DWORD Platform, DWORD Major, DWORD Minor, DWORD Build, DWORD& ShownBuild);
std::string AboutWinVer(DWORD Platform, DWORD Major, DWORD Minor, DWORD Build);
std::string AboutWinSer(const std::string& ServicePack);
// "Version " + the program file's ProductVersion, or "" without one.
std::string ProgramProductVersion();
