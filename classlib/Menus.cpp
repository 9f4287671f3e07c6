#include "Menus.h"

#include <unordered_map>

#include "ComCtrls.h"
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

bool (*MenuThemesActive)() = nullptr;

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

TMenuItem* TMenuItem::FindBySubMenu(HMENU sub) {
  if (!sub) return nullptr;
  for (auto& [id, item] : Commands())
    if (item->FHandle == sub) return item;
  return nullptr;
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
    // Drawn by the painters too, so the line matches the items around it.
    mi.fType = MFT_SEPARATOR | (IsOwnerDrawn() ? MFT_OWNERDRAW : 0);
    mi.fMask = MIIM_ID | MIIM_FTYPE | MIIM_DATA;
    mi.dwItemData = FCommand;
    return;
  }
  mi.fType = MFT_STRING | (FRadioItem ? MFT_RADIOCHECK : 0);
  mi.fState = (FEnabled ? MFS_ENABLED : MFS_GRAYED) | (FChecked ? MFS_CHECKED : MFS_UNCHECKED) |
              (FDefault ? MFS_DEFAULT : 0);
  text = FCaption;
  if (FShortCut) text.append("\t").append(ShortCutToText(FShortCut));
  mi.dwTypeData = text.data();
  mi.hSubMenu = FItems.empty() ? nullptr : FHandle;
  // The text stays with an owner-drawn item: the menu's mnemonics use it.
  // The item is found again through its command number.
  if (IsOwnerDrawn()) mi.fType |= MFT_OWNERDRAW;
  mi.fMask |= MIIM_DATA;
  mi.dwItemData = FCommand;
}

bool TMenuItem::IsOwnerDrawn() const {
  TMenu* m = GetParentMenu();
  if (!m || !FParent) return false;
  // A menu bar's own commands stay plain native items.
  if (FParent == m->Items && dynamic_cast<TMainMenu*>(m)) return false;
  return m->OwnerDraw() || GetImageList();
}

bool TMenuItem::TopLevel() const {
  TMenu* m = GetParentMenu();
  return m && FParent == m->Items && dynamic_cast<TMainMenu*>(m);
}

TImageList* TMenuItem::GetImageList() const {
  for (const TMenuItem* p = FParent; p; p = p->FParent)
    if (p->FSubMenuImages) return p->FSubMenuImages;
  TMenu* m = GetParentMenu();
  return m ? m->Images() : nullptr;
}

TImageList* TMenuItem::GetDisabledImageList() const {
  for (const TMenuItem* p = FParent; p; p = p->FParent)
    if (p->FSubMenuDisabledImages) return p->FSubMenuDisabledImages;
  TMenu* m = GetParentMenu();
  return m ? m->DisabledImages() : nullptr;
}

void TMenuItem::SetDefault(bool d) {
  if (FDefault == d) return;
  FDefault = d;
  Detach();
}

void TMenuItem::SetSubMenuImages(TImageList* il) {
  if (FSubMenuImages) RemoveFreeNotification(FSubMenuImages);
  FSubMenuImages = il;
  if (il) il->FreeNotification(this);
  RebuildAll();
}

void TMenuItem::SetSubMenuDisabledImages(TImageList* il) {
  if (FSubMenuDisabledImages) RemoveFreeNotification(FSubMenuDisabledImages);
  FSubMenuDisabledImages = il;
  if (il) il->FreeNotification(this);
  RebuildAll();
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation != opRemove) return;
  bool lists = AComponent == FSubMenuImages || AComponent == FSubMenuDisabledImages;
  if (AComponent == FSubMenuImages) FSubMenuImages = nullptr;
  if (AComponent == FSubMenuDisabledImages) FSubMenuDisabledImages = nullptr;
  // Without a normal list the items may no longer be owner-drawn.
  if (lists && !(ComponentState & csDestroying)) RebuildAll();
}

// ---- owner drawing

namespace {

NONCLIENTMETRICSA MenuMetrics() {
  NONCLIENTMETRICSA nc{};
  // The size without the field that NT 6 added, which older systems refuse.
  nc.cbSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, nc.cbSize, &nc, 0);
  return nc;
}

// The menu font, bold for a default item; the caller deletes it.
HFONT MenuFont(bool bold) {
  NONCLIENTMETRICSA nc = MenuMetrics();
  if (bold) nc.lfMenuFont.lfWeight = FW_BOLD;
  return CreateFontIndirectA(&nc.lfMenuFont);
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

bool Win98Plus() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  GetVersionExA(&vi);
  return vi.dwMajorVersion > 4 || (vi.dwMajorVersion == 4 && vi.dwMinorVersion > 0);
}

bool Win2K() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  GetVersionExA(&vi);
  return vi.dwMajorVersion > 4 && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The platform's check mark, its black pixels in the given colour, the rest
