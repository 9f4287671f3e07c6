#include "Menus.h"

#include <unordered_map>

#include "Forms.h"

namespace {
std::unordered_map<UINT, TMenuItem*>& Commands() {
  static std::unordered_map<UINT, TMenuItem*> m;
  return m;
}
UINT NextCommand() {
  static UINT next = 100;
  // Keep clear of IDOK/IDCANCEL and of the system menu range.
  if (next >= 0xEFFF) next = 100;
  return next++;
}
}  // namespace

std::string ShortCutToText(TShortCut s) {
  if (!s) return {};
  std::string r;
  if (s & scCtrl) r += "Ctrl+";
  if (s & scShift) r += "Shift+";
  if (s & scAlt) r += "Alt+";
  WORD key = s & 0xFF;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) r += static_cast<char>(key);
  else if (key == VK_DELETE) r += "Del";
  else if (key == VK_INSERT) r += "Ins";
  else if (key == VK_RETURN) r += "Enter";
  else if (key == VK_BACK) r += "BkSp";
  else if (key == VK_ESCAPE) r += "Esc";
  else if (key >= VK_F1 && key <= VK_F12) r.append("F").append(std::to_string(key - VK_F1 + 1));
  else r += "?";
  return r;
}

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(NextCommand()) {
  Commands()[FCommand] = this;
}

TMenuItem::~TMenuItem() {
  Commands().erase(FCommand);
  for (TMenuItem* c : FItems) c->FParent = nullptr;
  FItems.clear();
  if (FParent) {
    TMenuItem* p = FParent;
    p->Remove(this);
  }
  if (FHandle) DestroyMenu(FHandle);
}

TMenuItem* TMenuItem::FindByCommand(UINT id) {
  auto it = Commands().find(id);
  return it == Commands().end() ? nullptr : it->second;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->FParent) i = i->FParent;
  return i->FMenu;
}

HMENU TMenuItem::Handle() {
  if (!FHandle) {
    FHandle = (FMenu && dynamic_cast<TMainMenu*>(FMenu)) ? CreateMenu() : CreatePopupMenu();
    // An item already shown in its parent gets its submenu now.
    if (FParent) FParent->Rebuild();
  }
  return FHandle;
}

void TMenuItem::FillInfo(MENUITEMINFOA& mi, std::string& text) {
  mi = MENUITEMINFOA{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
  mi.wID = FCommand;
  if (IsLine()) {
    mi.fType = MFT_SEPARATOR;
    mi.fMask = MIIM_ID | MIIM_FTYPE;
    return;
  }
  mi.fType = MFT_STRING | (FRadioItem ? MFT_RADIOCHECK : 0);
  mi.fState = (FEnabled ? MFS_ENABLED : MFS_GRAYED) | (FChecked ? MFS_CHECKED : MFS_UNCHECKED);
  text = FCaption;
  if (FShortCut) text.append("\t").append(ShortCutToText(FShortCut));
  mi.dwTypeData = text.data();
  mi.hSubMenu = FItems.empty() ? nullptr : FHandle;
}

// Puts the visible children into this item's menu again (cheap: menus are small).
void TMenuItem::Rebuild() {
  if (!FHandle) return;
  while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
  UINT pos = 0;
  for (TMenuItem* c : FItems) {
    if (!c->FVisible) continue;
    if (!c->FItems.empty()) c->Handle();
    MENUITEMINFOA mi;
    std::string text;
    c->FillInfo(mi, text);
    InsertMenuItemA(FHandle, pos++, TRUE, &mi);
  }
  if (TMenu* m = GetParentMenu()) m->MenuChanged();
}

void TMenuItem::Detach() {
  if (FParent) FParent->Rebuild();
}

void TMenuItem::SetCaption(const std::string& c) {
  FCaption = c;
  Detach();
}
void TMenuItem::SetShortCut(TShortCut s) {
  FShortCut = s;
  Detach();
}

void TMenuItem::SetEnabled(bool e) {
  if (FEnabled == e) return;
  FEnabled = e;
  if (FParent && FParent->FHandle && FVisible)
    EnableMenuItem(FParent->FHandle, FParent->FHandle ? static_cast<UINT>(FParent->IndexOfVisible(this)) : 0,
                   MF_BYPOSITION | (e ? MF_ENABLED : MF_GRAYED));
  if (TMenu* m = GetParentMenu()) m->MenuChanged();
}

int TMenuItem::IndexOfVisible(const TMenuItem* item) const {
  int pos = 0;
  for (TMenuItem* c : FItems) {
    if (c == item) return pos;
    if (c->FVisible) ++pos;
  }
  return -1;
}

void TMenuItem::SetChecked(bool c) {
  FChecked = c;
  if (c && FRadioItem && FParent)
    for (TMenuItem* s : FParent->FItems)
      if (s != this && s->FRadioItem && s->GroupIndex == GroupIndex && s->FChecked) {
        s->FChecked = false;
        if (FParent->FHandle && s->FVisible)
          CheckMenuItem(FParent->FHandle, static_cast<UINT>(FParent->IndexOfVisible(s)), MF_BYPOSITION | MF_UNCHECKED);
      }
  if (FParent && FParent->FHandle && FVisible)
    CheckMenuItem(FParent->FHandle, static_cast<UINT>(FParent->IndexOfVisible(this)),
                  MF_BYPOSITION | (c ? MF_CHECKED : MF_UNCHECKED));
}

void TMenuItem::SetRadioItem(bool r) {
  FRadioItem = r;
  Detach();
}

void TMenuItem::SetVisible(bool v) {
  if (FVisible == v) return;
  FVisible = v;
  Detach();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item->FParent) item->FParent->Remove(item);
  if (index < 0 || index > Count()) index = Count();
  item->FParent = this;
  FItems.insert(FItems.begin() + index, item);
  Handle();
  Rebuild();
}

