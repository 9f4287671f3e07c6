#include "HvDIB.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <cstddef>
#include <memory>
#include <vector>

static_assert(offsetof(THvDIBData, Colors) == offsetof(THvDIBData, Header) + 40,
              "the header and colour table must form one BITMAPINFO");

namespace {

constexpr LONG kDefaultResolution = 3780;  // 96 dots per inch
constexpr int64_t kMaxBuffer = 0x7FFFFFFF;

int64_t AbsHeight(const BITMAPINFOHEADER& h) { return h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight; }

void FixResolutions(BITMAPINFOHEADER& h) {
  if (h.biXPelsPerMeter == 0) h.biXPelsPerMeter = kDefaultResolution;
  if (h.biYPelsPerMeter == 0) h.biYPelsPerMeter = kDefaultResolution;
}

bool IsRLE(const BITMAPINFOHEADER& h) { return h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4; }

// A buffer made on the way through a load, released unless it is kept.
struct PendingBuffer {
  THvDIBData& D;
  bool UseFileMapping;
  ~PendingBuffer() {
    if (D.Bits) FreeMemory(D.MappingHandle, D.Bits, UseFileMapping);
  }
  void Keep() { D.Bits = nullptr; }
};

// 16- and 32-bit pixels are kept as 24 bits: each component is scaled from
// its mask's range to 0..255.
int64_t SaturatedProduct(int64_t a, int64_t b) { return a != 0 && b > INT64_MAX / a ? INT64_MAX : a * b; }

// checkSource is told how many source bytes the rows take, before any
// buffer is made.
void Expand16And32(THvDIBData& d, bool useFileMapping, const std::function<void(int64_t)>& checkSource,
                   const std::function<void(int64_t, BYTE*)>& readRow) {
  BITMAPINFOHEADER& h = d.Header;
  int64_t width = h.biWidth, rows = AbsHeight(h);
  int64_t srcRow = h.biBitCount == 16 ? (2 * width + 3) / 4 * 4 : 4 * width;
  int64_t dstRow = (3 * width + 3) / 4 * 4;
  DWORD masks[3];
  if (h.biCompression != BI_RGB)
    memcpy(masks, d.Colors, sizeof masks);
  else if (h.biBitCount == 16)
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  else
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  int shift[3];
  DWORD norm[3];
  for (int i = 0; i < 3; ++i) {
    if (masks[i] == 0) throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid Masks");
    shift[i] = MaskShift(masks[i]);
    norm[i] = shift[i] >= 0 ? masks[i] >> shift[i] : masks[i] << -shift[i];
  }
  checkSource(SaturatedProduct(srcRow, rows));
  GetMemory(SaturatedProduct(dstRow, rows), d.MappingHandle, d.Bits, useFileMapping);
  d.ImageSize = static_cast<int32_t>(dstRow * rows);
  std::vector<BYTE> src(static_cast<size_t>(srcRow));
  for (int64_t y = 0; y < rows; ++y) {
    readRow(y, src.data());
    BYTE* out = d.Bits + y * dstRow;
    memset(out + dstRow - 4, 0, 4);
    for (int64_t x = 0; x < width; ++x) {
      DWORD v = h.biBitCount == 16 ? DWORD(src[2 * x]) | DWORD(src[2 * x + 1]) << 8
                                   : DWORD(src[4 * x]) | DWORD(src[4 * x + 1]) << 8 |
                                         DWORD(src[4 * x + 2]) << 16 | DWORD(src[4 * x + 3]) << 24;
      BYTE c[3];
      for (int i = 0; i < 3; ++i) {
        DWORD m = v & masks[i];
        m = shift[i] >= 0 ? m >> shift[i] : m << -shift[i];
        c[i] = static_cast<BYTE>(m * 255 / norm[i]);
      }
      out[3 * x] = c[2];
      out[3 * x + 1] = c[1];
      out[3 * x + 2] = c[0];
    }
  }
  if (h.biCompression == BI_BITFIELDS) memmove(&d.Colors[0], &d.Colors[3], 256 * sizeof(RGBQUAD));
  h.biCompression = BI_RGB;
  h.biBitCount = 24;
  h.biSizeImage = 0;
}

// The buffer size a 1-, 4-, 8- or 24-bit image keeps: what its file says,
// but never less than its rows need, so that nothing later reads past it.
int64_t PixelBufferSize(THvDIBData& d, int64_t given, const char* sizeError) {
  BITMAPINFOHEADER& h = d.Header;
  if (IsRLE(h)) {
    if (given <= 0) given = h.biSizeImage;
    if (given <= 0) throw EHvDIBInvalidDIB(sizeError);
    // GDI reads compressed data by biSizeImage.
    if (h.biSizeImage == 0 || h.biSizeImage > given) h.biSizeImage = static_cast<DWORD>(std::min(given, kMaxBuffer));
    return given;
  }
  given = std::max(given, DIBImageSize(h.biWidth, h.biBitCount, AbsHeight(h)));
  if (h.biSizeImage > given) h.biSizeImage = static_cast<DWORD>(std::min(given, kMaxBuffer));
  return given;
}

void CheckWidthAndHeight(const BITMAPINFOHEADER& h) {
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == LONG(0x80000000))
    throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid Width or Height");
}

