// The abstract graphic of the image library: a graphic that names the
// clipboard format it loads, so that assigning the clipboard loads it.
#pragma once
#include <windows.h>

#include "Graphics.h"

class THvGraphic : public TGraphic {
 public:
  void Assign(TPersistent* Source) override;
  virtual WORD ClipboardFormat() = 0;
};
