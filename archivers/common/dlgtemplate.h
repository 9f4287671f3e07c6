// A dialog template built in memory, so that a library needs no resources:
// a modal, centred box in "MS UI Gothic" 9 with the items added to it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace arc {

class DialogTemplate {
 public:
  // The predefined control classes an item names by atom.
  enum : WORD { kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082 };

  DialogTemplate(short cx, short cy, const wchar_t* title) {
    dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    dword(0);
    count_ = words_.size();
    word(0);  // items, counted as they are added
    word(0);
    word(0);
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(0);  // no menu
    word(0);  // the standard class
    text(title);
    word(9);
    text(L"MS UI Gothic");
  }

  void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const wchar_t* caption) {
    if (words_.size() % 2) word(0);  // each item on a DWORD boundary
    dword(style | WS_CHILD | WS_VISIBLE);
    dword(0);
    word(static_cast<WORD>(x));
    word(static_cast<WORD>(y));
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(id);
    word(0xFFFF);
    word(cls);
    text(caption);
    word(0);  // no creation data
    ++words_[count_];
  }

  LPCDLGTEMPLATEA get() const { return reinterpret_cast<LPCDLGTEMPLATEA>(words_.data()); }

 private:
  void word(WORD w) { words_.push_back(w); }
  void dword(DWORD d) {
    word(LOWORD(d));
    word(HIWORD(d));
  }
  void text(const wchar_t* s) {
    do word(static_cast<WORD>(*s));
    while (*s++);
  }
  std::vector<WORD> words_;  // WORD-aligned from the start, as the vector's storage is
  size_t count_ = 0;
};

}  // namespace arc
