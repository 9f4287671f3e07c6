#include "Forms.h"

#include <exception>

#include "Menus.h"
#include "StdCtrls.h"

TApplication* Application = nullptr;

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// ---- TForm

TForm::TForm(TComponent* AOwner, const char* className, TBorderStyle border) : TWinControl(AOwner, nullptr) {
  Name = className[0] == 'T' ? className + 1 : className;
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  RegisterWindowClass(className, CS_DBLCLKS, icon ? icon : LoadIcon(nullptr, IDI_APPLICATION));
  DWORD style = WS_CLIPCHILDREN, ex = 0;
  switch (border) {
    case bsSizeable:
      style |= WS_OVERLAPPEDWINDOW;
      break;
    case bsDialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      ex |= WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
      break;
    case bsSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      break;
    case bsNone:
      style |= WS_POPUP;
      break;
    case bsToolWindow:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      ex |= WS_EX_TOOLWINDOW;
      break;
  }
  HWND owner = nullptr;
  if (Application && Application->MainForm) owner = Application->MainForm->Handle();
  else if (Application && border != bsSizeable) owner = Application->Handle();
  FHandle = CreateWindowExA(ex, className, "", style, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, owner, nullptr,
                            GetModuleHandleA(nullptr), this);
  if (FHandle) {
    Register(FHandle, this);
    ApplyFont();
  }
  FColor = clBtnFace;
  if (Application) Application->AddForm(this);
}

TForm::~TForm() {
  DoDestroy();
  if (Application) Application->RemoveForm(this);
}

void TForm::DoCreate() { Fire(OnCreate, this); }

void TForm::DoDestroy() {
  if (FDestroyFired) return;
  FDestroyFired = true;
  Fire(OnDestroy, this);
}

void TForm::PlaceForPosition() {
  int w = Width(), h = Height(), l = Left(), t = Top();
  if (Position == poScreenCenter) {
    l = (ScreenWidth() - w) / 2;
    t = (ScreenHeight() - h) / 2;
  } else if (Position == poMainFormCenter || Position == poOwnerFormCenter) {
    if (Application && Application->MainForm && Application->MainForm != this) {
      RECT r = Application->MainForm->BoundsRect();
      l = r.left + (r.right - r.left - w) / 2;
      t = r.top + (r.bottom - r.top - h) / 2;
    }
  } else {
    return;
  }
  MoveWindow(FHandle, l, t, w, h, FALSE);
}

void TForm::SetVisible(bool v) {
  if (!FHandle) return;
  if (v) {
    if (!Visible()) {
      PlaceForPosition();
      UpdateHints();
      ShowWindow(FHandle, SW_SHOW);
      Realign();
      Fire(OnShow, this);
      if (ActiveControl && ActiveControl->Handle()) ::SetFocus(ActiveControl->Handle());
    }
  } else {
    ShowWindow(FHandle, SW_HIDE);
  }
}

void TForm::Show() {
  SetVisible(true);
  SetForegroundWindow(FHandle);
}