// left as it is.
void DrawCheckMark(HDC dc, const RECT& cell, COLORREF color) {
  HBITMAP bmp = LoadBitmapA(nullptr, MAKEINTRESOURCEA(32760));  // OBM_CHECK
  if (!bmp) return;
  BITMAP bm{};
  GetObjectA(bmp, sizeof bm, &bm);
  int x = cell.left + (cell.right - cell.left - bm.bmWidth) / 2 + 1;
  int y = cell.top + (cell.bottom - cell.top - bm.bmHeight) / 2 + 1;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ oldBmp = SelectObject(mem, bmp);
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
  // Brush where the source is black, the destination where it is white.
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, 0x00B8074A);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  SelectObject(mem, oldBmp);
  DeleteDC(mem);
  DeleteObject(bmp);
}

// The hatched face of a checked glyph cell.
void FillHatched(HDC dc, const RECT& r) {
  static const WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
  HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(pattern);
  COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
  COLORREF oldBk = SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  FillRect(dc, &r, brush);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  DeleteObject(brush);
  DeleteObject(pattern);
}

}  // namespace

void TMenuItem::MeasureItem(HDC dc, int& width, int& height) {
  TImageList* il = GetImageList();
  bool top = TopLevel();
  int iw = il ? il->Width() : 16, ih = il ? il->Height() : 16;
  if (IsLine()) {
    width = iw;
    height = 5;
    return;
  }
  HFONT font = MenuFont(FDefault);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, FCaption.c_str(), -1, &r, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE | DT_NOCLIP);
  int textW = r.right - r.left, textH = r.bottom - r.top;
  int shortW = 0;
  if (FShortCut && !top) {
    std::string sc = ShortCutToText(FShortCut);
    RECT s{0, 0, 0, 0};
    DrawTextA(dc, sc.c_str(), -1, &s, DT_CALCRECT | DT_SINGLELINE | DT_NOCLIP);
    shortW = s.right - s.left + 16;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  // Glyph cell with its frame, the gap to the text, the text, the shortcut
  // and the right margin the painters leave.
  width = (top ? 0 : iw + 6) + textW + shortW + 10;
  height = top ? textH + 4 : (ih + 3 > textH + 4 ? ih + 3 : textH + 4);
}

void TMenuItem::DrawGlyph(HDC dc, int x, int y, TImageList* il, TImageList* disabled) {
  // A disabled item with a glyph of its own in the disabled list shows that
  // one as it is, not the greyed normal glyph.
  if (!FEnabled && disabled && disabled->Count() > ImageIndex) disabled->Draw(dc, x, y, ImageIndex, true);
  else il->Draw(dc, x, y, ImageIndex, FEnabled);
}

