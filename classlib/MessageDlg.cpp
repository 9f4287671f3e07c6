#include "MessageDlg.h"

#include <vector>

#include "dlgtemplate.h"

namespace {

enum { kIcon = 100, kText = 101 };

struct TQuestion {
  const std::string* text;
  TMsgDlgType type;
};

const wchar_t* CaptionOf(TMsgDlgType t) {
  switch (t) {
    case mtWarning: return L"\x8B66\x544A";              // 警告
    case mtError: return L"\x30A8\x30E9\x30FC";         // エラー
    case mtInformation: return L"\x60C5\x5831";         // 情報
    default: return L"\x78BA\x8A8D";                    // 確認
  }
}

LPCSTR IconOf(TMsgDlgType t) {
  switch (t) {
    case mtWarning: return IDI_WARNING;
    case mtError: return IDI_ERROR;
    case mtInformation: return IDI_INFORMATION;
    default: return IDI_QUESTION;
  }
}

INT_PTR CALLBACK QuestionProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* q = reinterpret_cast<TQuestion*>(lp);
      SetDlgItemTextA(dlg, kText, q->text->c_str());
      SendDlgItemMessageA(dlg, kIcon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IconOf(q->type))), 0);
      RECT r{}, owner{};
      GetWindowRect(dlg, &r);
      HWND parent = GetWindow(dlg, GW_OWNER);
      if (parent && GetWindowRect(parent, &owner))
        SetWindowPos(dlg, nullptr, owner.left + ((owner.right - owner.left) - (r.right - r.left)) / 2,
                     owner.top + ((owner.bottom - owner.top) - (r.bottom - r.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == IDYES || id == IDNO || id == IDOK || id == IDCANCEL || id == mrAll) {
        EndDialog(dlg, id);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

int MessageDlg(HWND owner, const std::string& text, TMsgDlgType type, unsigned buttons) {
  struct TButton {
    unsigned flag;
    int id;
    const wchar_t* caption;
  };
  const TButton kButtons[] = {{mbYes, mrYes, L"\x306F\x3044(&Y)"},
                              {mbNo, mrNo, L"\x3044\x3044\x3048(&N)"},
                              {mbOK, mrOk, L"OK"},
                              {mbCancel, mrCancel, L"\x30AD\x30E3\x30F3\x30BB\x30EB"},
                              {mbAll, mrAll, L"\x3059\x3079\x3066(&A)"}};
  int count = 0;
  for (const TButton& b : kButtons) count += (buttons & b.flag) ? 1 : 0;
  const short bw = 50, gap = 4;
  const short rowWidth = static_cast<short>(count * bw + (count - 1) * gap);
  const short width = rowWidth + 14 > 220 ? static_cast<short>(rowWidth + 14) : 220;
  TDlgTemplate t;
  t.DWord(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.DWord(0);
  t.Word(0);  // item count, set below
  t.Word(0), t.Word(0), t.Word(width), t.Word(78);
  t.Word(0), t.Word(0);
  t.Text(CaptionOf(type));
  t.Word(9);
  t.Text(L"MS UI Gothic");
  WORD items = 0;
  t.Item(SS_ICON, 8, 8, 21, 20, kIcon, 0x0082, L"");
  t.Item(SS_LEFT | SS_NOPREFIX, 38, 8, static_cast<short>(width - 46), 40, kText, 0x0082, L"");
  items += 2;
  short x = static_cast<short>((width - rowWidth) / 2);
  bool first = true;
  for (const TButton& b : kButtons) {
    if (!(buttons & b.flag)) continue;
    t.Item((first ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x, 56, bw, 14, static_cast<WORD>(b.id), 0x0080,
           b.caption);
    x = static_cast<short>(x + bw + gap);
    first = false;
    ++items;
  }
  t.SetCount(items);
  TQuestion q{&text, type};
  INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), owner, QuestionProc,
                                      reinterpret_cast<LPARAM>(&q));
  return r > 0 ? static_cast<int>(r) : mrCancel;
}
