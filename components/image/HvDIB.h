// Device-independent bitmaps: a reference-counted pixel store with BMP file
// and CF_DIB transfer, converters between the stored pixel formats, the
// graphic class THvDIB (copy on write) and a canvas that draws straight into
// its pixels.
#pragma once
#include <windows.h>

#include <cstdint>
#include <climits>
#include <string>

#include "Controls.h"
#include "Graphics.h"
#include "HvGraph.h"
#include "SysUtils.h"

class EHvDIBError : public Exception {
 public:
  using Exception::Exception;
};
#define HV_DIB_ERROR(name)            \
  class name : public EHvDIBError {   \
   public:                            \
    using EHvDIBError::EHvDIBError;   \
  };
HV_DIB_ERROR(EHvDIBInvalidDIB)
HV_DIB_ERROR(EHvDIBInvalidDIBFile)
HV_DIB_ERROR(EHvDIBInvalidDIBPara)
HV_DIB_ERROR(EHvDIBBadDIBType)
HV_DIB_ERROR(EHvDIBInvalidPalette)
HV_DIB_ERROR(EHvDIBCompressionFailed)
HV_DIB_ERROR(EHvDIBCanvasFailed)
#undef HV_DIB_ERROR

enum THvPixelFormat : uint8_t {
  nkPf1Bit,
  nkPf4Bit,
  nkPf4BitRLE,
  nkPf8Bit,
  nkPf8BitRLE,
  nkPf24Bit,
  nkPf8BitDither,
  nkPf1BitDither
};
enum THvReductionQuality : uint8_t { nkRqLow, nkRqHigh };
enum THvDrawMode : uint8_t { nkDmNormal, nkDmDither8Bit, nkDmDither1Bit };

// One complete DIB. Header and Colors together are the packed BITMAPINFO
// handed to GDI.
struct THvDIBData {
  int32_t ImageSize;
  HANDLE MappingHandle;
  BYTE* Bits;
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[260];
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(&Header); }
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&Header); }
};

class THvDIB;
using THvStepCallback = void (THvDIB::*)();

// Zero-filled pixel buffers: a page-file mapping (so that a DIB section can
// share it) or a heap block.
void GetMemory(int64_t Size, HANDLE& MappingHandle, BYTE*& Bits, bool UseFileMapping);
void FreeMemory(HANDLE MappingHandle, BYTE* Bits, bool UseFileMapping);
int NumColorsOf(int BitCount);
HPALETTE GetPaletteFromDIBInfos(const THvDIBData& Data);
void ConvertCoreHeader(THvDIBData& Data);
int MaskShift(DWORD Mask);
// Bytes of one stored row, padded to 32 bits.
inline int64_t DIBRowBytes(int64_t Width, int BitCount) { return (Width * BitCount + 31) / 32 * 4; }
// Bytes of Rows rows; headers may claim sizes whose product overflows, so
// it saturates (GetMemory refuses anything that large).
inline int64_t DIBImageSize(int64_t Width, int BitCount, int64_t Rows) {
  int64_t row = DIBRowBytes(Width, BitCount);
  return Rows != 0 && row > INT64_MAX / Rows ? INT64_MAX : row * Rows;
}

// The shared pixel store.
class THvInternalDIB {
 public:
  explicit THvInternalDIB(bool AUseFileMapping);
  ~THvInternalDIB();
  THvInternalDIB(const THvInternalDIB&) = delete;
  THvInternalDIB& operator=(const THvInternalDIB&) = delete;

  void CreateDIB(int AWidth, int AHeight, int BitCount, int ClrUsed);
  void FreeDIB();
  HPALETTE MakePalette();
  void PaletteChanged();
  THvPixelFormat GetPixelFormat();
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromClipboardFormat(HANDLE Handle);
  void SaveToClipboardFormat(HANDLE& Handle);
  void Convert(THvPixelFormat Target, THvReductionQuality Quality, THvStepCallback StepCallback, THvDIB* Sender,
               COLORREF MonoColor);

  int32_t RefCount = 1;
  int32_t Width = 0;
  int32_t Height = 0;
  HPALETTE PaletteHandle = nullptr;
  THvDIBData Data{};
  bool PaletteChangedFlag = false;
  bool UseFileMapping;

