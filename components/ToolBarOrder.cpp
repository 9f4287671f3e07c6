#include "ToolBarOrder.h"

#include <algorithm>

const char* const ToolBarSeparatorName = "区切り";

TToolBarOrder::TToolBarOrder(TToolBar* bar) : TComponent(bar), FBar(bar) {}

void TToolBarOrder::InitButtonOrder() {
  FOrderButtons.clear();
  FOrderSeparators.clear();
  FDefaultOrder.clear();
  for (int i = 0; i < FBar->ButtonCount(); ++i) {
    TToolButton* b = FBar->Buttons(i);
    if (b->IsSeparator()) {
      FOrderSeparators.push_back(b);
      if (b->Visible()) FDefaultOrder += '\x01';
    } else {
      FOrderButtons.push_back(b);
      // At most 254 buttons have a code; later ones stay as designed.
      if (FOrderButtons.size() <= 254 && b->Visible()) FDefaultOrder += static_cast<char>(FOrderButtons.size() + 1);
    }
  }
}

void TToolBarOrder::SetButtonOrder(const std::string& Order) {
  const std::string& order = Order.empty() ? FDefaultOrder : Order;
  HWND tb = FBar->Handle();
  const int count = FBar->ButtonCount();
  for (int i = 0; i < count; ++i) SendMessageA(tb, TB_HIDEBUTTON, FBar->Buttons(i)->Command(), MAKELPARAM(FALSE, 0));
  std::vector<TToolButton*> named;
  size_t nextSeparator = 0;
  for (size_t p = 0; p < order.size(); ++p) {
    const unsigned code = static_cast<unsigned char>(order[p]);
    TToolButton* b = nullptr;
    if (code == 1) {
      if (nextSeparator < FOrderSeparators.size()) b = FOrderSeparators[nextSeparator++];
    } else if (code >= 2 && code - 2 < FOrderButtons.size()) {
      b = FOrderButtons[code - 2];
    }
    // The string comes from the settings store, where anything may stand: a
    // position past the bar's end or a button named twice is skipped rather
    // than moving buttons already placed.
    if (!b || static_cast<int>(p) >= count || std::find(named.begin(), named.end(), b) != named.end()) continue;
    const int j = b->Index();
    if (j < 0) continue;
    named.push_back(b);
    if (j != static_cast<int>(p)) FBar->MoveButton(j, static_cast<int>(p));
  }
  for (int i = 0; i < count; ++i) {
    TToolButton* b = FBar->Buttons(i);
    if (std::find(named.begin(), named.end(), b) == named.end())
      SendMessageA(tb, TB_HIDEBUTTON, b->Command(), MAKELPARAM(TRUE, 0));
  }
  FBar->AutoSize();
}

void TToolBarOrder::GetButtonOrder(TStrings& Names, std::string& Order) const {
  Order = FDefaultOrder;
  Names.Clear();
  Names.Add(ToolBarSeparatorName);
  for (TToolButton* b : FOrderButtons) Names.Add(GetShortHint(b->Hint));
}