int TForm::ShowModal() {
  ModalResult = mrNone;
  FModal = true;
  // Every other window of the application waits for this one.
  std::vector<HWND> disabled = DisableThreadWindows(FHandle);
  Show();
  MSG msg;
  while (ModalResult == mrNone) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      if (ModalResult == mrNone) ModalResult = mrCancel;
      break;
    }
    if (Application && Application->HelpKey(msg)) continue;
    if (IsDialogMessageA(FHandle, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EnableThreadWindows(disabled);
  ShowWindow(FHandle, SW_HIDE);
  HWND back = GetWindow(FHandle, GW_OWNER);
  if (!back && !disabled.empty()) back = disabled.front();
  if (back) SetActiveWindow(back);
  FModal = false;
  return ModalResult;
}

void TForm::Close() {
  bool can = true;
  if (OnCloseQuery) SafeCall(this, [&] { OnCloseQuery(this, can); });
  if (!can) return;
  Fire(OnClose, this);
  if (FModal) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  ShowWindow(FHandle, SW_HIDE);
  if (Application && Application->MainForm == this) Application->Terminate();
}

void TForm::Release() { ShowWindow(FHandle, SW_HIDE); }

void TForm::SetMenu(TMainMenu* m) {
  FMenu = m;
  ::SetMenu(FHandle, m ? m->Handle() : nullptr);
}

TWindowState TForm::WindowState() const {
  if (IsIconic(FHandle)) return wsMinimized;
  if (IsZoomed(FHandle)) return wsMaximized;
  return wsNormal;
}

void TForm::SetWindowState(TWindowState s) {
  ShowWindow(FHandle, s == wsMinimized ? SW_MINIMIZE : s == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

RECT TForm::NormalBounds() const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (GetWindowPlacement(FHandle, &wp)) return wp.rcNormalPosition;
  return BoundsRect();
}

void TForm::SetColor(TColor c) { TControl::SetColor(c); }

void TForm::UpdateHints() {
  std::vector<TControl*> shown;
  std::function<void(TWinControl*)> walk = [&](TWinControl* w) {
    for (int i = 0; i < w->ControlCount(); ++i) {
      TControl* c = w->Controls(i);
      if (c->Handle() && !c->Hint.empty() && (c->ShowHint || ShowHintForm)) shown.push_back(c);
      if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(wc);
    }
  };
  walk(this);
  if (shown.empty()) return;
  if (!FHintWindow)
    FHintWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  if (!FHintWindow) return;
  // Long hints wrap instead of running off the screen.
  SendMessageA(FHintWindow, TTM_SETMAXTIPWIDTH, 0, 300);
  for (TControl* c : shown) {
    // The tooltip keeps its own copy of the text: a text handed over on
    // request is cut short by some tooltip controls.
    std::string text = GetShortHint(c->Hint);
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = FHandle;
    ti.uId = reinterpret_cast<UINT_PTR>(c->Handle());
    bool known = SendMessageA(FHintWindow, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    ti.lpszText = text.data();
    SendMessageA(FHintWindow, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void TForm::SetHelpButton(bool on) {
  LONG ex = GetWindowLongA(FHandle, GWL_EXSTYLE);
  SetWindowLongA(FHandle, GWL_EXSTYLE, on ? ex | WS_EX_CONTEXTHELP : ex & ~WS_EX_CONTEXTHELP);
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

namespace {

// The innermost shown window of top under the screen point p (disabled
// controls included: their help is asked too).
HWND WindowAt(HWND top, POINT p) {
  HWND w = top;
  for (;;) {
    POINT c = p;
    ScreenToClient(w, &c);
    HWND child = ChildWindowFromPointEx(w, c, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == w) return w;
    w = child;
  }
}

}  // namespace

void TForm::ContextHelpMode() {
  // The system's own mode is not there everywhere (Wine has none), so the
  // form runs it: the capture takes every click, the next one decides.
  SetCapture(FHandle);
  HCURSOR help = LoadCursor(nullptr, IDC_HELP);
  HCURSOR old = SetCursor(help);
  HWND hit = nullptr;
  POINT at{};
  MSG msg;
  for (bool done = false; !done && GetCapture() == FHandle;) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    switch (msg.message) {
      case WM_LBUTTONDOWN: {
        // A click on the form comes to it under the capture; one handed to
        // a control carries that control's client point.
        POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
        ClientToScreen(msg.hwnd, &p);
        RECT r{};
        GetWindowRect(FHandle, &r);
        if (PtInRect(&r, p)) {
          hit = WindowAt(FHandle, p);
          at = p;
        }
        done = true;
        break;
      }
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_NCLBUTTONDOWN:
      case WM_NCRBUTTONDOWN:
        done = true;
        break;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        done = msg.wParam == VK_ESCAPE;
        break;
      case WM_MOUSEMOVE:
      case WM_SETCURSOR:
        SetCursor(help);
        break;
      default:
        if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
            (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST))
          break;  // taken by the mode
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
  }
  if (GetCapture() == FHandle) ReleaseCapture();
  SetCursor(old ? old : LoadCursor(nullptr, IDC_ARROW));
  if (!hit || hit == FHandle) return;
  // What the system sends after its own mode's click.
  HELPINFO hi{};
  hi.cbSize = sizeof hi;
  hi.iContextType = HELPINFO_WINDOW;
  hi.iCtrlId = GetDlgCtrlID(hit);
  hi.hItemHandle = hit;
  hi.dwContextId = GetWindowContextHelpId(hit);
  hi.MousePos = at;
  SendMessageA(FHandle, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}

void TForm::AddMessageHandler(UINT msg, std::function<bool(TMessage&)> h) { FHandlers.emplace(msg, std::move(h)); }

bool TForm::IsShortCut(const MSG& msg) {
  if (!FMenu || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
  if (!IsWindowEnabled(FHandle)) return false;
  TShortCut s = static_cast<TShortCut>(msg.wParam & 0xFF);
  TShiftState st = KeyboardShiftState();
  s = ShortCut(s, st);
  // Plain keys (Delete) stay with edit fields that want them.
  return FMenu->IsShortCut(s);
}

void TForm::WndProc(TMessage& m) {
  auto range = FHandlers.equal_range(m.Msg);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second(m)) return;
  if (MenuItemMessage(m)) return;
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_NEXTDLGCTL: {
      // Sent by IsDialogMessage for a label's access key (the label, then
      // the control after it) and by Tab-like moves; a form is no dialog
      // class, so it answers this itself.
      HWND to = LOWORD(m.LParam) ? reinterpret_cast<HWND>(m.WParam)
                                 : GetNextDlgTabItem(FHandle, GetFocus(), m.WParam != 0);
      if (to) ::SetFocus(to);
      m.Result = 0;
      return;
    }
    case WM_ACTIVATE: {
      if (LOWORD(m.WParam) == WA_INACTIVE) {
        // The control that has the focus gets it back on the next activation.
        HWND f = GetFocus();
        FLastFocus = f && IsChild(FHandle, f) ? f : nullptr;
        break;
      }
      // The default procedure first: it gives the focus to the form itself.
      DefaultHandler(m);
      Fire(OnActivate, this);
      // Only a form that really is the active, enabled window takes the focus
      // for a control: an owner activated late (its modal box already up, as
      // on a slow first start) must not take it from that box.
      if (GetActiveWindow() != FHandle || !IsWindowEnabled(FHandle)) return;
      HWND to = FLastFocus;
      if (!to || !IsWindow(to) || !IsChild(FHandle, to))
        to = ActiveControl && ActiveControl->Handle() ? ActiveControl->Handle() : nullptr;
      if (to && IsWindowVisible(to) && IsWindowEnabled(to)) ::SetFocus(to);
      return;
    }
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_CONTEXTHELP) {
        ContextHelpMode();
        m.Result = 0;
        return;
      }
      break;
    case WM_HELP: {
      // From the "?" button's click, or from the system for an F1 that no
      // context took: the control it names gets the help F1 gives it.
      auto* hi = reinterpret_cast<const HELPINFO*>(m.LParam);
      if (!hi || hi->iContextType != HELPINFO_WINDOW) break;
      if (Application) Application->HelpForWindow(static_cast<HWND>(hi->hItemHandle));
      m.Result = TRUE;
      return;
    }
    case WM_COMMAND:
      if (m.LParam == 0 || !TControl::FromHandle(reinterpret_cast<HWND>(m.LParam))) {
        WORD id = LOWORD(m.WParam);
        if (id == IDOK && DefaultButton && DefaultButton->Enabled()) {
          DefaultButton->Click();
          m.Result = 0;
          return;
        }
        if (id == IDCANCEL && HIWORD(m.WParam) == 0 && !TMenuItem::FindByCommand(id)) {
          if (CancelButton) CancelButton->Click();
          else if (FModal) ModalResult = mrCancel;
          m.Result = 0;
          return;
        }
      }
      break;
  }
  TWinControl::WndProc(m);
}

// Owner drawing of menu items and their hints: the form that shows a menu
// answers for its items.
bool TForm::MenuItemMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (!mis || mis->CtlType != ODT_MENU) return false;
      TMenuItem* item = TMenuItem::FindByCommand(static_cast<UINT>(mis->itemData));
      if (!item) return false;
      HDC dc = GetDC(FHandle);
      int w = 0, h = 0;
      SafeCall(item, [&] { item->MeasureItem(dc, w, h); });
      ReleaseDC(FHandle, dc);
      mis->itemWidth = static_cast<UINT>(w);
      mis->itemHeight = static_cast<UINT>(h);
      m.Result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (!dis || dis->CtlType != ODT_MENU) return false;
      TMenuItem* item = TMenuItem::FindByCommand(static_cast<UINT>(dis->itemData));
      if (!item) return false;
      int saved = SaveDC(dis->hDC);
      SafeCall(item, [&] { item->AdvancedDrawItem(dis->hDC, dis->rcItem, dis->itemState, item->TopLevel()); });
      RestoreDC(dis->hDC, saved);
      m.Result = TRUE;
      return true;
    }
    case WM_MENUSELECT: {
      // The highlighted item's long hint becomes the application's hint;
      // items that are not ours (the system menu) and the menu's end clear it.
      if (!Application) return false;
      UINT flags = HIWORD(m.WParam);
      auto menu = reinterpret_cast<HMENU>(m.LParam);
      TMenuItem* item = nullptr;
      if (flags == 0xFFFF && !menu) {
      } else if (flags & MF_POPUP) {
        item = TMenuItem::FindBySubMenu(GetSubMenu(menu, LOWORD(m.WParam)));
      } else {
        item = TMenuItem::FindByCommand(LOWORD(m.WParam));
      }
      Application->SetHint(item ? GetLongHint(item->Hint) : std::string());
      return false;
    }
  }
  return false;
}

// ---- TApplication

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  SetApplicationExceptionHandler([this](TComponent* s) { HandleException(s); });
}

TApplication::~TApplication() {
  // Forms go first (their windows after the loop has ended), newest first.
  while (!FForms.empty()) {
    TForm* f = FForms.back();
    FForms.pop_back();
    delete f;
  }
  if (FHandle) DestroyWindow(FHandle);
  if (Application == this) Application = nullptr;
}

static LRESULT CALLBACK AppWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE && Application && Application->MainForm) {
    Application->MainForm->Close();
    return 0;
  }
  // Messages posted to the hidden window (the broadcasts between instances)
  // reach OnMessage here, from whichever loop took them: the main loop, a
  // form's modal loop or the system's own (message boxes, common dialogs).
  if (Application && msg >= 0xC000 && Application->HandOnPosted(h, msg, wp, lp)) return 0;
  return DefWindowProcA(h, msg, wp, lp);
}

