#include "Clipbrd.h"

#include "Classes.h"

TClipboard::~TClipboard() {
  if (FWindow) DeallocateHWnd(FWindow);
}

void TClipboard::Open() {
  if (FOpenRefCount == 0) {
    if (!FWindow) FWindow = AllocateHWnd([](TMessage& m) { m.Result = 0; });
    // Another program may hold it for a moment.
    int tries = 0;
    while (!OpenClipboard(FWindow)) {
      if (++tries > 50) throw Exception("Cannot open clipboard");
      Sleep(10);
    }
    FEmptied = false;
  }
  ++FOpenRefCount;
}

void TClipboard::Close() {
  if (FOpenRefCount == 0) return;
  if (--FOpenRefCount == 0) CloseClipboard();
}

void TClipboard::Adding() {
  if (FOpenRefCount != 0 && !FEmptied) {
    Clear();
    FEmptied = true;
  }
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  Close();
}

bool TClipboard::HasFormat(WORD Format) { return IsClipboardFormatAvailable(Format) != 0; }

HANDLE TClipboard::GetAsHandle(WORD Format) {
  Open();
  HANDLE h = GetClipboardData(Format);
  Close();
  return h;
}

void TClipboard::SetAsHandle(WORD Format, HANDLE Value) {
  Open();
  Adding();
  SetClipboardData(Format, Value);
  Close();
}

void TClipboard::Assign(TPersistent* Source) {
  auto* g = dynamic_cast<TGraphic*>(Source);
  if (!g) {
    TPersistent::Assign(Source);
    return;
  }
  WORD format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  Open();
  try {
    Adding();
    g->SaveToClipboardFormat(format, data, palette);
    SetClipboardData(format, data);
    if (palette) SetClipboardData(CF_PALETTE, palette);
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}