// Refuses a read the stream cannot satisfy before a buffer is made for it.
void CheckAvailable(TStream* s, int64_t count) {
  if (count > s->Size() - s->Position()) throw EReadError("Stream read error");
}

}  // namespace

// --- unit routines ----------------------------------------------------------

void GetMemory(int64_t Size, HANDLE& MappingHandle, BYTE*& Bits, bool UseFileMapping) {
  if (Size < 0 || Size > kMaxBuffer) throw EOutOfMemory("Out of memory");
  if (Size == 0) Size = 1;
  if (!UseFileMapping) {
    Bits = static_cast<BYTE*>(calloc(static_cast<size_t>(Size), 1));
    if (!Bits) throw EOutOfMemory("Out of memory");
    MappingHandle = nullptr;
    return;
  }
  HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(Size), nullptr);
  if (!map) throw EOutOfResources("GetMemory: Cannot Make File Mapping Object");
  void* view = MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0);
  if (!view) {
    CloseHandle(map);
    throw EOutOfResources("GetMemory: Cannot Make View of File Map");
  }
  MappingHandle = map;
  Bits = static_cast<BYTE*>(view);
}

void FreeMemory(HANDLE MappingHandle, BYTE* Bits, bool UseFileMapping) {
  if (UseFileMapping) {
    if (Bits) UnmapViewOfFile(Bits);
    if (MappingHandle) CloseHandle(MappingHandle);
  } else {
    free(Bits);
  }
}

