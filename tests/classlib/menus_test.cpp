// Menus with images and disabled glyphs, menu and control hints, help by
// context, the popup's close event and the small components, over real
// Win32 windows (Wine's null driver).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Label3D.h"
#include "Menus.h"
#include "Pmenu.h"
#include "StdCtrls.h"
#include "UxTheme.h"
#include "btnxp.h"

namespace {

struct MenuLib : ::testing::Test {
  static void SetUpTestSuite() {
    auto* app = new TApplication;
    app->Initialize();
    // Not the program's title: another test looks for that one.
    app->SetTitle("Tovix menus");
  }
  static void TearDownTestSuite() { delete Application; }
  void TearDown() override { MenuThemesActive = &ThemesActive; }
  TForm* NewForm() {
    auto* f = new TForm(Application, "TMenuTestForm");
    f->SetBounds(0, 0, 400, 300);
    return f;
  }
};

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

// A 32-bit DIB that GDI draws into and the test reads back.
struct Surface {
  explicit Surface(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc = CreateCompatibleDC(nullptr);
    bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bmp);
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
  void* bits = nullptr;
};

// count 16 x 16 images, every one a solid colour.
TImageList* SolidList(TComponent* owner, int count, COLORREF color) {
  auto* il = new TImageList(owner);
  Surface s(16 * count, 16);
  RECT r{0, 0, 16 * count, 16};
  HBRUSH b = CreateSolidBrush(color);
  FillRect(s.dc, &r, b);
  DeleteObject(b);
  SelectObject(s.dc, s.old);
  il->AddMasked(s.bmp, RGB(255, 0, 255));
  s.old = SelectObject(s.dc, s.bmp);
  return il;
}

UINT ItemType(HMENU menu, int pos) {
  MENUITEMINFOA mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &mi);
  return mi.fType;
}

// The item painted 200 x 22 at the origin; the glyph cell starts at (1, 1).
COLORREF PaintedAt(TMenuItem* item, UINT state, int x, int y) {
  Surface s(200, 22);
  item->AdvancedDrawItem(s.dc, RECT{0, 0, 200, 22}, state, false);
  return s.At(x, y);
}

void Pump(DWORD ms, const std::function<bool()>& done = [] { return false; }) {
  DWORD end = GetTickCount() + ms;
  while (!done() && static_cast<int>(end - GetTickCount()) > 0) {
    Application->ProcessMessages();
    Sleep(10);
  }
}

}  // namespace

TEST_F(MenuLib, DisabledItemsTakeTheirGlyphFromTheDisabledListWhenItHoldsTheImage) {
  TForm* f = NewForm();
  auto* pm = new TPopupMenu(f);
  TImageList* normal = SolidList(f, 6, kRed);
  TImageList* six = SolidList(f, 6, kGreen);
  TImageList* five = SolidList(f, 5, kGreen);
  pm->SetImages(normal);
  TMenuItem* item = NewItem(pm->Items, "item", "Item");
  item->ImageIndex = 5;
  struct Case {
    bool themed, enabled;
    TImageList* disabled;
    bool green;  // the disabled list's image; otherwise the normal one
  } cases[] = {{false, false, six, true}, {true, false, six, true},    {false, false, five, false},
               {true, false, five, false}, {false, true, six, false}, {true, true, six, false}};
  for (const Case& c : cases) {
    MenuThemesActive = c.themed ? +[] { return true; } : +[] { return false; };
    pm->SetDisabledImages(c.disabled);
    item->SetEnabled(c.enabled);
    COLORREF px = PaintedAt(item, c.enabled ? 0 : ODS_DISABLED | ODS_GRAYED, 9, 9);
    SCOPED_TRACE(std::string(c.themed ? "themed" : "classic") + (c.enabled ? " enabled" : " disabled") + " list of " +
                 std::to_string(c.disabled->Count()));
    if (c.green) EXPECT_EQ(px, kGreen);
    else EXPECT_NE(px, kGreen);
    if (c.enabled) EXPECT_EQ(px, kRed) << "an enabled item shows its normal glyph as it is";
  }
  delete f;
}