 private:
  void Commit(const THvDIBData& Loaded);
};

// Converters: each reads Source and fills Dest with a new buffer, or raises
// having freed what it made.
#define HV_CONVERTER(name) void name(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping);
#define HV_REDUCER(name)                                                                             \
  void name(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping, THvStepCallback StepCallback, \
            THvDIB* Sender);
#define HV_MONO(name) void name(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping, COLORREF MonoColor);
HV_CONVERTER(Convert8BitRLETo8BitRGB)
HV_CONVERTER(Convert4BitRLETo4BitRGB)
HV_CONVERTER(Convert8BitRGBTo8BitRLE)
HV_CONVERTER(Convert4BitRGBTo4BitRLE)
HV_CONVERTER(Convert1BitRGBTo4BitRGB)
HV_CONVERTER(Convert1BitRGBTo8BitRGB)
HV_CONVERTER(Convert4BitRGBTo8BitRGB)
HV_CONVERTER(Convert1BitRGBToTrueColor)
HV_CONVERTER(Convert4BitRGBToTrueColor)
HV_CONVERTER(Convert8BitRGBToTrueColor)
HV_REDUCER(ConvertTrueColorTo8BitRGBLow)
HV_REDUCER(ConvertTrueColorTo4BitRGBLow)
HV_REDUCER(ConvertTrueColorTo8BitRGBHigh)
HV_REDUCER(ConvertTrueColorTo4BitRGBHigh)
HV_REDUCER(Convert8BitRGBTo4BitRGB)
HV_MONO(ConvertTrueColorTo1BitRGB)
HV_MONO(Convert8BitTo1BitRGB)
HV_MONO(Convert4BitRGBTo1BitRGB)
HV_CONVERTER(ConvertToDithered8BitRGB)
HV_CONVERTER(ConvertToDithered1BitRGB)
#undef HV_CONVERTER
#undef HV_REDUCER
#undef HV_MONO

// The fixed 215-colour dither palette, as RGBQUADs.
const RGBQUAD* FixedPalette215Colors();

class THvDIB : public THvGraphic {
 public:
  THvDIB();
  ~THvDIB() override;

  void Assign(TPersistent* Source) override;
  void Draw(TCanvas* ACanvas, const RECT& Rect) override;
  bool GetEmpty() override { return false; }
  int GetHeight() override { return FStore->Height; }
  HPALETTE GetPalette() override;
  int GetWidth() override { return FStore->Width; }
  void SetHeight(int Value) override;
  void SetPalette(HPALETTE Value) override;
  void SetWidth(int Value) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) override;
  WORD ClipboardFormat() override { return CF_DIB; }

  int GetBitCount() { return FStore->Data.Header.biBitCount; }
  void SetBitCount(int Value);
  THvPixelFormat GetPixelFormat() { return FStore->GetPixelFormat(); }
  void SetPixelFormat(THvPixelFormat Value);
  bool GetUseFileMapping() { return FStore->UseFileMapping; }
  // The store, for readers of the raw header and pixels.
  const THvInternalDIB& InternalDIB() const { return *FStore; }

  void InitProgress(int Total, const std::string& Message);
  void ProgressStart();
  void ProgressStep();
  void ProgressEnd();

  THvReductionQuality ReductionQuality = nkRqLow;
  TColor MonoColor = clWhite;
  THvDrawMode DrawMode = nkDmNormal;

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  friend class THvDIBCanvas;
  void ReleaseStore();
  void TakeStore(THvInternalDIB* Store);
  void SyncPaletteModified();
  void Unique();
  void Replace(THvInternalDIB* Store);
  THvInternalDIB* FStore;
  int FProgressCount = 0;
  int FProgressTotal = 0;
  std::string FProgressMessage;
};

// A canvas whose drawing lands in the pixels of a THvDIB held in a page-file
// mapping (a DIB section over the same memory).
class THvDIBCanvas : public TCanvas {
 public:
  explicit THvDIBCanvas(THvDIB* ADIB);
  ~THvDIBCanvas() override;

 private:
  void Destroy();
  HDC FMemDC = nullptr;
  HBITMAP FSection = nullptr;
  THvDIB* FDIB = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  HPALETTE FOldPalette = nullptr;
  void* FPixels = nullptr;
};
