// An embossed caption: drawn once in the shade colour 2 pixels right of and
// below, then in the font colour (the about box's title).
#pragma once
#include "Controls.h"

class TLabel3D : public TWinControl {
 public:
  TLabel3D(TComponent* AOwner, TWinControl* AParent);
  // On a window that is no control of this library.
  TLabel3D(TComponent* AOwner, HWND ParentWnd);
  TColor ShadeColor() const { return FShadeColor; }
  // Paints at once over what is there (no invalidation).
  void SetShadeColor(TColor c);
  void SetCaption(const std::string& s) override;
  void WndProc(TMessage& m) override;

 private:
  void Create();
  void Paint(HDC dc);
  TColor FShadeColor = clBlack;
};
