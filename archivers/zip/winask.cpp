#include "winask.h"

#include <cstdio>
#include <vector>

#include "dlgtemplate.h"
#include "text.h"

namespace zipw {

// One character (one or two UTF-16 units) in the system code page; false
// when the code page has no such character (no best fit: "é" is not "e").
static bool char_to_acp(const wchar_t* w, int n, std::string& out) {
  char buf[8];
  BOOL usedDefault = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, n, buf, sizeof buf, nullptr, &usedDefault);
  if (m <= 0 || usedDefault) return false;
  out.append(buf, static_cast<size_t>(m));
  return true;
}

static std::string utf8_to_acp(std::string_view s, bool* lossy) {
  if (lossy) *lossy = false;
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::string(s);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  // Composed: macOS stores names decomposed ("ハ" and a combining mark for
  // "パ"), and the code page has only the composed characters.
  // Bound at run time: older systems have it only with normaliz.dll.
  using Normalize = int(WINAPI*)(int form, const wchar_t* src, int srcLen, wchar_t* dst, int dstLen);
  static const Normalize normalize = [] {
    HMODULE m = GetModuleHandleA("kernel32.dll");
    FARPROC p = m ? GetProcAddress(m, "NormalizeString") : nullptr;
    if (!p && (m = LoadLibraryA("normaliz.dll")) != nullptr) p = GetProcAddress(m, "NormalizeString");
    return reinterpret_cast<Normalize>(reinterpret_cast<void*>(p));
  }();
  constexpr int kFormC = 1;
  int c = normalize ? normalize(kFormC, w.data(), n, nullptr, 0) : 0;
  if (c > 0) {
    std::wstring composed(static_cast<size_t>(c), L'\0');
    c = normalize(kFormC, w.data(), n, composed.data(), c);
    if (c > 0) {
      composed.resize(static_cast<size_t>(c));
      w = std::move(composed);
      n = c;
    }
  }
  // The same JIS characters under the code points other systems give them
  // (wave dash, double vertical line, minus, em dash, cent, pound, not).
  for (wchar_t& ch : w) {
    switch (ch) {
      case 0x301C: ch = 0xFF5E; break;
      case 0x2016: ch = 0x2225; break;
      case 0x2212: ch = 0xFF0D; break;
      case 0x2014: ch = 0x2015; break;
      case 0x00A2: ch = 0xFFE0; break;
      case 0x00A3: ch = 0xFFE1; break;
      case 0x00AC: ch = 0xFFE2; break;
      default: break;
    }
  }
  BOOL usedDefault = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), n, nullptr, 0, nullptr, &usedDefault);
  if (m > 0 && !usedDefault) {
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), n, out.data(), m, nullptr, nullptr);
    return out;
  }
  // Character by character: what the code page lacks becomes "#U" and the
  // code point, so that names differing only there do not meet on disk.
  std::string out;
  for (int i = 0; i < n;) {
    int k = (IS_HIGH_SURROGATE(w[i]) && i + 1 < n && IS_LOW_SURROGATE(w[i + 1])) ? 2 : 1;
    if (!char_to_acp(&w[i], k, out)) {
      uint32_t cp = k == 2 ? 0x10000u + ((w[i] - 0xD800u) << 10) + (w[i + 1] - 0xDC00u) : w[i];
      char hex[16];
      std::snprintf(hex, sizeof hex, "#U%04X", static_cast<unsigned>(cp));
      out += hex;
      if (lossy) *lossy = true;
    }
    i += k;
  }
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
