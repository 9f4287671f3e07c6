#include "Graphics.h"

#include <cstring>
#include <memory>

void TCanvas::StretchDraw(const RECT& Rect, TGraphic* Graphic) {
  if (Graphic) Graphic->Draw(this, Rect);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic) return;
  RECT r{X, Y, X + Graphic->Width(), Y + Graphic->Height()};
  Graphic->Draw(this, r);
}

void TGraphic::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead);
  LoadFromStream(&f);
}

void TGraphic::SaveToFile(const std::string& name) {
  TFileStream f(name, fmCreate);
  SaveToStream(&f);
}

void TGraphic::SetModified(bool Value) {
  if (Value)
    Changed(this);
  else
    FModified = false;
}

void TGraphic::Changed(TGraphic* Sender) {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TGraphic* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow, const RECT& R,
                        const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

HPALETTE CopyPalette(HPALETTE Palette) {
  if (!Palette) return nullptr;
  UINT n = GetPaletteEntries(Palette, 0, 0, nullptr);
  if (n == 0) return nullptr;
  std::vector<BYTE> buf(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  GetPaletteEntries(Palette, 0, n, lp->palPalEntry);
  return CreatePalette(lp);
}

// --- TBitmap ---------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  Deselect();
  if (FHandle) DeleteObject(FHandle);
  if (FPalette) DeleteObject(FPalette);
}

void TBitmap::Deselect() {
  if (!FDC) return;
  if (FOldBitmap) SelectObject(FDC, FOldBitmap);
  if (FOldPalette) SelectPalette(FDC, static_cast<HPALETTE>(FOldPalette), TRUE);
  DeleteDC(FDC);
  FDC = nullptr;
  FOldBitmap = FOldPalette = nullptr;
  FCanvas.SetHandle(nullptr);
}

TCanvas* TBitmap::Canvas() {
  if (!FDC) {
    FDC = CreateCompatibleDC(nullptr);
    if (!FDC) throw EOutOfResources("Out of system resources");
    if (FHandle) FOldBitmap = SelectObject(FDC, FHandle);
    if (FPalette) {
      FOldPalette = SelectPalette(FDC, FPalette, TRUE);
      RealizePalette(FDC);
    }
    FCanvas.SetHandle(FDC);
  }
  return &FCanvas;
}

HBITMAP TBitmap::ReleaseHandle() {
  Deselect();
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  FPixelFormat = pfDevice;
  return h;
}

void TBitmap::SetHandle(HBITMAP Value) {
  Deselect();
  if (FHandle && FHandle != Value) DeleteObject(FHandle);
  FHandle = Value;
  FWidth = FHeight = 0;
  FPixelFormat = pfDevice;
  if (!Value) return;
  DIBSECTION ds{};
  int got = GetObject(Value, sizeof ds, &ds);
  FWidth = ds.dsBm.bmWidth;
  FHeight = ds.dsBm.bmHeight;
  if (got == sizeof ds) {
    switch (ds.dsBmih.biBitCount) {
      case 1: FPixelFormat = pf1bit; break;
      case 4: FPixelFormat = pf4bit; break;
      case 8: FPixelFormat = pf8bit; break;
      case 16: FPixelFormat = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x7E0 ? pf16bit : pf15bit; break;
      case 24: FPixelFormat = pf24bit; break;
      case 32: FPixelFormat = pf32bit; break;
    }
  }
  Changed(this);
}

void TBitmap::Remake() {
  Deselect();
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  if (FWidth <= 0 || FHeight <= 0) return;
  if (FPixelFormat == pfDevice) {
    HDC screen = GetDC(nullptr);
    FHandle = CreateCompatibleBitmap(screen, FWidth, FHeight);
    ReleaseDC(nullptr, screen);
  } else {
    static const WORD bits[] = {0, 1, 4, 8, 16, 16, 24, 32};
    struct {
      BITMAPINFOHEADER h;
      RGBQUAD c[256];
    } bi{};
    bi.h.biSize = sizeof bi.h;
    bi.h.biWidth = FWidth;
    bi.h.biHeight = FHeight;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = bits[FPixelFormat];
    bi.h.biCompression = BI_RGB;
    if (FPixelFormat == pf16bit) {
      bi.h.biCompression = BI_BITFIELDS;
      DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
      memcpy(bi.c, masks, sizeof masks);
    } else if (bi.h.biBitCount <= 8) {
      int n = 1 << bi.h.biBitCount;
      bi.h.biClrUsed = n;
      PALETTEENTRY pe[256]{};
      if (FPalette) {
        GetPaletteEntries(FPalette, 0, n, pe);
      } else if (n == 2) {
        pe[1] = {255, 255, 255, 0};
      } else {
        GetPaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, n, pe);
      }
      for (int i = 0; i < n; ++i) bi.c[i] = {pe[i].peBlue, pe[i].peGreen, pe[i].peRed, 0};
    }
    void* pixels = nullptr;
    FHandle = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &pixels, nullptr, 0);
  }
  if (!FHandle) throw EOutOfResources("Out of system resources");
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  FPixelFormat = Value;
  Remake();
  Changed(this);
}