int NumColorsOf(int BitCount) {
  switch (BitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

HPALETTE GetPaletteFromDIBInfos(const THvDIBData& Data) {
  int n = static_cast<int>(std::min<DWORD>(Data.Header.biClrUsed, 256));
  if (n == 0) return nullptr;
  std::vector<BYTE> block(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  for (int i = 0; i < n; ++i)
    lp->palPalEntry[i] = {Data.Colors[i].rgbRed, Data.Colors[i].rgbGreen, Data.Colors[i].rgbBlue, 0};
  HPALETTE p = CreatePalette(lp);
  if (!p) throw EOutOfResources("GetPaletteFromDIBInfos: Cannot Make Palette");
  return p;
}

void ConvertCoreHeader(THvDIBData& Data) {
  BITMAPCOREHEADER core;
  memcpy(&core, &Data.Header, sizeof core);
  const BYTE* triples = reinterpret_cast<const BYTE*>(&Data.Header) + sizeof core;
  THvDIBData out = Data;
  BITMAPINFOHEADER& h = out.Header;
  h = {};
  h.biSize = 40;
  h.biWidth = core.bcWidth;
  h.biHeight = core.bcHeight;
  h.biPlanes = core.bcPlanes;
  h.biBitCount = core.bcBitCount;
  h.biCompression = BI_RGB;
  h.biXPelsPerMeter = h.biYPelsPerMeter = kDefaultResolution;
  h.biClrUsed = NumColorsOf(core.bcBitCount);
  for (DWORD i = 0; i < h.biClrUsed; ++i)
    out.Colors[i] = {triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
  Data = out;
}

int MaskShift(DWORD Mask) {
  int s = 0;
  if (Mask >= 256) {
    while (Mask >= 256) Mask >>= 1, ++s;
  } else {
    while (Mask < 128) Mask <<= 1, --s;
  }
  return s;
}

// --- THvInternalDIB ---------------------------------------------------------

THvInternalDIB::THvInternalDIB(bool AUseFileMapping) : UseFileMapping(AUseFileMapping) { CreateDIB(1, 1, 8, 256); }

THvInternalDIB::~THvInternalDIB() { FreeDIB(); }

void THvInternalDIB::CreateDIB(int AWidth, int AHeight, int BitCount, int ClrUsed) {
  if (AWidth <= 0 || AHeight == 0 || AHeight == int(0x80000000) || ClrUsed < 0 || ClrUsed > 256 ||
      (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 24))
    throw EHvDIBInvalidDIBPara("THvInternalDIB.CreateDIB: Invalid Parameters");
  int64_t rows = AHeight < 0 ? -int64_t(AHeight) : AHeight;
  int64_t size = DIBImageSize(AWidth, BitCount, rows);
  HANDLE map = nullptr;
  BYTE* bits = nullptr;
  GetMemory(size, map, bits, UseFileMapping);
  memset(bits, 0, static_cast<size_t>(size));
  Data.ImageSize = static_cast<int32_t>(size);
  Data.MappingHandle = map;
  Data.Bits = bits;
  PaletteHandle = nullptr;
  Width = AWidth;
  Height = static_cast<int32_t>(rows);
  BITMAPINFOHEADER& h = Data.Header;
  h = {};
  h.biSize = 40;
  h.biWidth = AWidth;
  h.biHeight = AHeight;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(BitCount);
  h.biCompression = BI_RGB;
  h.biXPelsPerMeter = h.biYPelsPerMeter = kDefaultResolution;
  h.biClrUsed = ClrUsed;
  memset(Data.Colors, 0, 256 * sizeof(RGBQUAD));
  PaletteChangedFlag = true;
}

void THvInternalDIB::FreeDIB() {
  if (Data.Bits) FreeMemory(Data.MappingHandle, Data.Bits, UseFileMapping);
  Data.ImageSize = 0;
  Data.MappingHandle = nullptr;
  Data.Bits = nullptr;
  if (PaletteHandle) DeleteObject(PaletteHandle);
  PaletteHandle = nullptr;
}

HPALETTE THvInternalDIB::MakePalette() { return GetPaletteFromDIBInfos(Data); }

void THvInternalDIB::PaletteChanged() {
  if (PaletteHandle) DeleteObject(PaletteHandle);
  PaletteHandle = nullptr;
  PaletteChangedFlag = true;
}

void THvInternalDIB::Commit(const THvDIBData& Loaded) {
  FreeDIB();
  Data = Loaded;
  Width = Data.Header.biWidth;
  Height = static_cast<int32_t>(AbsHeight(Data.Header));
  PaletteChanged();
}

void THvInternalDIB::LoadFromStream(TStream* Stream) {
  THvDIBData d{};
  BITMAPFILEHEADER fh;
  Stream->ReadBuffer(&fh, sizeof fh);
  if (fh.bfType != 0x4D42) throw EHvDIBInvalidDIBFile("THvInternalDIB.LoadFromFile: File type is invalid");
  DWORD headerSize;
  Stream->ReadBuffer(&headerSize, 4);
  BITMAPINFOHEADER& h = d.Header;
  BYTE* area = reinterpret_cast<BYTE*>(&h);
  int64_t imageSize = int64_t(fh.bfSize) - int64_t(fh.bfOffBits);
  if (headerSize == 40) {
    h.biSize = 40;
    Stream->ReadBuffer(area + 4, 36);
    FixResolutions(h);
    WORD bc = h.biBitCount;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32)
      throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid BitCout");
    int64_t colors = h.biClrUsed ? int64_t(h.biClrUsed) : NumColorsOf(bc);
    int64_t masks = h.biCompression == BI_BITFIELDS ? 3 : 0;
    int64_t kept = std::min<int64_t>(colors, 256);
    Stream->ReadBuffer(d.Colors, static_cast<int32_t>((kept + masks) * 4));
    if (colors > 256) Stream->Seek((colors - 256) * 4, soCurrent);
    int64_t tableEnd = 14 + 40 + 4 * colors + 4 * masks;
    if (fh.bfOffBits < tableEnd) throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromFile: bfOffBits is too small");
    Stream->Seek(fh.bfOffBits - tableEnd, soCurrent);
    h.biClrUsed = static_cast<DWORD>(kept);
  } else if (headerSize == 12) {
    reinterpret_cast<BITMAPCOREHEADER*>(area)->bcSize = 12;
    Stream->ReadBuffer(area + 4, 8);
    WORD bc = reinterpret_cast<BITMAPCOREHEADER*>(area)->bcBitCount;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 24)
      throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid BitCount");
    int entries = NumColorsOf(bc);
    Stream->ReadBuffer(area + 12, entries * 3);
    int64_t tableEnd = 14 + 12 + 3 * entries;
    if (fh.bfOffBits < tableEnd) throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromFile: bfOffBits is too small");
    Stream->Seek(fh.bfOffBits - tableEnd, soCurrent);
    ConvertCoreHeader(d);
  } else {
    throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid Bitmap Header Size");
  }
  CheckWidthAndHeight(h);

  PendingBuffer pending{d, UseFileMapping};
  switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24: {
      int64_t size = PixelBufferSize(d, imageSize, "THvInternalDIB.LoadFromStream: Invalid Image Size");
      CheckAvailable(Stream, size);
      GetMemory(size, d.MappingHandle, d.Bits, UseFileMapping);
      d.ImageSize = static_cast<int32_t>(size);
      Stream->ReadBuffer(d.Bits, d.ImageSize);
      break;
    }
    case 16:
    case 32: {
      int64_t srcRow = h.biBitCount == 16 ? (2 * int64_t(h.biWidth) + 3) / 4 * 4 : 4 * int64_t(h.biWidth);
      Expand16And32(
          d, UseFileMapping, [&](int64_t bytes) { CheckAvailable(Stream, bytes); },
          [&](int64_t, BYTE* row) { Stream->ReadBuffer(row, static_cast<int32_t>(srcRow)); });
      break;
    }
    default:
      throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromStream: Invalid biBitCount");
  }
  Commit(d);
  pending.Keep();
}

void THvInternalDIB::SaveToStream(TStream* Stream) {
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = 54 + 4 * Data.Header.biClrUsed;
  fh.bfSize = fh.bfOffBits + Data.ImageSize;
  Stream->WriteBuffer(&fh, sizeof fh);
  Stream->WriteBuffer(&Data.Header, static_cast<int32_t>(40 + 4 * Data.Header.biClrUsed));
  Stream->WriteBuffer(Data.Bits, Data.ImageSize);
}

void THvInternalDIB::LoadFromClipboardFormat(HANDLE Handle) {
  const char* badData = "THvDIB.LoadFromClipboardFormat: Invalid Clipboard Data";
  auto* block = static_cast<const BYTE*>(GlobalLock(Handle));
  if (!block) throw EHvDIBInvalidDIB(badData);
  struct Unlock {
    HANDLE h;
    ~Unlock() { GlobalUnlock(h); }
  } unlock{Handle};
  int64_t blockSize = static_cast<int64_t>(GlobalSize(Handle));
  THvDIBData d{};
  BITMAPINFOHEADER& h = d.Header;
  int64_t headerBytes;
  DWORD headerSize = blockSize >= 4 ? *reinterpret_cast<const DWORD*>(block) : 0;
  if (headerSize == 40 && blockSize >= 40) {
    memcpy(&h, block, 40);
    int64_t n = h.biClrUsed ? int64_t(h.biClrUsed) : NumColorsOf(h.biBitCount);
    headerBytes = 40 + 4 * n + (h.biCompression == BI_BITFIELDS ? 12 : 0);
    if (headerBytes > blockSize) throw EHvDIBInvalidDIB(badData);
    memcpy(&h, block, static_cast<size_t>(std::min<int64_t>(headerBytes, 1076)));
    FixResolutions(h);
    h.biClrUsed = static_cast<DWORD>(std::min<int64_t>(n, 256));
  } else if (headerSize == 12 && blockSize >= 12) {
    WORD bc = reinterpret_cast<const BITMAPCOREHEADER*>(block)->bcBitCount;
    headerBytes = 12 + 3 * NumColorsOf(bc);
    if (headerBytes > blockSize) throw EHvDIBInvalidDIB(badData);
    memcpy(&h, block, static_cast<size_t>(headerBytes));
    ConvertCoreHeader(d);
  } else {
    throw EHvDIBInvalidDIB(badData);
  }
  int64_t imageSize = blockSize - headerBytes;
  const BYTE* pixels = block + headerBytes;
  CheckWidthAndHeight(h);

  PendingBuffer pending{d, UseFileMapping};
  switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24: {
      int64_t size = PixelBufferSize(d, imageSize, badData);
      GetMemory(size, d.MappingHandle, d.Bits, UseFileMapping);
      d.ImageSize = static_cast<int32_t>(size);
      memcpy(d.Bits, pixels, static_cast<size_t>(std::min(size, imageSize)));
      break;
    }
    case 16:
    case 32: {
      int64_t srcRow = h.biBitCount == 16 ? (2 * int64_t(h.biWidth) + 3) / 4 * 4 : 4 * int64_t(h.biWidth);
      Expand16And32(
          d, UseFileMapping,
          [&](int64_t bytes) {
            if (bytes > imageSize) throw EHvDIBInvalidDIB(badData);
          },
          [&](int64_t y, BYTE* row) { memcpy(row, pixels + y * srcRow, static_cast<size_t>(srcRow)); });
      break;
    }
    default:
      throw EHvDIBInvalidDIB("THvInternalDIB.LoadFromClipboardFormat: Invalid biBitCount");
  }
  Commit(d);
  pending.Keep();
}

