#include "dialogs.h"

#include <cstring>
#include <vector>

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

// A dialog template in memory: a label, an edit box, OK and Cancel.
class Template {
 public:
  void word(WORD w) { data_.push_back(w); }
  void dword(DWORD d) {
    word(LOWORD(d));
    word(HIWORD(d));
  }
  void text(const char* s) {
    wchar_t w[128];
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, w, 128);
    for (int i = 0; i < n; ++i) data_.push_back(static_cast<WORD>(w[i]));
  }
  void align() {
    if (data_.size() % 2) word(0);
  }
  void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls, const char* caption) {
    align();
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
    word(0);
  }
  LPCDLGTEMPLATEA get() const { return reinterpret_cast<LPCDLGTEMPLATEA>(data_.data()); }
  std::vector<WORD> data_;
};

}  // namespace

std::optional<std::string> ask_new_name(HWND owner, const std::string& current) {
  Template t;
  t.dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.dword(0);
  t.word(4);
  t.word(0);
  t.word(0);
  t.word(220);
  t.word(62);
  t.word(0);
  t.word(0);
  t.text("名前の変更");
  t.word(9);
  t.text("MS UI Gothic");
  t.item(SS_LEFT, 7, 7, 206, 10, kLabel, 0x0082, "");
  t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 206, 13, kEdit, 0x0081, "");
  t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 106, 40, 50, 14, IDOK, 0x0080, "OK");
  t.item(BS_PUSHBUTTON | WS_TABSTOP, 163, 40, 50, 14, IDCANCEL, 0x0080, "キャンセル");
  NameDialog nd{arc::base_name(current), current + " の新しい名前:"};
  HINSTANCE inst = reinterpret_cast<HINSTANCE>(GetModuleHandleA("unlha32.dll"));
  INT_PTR r = DialogBoxIndirectParamA(inst, t.get(), owner, name_proc, reinterpret_cast<LPARAM>(&nd));
  if (r != IDOK || nd.text.empty()) return std::nullopt;
  return nd.text;
}

}  // namespace lhadll
