// File lists in the clipboard format CF_HDROP: the block a drag source
// hands over, and the paths a dropped-on window reads back.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "Classes.h"

// A new block (a DROPFILES header, then each path as ANSI text with its NUL,
// then one more NUL) for the paths in list order; nullptr when no memory can
// be had. Whoever receives it owns it.
HGLOBAL MakeDropFileBlock(const TStrings& Files);

// Fills Files (emptied first) with the paths of a dropped list, in drop
// order; answers their count.
int ReadDroppedFiles(HDROP Drop, TStrings& Files);