void THvInternalDIB::SaveToClipboardFormat(HANDLE& Handle) {
  SIZE_T header = 40 + 4 * Data.Header.biClrUsed;
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header + Data.ImageSize);
  if (!g) throw EOutOfMemory("THvInternalDIB.SaveToClipboardFormat: Out Of Memory");
  auto* p = static_cast<BYTE*>(GlobalLock(g));
  memcpy(p, &Data.Header, header);
  memcpy(p + header, Data.Bits, Data.ImageSize);
  GlobalUnlock(g);
  Handle = g;
}

// --- THvDIB -------------------------------------------------------------------

namespace {

const bool HvDIBUseFileMapping = true;
HPALETTE FixedPalette215 = nullptr;
HPALETTE MonoPalette = nullptr;

HPALETTE MakeFixedPalette(const RGBQUAD* colors, int count) {
  std::vector<BYTE> block(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(count);
  for (int i = 0; i < count; ++i) lp->palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  HPALETTE p = CreatePalette(lp);
  if (!p) throw EOutOfResources("THvDIB.GetPalette: Cannot Make Palette(1)");
  return p;
}

// The unit's start-up and shut-down: the picture registration and the
// shared dither palettes.
struct HvDIBUnit {
  HvDIBUnit() {
    TPicture::RegisterClipboardFormat(CF_DIB, &HvDIBUseFileMapping, [] { return new THvDIB; });
    TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", &HvDIBUseFileMapping, [] { return new THvDIB; });
  }
  ~HvDIBUnit() {
    if (FixedPalette215) DeleteObject(FixedPalette215);
    if (MonoPalette) DeleteObject(MonoPalette);
    FixedPalette215 = MonoPalette = nullptr;
    TPicture::UnregisterGraphicClass(&HvDIBUseFileMapping);
  }
} HvDIBUnitInstance;

// Restores DrawMode when the moment is over.
struct DrawModeFor {
  THvDrawMode& Mode;
  THvDrawMode Saved;
  DrawModeFor(THvDrawMode& mode, THvDrawMode now) : Mode(mode), Saved(mode) { mode = now; }
  ~DrawModeFor() { Mode = Saved; }
};

}  // namespace

THvDIB::THvDIB() : FStore(new THvInternalDIB(HvDIBUseFileMapping)) { SyncPaletteModified(); }

THvDIB::~THvDIB() { ReleaseStore(); }

void THvDIB::ReleaseStore() {
  if (!FStore) return;
  if (--FStore->RefCount == 0) delete FStore;
  FStore = nullptr;
}

void THvDIB::TakeStore(THvInternalDIB* Store) {
  ReleaseStore();
  FStore = Store;
  SyncPaletteModified();
}

void THvDIB::Replace(THvInternalDIB* Store) {
  TakeStore(Store);
  SetModified(true);
}

void THvDIB::SyncPaletteModified() {
  if (FStore->PaletteChangedFlag) {
    FStore->PaletteChangedFlag = false;
    PaletteModified = true;
  }
}

void THvDIB::Unique() {
  if (FStore->RefCount == 1) return;
  auto* copy = new THvInternalDIB(FStore->UseFileMapping);
  try {
    copy->FreeDIB();
    copy->Width = FStore->Width;
    copy->Height = FStore->Height;
    THvDIBData d = FStore->Data;
    d.Bits = nullptr;
    d.MappingHandle = nullptr;
    GetMemory(d.ImageSize, d.MappingHandle, d.Bits, copy->UseFileMapping);
    memcpy(d.Bits, FStore->Data.Bits, d.ImageSize);
    copy->Data = d;
  } catch (...) {
    delete copy;
    throw;
  }
  TakeStore(copy);
}

void THvDIB::SetWidth(int Value) {
  if (Value <= 0) throw EHvDIBInvalidDIBPara("THvDIB.SetWidth: Invalid Width");
  if (Value == FStore->Width) return;
  const BITMAPINFOHEADER& h = FStore->Data.Header;
  std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
  s->FreeDIB();
  s->CreateDIB(Value, FStore->Height, h.biBitCount, static_cast<int>(h.biClrUsed));
  Replace(s.release());
}

void THvDIB::SetHeight(int Value) {
  if (Value == 0) throw EHvDIBInvalidDIBPara("THvDIB.SetWidth: Invalid Height");
  if (Value == FStore->Height) return;
  const BITMAPINFOHEADER& h = FStore->Data.Header;
  std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
  s->FreeDIB();
  s->CreateDIB(FStore->Width, Value, h.biBitCount, static_cast<int>(h.biClrUsed));
  Replace(s.release());
}

void THvDIB::SetBitCount(int Value) {
  if (Value != 1 && Value != 4 && Value != 8 && Value != 24)
    throw EHvDIBInvalidDIBPara("THvDIB.SetBitCount: Invalid BitCount");
  if (Value == GetBitCount()) return;
  std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
  s->FreeDIB();
  s->CreateDIB(FStore->Width, FStore->Height, Value, NumColorsOf(Value));
  Replace(s.release());
}

HPALETTE THvDIB::GetPalette() {
  switch (DrawMode) {
    case nkDmDither8Bit:
      if (!FixedPalette215) FixedPalette215 = MakeFixedPalette(FixedPalette215Colors(), 215);
      return FixedPalette215;
    case nkDmDither1Bit:
      if (!MonoPalette) {
        const RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        MonoPalette = MakeFixedPalette(bw, 2);
      }
      return MonoPalette;
    default:
      if (!FStore->PaletteHandle && FStore->Data.Header.biClrUsed != 0) FStore->PaletteHandle = FStore->MakePalette();
      return FStore->PaletteHandle;
  }
}

void THvDIB::SetPalette(HPALETTE Value) {
  Unique();
  THvInternalDIB& s = *FStore;
  if (!Value) {
    // The cached palette no longer matches an image without colour table.
    s.Data.Header.biClrUsed = 0;
    s.PaletteChanged();
  } else {
    PALETTEENTRY pe[256];
    UINT n = GetPaletteEntries(Value, 0, 256, pe);
    if (n == 0) throw EHvDIBInvalidPalette("THvDIB.SetPalette: Invalid Palette");
    s.Data.Header.biClrUsed = n;
    for (UINT i = 0; i < n; ++i) s.Data.Colors[i] = {pe[i].peBlue, pe[i].peGreen, pe[i].peRed, 0};
    if (s.PaletteHandle && s.PaletteHandle != Value) DeleteObject(s.PaletteHandle);
    s.PaletteHandle = Value;
    s.PaletteChangedFlag = true;
  }
  SyncPaletteModified();
  SetModified(true);
}

void THvDIB::InitProgress(int Total, const std::string& Message) {
  FProgressMessage = Message;
  FProgressTotal = Total;
  FProgressCount = 0;
}

void THvDIB::ProgressStart() {
  RECT r{0, 0, GetWidth(), GetHeight()};
  Progress(this, psStarting, 0, false, r, FProgressMessage);
}

void THvDIB::ProgressStep() {
  if (++FProgressCount == FProgressTotal) return;
  RECT r{0, 0, GetWidth(), GetHeight()};
  Progress(this, psRunning, static_cast<BYTE>(FProgressCount * 100 / FProgressTotal), false, r, FProgressMessage);
}

void THvDIB::ProgressEnd() {
  RECT r{0, 0, GetWidth(), GetHeight()};
  Progress(this, psEnding, 100, true, r, FProgressMessage);
}

void THvDIB::SetPixelFormat(THvPixelFormat Value) {
  THvPixelFormat s = GetPixelFormat();
  if (Value == s) return;
  Unique();
  const char* from = s == nkPf8Bit ? "8Bit" : s == nkPf8BitRLE ? "8BitRLE" : s == nkPf24Bit ? "24Bit" : nullptr;
  const char* to = Value == nkPf4Bit ? "4Bit" : Value == nkPf4BitRLE ? "4BitRLE" : nullptr;
  int total = 16;
  if (s == nkPf24Bit && (Value == nkPf8Bit || Value == nkPf8BitRLE)) {
    to = Value == nkPf8Bit ? "8Bit" : "8BitRLE";
    total = 256;
  }
  bool progress = from && to;
  if (progress) {
    InitProgress(total, std::string("PixelFormat ") + from + " -> " + to);
    ProgressStart();
  }
  try {
    FStore->Convert(Value, ReductionQuality, &THvDIB::ProgressStep, this, ColorToRGB(MonoColor));
  } catch (...) {
    SyncPaletteModified();
    if (progress) ProgressEnd();
    throw;
  }
  SyncPaletteModified();
  if (progress) ProgressEnd();
  SetModified(true);
}

void THvDIB::LoadFromStream(TStream* Stream) {
  std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
  s->LoadFromStream(Stream);
  Replace(s.release());
}

void THvDIB::SaveToStream(TStream* Stream) { FStore->SaveToStream(Stream); }

void THvDIB::LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) {
  if (AFormat != CF_DIB || !AData)
    throw EInvalidGraphic("THvDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
  s->LoadFromClipboardFormat(AData);
  Replace(s.release());
}

void THvDIB::SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) {
  AFormat = CF_DIB;
  APalette = nullptr;
  FStore->SaveToClipboardFormat(AData);
}

