// The previews' text conversions, and the picture plug-in as the viewer
// calls it: loaded from the program's folder, asked through its exports.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "main.h"
#include "preview.h"

namespace {

constexpr size_t kLimit = 32768;

// A zero-filled preview buffer with Text at its start.
std::vector<char> Buffer(const std::string& Text, size_t Limit = kLimit) {
  std::vector<char> b(Limit + 1, '\0');
  std::memcpy(b.data(), Text.data(), Text.size() < Limit ? Text.size() : Limit);
  return b;
}

}  // namespace

TEST(PreviewKinds, ExtensionsDecideTextAndDocumentKind) {
  TextExtensions = new TStringList;
  TextExtensions->SetCommaText(".txt,.doc,.htm");
  EXPECT_TRUE(IsTextEntry("readme"));
  EXPECT_TRUE(IsTextEntry("A.TXT"));
  EXPECT_FALSE(IsTextEntry("a.bmp"));
  EXPECT_FALSE(IsTextEntry("archive.txt.gz"));
  delete TextExtensions;
  TextExtensions = nullptr;
  struct { const char* Name; int Kind; } cases[] = {
      {"a.doc", 1}, {"B.RTF", 1}, {"x.htm", 2}, {"x.Html", 2}, {"x.txt", 0}, {"doc", 0}, {"a.docx", 0}};
  for (auto& c : cases) EXPECT_EQ(GetDocumentKind(c.Name), c.Kind) << c.Name;
}

TEST(PreviewText, PlainTextEndsLinesWithCrLfStopsAtZeroAndIsCut) {
  const std::string sj = "\x93\xfa\x96\x7b\x8c\xea";  // three Shift-JIS characters
  auto b = Buffer(sj + "\r\nLF only\nend\n\nz");
  EXPECT_EQ(preview::PlainText(b.data(), kLimit), sj + "\r\nLF only\r\nend\r\n\r\nz");
  b = Buffer(std::string("ab\0cd", 5));
  EXPECT_EQ(preview::PlainText(b.data(), kLimit), "ab");
  // A buffer full of LF doubles, and is cut at the limit.
  std::string lf(kLimit, '\n');
  b = Buffer(lf);
  const std::string t = preview::PlainText(b.data(), kLimit);
  EXPECT_EQ(t.size(), kLimit);
  EXPECT_EQ(t.substr(0, 4), "\r\n\r\n");
  EXPECT_EQ(preview::MemoLines("a\rb\nc\r\nd"), "a\r\nb\r\nc\r\nd");
}

TEST(PreviewText, HtmlToText) {
  struct { const char* Html; const char* Text; } cases[] = {
      {"first line is lost\nkept", "kept"},
      {"<html>\n<ul><li>one<li>two</ul>", "\r\n\r\n * one\r\n * two"},
      {"\n<ol type=1><li>a<ul><li>b</ul></ol>", "\r\n\r\n * a\r\n\r\n  * b"},
      {"\n<li>no list", "no list"},
      {"\nA&amp;B &LT;&gt; &quot;q&quot;&nbsp;&copy;&reg;&bogus;x", "A&B <> \"q\" (C)(R)bogus;x"},
      {"\n<p>para</p>next<br>line", "\r\n\r\npara\r\n\r\nnext\r\nline"},
      {"\n<P class=\"a>b\">x", "\r\n\r\nx"},
      {"\n<!-- <b>hidden</b> -->shown", "shown"},
      {"\n<table border=1><tr><td>a</td><td>b</td></tr></table>after",
       "\r\n==\r\n,\"a\",\"b\"\r\n==\r\nafter"},
      {"\n<table><tr><td>x<br>y<p>z</td></tr></table>", "\r\n==\r\n,\"xyz\"\r\n==\r\n"},
      {"\n<pre>a\nb</pre>c\nd", "a\r\nbcd"},
      {"\n<h1>T</h1>x<hr>y", "T\r\nx\r\n--\r\ny"},
      {"\n<dl><dt>term<dd>def</dl>", "\r\nterm\r\n def"},
      {"\n<title>Name</title>", "Name"},
      {"\n<a href=\"x>y\">link</a>", "link"},
      // A second byte that is a markup character in ASCII is part of the character.
      {"\n\x83\x3e\x81\x3c!", "\x83\x3e\x81\x3c!"},
  };
  for (auto& c : cases) {
    auto b = Buffer(c.Html);
    EXPECT_EQ(preview::HtmlText(b.data(), kLimit), c.Text) << c.Html;
  }
  // Shift-JIS text is copied whole; inside a tag it is dropped.
  auto b = Buffer("\n\x93\xfa<a title=\x96\x7b>\x8c\xea");
  EXPECT_EQ(preview::HtmlText(b.data(), kLimit), "\x93\xfa\x8c\xea");
  // The output never passes the limit.
  std::string many = "\n";
  for (int i = 0; i < 20000; ++i) many += "<hr>";
  b = Buffer(many);
  EXPECT_EQ(preview::HtmlText(b.data(), kLimit).size(), kLimit);
}