bool TApplication::HandOnPosted(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (!OnMessage || InSendMessage()) return false;
  MSG m{};
  m.hwnd = h;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = static_cast<DWORD>(GetMessageTime());
  bool handled = false;
  SafeCall(this, [&] { OnMessage(m, handled); });
  return handled;
}

void TApplication::Initialize() {
  if (FHandle) return;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                           ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = AppWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(1));
  wc.lpszClassName = "TApplication";
  RegisterClassA(&wc);
  FHandle = CreateWindowExA(0, "TApplication", "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU,
                            ScreenWidth() / 2, ScreenHeight() / 2, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

std::string TApplication::Title() const {
  char buf[512] = {};
  if (FHandle) GetWindowTextA(FHandle, buf, sizeof buf);
  return buf;
}

void TApplication::SetTitle(const std::string& t) {
  if (FHandle) SetWindowTextA(FHandle, t.c_str());
}

void TApplication::AddForm(TForm* f) {
  FForms.push_back(f);
  if (!MainForm) MainForm = f;
}

void TApplication::RemoveForm(TForm* f) {
  for (size_t i = 0; i < FForms.size(); ++i)
    if (FForms[i] == f) {
      FForms.erase(FForms.begin() + static_cast<long>(i));
      break;
    }
  if (MainForm == f) MainForm = nullptr;
}

std::string TApplication::ExeName() const {
  char buf[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return buf;
}

void TApplication::SetHint(const std::string& h) {
  FHint = h;
  Fire(OnHint, this);
}

void TApplication::ShowException(const std::string& text) {
  MessageBoxA(MainForm ? MainForm->Handle() : FHandle, text.c_str(), Title().c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(TObject* Sender) {
  std::string text = "不明なエラーが発生しました。";
  try {
    std::exception_ptr p = std::current_exception();
    if (p) std::rethrow_exception(p);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  ShowException(text);
}

bool TApplication::HelpCommand(UINT command, ULONG_PTR data) {
  if (HelpFile.empty()) return false;
  HWND owner = MainForm ? MainForm->Handle() : FHandle;
  return WinHelpA(owner, HelpFile.c_str(), command, data) != FALSE;
}

bool TApplication::HelpContext(int context) { return HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context)); }

bool TApplication::HelpKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_F1) return false;
  if (KeyboardShiftState() & (ssCtrl | ssAlt | ssShift)) return false;
  return HelpForWindow(msg.hwnd);
}

bool TApplication::HelpForWindow(HWND w) {
  // The window may be a part of a control (a combo's edit).
  TControl* c = nullptr;
  for (HWND h = w; h && !c; h = GetParent(h)) c = TControl::FromHandle(h);
  while (c && c->HelpContext == 0) c = c->Parent();
  if (!c) return false;
  HelpContext(c->HelpContext);
  return true;
}

bool TApplication::ProcessMessage(MSG& msg) {
  bool handled = false;
  // The hidden window's registered messages go to OnMessage when they are
  // dispatched (AppWndProc), so that every loop hands them on once.
  const bool atDispatch = msg.hwnd == FHandle && msg.message >= 0xC000;
  if (OnMessage && !atDispatch) SafeCall(this, [&] { OnMessage(msg, handled); });
  if (handled) return true;
  if (HelpKey(msg)) return true;
  if (FModeless && IsWindow(FModeless) && IsDialogMessageA(FModeless, &msg)) return true;
  if (MainForm && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
    HWND active = GetActiveWindow();
    if (active == MainForm->Handle()) {
      bool done = false;
      SafeCall(MainForm, [&] { done = MainForm->IsShortCut(msg); });
      if (done) return true;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

bool TApplication::HandleMessage() {
  MSG msg;
  if (!GetMessageA(&msg, nullptr, 0, 0)) {
    FTerminated = true;
    return false;
  }
  ProcessMessage(msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ProcessMessage(msg);
  }
}

void TApplication::Run() {
  if (MainForm && !MainForm->Visible()) MainForm->Show();
  while (!FTerminated && HandleMessage()) {
  }
}

void TApplication::Terminate() {
  if (!FTerminated) PostQuitMessage(0);
  FTerminated = true;
}
