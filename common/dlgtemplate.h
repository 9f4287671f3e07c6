// An in-memory dialog template for DialogBoxIndirectParam, built word by word
// with the alignment the dialog manager expects, so that neither the program
// nor a library needs a resource for its small boxes.
#pragma once
#include <windows.h>

#include <vector>

class TDlgTemplate {
 public:
  // The predefined control classes an item names by atom.
  enum : WORD { kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082 };

  TDlgTemplate() = default;
  // The header of a box cx by cy dialog units with the title given, in
  // "MS UI Gothic" 9; the items added after it are counted.
  TDlgTemplate(short cx, short cy, const wchar_t* title,
               DWORD style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU) {
    DWord(style);
    DWord(0);
    Word(0);  // items
    Word(0), Word(0), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
    Word(0), Word(0);  // no menu, the standard class
    Text(title);
    Word(9);
    Text(L"MS UI Gothic");
  }

  void Word(WORD w) { FData.push_back(w); }
  void DWord(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const wchar_t* s) {
    do Word(*s);
    while (*s++);
  }
  // One control of a predefined class, DWORD-aligned; counted in the header.
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t* text) {
    if (FData.size() % 2) Word(0);
    DWord(style | WS_CHILD | WS_VISIBLE);
    DWord(0);
    Word(x), Word(y), Word(cx), Word(cy), Word(id);
    Word(0xFFFF), Word(cls);
    Text(text);
    Word(0);
    if (FData.size() > 4) ++FData[4];
  }
  // The item count of the header, for a header written word by word.
  void SetCount(WORD n) { FData[4] = n; }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FData.data()); }

 private:
  std::vector<WORD> FData;
};