void TBitmap::SetWidth(int Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  Remake();
  Changed(this);
}

void TBitmap::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Remake();
  Changed(this);
}

void TBitmap::SetPalette(HPALETTE Value) {
  Deselect();
  if (FPalette && FPalette != Value) DeleteObject(FPalette);
  FPalette = Value;
  DIBSECTION ds{};
  if (Value && FHandle && GetObject(FHandle, sizeof ds, &ds) == sizeof ds && ds.dsBmih.biBitCount <= 8) {
    PALETTEENTRY pe[256]{};
    UINT n = GetPaletteEntries(Value, 0, 256, pe);
    RGBQUAD q[256];
    for (UINT i = 0; i < n; ++i) q[i] = {pe[i].peBlue, pe[i].peGreen, pe[i].peRed, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FHandle);
    SetDIBColorTable(dc, 0, n, q);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  PaletteModified = true;
  Changed(this);
}

void TBitmap::Draw(TCanvas* ACanvas, const RECT& Rect) {
  if (!FHandle) return;
  HDC src = Canvas()->Handle();
  int old = SetStretchBltMode(ACanvas->Handle(), COLORONCOLOR);
  StretchBlt(ACanvas->Handle(), Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, src, 0, 0,
             FWidth, FHeight, ACanvas->CopyMode);
  SetStretchBltMode(ACanvas->Handle(), old);
}

void TBitmap::LoadFromStream(TStream*) { throw EInvalidGraphic("TBitmap: streams are not supported"); }
void TBitmap::SaveToStream(TStream*) { throw EInvalidGraphic("TBitmap: streams are not supported"); }

void TBitmap::LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) {
  if (AFormat != CF_BITMAP || !AData) throw EInvalidGraphic("Unsupported clipboard format");
  SetHandle(static_cast<HBITMAP>(CopyImage(AData, IMAGE_BITMAP, 0, 0, 0)));
  if (APalette) SetPalette(CopyPalette(APalette));
}

void TBitmap::SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) {
  AFormat = CF_BITMAP;
  AData = FHandle ? CopyImage(FHandle, IMAGE_BITMAP, 0, 0, 0) : nullptr;
  APalette = CopyPalette(FPalette);
}

// --- TPicture registry -----------------------------------------------------

namespace {
struct FileFormat {
  std::string Ext, Desc;
  TGraphicClassId Id;
  TGraphicFactory Make;
};
struct ClipFormat {
  WORD Format;
  TGraphicClassId Id;
  TGraphicFactory Make;
};
std::vector<FileFormat>& FileFormats() {
  static std::vector<FileFormat> v;
  return v;
}
std::vector<ClipFormat>& ClipFormats() {
  static std::vector<ClipFormat> v;
  return v;
}
const FileFormat* FindExt(const std::string& ext) {
  for (auto& f : FileFormats())
    if (lstrcmpiA(f.Ext.c_str(), ext.c_str()) == 0) return &f;
  return nullptr;
}
}  // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description, TGraphicClassId Id,
                                  TGraphicFactory Factory) {
  FileFormats().insert(FileFormats().begin(), {Extension, Description, Id, std::move(Factory)});
}

void TPicture::RegisterClipboardFormat(WORD AFormat, TGraphicClassId Id, TGraphicFactory Factory) {
  ClipFormats().insert(ClipFormats().begin(), {AFormat, Id, std::move(Factory)});
}

void TPicture::UnregisterGraphicClass(TGraphicClassId Id) {
  std::erase_if(FileFormats(), [Id](const FileFormat& f) { return f.Id == Id; });
  std::erase_if(ClipFormats(), [Id](const ClipFormat& f) { return f.Id == Id; });
}

TGraphic* TPicture::CreateForExtension(const std::string& Extension) {
  const FileFormat* f = FindExt(Extension);
  return f ? f->Make() : nullptr;
}

TGraphic* TPicture::CreateForClipboardFormat(WORD AFormat) {
  for (auto& f : ClipFormats())
    if (f.Format == AFormat) return f.Make();
  return nullptr;
}

bool TPicture::SupportsClipboardFormat(WORD AFormat) {
  for (auto& f : ClipFormats())
    if (f.Format == AFormat) return true;
  return false;
}

std::string TPicture::DescriptionOf(const std::string& Extension) {
  const FileFormat* f = FindExt(Extension);
  return f ? f->Desc : std::string();
}