void TMenuItem::Remove(TMenuItem* item) {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i] == item) {
      FItems.erase(FItems.begin() + static_cast<long>(i));
      item->FParent = nullptr;
      Rebuild();
      return;
    }
}

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  delete FItems[index];  // its destructor takes it out
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[i] == item) return i;
  return -1;
}

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (!OnClick) return;
  TNotifyEvent copy = OnClick;
  SafeCall(this, [&] { copy(this); });
}

// ---- TMenu

TMenu::TMenu(TComponent* AOwner, bool popup) : TComponent(AOwner) {
  Items = new TMenuItem(this);
  Items->FMenu = this;
  Items->FHandle = popup ? CreatePopupMenu() : CreateMenu();
}

TMenu::~TMenu() = default;

HWND TMenu::WindowHandle() const {
  for (TComponent* o = Owner(); o; o = o->Owner())
    if (o->IsForm()) return o->GetHandle();
  return Application && Application->MainForm ? Application->MainForm->Handle() : nullptr;
}

static bool FindShortCut(TMenuItem* item, TShortCut s) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* c = item->Items(i);
    if (!c->Visible()) continue;
    if (c->Count() && c->Enabled() && FindShortCut(c, s)) return true;
    if (c->ShortCut() == s && c->Enabled() && !c->Count()) {
      c->Click();
      return true;
    }
  }
  return false;
}

bool TMenu::IsShortCut(TShortCut s) { return FindShortCut(Items, s); }

void TMainMenu::MenuChanged() {
  if (HWND w = WindowHandle()) DrawMenuBar(w);
}

void TPopupMenu::Popup(int x, int y) {
  PopupComponent = PopupComponent;
  Fire(OnPopup, this);
  HWND owner = WindowHandle();
  UINT id = static_cast<UINT>(TrackPopupMenu(Items->Handle(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y,
                                             0, owner, nullptr));
  if (id)
    if (TMenuItem* item = TMenuItem::FindByCommand(id)) item->Click();
}

TMenuItem* NewItem(TMenuItem* parent, const char* name, const std::string& caption, TShortCut shortcut,
                   const std::string& hint, TNotifyEvent onClick) {
  TComponent* owner = parent;
  // Items are owned by the form that owns the menu, like the rest.
  if (TMenu* m = parent->GetParentMenu()) owner = m->Owner() ? m->Owner() : m;
  auto* item = new TMenuItem(owner);
  item->Name = name ? name : "";
  item->SetCaption(caption);
  item->SetShortCut(shortcut);
  item->Hint = hint;
  item->OnClick = std::move(onClick);
  parent->Add(item);
  return item;
}

TMenuItem* NewLine(TMenuItem* parent) { return NewItem(parent, "", "-"); }
