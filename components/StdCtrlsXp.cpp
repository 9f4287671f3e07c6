#include "StdCtrlsXp.h"

#include <algorithm>

#include "UxTheme.h"

namespace {
constexpr int kGroupBoxPart = 4;  // BP_GROUPBOX
constexpr int kGroupBoxNormal = 1, kGroupBoxDisabled = 2;
const char kFrameProp[] = "TovixXpGroupBox";

// The parent's brush for a static-like child (LParam: the child itself).
HBRUSH ParentStaticBrush(HWND parent, HDC dc, HWND child) {
  return reinterpret_cast<HBRUSH>(
      SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child)));
}

// Erases a themed child with whatever its parent paints behind static controls.
bool EraseWithParentBrush(TControl* c, HDC dc) {
  if (!c->Parent() || !c->Parent()->Handle()) return false;
  RECT r;
  GetClientRect(c->Handle(), &r);
  FillRect(dc, &r, ParentStaticBrush(c->Parent()->Handle(), dc, c->Handle()));
  return true;
}
}  // namespace

// ---- TXpRadioButton

TXpRadioButton::TXpRadioButton(TComponent* AOwner, TWinControl* AParent, const std::string& caption, bool firstOfGroup)
    : TRadioButton(AOwner, AParent, caption, firstOfGroup) {
  HookWindowProc([this](TMessage& m) {
    if (m.Msg != WM_ERASEBKGND || !Themed()) return false;
    if (!EraseWithParentBrush(this, reinterpret_cast<HDC>(m.WParam))) return false;
    m.Result = 1;
    return true;
  });
}

bool TXpRadioButton::Themed() const {
  return Ctl3D && !(ComponentState & csDesigning) && FHandle && ThemesActive();
}

HBRUSH TXpRadioButton::CtlColor(HDC dc) {
  if (Themed() && SUCCEEDED(UxTheme::DrawThemeParentBackground(FHandle, dc, nullptr))) {
    // The caption goes over the parent's own background.
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(FFont.Color()));
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  return TRadioButton::CtlColor(dc);
}

// ---- TXpCustomGroupBox

TXpCustomGroupBox::TXpCustomGroupBox(TComponent* AOwner, TWinControl* AParent, const std::string& caption)
    : TGroupBox(AOwner, AParent, caption) {
  SetWindowTextA(FHandle, caption.c_str());
  FFrame = GetWindow(FHandle, GW_CHILD);
  if (FFrame) {
    // (The group box keeps its frame below the controls on it.)
    SetPropA(FFrame, kFrameProp, this);
    FFrameProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(FFrame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TXpCustomGroupBox::FrameProc)));
  }
  if (FHandle && ThemesActive()) FTheme = UxTheme::OpenThemeData(FHandle, L"BUTTON");
}

TXpCustomGroupBox::~TXpCustomGroupBox() {
  CloseTheme();
  if (FFrame && IsWindow(FFrame)) {
    SetWindowLongPtrA(FFrame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FFrameProc));
    RemovePropA(FFrame, kFrameProp);
  }
}

void TXpCustomGroupBox::CloseTheme() {
  if (FTheme && UxTheme::CloseThemeData) UxTheme::CloseThemeData(FTheme);
  FTheme = nullptr;
}

bool TXpCustomGroupBox::Themed() const {
  return Ctl3D && !(ComponentState & csDesigning) && FHandle && FTheme && ThemesActive();
}

void TXpCustomGroupBox::SetCaption(const std::string& s) {
  TGroupBox::SetCaption(s);
  if (FFrame) SetWindowTextA(FFrame, s.c_str());
}

