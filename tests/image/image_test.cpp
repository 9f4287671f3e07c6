// The DIB image library on real GDI: BMP and CF_DIB transfer, the
// converters, THvDIB and its canvas. Fixtures are built here byte by byte;
// image_magick.sh adds files written by ImageMagick (HVIMAGE_FIXTURES).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

#include "Clipbrd.h"
#include "HvDIB.h"

namespace {

using Bytes = std::vector<BYTE>;

// A BMP file with a 40-byte header; everything can be bent for bad input.
struct Bmp {
  int32_t w = 1, h = 1;
  WORD bits = 8;
  DWORD comp = BI_RGB;
  std::vector<RGBQUAD> colors;
  std::vector<DWORD> masks;
  Bytes pixels;
  int64_t clrUsed = -1;  // -1: the table's length
  int64_t offDelta = 0, sizeDelta = 0;
  DWORD sizeImage = 0;
  DWORD headerSize = 40;

  Bytes File() const {
    Bytes out;
    auto u16 = [&](uint32_t v) { out.push_back(BYTE(v)), out.push_back(BYTE(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    uint32_t off = uint32_t(54 + 4 * masks.size() + 4 * colors.size() + offDelta);
    u16(0x4D42);
    u32(uint32_t(off + pixels.size() + sizeDelta));
    u32(0);
    u32(off);
    u32(headerSize);
    u32(w), u32(h), u16(1), u16(bits), u32(comp), u32(sizeImage), u32(3780), u32(3780);
    u32(clrUsed < 0 ? uint32_t(colors.size()) : uint32_t(clrUsed));
    u32(0);
    for (DWORD m : masks) u32(m);
    for (RGBQUAD c : colors) out.insert(out.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, 0});
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

// Rows of indices or of packed 24-bit values, padded, in storage order.
Bytes Pack(int bits, const std::vector<std::vector<int>>& rows) {
  Bytes out;
  for (const auto& r : rows) {
    Bytes row(static_cast<size_t>(DIBRowBytes(int64_t(bits == 24 ? r.size() : r.size()), bits)));
    for (size_t x = 0; x < r.size(); ++x) {
      if (bits == 8) row[x] = BYTE(r[x]);
      if (bits == 4) row[x / 2] |= BYTE(r[x] << ((x & 1) ? 0 : 4));
      if (bits == 1) row[x / 8] |= BYTE((r[x] & 1) << (7 - x % 8));
      if (bits == 24) row[3 * x] = BYTE(r[x]), row[3 * x + 1] = BYTE(r[x] >> 8), row[3 * x + 2] = BYTE(r[x] >> 16);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

RGBQUAD Q(int r, int g, int b) { return {BYTE(b), BYTE(g), BYTE(r), 0}; }
std::vector<RGBQUAD> Gray(int n) {
  std::vector<RGBQUAD> t;
  for (int i = 0; i < n; ++i) t.push_back(Q(i * 255 / (n - 1), i * 255 / (n - 1), i * 255 / (n - 1)));
  return t;
}

void Load(THvDIB& dib, const Bytes& file) {
  TMemoryStream s;
  s.Data() = file;
  dib.LoadFromStream(&s);
}

Bytes Save(THvDIB& dib) {
  TMemoryStream s;
  dib.SaveToStream(&s);
  return s.Data();
}

const THvDIBData& D(const THvDIB& dib) { return dib.InternalDIB().Data; }

// 0xRRGGBB of a pixel in storage order, whatever the format.
int PixelAt(const THvDIB& dib, int x, int y) {
  const THvDIBData& d = D(dib);
  int bits = d.Header.biBitCount;
  const BYTE* row = d.Bits + y * DIBRowBytes(d.Header.biWidth, bits);
  if (bits == 24) return row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
  int i = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
  RGBQUAD q = d.Colors[i];
  return q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

int IndexAt(const THvDIB& dib, int x, int y) {
  const THvDIBData& d = D(dib);
  int bits = d.Header.biBitCount;
  const BYTE* row = d.Bits + y * DIBRowBytes(d.Header.biWidth, bits);
  return bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
}

std::vector<int> AllPixels(const THvDIB& dib) {
  std::vector<int> v;
  for (int y = 0; y < dib.InternalDIB().Height; ++y)
    for (int x = 0; x < dib.InternalDIB().Width; ++x) v.push_back(PixelAt(dib, x, y));
  return v;
}

template <class E>
void ExpectRaises(const std::function<void()>& f, const std::string& text) {
  try {
    f();
    ADD_FAILURE() << "nothing raised, wanted: " << text;
  } catch (const E& e) {
    EXPECT_EQ(text, e.what());
  } catch (const std::exception& e) {
    ADD_FAILURE() << "wrong exception: " << e.what() << ", wanted: " << text;
  }
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A 24 x 3 picture of eight colours with runs and changes, as indices.
std::vector<int> Runs(std::initializer_list<std::pair<int, int>> runs) {
  std::vector<int> v;
  for (auto [value, count] : runs) v.insert(v.end(), count, value);
  return v;
}
const std::vector<std::vector<int>> kIndexRows = {Runs({{0, 6}, {1, 1}, {2, 1}, {3, 8}, {4, 8}}),
                                                  Runs({{4, 1}, {5, 1}, {6, 1}, {7, 21}}),
                                                  Runs({{1, 5}, {2, 10}, {0, 4}, {5, 5}})};
std::vector<RGBQUAD> Corners() {
  std::vector<RGBQUAD> t;
  for (int i = 0; i < 8; ++i) t.push_back(Q(i & 4 ? 255 : 0, i & 2 ? 255 : 0, i & 1 ? 255 : 0));
  return t;
}

THvDIB* MakeIndexed(int bits) {
  auto* dib = new THvDIB;
  Bmp b;
  b.w = 24, b.h = 3, b.bits = WORD(bits), b.colors = Corners();
  b.pixels = Pack(bits, kIndexRows);
  Load(*dib, b.File());
  return dib;
}

}  // namespace

namespace {
// A 24-bit DIB section bitmap to draw on and read back.
struct Target {
  TBitmap bmp;
  Target(int w, int h) {
    bmp.SetPixelFormat(pf24bit);
    bmp.SetWidth(w);
    bmp.SetHeight(h);
    PatBlt(bmp.Canvas()->Handle(), 0, 0, w, h, WHITENESS);
  }
  int At(int x, int y) {
    COLORREF c = GetPixel(bmp.Canvas()->Handle(), x, y);
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }
};
}  // namespace

// --- files ----------------------------------------------------------------

TEST(BmpFile, RoundTripsByteExact) {
  struct Case {
    const char* name;
    Bmp bmp;
  };
  Bmp full8;
  full8.w = 7, full8.h = 3, full8.colors = Gray(256), full8.pixels = Pack(8, kIndexRows);
  Bmp mono;
  mono.w = 9, mono.h = 2, mono.bits = 1, mono.colors = Gray(2), mono.pixels = Pack(1, {{1, 0, 1, 1, 0, 0, 1, 0, 1}, {0, 1, 0, 0, 1, 1, 0, 1, 0}});
  Bmp four;
  four.w = 7, four.h = 3, four.bits = 4, four.colors = Gray(16), four.pixels = Pack(4, kIndexRows);
  Bmp topDown;
  topDown.w = 3, topDown.h = -2, topDown.bits = 24, topDown.pixels = Pack(24, {{0x112233, 0x445566, 0x778899}, {1, 2, 3}});
  Bmp rle8;
  rle8.w = 4, rle8.h = 2, rle8.comp = BI_RLE8, rle8.colors = Gray(4),
  rle8.pixels = {4, 1, 0, 0, 0, 4, 0, 1, 2, 3, 0, 0, 0, 1};
  rle8.sizeImage = 14;
  for (const Case& c : {Case{"8 bits", full8}, Case{"1 bit", mono}, Case{"4 bits", four},
                        Case{"top-down 24 bits", topDown}, Case{"RLE8", rle8}}) {
    SCOPED_TRACE(c.name);
    THvDIB dib;
    Load(dib, c.bmp.File());
    EXPECT_EQ(c.bmp.File(), Save(dib));
    // A store on the heap instead of a page-file mapping behaves the same.
    THvInternalDIB heap(false);
    TMemoryStream in, out;
    in.Data() = c.bmp.File();
    heap.LoadFromStream(&in);
    heap.SaveToStream(&out);
    EXPECT_EQ(nullptr, heap.Data.MappingHandle);
    EXPECT_EQ(c.bmp.File(), out.Data());
  }
  THvDIB dib;
  Load(dib, topDown.File());
  EXPECT_EQ(2, dib.Height());
  EXPECT_EQ(-2, D(dib).Header.biHeight);
}

TEST(BmpFile, FillsDefaultsAndExpandsOldHeaders) {
  // biClrUsed 0 on an 8-bit file means 256 colours, and so it is saved.
  Bmp b;
  b.colors = Gray(256), b.clrUsed = 0, b.pixels = {7, 0, 0, 0};
  THvDIB dib;
  Load(dib, b.File());
  EXPECT_EQ(256u, D(dib).Header.biClrUsed);
  Bytes saved = Save(dib);
  EXPECT_EQ(54u + 1024 + 4, saved.size());

  // 300 colours: the first 256 are kept, the offset check counts all.
  Bmp many;
  many.colors = Gray(256);
  many.colors.resize(300, Q(1, 2, 3));
  many.pixels = {255, 0, 0, 0};
  Load(dib, many.File());
  EXPECT_EQ(256u, D(dib).Header.biClrUsed);
  EXPECT_EQ(0xFFFFFF, PixelAt(dib, 0, 0));
  many.offDelta = -4;
  ExpectRaises<EHvDIBInvalidDIB>([&] { Load(dib, many.File()); }, "THvInternalDIB.LoadFromFile: bfOffBits is too small");

  // OS/2 header, 4 bits: RGBTRIPLE table, default resolution.
  Bytes os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26 + 48, 0, 0, 0, 12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 4, 0};
  for (int i = 0; i < 16; ++i) os2.insert(os2.end(), {BYTE(i), BYTE(2 * i), BYTE(3 * i)});
  os2.insert(os2.end(), {0x1F, 0x20, 0, 0});
  os2[2] = BYTE(os2.size());
  Load(dib, os2);
  EXPECT_EQ(16u, D(dib).Header.biClrUsed);
  EXPECT_EQ(40u, D(dib).Header.biSize);
  EXPECT_EQ(3780, D(dib).Header.biXPelsPerMeter);
  EXPECT_EQ(0x2D1E0F, PixelAt(dib, 1, 0));  // index 15: blue 15, green 30, red 45
  EXPECT_EQ(0x060402, PixelAt(dib, 2, 0));  // index 2: blue 2, green 4, red 6

  // A fresh image is 1 x 1 x 8 with 256 black entries.
  THvDIB blank;
  saved = Save(blank);
  ASSERT_EQ(54u + 1024 + 4, saved.size());
  EXPECT_EQ(1078u, *reinterpret_cast<DWORD*>(&saved[10]));
}

TEST(BmpFile, ExpandsSixteenAndThirtyTwoBitsToTrueColour) {
  struct Case {
    const char* name;
    WORD bits;
    DWORD comp;
    std::vector<DWORD> masks;
    std::vector<DWORD> pixels;
    std::vector<int> want;
  };
  for (const Case& c : {
           Case{"565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 32 << 5, 0xF800}, {0xFFFFFF, 0x008100, 0xFF0000}},
           Case{"555, top bit ignored", 16, BI_RGB, {}, {0x8000 | 0x7C00, 0x001F}, {0xFF0000, 0x0000FF}},
           Case{"32 bits", 32, BI_RGB, {}, {0xFF123456, 0x00ABCDEF}, {0x123456, 0xABCDEF}},
           Case{"32 bits, bit fields", 32, BI_BITFIELDS, {0xFF000000, 0xFF0000, 0xFF00}, {0x12345678}, {0x123456}},
       }) {
    SCOPED_TRACE(c.name);
    Bmp b;
    b.w = int32_t(c.pixels.size()), b.bits = c.bits, b.comp = c.comp, b.masks = c.masks;
    for (DWORD p : c.pixels)
      for (int i = 0; i < c.bits / 8; ++i) b.pixels.push_back(BYTE(p >> (8 * i)));
    while (b.pixels.size() % 4) b.pixels.push_back(0);
    THvDIB dib;
    Load(dib, b.File());
    EXPECT_EQ(24, dib.GetBitCount());
    EXPECT_EQ(uint32_t(BI_RGB), D(dib).Header.biCompression);
    EXPECT_EQ(c.want, AllPixels(dib));
  }
}

TEST(BmpFile, RefusesBadFilesAndKeepsThePicture) {
  auto base = [] {
    Bmp b;
    b.w = 2, b.h = 2, b.colors = Gray(2), b.pixels = Bytes(8, 1);
    return b;
  };
  struct Case {
    const char* name;
    std::function<Bytes()> file;
    std::string text;
  };
  std::vector<Case> cases = {
      {"not BM", [&] { Bytes f = base().File(); f[0] = 'X'; return f; }, "THvInternalDIB.LoadFromFile: File type is invalid"},
      {"bit count 7", [&] { Bmp b = base(); b.bits = 7; return b.File(); }, "THvInternalDIB.LoadFromStream: Invalid BitCout"},
      {"header size 64", [&] { Bmp b = base(); b.headerSize = 64; return b.File(); },
       "THvInternalDIB.LoadFromStream: Invalid Bitmap Header Size"},
      {"width 0", [&] { Bmp b = base(); b.w = 0; return b.File(); }, "THvInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"height 0", [&] { Bmp b = base(); b.h = 0; return b.File(); }, "THvInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"negative width", [&] { Bmp b = base(); b.w = -5; return b.File(); }, "THvInternalDIB.LoadFromStream: Invalid Width or Height"},
      {"offset in the table", [&] { Bmp b = base(); b.offDelta = -1; return b.File(); },
       "THvInternalDIB.LoadFromFile: bfOffBits is too small"},
      {"zero mask", [&] { Bmp b = base(); b.bits = 32, b.comp = BI_BITFIELDS, b.colors = {}, b.masks = {0xFF0000, 0, 0xFF}; return b.File(); },
       "THvInternalDIB.LoadFromStream: Invalid Masks"},
      {"OS/2 with 16 bits", [] {
         return Bytes{'B', 'M', 30, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 16, 0, 0, 0, 0, 0};
       }, "THvInternalDIB.LoadFromStream: Invalid BitCount"},
      {"RLE without a size", [&] { Bmp b = base(); b.comp = BI_RLE8, b.bits = 8, b.pixels = {}; return b.File(); },
       "THvInternalDIB.LoadFromStream: Invalid Image Size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    THvDIB dib;
    dib.SetWidth(5);
    ExpectRaises<EHvDIBError>([&] { Load(dib, c.file()); }, c.text);
    EXPECT_EQ(5, dib.Width());
    EXPECT_EQ(1, dib.Height());
  }
  // Short streams fail with the stream's own error, before any huge buffer
  // is made for what a header claims.
  std::vector<Case> shortOnes = {
      {"truncated pixels", [&] { Bytes f = base().File(); f.resize(f.size() - 3); return f; }, ""},
      {"truncated header", [&] { Bytes f = base().File(); f.resize(30); return f; }, ""},
      {"truncated table", [&] { Bytes f = base().File(); f.resize(58); return f; }, ""},
      {"4 billion colours", [&] { Bmp b = base(); b.clrUsed = 0xFFFFFFFF; return b.File(); }, ""},
      {"huge 24-bit picture", [&] { Bmp b = base(); b.bits = 24, b.colors = {}, b.w = 40000, b.h = 40000; return b.File(); }, ""},
      {"huge 32-bit picture", [&] { Bmp b = base(); b.bits = 32, b.colors = {}, b.w = 0x7FFFFFFF, b.h = -0x7FFFFFFF; return b.File(); }, ""},
      {"bfSize far beyond the file", [&] { Bmp b = base(); b.sizeDelta = 0x7FFF0000; return b.File(); }, ""},
  };
  for (const Case& c : shortOnes) {
    SCOPED_TRACE(c.name);
    THvDIB dib;
    ExpectRaises<EReadError>([&] { Load(dib, c.file()); }, "Stream read error");
    EXPECT_EQ(1, dib.Width());
  }
}

TEST(BmpFile, ShortSizeFieldsStillGiveWholeRows) {
  // bfSize 0 is common in the wild: the rows are read all the same, and a
  // later conversion stays inside the buffer.
  Bmp b;
  b.w = 5, b.h = 3, b.bits = 24, b.pixels = Pack(24, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 0xFFFFFF}});
  Bytes f = b.File();
  memset(&f[2], 0, 4);
  THvDIB dib;
  Load(dib, f);
  EXPECT_EQ(int32_t(b.pixels.size()), D(dib).ImageSize);
  EXPECT_EQ(0xFFFFFF, PixelAt(dib, 4, 2));
  dib.SetPixelFormat(nkPf8Bit);
  EXPECT_EQ(0xFFFFFF, PixelAt(dib, 4, 2));
}

TEST(BmpFile, SurvivesMutatedFiles) {
  // Random bytes in the size, offset, bit count, compression, table and
  // pixel fields (not width and height, whose only effect is size, tested
  // above): every load, conversion and draw either works or raises.
  Bmp rle8;
  rle8.w = 9, rle8.h = 4, rle8.comp = BI_RLE8, rle8.colors = Gray(4);
  rle8.pixels = {3, 1, 0, 4, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 4, 3, 0, 0, 9, 2, 0, 1};
  Bmp rle4 = rle8;
  rle4.bits = 4, rle4.comp = BI_RLE4;
  Bmp b16;
  b16.w = 3, b16.h = 2, b16.bits = 16, b16.comp = BI_BITFIELDS, b16.masks = {0xF800, 0x7E0, 0x1F};
  b16.pixels = Bytes(16, 0x5A);
  std::unique_ptr<THvDIB> indexed(MakeIndexed(8));
  Bytes idx = Save(*indexed);
  Target t(8, 8);
  unsigned seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245 + 12345) >> 16; };
  int loaded = 0;
  for (const Bytes& original : {rle8.File(), rle4.File(), b16.File(), idx}) {
    for (int round = 0; round < 400; ++round) {
      Bytes f = original;
      for (int k = 1 + next() % 3; k > 0; --k) {
        size_t at = next() % f.size();
        if (at >= 18 && at < 26) continue;
        f[at] = BYTE(next());
      }
      THvDIB dib;
      try {
        Load(dib, f);
        ++loaded;
        dib.Draw(t.bmp.Canvas(), RECT{0, 0, 8, 8});
        dib.SetPixelFormat(nkPf24Bit);
        dib.SetPixelFormat(nkPf8BitRLE);
        dib.SetPixelFormat(nkPf4BitRLE);
        dib.SetPixelFormat(nkPf1BitDither);
      } catch (const std::exception&) {
      }
    }
  }
  EXPECT_GT(loaded, 100);
}

// --- clipboard ----------------------------------------------------------------

TEST(Clipboard, CarriesCFDIB) {
  std::unique_ptr<THvDIB> src(MakeIndexed(4));
  Clipboard()->Assign(src.get());
  ASSERT_TRUE(Clipboard()->HasFormat(CF_DIB));
  THvDIB back;
  back.Assign(Clipboard());
  EXPECT_EQ(4, back.GetBitCount());
  EXPECT_EQ(AllPixels(*src), AllPixels(back));
  EXPECT_EQ(Save(*src), Save(back));

  // No CF_DIB on the clipboard, or the wrong format.
  Clipboard()->Clear();
  ExpectRaises<EInvalidGraphic>([&] { back.Assign(Clipboard()); },
                                "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  ExpectRaises<EInvalidGraphic>([&] { back.LoadFromClipboardFormat(CF_BITMAP, HANDLE(1), nullptr); },
                                "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  EXPECT_EQ(24, back.Width());
}

TEST(Clipboard, ReadsPackedBlocks) {
  auto block = [](const Bytes& bytes) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(g), bytes.data(), bytes.size());
    GlobalUnlock(g);
    return g;
  };
  // 24 bits without colour table: everything behind the header is pixels.
  Bmp b;
  b.w = 2, b.h = 1, b.bits = 24, b.pixels = Pack(24, {{0x010203, 0x040506}});
  Bytes file = b.File();
  Bytes packed(file.begin() + 14, file.end());
  HGLOBAL g = block(packed);
  THvDIB dib;
  dib.LoadFromClipboardFormat(CF_DIB, g, nullptr);
  EXPECT_EQ(int32_t(packed.size() - 40), D(dib).ImageSize);
  EXPECT_EQ(0x040506, PixelAt(dib, 1, 0));
  GlobalFree(g);

  struct Case {
    const char* name;
    Bytes data;
    std::string text;
  };
  Bytes header20 = packed;
  header20[0] = 20;
  Bytes shortTable = packed;
  shortTable[14] = 8;  // 8 bits: a 1024-byte table that is not there
  Bytes zeroMask = packed;
  zeroMask[14] = 32, zeroMask[16] = BI_BITFIELDS;
  zeroMask.resize(40 + 12 + 8);
  for (const Case& c : {Case{"header size 20", header20, "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
                        Case{"table beyond the block", shortTable, "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
                        Case{"three bytes", Bytes{40, 0, 0}, "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Data"},
                        Case{"zero masks", zeroMask, "THvInternalDIB.LoadFromStream: Invalid Masks"}}) {
    SCOPED_TRACE(c.name);
    HGLOBAL h = block(c.data);
    ExpectRaises<EHvDIBInvalidDIB>([&] { dib.LoadFromClipboardFormat(CF_DIB, h, nullptr); }, c.text);
    EXPECT_EQ(0x040506, PixelAt(dib, 1, 0));
    GlobalFree(h);
  }
}

// --- RLE ------------------------------------------------------------------------

namespace {
// Decodes RLE bytes for a w x h picture; the indices row by row.
std::vector<int> Decode(int bits, int w, int h, const Bytes& data) {
  Bmp b;
  b.w = w, b.h = h, b.bits = WORD(bits), b.comp = bits == 8 ? BI_RLE8 : BI_RLE4, b.colors = Gray(bits == 8 ? 256 : 16);
  b.pixels = data, b.sizeImage = DWORD(data.size());
  THvDIB dib;
  Load(dib, b.File());
  dib.SetPixelFormat(bits == 8 ? nkPf8Bit : nkPf4Bit);
  std::vector<int> v;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) v.push_back(IndexAt(dib, x, y));
  return v;
}
}  // namespace

TEST(Rle, Decodes) {
  struct Case {
    const char* name;
    int bits, w, h;
    Bytes data;
    std::vector<int> want;
  };
  for (const Case& c : {
           Case{"RLE8 run", 8, 3, 1, {3, 5, 0, 0, 0, 1}, {5, 5, 5}},
           Case{"RLE8 literal and delta", 8, 4, 2, {0, 3, 7, 8, 9, 0, 0, 0, 0, 2, 1, 0, 1, 9, 0, 1}, {7, 8, 9, 0, 0, 9, 0, 0}},
           Case{"RLE8 data ends early", 8, 3, 2, {2, 4, 0, 0, 3}, {4, 4, 0, 0, 0, 0}},
           Case{"RLE4 run alternates nibbles", 4, 5, 1, {5, 0x12, 0, 1}, {1, 2, 1, 2, 1}},
           Case{"RLE4 delta to odd x", 4, 4, 1, {0, 2, 1, 0, 2, 0x34, 0, 1}, {0, 3, 4, 0}},
           Case{"RLE4 literal", 4, 4, 2, {0, 0, 0, 3, 0xAB, 0xC0, 0, 1}, {0, 0, 0, 0, 10, 11, 12, 0}},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, Decode(c.bits, c.w, c.h, c.data));
  }
}

TEST(Rle, RefusesBadDataAndKeepsItCompressed) {
  struct Case {
    int bits, w, h;
    Bytes data;
    std::string text;
  };
  for (const Case& c : {
           Case{8, 3, 1, {4, 5, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 4"},
           Case{8, 3, 1, {0, 0, 0, 0, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 1"},
           Case{8, 3, 1, {0, 2, 4, 0, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 2"},
           Case{8, 3, 1, {0, 4, 1, 2, 3, 4, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 3"},
           Case{4, 3, 1, {0, 0, 0, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 5"},
           Case{4, 3, 1, {0, 2, 5, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 6"},
           Case{4, 3, 1, {0, 5, 1, 2, 3, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 7"},
           Case{4, 3, 1, {5, 0x11, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 8"},
       }) {
    SCOPED_TRACE(c.text);
    Bmp b;
    b.w = c.w, b.h = c.h, b.bits = WORD(c.bits), b.comp = c.bits == 8 ? BI_RLE8 : BI_RLE4, b.colors = Gray(16);
    b.pixels = c.data, b.sizeImage = DWORD(c.data.size());
    THvDIB dib;
    Load(dib, b.File());
    ExpectRaises<EHvDIBInvalidDIB>([&] { dib.SetPixelFormat(nkPf24Bit); }, c.text);
    EXPECT_EQ(c.bits == 8 ? nkPf8BitRLE : nkPf4BitRLE, dib.GetPixelFormat());
    EXPECT_EQ(b.File(), Save(dib));
  }
}

TEST(Rle, EncodesRunsAndLiterals) {
  struct Case {
    const char* name;
    int bits;
    std::vector<int> row;
    Bytes want;
  };
  std::vector<int> ones(16, 9), mixed = {1, 2};
  mixed.resize(16, 3);
  for (const Case& c : {
           Case{"two-byte literal as runs", 8, mixed, {1, 1, 1, 2, 14, 3, 0, 0, 0, 1}},
           Case{"one value", 8, ones, {16, 9, 0, 0, 0, 1}},
           Case{"literal padded to even", 8, Runs({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {7, 11}}),
                {0, 5, 1, 2, 3, 4, 5, 0, 11, 7, 0, 0, 0, 1}},
           Case{"RLE4 trims the odd pixel", 4, {1, 2, 1, 2, 1, 2, 1, 2, 5}, {8, 0x12, 1, 0x50, 0, 0, 0, 1}},
       }) {
    SCOPED_TRACE(c.name);
    Bmp b;
    b.w = int32_t(c.row.size()), b.bits = WORD(c.bits), b.colors = Gray(16), b.pixels = Pack(c.bits, {c.row});
    THvDIB dib;
    Load(dib, b.File());
    dib.SetPixelFormat(c.bits == 8 ? nkPf8BitRLE : nkPf4BitRLE);
    const THvDIBData& d = D(dib);
    EXPECT_EQ(c.want, Bytes(d.Bits, d.Bits + d.ImageSize));
    EXPECT_EQ(DWORD(d.ImageSize), d.Header.biSizeImage);
  }
  // Too small to hold the codes: the image stays as it was.
  THvDIB tiny;
  ExpectRaises<EHvDIBCompressionFailed>([&] { tiny.SetPixelFormat(nkPf8BitRLE); },
                                        "Convert8BitRGBTo8BitRLE: Compression Failed");
  EXPECT_EQ(nkPf8Bit, tiny.GetPixelFormat());
}

TEST(Rle, EncodedPicturesDecodeToThemselves) {
  // Mixed runs and noise, odd widths, top-down sources come back bottom-up.
  for (int bits : {4, 8})
    for (int w : {7, 33, 300})
      for (int h : {-3, 4}) {
        SCOPED_TRACE(testing::Message() << bits << " bits " << w << " x " << h);
        std::vector<std::vector<int>> rows;
        unsigned seed = w * 31 + h;
        for (int y = 0; y < std::abs(h); ++y) {
          std::vector<int> r;
          for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245 + 12345;
            r.push_back((x / 9 + y) % 3 == 0 ? 1 : int(seed >> 16) % (bits == 8 ? 4 : 16));
          }
          rows.push_back(r);
        }
        Bmp b;
        b.w = w, b.h = h, b.bits = WORD(bits), b.colors = Gray(16), b.pixels = Pack(bits, rows);
        THvDIB dib;
        Load(dib, b.File());
        std::vector<int> before = AllPixels(dib);
        try {
          dib.SetPixelFormat(bits == 8 ? nkPf8BitRLE : nkPf4BitRLE);
        } catch (const EHvDIBCompressionFailed&) {
          continue;  // noise that does not shrink
        }
        EXPECT_GT(D(dib).Header.biHeight, 0);
        dib.SetPixelFormat(nkPf24Bit);
        std::vector<int> after = AllPixels(dib);
        if (h < 0) {  // storage rows were top-down before
          std::vector<int> flipped;
          for (int y = std::abs(h) - 1; y >= 0; --y) flipped.insert(flipped.end(), before.begin() + y * w, before.begin() + (y + 1) * w);
          before = flipped;
        }
        EXPECT_EQ(before, after);
      }
}

// --- converters ----------------------------------------------------------------------

TEST(Convert, EveryIndexedPathKeepsThePicture) {
  // Through each stored format and back to true colour: same colours.
  std::unique_ptr<THvDIB> ref(MakeIndexed(8));
  ref->SetPixelFormat(nkPf24Bit);
  const std::vector<int> want = AllPixels(*ref);
  for (int bits : {4, 8})
    for (THvPixelFormat via : {nkPf4Bit, nkPf4BitRLE, nkPf8Bit, nkPf8BitRLE, nkPf24Bit}) {
      SCOPED_TRACE(testing::Message() << bits << " bits via " << int(via));
      std::unique_ptr<THvDIB> dib(MakeIndexed(bits));
      dib->SetPixelFormat(via);
      EXPECT_EQ(via, dib->GetPixelFormat());
      dib->SetPixelFormat(nkPf24Bit);
      EXPECT_EQ(want, AllPixels(*dib));
    }
  // 1 bit up to every format.
  for (THvPixelFormat to : {nkPf4Bit, nkPf4BitRLE, nkPf8Bit, nkPf8BitRLE, nkPf24Bit}) {
    SCOPED_TRACE(int(to));
    Bmp b;
    b.w = 32, b.h = 2, b.bits = 1, b.colors = {Q(10, 20, 30), Q(200, 100, 0)};
    b.pixels = Pack(1, {Runs({{1, 3}, {0, 5}, {1, 20}, {0, 4}}), Runs({{0, 16}, {1, 16}})});
    THvDIB dib;
    Load(dib, b.File());
    std::vector<int> before = AllPixels(dib);
    dib.SetPixelFormat(to);
    dib.SetPixelFormat(nkPf24Bit);
    EXPECT_EQ(before, AllPixels(dib));
  }
}

TEST(Convert, ReducersFindFewColoursExactly) {
  // Eight corner colours survive 24 -> 8 -> 24 and 24 -> 4 -> 24 with either
  // quality, and 8 -> 4 keeps the used entries.
  for (THvReductionQuality q : {nkRqLow, nkRqHigh})
    for (THvPixelFormat to : {nkPf8Bit, nkPf4Bit, nkPf4BitRLE}) {
      SCOPED_TRACE(testing::Message() << "quality " << int(q) << " to " << int(to));
      std::unique_ptr<THvDIB> dib(MakeIndexed(8));
      dib->SetPixelFormat(nkPf24Bit);
      std::vector<int> want = AllPixels(*dib);
      dib->ReductionQuality = q;
      dib->SetPixelFormat(to);
      EXPECT_EQ(8u, D(*dib).Header.biClrUsed);
      dib->SetPixelFormat(nkPf24Bit);
      EXPECT_EQ(want, AllPixels(*dib));
    }
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));
  std::vector<int> want = AllPixels(*dib);
  dib->SetPixelFormat(nkPf4Bit);
  EXPECT_EQ(8u, D(*dib).Header.biClrUsed);
  EXPECT_EQ(want, AllPixels(*dib));
}

TEST(Convert, SplitsOnTheWidestWeightedChannel) {
  // Two colours differing only in blue: the split is on blue, upper part
  // first, so the bluer colour is entry 0.
  struct Case {
    int a, b;
    int first;
  };
  for (const Case& c : {Case{0x000010, 0x0000F0, 0x0000F0}, Case{0x100000, 0x500000, 0x500000},
                        // red 3 x 40^2 = 4800 against green 4 x 35^2 = 4900: green
                        Case{0x000000, 0x282300, 0x282300}}) {
    for (THvReductionQuality q : {nkRqLow, nkRqHigh}) {
      Bmp b;
      b.w = 2, b.bits = 24, b.pixels = Pack(24, {{c.a, c.b}});
      THvDIB dib;
      Load(dib, b.File());
      dib.ReductionQuality = q;
      dib.SetPixelFormat(nkPf8Bit);
      ASSERT_EQ(2u, D(dib).Header.biClrUsed);
      RGBQUAD e = D(dib).Colors[0];
      EXPECT_EQ(c.first, e.rgbRed << 16 | e.rgbGreen << 8 | e.rgbBlue) << "quality " << int(q);
    }
  }
}

TEST(Convert, ReportsProgressOncePerPaletteSlot) {
  struct Event {
    TProgressStage stage;
    int percent;
    std::string msg;
  };
  struct Case {
    THvPixelFormat from, to;
    size_t events;
    const char* msg;
  };
  for (const Case& c : {Case{nkPf24Bit, nkPf8Bit, 257, "PixelFormat 24Bit -> 8Bit"},
                        Case{nkPf24Bit, nkPf4BitRLE, 17, "PixelFormat 24Bit -> 4BitRLE"},
                        Case{nkPf8BitRLE, nkPf4Bit, 17, "PixelFormat 8BitRLE -> 4Bit"},
                        Case{nkPf8Bit, nkPf24Bit, 0, ""}, Case{nkPf24Bit, nkPf24Bit, 0, ""}}) {
    SCOPED_TRACE(c.msg);
    Bmp b;  // one colour
    b.w = 30, b.h = 20, b.bits = 24, b.pixels = Bytes(DIBRowBytes(30, 24) * 20, 0x40);
    THvDIB dib;
    Load(dib, b.File());
    if (c.from != nkPf24Bit) dib.SetPixelFormat(c.from);
    dib.SetModified(false);
    std::vector<Event> events;
    dib.OnProgress = [&](TGraphic*, TProgressStage s, BYTE p, bool, const RECT& r, const std::string& m) {
      EXPECT_EQ(30, r.right);
      events.push_back({s, p, m});
    };
    dib.SetPixelFormat(c.to);
    ASSERT_EQ(c.events, events.size());
    EXPECT_EQ(c.from != c.to, dib.Modified());
    if (!c.events) continue;
    EXPECT_EQ(psStarting, events.front().stage);
    EXPECT_EQ(psEnding, events.back().stage);
    EXPECT_EQ(100, events.back().percent);
    for (size_t i = 1; i + 1 < events.size(); ++i) {
      EXPECT_EQ(psRunning, events[i].stage);
      EXPECT_EQ(int((i * 100) / (c.events - 1)), events[i].percent);
    }
    EXPECT_EQ(c.msg, events[1].msg);
    EXPECT_EQ(1u, D(dib).Header.biClrUsed);
    EXPECT_EQ(0, IndexAt(dib, 29, 19));
  }
  // A failing conversion still ends its progress.
  Bmp one;
  one.bits = 24, one.pixels = {1, 2, 3, 0};
  THvDIB dib;
  Load(dib, one.File());
  int ends = 0;
  dib.OnProgress = [&](TGraphic*, TProgressStage s, BYTE, bool, const RECT&, const std::string&) { ends += s == psEnding; };
  ExpectRaises<EHvDIBCompressionFailed>([&] { dib.SetPixelFormat(nkPf8BitRLE); }, "Convert8BitRGBTo8BitRLE: Compression Failed");
  EXPECT_EQ(1, ends);
  EXPECT_EQ(nkPf24Bit, dib.GetPixelFormat());
}

TEST(Convert, MonoAndDither) {
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));
  dib->MonoColor = 0x00FFFF;  // TColor: yellow (red + green), entry 6
  dib->SetPixelFormat(nkPf1Bit);
  EXPECT_EQ(2u, D(*dib).Header.biClrUsed);
  std::vector<int> bits;
  for (int x = 0; x < 7; ++x) bits.push_back(IndexAt(*dib, x, 1));
  EXPECT_EQ((std::vector<int>{0, 0, 1, 0, 0, 0, 0}), bits);

  // No pure white in the picture: all black.
  Bmp b;
  b.w = 3, b.bits = 24, b.pixels = Pack(24, {{0xFEFFFF, 0x123456, 0}});
  THvDIB t;
  Load(t, b.File());
  t.SetPixelFormat(nkPf1Bit);
  EXPECT_EQ((std::vector<int>{0, 0, 0}), AllPixels(t));

  // Uniform grey: the first pixel takes (153, 128, 128), later ones mix.
  Bmp g;
  g.w = 8, g.h = 8, g.bits = 24, g.pixels = Bytes(DIBRowBytes(8, 24) * 8, 128);
  THvDIB grey;
  Load(grey, g.File());
  grey.SetPixelFormat(nkPf8BitDither);
  EXPECT_EQ(nkPf8Bit, grey.GetPixelFormat());
  EXPECT_EQ(215u, D(grey).Header.biClrUsed);
  EXPECT_EQ(122, IndexAt(grey, 0, 0));
  std::set<int> used;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) used.insert(IndexAt(grey, x, y));
  EXPECT_GT(used.size(), 1u);

  // Grey to black and white: about half the pixels are white.
  Load(grey, g.File());
  grey.SetPixelFormat(nkPf1BitDither);
  int white = 0;
  for (int v : AllPixels(grey)) white += v == 0xFFFFFF;
  EXPECT_NEAR(32, white, 4);
}

TEST(Convert, RefusesWrongSources) {
  THvDIBData d = D(THvDIB());
  THvDIBData out{};
  d.Header.biBitCount = 24;
  ExpectRaises<EHvDIBBadDIBType>([&] { Convert8BitRLETo8BitRGB(d, out, false); },
                                 "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  ExpectRaises<EHvDIBBadDIBType>([&] { Convert4BitRGBTo4BitRLE(d, out, false); },
                                 "Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination");
  ExpectRaises<EHvDIBBadDIBType>([&] { Convert8BitRGBTo4BitRGB(d, out, false, nullptr, nullptr); },
                                 "Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression");
  d.Header.biBitCount = 8;
  ExpectRaises<EHvDIBBadDIBType>([&] { ConvertTrueColorTo8BitRGBHigh(d, out, false, nullptr, nullptr); },
                                 "ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount");
  ExpectRaises<EHvDIBBadDIBType>([&] { ConvertTrueColorTo1BitRGB(d, out, false, 0); },
                                 "ConvertTrueColorTo1BitRGB: Invalid Bitcount");
  EXPECT_EQ(nullptr, out.Bits);

  // A stored header outside the six formats.
  Bmp b;
  b.bits = 8, b.comp = BI_BITFIELDS, b.masks = {1, 2, 4}, b.colors = Gray(2), b.pixels = {0, 0, 0, 0};
  THvDIB dib;
  Load(dib, b.File());
  ExpectRaises<EHvDIBInvalidDIB>([&] { dib.GetPixelFormat(); }, "THvInternalDIB.GetPixelFormat: Invalid DIB(8Bit)");
}

// --- THvDIB --------------------------------------------------------------------------

TEST(Image, CopiesShareUntilWritten) {
  std::unique_ptr<THvDIB> a(MakeIndexed(8));
  THvDIB b;
  b.Assign(a.get());
  EXPECT_EQ(&a->InternalDIB(), &b.InternalDIB());
  EXPECT_EQ(2, b.InternalDIB().RefCount);
  b.SetPixelFormat(nkPf24Bit);
  EXPECT_NE(&a->InternalDIB(), &b.InternalDIB());
  EXPECT_EQ(nkPf8Bit, a->GetPixelFormat());
  EXPECT_EQ(AllPixels(*a), AllPixels(b));
  a.reset();  // b still draws on its own pixels
  EXPECT_EQ(1, b.InternalDIB().RefCount);
}

TEST(Image, SizeAndBitCountMakeBlankPictures) {
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));
  dib->SetWidth(20);
  EXPECT_EQ(20, dib->Width());
  EXPECT_EQ(3, dib->Height());
  EXPECT_EQ(8u, D(*dib).Header.biClrUsed);
  EXPECT_EQ(std::vector<int>(60, 0), AllPixels(*dib));
  dib->SetHeight(-4);
  EXPECT_EQ(4, dib->Height());
  EXPECT_EQ(-4, D(*dib).Header.biHeight);
  dib->SetBitCount(24);
  EXPECT_EQ(0u, D(*dib).Header.biClrUsed);
  EXPECT_EQ(nullptr, dib->GetPalette());

  ExpectRaises<EHvDIBInvalidDIBPara>([&] { dib->SetWidth(0); }, "THvDIB.SetWidth: Invalid Width");
  ExpectRaises<EHvDIBInvalidDIBPara>([&] { dib->SetHeight(0); }, "THvDIB.SetWidth: Invalid Height");
  ExpectRaises<EHvDIBInvalidDIBPara>([&] { dib->SetBitCount(16); }, "THvDIB.SetBitCount: Invalid BitCount");
  ExpectRaises<EOutOfMemory>([&] { dib->SetWidth(0x7FFFFFFF); }, "Out of memory");
  EXPECT_EQ(20, dib->Width());
}

TEST(Image, Palettes) {
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));
  HPALETTE p = dib->GetPalette();
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(8u, GetPaletteEntries(p, 0, 0, nullptr));
  PALETTEENTRY two[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  struct {
    WORD v, n;
    PALETTEENTRY e[2];
  } lp{0x300, 2, {two[0], two[1]}};
  HPALETTE mine = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
  dib->PaletteModified = false;
  dib->SetPalette(mine);
  EXPECT_TRUE(dib->PaletteModified);
  EXPECT_EQ(2u, D(*dib).Header.biClrUsed);
  EXPECT_EQ(0x040506, PixelAt(*dib, 6, 0));
  EXPECT_EQ(mine, dib->GetPalette());
  dib->DrawMode = nkDmDither8Bit;
  EXPECT_EQ(215u, GetPaletteEntries(dib->GetPalette(), 0, 0, nullptr));
  dib->DrawMode = nkDmDither1Bit;
  EXPECT_EQ(2u, GetPaletteEntries(dib->GetPalette(), 0, 0, nullptr));

  HPALETTE gone = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
  DeleteObject(gone);
  ExpectRaises<EHvDIBInvalidPalette>([&] { dib->SetPalette(gone); }, "THvDIB.SetPalette: Invalid Palette");
}


TEST(Image, DrawsOnCanvases) {
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));  // bottom-up: storage row 2 is the top
  Target t(24, 3);
  dib->Draw(t.bmp.Canvas(), RECT{0, 0, 24, 3});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 24; ++x) EXPECT_EQ(PixelAt(*dib, x, 2 - y), t.At(x, y)) << x << "," << y;

  // RLE pictures are drawn compressed.
  dib->SetPixelFormat(nkPf8BitRLE);
  Target r(24, 3);
  dib->Draw(r.bmp.Canvas(), RECT{0, 0, 24, 3});
  EXPECT_EQ(0xFFFF00, r.At(2, 1));  // index 6
  EXPECT_EQ(0xFFFFFF, r.At(23, 1));
  // Dithered into nothing: nothing drawn.
  dib->DrawMode = nkDmDither1Bit;
  Target z(24, 3);
  dib->Draw(z.bmp.Canvas(), RECT{2, 0, 2, 3});
  EXPECT_EQ(0xFFFFFF, z.At(2, 1));
  // Dithered to black and white, stretched twice as large.
  dib->SetPixelFormat(nkPf8Bit);
  Target d(48, 6);
  dib->Draw(d.bmp.Canvas(), RECT{0, 0, 48, 6});
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 48; ++x) EXPECT_TRUE(d.At(x, y) == 0 || d.At(x, y) == 0xFFFFFF);
  EXPECT_EQ(0xFFFFFF, d.At(40, 2));  // white run of the picture
  EXPECT_EQ(0, d.At(0, 5));          // black
}

TEST(Image, CanvasDrawsIntoTheImage) {
  std::unique_ptr<THvDIB> dib(MakeIndexed(8));
  dib->SetPixelFormat(nkPf24Bit);
  THvDIB other;
  other.Assign(dib.get());
  int changes = 0;
  dib->OnChange = [&](TGraphic*) { ++changes; };
  {
    THvDIBCanvas canvas(dib.get());
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{0, 0, 2, 3};
    FillRect(canvas.Handle(), &r, red);
    DeleteObject(red);
  }
  EXPECT_EQ(1, changes);
  EXPECT_EQ(0xFF0000, PixelAt(*dib, 1, 0));
  EXPECT_EQ(0xFF0000, PixelAt(*dib, 0, 2));
  EXPECT_EQ(PixelAt(other, 2, 0), PixelAt(*dib, 2, 0));
  EXPECT_NE(0xFF0000, PixelAt(other, 0, 0));  // the copy was unshared first

  dib->SetPixelFormat(nkPf8BitRLE);
  Bytes before = Save(*dib);
  ExpectRaises<EOutOfResources>([&] { THvDIBCanvas c(dib.get()); }, "THvDIBCanvas.Create: Cannot Create Memory DC");
  EXPECT_EQ(before, Save(*dib));
  ExpectRaises<EHvDIBCanvasFailed>([&] { THvDIBCanvas c(nullptr); }, "THvDIBCanvas.Create: Cannot Create Canvas");
}

TEST(Image, AssignsBitmapsBothWays) {
  // 16- and 32-bit bitmaps come in as 24 bits.
  for (WORD bits : {16, 32}) {
    SCOPED_TRACE(bits);
    BITMAPINFO bi{};
    bi.bmiHeader = {40, 3, 2, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
    void* px = nullptr;
    TBitmap bmp;
    bmp.SetHandle(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &px, nullptr, 0));
    PatBlt(bmp.Canvas()->Handle(), 0, 0, 3, 2, WHITENESS);
    SetPixel(bmp.Canvas()->Handle(), 1, 0, RGB(255, 0, 0));
    GdiFlush();
    THvDIB dib;
    dib.Assign(&bmp);
    EXPECT_EQ(24, dib.GetBitCount());
    EXPECT_EQ(3780, D(dib).Header.biXPelsPerMeter);
    EXPECT_EQ(0xFF0000, PixelAt(dib, 1, 1));  // top row is storage row 1
    EXPECT_EQ(0xFFFFFF, PixelAt(dib, 0, 0));
  }
  // Out to a bitmap of the matching format.
  std::unique_ptr<THvDIB> dib(MakeIndexed(4));
  TBitmap out;
  out.Assign(dib.get());
  EXPECT_EQ(pf4bit, out.PixelFormat());
  EXPECT_EQ(24, out.Width());
  COLORREF c = GetPixel(out.Canvas()->Handle(), 6, 1);
  EXPECT_EQ(PixelAt(*dib, 6, 1), GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
  // And null gives a blank 1 x 1 picture.
  dib->Assign(nullptr);
  EXPECT_EQ(1, dib->Width());
  EXPECT_EQ(8, dib->GetBitCount());
}

TEST(Image, IsRegisteredForDibFilesAndCFDIB) {
  std::unique_ptr<TGraphic> g(TPicture::CreateForExtension("DIB"));
  EXPECT_NE(nullptr, dynamic_cast<THvDIB*>(g.get()));
  EXPECT_EQ("Device Independent Bitmap", TPicture::DescriptionOf("dib"));
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_DIB));
}

// --- files written by ImageMagick (image_magick.sh) ----------------------------------

TEST(Magick, ReadsWhatImageMagickWrites) {
  // list.txt: one fixture a line, "name exact", exact 1 where saving must
  // give the file back byte for byte. Each picture is written back as 24
  // bits for the script to compare with ImageMagick's own reading.
  const char* dir = getenv("HVIMAGE_FIXTURES");
  if (!dir) GTEST_SKIP() << "run by image_magick.sh";
  std::string base = std::string(dir) + "\\";
  std::ifstream list(base + "list.txt");
  std::string name;
  int exact = 0, count = 0;
  while (list >> name >> exact) {
    SCOPED_TRACE(name);
    ++count;
    Bytes file = ReadFile(base + name);
    ASSERT_FALSE(file.empty());
    THvDIB dib;
    Load(dib, file);
    if (exact) {
      EXPECT_EQ(file, Save(dib));
    }
    dib.SetPixelFormat(nkPf24Bit);
    dib.SaveToFile(base + name + ".out24.bmp");
  }
  EXPECT_GT(count, 0);
  // Our own encodings, for ImageMagick to read back.
  for (auto [from, to, out] : {std::tuple{"p8.bmp", nkPf8BitRLE, "ours_rle8.bmp"},
                               std::tuple{"p4.bmp", nkPf4BitRLE, "ours_rle4.bmp"}}) {
    THvDIB dib;
    Load(dib, ReadFile(base + from));
    dib.SetPixelFormat(to);
    dib.SaveToFile(base + out);
  }
}
