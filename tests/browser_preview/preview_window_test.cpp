// Pictures in the real main window: BMP and ICO decoded by the program, PGM
// and PPM through the plug-in library beside the test, with the halving of
// pictures larger than the pane, and the pane swap of the preview tabs.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "HvDIB.h"
#include "extd.h"
#include "main.h"

namespace {


void Le(std::string& s, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 24-bit BMP file whose pixel (x, y) (from the top) is Colour(x, y).
std::string Bmp(int w, int h, const std::function<COLORREF(int, int)>& Colour) {
  const int row = (w * 3 + 3) / 4 * 4;
  std::string s = "BM";
  Le(s, 54 + row * h, 4);
  Le(s, 0, 4);
  Le(s, 54, 4);
  Le(s, 40, 4);
  Le(s, w, 4);
  Le(s, h, 4);
  Le(s, 1, 2);
  Le(s, 24, 2);
  for (int i = 0; i < 6; ++i) Le(s, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      COLORREF c = Colour(x, y);
      s += {static_cast<char>(GetBValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetRValue(c))};
    }
    s.append(static_cast<size_t>(row - w * 3), '\0');
  }
  return s;
}

std::string Pnm(bool Colour, int w, int h, const std::function<uint8_t(int, int)>& Sample) {
  std::string s = std::string(Colour ? "P6" : "P5") + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < (Colour ? 3 : 1); ++c) s.push_back(static_cast<char>(Sample(x, y)));
  return s;
}

// A one-image 16 x 16 icon file, 32 bits per pixel.
std::string Ico16() {
  std::string img;
  Le(img, 40, 4);
  Le(img, 16, 4);
  Le(img, 32, 4);  // colour and mask rows
  Le(img, 1, 2);
  Le(img, 32, 2);
  for (int i = 0; i < 6; ++i) Le(img, 0, 4);
  for (int i = 0; i < 16 * 16; ++i) Le(img, 0xFF2040C0u, 4);
  img.append(16 * 4, '\0');
  std::string s;
  Le(s, 0, 2);
  Le(s, 1, 2);
  Le(s, 1, 2);
  s += {16, 16, 0, 0};
  Le(s, 1, 2);
  Le(s, 32, 2);
  Le(s, static_cast<uint32_t>(img.size()), 4);
  Le(s, 22, 4);
  return s + img;
}

std::string BinFolder() {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string p = exe;
  return p.substr(0, p.find_last_of('\\'));
}

struct PreviewWindow : ::testing::Test {
  TVantrelbyHalvek* form = nullptr;
  int paneW = 0, paneH = 0;

  static void SetUpTestSuite() {
    SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
    auto* app = new TApplication;
    app->Initialize();
  }
  static void TearDownTestSuite() {
    delete Application;
    SHDeleteKeyA(HKEY_CURRENT_USER, SettingsKeyName().c_str());
  }
  void SetUp() override {
    form = new TVantrelbyHalvek(Application);
    form->SetBounds(0, 0, 800, 600);
    ImageExtensions->Clear();
    ImagePlugins->Clear();
    for (const char* e : {".bmp", ".ico", ".pgm", ".ppm", ".pnm"}) ImageExtensions->Add(e);
    for (const char* p : {"pnmpic.dll", "pnmpic.dll", "no_such_plugin.dll"}) ImagePlugins->Add(BinFolder() + "\\" + p);
    form->PageControl1->SetActivePageIndex(2);
    form->PageControl1Change(nullptr);
    paneW = form->Image1->ClientWidth();
    paneH = form->Image1->ClientHeight();
    ASSERT_GT(paneW, 100);
    ASSERT_GT(paneH, 100);
  }
  void TearDown() override { delete form; }

  // Decodes File as the picture of extension position Position; the size
  // of the bitmap shown, or 0 x 0 for none.
  SIZE Show(int Position, const std::string& File) {
    TMemoryStream s;
    s.Data().assign(File.begin(), File.end());
    form->DecodePicture(Position, s, static_cast<uint32_t>(File.size()));
    BITMAP bm{};
    if (HBITMAP h = form->Image1->Bitmap()) GetObject(h, sizeof bm, &bm);
    return SIZE{bm.bmWidth, bm.bmHeight};
  }
  COLORREF Pixel(int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, form->Image1->Bitmap());
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  }
};

#define EXPECT_SIZE(s, w, h) \
  EXPECT_EQ((s).cx, (w));    \
  EXPECT_EQ((s).cy, (h))

}  // namespace