TEST(PreviewText, RtfToText) {
  struct { const char* Rtf; const char* Text; } cases[] = {
      {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil MS Mincho;}}{\\colortbl;\\red0\\green0\\blue0;}"
       "\\pard\\plain Hello\\par\r\nWorld}",
       "Hello\r\nWorld"},
      {"{\\rtf1 a\\tab b\\cell c\\row d}", "a\tb\t c\r\nd"},
      {"{\\rtf1 \\'82\\'a0\\'82\\'A2}", "\x82\xa0\x82\xa2"},
      {"{\\rtf1 x{\\*\\generator Writer;}y}", "xy"},
      {"{\\rtf1 {\\info{\\title T}{\\author A}}body}", "body"},
      {"{\\rtf1 {\\header page {\\b 1}}text}", "text"},
      {"{\\rtf1 a\\{b\\}c\\\\d}", "a{b}c\\d"},
      {"{\\rtf1 x{\\pict\\wmetafile8 0102\\{ff}y}", "xy"},
      // A footnote's double-byte text may hold a brace as its second byte.
      {"{\\rtf1 a{\\footnote \x83\x7d more}b}", "ab"},
      {"{\\rtf1 \\b bold\\b0 plain}", "boldplain"},
  };
  for (auto& c : cases) {
    auto b = Buffer(c.Rtf);
    EXPECT_EQ(preview::DocumentText(b.data(), kLimit), c.Text) << c.Rtf;
  }
  auto b = Buffer("no rtf\nline");
  EXPECT_EQ(preview::DocumentText(b.data(), kLimit), "no rtf\r\nline");
}