TEST_F(MenuLib, CheckedSelectedItemsFillTheirCellAsTheirLookSays) {
  TForm* f = NewForm();
  auto* pm = new TPopupMenu(f);
  pm->SetImages(SolidList(f, 1, kRed));
  TMenuItem* item = NewItem(pm->Items, "item", "Item");
  item->SetChecked(true);  // no image of its own: the check mark in the cell
  // Themed: the cell keeps the menu colour, the rest the selection colour;
  // classic: the cell is button face.
  MenuThemesActive = +[] { return true; };
  EXPECT_EQ(PaintedAt(item, ODS_SELECTED | ODS_CHECKED, 2, 2), GetSysColor(COLOR_MENU));
  EXPECT_EQ(PaintedAt(item, ODS_SELECTED | ODS_CHECKED, 150, 10), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(PaintedAt(item, ODS_CHECKED, 150, 10), GetSysColor(COLOR_MENU));
  MenuThemesActive = +[] { return false; };
  EXPECT_EQ(PaintedAt(item, ODS_SELECTED | ODS_CHECKED, 2, 2), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(PaintedAt(item, ODS_SELECTED | ODS_CHECKED, 150, 10), GetSysColor(COLOR_HIGHLIGHT));
  delete f;
}

TEST_F(MenuLib, DisabledListsApplyToSubmenusAndOnlyDropDownsAreOwnerDrawn) {
  TForm* f = NewForm();
  auto* mm = new TMainMenu(f);
  TImageList *il = SolidList(f, 1, kRed), *d1 = SolidList(f, 1, kGreen), *d2 = SolidList(f, 1, kGreen),
             *d3 = SolidList(f, 1, kGreen);
  TMenuItem* top = NewItem(mm->Items, "top", "&Edit");
  TMenuItem* a = NewItem(top, "a", "A");
  TMenuItem* sub = NewItem(top, "sub", "Sub");
  TMenuItem* b = NewItem(sub, "b", "B");
  TMenuItem* inner = NewItem(sub, "inner", "Inner");
  TMenuItem* c = NewItem(inner, "c", "C");
  TMenuItem* own = NewItem(sub, "own", "Own");
  TMenuItem* d = NewItem(own, "d", "D");
  f->SetMenu(mm);
  EXPECT_FALSE(ItemType(top->Handle(), 0) & MFT_OWNERDRAW) << "no image list: plain items";
  mm->SetImages(il);
  mm->SetDisabledImages(d1);
  sub->SetSubMenuDisabledImages(d2);
  own->SetSubMenuDisabledImages(d3);
  EXPECT_EQ(a->GetDisabledImageList(), d1);
  EXPECT_EQ(sub->GetDisabledImageList(), d1) << "a submenu's list is for its children";
  EXPECT_EQ(b->GetDisabledImageList(), d2);
  EXPECT_EQ(c->GetDisabledImageList(), d2) << "deeper levels too";
  EXPECT_EQ(d->GetDisabledImageList(), d3) << "until an item in between sets its own";
  EXPECT_EQ(d->GetImageList(), il);
  EXPECT_FALSE(ItemType(mm->Handle(), 0) & MFT_OWNERDRAW) << "the menu bar's own command";
  EXPECT_TRUE(ItemType(top->Handle(), 0) & MFT_OWNERDRAW);
  EXPECT_TRUE(ItemType(sub->Handle(), 1) & MFT_OWNERDRAW);
  char text[16] = {};
  GetMenuStringA(top->Handle(), 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "A") << "an owner-drawn item keeps its text for its mnemonic";
  delete f;
}

TEST_F(MenuLib, DestroyedImageListsLeaveTheMenuWithoutThem) {
  TForm* f = NewForm();
  auto* pm = new TPopupMenu(f);
  TImageList* normal = SolidList(nullptr, 6, kRed);
  TImageList* disabled = SolidList(nullptr, 6, kGreen);
  TMenuItem* sub = NewItem(pm->Items, "sub", "Sub");
  TMenuItem* item = NewItem(sub, "item", "Item");
  item->ImageIndex = 5;
  item->SetEnabled(false);
  pm->SetImages(normal);
  pm->SetDisabledImages(disabled);
  sub->SetSubMenuDisabledImages(disabled);
  ASSERT_EQ(PaintedAt(item, ODS_DISABLED, 9, 9), kGreen);
  delete disabled;
  EXPECT_EQ(pm->DisabledImages(), nullptr);
  EXPECT_EQ(sub->SubMenuDisabledImages(), nullptr);
  EXPECT_NE(PaintedAt(item, ODS_DISABLED, 9, 9), kGreen) << "painted without the freed list";
  EXPECT_TRUE(ItemType(sub->Handle(), 0) & MFT_OWNERDRAW);
  delete normal;
  EXPECT_EQ(pm->Images(), nullptr);
  EXPECT_FALSE(ItemType(sub->Handle(), 0) & MFT_OWNERDRAW) << "no list left: a plain item";
  // A menu that goes first leaves nothing behind in the list it used.
  auto* gone = new TPopupMenu(f);
  TImageList* later = SolidList(nullptr, 1, kRed);
  gone->SetImages(later);
  delete gone;
  delete later;
  delete f;
}

TEST_F(MenuLib, PopupReportsItsCloseBeforeTheChosenCommandRuns) {
  TForm* f = NewForm();
  f->Show();
  auto* pm = new TPopupMenuEx(f);
  pm->SetImages(SolidList(f, 1, kRed));
  std::vector<std::string> events;
  NewItem(pm->Items, "first", "First", 0, "", [&](TObject*) { events.push_back("command"); });
  pm->OnPopup = [&](TObject*) { events.push_back("popup"); };
  pm->OnDonePopup = [&](TObject*) { events.push_back("done"); };
  int measured = 0;
  f->AddMessageHandler(WM_MEASUREITEM, [&](TMessage&) {
    ++measured;
    return false;
  });
  // The menu's own loop takes the keys: Down highlights the item, Enter chooses.
  PostMessageA(f->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  PostMessageA(f->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  pm->Popup(10, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"popup", "done"}));
  Pump(200);
  EXPECT_EQ(events, (std::vector<std::string>{"popup", "done", "command"}));
  EXPECT_GT(measured, 0) << "the owner-drawn item was measured by the form that owns the menu";
  events.clear();
  PostMessageA(f->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  pm->Popup(10, 10);
  Pump(200);
  EXPECT_EQ(events, (std::vector<std::string>{"popup", "done"})) << "dismissed: closed, no command";
  delete f;
}

TEST_F(MenuLib, HighlightedMenuItemsGiveTheirLongHint) {
  TForm* f = NewForm();
  auto* mm = new TMainMenu(f);
  TMenuItem* top = NewItem(mm->Items, "top", "&File", 0, "File commands");
  TMenuItem* a = NewItem(top, "a", "A", 0, "Open|Opens an archive.");
  NewItem(top, "b", "B", 0, "Closes.");
  // "ポ" ends in the byte of "|": no split inside a double-byte character.
  TMenuItem* c = NewItem(top, "c", "C", 0, "ポップ|ポップアップを開きます。");
  f->SetMenu(mm);
  std::vector<std::string> hints;
  Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
  auto select = [&](WPARAM wp, HMENU m) { SendMessageA(f->Handle(), WM_MENUSELECT, wp, reinterpret_cast<LPARAM>(m)); };
  select(MAKEWPARAM(0, MF_POPUP | MF_HILITE), mm->Handle());
  select(MAKEWPARAM(a->Command(), MF_HILITE), top->Handle());
  select(MAKEWPARAM(c->Command(), MF_HILITE), top->Handle());
  select(MAKEWPARAM(0xF060, MF_HILITE), GetSystemMenu(f->Handle(), FALSE));
  select(MAKEWPARAM(0, 0xFFFF), nullptr);
  Application->OnHint = nullptr;
  EXPECT_EQ(hints, (std::vector<std::string>{"File commands", "Opens an archive.", "ポップアップを開きます。", "", ""}));
  EXPECT_EQ(GetShortHint("ポップ"), "ポップ");
  EXPECT_EQ(GetLongHint("ポップ"), "ポップ");
  delete f;
}

TEST_F(MenuLib, ControlWithShowHintShowsItsShortHintOnHover) {
  TForm* f = NewForm();
  auto* b = new TButton(f, f, "Go");
  b->SetBounds(40, 40, 80, 24);
  b->Hint = "Packs|Packs the chosen files.";
  b->ShowHint = true;
  auto* quiet = new TButton(f, f, "No");
  quiet->SetBounds(140, 40, 80, 24);
  quiet->Hint = "Not shown";
  f->Show();
  HWND tip = f->HintWindow();
  ASSERT_TRUE(tip);
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V1_SIZE;
  ti.hwnd = f->Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(quiet->Handle());
  EXPECT_FALSE(SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti))) << "no ShowHint: no tooltip";
  POINT p{60, 50};
  ClientToScreen(f->Handle(), &p);
  SetCursorPos(p.x, p.y);
  POINT c{20, 10};
  PostMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(c.x, c.y));
  Pump(3000, [&] { return IsWindowVisible(tip) != FALSE; });
  ASSERT_TRUE(IsWindowVisible(tip)) << "no tooltip after hovering";
  char text[64] = {};
  GetWindowTextA(tip, text, sizeof text);
  EXPECT_STREQ(text, "Packs");
  delete f;
}

