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
  // The menu this item belongs to (through its parents).
  TMenu* GetParentMenu() const;

 private:
  friend class TMenu;
  void Rebuild();
  void Detach();
  int IndexOfVisible(const TMenuItem* item) const;
  void FillInfo(MENUITEMINFOA& mi, std::string& text);
  std::string FCaption;
  TShortCut FShortCut = 0;
  bool FEnabled = true;
  bool FChecked = false;
  bool FRadioItem = false;
  bool FVisible = true;
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
  TImageList* Images = nullptr;
  TImageList* DisabledImages = nullptr;
  // The form whose window shows this menu or owns its popups.
  HWND WindowHandle() const;
  bool IsShortCut(TShortCut s);
  virtual void MenuChanged() {}
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
  // the chosen item's OnClick runs after that.
  virtual void Popup(int x, int y);
  TNotifyEvent OnPopup;
  TComponent* PopupComponent = nullptr;
};

// Helper for forms: an item with the usual properties in one call.
TMenuItem* NewItem(TMenuItem* parent, const char* name, const std::string& caption, TShortCut shortcut = 0,
                   const std::string& hint = "", TNotifyEvent onClick = nullptr);
TMenuItem* NewLine(TMenuItem* parent);