// The caption (a separator line for "-"), embossed when disabled.
void TMenuItem::DrawItemText(HDC dc, RECT& r, UINT flags, bool selected) {
  if (IsLine()) {
    if (flags & DT_CALCRECT) return;
    RECT line = r;
    line.top += (r.bottom - r.top) / 2 - 1;
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  const char* text = FCaption.c_str();
  if (flags & DT_CALCRECT) {
    DrawTextA(dc, text, -1, &r, flags);
    return;
  }
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF keep = GetTextColor(dc);
  if (!FEnabled) {
    if (!selected) {
      OffsetRect(&r, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextA(dc, text, -1, &r, flags);
      OffsetRect(&r, -1, -1);
    }
    SetTextColor(dc, GetSysColor(selected && GetSysColor(COLOR_HIGHLIGHT) == GetSysColor(COLOR_BTNSHADOW)
                                     ? COLOR_BTNHIGHLIGHT
                                     : COLOR_BTNSHADOW));
  }
  DrawTextA(dc, text, -1, &r, flags);
  SetTextColor(dc, keep);
  SetBkMode(dc, oldMode);
}

void TMenuItem::AdvancedDrawItem(HDC dc, RECT rect, UINT state, bool topLevel) {
  // Visual styles change only the choice of painter; the themed one calls
  // nothing of the theme library.
  bool themed = MenuThemesActive && MenuThemesActive() && !(ComponentState & csDesigning);
  PaintItem(dc, rect, state, topLevel, themed);
}

void TMenuItem::PaintItem(HDC dc, RECT ARect, UINT state, bool topLevel, bool themed) {
  TImageList* il = GetImageList();
  TImageList* dil = GetDisabledImageList();
  bool selected = (state & ODS_SELECTED) != 0;
  bool win98plus = Win98Plus(), win2k = Win2K();
  COLORREF brush = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  const RECT saved = ARect;

  if (!selected) Fill(dc, ARect, brush);
  RECT g{ARect.left + 1, ARect.top + 1, ARect.left + 1, ARect.top + 1};
  bool glyph = false;
  if (IsLine()) {
    Fill(dc, ARect, brush);
    g.left = 0;
    g.right = -4;
  } else {
    bool validIndex = il && ImageIndex >= 0 && ImageIndex < il->Count();
    bool drawImage = il && (validIndex || FChecked);
    if (themed && selected) {
      Fill(dc, ARect, topLevel && win98plus ? brush : GetSysColor(COLOR_HIGHLIGHT));
    }
    if (drawImage) {
      glyph = true;
      g.right = g.left + il->Width();
      g.bottom = g.top + il->Height();
      if (themed) {
        // Flat look: the cell keeps the menu background, no hatching.
        if (FChecked && selected) Fill(dc, g, GetSysColor(COLOR_MENU));
      } else if (FChecked) {
        ++g.right;
        ++g.bottom;
        if (!selected) FillHatched(dc, g);
        else Fill(dc, g, GetSysColor(COLOR_BTNFACE));
        ++g.left;
        ++g.top;
      }
      if (validIndex) DrawGlyph(dc, g.left, g.top, il, dil);
      else DrawCheckMark(dc, g, GetSysColor(COLOR_BTNTEXT));
      if (!themed && FChecked) {
        --g.right;
        --g.bottom;
      }
    } else if (il && !topLevel) {
      g.right = g.left + il->Width();
      g.bottom = g.top + il->Height();
    }
  }
  g.left -= 1;
  g.top -= 1;
  g.right += 2;
  g.bottom += 2;
  if (themed) {
    if (FChecked && glyph) DrawEdge(dc, &g, BDR_SUNKENOUTER, BF_RECT | BF_FLAT);
    if (selected && glyph) ARect.left = g.right + 1;
  } else {
    if (FChecked) DrawEdge(dc, &g, BDR_SUNKENOUTER, BF_RECT);
    else if (selected && glyph) DrawEdge(dc, &g, BDR_RAISEDINNER, BF_RECT);
    if (selected) {
      if (glyph) ARect.left = g.right + 1;
      if (!(topLevel && win98plus)) brush = GetSysColor(COLOR_HIGHLIGHT);
      Fill(dc, ARect, brush);
    }
  }
  if (topLevel && win98plus) {
    if (selected) DrawEdge(dc, &ARect, BDR_SUNKENOUTER, BF_RECT);
    else if (state & ODS_HOTLIGHT) DrawEdge(dc, &ARect, BDR_RAISEDINNER, BF_RECT);
    if (!selected) OffsetRect(&ARect, 0, -1);
  }
  if (!(selected && glyph)) ARect.left = g.right + 1;
  ARect.left += 2;
  ARect.right -= 1;

  UINT flags = DT_EXPANDTABS | DT_SINGLELINE | DT_LEFT;
  if (win2k && (state & ODS_NOACCEL)) flags |= DT_HIDEPREFIX;
  HFONT font = MenuFont((state & ODS_DEFAULT) != 0);
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT text = ARect;
  DrawItemText(dc, text, flags | DT_CALCRECT | DT_NOCLIP, selected);
  int h = text.bottom - text.top;
  OffsetRect(&text, 0, ARect.top + ((saved.bottom - saved.top) - h) / 2 - text.top);
  if (IsLine()) text = ARect;
  if (topLevel && selected && win98plus) OffsetRect(&text, 1, 0);
  DrawItemText(dc, text, flags, selected);
  if (FShortCut && !topLevel) {
    std::string sc = ShortCutToText(FShortCut);
    RECT r{text.right, text.top, saved.right - 10, text.bottom};
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF keep = GetTextColor(dc);
    if (!FEnabled) SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextA(dc, sc.c_str(), -1, &r, DT_RIGHT | DT_SINGLELINE);
    SetTextColor(dc, keep);
    SetBkMode(dc, oldMode);
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void TMenuItem::RebuildAll() {
  Rebuild();
  for (TMenuItem* c : FItems) c->RebuildAll();
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
  // Only the bar itself is drawn outside an open menu.
  if (!FParent && FMenu) FMenu->MenuChanged();
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
  if (FParent && !FParent->FParent && FParent->FMenu) FParent->FMenu->MenuChanged();
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

void TMenu::SetImages(TImageList* il) {
  if (FImages) RemoveFreeNotification(FImages);
  FImages = il;
  if (il) il->FreeNotification(this);
  Items->RebuildAll();
}

void TMenu::SetDisabledImages(TImageList* il) {
  if (FDisabledImages) RemoveFreeNotification(FDisabledImages);
  FDisabledImages = il;
  if (il) il->FreeNotification(this);
  Items->RebuildAll();
}

void TMenu::SetOwnerDraw(bool o) {
  FOwnerDraw = o;
  Items->RebuildAll();
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation != opRemove) return;
  bool lists = AComponent == FImages || AComponent == FDisabledImages;
  if (AComponent == FImages) FImages = nullptr;
  if (AComponent == FDisabledImages) FDisabledImages = nullptr;
  if (lists && !(ComponentState & csDestroying) && Items) Items->RebuildAll();
}

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
  // Only the bar a window shows is drawn again; one still being built is not
  // on a window yet (redrawing a window's frame is a trip to the server).
  HWND w = WindowHandle();
  if (w && Items && GetMenu(w) == Items->Handle()) DrawMenuBar(w);
}

void TPopupMenu::Popup(int x, int y) {
  PopupComponent = PopupComponent;
  Fire(OnPopup, this);
  HWND owner = WindowHandle();
  UINT id = static_cast<UINT>(TrackPopupMenu(Items->Handle(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y,
                                             0, owner, nullptr));
  // The command arrives as a menu choice does, after the menu has closed
  // and the caller of Popup has had its turn.
  if (id && owner) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  else if (id)
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
