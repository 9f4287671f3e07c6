// Controls: the windowed-control base, fonts, colours and child layout.
// Each control is a thin object over its window handle; what the window
// already knows is asked from the window.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Classes.h"

using TObject = TComponent;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Shift state bits of key and mouse events.
enum : int { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = int;
TShiftState KeyboardShiftState();
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

// Colours: RGB values, or 0x80000000 | COLOR_xxx for system colours.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clScrollBar = static_cast<TColor>(0x80000000u | COLOR_SCROLLBAR);
constexpr TColor clBtnFace = static_cast<TColor>(0x80000000u | COLOR_BTNFACE);
constexpr TColor clWindow = static_cast<TColor>(0x80000000u | COLOR_WINDOW);
constexpr TColor clWindowText = static_cast<TColor>(0x80000000u | COLOR_WINDOWTEXT);
constexpr TColor clBtnShadow = static_cast<TColor>(0x80000000u | COLOR_BTNSHADOW);
constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000000u | COLOR_BTNHIGHLIGHT);
constexpr TColor clHighlight = static_cast<TColor>(0x80000000u | COLOR_HIGHLIGHT);
constexpr TColor clNone = 0x1FFFFFFF;
COLORREF ColorToRGB(TColor c);

enum : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = int;
constexpr BYTE SHIFTJIS_CHARSET_ = 128;

// A font description with its GDI handle made on demand. The owning control
// re-applies it whenever it changes.
class TFont {
 public:
  TFont();
  ~TFont();
  TFont(const TFont& f);
  TFont& operator=(const TFont& f);
  void Assign(const TFont& f) { *this = f; }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& n);
  // Height in pixels; negative means character height (no leading).
  int Height() const { return FHeight; }
  void SetHeight(int h);
  // Points at the screen's resolution.
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles s);
  TColor Color() const { return FColor; }
  void SetColor(TColor c);
  BYTE Charset() const { return FCharset; }
  void SetCharset(BYTE c);
  HFONT Handle();
  std::function<void()> OnChange;

 private:
  void Changed();
  std::string FName = "MS UI Gothic";
  int FHeight = -12;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  BYTE FCharset = DEFAULT_CHARSET;
  HFONT FHandle = nullptr;
};
int ScreenPixelsPerInch();

// Moves a child window to the given place in its parent unless it is there
// already (a move to the same place still costs a round of window messages).
void PlaceChildWindow(HWND h, int l, int t, int w, int hgt);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TPopupMenu;
class TWinControl;

// Every control of this library is windowed.
class TControl : public TComponent {
 public:
  TControl(TComponent* AOwner, TWinControl* AParent);
  ~TControl() override;
  HWND GetHandle() override { return FHandle; }
  HWND Handle() const { return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  TWinControl* Parent() const { return FParent; }

  // Bounds relative to the parent's client area.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  virtual void SetBounds(int l, int t, int w, int h);
  RECT BoundsRect() const;
  int ClientWidth() const;
  int ClientHeight() const;
  // Sizes the window so that its client area is w x h (frame and caption
  // added for its present styles).
  void SetClientSize(int w, int h);

  bool Visible() const;
  virtual void SetVisible(bool v);
  bool Enabled() const;
  virtual void SetEnabled(bool v);
  std::string Caption() const;
  virtual void SetCaption(const std::string& s);
  std::string Text() const { return Caption(); }
  void SetText(const std::string& s) { SetCaption(s); }
  bool Focused() const;
  virtual void SetFocus();
  void Invalidate();
  void Update();
  void Refresh() { Invalidate(); Update(); }
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign a);

  TFont& Font() { return FFont; }
  void SetFont(const TFont& f);
  // The room text takes on one line in the control's own font ("&" marks
  // of an access key take none): for sizing a control to its text, which
  // the fonts at hand decide.
  SIZE TextExtent(const std::string& text) const;
  TColor Color() const { return FColor; }
  virtual void SetColor(TColor c);
  HBRUSH ColorBrush();

  // "short|long": the tooltip shows the short part (when ShowHint, or the
  // form's ShowHint), the status bar the long one.
  std::string Hint;
  bool ShowHint = false;
  // Help topic for F1 on this control; 0 asks the parent's.
  int HelpContext = 0;
  TPopupMenu* PopupMenu = nullptr;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

  // Routing from the parent's window procedure.
  virtual bool Notify(NMHDR* nm, LRESULT& result) { return false; }
  virtual bool Command(WORD code, WORD id) { return false; }
  // WM_CTLCOLORxxx for this control; 0 = default colours.
  virtual HBRUSH CtlColor(HDC dc);
  // A window-procedure hook on the control (subclassing on first use); the
  // hook returns true when it handled the message (Result set).
  void HookWindowProc(std::function<bool(TMessage&)> hook);

  static TControl* FromHandle(HWND h);
  // The object FromHandle answers for a window, until the window goes.
  static void Register(HWND h, TControl* c);
  static void Unregister(HWND h);

 protected:
  // Creates the window; classes of this library use their own class names.
  void CreateHandle(const char* className, DWORD style, DWORD exStyle, const char* text = "");
  void DestroyHandle();
  void ApplyFont();
  virtual void FontChanged() { ApplyFont(); }
  HWND ParentHandle() const;

  HWND FHandle = nullptr;
  // The parent window of a control placed on a window that is no control of
  // this library (used only when there is no FParent).
  HWND FParentWnd = nullptr;
  TWinControl* FParent = nullptr;
  TAlign FAlign = alNone;
  TFont FFont;
  TColor FColor = clBtnFace;
  HBRUSH FBrush = nullptr;
  std::vector<std::function<bool(TMessage&)>> FHooks;
  WNDPROC FOldProc = nullptr;
  friend class TWinControl;
  friend LRESULT CALLBACK ControlSubclassProc(HWND, UINT, WPARAM, LPARAM);
};

// A control that holds other controls and lays out their Align.
class TWinControl : public TControl {
 public:
  TWinControl(TComponent* AOwner, TWinControl* AParent) : TControl(AOwner, AParent) {}
  ~TWinControl() override;
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int i) const { return FControls[i]; }
  // Lays out the aligned children in the client area (in child order).
  virtual void Realign();
  // The area children are laid out in.
  virtual RECT AlignRect();
  void SetBounds(int l, int t, int w, int h) override;

  // Own window procedure of containers of this library; routes child
  // notifications, commands and colours to the child objects.
  virtual void WndProc(TMessage& m);
  void DefaultHandler(TMessage& m);
  // Registers (once) a window class with the common procedure.
  static void RegisterWindowClass(const char* className, UINT style = CS_DBLCLKS, HICON icon = nullptr,
                            HBRUSH background = nullptr);

 protected:
  friend class TControl;
  void InsertControl(TControl* c) { FControls.push_back(c); }
  void RemoveControl(TControl* c);
  std::vector<TControl*> FControls;
  bool FInRealign = false;
};

// Runs a handler under the application's exception handler: no exception
// leaves a window procedure.
void SafeCall(TComponent* sender, const std::function<void()>& f);
void Fire(const TNotifyEvent& e, TObject* sender);
// The parts of a hint "short|long" (without "|" both are the whole text).
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);

LRESULT CALLBACK CommonWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
