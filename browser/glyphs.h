// The program's small pictures, drawn at start-up: tree and list images and
// the menu and toolbar glyphs (with grey forms for disabled commands).
#pragma once
#include "ComCtrls.h"

// 0 none, 1 folder, 2 open folder, 3 text entry, 4 picture entry, 5 archive.
void FillItemImages(TImageList* il);
// The 21 command glyphs in toolbar design order; grey ones when disabled.
void FillCommandImages(TImageList* il, bool disabled);