void THvDIB::Draw(TCanvas* ACanvas, const RECT& Rect) {
  if (DrawMode == nkDmNormal) {
    HDC dc = ACanvas->Handle();
    HPALETTE palette = GetPalette(), old = nullptr;
    if (palette) {
      old = SelectPalette(dc, palette, TRUE);
      RealizePalette(dc);
    }
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    THvDIBData& d = FStore->Data;
    StretchDIBits(dc, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, 0, 0, FStore->Width,
                  FStore->Height, d.Bits, d.Info(), DIB_RGB_COLORS, ACanvas->CopyMode);
    SetStretchBltMode(dc, oldMode);
    if (palette) SelectPalette(dc, old, TRUE);
    return;
  }
  if (DrawMode != nkDmDither8Bit && DrawMode != nkDmDither1Bit) return;
  int w = Rect.right - Rect.left, h = Rect.bottom - Rect.top;
  if (w == 0 || h == 0) return;
  THvPixelFormat target = DrawMode == nkDmDither8Bit ? nkPf8BitDither : nkPf1BitDither;
  THvDIB temp;
  {
    DrawModeFor normal(DrawMode, nkDmNormal);
    temp.SetWidth(std::abs(w));
    temp.SetHeight(std::abs(h));
    temp.SetBitCount(GetBitCount());
    HPALETTE own = GetPalette();
    HPALETTE copy = own ? CopyPalette(own) : nullptr;
    temp.SetPalette(copy);
    THvDIBCanvas canvas(&temp);
    RECT all{0, 0, w, h};
    Draw(&canvas, all);
  }
  temp.SetPixelFormat(target);
  temp.Draw(ACanvas, Rect);
}

