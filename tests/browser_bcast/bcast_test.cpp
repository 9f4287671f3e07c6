// The menu form of long recent paths, and order strings on a small toolbar.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include "ComCtrls.h"
#include "Forms.h"
#include "ToolBarOrder.h"
#include "main.h"

namespace {

std::string Shorten(const std::string& p) { return TVantrelbyHalvek::ShortenRecentPath(p); }

TEST(RecentMenu, ShortensLongPathsToDriveAndLastFolders) {
  struct Case {
    std::string path, shown;
  } cases[] = {
      // 32 bytes: shown in full.
      {"C:\\aaaa\\bbbb\\cccc\\dddd\\eeeee.lzh", "C:\\aaaa\\bbbb\\cccc\\dddd\\eeeee.lzh"},
      // 40 bytes: the first backslash with fewer than 26 bytes after it.
      {"C:\\deep\\folder\\tree\\of\\many\\parts\\ab.lzh", "C:\\..\\tree\\of\\many\\parts\\ab.lzh"},
      // Only two backslashes: unchanged however long.
      {"C:\\a-very-long-folder-name-here\\and-a-long-archive-name.lzh",
       "C:\\a-very-long-folder-name-here\\and-a-long-archive-name.lzh"},
      // A last name of 26 bytes or more: the last backslash.
      {"C:\\x\\y\\z\\an-archive-name-of-thirty-bytes.lzh", "C:\\..\\an-archive-name-of-thirty-bytes.lzh"},
      // A network path keeps its two leading backslashes.
      {"\\\\server\\share\\folder\\deeper\\archive.lzh", "\\\\..\\folder\\deeper\\archive.lzh"},
      // "ソ" ends in the byte of "\": no folder boundary inside it.
      {"C:\\x\\ソソソソソソソソソソソソソソソソ\\ソフト\\a.lzh", "C:\\..\\ソフト\\a.lzh"},
  };
  ASSERT_EQ(cases[0].path.size(), 32u);
  ASSERT_EQ(cases[1].path.size(), 40u);
  for (const Case& c : cases) EXPECT_EQ(Shorten(c.path), c.shown) << c.path;
}

// A, separator, B, then C hidden at design time.
struct SmallBar : ::testing::Test {
  TForm* form = nullptr;
  TToolBar* bar = nullptr;
  TToolBarOrder* order = nullptr;
  TToolButton *a, *sep, *b, *c;
  void SetUp() override {
    form = new TForm(nullptr, "TBcastTestForm");
    bar = new TToolBar(form, form);
    a = bar->AddButton("A", 0, "A|");
    sep = bar->AddSeparator("S");
    b = bar->AddButton("B", 1, "B|");
    c = bar->AddButton("C", 2, "C|");
    c->SetVisible(false);
    order = new TToolBarOrder(bar);
    order->InitButtonOrder();
  }
  void TearDown() override { delete form; }
  // What the bar shows, left to right.
  std::string Shown() {
    std::string s;
    for (int k = 0; k < bar->ButtonCount(); ++k)
      for (TToolButton* x : {a, sep, b, c})
        if (x->Index() == k && x->Visible()) s += x->Name;
    return s;
  }
};

TEST_F(SmallBar, AppliesOrderStrings) {
  EXPECT_EQ(order->DefaultOrder(), std::string("\x02\x01\x03"));
  struct Case {
    std::string order, shown;
  } cases[] = {
      {"", "ASB"},
      {"\x03\x02", "BA"},
      {"\x04\x01\x02", "CSA"},
      // Codes past the buttons, a button named twice, a string longer than
      // the bar: skipped.
      {"\x02\xff\x03", "AB"},
      {"\x02\x02\x03", "AB"},
      {std::string("\x03") + std::string(10, '\x40') + "\x02", "B"},
      {"", "ASB"},
  };
  for (const Case& k : cases) {
    order->SetButtonOrder(k.order);
    EXPECT_EQ(Shown(), k.shown) << testing::PrintToString(k.order);
  }
}

TEST_F(SmallBar, SkippedSeparatorKeepsItsPlace) {
  order->SetButtonOrder("\x02\x01\x01\x03");
  EXPECT_EQ(Shown(), "ASB");
  EXPECT_EQ(b->Index(), 3);
  EXPECT_FALSE(c->Visible());
  order->SetButtonOrder("");
  for (TToolButton* x : {a, sep, b, c}) EXPECT_EQ(x->Index(), x == a ? 0 : x == sep ? 1 : x == b ? 2 : 3);
  EXPECT_FALSE(c->Visible());
}

TEST_F(SmallBar, NamesAndDefaultForTheDialog) {
  order->SetButtonOrder("\x03");
  TStringList names;
  std::string def = "x";
  order->GetButtonOrder(names, def);
  EXPECT_EQ(def, std::string("\x02\x01\x03"));
  EXPECT_EQ(names.Items(), (std::vector<std::string>{"区切り", "A", "B", "C"}));
}

}  // namespace

namespace {

// The real main window (its recent list and File menu), without a loop.
struct MainWindow : ::testing::Test {
  static TVantrelbyHalvek* form;
  static void SetUpTestSuite() {
    SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
    auto* app = new TApplication;
    app->Initialize();
    form = new TVantrelbyHalvek(app);
  }
  static void TearDownTestSuite() {
    delete Application;
    form = nullptr;
    SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
  }
  // The recent items of the File menu.
  static std::vector<std::string> Items() {
    std::vector<std::string> r;
    const int line = form->File1->IndexOf(form->RecentLine);
    if (form->RecentLine->Visible()) r.push_back("-");
    for (int i = line + 1; i < form->File1->Count(); ++i) r.push_back(form->File1->Items(i)->Caption());
    return r;
  }
};
TVantrelbyHalvek* MainWindow::form = nullptr;

TEST_F(MainWindow, RenamedArchiveTakesTheHeadOfTheList) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const std::string arc = std::string(dir) + "r.lzh";
  CloseHandle(CreateFileA(arc.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  form->Archive1->SetArcName(arc);
  RecentArchives->SetText("C:\\x.zip\r\n" + arc + "\r\n" + std::string(dir) + "R.ZIP\r\n");
  form->AddRecentArchive();
  EXPECT_EQ(RecentArchives->Items(), (std::vector<std::string>{arc, "C:\\x.zip", std::string(dir) + "R.ZIP"}));
  // Converted to ZIP: the new name heads the list once.
  form->RenameRecentArchive(".zip");
  EXPECT_EQ(RecentArchives->Items(), (std::vector<std::string>{std::string(dir) + "r.zip", "C:\\x.zip"}));
  // Deleted: the head goes, and the menu with it.
  form->RenameRecentArchive("");
  EXPECT_EQ(RecentArchives->Items(), (std::vector<std::string>{"C:\\x.zip"}));
  EXPECT_EQ(Items(), (std::vector<std::string>{"-", "&1 C:\\x.zip"}));
  form->RenameRecentArchive("");
  EXPECT_EQ(Items(), (std::vector<std::string>{}));
  // A path with "&" keeps it as a letter in the caption.
  RecentArchives->SetText("C:\\A&B\\x.lzh");
  form->BuildRecentMenu();
  EXPECT_EQ(Items(), (std::vector<std::string>{"-", "&1 C:\\A&&B\\x.lzh"}));
  DeleteFileA(arc.c_str());
}

}  // namespace
