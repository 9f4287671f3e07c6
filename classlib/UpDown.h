// Up/down arrows joined to an edit that shows the position. A click moves
// the position by the increment inside the range (no wrap), writes it into
// the edit and then fires OnClick with the direction.
#pragma once
#include <functional>

#include "Controls.h"
#include "StdCtrls.h"

enum TUDBtnType { btNext, btPrev };

class TUpDown : public TControl {
 public:
  TUpDown(TComponent* AOwner, TWinControl* AParent);
  TEdit* Associate() const { return FAssociate; }
  // The arrows move to the edit's right edge.
  void SetAssociate(TEdit* Edit);
  int Min() const;
  int Max() const;
  void SetMin(int v);
  void SetMax(int v);
  void SetRange(int Min, int Max);
  int Increment() const;
  void SetIncrement(int v);
  int Position() const;
  // Also rewrites the edit's text.
  void SetPosition(int v);
  std::function<void(TObject* Sender, TUDBtnType Button)> OnChangingClick;
  bool Notify(NMHDR* nm, LRESULT& result) override;

 private:
  TEdit* FAssociate = nullptr;
};