TEST_F(PreviewWindow, BitmapsFitOrAreHalvedOnce) {
  auto red = [](int, int) { return RGB(200, 0, 0); };
  EXPECT_SIZE(Show(0, Bmp(40, 30, red)), 40, 30);
  EXPECT_EQ(Pixel(5, 5), RGB(200, 0, 0));
  // Larger than the pane: half of each side, even when that is still larger.
  EXPECT_SIZE(Show(0, Bmp(2 * paneW + 10, 2 * paneH + 10, red)), paneW + 5, paneH + 5);
  EXPECT_SIZE(Show(0, Bmp(paneW + 11, 20, red)), (paneW + 11) / 2, 10);
  EXPECT_SIZE(Show(0, Bmp(paneW + 1, 1, red)), (paneW + 1) / 2, 1);
}

TEST_F(PreviewWindow, IconsAreShownAtTheirOwnSize) {
  EXPECT_SIZE(Show(1, Ico16()), 16, 16);
  EXPECT_EQ(Pixel(8, 8), RGB(0x20, 0x40, 0xC0));
}

TEST_F(PreviewWindow, PluginPicturesWithRowsWorkedOutByTheViewer) {
  // 8-bit, 101 pixels wide: rows of 104 bytes, no image size in the header.
  const uint8_t rows[] = {10, 128, 250};
  EXPECT_SIZE(Show(2, Pnm(false, 101, 3, [&](int, int y) { return rows[y]; })), 101, 3);
  EXPECT_EQ(Pixel(0, 0), RGB(10, 10, 10));
  EXPECT_EQ(Pixel(100, 1), RGB(128, 128, 128));
  EXPECT_EQ(Pixel(50, 2), RGB(250, 250, 250));
  EXPECT_SIZE(Show(3, Pnm(true, 10, 12, [](int x, int) { return static_cast<uint8_t>(x * 20); })), 10, 12);
}

TEST_F(PreviewWindow, LargePluginPicturesUseThePreviewCallWhenThereIsOne) {
  auto grey = [](int x, int y) { return static_cast<uint8_t>((x + y) & 0xFF); };
  // Colour: the plug-in's quarter-size thumbnail, shown as it comes.
  const int w = 2 * paneW + 40, h = 2 * paneH + 40;
  EXPECT_SIZE(Show(3, Pnm(true, w, h, grey)), (w + 3) / 4, (h + 3) / 4);
  // Grey: no thumbnail, so the whole picture, halved by the viewer.
  EXPECT_SIZE(Show(2, Pnm(false, w, h, grey)), w / 2, h / 2);
}

