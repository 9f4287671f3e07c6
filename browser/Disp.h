// The result-log window: one modal window, reused for every archive
// operation, that shows what the archiver library wrote into its buffer.
#pragma once
#include <windows.h>

#include <string>

#include "Classes.h"

class TDispDlg : public TComponent {
 public:
  // ParentWnd is the main window; the log is its owned window and stays on top.
  explicit TDispDlg(TComponent* AOwner, HWND ParentWnd = nullptr);
  ~TDispDlg() override;

  // Puts a zero-terminated text into the memo: LF becomes CR LF, and at most
  // the first 32768 bytes of the converted text are shown.
  void SetResultText(const char* Text);
  void SetCaption(const std::string& Caption);
  std::string GetCaption() const { return FCaption; }
  // The memo's text as shown (after the line-end conversion and the cut).
  std::string GetResultText() const { return FText; }

  // The memo follows the file list's font and colour.
  void SetMemoFont(const LOGFONTA& Font);
  void SetMemoColor(COLORREF Color);
  // The memo's text colour (the file list's font colour).
  void SetMemoTextColor(COLORREF Color);

  void SetParentWindow(HWND ParentWnd);
  // Window size in pixels (the outer frame), for placing the window.
  int Width();
  int Height();
  // Places the window (outer frame, screen coordinates) and runs it modally;
  // returns when the user closes it.
  void ShowModalAt(int Left, int Top);
  HWND GetHandle() override { return Handle(); }
  HWND Handle();

  // The converted text, exposed for tests of the conversion rules.
  static std::string ConvertLog(const char* Text);

 private:
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void CreateWnd();
  void ApplyMemo();

  HWND FParent = nullptr;
  HWND FWnd = nullptr;
  HWND FMemo = nullptr;
  HWND FOKBtn = nullptr;
  HFONT FFormFont = nullptr;
  HFONT FMemoFont = nullptr;
  HBRUSH FMemoBrush = nullptr;
  COLORREF FMemoColor = CLR_INVALID;
  COLORREF FMemoTextColor = CLR_INVALID;
  std::string FCaption;
  std::string FText;
  bool FModalDone = false;
};

// A window's top-left corner moved so that the whole window lies inside Area
// (left and top win when it is larger than the area).
POINT KeepInWorkArea(int Left, int Top, int Width, int Height, const RECT& Area);

// The one result-log window of the process, made by the program entry right
// after the main window.
extern TDispDlg* DispDlg;
