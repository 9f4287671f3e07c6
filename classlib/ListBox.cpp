#include "ListBox.h"

TListBox::TListBox(TComponent* AOwner, TWinControl* AParent, bool ownerDrawFixed) : TControl(AOwner, AParent) {
  FColor = clWindow;
  CreateHandle("LISTBOX",
               WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                   (ownerDrawFixed ? LBS_OWNERDRAWFIXED | LBS_HASSTRINGS : 0),
               WS_EX_CLIENTEDGE);
}
int TListBox::AddItem(const std::string& s) {
  return static_cast<int>(SendMessageA(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
}
void TListBox::InsertItem(int i, const std::string& s) {
  SendMessageA(FHandle, LB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.c_str()));
}
void TListBox::DeleteItem(int i) { SendMessageA(FHandle, LB_DELETESTRING, static_cast<WPARAM>(i), 0); }
void TListBox::ClearItems() { SendMessageA(FHandle, LB_RESETCONTENT, 0, 0); }
int TListBox::ItemCount() const { return static_cast<int>(SendMessageA(FHandle, LB_GETCOUNT, 0, 0)); }
std::string TListBox::Item(int i) const {
  LRESULT n = SendMessageA(FHandle, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
  if (n == LB_ERR) return {};
  std::string s(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(FHandle, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(n));
  return s;
}
int TListBox::ItemIndex() const { return static_cast<int>(SendMessageA(FHandle, LB_GETCURSEL, 0, 0)); }
void TListBox::SetItemIndex(int i) { SendMessageA(FHandle, LB_SETCURSEL, static_cast<WPARAM>(i), 0); }
void TListBox::SetItemHeight(int h) { SendMessageA(FHandle, LB_SETITEMHEIGHT, 0, MAKELPARAM(h, 0)); }
void TListBox::FitWholeRows() {
  const int row = static_cast<int>(SendMessageA(FHandle, LB_GETITEMHEIGHT, 0, 0));
  RECT w{}, c{};
  GetWindowRect(FHandle, &w);
  GetClientRect(FHandle, &c);
  if (row <= 0 || c.bottom < row) return;
  const int frame = (w.bottom - w.top) - c.bottom;
  SetHeight(c.bottom / row * row + frame);
}
bool TListBox::Command(WORD code, WORD id) {
  if (code == LBN_SELCHANGE) {
    Fire(OnClick, this);
    return true;
  }
  return false;
}
void TListBox::DrawItem(const DRAWITEMSTRUCT& d) {
  if (OnDrawItem && static_cast<int>(d.itemID) >= 0)
    SafeCall(this, [&] { OnDrawItem(this, static_cast<int>(d.itemID), d.hDC, d.rcItem, d.itemState); });
}
