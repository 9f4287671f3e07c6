// Folder picker: the shell's folder browser with up to two check boxes of
// our own put into its window, so a command asks for a folder and one or two
// yes/no choices in one step.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "Classes.h"

enum TCBDlgOption : uint8_t {
  biBrowseForComputer = 0,
  biBrowseForPrinter,
  biDontGoBelowDomain,
  biReturnFSAncestors,
  biReturnOnlyFSDirs,
  biEditBox,
};
using TCBDlgOptions = uint8_t;  // bit n for option n
constexpr TCBDlgOptions CBDlgOption(TCBDlgOption o) { return static_cast<TCBDlgOptions>(1u << o); }
using TCBVisible = uint8_t;     // 0..2

class TCBDialog : public TComponent {
 public:
  // The owner must be a windowed component: its window owns the browser.
  explicit TCBDialog(TComponent* AOwner);
  ~TCBDialog() override;

  // True when a folder was chosen (Directory holds it); N1Checked and
  // N2Checked hold the boxes' final states either way.
  virtual bool Execute();

  std::string Directory;
  std::string Caption;
  TCBDlgOptions Options = CBDlgOption(biReturnOnlyFSDirs);
  std::string N1ChkCaption;
  std::string N2ChkCaption;
  bool N1Checked = false;
  bool N2Checked = false;
  TCBVisible VisibleNum = 0;

  void Check1Click(TComponent* Sender);
  void Check2Click(TComponent* Sender);
  bool NewStyle() const { return FNewStyle; }
  HWND DialogWnd() const { return FDialogWnd; }

  // The flags handed to the shell for the current settings.
  unsigned BrowseFlags() const;
  // Rectangles of the boxes in the browser's client area, from the
  // reference rectangle (right W, bottom B) and the boxes' font height H.
  static RECT Box1Rect(bool NewStyle, int W, int B, int H, int VisibleNum);
  static RECT Box2Rect(bool NewStyle, int W, int B, int H, int H2);
  // The folder text sent to preselect Directory (C:\ kept, C:\Work\ cut).
  static std::string SelectionText(const std::string& Dir);

 private:
  static int CALLBACK CBBrowseCallback(HWND Wnd, UINT Msg, LPARAM LParam, LPARAM Data);
  static LRESULT CALLBACK DialogWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void Initialize(HWND Wnd);
  HWND MakeBox(HWND Parent, const std::string& Text, bool Checked, const RECT& R, bool Visible);
  int BoxFontHeight() const;

  HWND FDialogWnd = nullptr;
  HWND FCheck1Wnd = nullptr;
  HWND FCheck2Wnd = nullptr;
  bool FNewStyle = false;
  WNDPROC FOldWndProc = nullptr;
  HWND FShrunkWnd = nullptr;  // the shell's control halved to make room (new style)
  int FShrunkHeight = 0;
  std::string FSelection;  // the folder text the browser is asked to select
  HFONT FBoxFont = nullptr;
};
