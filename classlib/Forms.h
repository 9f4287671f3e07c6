// Forms and the application object.
#pragma once
#include "Controls.h"

class TMainMenu;
class TButton;

enum TModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                          mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO };
enum TPosition { poDesigned, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TBorderStyle { bsSizeable, bsDialog, bsSingle, bsNone, bsToolWindow };
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// A top-level window; its window class is the form's class name. The window
// lives until the object is deleted, which the application does only after
// its message loop has ended (the main form) or the caller does after a
// modal loop.
class TForm : public TWinControl {
 public:
  // className: the form's class name (also its window class).
  TForm(TComponent* AOwner, const char* className, TBorderStyle border = bsSizeable);
  ~TForm() override;
  bool IsForm() const override { return true; }

  void Show();
  void Hide() { SetVisible(false); }
  // Runs a modal loop until ModalResult is set; returns it.
  int ShowModal();
  // The normal close path: OnCloseQuery decides, then the form hides (the
  // main form ends the message loop).
  void Close();
  void Release();

  int ModalResult = mrNone;
  TPosition Position = poDesigned;
  TControl* ActiveControl = nullptr;
  HWND FLastFocus = nullptr;  // the control that had the focus when the form was left
  TButton* DefaultButton = nullptr;
  TButton* CancelButton = nullptr;
  // Controls with a Hint show it as a tooltip even without their own ShowHint.
  bool ShowHintForm = false;

  void SetMenu(TMainMenu* m);
  TMainMenu* Menu() const { return FMenu; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState s);
  // The restored bounds, also while minimized or maximized.
  RECT NormalBounds() const;
  void SetColor(TColor c) override;
  void SetVisible(bool v) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnActivate;
  TNotifyEvent OnShow;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Extra message handlers of the form, run before the default handling;
  // a handler returns true when it handled the message.
  void AddMessageHandler(UINT msg, std::function<bool(TMessage&)> h);
  void WndProc(TMessage& m) override;
  // A key press that is the shortcut of an enabled menu item runs it.
  bool IsShortCut(const MSG& msg);
  // The title bar's "?" (a dialog border's help button): a click on it and
  // then on a control asks help for that control's context as F1 does.
  void SetHelpButton(bool on);
  // Runs OnCreate (the constructor of the concrete form calls it last).
  void DoCreate();
  // Runs OnDestroy once. A concrete form calls it first in its destructor,
  // while its own fields still live; otherwise the base destructor does.
  void DoDestroy();
  bool Modal() const { return FModal; }
  // Registers a tooltip for every control of the form that shows its hint
  // (done when the form is shown; call again after adding such controls or
  // changing a Hint while the form is shown).
  void UpdateHints();
  HWND HintWindow() const { return FHintWindow; }

 protected:
  void PlaceForPosition();
  bool MenuItemMessage(TMessage& m);
  // The help mode of the "?" button: the pointer shows the help cursor
  // until the next click, which asks help for what it lands on.
  void ContextHelpMode();
  HWND FHintWindow = nullptr;
  TMainMenu* FMenu = nullptr;
  bool FModal = false;
  bool FDestroyFired = false;
  std::multimap<UINT, std::function<bool(TMessage&)>> FHandlers;
};

using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  // Creates the hidden window (class "TApplication", its text the title).
  void Initialize();
  HWND Handle() const { return FHandle; }
  std::string Title() const;
  void SetTitle(const std::string& t);
  // The first form handed here becomes the main form; forms are owned by
  // the application and deleted after the message loop.
  void AddForm(TForm* f);
  // A form deleted by its user leaves the list (and the main-form place).
  void RemoveForm(TForm* f);
  TForm* MainForm = nullptr;
  void Run();
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Shows the current exception (inside a catch block).
  void HandleException(TObject* Sender);
  void ShowException(const std::string& text);
  std::string Hint() const { return FHint; }
  void SetHint(const std::string& h);
  void SetModelessDialog(HWND h) { FModeless = h; }
  std::string ExeName() const;
  std::string HelpFile;
  // Help requests for HelpFile (false when there is none or it failed).
  bool HelpContext(int context);
  bool HelpCommand(UINT command, ULONG_PTR data);
  // F1 in a message loop: help for the context of the control it is meant
  // for (the nearest with one). True when help was asked.
  bool HelpKey(const MSG& msg);
  // Help for the context of the control that window w is part of (the
  // nearest with one): F1 and the "?" button both end here.
  bool HelpForWindow(HWND w);
  TNotifyEvent OnHint;
  TMessageEvent OnMessage;
  // One pass of the loop; false when WM_QUIT was read.
  bool HandleMessage();
  // A registered message posted to the hidden window, handed to OnMessage
  // from its window procedure; true when OnMessage handled it.
  bool HandOnPosted(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  bool ProcessMessage(MSG& msg);
  HWND FHandle = nullptr;
  bool FTerminated = false;
  std::string FHint;
  HWND FModeless = nullptr;
  std::vector<TForm*> FForms;
};

extern TApplication* Application;
// Width and height of the screen.
int ScreenWidth();
int ScreenHeight();
