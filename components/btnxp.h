// A narrow button glued to the right edge of an edit field, showing a small
// arrow of its own (themed or classic) instead of a caption.
#pragma once
#include "StdCtrls.h"

class TUpDnButton : public TButton {
 public:
  TUpDnButton(TComponent* AOwner, TWinControl* AParent);
  ~TUpDnButton() override;
  bool UpMode() const { return FUpMode; }
  void SetUpMode(bool up);
  TControl* Associate() const { return FAssociate; }
  // Places the button on the edit's right border (one pixel over it); with
  // visual styles it is 4 pixels wider, over 4 more pixels of the edit, and
  // the edit 4 pixels narrower. The edit must outlive the button.
  void SetAssociate(TEdit* edit);
  // The glyph in the glyph strip for the present look and state.
  int GlyphIndex() const;

 private:
  void DrawGlyph();
  HIMAGELIST FGlyphs = nullptr;
  bool FUpMode = false;
  TEdit* FAssociate = nullptr;
};
