// The clipboard: nested Open/Close, handles by format, graphics in and out.
#pragma once
#include <windows.h>

#include "Graphics.h"

class TClipboard : public TPersistent {
 public:
  ~TClipboard() override;
  void Open();
  void Close();
  void Clear();
  bool HasFormat(WORD Format);
  // The clipboard keeps the handle; 0 when the format is absent.
  HANDLE GetAsHandle(WORD Format);
  // The clipboard takes ownership of the handle.
  void SetAsHandle(WORD Format, HANDLE Value);
  // A graphic goes on the clipboard in its own clipboard format.
  void Assign(TPersistent* Source) override;

 private:
  void Adding();
  int FOpenRefCount = 0;
  HWND FWindow = nullptr;
  bool FEmptied = false;
};

TClipboard* Clipboard();
