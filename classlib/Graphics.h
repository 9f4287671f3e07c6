// Graphics: canvases over device contexts, the abstract graphic with its
// change and progress events, a bitmap over a GDI bitmap, and the picture
// registry of graphic classes by file extension and clipboard format.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Streams.h"
#include "SysUtils.h"

class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// A device context to draw on. The owner of the context sets the handle.
class TCanvas : public TPersistent {
 public:
  virtual ~TCanvas() = default;
  HDC Handle() { return FHandle; }
  void SetHandle(HDC dc) { FHandle = dc; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  DWORD CopyMode = SRCCOPY;
  void StretchDraw(const RECT& Rect, class TGraphic* Graphic);
  void Draw(int X, int Y, class TGraphic* Graphic);

 private:
  HDC FHandle = nullptr;
};

enum TProgressStage { psStarting, psRunning, psEnding };
class TGraphic;
using TProgressEvent = std::function<void(TGraphic* Sender, TProgressStage Stage, BYTE PercentDone,
                                          bool RedrawNow, const RECT& R, const std::string& Msg)>;
using TGraphicEvent = std::function<void(TGraphic* Sender)>;

class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual void Draw(TCanvas* ACanvas, const RECT& Rect) = 0;
  virtual bool GetEmpty() = 0;
  virtual int GetHeight() = 0;
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual int GetWidth() = 0;
  virtual void SetHeight(int Value) = 0;
  virtual void SetPalette(HPALETTE Value) {}
  virtual void SetWidth(int Value) = 0;
  virtual void LoadFromStream(TStream* Stream) = 0;
  virtual void SaveToStream(TStream* Stream) = 0;
  virtual void LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) = 0;
  virtual void SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) = 0;
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name);

  bool Empty() { return GetEmpty(); }
  int Width() { return GetWidth(); }
  int Height() { return GetHeight(); }
  bool Modified() const { return FModified; }
  // Setting it true tells the owners through OnChange.
  void SetModified(bool Value);
  bool PaletteModified = false;
  TGraphicEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  virtual void Changed(TGraphic* Sender);
  void Progress(TGraphic* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow, const RECT& R,
                const std::string& Msg);

 private:
  bool FModified = false;
};

// A copy of a palette with all its entries (0 for 0 or a bad handle).
HPALETTE CopyPalette(HPALETTE Palette);

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// A GDI bitmap with a memory-context canvas. Pixel formats other than
// pfDevice are DIB sections; resizing or reformatting makes a blank bitmap.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  HBITMAP Handle() { return FHandle; }
  // Takes ownership of the bitmap.
  void SetHandle(HBITMAP Value);
  // Gives the bitmap away (the caller frees it); the graphic is empty after.
  HBITMAP ReleaseHandle();
  TCanvas* Canvas();
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);

  void Draw(TCanvas* ACanvas, const RECT& Rect) override;
  bool GetEmpty() override { return FHandle == nullptr; }
  int GetHeight() override { return FHeight; }
  HPALETTE GetPalette() override { return FPalette; }
  int GetWidth() override { return FWidth; }
  void SetHeight(int Value) override;
  // Takes ownership of the palette; an indexed DIB section takes its colours.
  void SetPalette(HPALETTE Value) override;
  void SetWidth(int Value) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) override;

 private:
  void Remake();
  void Deselect();
  HBITMAP FHandle = nullptr;
  HPALETTE FPalette = nullptr;
  TPixelFormat FPixelFormat = pfDevice;
  int FWidth = 0, FHeight = 0;
  TCanvas FCanvas;
  HDC FDC = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  HGDIOBJ FOldPalette = nullptr;
};

using TGraphicFactory = std::function<TGraphic*()>;
using TGraphicClassId = const void*;

// Which graphic classes load which file extensions and clipboard formats.
class TPicture {
 public:
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 TGraphicClassId Id, TGraphicFactory Factory);
  static void RegisterClipboardFormat(WORD AFormat, TGraphicClassId Id, TGraphicFactory Factory);
  static void UnregisterGraphicClass(TGraphicClassId Id);
  // A new graphic of the class registered for the extension (no dot), or null.
  static TGraphic* CreateForExtension(const std::string& Extension);
  static TGraphic* CreateForClipboardFormat(WORD AFormat);
  static bool SupportsClipboardFormat(WORD AFormat);
  static std::string DescriptionOf(const std::string& Extension);
};