TEST_F(PreviewWindow, DamagedPicturesAndMissingPluginsShowNothing) {
  const std::string good = Bmp(8, 8, [](int, int) { return RGB(1, 2, 3); });
  std::string truncated = good.substr(0, 60);
  std::string hugeHeader = good;
  hugeHeader[18] = hugeHeader[19] = hugeHeader[20] = '\x7f';  // width far beyond the file
  const struct {
    int Position;
    std::string File;
  } cases[] = {
      {0, "BM"},
      {0, "BMxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
      {0, truncated},
      {0, hugeHeader},
      {0, ""},
      {1, "\0\0\1\0\1\0garbage"},
      {1, good},
      {2, "P5\n4 4\n255\nab"},
      {3, "P6\n99999 99999\n255\n"},
      {2, good},
      {4, Pnm(false, 4, 4, [](int, int) { return 1; })},  // the plug-in is not there
      {9, good},                                          // no plug-in at that position
  };
  for (const auto& c : cases) {
    Show(0, good);
    ASSERT_NE(form->Image1->Bitmap(), nullptr);
    SIZE s = Show(c.Position, c.File);
    EXPECT_EQ(form->Image1->Bitmap(), nullptr) << c.Position << ": " << c.File.size() << " bytes";
    EXPECT_SIZE(s, 0, 0);
  }
}

TEST_F(PreviewWindow, PreviewTabsSwapThePaneWidths) {
  form->PageControl1->SetActivePageIndex(0);
  form->PageControl1Change(nullptr);
  const int tree = form->PageControl1->Width(), list = form->ListView1->Width();
  ASSERT_LT(tree, list);
  form->PageControl1->SetActivePageIndex(1);
  form->PageControl1Change(nullptr);
  EXPECT_EQ(form->ListView1->Width(), tree);
  EXPECT_EQ(form->PageControl1->Width(), list);
  RECT pane = form->PageControl1->BoundsRect(), rows = form->ListView1->BoundsRect();
  EXPECT_LT(pane.right, rows.left);  // the splitter lies between them
  // From one preview tab to the other nothing moves.
  form->PageControl1->SetActivePageIndex(2);
  form->PageControl1Change(nullptr);
  EXPECT_EQ(form->ListView1->Width(), tree);
  form->PageControl1->SetActivePageIndex(0);
  form->PageControl1Change(nullptr);
  EXPECT_EQ(form->PageControl1->Width(), tree);
  EXPECT_EQ(form->ListView1->Width(), list);
  EXPECT_EQ(form->PageControl1->BoundsRect().left, 0);
}

// ---- the extension dialog

TEST(ExtensionDialog, GroupLinesPatternsAndStoredNames) {
  TStringList images, plugins;
  images.SetCommaText(".bmp,.ico,.jpg,.jpeg,.png,.gif");
  plugins.SetCommaText("a.spi,a.spi,b.spi,a.spi");
  EXPECT_EQ(PluginGroupLines(images, plugins),
            (std::vector<std::string>{".jpg,.jpeg = a.spi", ".png = b.spi", ".gif = a.spi"}));
  EXPECT_EQ(PatternExtensions("*.JPG;*.jpeg"), "jpg,jpeg");
  EXPECT_EQ(PatternExtensions("*.p?m;x-1.Y"), "pm,x1y");
  EXPECT_EQ(PluginStoredName("C:\\WINDOWS\\system32\\IFJpeg.SPI", "c:\\windows\\System32", "C:\\Prog"), "ifjpeg.spi");
  EXPECT_EQ(PluginStoredName("C:\\Prog\\X.spi", "C:\\Windows\\system32", "c:\\prog"), "x.spi");
  EXPECT_EQ(PluginStoredName("D:\\My Plugins\\X.spi", "C:\\Windows\\system32", "C:\\Prog"), "d:\\my plugins\\x.spi");
}

namespace {

// The person at the extension dialog: a second thread that finds the
// dialog and the boxes it opens among this process's windows and works
// their controls with the messages a mouse and keyboard would send.
// Whatever it could not do is written to Faults; a window still open at
// the end is closed, so the dialog's caller always returns.
struct Person {
  std::string Faults;
  std::vector<std::string> Boxes;  // "CAPTION: TEXT" of every message box answered
  std::thread Thread;
  std::atomic<bool> Done{false};

  template <class F>
  explicit Person(F Steps) {
    Thread = std::thread([this, Steps] {
      if (HWND dlg = Wait("TExtDlg", nullptr)) Steps(*this, dlg);
      else Fault("no extension dialog");
      while (!Done) {
        for (const char* cls : {"#32770", "TExtDlg"})
          if (HWND w = Find(cls, nullptr)) PostMessageA(w, WM_CLOSE, 0, 0);
        Sleep(50);
      }
    });
  }
  // Called once the dialog's caller has returned.
  void Join() {
    Done = true;
    Thread.join();
  }
  void Fault(const std::string& f) { Faults += f + "\n"; }

  static HWND Find(const char* Class, HWND Not) {
    struct Search {
      const char* cls;
      HWND skip, found;
    } s{Class, Not, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL CALLBACK {
          auto* s = reinterpret_cast<Search*>(lp);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          char cls[64] = {};
          GetClassNameA(h, cls, sizeof cls);
          if (pid != GetCurrentProcessId() || h == s->skip || !IsWindowVisible(h) || lstrcmpA(cls, s->cls)) return TRUE;
          s->found = h;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
  }
  HWND Wait(const char* Class, HWND Not) {
    for (int i = 0; i < 1000; ++i) {
      if (HWND h = Find(Class, Not)) return h;
      Sleep(10);
    }
    return nullptr;
  }
  static std::string Text(HWND h) {
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
  }
  // The N-th shown control of the class in the dialog, with that caption
  // when one is given.
  HWND Control(HWND Dlg, const char* Class, int N, const char* Caption = nullptr) {
    struct Search {
      const char *cls, *caption;
      int left;
      HWND found;
    } s{Class, Caption, N, nullptr};
    EnumChildWindows(
        Dlg,
        [](HWND h, LPARAM lp) -> BOOL CALLBACK {
          auto* s = reinterpret_cast<Search*>(lp);
          char cls[64] = {};
          GetClassNameA(h, cls, sizeof cls);
          if (!IsWindowVisible(h) || lstrcmpiA(cls, s->cls) || (s->caption && Text(h) != s->caption)) return TRUE;
          if (s->left-- > 0) return TRUE;
          s->found = h;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    if (!s.found) Fault(std::string("no ") + Class + " " + std::to_string(N) + (Caption ? std::string(" ") + Caption : ""));
    return s.found;
  }
  void Type(HWND Dlg, int N, const std::string& T) {
    if (HWND e = Control(Dlg, "Edit", N)) SetWindowTextA(e, T.c_str());
  }
  // A button whose click opens nothing modal: done when this returns.
  void Click(HWND Dlg, const char* Caption, int N = 0) {
    if (HWND b = Control(Dlg, "Button", N, Caption)) SendMessageA(b, BM_CLICK, 0, 0);
  }
  // A button whose click opens a modal window: pressed, not waited for.
  void Press(HWND Dlg, const char* Caption, int N = 0) {
    if (HWND b = Control(Dlg, "Button", N, Caption)) PostMessageA(b, BM_CLICK, 0, 0);
  }
  void Tab(HWND Dlg, int N) {
    HWND tc = Control(Dlg, WC_TABCONTROLA, 0);
    RECT r{};
    if (!tc || !SendMessageA(tc, TCM_GETITEMRECT, static_cast<WPARAM>(N), reinterpret_cast<LPARAM>(&r))) return;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(tc, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tc, WM_LBUTTONUP, 0, at);
  }
  // A click on row Row of the shown list box.
  void Pick(HWND Dlg, int Row) {
    HWND lb = Control(Dlg, "ListBox", 0);
    if (!lb) return;
    SendMessageA(lb, LB_SETCURSEL, static_cast<WPARAM>(Row), 0);
    SendMessageA(GetParent(lb), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(lb), LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb));
  }
  // A double click on row Row of the shown list box.
  void DoubleClick(HWND Dlg, int Row) {
    HWND lb = Control(Dlg, "ListBox", 0);
    RECT r{};
    if (!lb || SendMessageA(lb, LB_GETITEMRECT, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&r)) == LB_ERR) return;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(lb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(lb, WM_LBUTTONUP, 0, at);
    PostMessageA(lb, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(lb, WM_LBUTTONUP, 0, at);
  }
  std::vector<std::string> Rows(HWND Dlg) {
    std::vector<std::string> rows;
    if (HWND lb = Control(Dlg, "ListBox", 0))
      for (int i = 0, n = static_cast<int>(SendMessageA(lb, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        char buf[512] = {};
        SendMessageA(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        rows.push_back(buf);
      }
    return rows;
  }
  // The message box now shown over Dlg: its caption and text noted, OK pressed.
  void Answer(HWND Dlg) {
    HWND box = Wait("#32770", nullptr);
    if (!box || GetWindow(box, GW_OWNER) != Dlg) {
      Fault("no message box over the dialog");
      return;
    }
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    Boxes.push_back(Text(box) + ": " + text);
    Gone(box, IDOK);
  }
  // Sends Command until the window is gone (a press while it is still
  // being set up can be lost).
  void Gone(HWND w, int Command) {
    for (int t = 0; IsWindow(w) && IsWindowVisible(w); t += 10) {
      if (t % 1000 == 0) PostMessageA(w, WM_COMMAND, Command, 0);
      if (t >= 10000) {
        Fault("still open: " + Text(w));
        return;
      }
      Sleep(10);
    }
  }
  void Close(HWND Dlg, const char* Caption) {
    HWND b = Control(Dlg, "Button", 0, Caption);
    for (int t = 0; b && IsWindow(Dlg) && IsWindowVisible(Dlg); t += 10) {
      if (t % 1000 == 0) PostMessageA(b, BM_CLICK, 0, 0);
      if (t >= 10000) {
        Fault(std::string("the dialog stayed after ") + Caption);
        return;
      }
      Sleep(10);
    }
  }
};

}  // namespace

TEST_F(PreviewWindow, ExtensionDialogEditsTheListsOnlyOnOk) {
  TextExtensions->SetCommaText(".txt");
  ImageExtensions->SetCommaText(".bmp,.ico,.pgm");
  ImagePlugins->SetCommaText("pnmpic.dll");
  // Cancel keeps everything.
  std::vector<std::string> rows;
  Person cancel([&](Person& p, HWND dlg) {
    p.Type(dlg, 0, "TXT");
    p.Click(dlg, "追加");
    p.Pick(dlg, 0);
    p.Click(dlg, "削除");
    rows = p.Rows(dlg);
    p.Close(dlg, "キャンセル");
  });
  form->E1Click(nullptr);
  cancel.Join();
  EXPECT_EQ(cancel.Faults, "");
  EXPECT_EQ(rows, std::vector<std::string>{".txt"});
  EXPECT_EQ(TextExtensions->GetCommaText(), ".txt");

  // Two extensions for one plug-in make one line and two entries; the
  // fixed ones cannot be removed; picking reads the plug-in's patterns; a
  // plug-in that is not there is named when its line is double-clicked.
  std::vector<std::string> added, kept;
  std::string picked;
  Person ok([&](Person& p, HWND dlg) {
    p.Type(dlg, 0, "TXT");
    p.Click(dlg, "追加");
    p.Type(dlg, 0, "");
    p.Press(dlg, "追加");
    p.Answer(dlg);
    p.Tab(dlg, 1);
    p.Type(dlg, 0, "JPG, jpeg");
    p.Type(dlg, 1, "IFJpeg.SPI");
    p.Click(dlg, "追加");
    added = p.Rows(dlg);
    p.Type(dlg, 0, ".bmp");
    p.Type(dlg, 1, "x.spi");
    p.Click(dlg, "追加");
    p.Pick(dlg, 2);
    p.Click(dlg, "削除");
    kept = p.Rows(dlg);
    // The button beside the plug-in field opens the file dialog.
    p.Press(dlg, "");
    if (HWND open = p.Wait("#32770", nullptr)) {
      HWND name = GetDlgItem(open, 0x47c);
      while (HWND inner = FindWindowExA(name, nullptr, nullptr, nullptr)) name = inner;
      SetWindowTextA(name, (BinFolder() + "\\pnmpic.dll").c_str());
      p.Gone(open, IDOK);
    } else {
      p.Fault("no file dialog");
    }
    for (int i = 0; i < 500 && Person::Text(p.Control(dlg, "Edit", 1)).empty(); ++i) Sleep(10);
    picked = Person::Text(p.Control(dlg, "Edit", 0)) + " = " + Person::Text(p.Control(dlg, "Edit", 1));
    // The plug-in that is there opens its own settings (this one has none);
    // the box that follows is about the one that is not.
    p.DoubleClick(dlg, 0);
    p.DoubleClick(dlg, 1);
    p.Answer(dlg);
    p.Type(dlg, 1, "");
    p.Press(dlg, "追加");
    p.Answer(dlg);
    p.Close(dlg, "OK");
  });
  form->E1Click(nullptr);
  ok.Join();
  EXPECT_EQ(ok.Faults, "");
  EXPECT_EQ(added, (std::vector<std::string>{".pgm = pnmpic.dll", ".jpg,.jpeg = ifjpeg.spi"}));
  EXPECT_EQ(kept, added);
  EXPECT_EQ(picked, "pgm,ppm,pnm = pnmpic.dll");
  EXPECT_EQ(ok.Boxes, (std::vector<std::string>{"Tovix: 拡張子が設定されていません.", "tovix: ifjpeg.spi が見つかりません。",
                                                "Tovix: plug-inが設定されていません."}));
  EXPECT_EQ(TextExtensions->GetCommaText(), ".txt,.txt");
  EXPECT_EQ(ImageExtensions->GetCommaText(), ".bmp,.ico,.pgm,.jpg,.jpeg");
  EXPECT_EQ(ImagePlugins->GetCommaText(), "pnmpic.dll,ifjpeg.spi,ifjpeg.spi");
}

// An extension in two groups: removing a line removes that line's entries,
// whichever group names the extension first.
TEST_F(PreviewWindow, ExtensionDialogRemovesExactlyTheChosenLine) {
  struct {
    std::vector<int> lines;  // removed one after the other
    const char* images;
    const char* plugins;
  } cases[] = {
      {{1}, ".bmp,.ico,.pnm,.jpg", "a.spi,a.spi"},
      {{0}, ".bmp,.ico,.pnm", "b.spi"},
      {{1, 0}, ".bmp,.ico", ""},
  };
  for (auto& c : cases) {
    ImageExtensions->SetCommaText(".bmp,.ico,.pnm,.jpg,.pnm");
    ImagePlugins->SetCommaText("a.spi,a.spi,b.spi");
    Person p([&](Person& p, HWND dlg) {
      p.Tab(dlg, 1);
      for (int line : c.lines) {
        p.Pick(dlg, line);
        p.Click(dlg, "削除");
      }
      p.Close(dlg, "OK");
    });
    form->E1Click(nullptr);
    p.Join();
    EXPECT_EQ(p.Faults, "") << c.images;
    EXPECT_EQ(ImageExtensions->GetCommaText(), c.images) << c.lines.size();
    EXPECT_EQ(ImagePlugins->GetCommaText(), c.plugins) << c.lines.size();
  }
}
