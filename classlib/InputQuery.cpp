#include "InputQuery.h"

#include <vector>

#include "dlgtemplate.h"

namespace {

enum { kEdit = 100, kPrompt = 101 };

struct TQuery {
  const std::string* caption;
  const std::string* prompt;
  std::string* value;
};

INT_PTR CALLBACK QueryProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* q = reinterpret_cast<TQuery*>(lp);
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      SetWindowTextA(dlg, q->caption->c_str());
      SetDlgItemTextA(dlg, kPrompt, q->prompt->c_str());
      SetDlgItemTextA(dlg, kEdit, q->value->c_str());
      // Centred on the mouse cursor, as every dialog of the program.
      POINT p{};
      GetCursorPos(&p);
      RECT r{};
      GetWindowRect(dlg, &r);
      SetWindowPos(dlg, nullptr, p.x - (r.right - r.left) / 2, p.y - (r.bottom - r.top) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* q = reinterpret_cast<TQuery*>(GetWindowLongPtrA(dlg, DWLP_USER));
        int n = GetWindowTextLengthA(GetDlgItem(dlg, kEdit));
        std::string s(n + 1, '\0');
        GetDlgItemTextA(dlg, kEdit, s.data(), n + 1);
        s.resize(lstrlenA(s.c_str()));
        *q->value = s;
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool InputQuery(HWND owner, const std::string& caption, const std::string& prompt, std::string& value) {
  // The title is set when the box opens; the box is placed at the cursor then.
  TDlgTemplate t(180, 64, L"", DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.Item(SS_LEFT, 7, 7, 166, 10, kPrompt, 0x0082, L"");
  t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 166, 13, kEdit, 0x0081, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 70, 42, 50, 14, IDOK, 0x0080, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 123, 42, 50, 14, IDCANCEL, 0x0080, L"\x30AD\x30E3\x30F3\x30BB\x30EB");
  TQuery q{&caption, &prompt, &value};
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), owner, QueryProc,
                                 reinterpret_cast<LPARAM>(&q)) == IDOK;
}
