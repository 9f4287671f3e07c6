#include "CBDlg.h"

#include <objbase.h>
#include <shlobj.h>

#include "text.h"

namespace {

const char kSelfProp[] = "TCBDialog.Self";

bool IsNT5OrLater() {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&vi)) return false;
#pragma GCC diagnostic pop
  return vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion >= 5;
}

}  // namespace

TCBDialog::TCBDialog(TComponent* AOwner) : TComponent(AOwner), FNewStyle(IsNT5OrLater()) {}

TCBDialog::~TCBDialog() {
  if (FBoxFont) DeleteObject(FBoxFont);
}

void TCBDialog::Check1Click(TComponent*) { N1Checked = !N1Checked; }
void TCBDialog::Check2Click(TComponent*) { N2Checked = !N2Checked; }

unsigned TCBDialog::BrowseFlags() const {
  static const unsigned kFlags[] = {BIF_BROWSEFORCOMPUTER, BIF_BROWSEFORPRINTER, BIF_DONTGOBELOWDOMAIN,
                                    BIF_RETURNFSANCESTORS, BIF_RETURNONLYFSDIRS, BIF_EDITBOX};
  unsigned flags = FNewStyle ? 0x40u : 0u;  // BIF_NEWDIALOGSTYLE
  for (int i = 0; i < 6; ++i)
    if (Options & (1u << i)) flags |= kFlags[i];
  return flags;
}

RECT TCBDialog::Box1Rect(bool NewStyle, int W, int B, int H, int VisibleNum) {
  RECT r{};
  if (NewStyle) {
    r.left = 20;
    r.top = B - 2;
    r.bottom = r.top - H + 2;
    r.right = W / 2 - 20;
  } else {
    r.left = 15;
    r.right = W / 2 - 15;
    if (VisibleNum == 2) {
      r.top = B + (13 * H) / 4;
      r.bottom = B + (9 * H) / 4;
    } else {
      r.top = B + (5 * H) / 2;
      r.bottom = B + (3 * H) / 2;
    }
  }
  return r;
}

RECT TCBDialog::Box2Rect(bool NewStyle, int W, int B, int H, int H2) {
  RECT r = Box1Rect(NewStyle, W, B, H, 2);
  if (NewStyle) {
    r.left = r.right + 40;
    r.right = W - 20;
  } else {
    r.top = B + (7 * H2) / 4;
    r.bottom = B + (3 * H2) / 4;
  }
  return r;
}

std::string TCBDialog::SelectionText(const std::string& Dir) { return arc::without_separator(Dir, true); }

int TCBDialog::BoxFontHeight() const { return -12; }  // the class library's default control font

bool TCBDialog::Execute() {
  HRESULT co = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  char display[261] = {};
  BROWSEINFOA bi{};
  bi.hwndOwner = Owner() ? Owner()->GetHandle() : nullptr;
  bi.pidlRoot = nullptr;
  bi.pszDisplayName = display;
  bi.lpszTitle = Caption.c_str();
  bi.ulFlags = BrowseFlags();
  bi.lpfn = CBBrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
  FCheck1Wnd = FCheck2Wnd = nullptr;  // they went with the browser window
  bool ok = false;
  if (pidl) {
    ok = true;
    char path[261] = {};
    SHGetPathFromIDListA(pidl, path);
    Directory = path;
    CoTaskMemFree(pidl);
  }
  if (SUCCEEDED(co)) CoUninitialize();
  return ok;
}

HWND TCBDialog::MakeBox(HWND Parent, const std::string& Text, bool Checked, const RECT& R, bool Visible) {
  if (!FBoxFont) {
    LOGFONTA lf{};
    lf.lfHeight = BoxFontHeight();
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, "MS UI Gothic", LF_FACESIZE);
    FBoxFont = CreateFontIndirectA(&lf);
  }
  // Rectangles may come with top below bottom; the window takes the span.
  int top = R.top < R.bottom ? R.top : R.bottom;
  int height = R.top < R.bottom ? R.bottom - R.top : R.top - R.bottom;
  HWND box = CreateWindowExA(0, "BUTTON", Text.c_str(), WS_CHILD | WS_TABSTOP | BS_CHECKBOX | (Visible ? WS_VISIBLE : 0),
                             R.left, top, R.right - R.left, height, Parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!box) return nullptr;
  SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(FBoxFont), FALSE);
  SendMessageA(box, BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return box;
}