void TXpCustomGroupBox::FontChanged() {
  TGroupBox::FontChanged();
  if (FFrame) SendMessageA(FFrame, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
}

HBRUSH TXpCustomGroupBox::CtlColor(HDC dc) {
  if (Themed() && SUCCEEDED(UxTheme::DrawThemeParentBackground(FHandle, dc, nullptr))) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  return TGroupBox::CtlColor(dc);
}

RECT TXpCustomGroupBox::CaptionBox(int H, int TW, bool hasCaption) {
  int gap = hasCaption ? 8 : 0;
  return RECT{8, 0, 8 + TW + gap, H};
}

bool TXpCustomGroupBox::PaintThemed(HDC dc) {
  if (!Themed() || !Parent() || !Parent()->Handle()) return false;
  const std::string caption = Caption();
  std::wstring text;
  if (!caption.empty()) {
    int n = MultiByteToWideChar(CP_ACP, 0, caption.c_str(), -1, nullptr, 0);
    text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, caption.c_str(), -1, text.data(), n);
    text.resize(wcslen(text.c_str()));
  }
  const int state = Enabled() ? kGroupBoxNormal : kGroupBoxDisabled;
  const DWORD flags = DT_SINGLELINE | DT_CENTER;
  HGDIOBJ oldFont = SelectObject(dc, FFont.Handle());
  RECT a{}, b{};
  bool ok = SUCCEEDED(UxTheme::GetThemeTextExtent(FTheme, dc, kGroupBoxPart, state, L"0", -1, flags, nullptr, &a)) &&
            SUCCEEDED(UxTheme::GetThemeTextExtent(FTheme, dc, kGroupBoxPart, state, text.c_str(), -1, flags, nullptr, &b));
  if (ok) {
    RECT client;
    GetClientRect(FFrame, &client);
    const int H = a.bottom, TW = text.empty() ? 0 : b.right;
    RECT frame{0, H / 2 - 1, client.right - 1, client.bottom - 1};
    RECT box = CaptionBox(H, TW, !text.empty());
    FillRect(dc, &client, ParentStaticBrush(Parent()->Handle(), dc, FHandle));
    int saved = SaveDC(dc);
    ExcludeClipRect(dc, box.left, box.top, box.right, box.bottom);
    ok = SUCCEEDED(UxTheme::DrawThemeBackground(FTheme, dc, kGroupBoxPart, state, &frame, nullptr));
    RestoreDC(dc, saved);
    if (ok && !text.empty())
      UxTheme::DrawThemeText(FTheme, dc, kGroupBoxPart, state, text.c_str(), -1, flags, 0, &box);
  }
  SelectObject(dc, oldFont);
  return ok;
}

LRESULT CALLBACK TXpCustomGroupBox::FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* box = static_cast<TXpCustomGroupBox*>(GetPropA(h, kFrameProp));
  if (!box) return DefWindowProcA(h, msg, wp, lp);
  if (msg == WM_PAINT && box->Themed()) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    box->FLastThemed = box->PaintThemed(dc);
    // A failed theme call: the button paints itself into the same DC.
    if (!box->FLastThemed) CallWindowProcA(box->FFrameProc, h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EndPaint(h, &ps);
    return 0;
  }
  if (msg == WM_PAINT) box->FLastThemed = false;
  return CallWindowProcA(box->FFrameProc, h, msg, wp, lp);
}

void TXpCustomGroupBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      if (Themed() && EraseWithParentBrush(this, reinterpret_cast<HDC>(m.WParam))) {
        m.Result = 1;
        return;
      }
      break;
    case WM_THEMECHANGED:
      if (ThemesActive()) {
        CloseTheme();
        FTheme = UxTheme::OpenThemeData(FHandle, L"BUTTON");
      }
      m.Result = 0;
      return;
    case WM_DESTROY:
      CloseTheme();
      break;
  }
  TGroupBox::WndProc(m);
}

// ---- TXpGroupButton

TXpGroupButton::TXpGroupButton(TXpCustomRadioGroup* group)
    : TXpRadioButton(group, group, "", group->FButtonList.empty()), FGroup(group) {
  group->FButtonList.push_back(this);
  ShowWindow(FHandle, SW_HIDE);
  SetEnabled(group->Enabled());
  SetFont(group->Font());
  OnClick = [group](TObject* s) { group->ButtonClicked(s); };
}

TXpGroupButton::~TXpGroupButton() {
  auto& list = FGroup->FButtonList;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool TXpGroupButton::Command(WORD code, WORD id) {
  if (FClickGuard) return true;
  FClickGuard = true;
  bool handled = false;
  if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && FGroup->MayChange()) {
    if (code == BN_CLICKED) {
      handled = TXpRadioButton::Command(code, id);
    } else {
      Fire(OnDblClick, this);
      handled = true;
    }
  }
  FClickGuard = false;
  return handled;
}

