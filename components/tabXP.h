// A tab sheet whose body is painted as the themed tab page when visual
// styles are active; a plain tab sheet otherwise.
#pragma once
#include "ComCtrls.h"

class TXPTabSheet : public TTabSheet {
 public:
  TXPTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption);
  ~TXPTabSheet() override;
  void WndProc(TMessage& m) override;

 private:
  bool PaintThemed(HDC dc);
  HANDLE FTheme = nullptr;
};
