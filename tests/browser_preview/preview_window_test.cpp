// Pictures in the real main window: BMP and ICO decoded by the program, PGM
// and PPM through the plug-in library beside the test, with the halving of
// pictures larger than the pane, and the pane swap of the preview tabs.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <cstring>
#include <functional>
#include <string>

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
    _putenv_s("TOVIX_ANSWERS", "none=1");
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

TEST_F(PreviewWindow, ExtensionDialogEditsTheListsOnlyOnOk) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string trace = std::string(temp) + "extd_trace_" + std::to_string(GetCurrentProcessId()) + ".txt";
  DeleteFileA(trace.c_str());
  _putenv_s("TOVIX_TRACE", trace.c_str());
  TextExtensions->SetCommaText(".txt");
  ImageExtensions->SetCommaText(".bmp,.ico,.pgm");
  ImagePlugins->SetCommaText("pnmpic.dll");
  // Cancel keeps everything.
  _putenv_s("TOVIX_ANSWERS", "extdlg=edit1:TXT~add1~del1:0~cancel");
  form->E1Click(nullptr);
  EXPECT_EQ(TextExtensions->GetCommaText(), ".txt");
  // Two extensions for one plug-in make one line and two entries; the
  // fixed ones cannot be removed; picking reads the plug-in's patterns.
  const std::string pick = "dialog:OpenDialog1=" + BinFolder() + "\\pnmpic.dll";
  _putenv_s("TOVIX_ANSWERS", ("extdlg=edit1:TXT~add1~edit1:~add1~edit2:JPG, jpeg~edit3:IFJpeg.SPI~add3~"
                              "edit2:.bmp~edit3:x.spi~add3~del3:2~pick~config:0~config:1~edit3:~add3~ok;" + pick)
                                 .c_str());
  form->E1Click(nullptr);
  EXPECT_EQ(TextExtensions->GetCommaText(), ".txt,.txt");
  EXPECT_EQ(ImageExtensions->GetCommaText(), ".bmp,.ico,.pgm,.jpg,.jpeg");
  EXPECT_EQ(ImagePlugins->GetCommaText(), "pnmpic.dll,ifjpeg.spi,ifjpeg.spi");
  std::ifstream f(trace);
  std::string t((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_NE(t.find("extdlg add3 | .txt,.txt | .pgm = pnmpic.dll / .jpg,.jpeg = ifjpeg.spi\n"), std::string::npos) << t;
  EXPECT_NE(t.find("extdlg picked pgm,ppm,pnm = pnmpic.dll\n"), std::string::npos) << t;
  EXPECT_NE(t.find("extdlg configure pnmpic.dll\n"), std::string::npos) << t;
  EXPECT_NE(t.find("ifjpeg.spi が見つかりません。"), std::string::npos) << t;
  EXPECT_NE(t.find("拡張子が設定されていません."), std::string::npos) << t;
  EXPECT_NE(t.find("plug-inが設定されていません."), std::string::npos) << t;
  _putenv_s("TOVIX_TRACE", "");
  _putenv_s("TOVIX_ANSWERS", "none=1");
  DeleteFileA(trace.c_str());
}

// An extension in two groups: removing a line removes that line's entries,
// whichever group names the extension first.
TEST_F(PreviewWindow, ExtensionDialogRemovesExactlyTheChosenLine) {
  struct {
    const char* steps;
    const char* images;
    const char* plugins;
  } cases[] = {
      {"extdlg=del3:1~ok", ".bmp,.ico,.pnm,.jpg", "a.spi,a.spi"},
      {"extdlg=del3:0~ok", ".bmp,.ico,.pnm", "b.spi"},
      {"extdlg=del3:1~del3:0~ok", ".bmp,.ico", ""},
  };
  for (auto& c : cases) {
    ImageExtensions->SetCommaText(".bmp,.ico,.pnm,.jpg,.pnm");
    ImagePlugins->SetCommaText("a.spi,a.spi,b.spi");
    _putenv_s("TOVIX_ANSWERS", c.steps);
    form->E1Click(nullptr);
    EXPECT_EQ(ImageExtensions->GetCommaText(), c.images) << c.steps;
    EXPECT_EQ(ImagePlugins->GetCommaText(), c.plugins) << c.steps;
  }
  _putenv_s("TOVIX_ANSWERS", "none=1");
}
