// A popup menu that tells when it has closed.
#pragma once
#include "Menus.h"

class TPopupMenuEx : public TPopupMenu {
 public:
  explicit TPopupMenuEx(TComponent* AOwner) : TPopupMenu(AOwner) {}
  // Runs after every popup, chosen or dismissed.
  TNotifyEvent OnDonePopup;
  void Popup(int x, int y) override;
};
