// The class library over real Win32 controls (Wine's null driver).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "FontDialogs.h"
#include "Forms.h"
#include "InputQuery.h"
#include "MessageDlg.h"
#include "Menus.h"
#include "StdCtrls.h"

namespace {

struct Lib : ::testing::Test {
  static void SetUpTestSuite() {
    auto* app = new TApplication;
    app->Initialize();
    app->SetTitle("Tovix");
  }
  static void TearDownTestSuite() { delete Application; }
  TForm* NewForm() {
    auto* f = new TForm(Application, "TTestForm");
    f->SetBounds(0, 0, 400, 300);
    return f;
  }
};

}  // namespace

TEST_F(Lib, OwnerDataListViewAsksForRowsOnly) {
  TForm* f = NewForm();
  auto* lv = new TListView(f, f, true);
  lv->SetAlign(alClient);
  lv->AddColumn("name", 100);
  lv->AddColumn("size", 80, LVCFMT_RIGHT);
  lv->AddColumn("date", 80);
  int asked = 0;
  lv->OnData = [&](TObject*, TLVDispItem& it) {
    ++asked;
    it.Caption = std::string("row") + std::to_string(it.Index);
    it.SubItems = {std::to_string(it.Index * 2), std::string("d") + std::to_string(it.Index)};
  };
  lv->SetItemCount(100000);
  EXPECT_EQ(lv->ItemCount(), 100000);
  EXPECT_EQ(lv->Items(99999).Caption(), "row99999");
  char buf[64] = {};
  LVITEMA it{};
  it.iSubItem = 2;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(lv->Handle(), LVM_GETITEMTEXTA, 1234, reinterpret_cast<LPARAM>(&it));
  EXPECT_STREQ(buf, "d1234");
  EXPECT_LT(asked, 1000) << "rows are asked for when shown, not all at once";
  lv->SelectAll();
  EXPECT_EQ(lv->SelCount(), 100000);
  lv->ClearSelection();
  lv->Items(7).SetSelected(true);
  lv->Items(9).SetSelected(true);
  EXPECT_EQ(lv->GetNextSelected(-1), 7);
  EXPECT_EQ(lv->GetNextSelected(7), 9);
  EXPECT_EQ(lv->GetNextSelected(9), -1);
  lv->SetColumnWidth(1, 55);
  EXPECT_EQ(lv->ColumnWidth(1), 55);
  delete f;
}

