// Menus: items live in their parent's menu handle; the object keeps what a
// menu handle cannot hold (hint, shortcut, group, handler).
#pragma once
#include "Controls.h"

using TShortCut = WORD;
enum : WORD { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };
inline TShortCut ShortCut(WORD key, int shift) {
  return static_cast<TShortCut>(key | ((shift & ssShift) ? scShift : 0) | ((shift & ssCtrl) ? scCtrl : 0) |
                                ((shift & ssAlt) ? scAlt : 0));
}
std::string ShortCutToText(TShortCut s);

class TMenu;
class TImageList;

// The menus' test for active visual styles. The theme library binding sets
// it; without one the menus paint classically.
extern bool (*MenuThemesActive)();

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& c);
  bool IsLine() const { return FCaption == "-"; }
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut s);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool e);
  bool Checked() const { return FChecked; }
  // A checked radio item unchecks the other items of its group.
  void SetChecked(bool c);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool r);
  int GroupIndex = 0;
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  int ImageIndex = -1;
  std::string Hint;
  TNotifyEvent OnClick;
  // The default command of its menu: bold, and chosen by a double click.
  bool Default() const { return FDefault; }
  void SetDefault(bool d);
  // Images for this item's children (not the item itself); the disabled list
  // gives disabled children a glyph of their own.
  TImageList* SubMenuImages() const { return FSubMenuImages; }
  void SetSubMenuImages(TImageList* il);
  TImageList* SubMenuDisabledImages() const { return FSubMenuDisabledImages; }
  void SetSubMenuDisabledImages(TImageList* il);
  // The lists that apply to this item: the nearest parent item that sets
  // one, else its menu's.
  TImageList* GetImageList() const;
  TImageList* GetDisabledImageList() const;
  // Items on a menu bar itself.
  bool TopLevel() const;
  // Owner drawing, routed here by the form that owns the menu.
  void MeasureItem(HDC dc, int& width, int& height);
  void AdvancedDrawItem(HDC dc, RECT rect, UINT state, bool topLevel);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int i) const { return FItems[i]; }
  TMenuItem* operator[](int i) const { return FItems[i]; }
  TMenuItem* Parent() const { return FParent; }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out (the caller owns it afterwards, or frees it).
  void Remove(TMenuItem* item);
  // Frees the child at index.
  void Delete(int index);
  int IndexOf(const TMenuItem* item) const;
  void Clear();
  // Runs OnClick (as a menu choice does).
  virtual void Click();

  UINT Command() const { return FCommand; }
  // The handle of this item's submenu (made when it gets children).
  HMENU Handle();
  static TMenuItem* FindByCommand(UINT id);
  // The item whose submenu is that menu handle.
  static TMenuItem* FindBySubMenu(HMENU sub);
  // The menu this item belongs to (through its parents).
  TMenu* GetParentMenu() const;

 private:
  friend class TMenu;
  void Rebuild();
  void RebuildAll();
  void Detach();
  bool IsOwnerDrawn() const;
  void DrawItemText(HDC dc, RECT& r, UINT flags, bool selected);
  void DrawGlyph(HDC dc, int x, int y, TImageList* il, TImageList* disabled);
  void PaintItem(HDC dc, RECT rect, UINT state, bool topLevel, bool themed);
  int IndexOfVisible(const TMenuItem* item) const;
  void FillInfo(MENUITEMINFOA& mi, std::string& text);
  std::string FCaption;
  TShortCut FShortCut = 0;
  bool FEnabled = true;
  bool FChecked = false;
  bool FRadioItem = false;
  bool FVisible = true;
  bool FDefault = false;
  TImageList* FSubMenuImages = nullptr;
  TImageList* FSubMenuDisabledImages = nullptr;
  UINT FCommand = 0;
  HMENU FHandle = nullptr;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;
  std::vector<TMenuItem*> FItems;
};

class TMenu : public TComponent {
 public:
  TMenu(TComponent* AOwner, bool popup);
  ~TMenu() override;
  TMenuItem* Items = nullptr;
  HMENU Handle() { return Items->Handle(); }
  TImageList* Images() const { return FImages; }
  void SetImages(TImageList* il);
  // Glyphs for disabled items of the whole menu (no published property).
  TImageList* DisabledImages() const { return FDisabledImages; }
  void SetDisabledImages(TImageList* il);
  // Items are drawn by the program even without images.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool o);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The form whose window shows this menu or owns its popups.
  HWND WindowHandle() const;
  bool IsShortCut(TShortCut s);
  virtual void MenuChanged() {}

 private:
  TImageList* FImages = nullptr;
  TImageList* FDisabledImages = nullptr;
  bool FOwnerDraw = false;
};

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner, false) {}
  void MenuChanged() override;
};

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner, true) {}
  // Shows the menu at screen point (x, y) and returns when it has closed;
  // the chosen command is posted to the owning form, so its OnClick runs
  // after Popup has returned.
  virtual void Popup(int x, int y);
  TNotifyEvent OnPopup;
  TComponent* PopupComponent = nullptr;
};

// Helper for forms: an item with the usual properties in one call.
TMenuItem* NewItem(TMenuItem* parent, const char* name, const std::string& caption, TShortCut shortcut = 0,
                   const std::string& hint = "", TNotifyEvent onClick = nullptr);
TMenuItem* NewLine(TMenuItem* parent);
