// Plumbing for the engine's three small windows: a top-level popup with a
// fixed client size, static texts, buttons, edits and a progress bar, built
// straight on Win32 with the exact geometry of each box.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

class TEngineBox {
 public:
  // Client area width x height; the caption may be empty.
  TEngineBox(int clientW, int clientH, const char* fontFace, bool sysMenu);
  virtual ~TEngineBox();
  TEngineBox(const TEngineBox&) = delete;
  TEngineBox& operator=(const TEngineBox&) = delete;

  HWND Handle() const { return FWnd; }
  HWND AddControl(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id,
                  DWORD exStyle = 0);
  void SetText(HWND control, const std::string& text);
  std::string GetText(HWND control) const;
  void SetCaption(const std::string& text);
  int Width() const;
  int Height() const;
  int Left() const;
  int Top() const;
  void SetBounds(int left, int top);
  void Show();
  void Repaint();
  // Modal loop until ModalResult is set.
  int ShowModal();
  int ModalResult = 0;
  // The control that has the focus when the box comes up.
  void SetFocusControl(HWND control) { FFocus = control; }

 protected:
  virtual void OnCommand(int id) {}
  virtual bool OnClose() { return true; }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  HWND FWnd = nullptr;
  HFONT FFont = nullptr;
  HWND FFocus = nullptr;
  HWND FDisabledOwner = nullptr;  // disabled by Show, enabled again when the box goes
};

// Centres a box on the owner window (or leaves it where it is without one).
// The box belongs to owner (which Show disables until the box goes) and is
// centred on it.
void CenterOnOwner(TEngineBox& box, HWND owner);