TEST_F(Lib, MenuItemsKeepTheirStateInTheMenu) {
  TForm* f = NewForm();
  auto* mm = new TMainMenu(f);
  TMenuItem* top = NewItem(mm->Items, "top", "&View");
  int clicks = 0;
  TMenuItem* a = NewItem(top, "a", "A", ShortCut('N', ssCtrl), "", [&](TObject*) { ++clicks; });
  TMenuItem* b = NewItem(top, "b", "B");
  TMenuItem* c = NewItem(top, "c", "C");
  f->SetMenu(mm);
  for (TMenuItem* i : {a, b}) {
    i->SetRadioItem(true);
    i->GroupIndex = 1;
  }
  a->SetChecked(true);
  b->SetChecked(true);
  HMENU h = top->Handle();
  EXPECT_FALSE(GetMenuState(h, 0, MF_BYPOSITION) & MF_CHECKED) << "its radio group unchecks A";
  EXPECT_TRUE(GetMenuState(h, 1, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(mm->IsShortCut(ShortCut('N', ssCtrl)));
  EXPECT_EQ(clicks, 1);
  a->SetEnabled(false);
  EXPECT_TRUE(GetMenuState(h, 0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_FALSE(mm->IsShortCut(ShortCut('N', ssCtrl)));
  EXPECT_EQ(clicks, 1);
  b->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(h), 2);
  char text[32] = {};
  GetMenuStringA(h, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "C");
  c->SetChecked(true);
  EXPECT_TRUE(GetMenuState(h, 1, MF_BYPOSITION) & MF_CHECKED);
  b->SetVisible(true);
  EXPECT_EQ(GetMenuItemCount(h), 3);
  // A command from the window reaches the item.
  a->SetEnabled(true);
  SendMessageA(f->Handle(), WM_COMMAND, MAKEWPARAM(a->Command(), 0), 0);
  EXPECT_EQ(clicks, 2);
  delete f;
}

TEST_F(Lib, TreeNodesCarryDataAndReportSelection) {
  TForm* f = NewForm();
  auto* tv = new TTreeView(f, f);
  tv->SetAlign(alClient);
  int data = 42;
  TTreeNode* root = tv->Items.AddChild(nullptr, "root");
  TTreeNode* kid = tv->Items.AddChildObject(root, "ソフト", &data);
  TTreeNode* kid2 = tv->Items.AddChild(root, "b");
  TTreeNode* changed = nullptr;
  tv->OnChange = [&](TObject*, TTreeNode* n) { changed = n; };
  EXPECT_EQ(tv->Items.Count(), 3);
  EXPECT_EQ(kid->Text(), "ソフト");
  EXPECT_EQ(kid->Parent(), root);
  EXPECT_EQ(kid->GetNextSibling(), kid2);
  EXPECT_EQ(kid->Level(), 1);
  kid->SetImageIndex(2);
  EXPECT_EQ(kid->ImageIndex(), 2);
  tv->SetSelected(kid);
  EXPECT_EQ(changed, kid);
  EXPECT_EQ(tv->Selected(), kid);
  EXPECT_EQ(static_cast<int*>(tv->Selected()->Data), &data);
  kid2->Delete();
  EXPECT_EQ(root->Count(), 1);
  changed = nullptr;
  tv->Items.Clear();
  EXPECT_EQ(tv->Items.Count(), 0);
  EXPECT_EQ(changed, nullptr) << "clearing reports no selection change";
  delete f;
}

TEST_F(Lib, AlignedChildrenShareTheClientArea) {
  TForm* f = NewForm();
  auto* top = new TStatusBar(f, f);
  top->SetAlign(alBottom);
  top->SetHeight(19);
  auto* left = new TListView(f, f, false);
  left->SetWidth(120);
  left->SetAlign(alLeft);
  auto* rest = new TListView(f, f, false);
  rest->SetAlign(alClient);
  f->Realign();
  int cw = f->ClientWidth(), ch = f->ClientHeight();
  EXPECT_EQ(top->Top(), ch - 19);
  EXPECT_EQ(left->Left(), 0);
  EXPECT_EQ(left->Height(), ch - 19);
  EXPECT_EQ(rest->Left(), 120);
  EXPECT_EQ(rest->Width(), cw - 120);
  top->SetVisible(false);
  EXPECT_EQ(rest->Height(), ch) << "a hidden bar leaves its room";
  delete f;
}

TEST_F(Lib, HiddenApplicationWindowHoldsTheTitleAndFormsTheirClassName) {
  EXPECT_EQ(FindWindowA("TApplication", "Tovix"), Application->Handle());
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
  Application->SetTitle("x.lzh - Tovix");
  EXPECT_EQ(Application->Title(), "x.lzh - Tovix");
  Application->SetTitle("Tovix");
  TForm* f = NewForm();
  char cls[64] = {};
  GetClassNameA(f->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TTestForm");
  EXPECT_EQ(f->Name, "TestForm");
  delete f;
}

TEST(CommaTextLib, BlankSeparatesOutsideQuotes) {
  TStringList l;
  l.SetCommaText("  one, two three ,\"four, five\"");
  EXPECT_EQ(l.Items(), (std::vector<std::string>{"one", "two", "three", "four, five"}));
  EXPECT_EQ(l.GetCommaText(), "one,two,three,\"four, five\"");
}

// The two dialogs built from an in-memory template, shown for real: a helper
// thread reads their controls and answers as a person would.
namespace {

struct DialogSearch {
  const char* caption;
  HWND found;
};

// A shown dialog of this process with that caption (other processes' dialogs
// are not ours to answer). Shown means its controls and texts are in place.
BOOL CALLBACK FindOwnDialog(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  char cls[16] = {}, text[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, text, sizeof text);
  if (pid == GetCurrentProcessId() && IsWindowVisible(h) && !lstrcmpA(cls, "#32770") && !lstrcmpA(text, s->caption)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForDialog(const char* caption) {
  for (int i = 0; i < 500; ++i) {
    DialogSearch s{caption, nullptr};
    EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(10);
  }
  return nullptr;
}

std::string ControlText(HWND dlg, int id) {
  char buf[256] = {};
  GetDlgItemTextA(dlg, id, buf, sizeof buf);
  return buf;
}

}  // namespace

TEST(DialogTemplates, InputQueryAndMessageDlgShowTheirControls) {
  std::string seenPrompt, seenButton;
  std::thread person([&] {
    if (HWND dlg = WaitForDialog("Ask")) {
      seenPrompt = ControlText(dlg, 101);
      SetDlgItemTextA(dlg, 100, "typed");
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    }
    if (HWND dlg = WaitForDialog("警告")) {
      seenButton = ControlText(dlg, mrAll);
      PostMessageA(dlg, WM_COMMAND, mrAll, 0);
    }
  });
  std::string value = "start";
  const bool ok = InputQuery(nullptr, "Ask", "Your name:", value);
  const int answer = MessageDlg(nullptr, "Replace?", mtWarning, mbYes | mbNo | mbAll);
  person.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(value, "typed");
  EXPECT_EQ(seenPrompt, "Your name:");
  EXPECT_EQ(seenButton, "すべて(&A)");
  EXPECT_EQ(answer, mrAll);
}

// An exception escaping an event handler is shown to the person in a box of
// the application's own; the handler's caller goes on.
TEST_F(Lib, ExceptionInAHandlerIsShownByTheApplication) {
  TForm* f = NewForm();
  auto* b = new TButton(f, f, "go");
  b->OnClick = [](TObject*) { throw std::runtime_error("boom in handler"); };
  std::string seen;
  std::thread person([&] {
    if (HWND box = WaitForDialog("Tovix")) {
      seen = ControlText(box, 0xFFFF);  // a message box's text
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  });
  SendMessageA(f->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b->Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(b->Handle()));
  person.join();
  EXPECT_EQ(seen, "boom in handler");
  delete f;
}

namespace {

// Chooses ROW of the combo box ID as a click in its list does.
void PickCombo(HWND dlg, int id, const char* row) {
  HWND cb = GetDlgItem(dlg, id);
  SendMessageA(cb, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(row));
  for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK})
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(cb));
}

BOOL CALLBACK FindAnyOwnDialog(HWND w, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || lstrcmpA(cls, "#32770")) return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

// A shown dialog of this process of the system's dialog class, whatever its caption.
HWND WaitForAnyDialog() {
  for (int i = 0; i < 500; ++i) {
    HWND h = nullptr;
    EnumWindows(FindAnyOwnDialog, reinterpret_cast<LPARAM>(&h));
    if (h) return h;
    Sleep(10);
  }
  return nullptr;
}

}  // namespace

// The file, font and colour dialogs are the system's own windows: what the
// person chooses there comes back, and cancelling changes nothing.
TEST_F(Lib, CommonDialogsReturnWhatThePersonChose) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string file = std::string(tmp) + "classlib_pick.lzh";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  TOpenDialog open(nullptr);
  open.Filter = "LHA|*.lzh|All|*.*";
  open.InitialDir = tmp;
  std::thread person([&] {
    if (HWND dlg = WaitForAnyDialog()) {
      PickCombo(dlg, 0x470, "All");  // the file type
      // The file name field: the edit inside the name combo box.
      HWND name = GetDlgItem(dlg, 0x47c);
      while (HWND inner = FindWindowExA(name, nullptr, nullptr, nullptr)) name = inner;
      SetWindowTextA(name, file.c_str());
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    }
  });
  ASSERT_TRUE(open.Execute());
  person.join();
  EXPECT_EQ(open.FileName, file);
  EXPECT_EQ(open.Files.Count(), 1);
  EXPECT_EQ(open.FilterIndex, 2);

  person = std::thread([&] {
    if (HWND dlg = WaitForAnyDialog()) PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  open.FileName = "kept";
  EXPECT_FALSE(open.Execute());
  person.join();
  EXPECT_EQ(open.FileName, "kept");
  DeleteFileA(file.c_str());

  TFontDialog font(nullptr);
  std::string face;
  person = std::thread([&] {
    if (HWND dlg = WaitForAnyDialog()) {
      // The last face of the list that is not a vertical one ("@").
      HWND faces = GetDlgItem(dlg, 0x470);
      for (int i = static_cast<int>(SendMessageA(faces, CB_GETCOUNT, 0, 0)) - 1; i >= 0 && face.empty(); --i) {
        char name[LF_FACESIZE * 2] = {};
        SendMessageA(faces, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        if (name[0] != '@') face = name;
      }
      PickCombo(dlg, 0x470, face.c_str());
      PickCombo(dlg, 0x472, "12");      // size
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    }
  });
  ASSERT_TRUE(font.Execute());
  person.join();
  EXPECT_EQ(font.Font.Name(), face);
  EXPECT_EQ(font.Font.Size(), 12);

  TColorDialog colour(nullptr);
  colour.Color = RGB(1, 2, 3);
  person = std::thread([&] {
    if (HWND dlg = WaitForAnyDialog()) {
      // The red, green and blue fields of the full dialog.
      SetDlgItemInt(dlg, 0x2c2, 224, FALSE);
      SetDlgItemInt(dlg, 0x2c3, 255, FALSE);
      SetDlgItemInt(dlg, 0x2c4, 255, FALSE);
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    }
  });
  ASSERT_TRUE(colour.Execute());
  person.join();
  EXPECT_EQ(ColorToRGB(colour.Color), RGB(224, 255, 255));
}
