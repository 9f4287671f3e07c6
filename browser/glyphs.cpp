#include "glyphs.h"

#include <vector>

namespace {

constexpr COLORREF kMask = RGB(255, 0, 255);

struct Painter {
  HDC dc;
  int x0;
  bool grey;
  COLORREF C(COLORREF c) const {
    if (!grey) return c;
    int l = (GetRValue(c) * 3 + GetGValue(c) * 6 + GetBValue(c)) / 10;
    l = 128 + l / 3;
    return RGB(l, l, l);
  }
  void Box(int l, int t, int r, int b, COLORREF fill, COLORREF line = RGB(0, 0, 0)) {
    HBRUSH br = CreateSolidBrush(C(fill));
    HPEN pen = CreatePen(PS_SOLID, 1, C(line));
    HGDIOBJ ob = SelectObject(dc, br), op = SelectObject(dc, pen);
    Rectangle(dc, x0 + l, t, x0 + r, b);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(br);
    DeleteObject(pen);
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF c, int w = 1) {
    HPEN pen = CreatePen(PS_SOLID, w, C(c));
    HGDIOBJ op = SelectObject(dc, pen);
    MoveToEx(dc, x0 + x1, y1, nullptr);
    LineTo(dc, x0 + x2, y2);
    SelectObject(dc, op);
    DeleteObject(pen);
  }
  void Poly(const POINT* pts, int n, COLORREF fill) {
    std::vector<POINT> p(pts, pts + n);
    for (auto& q : p) q.x += x0;
    HBRUSH br = CreateSolidBrush(C(fill));
    HGDIOBJ ob = SelectObject(dc, br);
    HGDIOBJ op = SelectObject(dc, GetStockObject(BLACK_PEN));
    Polygon(dc, p.data(), n);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(br);
  }
  void Folder(bool open) {
    Box(1, 3, 8, 6, RGB(230, 190, 60));
    Box(1, 5, 15, 14, RGB(250, 210, 80));
    if (open) {
      POINT p[] = {{3, 8}, {16, 8}, {14, 14}, {1, 14}};
      Poly(p, 4, RGB(255, 235, 140));
    }
  }
  void Page(COLORREF c = RGB(255, 255, 255)) {
    Box(3, 1, 13, 15, c);
    Line(5, 4, 11, 4, RGB(80, 80, 160));
    Line(5, 7, 11, 7, RGB(80, 80, 160));
    Line(5, 10, 11, 10, RGB(80, 80, 160));
  }
  void Picture() {
    Box(1, 2, 15, 14, RGB(200, 230, 255));
    POINT p[] = {{2, 13}, {6, 7}, {9, 11}, {11, 9}, {14, 13}};
    Poly(p, 5, RGB(60, 160, 60));
    Box(10, 4, 13, 7, RGB(255, 220, 0), RGB(255, 220, 0));
  }
  void Archive() {
    Box(2, 3, 14, 15, RGB(160, 110, 60));
    Box(2, 1, 14, 5, RGB(200, 150, 90));
    Line(8, 1, 8, 15, RGB(240, 220, 0), 2);
  }
  void Arrow(int dir, COLORREF c) {  // 0 up, 1 down
    if (dir == 0) {
      POINT p[] = {{8, 2}, {14, 8}, {10, 8}, {10, 14}, {6, 14}, {6, 8}, {2, 8}};
      Poly(p, 7, c);
    } else {
      POINT p[] = {{8, 14}, {14, 8}, {10, 8}, {10, 2}, {6, 2}, {6, 8}, {2, 8}};
      Poly(p, 7, c);
    }
  }
  void Letter(const char* s, COLORREF c) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, C(c));
    HFONT f = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ of = SelectObject(dc, f);
    RECT r{x0, 0, x0 + 16, 16};
    DrawTextA(dc, s, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, of);
    DeleteObject(f);
  }
};

template <class F>
void Fill(TImageList* il, int count, F draw, bool grey) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 16 * count, 16);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, 16 * count, 16};
  HBRUSH mask = CreateSolidBrush(kMask);
  FillRect(dc, &all, mask);
  DeleteObject(mask);
  for (int i = 0; i < count; ++i) {
    Painter p{dc, 16 * i, grey};
    draw(p, i);
  }
  SelectObject(dc, old);
  il->AddMasked(bmp, kMask);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

}  // namespace

void FillItemImages(TImageList* il) {
  Fill(il, 6, [](Painter& p, int i) {
    switch (i) {
      case 1: p.Folder(false); break;
      case 2: p.Folder(true); break;
      case 3: p.Page(); break;
      case 4: p.Picture(); break;
      case 5: p.Archive(); break;
      default: break;
    }
  }, false);
}

void FillCommandImages(TImageList* il, bool disabled) {
  Fill(il, 21, [](Painter& p, int i) {
    switch (i) {
      case 0: p.Box(2, 2, 14, 14, RGB(220, 60, 60)); p.Line(5, 5, 11, 11, RGB(255, 255, 255), 2); p.Line(11, 5, 5, 11, RGB(255, 255, 255), 2); break;
      case 1: p.Page(); p.Letter("*", RGB(200, 0, 0)); break;
      case 2: p.Box(1, 2, 15, 14, RGB(80, 120, 200)); p.Box(3, 5, 13, 12, RGB(255, 255, 255)); break;
      case 3: p.Folder(false); p.Letter("+", RGB(0, 120, 0)); break;
      case 4: p.Folder(true); break;
      case 5: p.Archive(); p.Arrow(1, RGB(60, 180, 60)); break;
      case 6: p.Archive(); p.Arrow(0, RGB(60, 100, 220)); break;
      case 7: p.Page(); break;
      case 8: p.Page(RGB(255, 255, 200)); p.Line(4, 13, 13, 4, RGB(200, 80, 0), 2); break;
      case 9: p.Line(3, 3, 13, 13, RGB(220, 0, 0), 3); p.Line(13, 3, 3, 13, RGB(220, 0, 0), 3); break;
      case 10: p.Box(2, 2, 14, 14, RGB(255, 255, 255)); p.Letter("T", RGB(0, 0, 160)); break;
      case 11: p.Box(1, 1, 15, 15, RGB(40, 90, 200)); break;
      case 12: p.Box(1, 1, 8, 15, RGB(40, 90, 200)); p.Box(8, 1, 15, 15, RGB(255, 255, 255)); break;
      case 13: p.Letter("-", RGB(0, 0, 0)); break;
      case 14: p.Letter("ab", RGB(0, 0, 140)); break;
      case 15: p.Archive(); p.Letter("v", RGB(0, 160, 0)); break;
      case 16: p.Box(2, 2, 14, 14, RGB(200, 200, 255)); p.Letter("S", RGB(120, 0, 120)); break;
      case 17: p.Box(2, 2, 10, 10, RGB(220, 240, 255)); p.Line(9, 9, 14, 14, RGB(60, 60, 60), 3); break;
      case 18: p.Box(1, 2, 15, 14, RGB(255, 255, 255)); p.Box(1, 2, 15, 5, RGB(40, 90, 200)); break;
      case 19: p.Page(); p.Letter("i", RGB(0, 0, 200)); break;
      case 20: p.Folder(false); p.Arrow(0, RGB(0, 140, 0)); break;
    }
  }, disabled);
}
