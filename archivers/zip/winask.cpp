#include "winask.h"

#include <vector>

#include "dlgtemplate.h"
#include "text.h"

namespace zipw {

static std::string utf8_to_acp(std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::string(s);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  int m = WideCharToMultiByte(CP_ACP, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return std::string(s);
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

void init_names() { zipf::utf8_to_native = utf8_to_acp; }

zipf::Answer ask_overwrite(HWND owner, const std::string& path) {
  std::string text = path + " は既に存在します。\r\n上書きしますか?";
  int r = MessageBoxA(owner, text.c_str(), "上書きの確認", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (r == IDYES) return zipf::Answer::yes;
  if (r == IDNO) return zipf::Answer::no;
  return zipf::Answer::cancel;
}

namespace {

struct PwState {
  std::string entry;
  std::string result;
};

constexpr int kEdit = 100, kLabel = 101;

INT_PTR CALLBACK pw_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      auto* st = reinterpret_cast<PwState*>(lp);
      std::string text = st->entry + " のパスワード:";
      SetDlgItemTextA(dlg, kLabel, text.c_str());
      SendDlgItemMessageA(dlg, kEdit, EM_LIMITTEXT, 80, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* st = reinterpret_cast<PwState*>(GetWindowLongPtrA(dlg, DWLP_USER));
        char buf[128] = {};
        GetDlgItemTextA(dlg, kEdit, buf, sizeof buf);
        st->result = buf;
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

bool ask_password(HWND owner, const std::string& entry, std::string& out) {
  TDlgTemplate t(200, 62, L"パスワードの入力");
  t.Item(SS_LEFT, 7, 7, 186, 10, kLabel, t.kStatic, L"");
  t.Item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 186, 13, kEdit, t.kEdit, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 87, 41, 50, 14, IDOK, t.kButton, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 143, 41, 50, 14, IDCANCEL, t.kButton, L"キャンセル");
  PwState st{entry, {}};
  INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), owner, pw_proc,
                                      reinterpret_cast<LPARAM>(&st));
  if (r != IDOK || st.result.empty()) return false;
  out = st.result;
  return true;
}

}  // namespace zipw
