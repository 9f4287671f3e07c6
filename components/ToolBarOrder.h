// The toolbar's button order: which buttons show, in which order, and where
// separators stand, held as one short string (one character per position:
// 1 = the next separator, n >= 2 = button n - 2 in design order; empty =
// design order). The bar's own button list stays in design order; the
// arrangement lives in the native toolbar.
#pragma once
#include <string>
#include <vector>

#include "Classes.h"
#include "ComCtrls.h"

class TToolBarOrder : public TComponent {
 public:
  // Owned by the bar; records nothing until InitButtonOrder.
  explicit TToolBarOrder(TToolBar* bar);
  TToolBar* ToolBar() const { return FBar; }

  // Records the design arrangement (call once the bar is complete).
  void InitButtonOrder();
  // Shows the buttons the string names, in its order, and hides the others.
  void SetButtonOrder(const std::string& Order);
  // Names: the separator word, then each button's caption (so a name's index
  // plus 1 is its character code); Order: the design order string.
  void GetButtonOrder(TStrings& Names, std::string& Order) const;
  const std::string& DefaultOrder() const { return FDefaultOrder; }

 private:
  TToolBar* FBar;
  std::vector<TToolButton*> FOrderButtons;
  std::vector<TToolButton*> FOrderSeparators;
  std::string FDefaultOrder;
};

// The word the dialog shows for a separator.
extern const char* const ToolBarSeparatorName;
