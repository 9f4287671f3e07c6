#include "StdCtrls.h"

#include "Forms.h"

static TForm* ParentForm(TControl* c) {
  for (TControl* p = c->Parent(); p; p = p->Parent())
    if (auto* f = dynamic_cast<TForm*>(p)) return f;
  return nullptr;
}

TLabel::TLabel(TComponent* AOwner, TWinControl* AParent, const std::string& caption) : TControl(AOwner, AParent) {
  // "&" marks the access key, which moves the focus to the next control.
  CreateHandle("STATIC", WS_VISIBLE | SS_LEFT, 0, caption.c_str());
}
void TLabel::SetShowAccelChar(bool show) {
  LONG s = GetWindowLongA(FHandle, GWL_STYLE);
  SetWindowLongA(FHandle, GWL_STYLE, show ? s & ~SS_NOPREFIX : s | SS_NOPREFIX);
  InvalidateRect(FHandle, nullptr, TRUE);
}
HBRUSH TLabel::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(FFont.Color()));
  if (Transparent) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, ColorToRGB(FColor));
  return ColorBrush();
}

TButton::TButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption, int modalResult)
    : TControl(AOwner, AParent), ModalResult(modalResult) {
  CreateHandle("BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, caption.c_str());
}
void TButton::SetDefault(bool d) {
  LONG s = GetWindowLongA(FHandle, GWL_STYLE) & ~(BS_DEFPUSHBUTTON | BS_PUSHBUTTON);
  SendMessageA(FHandle, BM_SETSTYLE, s | (d ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), TRUE);
  if (TForm* f = ParentForm(this)) f->DefaultButton = d ? this : (f->DefaultButton == this ? nullptr : f->DefaultButton);
}
void TButton::SetCancel(bool c) {
  if (TForm* f = ParentForm(this)) f->CancelButton = c ? this : (f->CancelButton == this ? nullptr : f->CancelButton);
}
void TButton::Click() {
  Fire(OnClick, this);
  if (ModalResult)
    if (TForm* f = ParentForm(this)) f->ModalResult = ModalResult;
}
bool TButton::Command(WORD code, WORD id) {
  if (code == BN_CLICKED) {
    Click();
    return true;
  }
  return false;
}

TEdit::TEdit(TComponent* AOwner, TWinControl* AParent, DWORD extraStyle) : TControl(AOwner, AParent) {
  FColor = clWindow;
  CreateHandle("EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, WS_EX_CLIENTEDGE);
}
void TEdit::SetReadOnly(bool r) { SendMessageA(FHandle, EM_SETREADONLY, r, 0); }
void TEdit::SetMaxLength(int n) { SendMessageA(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(n), 0); }
void TEdit::SelectAll() { SendMessageA(FHandle, EM_SETSEL, 0, -1); }
int TEdit::SelStart() const {
  DWORD a = 0, b = 0;
  SendMessageA(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  return static_cast<int>(a);
}
int TEdit::SelLength() const {
  DWORD a = 0, b = 0;
  SendMessageA(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  return static_cast<int>(b - a);
}
void TEdit::SetSel(int start, int length) { SendMessageA(FHandle, EM_SETSEL, static_cast<WPARAM>(start), start + length); }
bool TEdit::Command(WORD code, WORD id) {
  if (code == EN_CHANGE) {
    Fire(OnChange, this);
    return true;
  }
  return false;
}
HBRUSH TEdit::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(FFont.Color()));
  SetBkColor(dc, ColorToRGB(FColor));
  return ColorBrush();
}

TMemo::TMemo(TComponent* AOwner, TWinControl* AParent)
    : TEdit(AOwner, AParent, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL) {}

void TMemo::Recreate(DWORD style) {
  std::string text = Text();
  bool ro = (GetWindowLongA(FHandle, GWL_STYLE) & ES_READONLY) != 0;
  bool visible = Visible();
  RECT r = BoundsRect();
  DestroyHandle();
  CreateHandle("EDIT", style | (ro ? ES_READONLY : 0) | (visible ? WS_VISIBLE : 0) | WS_TABSTOP, WS_EX_CLIENTEDGE);
  SendMessageA(FHandle, EM_LIMITTEXT, 0, 0);
  MoveWindow(FHandle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  SetText(text);
  for (auto& h : FHooks) (void)h;
  if (!FHooks.empty()) {
    auto hooks = std::move(FHooks);
    FHooks.clear();
    for (auto& h : hooks) HookWindowProc(std::move(h));
  }
}
bool TMemo::WordWrap() const { return !(GetWindowLongA(FHandle, GWL_STYLE) & ES_AUTOHSCROLL); }
void TMemo::SetWordWrap(bool w) {
  if (w == WordWrap()) return;
  DWORD s = static_cast<DWORD>(GetWindowLongA(FHandle, GWL_STYLE)) & (WS_VSCROLL | WS_HSCROLL);
  if (w) s &= ~WS_HSCROLL;
  Recreate(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | s | (w ? 0 : ES_AUTOHSCROLL));
}
TScrollStyle TMemo::ScrollBars() const {
  LONG s = GetWindowLongA(FHandle, GWL_STYLE);
  bool v = s & WS_VSCROLL, h = s & WS_HSCROLL;
  return v && h ? ssBoth : v ? ssVertical : h ? ssHorizontal : ssNone;
}
void TMemo::SetScrollBars(TScrollStyle st) {
  if (st == ScrollBars()) return;
  DWORD s = (st == ssBoth || st == ssVertical ? WS_VSCROLL : 0) | (st == ssBoth || st == ssHorizontal ? WS_HSCROLL : 0);
  Recreate(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | s | (WordWrap() ? 0 : ES_AUTOHSCROLL));
}
void TMemo::CopyToClipboard() { SendMessageA(FHandle, WM_COPY, 0, 0); }
std::string TMemo::SelText() const {
  std::string t = Text();
  DWORD a = 0, b = 0;
  SendMessageA(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  if (a > t.size()) return {};
  return t.substr(a, b > a ? b - a : 0);
}
int TMemo::LineCount() const { return static_cast<int>(SendMessageA(FHandle, EM_GETLINECOUNT, 0, 0)); }
std::vector<std::string> TMemo::Lines() const {
  TStringList l;
  l.SetText(Text());
  return l.Items();
}
void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string t;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) t += "\r\n";
    t += lines[i];
  }
  SetText(t);
}

TCheckBox::TCheckBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption) : TControl(AOwner, AParent) {
  CreateHandle("BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, caption.c_str());
}
bool TCheckBox::Checked() const { return SendMessageA(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TCheckBox::SetChecked(bool c) { SendMessageA(FHandle, BM_SETCHECK, c ? BST_CHECKED : BST_UNCHECKED, 0); }
bool TCheckBox::Command(WORD code, WORD id) {
  if (code == BN_CLICKED) {
    Fire(OnClick, this);
    return true;
  }
  return false;
}
HBRUSH TCheckBox::CtlColor(HDC dc) {
  SetBkColor(dc, ColorToRGB(FColor));
  SetTextColor(dc, ColorToRGB(FFont.Color()));
  return ColorBrush();
}

TRadioButton::TRadioButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption, bool firstOfGroup)
    : TCheckBox(AOwner, AParent, caption) {
  LONG s = GetWindowLongA(FHandle, GWL_STYLE) & ~BS_AUTOCHECKBOX;
  SetWindowLongA(FHandle, GWL_STYLE, s | BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0));
}

TComboBox::TComboBox(TComponent* AOwner, TWinControl* AParent, bool dropDownList) : TControl(AOwner, AParent) {
  FColor = clWindow;
  CreateHandle("COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | (dropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN) | CBS_AUTOHSCROLL, 0);
}
int TComboBox::AddItem(const std::string& s) {
  return static_cast<int>(SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
}
void TComboBox::ClearItems() { SendMessageA(FHandle, CB_RESETCONTENT, 0, 0); }
int TComboBox::ItemCount() const { return static_cast<int>(SendMessageA(FHandle, CB_GETCOUNT, 0, 0)); }
std::string TComboBox::Item(int i) const {
  LRESULT n = SendMessageA(FHandle, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
  if (n == CB_ERR) return {};
  std::string s(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(FHandle, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(n));
  return s;
}
int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageA(FHandle, CB_GETCURSEL, 0, 0)); }
void TComboBox::SetItemIndex(int i) { SendMessageA(FHandle, CB_SETCURSEL, static_cast<WPARAM>(i), 0); }
bool TComboBox::Command(WORD code, WORD id) {
  if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) {
    Fire(OnChange, this);
    return true;
  }
  return false;
}

TGroupBox::TGroupBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption) : TWinControl(AOwner, AParent) {
  RegisterWindowClass("TGroupBox");
  CreateHandle("TGroupBox", WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
  HWND frame = CreateWindowExA(0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 0, 0, FHandle,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(frame, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
  // The frame covers the box: kept below the controls on it and clipped by
  // them, so its painting never covers them.
  SetWindowLongA(frame, GWL_STYLE, GetWindowLongA(frame, GWL_STYLE) | WS_CLIPSIBLINGS);
  HookWindowProc([frame](TMessage& m) {
    if (m.Msg == WM_SIZE) MoveWindow(frame, 0, 0, LOWORD(m.LParam), HIWORD(m.LParam), TRUE);
    // A control put on the box comes in above the frame.
    if (m.Msg == WM_PARENTNOTIFY && LOWORD(m.WParam) == WM_CREATE)
      SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return false;
  });
}
