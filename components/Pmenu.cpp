#include "Pmenu.h"

void TPopupMenuEx::Popup(int x, int y) {
  TPopupMenu::Popup(x, y);
  Fire(OnDonePopup, this);
}
