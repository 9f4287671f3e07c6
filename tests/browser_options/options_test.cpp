// The theme binding, the themed group box and radio group, and the options
// dialog's page tree, fields and placement, in-process under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "StdCtrlsXp.h"
#include "UxTheme.h"
#include "optionf.h"
#include "tabXP.h"

namespace {

// A plain top-level form to put controls on.
struct Host {
  TForm form{nullptr, "TOptionsTestHost", bsSingle};
  Host() {
    form.SetBounds(0, 0, 400, 300);
    form.Show();
  }
};

RECT ChildRect(TControl* c) { return c->BoundsRect(); }

TEST(ThemeLibrary, LookedForOnlyOnNtAboveFiveZero) {
  struct {
    DWORD platform, major, minor;
    bool wanted;
  } cases[] = {
      {VER_PLATFORM_WIN32_NT, 5, 0, false},      {VER_PLATFORM_WIN32_NT, 5, 1, true},
      {VER_PLATFORM_WIN32_NT, 6, 0, true},       {VER_PLATFORM_WIN32_NT, 4, 90, false},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, false}, {VER_PLATFORM_WIN32_WINDOWS, 5, 1, false},
  };
  for (auto& c : cases)
    EXPECT_EQ(UxTheme::ThemeLibraryWanted(c.platform, c.major, c.minor), c.wanted)
        << c.platform << " " << c.major << "." << c.minor;
}

TEST(ThemeLibrary, BindsEveryEntryAndAsksTheLibraryEachTime) {
  ASSERT_NE(UxTheme::ThemeModule, nullptr) << "Wine reports NT 5.1 or later and has uxtheme.dll";
  EXPECT_EQ(UxTheme::BoundEntryCount(), 47);
  EXPECT_EQ(ThemesActive(), UxTheme::IsThemeActive() && UxTheme::IsAppThemed());
  if (const char* want = std::getenv("TOVIX_EXPECT_THEMES")) EXPECT_EQ(ThemesActive(), *want == '1');
}

TEST(ThemeLibrary, ReleasedLibraryIsNeverAskedAgain) {
  HMODULE keep = UxTheme::ThemeModule;
  UxTheme::ThemeModule = nullptr;
  EXPECT_FALSE(ThemesActive());
  UxTheme::ThemeModule = keep;
}

TEST(XpRadioGroup, ClampsColumnsAndItemIndex) {
  Host h;
  TXpRadioGroup g(&h.form, &h.form, "g");
  g.SetBounds(10, 10, 300, 80);
  g.SetItems({"a", "b", "c"});
  struct {
    int set, columns;
  } cols[] = {{0, 1}, {40, 16}, {-3, 1}, {3, 3}, {16, 16}};
  for (auto& c : cols) {
    g.SetColumns(c.set);
    EXPECT_EQ(g.Columns(), c.columns) << c.set;
  }
  struct {
    int set, index;
  } idx[] = {{10, 2}, {-5, -1}, {1, 1}, {3, 2}};
  for (auto& c : idx) {
    g.SetItemIndex(c.set);
    EXPECT_EQ(g.ItemIndex(), c.index) << c.set;
    for (int i = 0; i < g.ButtonCount(); ++i) EXPECT_EQ(g.Buttons(i)->Checked(), i == c.index) << c.set << " " << i;
  }
  // The checked last line removed: the index follows to the new last item.
  g.SetItems({"a", "b"});
  EXPECT_EQ(g.ItemIndex(), 1);
  EXPECT_TRUE(g.Buttons(1)->Checked());
  EXPECT_EQ(g.ButtonCount(), 2);
  g.SetItems({});
  EXPECT_EQ(g.ItemIndex(), -1);
  EXPECT_EQ(g.ButtonCount(), 0);
}

TEST(XpRadioGroup, FillsColumnByColumn) {
  Host h;
  TXpRadioGroup g(&h.form, &h.form, "g");
  g.SetBounds(0, 0, 210, 100);
  g.SetColumns(2);
  g.SetItems({"0", "1", "2", "3", "4"});
  TEXTMETRICA tm{};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, g.Font().Handle());
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const int colWidth = (210 - 10) / 2, avail = 100 - tm.tmHeight - 5, rowHeight = avail / 3;
  const int top = tm.tmHeight + 1 + (avail % 3) / 2;
  for (int i = 0; i < 5; ++i) {
    RECT r = ChildRect(g.Buttons(i));
    EXPECT_EQ(r.left, (i / 3) * colWidth + 8) << i;
    EXPECT_EQ(r.top, (i % 3) * rowHeight + top) << i;
    EXPECT_EQ(r.right - r.left, colWidth) << i;
    EXPECT_EQ(r.bottom - r.top, rowHeight) << i;
    EXPECT_TRUE(g.Buttons(i)->Visible()) << i;
  }
  // A new size lays them out again.
  g.SetBounds(0, 0, 410, 100);
  EXPECT_EQ(ChildRect(g.Buttons(3)).left, (410 - 10) / 2 + 8);
}

