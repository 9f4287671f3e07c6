// A tab sheet whose body is painted as the themed tab page when visual
// styles are active; a plain tab sheet otherwise.
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include "ComCtrls.h"

class TXPTabSheet : public TTabSheet {
 public:
  TXPTabSheet(TComponent* AOwner, TPageControl* APageControl, const std::string& caption);
  ~TXPTabSheet() override;
  void WndProc(TMessage& m) override;
  // Off: paint like the base class whatever the visual style says.
  bool Ctl3D = true;
  HTHEME Theme() const { return FTheme; }

 private:
  bool PaintBody(HDC dc);
  void CloseTheme();
  HTHEME FTheme = nullptr;
};
