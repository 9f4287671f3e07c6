// Track bar (a slider over a range of whole numbers).
#pragma once
#include "Controls.h"

class TTrackBar : public TControl {
 public:
  TTrackBar(TComponent* AOwner, TWinControl* AParent);
  int Min() const;
  int Max() const;
  void SetRange(int min, int max);
  int Position() const;
  void SetPosition(int p);
  void SetFrequency(int f);
};