TEST(XpRadioGroup, ClickOnThirdButtonSelectsItAndFiresOnce) {
  Host h;
  TXpRadioGroup g(&h.form, &h.form, "g");
  g.SetBounds(0, 0, 300, 60);
  g.SetColumns(3);
  g.SetItems({"lh5", "lh6", "lh7"});
  g.SetItemIndex(0);
  int clicks = 0;
  g.OnClick = [&](TObject* s) {
    ++clicks;
    EXPECT_EQ(s, &g);
  };
  SendMessageA(g.Buttons(2)->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(g.ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(g.Buttons(2)->Checked());
  EXPECT_FALSE(g.Buttons(0)->Checked());
  // Setting the index from code is not a click.
  g.SetItemIndex(1);
  EXPECT_EQ(clicks, 1);
  // The group's Enabled reaches every button.
  g.SetEnabled(false);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(g.Buttons(i)->Enabled());
}

TEST(XpGroupBox, CaptionBoxLeavesGapOnlyAroundText) {
  RECT r = TXpCustomGroupBox::CaptionBox(15, 40, true);
  EXPECT_EQ(r.left, 8);
  EXPECT_EQ(r.right, 8 + 40 + 8);
  EXPECT_EQ(r.bottom, 15);
  r = TXpCustomGroupBox::CaptionBox(15, 0, false);
  EXPECT_EQ(r.right - r.left, 0);
}

// Themes off as after the library was released (or a classic style chosen).
struct NoThemes {
  HMODULE keep = UxTheme::ThemeModule;
  NoThemes() { UxTheme::ThemeModule = nullptr; }
  ~NoThemes() { UxTheme::ThemeModule = keep; }
};

// Paints the box now; true when the visual style painted it.
bool PaintedThemed(TXpGroupBox& g) {
  InvalidateRect(g.FrameHandle(), nullptr, TRUE);
  UpdateWindow(g.FrameHandle());
  return g.LastPaintThemed();
}

TEST(XpGroupBox, ThemedOnlyWhenThemesAndCtl3DAllowIt) {
  Host h;
  TXpGroupBox g(&h.form, &h.form, "サンプル");
  g.SetBounds(10, 10, 200, 100);
  EXPECT_EQ(g.Caption(), "サンプル");
  char frameText[64] = {};
  GetWindowTextA(g.FrameHandle(), frameText, sizeof frameText);
  EXPECT_STREQ(frameText, "サンプル");
  EXPECT_EQ(g.Theme() != nullptr, ThemesActive());
  EXPECT_EQ(PaintedThemed(g), ThemesActive());
  g.Ctl3D = false;
  EXPECT_FALSE(PaintedThemed(g));
  g.Ctl3D = true;
  // The classic style chosen while shown: the old handle stays, painting is classic.
  {
    NoThemes off;
    HTHEME before = g.Theme();
    SendMessageA(g.Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(g.Theme(), before);
    EXPECT_FALSE(PaintedThemed(g));
  }
  EXPECT_EQ(PaintedThemed(g), ThemesActive());
  // A radio button on it takes its background from the style only when active.
  TXpRadioButton rb(&h.form, &g, "x");
  HDC dc = GetDC(rb.Handle());
  HBRUSH themed = reinterpret_cast<HBRUSH>(
      SendMessageA(g.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(rb.Handle())));
  EXPECT_EQ(themed == GetStockObject(NULL_BRUSH), ThemesActive());
  {
    NoThemes off;
    HBRUSH classic = reinterpret_cast<HBRUSH>(SendMessageA(
        g.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(rb.Handle())));
    EXPECT_NE(classic, GetStockObject(NULL_BRUSH));
  }
  ReleaseDC(rb.Handle(), dc);
}

TEST(XpTabSheet, ReopensItsThemeWhenTheStyleChanges) {
  Host h;
  TPageControl pc(&h.form, &h.form);
  pc.SetBounds(0, 0, 300, 200);
  TXPTabSheet sheet(&h.form, &pc, "フォルダ");
  EXPECT_EQ(sheet.Theme() != nullptr, ThemesActive());
  SendMessageA(sheet.Handle(), WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(sheet.Theme() != nullptr, ThemesActive());
  {
    NoThemes off;
    HTHEME before = sheet.Theme();
    SendMessageA(sheet.Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(sheet.Theme(), before);
  }
  // Erasing answers "erased" either way.
  HDC dc = GetDC(sheet.Handle());
  EXPECT_NE(SendMessageA(sheet.Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
  ReleaseDC(sheet.Handle(), dc);
}

TEST(OptionDlg, PlacedAtTheCursorInsideTheWorkArea) {
  const RECT work{0, 0, 1024, 740};
  struct {
    POINT cursor;
    POINT at;
  } cases[] = {
      {{500, 400}, {500 - 240, 400 - 175}}, {{2, 3}, {0, 0}},        {{1023, 767}, {1024 - 480, 740 - 350}},
      {{1023, 2}, {1024 - 480, 0}},         {{5, 760}, {0, 740 - 350}},
  };
  for (auto& c : cases) {
    POINT p = OptionDlgPlace(c.cursor, 480, 350, work);
    EXPECT_EQ(p.x, c.at.x) << c.cursor.x << "," << c.cursor.y;
    EXPECT_EQ(p.y, c.at.y) << c.cursor.x << "," << c.cursor.y;
  }
  // Odd sizes: halves toward zero.
  POINT p = OptionDlgPlace({300, 300}, 101, 51, work);
  EXPECT_EQ(p.x, 250);
  EXPECT_EQ(p.y, 275);
}

TEST(OptionDlg, TreeNodesPickTheirPages) {
  TOptionDlg dlg(nullptr);
  EXPECT_EQ(dlg.Caption(), "オプション設定");
  ASSERT_EQ(dlg.PageControl1->PageCount(), 9);
  EXPECT_EQ(dlg.PageControl1->ActivePageIndex(), 0);
  ASSERT_EQ(dlg.TreeView1->Items.Count(), 9);
  ASSERT_EQ(dlg.TreeView1->Items.RootCount(), 6);
  TTreeNode* pack = dlg.TreeView1->Items.Root(4);
  EXPECT_EQ(pack->Text(), "圧縮");
  ASSERT_EQ(pack->Count(), 3);
  const char* kids[] = {"LHA", "ZIP/TAR", "CAB"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pack->Item(i)->Text(), kids[i]);
    dlg.TreeView1->SetSelected(pack->Item(i));
    EXPECT_EQ(dlg.PageControl1->ActivePageIndex(), 5 + i);
  }
  dlg.TreeView1->SetSelected(dlg.TreeView1->Items.Root(5));
  EXPECT_EQ(dlg.PageControl1->ActivePage(), dlg.TabSheet6);
  EXPECT_TRUE(dlg.TabSheet6->Visible());
  EXPECT_FALSE(dlg.TabSheet1->Visible());
}

TEST(OptionDlg, FieldsHoldStoreValuesOfEveryKind) {
  TOptionDlg dlg(nullptr);
  EXPECT_EQ(dlg.Fields.size(), 37u);
  struct {
    const char* key;
    const char* value;
    const char* read;
  } cases[] = {
      {"UnPack\\MakeFolder", "1", "1"}, {"UnPack\\MakeFolder", "0", "0"}, {"Pack\\PackStyle", "7", "7"},
      {"Pack\\PackStyle", "5", "5"},    {"Pack\\AutoStyle", "2", "2"},    {"Pack\\CabStyle", "1", "1"},
      {"Pack\\Zip", "3", "3"},          {"Pack\\Zip", "12", "9"},         {"Pack\\IZip", "0", "0"},
      {"Pack\\CabLevel", "21", "21"},   {"Pack\\CabLevel", "3", "15"},    {"List\\ViewProg", "C:\\ソフト\\v.exe", "C:\\ソフト\\v.exe"},
      {"Other\\2Err", "1", "1"},        {"Pos\\SaveFolder", "0", "0"},
  };
  for (auto& c : cases) {
    const TOptionField* f = dlg.FindField(c.key);
    ASSERT_NE(f, nullptr) << c.key;
    dlg.SetFieldValue(*f, c.value);
    EXPECT_EQ(TOptionDlg::FieldValue(*f), c.read) << c.key << "=" << c.value;
  }
}

TEST(OptionDlg, FolderBoxesFollowTheirSwitches) {
  TOptionDlg dlg(nullptr);
  dlg.Up_MkFolder->SetChecked(false);
  dlg.Up_MfNum->SetEnabled(false);
  SendMessageA(dlg.Up_MkFolder->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(dlg.Up_MkFolder->Checked());
  EXPECT_TRUE(dlg.Up_MfNum->Enabled());
  dlg.Up_ExecFolder->SetChecked(true);
  SendMessageA(dlg.Up_ExecFolder->Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(dlg.Up_FileNoFolder->Enabled());
}

TEST(OptionDlg, SystemColoursButtonResetsTheSample) {
  TOptionDlg dlg(nullptr);
  dlg.TestView1->SetColor(0x123456);
  TFont f = dlg.TestView1->Font();
  f.SetColor(0x654321);
  dlg.TestView1->SetFont(f);
  SendMessageA(dlg.Button6->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(static_cast<uint32_t>(dlg.TestView1->Color()), 0x80000005u);
  EXPECT_EQ(static_cast<uint32_t>(dlg.TestView1->Font().Color()), 0x80000008u);
}

}  // namespace