// ---- TXpCustomRadioGroup

TXpCustomRadioGroup::TXpCustomRadioGroup(TComponent* AOwner, TWinControl* AParent, const std::string& caption)
    : TXpCustomGroupBox(AOwner, AParent, caption) {}

TXpCustomRadioGroup::~TXpCustomRadioGroup() { SetButtonTotal(0); }

void TXpCustomRadioGroup::SetItems(const std::vector<std::string>& items) {
  FItems.Items() = items;
  ItemsChanged();
}

void TXpCustomRadioGroup::SetColumns(int n) {
  n = std::clamp(n, 1, 16);
  if (n == FColumns) return;
  FColumns = n;
  LayoutButtons();
  Invalidate();
}

void TXpCustomRadioGroup::SetItemIndex(int i) {
  i = std::clamp(i, -1, ButtonCount() - 1);
  if (i == FItemIndex) return;
  if (FItemIndex >= 0) FButtonList[FItemIndex]->SetChecked(false);
  FItemIndex = i;
  if (FItemIndex >= 0) FButtonList[FItemIndex]->SetChecked(true);
}

void TXpCustomRadioGroup::ItemsChanged() {
  if (FItemIndex >= FItems.Count()) FItemIndex = FItems.Count() - 1;
  SyncButtons();
}

void TXpCustomRadioGroup::SyncButtons() {
  SetButtonTotal(FItems.Count());
  for (int i = 0; i < ButtonCount(); ++i) {
    FButtonList[i]->SetCaption(FItems[i]);
    FButtonList[i]->SetChecked(false);
  }
  if (FItemIndex >= 0) {
    FSelecting = true;
    FButtonList[FItemIndex]->SetChecked(true);
    FSelecting = false;
  }
  LayoutButtons();
  Invalidate();
}

void TXpCustomRadioGroup::SetButtonTotal(int n) {
  while (ButtonCount() < n) new TXpGroupButton(this);
  while (ButtonCount() > n) delete FButtonList.back();
}

void TXpCustomRadioGroup::LayoutButtons() {
  if (FButtonList.empty() || !FHandle) return;
  TEXTMETRICA tm{};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FFont.Handle());
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const int count = ButtonCount();
  const int rows = (count + FColumns - 1) / FColumns;
  const int colWidth = (Width() - 10) / FColumns;
  const int avail = Height() - tm.tmHeight - 5;
  const int rowHeight = avail / rows;
  const int top = tm.tmHeight + 1 + (avail % rows) / 2;
  HDWP batch = BeginDeferWindowPos(count);
  for (int i = 0; i < count; ++i) {
    int x = (i / rows) * colWidth + 8, y = (i % rows) * rowHeight + top;
    if (batch)
      batch = DeferWindowPos(batch, FButtonList[i]->Handle(), nullptr, x, y, colWidth, rowHeight,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (batch) EndDeferWindowPos(batch);
  for (TXpGroupButton* b : FButtonList) ShowWindow(b->Handle(), SW_SHOWNA);
}

void TXpCustomRadioGroup::ButtonClicked(TObject* Sender) {
  if (FSelecting) return;
  auto it = std::find(FButtonList.begin(), FButtonList.end(), Sender);
  if (it == FButtonList.end()) return;
  FItemIndex = static_cast<int>(it - FButtonList.begin());
  Fire(OnClick, this);
}

void TXpCustomRadioGroup::SetEnabled(bool v) {
  TXpCustomGroupBox::SetEnabled(v);
  for (TXpGroupButton* b : FButtonList) b->SetEnabled(v);
}

void TXpCustomRadioGroup::FontChanged() {
  TXpCustomGroupBox::FontChanged();
  for (TXpGroupButton* b : FButtonList) b->SetFont(FFont);
  LayoutButtons();
}

void TXpCustomRadioGroup::WndProc(TMessage& m) {
  TXpCustomGroupBox::WndProc(m);
  if (m.Msg == WM_SIZE) LayoutButtons();
}
