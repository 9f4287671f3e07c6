#include "dialogs.h"

#include <cstring>
#include <vector>

#include "dlgtemplate.h"
#include "text.h"

namespace lhadll {

Overwrite ask_overwrite(HWND owner, const std::string& path) {
  std::string text = path + "\r\n\r\nこのファイルはすでに存在しています。上書きしますか?";
  int r = MessageBoxA(owner, text.c_str(), "unlha32", MB_YESNOCANCEL | MB_ICONQUESTION);
  return r == IDYES ? Overwrite::Yes : r == IDNO ? Overwrite::No : Overwrite::Cancel;
}

namespace {

struct NameDialog {
  std::string text;
  std::string prompt;
};

constexpr int kEdit = 100, kLabel = 101;

INT_PTR CALLBACK name_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      auto* nd = reinterpret_cast<NameDialog*>(lp);
      SetDlgItemTextA(dlg, kLabel, nd->prompt.c_str());
      SetDlgItemTextA(dlg, kEdit, nd->text.c_str());
      SendDlgItemMessageA(dlg, kEdit, EM_SETSEL, 0, -1);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* nd = reinterpret_cast<NameDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
        char buf[1024] = {};
        GetDlgItemTextA(dlg, kEdit, buf, sizeof buf);
        nd->text = buf;
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

std::optional<std::string> ask_new_name(HWND owner, const std::string& current) {
  TDlgTemplate t(220, 62, L"名前の変更");
  t.Item(SS_LEFT, 7, 7, 206, 10, kLabel, t.kStatic, L"");
  t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 206, 13, kEdit, t.kEdit, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 106, 40, 50, 14, IDOK, t.kButton, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 163, 40, 50, 14, IDCANCEL, t.kButton, L"キャンセル");
  NameDialog nd{arc::base_name(current), current + " の新しい名前:"};
  HINSTANCE inst = reinterpret_cast<HINSTANCE>(GetModuleHandleA("unlha32.dll"));
  INT_PTR r = DialogBoxIndirectParamA(inst, t.Get(), owner, name_proc, reinterpret_cast<LPARAM>(&nd));
  if (r != IDOK || nd.text.empty()) return std::nullopt;
  return nd.text;
}

}  // namespace lhadll