namespace {

void Put16(std::vector<char>& b, size_t at, const std::wstring& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    b[at + 2 * i] = static_cast<char>(text[i] & 0xFF);
    b[at + 2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
}

std::vector<char> CompoundFile() {
  std::vector<char> b(kLimit + 1, '\0');
  const char magic[] = "\xD0\xCF\x11\xE0";
  std::memcpy(b.data(), magic, 4);
  return b;
}

}  // namespace

TEST(PreviewText, WordDocumentWithTwoByteText) {
  auto b = CompoundFile();
  Put16(b, 1152, L"WordDocument");
  // Records from 2048; the text follows the one marked 0F 10.
  b[2048 + 16 * 3 + 12] = 0x0F;
  b[2048 + 16 * 3 + 13] = 0x10;
  size_t at = 2048 + 16 * 4;
  const unsigned char pairs[] = {'H', 0, 'i', 0, 0xfa, 0x93, 13, 0, 9, 0, 0xb1, 0, 1, 0, 0x20, 0x81, 'z', 0};
  std::memcpy(b.data() + at, pairs, sizeof pairs);
  EXPECT_EQ(preview::DocumentText(b.data(), kLimit), "Hi\x93\xfa\r\n\t\xb1z");
  // Without the name: W2b when the header area is clear and text starts at 1280.
  b = CompoundFile();
  const unsigned char text[] = {'a', 0, 'b', 0, 'c', 0, 13, 0};
  std::memcpy(b.data() + 1280, text, sizeof text);
  EXPECT_EQ(preview::DocumentText(b.data(), kLimit), "abc\r\n");
}

TEST(PreviewText, WordDocumentPiecesOfEightAndSixteenBitCharacters) {
  // 8-bit: an odd piece length.
  auto b = CompoundFile();
  const std::string piece = std::string("Hello\x07\x07x\x13hidden\x14y\x92s\x07q") + "\x01\x02";
  const uint32_t endOfText = static_cast<uint32_t>(1536 + piece.size() - 512);
  std::memcpy(b.data() + 540, &endOfText, 4);
  std::memcpy(b.data() + 1536, piece.data(), piece.size());
  ASSERT_EQ(piece.size() % 2, 1u);
  EXPECT_EQ(preview::DocumentText(b.data(), kLimit), "Hello\r\nxy's\tq");
  // 16-bit: an even piece of UTF-16 text, shown in the code page.
  b = CompoundFile();
  const std::wstring wide = L"\u65e5\u672c\u3007\x07\x07z\x13skip\x15!";
  const uint32_t wideEnd = static_cast<uint32_t>(1536 + 2 * wide.size() - 512);
  std::memcpy(b.data() + 540, &wideEnd, 4);
  Put16(b, 1536, wide);
  EXPECT_EQ(preview::DocumentText(b.data(), kLimit), "\x93\xfa\x96\x7b\x81\x5a\r\nz!");
}

// ---- the picture plug-in

namespace {

#pragma pack(push, 1)
struct PictureInfo {
  LONG Left, Top, Width, Height;
  WORD XDensity, YDensity;
  SHORT ColorDepth;
  HLOCAL Info;
};
#pragma pack(pop)
using GetInfoFn = int(WINAPI*)(LPCSTR, LONG, UINT, PictureInfo*);
using GetPictureFn = int(WINAPI*)(LPCSTR, LONG, UINT, HANDLE*, HANDLE*, void*, LONG_PTR);
using PluginInfoFn = int(WINAPI*)(int, LPSTR, int);

struct Plugin : ::testing::Test {
  HMODULE dll = LoadLibraryA("pnmpic.dll");
  void TearDown() override {
    if (dll) FreeLibrary(dll);
  }
  template <class F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  }
  // Calls GetPicture or GetPreview; Header and Bits get the blocks' bytes.
  int Picture(const char* entry, const std::string& file, std::vector<uint8_t>& header, std::vector<uint8_t>& bits) {
    HANDLE hi = nullptr, hb = nullptr;
    int r = Get<GetPictureFn>(entry)(file.data(), static_cast<LONG>(file.size()), 1, &hi, &hb, nullptr, 0);
    header.clear();
    bits.clear();
    for (auto [h, v] : {std::pair{hi, &header}, std::pair{hb, &bits}}) {
      if (!h) continue;
      auto* p = static_cast<uint8_t*>(LocalLock(h));
      v->assign(p, p + LocalSize(h));
      LocalUnlock(h);
      LocalFree(h);
    }
    return r;
  }
};

}  // namespace

TEST_F(Plugin, ExportsTheFiveEntriesAndDescribesItself) {
  ASSERT_NE(dll, nullptr);
  for (const char* e : {"GetPluginInfo", "GetPictureInfo", "GetPicture", "GetPreview", "ConfigurationDlg"})
    EXPECT_NE(GetProcAddress(dll, e), nullptr) << e;
  char buf[64];
  EXPECT_EQ(Get<PluginInfoFn>("GetPluginInfo")(0, buf, sizeof buf), 4);
  EXPECT_STREQ(buf, "00IN");
  Get<PluginInfoFn>("GetPluginInfo")(2, buf, sizeof buf);
  EXPECT_STREQ(buf, "*.pgm;*.ppm;*.pnm");
  EXPECT_EQ(Get<PluginInfoFn>("GetPluginInfo")(1, buf, 5), 4);
  EXPECT_EQ(Get<PluginInfoFn>("GetPluginInfo")(9, buf, sizeof buf), 0);
}

TEST_F(Plugin, GreyPictureWithCommentAndScaledSamples) {
  ASSERT_NE(dll, nullptr);
  // 3 x 2, maximum 15: samples are scaled to 0..255.
  const std::string pgm = std::string("P5\n# made by hand\n3 2\n15\n") + std::string("\x00\x0f\x05\x0a\x0f\x00", 6);
  PictureInfo info{};
  ASSERT_EQ(Get<GetInfoFn>("GetPictureInfo")(pgm.data(), static_cast<LONG>(pgm.size()), 1, &info), 0);
  EXPECT_EQ(info.Width, 3);
  EXPECT_EQ(info.Height, 2);
  EXPECT_EQ(info.ColorDepth, 8);
  ASSERT_NE(info.Info, nullptr);
  EXPECT_STREQ(static_cast<const char*>(LocalLock(info.Info)), "made by hand");
  LocalUnlock(info.Info);
  LocalFree(info.Info);
  std::vector<uint8_t> h, b;
  // No thumbnails of grey pictures: the viewer scales them.
  EXPECT_EQ(Picture("GetPreview", pgm, h, b), -1);
  EXPECT_TRUE(h.empty() && b.empty());
  ASSERT_EQ(Picture("GetPicture", pgm, h, b), 0);
  ASSERT_GE(h.size(), 40u + 1024u);
  BITMAPINFOHEADER bh;
  std::memcpy(&bh, h.data(), sizeof bh);
  EXPECT_EQ(bh.biWidth, 3);
  EXPECT_EQ(bh.biHeight, 2);
  EXPECT_EQ(bh.biBitCount, 8);
  EXPECT_EQ(bh.biClrUsed, 256u);
  EXPECT_EQ(bh.biSizeImage, 0u);
  // Rows of 4 bytes, the last picture row first.
  ASSERT_GE(b.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8), (std::vector<uint8_t>{170, 255, 0, 0, 0, 255, 85, 0}));
}