namespace {
std::vector<std::string> g_help;
LRESULT CALLBACK HelpViewer(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_COPYDATA) return DefWindowProcA(h, msg, wp, lp);
  struct Request {
    WORD size, command;
    LONG data, reserved;
    WORD ofsFilename, ofsData;
  };
  auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
  auto* rq = static_cast<const Request*>(cds->lpData);
  g_help.push_back(std::to_string(rq->command) + " " + std::to_string(rq->data) + " " +
                   (static_cast<const char*>(cds->lpData) + rq->ofsFilename));
  return TRUE;
}
}  // namespace

TEST_F(MenuLib, F1AsksHelpForTheNearestHelpContext) {
  // A help viewer takes the requests as the platform's help call hands them
  // on: WM_COPYDATA to a window of the viewer's class.
  WNDCLASSA wc{};
  wc.lpfnWndProc = HelpViewer;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "MS_WINHELP";
  RegisterClassA(&wc);
  HWND viewer = CreateWindowExA(0, "MS_WINHELP", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(viewer);
  Application->HelpFile = "C:\\Tovix\\tovix.hlp";
  TForm* f = NewForm();
  auto* group = new TPanel(f, f);
  group->HelpContext = 50;
  auto* inGroup = new TEdit(f, group);
  auto* own = new TButton(f, f, "Font");
  own->HelpContext = 24;
  auto* none = new TButton(f, f, "Other");
  f->Show();
  for (TControl* c : std::initializer_list<TControl*>{inGroup, own, none}) {
    PostMessageA(c->Handle(), WM_KEYDOWN, VK_F1, 1);
    Application->ProcessMessages();
  }
  EXPECT_EQ(g_help, (std::vector<std::string>{"1 50 C:\\Tovix\\tovix.hlp", "1 24 C:\\Tovix\\tovix.hlp"}));
  delete f;
  DestroyWindow(viewer);
  Application->HelpFile.clear();
}

TEST_F(MenuLib, EmbossedLabelDrawsItsShadeTwoPixelsRightAndBelow) {
  TForm* f = NewForm();
  auto* label = new TLabel3D(f, f);
  EXPECT_EQ(label->Width(), 96);
  EXPECT_EQ(label->Height(), 24);
  EXPECT_EQ(label->Font().Color(), clWhite);
  EXPECT_EQ(label->ShadeColor(), clBlack);
  TFont font;
  font.SetStyle(fsBold);
  font.SetHeight(-13);
  font.SetColor(clBlack);
  label->SetFont(font);
  label->SetShadeColor(clWhite);
  label->SetCaption("HI");
  Surface s(96, 24);
  RECT all{0, 0, 96, 24};
  HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
  FillRect(s.dc, &all, grey);
  DeleteObject(grey);
  SendMessageA(label->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(s.dc), PRF_CLIENT);
  int black = 0, white = 0, unshaded = 0;
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 94; ++x) {
      COLORREF px = s.At(x, y);
      if (px == RGB(255, 255, 255)) ++white;
      if (px != RGB(0, 0, 0)) continue;
      ++black;
      // Smoothed edges: the shade is lighter than the ground, text darker.
      int shade = GetRValue(s.At(x + 2, y + 2));
      if (shade <= 160 && shade >= 64) ++unshaded;
    }
  EXPECT_GT(black, 0);
  EXPECT_GT(white, 0);
  EXPECT_EQ(unshaded, 0) << "every text pixel has its shade (or more text) 2 pixels right and below";
  EXPECT_EQ(s.At(0, 0), RGB(128, 128, 128)) << "no background of its own";
  // A new caption repaints; a new shade paints at once, leaving nothing to do.
  f->Show();
  UpdateWindow(label->Handle());
  label->SetShadeColor(clBlack);
  EXPECT_FALSE(GetUpdateRect(label->Handle(), nullptr, FALSE));
  label->SetCaption("Vantrel");
  EXPECT_TRUE(GetUpdateRect(label->Handle(), nullptr, FALSE));
  delete f;
}

