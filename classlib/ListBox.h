// A list box; owner-drawn ones keep their strings and paint through
// OnDrawItem, which the parent form routes WM_DRAWITEM to (DrawItem).
#pragma once
#include "Controls.h"

using TDrawItemEvent = std::function<void(TObject* Sender, int Index, HDC dc, const RECT& rect, UINT state)>;

class TListBox : public TControl {
 public:
  TListBox(TComponent* AOwner, TWinControl* AParent, bool ownerDrawFixed = false);
  int AddItem(const std::string& s);
  void InsertItem(int i, const std::string& s);
  void DeleteItem(int i);
  void ClearItems();
  int ItemCount() const;
  std::string Item(int i) const;
  // -1 when nothing is selected.
  int ItemIndex() const;
  void SetItemIndex(int i);
  void SetItemHeight(int h);
  // Shortens the list to the whole rows its height holds, so that it never
  // ends in half a row; called once its font and row height are set.
  void FitWholeRows();
  TDrawItemEvent OnDrawItem;
  // A selection made by the user runs OnClick.
  bool Command(WORD code, WORD id) override;
  void DrawItem(const DRAWITEMSTRUCT& d);
};
