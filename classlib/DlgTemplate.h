// An in-memory dialog template for DialogBoxIndirectParam, built word by word
// with the alignment the dialog manager expects.
#pragma once
#include <windows.h>

#include <vector>

class TDlgTemplate {
 public:
  void Word(WORD w) { FData.push_back(w); }
  void DWord(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const wchar_t* s) {
    do Word(*s);
    while (*s++);
  }
  // One control of a predefined class (0x0080 button, 0x0081 edit, 0x0082
  // static), DWORD-aligned.
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t* text) {
    if (FData.size() % 2) Word(0);
    DWord(style | WS_CHILD | WS_VISIBLE);
    DWord(0);
    Word(x), Word(y), Word(cx), Word(cy), Word(id);
    Word(0xFFFF), Word(cls);
    Text(text);
    Word(0);
  }
  // The item count of the header, for a count known only at the end.
  void SetCount(WORD n) { FData[4] = n; }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FData.data()); }

 private:
  std::vector<WORD> FData;
};