TEST_F(Plugin, ColourPictureAndItsThumbnail) {
  ASSERT_NE(dll, nullptr);
  // 8 x 8, pixel (x, y) = (x, y, 7): the thumbnail keeps every fourth.
  std::string ppm = "P6 8 8 255\n";
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ppm += {static_cast<char>(x), static_cast<char>(y), 7};
  std::vector<uint8_t> h, b;
  ASSERT_EQ(Picture("GetPicture", ppm, h, b), 0);
  BITMAPINFOHEADER bh;
  std::memcpy(&bh, h.data(), sizeof bh);
  EXPECT_EQ(bh.biBitCount, 24);
  EXPECT_EQ(h.size(), 40u);
  // Bottom row first, blue green red.
  EXPECT_EQ(b[0], 7);
  EXPECT_EQ(b[1], 7);
  EXPECT_EQ(b[2], 0);
  ASSERT_EQ(Picture("GetPreview", ppm, h, b), 0);
  std::memcpy(&bh, h.data(), sizeof bh);
  EXPECT_EQ(bh.biWidth, 2);
  EXPECT_EQ(bh.biHeight, 2);
  // Top-left of the thumbnail is picture (0, 0), in the last DIB row.
  const size_t row = 8;
  EXPECT_EQ(b[row + 0], 7);
  EXPECT_EQ(b[row + 1], 0);
  EXPECT_EQ(b[row + 2], 0);
  EXPECT_EQ(b[row + 3 + 2], 4);  // (4, 0)
  EXPECT_EQ(b[1], 4);            // (0, 4)
}

TEST_F(Plugin, DamagedAndHostileFilesAreRefusedWithoutBlocks) {
  ASSERT_NE(dll, nullptr);
  const std::string cases[] = {
      "",
      "BM not a pnm",
      "P5\n3 2\n255\n\x01\x02",          // samples missing
      "P5\n0 2\n255\n",                  // no width
      "P5\n3 2\n65535\n",                // two-byte samples
      "P6\n99999 99999\n255\n",          // far too large
      "P6\n16777215 16777215\n255\n",
      "P5 3",
      "P3\n1 1\n255\n1 2 3\n",           // text form
  };
  for (const std::string& c : cases) {
    std::vector<uint8_t> h, b;
    EXPECT_GT(Picture("GetPicture", c, h, b), 0) << c;
    EXPECT_TRUE(h.empty() && b.empty()) << c;
    PictureInfo info{};
    const int r = Get<GetInfoFn>("GetPictureInfo")(c.data(), static_cast<LONG>(c.size()), 1, &info);
    if (c.rfind("P5\n3 2\n255", 0) != 0) {
      EXPECT_NE(r, 0) << c;  // the header alone is fine
    }
  }
}

TEST_F(Plugin, ReadsAFileFromAnOffset) {
  ASSERT_NE(dll, nullptr);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "pnmpic_test_" + std::to_string(GetCurrentProcessId()) + ".bin";
  const std::string data = std::string("junk") + "P5 2 1 255\n\x10\x20";
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &put, nullptr);
  CloseHandle(f);
  PictureInfo info{};
  EXPECT_EQ(Get<GetInfoFn>("GetPictureInfo")(path.c_str(), 4, 0, &info), 0);
  EXPECT_EQ(info.Width, 2);
  EXPECT_NE(Get<GetInfoFn>("GetPictureInfo")(path.c_str(), 0, 0, &info), 0);
  DeleteFileA(path.c_str());
}