void THvDIB::Assign(TPersistent* Source) {
  if (!Source) {
    Replace(new THvInternalDIB(FStore->UseFileMapping));
    return;
  }
  if (auto* other = dynamic_cast<THvDIB*>(Source)) {
    if (other == this) return;
    ReleaseStore();
    FStore = other->FStore;
    ++FStore->RefCount;
    MonoColor = other->MonoColor;
    ReductionQuality = other->ReductionQuality;
    DrawMode = other->DrawMode;
    PaletteModified = true;
    SetModified(true);
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    BITMAP bm{};
    if (!bitmap->Handle() || !GetObject(bitmap->Handle(), sizeof bm, &bm))
      throw EHvDIBInvalidDIBPara("THvInternalDIB.CreateDIB: Invalid Parameters");
    int bits = bm.bmBitsPixel * bm.bmPlanes;
    if (bits == 16 || bits == 32) bits = 24;
    std::unique_ptr<THvInternalDIB> s(new THvInternalDIB(FStore->UseFileMapping));
    s->FreeDIB();
    s->CreateDIB(bm.bmWidth, bm.bmHeight, bits, 0);
    HDC screen = GetDC(nullptr);
    HPALETTE old = nullptr;
    if (bitmap->GetPalette()) {
      old = SelectPalette(screen, bitmap->GetPalette(), TRUE);
      RealizePalette(screen);
    }
    GetDIBits(screen, bitmap->Handle(), 0, s->Height, s->Data.Bits, s->Data.Info(), DIB_RGB_COLORS);
    if (old) SelectPalette(screen, old, TRUE);
    ReleaseDC(nullptr, screen);
    BITMAPINFOHEADER& h = s->Data.Header;
    if (h.biClrUsed == 0) h.biClrUsed = NumColorsOf(h.biBitCount);
    FixResolutions(h);
    s->PaletteChanged();
    Replace(s.release());
    return;
  }
  THvGraphic::Assign(Source);
}