void TCBDialog::Initialize(HWND Wnd) {
  RECT r{};
  FShrunkWnd = nullptr;
  if (FNewStyle) {
    HWND first = GetNextDlgGroupItem(Wnd, nullptr, FALSE);
    if (first) {
      GetClientRect(first, &r);
      FShrunkWnd = first;
      FShrunkHeight = (r.bottom - r.top) / 2;
      SetWindowPos(first, nullptr, 0, 0, r.right - r.left, FShrunkHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      // Shells that lay the control out again must still not paint over the boxes.
      SetWindowLongPtrA(first, GWL_STYLE, GetWindowLongPtrA(first, GWL_STYLE) | WS_CLIPSIBLINGS);
    }
  } else {
    GetClientRect(Wnd, &r);
  }
  const int h = BoxFontHeight();
  FCheck1Wnd = MakeBox(Wnd, N1ChkCaption, N1Checked, Box1Rect(FNewStyle, r.right, r.bottom, h, VisibleNum),
                       VisibleNum > 0);
  FCheck2Wnd = nullptr;
  if (VisibleNum == 2)
    FCheck2Wnd = MakeBox(Wnd, N2ChkCaption, N2Checked, Box2Rect(FNewStyle, r.right, r.bottom, h, h), true);
  if (!Directory.empty()) {
    FSelection = SelectionText(Directory);
    SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(FSelection.c_str()));
    // Some shells fill their tree after this point and lose the selection;
    // asking again once the browser is running keeps it.
    PostMessageA(Wnd, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(FSelection.c_str()));
  }
  // The focus starts in the folder tree (or the name field), after the
  // browser has set up its own controls.
  HWND input = FindWindowExA(Wnd, nullptr, "SysTreeView32", nullptr);
  if (!input) input = FindWindowExA(Wnd, nullptr, "Edit", nullptr);
  if (input) PostMessageA(Wnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(input), TRUE);
  FDialogWnd = Wnd;
  SetPropA(Wnd, kSelfProp, reinterpret_cast<HANDLE>(this));
  FOldWndProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TCBDialog::DialogWndProc)));
}

int CALLBACK TCBDialog::CBBrowseCallback(HWND Wnd, UINT Msg, LPARAM, LPARAM Data) {
  auto* self = reinterpret_cast<TCBDialog*>(Data);
  if (self && Msg == BFFM_INITIALIZED) self->Initialize(Wnd);
  return 0;
}

LRESULT CALLBACK TCBDialog::DialogWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* self = reinterpret_cast<TCBDialog*>(GetPropA(Wnd, kSelfProp));
  if (!self) return DefWindowProcA(Wnd, Msg, WParam, LParam);
  WNDPROC old = self->FOldWndProc;
  if (Msg == WM_COMMAND && LParam) {
    HWND from = reinterpret_cast<HWND>(LParam);
    // The boxes live in a window we do not own; their state is ours to flip.
    if (from == self->FCheck1Wnd) {
      self->N1Checked = !self->N1Checked;
      SendMessageA(from, BM_SETCHECK, self->N1Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (from == self->FCheck2Wnd) {
      self->N2Checked = !self->N2Checked;
      SendMessageA(from, BM_SETCHECK, self->N2Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  if (Msg == WM_NCDESTROY) {
    RemovePropA(Wnd, kSelfProp);
    SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    self->FShrunkWnd = nullptr;
  }
  LRESULT result = CallWindowProcA(old, Wnd, Msg, WParam, LParam);
  if (Msg == WM_SIZE && self->FShrunkWnd && IsWindow(self->FShrunkWnd)) {
    // Some shells stretch their controls again on every resize, the first
    // one coming after initialisation: the halved control must stay clear
    // of the boxes below it.
    RECT c{};
    GetWindowRect(self->FShrunkWnd, &c);
    if (c.bottom - c.top > self->FShrunkHeight)
      SetWindowPos(self->FShrunkWnd, nullptr, 0, 0, c.right - c.left, self->FShrunkHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return result;
}