TEST_F(MenuLib, ArrowButtonSitsOnItsEditsRightBorderAndPicksItsGlyph) {
  bool themedHere = ThemesActive();
  struct Look {
    bool themed;
    int left, width, editWidth, glyph;
  } looks[] = {{false, 179, 15, 80, 0}, {true, 175, 19, 76, 4}};
  for (const Look& look : looks) {
    if (look.themed && !themedHere) continue;  // this prefix has visual styles off
    SCOPED_TRACE(look.themed ? "themed" : "classic");
    HMODULE keep = UxTheme::ThemeModule;
    if (!look.themed) UxTheme::ThemeModule = nullptr;  // as on a system without visual styles
    TForm* f = NewForm();
    auto* edit = new TEdit(f, f);
    edit->SetBounds(100, 10, 80, 21);
    auto* button = new TUpDnButton(f, f);
    button->SetHeight(21);
    button->SetAssociate(edit);
    EXPECT_EQ(button->Left(), look.left);
    EXPECT_EQ(button->Top(), 10);
    EXPECT_EQ(button->Width(), look.width);
    EXPECT_EQ(button->Height(), 21) << "the height is left alone";
    EXPECT_EQ(edit->Width(), look.editWidth);
    EXPECT_EQ(button->Caption(), "");
    EXPECT_EQ(button->GlyphIndex(), look.glyph);
    button->SetEnabled(false);
    EXPECT_EQ(button->GlyphIndex(), look.glyph + 1);
    button->SetUpMode(true);
    EXPECT_EQ(button->GlyphIndex(), look.glyph + 3);
    delete f;
    UxTheme::ThemeModule = keep;
  }
}