void THvDIB::AssignTo(TPersistent* Dest) {
  if (auto* dib = dynamic_cast<THvDIB*>(Dest)) {
    dib->Assign(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(Dest);
  if (!bitmap) {
    THvGraphic::AssignTo(Dest);
    return;
  }
  bitmap->SetHeight(GetHeight());
  bitmap->SetWidth(GetWidth());
  switch (GetPixelFormat()) {
    case nkPf1Bit: bitmap->SetPixelFormat(pf1bit); break;
    case nkPf4Bit:
    case nkPf4BitRLE: bitmap->SetPixelFormat(pf4bit); break;
    case nkPf8Bit:
    case nkPf8BitRLE: bitmap->SetPixelFormat(pf8bit); break;
    default: bitmap->SetPixelFormat(pf24bit); break;
  }
  {
    DrawModeFor normal(DrawMode, nkDmNormal);
    bitmap->SetPalette(CopyPalette(GetPalette()));
  }
  THvDIBData& d = FStore->Data;
  StretchDIBits(bitmap->Canvas()->Handle(), 0, 0, GetWidth(), GetHeight(), 0, 0, GetWidth(), GetHeight(), d.Bits,
                d.Info(), DIB_RGB_COLORS, SRCCOPY);
}

// --- THvDIBCanvas ---------------------------------------------------------------

THvDIBCanvas::THvDIBCanvas(THvDIB* ADIB) {
  if (!ADIB || !ADIB->GetUseFileMapping()) throw EHvDIBCanvasFailed("THvDIBCanvas.Create: Cannot Create Canvas");
  try {
    FDIB = ADIB;
    ADIB->Unique();
    FMemDC = CreateCompatibleDC(nullptr);
    if (!FMemDC) throw EOutOfResources("THvDIBCanvas.Create: Cannot Create Memory DC");
    HPALETTE palette;
    {
      DrawModeFor normal(ADIB->DrawMode, nkDmNormal);
      palette = ADIB->GetPalette();
    }
    if (palette) {
      FOldPalette = SelectPalette(FMemDC, palette, TRUE);
      RealizePalette(FMemDC);
    }
    THvDIBData& d = ADIB->FStore->Data;
    // GDI makes no section over compressed pixels.
    if (d.Header.biCompression == BI_RGB || d.Header.biCompression == BI_BITFIELDS)
      FSection = CreateDIBSection(FMemDC, d.Info(), DIB_RGB_COLORS, &FPixels, d.MappingHandle, 0);
    if (!FSection) throw EOutOfResources("THvDIBCanvas.Create: Cannot Create Memory DC");
    FOldBitmap = SelectObject(FMemDC, FSection);
    SetHandle(FMemDC);
  } catch (...) {
    Destroy();
    throw;
  }
}

THvDIBCanvas::~THvDIBCanvas() { Destroy(); }

void THvDIBCanvas::Destroy() {
  GdiFlush();
  if (FOldBitmap) SelectObject(FMemDC, FOldBitmap);
  if (FOldPalette) SelectPalette(FMemDC, FOldPalette, TRUE);
  if (FSection) DeleteObject(FSection);
  SetHandle(nullptr);
  if (FMemDC) DeleteDC(FMemDC);
  FOldBitmap = nullptr;
  FOldPalette = nullptr;
  FSection = nullptr;
  FMemDC = nullptr;
  if (FDIB) {
    THvDIB* dib = FDIB;
    FDIB = nullptr;
    dib->SyncPaletteModified();
    dib->Changed(dib);
  }
}
