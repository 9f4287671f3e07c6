// The class library over real Win32 controls (Wine's null driver).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "ComCtrls.h"
#include "Forms.h"
#include "InputQuery.h"
#include "MessageDlg.h"
#include "Menus.h"
#include "StdCtrls.h"

namespace {

struct Lib : ::testing::Test {
  static void SetUpTestSuite() {
    _putenv_s("TOVIX_ANSWERS", "none=1");
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

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TEST_F(Lib, ExceptionInAHandlerGoesToTheApplicationNotThroughTheWindow) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string trace = std::string(tmp) + "classlib_trace.txt";
  DeleteFileA(trace.c_str());
  _putenv_s("TOVIX_TRACE", trace.c_str());
  TForm* f = NewForm();
  auto* b = new TButton(f, f, "go");
  int after = 0;
  b->OnClick = [](TObject*) { throw std::runtime_error("boom in handler"); };
  SendMessageA(f->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b->Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(b->Handle()));
  after = 1;
  EXPECT_EQ(after, 1);
  EXPECT_NE(ReadAll(trace).find("Exception: boom in handler"), std::string::npos) << ReadAll(trace);
  _putenv_s("TOVIX_TRACE", "");
  delete f;
}

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
  _putenv("TOVIX_ANSWERS=");  // not headless: the dialogs are really shown
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
  const int answer = MessageDlg(nullptr, "Replace?", mtWarning, mbYes | mbNo | mbAll, "none");
  person.join();
  _putenv("TOVIX_ANSWERS=none=1");
  EXPECT_TRUE(ok);
  EXPECT_EQ(value, "typed");
  EXPECT_EQ(seenPrompt, "Your name:");
  EXPECT_EQ(seenButton, "すべて(&A)");
  EXPECT_EQ(answer, mrAll);
}
