// Extra controls: image, splitter, panel.
#pragma once
#include "Controls.h"

// Shows a bitmap (centred or at the top-left) or lets the owner paint.
class TImage : public TControl {
 public:
  TImage(TComponent* AOwner, TWinControl* AParent);
  ~TImage() override;
  bool Center = false;
  bool Stretch = false;
  // The image takes the bitmap (it frees it); null clears.
  void SetBitmap(HBITMAP bmp);
  HBITMAP Bitmap() const { return FBitmap; }
  // Painting by the owner instead of the bitmap (dc, client rectangle).
  std::function<void(HDC, const RECT&)> OnPaint;
  static LRESULT CALLBACK WndProcOf(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  HBITMAP FBitmap = nullptr;
};

// Drags the size of the aligned control in front of it.
class TSplitter : public TControl {
 public:
  TSplitter(TComponent* AOwner, TWinControl* AParent, TAlign align, int size);
  int MinSize = 30;
  TNotifyEvent OnMoved;
  static LRESULT CALLBACK WndProcOf(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  TControl* Target() const;
  bool FDragging = false;
  int FStart = 0;
  int FStartSize = 0;
};

class TPanel : public TWinControl {
 public:
  TPanel(TComponent* AOwner, TWinControl* AParent);
};
