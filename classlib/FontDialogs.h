// The font and colour common dialogs, answerable through the seams:
// "dialog:NAME" with "FACE,SIZE[,STYLE[,COLOR]]" for a font and a decimal or
// "$"-hexadecimal colour for a colour; "cancel" or empty cancels.
#pragma once
#include "Controls.h"

class TFontDialog : public TComponent {
 public:
  explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TFont Font;
  bool Execute();
};

class TColorDialog : public TComponent {
 public:
  explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TColor Color = clBlack;
  bool Execute();
};
