// Pixel-format converters of THvInternalDIB and the dispatcher that chains
// them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "HvDIB.h"

namespace {

int64_t Rows(const THvDIBData& d) { return d.Header.biHeight < 0 ? -int64_t(d.Header.biHeight) : d.Header.biHeight; }

// The result record: a copy of the source with a new zeroed buffer, freed
// again unless the converter finishes.
class Result {
 public:
  Result(const THvDIBData& src, THvDIBData& dest, bool ufm, int bitCount, DWORD compression, int64_t size)
      : FDest(dest), FUseFileMapping(ufm) {
    dest = src;
    dest.Bits = nullptr;
    dest.MappingHandle = nullptr;
    GetMemory(size, dest.MappingHandle, dest.Bits, ufm);
    dest.ImageSize = static_cast<int32_t>(size);
    dest.Header.biBitCount = static_cast<WORD>(bitCount);
    dest.Header.biCompression = compression;
    dest.Header.biSizeImage = 0;
  }
  ~Result() {
    if (!FDone) {
      FreeMemory(FDest.MappingHandle, FDest.Bits, FUseFileMapping);
      FDest.Bits = nullptr;
      FDest.MappingHandle = nullptr;
    }
  }
  void Done() { FDone = true; }
  BYTE* Row(int64_t y, int bitCount) { return FDest.Bits + y * DIBRowBytes(FDest.Header.biWidth, bitCount); }

 private:
  THvDIBData& FDest;
  bool FUseFileMapping;
  bool FDone = false;
};

int IndexAt(const BYTE* row, int bits, int64_t x) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default: return row[x];
  }
}

void PutNibble(BYTE* row, int64_t x, int v) {
  BYTE& b = row[x >> 1];
  b = (x & 1) ? BYTE((b & 0xF0) | (v & 15)) : BYTE((b & 0x0F) | (v & 15) << 4);
}

void PutBit(BYTE* row, int64_t x, int v) {
  if (v) row[x >> 3] |= BYTE(0x80 >> (x & 7));
}

bool Is(const THvDIBData& d, int bits, DWORD compression) {
  return d.Header.biBitCount == bits && d.Header.biCompression == compression;
}

void Step(THvStepCallback cb, THvDIB* sender) {
  if (cb && sender) (sender->*cb)();
}

// --- RLE decoders ---

// Reads stop at the end of the source data: what is missing stays index 0.
void DecodeRLE(const THvDIBData& src, THvDIBData& dest, bool ufm, bool four) {
  const char* n1 = four ? "Convert4BitRLETo4BitRGB: Bad RLE Data 5" : "Convert8BitRLETo8BitRGB: Bad RLE Data 1";
  const char* n2 = four ? "Convert4BitRLETo4BitRGB: Bad RLE Data 6" : "Convert8BitRLETo8BitRGB: Bad RLE Data 2";
  const char* n3 = four ? "Convert4BitRLETo4BitRGB: Bad RLE Data 7" : "Convert8BitRLETo8BitRGB: Bad RLE Data 3";
  const char* n4 = four ? "Convert4BitRLETo4BitRGB: Bad RLE Data 8" : "Convert8BitRLETo8BitRGB: Bad RLE Data 4";
  int bits = four ? 4 : 8;
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t limit = four ? (width + 1) / 2 * 2 : width;
  int64_t rowBytes = DIBRowBytes(width, bits);
  Result r(src, dest, ufm, bits, BI_RGB, DIBImageSize(width, bits, rows));
  const BYTE* s = src.Bits;
  int64_t n = src.ImageSize, i = 0, x = 0, y = 0;
  auto put = [&](int64_t px, int v) {
    BYTE* row = dest.Bits + y * rowBytes;
    if (four)
      PutNibble(row, px, v);
    else
      row[px] = static_cast<BYTE>(v);
  };
  while (i + 2 <= n) {
    int c = s[i], v = s[i + 1];
    i += 2;
    if (c > 0) {
      if (x + c > limit || y >= rows) throw EHvDIBInvalidDIB(n4);
      for (int k = 0; k < c; ++k) put(x + k, four ? ((k & 1) ? v & 15 : v >> 4) : v);
      x += c;
    } else if (v == 0) {
      ++y;
      x = 0;
      if (y > rows) throw EHvDIBInvalidDIB(n1);
    } else if (v == 1) {
      break;
    } else if (v == 2) {
      if (i + 2 > n) break;
      x += s[i];
      y += s[i + 1];
      i += 2;
      if (x > limit || y > rows) throw EHvDIBInvalidDIB(n2);
    } else {
      if (x + v > limit || y >= rows) throw EHvDIBInvalidDIB(n3);
      int64_t advance = four ? (v + 3) / 4 * 2 : (v + 1) / 2 * 2;
      if (i + (four ? (v + 1) / 2 : v) > n) break;
      for (int k = 0; k < v; ++k) put(x + k, four ? (s[i + k / 2] >> ((k & 1) ? 0 : 4)) & 15 : s[i + k]);
      x += v;
      i += advance;
    }
  }
  r.Done();
}

// --- RLE encoders ---

// The run/literal machine over one row of bytes.
template <class EmitRun, class EmitLiteral>
void EncodeRow(const BYTE* row, int64_t n, size_t maxLen, EmitRun emitRun, EmitLiteral emitLiteral) {
  int state = 0;
  BYTE p = 0;
  size_t c = 0;
  std::vector<BYTE> lit;
  for (int64_t i = 0; i < n; ++i) {
    BYTE b = row[i];
    switch (state) {
      case 0:
        p = b;
        state = 1;
        break;
      case 1:
        if (b == p) {
          c = 2;
          state = 2;
        } else {
          lit.assign({p, b});
          state = 3;
        }
        break;
      case 2:
        if (c < maxLen && b == p) {
          ++c;
        } else {
          emitRun(c, p);
          p = b;
          state = 1;
        }
        break;
      default: {
        BYTE q = lit.back();
        if (lit.size() < maxLen && b != q) {
          lit.push_back(b);
        } else if (b == q) {
          lit.pop_back();
          emitLiteral(lit);
          p = q;
          c = 2;
          state = 2;
        } else {
          emitLiteral(lit);
          p = b;
          state = 1;
        }
      }
    }
  }
  if (state == 1) emitRun(1, p);
  if (state == 2) emitRun(c, p);
  if (state == 3) emitLiteral(lit);
}

void EncodeRLE(const THvDIBData& src, THvDIBData& dest, bool ufm, bool four) {
  const char* failed = four ? "Convert4BitRGBTo4BitRLE: Compression Failed" : "Convert8BitRGBTo8BitRLE: Compression Failed";
  int bits = four ? 4 : 8;
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t rowBytes = DIBRowBytes(width, bits);
  int64_t cap = DIBImageSize(width, bits, rows);
  if (cap > 0x7FFFFFFF) throw EOutOfMemory("Out of memory");
  std::vector<BYTE> work(static_cast<size_t>(cap));
  int64_t pos = 0, written = 0;
  auto need = [&](int64_t k) {
    if (cap - pos < k) throw EHvDIBCompressionFailed(failed);
  };
  auto put = [&](BYTE b) { work[static_cast<size_t>(pos++)] = b; };
  auto pixels = [&](size_t k) {
    int64_t count = four ? std::min<int64_t>(2 * int64_t(k), width - written) : int64_t(k);
    written += count;
    return static_cast<BYTE>(count);
  };
  auto emitRun = [&](size_t c, BYTE p) {
    need(6);
    put(pixels(c));
    put(p);
  };
  auto emitLiteral = [&](const std::vector<BYTE>& lit) {
    size_t L = lit.size();
    if (L == 1 || (!four && L == 2)) {
      for (BYTE b : lit) emitRun(1, b);
      return;
    }
    need(int64_t((L + 1) / 2 * 2) + 6);
    put(0);
    put(pixels(L));
    for (BYTE b : lit) put(b);
    if (L & 1) put(0);
  };
  for (int64_t r = 0; r < rows; ++r) {
    int64_t storage = src.Header.biHeight > 0 ? r : rows - 1 - r;
    written = 0;
    EncodeRow(src.Bits + storage * rowBytes, four ? (width + 1) / 2 : width, four ? 127 : 255, emitRun, emitLiteral);
    need(4);
    put(0);
    put(0);
  }
  need(2);
  put(0);
  put(1);
  Result res(src, dest, ufm, bits, four ? BI_RLE4 : BI_RLE8, pos);
  memcpy(dest.Bits, work.data(), static_cast<size_t>(pos));
  dest.Header.biHeight = static_cast<LONG>(rows);
  dest.Header.biSizeImage = static_cast<DWORD>(pos);
  res.Done();
}

// --- expansions and reductions through indices ---

void Reindex(const THvDIBData& src, THvDIBData& dest, bool ufm, int toBits) {
  int from = src.Header.biBitCount;
  int64_t width = src.Header.biWidth, rows = Rows(src);
  Result r(src, dest, ufm, toBits, BI_RGB, DIBImageSize(width, toBits, rows));
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = src.Bits + y * DIBRowBytes(width, from);
    BYTE* out = r.Row(y, toBits);
    for (int64_t x = 0; x < width; ++x) {
      int i = IndexAt(in, from, x);
      if (toBits == 4)
        PutNibble(out, x, i);
      else if (toBits == 8)
        out[x] = static_cast<BYTE>(i);
      else {
        out[3 * x] = src.Colors[i].rgbBlue;
        out[3 * x + 1] = src.Colors[i].rgbGreen;
        out[3 * x + 2] = src.Colors[i].rgbRed;
      }
    }
  }
  r.Done();
}

void SetBlackAndWhite(THvDIBData& d) {
  d.Header.biClrUsed = 2;
  d.Colors[0] = {0, 0, 0, 0};
  d.Colors[1] = {255, 255, 255, 0};
}

void ToMono(const THvDIBData& src, THvDIBData& dest, bool ufm, COLORREF mono) {
  int from = src.Header.biBitCount;
  int64_t width = src.Header.biWidth, rows = Rows(src);
  BYTE mr = GetRValue(mono), mg = GetGValue(mono), mb = GetBValue(mono);
  Result r(src, dest, ufm, 1, BI_RGB, DIBImageSize(width, 1, rows));
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = src.Bits + y * DIBRowBytes(width, from);
    BYTE* out = r.Row(y, 1);
    for (int64_t x = 0; x < width; ++x) {
      BYTE cr, cg, cb;
      if (from == 24) {
        cb = in[3 * x], cg = in[3 * x + 1], cr = in[3 * x + 2];
      } else {
        const RGBQUAD& q = src.Colors[IndexAt(in, from, x)];
        cb = q.rgbBlue, cg = q.rgbGreen, cr = q.rgbRed;
      }
      PutBit(out, x, cr == mr && cg == mg && cb == mb);
    }
  }
  SetBlackAndWhite(dest);
  r.Done();
}

// --- box split ---

struct HistEntry {
  int32_t R, G, B, Weight, Key;
};
#pragma pack(push, 1)
struct Pixel3 {
  BYTE B, G, R;
};
#pragma pack(pop)
struct TreeNode {
  BYTE Kind = 3;
  long double Threshold = 0;
  BYTE Index = 0;
  int32_t Left = 0, Right = 0;
};

int Channel(const HistEntry& e, int axis) { return axis == 0 ? e.R : axis == 1 ? e.G : e.B; }
int Channel(const Pixel3& p, int axis) { return axis == 0 ? p.R : axis == 1 ? p.G : p.B; }
long double WeightOf(const HistEntry& e) { return e.Weight; }
long double WeightOf(const Pixel3&) { return 1; }

BYTE RoundChannel(long double v) { return static_cast<BYTE>(std::clamp<long double>(std::nearbyint(v), 0, 255)); }

// Splits [first, last) at the mean of its widest channel until MaxDepth;
// each leaf becomes one palette entry.
template <class Item>
struct BoxSplitter {
  Item* Items;
  int MaxDepth;
  THvStepCallback StepCallback;
  THvDIB* Sender;
  int& Count;
  RGBQUAD* Palette;
  std::vector<TreeNode>* Tree;  // pixel boxes only
  int NextNode = 1;

  void Split(int64_t first, int64_t last, int depth, int node) {
    if (first >= last) {
      if (depth == MaxDepth) {
        Step(StepCallback, Sender);
      } else {
        Split(first, last, depth + 1, -1);
        Split(first, last, depth + 1, -1);
      }
      return;
    }
    long double sw = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (int64_t i = first; i < last; ++i) {
      long double w = WeightOf(Items[i]);
      sw += w;
      for (int a = 0; a < 3; ++a) {
        long double c = Channel(Items[i], a);
        s[a] += w * c;
        q[a] += w * c * c;
      }
    }
    long double mean[3], var[3];
    for (int a = 0; a < 3; ++a) {
      mean[a] = s[a] / sw;
      var[a] = q[a] / sw - mean[a] * mean[a];
    }
    if (depth == MaxDepth) {
      BYTE index = static_cast<BYTE>(Count);
      Palette[Count] = {RoundChannel(mean[2]), RoundChannel(mean[1]), RoundChannel(mean[0]), 0};
      if (Tree) {
        (*Tree)[node].Kind = 3;
        (*Tree)[node].Index = index;
      } else {
        for (int64_t i = first; i < last; ++i) SetLeaf(Items[i], index);
      }
      ++Count;
      Step(StepCallback, Sender);
      return;
    }
    long double wr = 3 * var[0], wg = 4 * var[1], wb = 2 * var[2];
    int axis = (wr >= wg && wr >= wb) ? 0 : (wg >= wb ? 1 : 2);
    long double threshold = mean[axis];
    int64_t f = first, v = last;
    do {
      while (f < v && Channel(Items[f], axis) <= threshold) ++f;
      while (f < v && Channel(Items[v - 1], axis) > threshold) --v;
      if (f < v) std::swap(Items[f], Items[v - 1]);
    } while (f != v);
    int right = -1, left = -1;
    if (Tree) {
      (*Tree)[node].Kind = static_cast<BYTE>(axis);
      (*Tree)[node].Threshold = threshold;
      (*Tree)[node].Index = 0;
      right = NextNode++;
      (*Tree)[node].Right = right;
    }
    Split(f, last, depth + 1, right);
    if (Tree) {
      left = NextNode++;
      (*Tree)[node].Left = left;
    }
    Split(first, f, depth + 1, left);
  }
  static void SetLeaf(HistEntry& e, BYTE index) { e.Weight = index; }
  static void SetLeaf(Pixel3&, BYTE) {}
};

void FinishPalette(THvDIBData& dest, int count, const RGBQUAD* palette) {
  dest.Header.biClrUsed = count;
  memset(dest.Colors, 0, sizeof dest.Colors);
  memcpy(dest.Colors, palette, count * sizeof(RGBQUAD));
}

void StoreIndex(BYTE* row, int bits, int64_t x, int index) {
  if (bits == 8)
    row[x] = static_cast<BYTE>(index);
  else
    PutNibble(row, x, index);
}

void BuildLowPalette(std::vector<HistEntry>& entries, int& count, RGBQUAD* palette, THvStepCallback cb,
                     THvDIB* sender, int maxDepth, std::vector<BYTE>& lookup);
void BuildHighPaletteTree(const THvDIBData& src, int& count, RGBQUAD* palette, THvStepCallback cb, THvDIB* sender,
                          int maxDepth, std::vector<TreeNode>& tree);

void ReduceLow(const THvDIBData& src, THvDIBData& dest, bool ufm, THvStepCallback cb, THvDIB* sender, int bits) {
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t srcRow = DIBRowBytes(width, 24);
  struct Bucket {
    uint32_t R, G, B, N;
  };
  std::vector<Bucket> hist(65536);
  auto keyOf = [](const BYTE* p) { return (p[2] >> 3) * 2048 + (p[1] >> 2) * 32 + (p[0] >> 3); };
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = src.Bits + y * srcRow;
    for (int64_t x = 0; x < width; ++x) {
      const BYTE* p = in + 3 * x;
      Bucket& b = hist[keyOf(p)];
      b.R += p[2] & 7;
      b.G += p[1] & 3;
      b.B += p[0] & 7;
      ++b.N;
    }
  }
  std::vector<HistEntry> entries;
  for (int key = 0; key < 65536; ++key) {
    const Bucket& b = hist[key];
    if (!b.N) continue;
    entries.push_back({int32_t((key >> 11) * 8 + b.R / b.N), int32_t(((key >> 5) & 63) * 4 + b.G / b.N),
                       int32_t((key & 31) * 8 + b.B / b.N), int32_t(b.N), key});
  }
  std::vector<BYTE> lookup(65536);
  int count = 0;
  RGBQUAD palette[256]{};
  BuildLowPalette(entries, count, palette, cb, sender, bits == 8 ? 8 : 4, lookup);
  Result r(src, dest, ufm, bits, BI_RGB, DIBImageSize(width, bits, rows));
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = src.Bits + y * srcRow;
    BYTE* out = r.Row(y, bits);
    for (int64_t x = 0; x < width; ++x) StoreIndex(out, bits, x, lookup[keyOf(in + 3 * x)]);
  }
  FinishPalette(dest, count, palette);
  r.Done();
}

void ReduceHigh(const THvDIBData& src, THvDIBData& dest, bool ufm, THvStepCallback cb, THvDIB* sender, int bits) {
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t srcRow = DIBRowBytes(width, 24);
  std::vector<TreeNode> tree;
  int count = 0;
  RGBQUAD palette[256]{};
  BuildHighPaletteTree(src, count, palette, cb, sender, bits == 8 ? 8 : 4, tree);
  Result r(src, dest, ufm, bits, BI_RGB, DIBImageSize(width, bits, rows));
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = src.Bits + y * srcRow;
    BYTE* out = r.Row(y, bits);
    for (int64_t x = 0; x < width; ++x) {
      const BYTE* p = in + 3 * x;
      int n = 0;
      while (tree[n].Kind != 3) {
        int c = p[2 - tree[n].Kind];
        n = c <= tree[n].Threshold ? tree[n].Left : tree[n].Right;
      }
      StoreIndex(out, bits, x, tree[n].Index);
    }
  }
  FinishPalette(dest, count, palette);
  r.Done();
}

// --- dithering ---

struct SourceReader {
  const THvDIBData& D;
  int64_t RowBytes;
  void Get(int64_t x, int64_t y, int* rgb) const {
    const BYTE* row = D.Bits + y * RowBytes;
    if (D.Header.biBitCount == 24) {
      rgb[0] = row[3 * x + 2], rgb[1] = row[3 * x + 1], rgb[2] = row[3 * x];
    } else {
      const RGBQUAD& q = D.Colors[IndexAt(row, D.Header.biBitCount, x)];
      rgb[0] = q.rgbRed, rgb[1] = q.rgbGreen, rgb[2] = q.rgbBlue;
    }
  }
};

const int kRedLevels[] = {0, 51, 102, 153, 204, 255};
const int kGreenLevels[] = {0, 43, 85, 128, 171, 214, 255};
const int kBlueLevels[] = {0, 64, 128, 192, 255};

int LevelOf(int value, const int* firsts, int count) {
  int level = 0;
  while (level + 1 < count && value >= firsts[level]) ++level;
  return level;
}

// Where the next level starts, per channel.
const int kRedFrom[] = {26, 77, 128, 179, 231};
const int kGreenFrom[] = {22, 64, 107, 150, 193, 234};
const int kBlueFrom[] = {32, 96, 160, 224};

// Serpentine error diffusion; Quantize turns corrected values into the
// pixel's output and writes each channel's error.
template <class Quantize>
void Diffuse(const THvDIBData& src, int64_t width, int64_t rows, Quantize quantize) {
  int bits = src.Header.biBitCount;
  if (src.Header.biCompression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) return;
  SourceReader reader{src, DIBRowBytes(width, bits)};
  std::vector<int16_t> cur(3 * (width + 2)), above;
  for (int64_t y = 0; y < rows; ++y) {
    above = cur;
    bool forward = y % 2 == 0;
    int prev[3] = {0, 0, 0};
    for (int64_t k = 0; k < width; ++k) {
      int64_t x = forward ? k : width - 1 - k;
      int64_t diag = forward ? x : x + 2;
      int rgb[3], value[3], err[3];
      reader.Get(x, y, rgb);
      for (int c = 0; c < 3; ++c) {
        int e = 12 * prev[c] + 12 * above[3 * (x + 1) + c] + 5 * above[3 * diag + c];
        value[c] = rgb[c] - e / 32;
      }
      quantize(x, y, value, err);
      for (int c = 0; c < 3; ++c) {
        prev[c] = err[c];
        cur[3 * (x + 1) + c] = static_cast<int16_t>(std::clamp(err[c], -32768, 32767));
      }
    }
  }
}

void CheckDitherSource(const THvDIBData& src, const char* message) {
  int bits = src.Header.biBitCount;
  if (src.Header.biCompression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24))
    throw EHvDIBBadDIBType(message);
}

// --- palette builders ---

void SplitHistogramBox(int64_t first, int64_t last, int depth, THvStepCallback cb, THvDIB* sender, int& count,
                       RGBQUAD* palette, HistEntry* entries, int maxDepth) {
  BoxSplitter<HistEntry> s{entries, maxDepth, cb, sender, count, palette, nullptr};
  s.Split(first, last, depth, -1);
}

void SplitPixelBox(int64_t first, int64_t last, int depth, THvStepCallback cb, THvDIB* sender, int node,
                   std::vector<TreeNode>& tree, int& count, RGBQUAD* palette, Pixel3* pixels, int maxDepth) {
  BoxSplitter<Pixel3> s{pixels, maxDepth, cb, sender, count, palette, &tree};
  s.Split(first, last, depth, node);
}

void BuildLowPalette(std::vector<HistEntry>& entries, int& count, RGBQUAD* palette, THvStepCallback cb,
                     THvDIB* sender, int maxDepth, std::vector<BYTE>& lookup) {
  SplitHistogramBox(0, int64_t(entries.size()), 0, cb, sender, count, palette, entries.data(), maxDepth);
  for (const HistEntry& e : entries) lookup[e.Key] = static_cast<BYTE>(e.Weight);
}

void BuildHighPaletteTree(const THvDIBData& src, int& count, RGBQUAD* palette, THvStepCallback cb, THvDIB* sender,
                          int maxDepth, std::vector<TreeNode>& tree) {
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t srcRow = DIBRowBytes(width, 24);
  std::vector<Pixel3> pixels(static_cast<size_t>(width * rows + 2));
  for (int64_t y = 0; y < rows; ++y) memcpy(&pixels[y * width], src.Bits + y * srcRow, static_cast<size_t>(3 * width));
  tree.assign(511, TreeNode{});
  SplitPixelBox(0, width * rows, 0, cb, sender, 0, tree, count, palette, pixels.data(), maxDepth);
}

void Build4BitPaletteFrom8Bit(const THvDIBData& src, int& count, RGBQUAD* palette, THvStepCallback cb,
                              THvDIB* sender, std::vector<BYTE>& lookup) {
  int64_t width = src.Header.biWidth, rows = Rows(src);
  int64_t srcRow = DIBRowBytes(width, 8);
  std::vector<int64_t> used(256);
  for (int64_t y = 0; y < rows; ++y)
    for (int64_t x = 0; x < width; ++x) ++used[src.Bits[y * srcRow + x]];
  std::vector<HistEntry> entries;
  for (int i = 0; i < 256; ++i)
    if (used[i])
      entries.push_back({src.Colors[i].rgbRed, src.Colors[i].rgbGreen, src.Colors[i].rgbBlue,
                         int32_t(std::min<int64_t>(used[i], 0x7FFFFFFF)), i});
  SplitHistogramBox(0, int64_t(entries.size()), 0, cb, sender, count, palette, entries.data(), 4);
  for (const HistEntry& e : entries) lookup[e.Key] = static_cast<BYTE>(e.Weight);
}

}  // namespace

const RGBQUAD* FixedPalette215Colors() {
  static const std::vector<RGBQUAD> table = [] {
    std::vector<RGBQUAD> t(215);
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 7; ++j)
        for (int k = 0; k < 5; ++k)
          t[35 * i + 5 * j + k] = {BYTE(kBlueLevels[k]), BYTE(kGreenLevels[j]), BYTE(kRedLevels[i]), 0};
    t[210] = {0, 0, 128, 0};
    t[211] = {0, 128, 128, 0};
    t[212] = {128, 0, 128, 0};
    t[213] = {192, 192, 192, 0};
    t[214] = {128, 128, 128, 0};
    return t;
  }();
  return table.data();
}

void Convert8BitRLETo8BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  if (!Is(Source, 8, BI_RLE8))
    throw EHvDIBBadDIBType("Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  DecodeRLE(Source, Dest, UseFileMapping, false);
}

void Convert4BitRLETo4BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  if (!Is(Source, 4, BI_RLE4))
    throw EHvDIBBadDIBType("Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
  DecodeRLE(Source, Dest, UseFileMapping, true);
}

void Convert8BitRGBTo8BitRLE(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  if (!Is(Source, 8, BI_RGB))
    throw EHvDIBBadDIBType("Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination");
  EncodeRLE(Source, Dest, UseFileMapping, false);
}

void Convert4BitRGBTo4BitRLE(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  if (!Is(Source, 4, BI_RGB))
    throw EHvDIBBadDIBType("Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination");
  EncodeRLE(Source, Dest, UseFileMapping, true);
}

// The expansions take what the dispatcher hands them; a wrong source is
// refused rather than misread.
static void CheckIndexed(const THvDIBData& s, int bits, const char* name) {
  if (!Is(s, bits, BI_RGB)) throw EHvDIBBadDIBType(std::string(name) + ": Invalid Bitcount or Compression");
}

void Convert1BitRGBTo4BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 1, "Convert1BitRGBTo4BitRGB");
  Reindex(Source, Dest, UseFileMapping, 4);
}

void Convert1BitRGBTo8BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 1, "Convert1BitRGBTo8BitRGB");
  Reindex(Source, Dest, UseFileMapping, 8);
}

void Convert4BitRGBTo8BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 4, "Convert4BitRGBTo8BitRGB");
  Reindex(Source, Dest, UseFileMapping, 8);
}

void Convert1BitRGBToTrueColor(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 1, "Convert1BitRGBToTrueColor");
  Reindex(Source, Dest, UseFileMapping, 24);
}

void Convert4BitRGBToTrueColor(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 4, "Convert4BitRGBToTrueColor");
  Reindex(Source, Dest, UseFileMapping, 24);
}

void Convert8BitRGBToTrueColor(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckIndexed(Source, 8, "Convert8BitRGBToTrueColor");
  Reindex(Source, Dest, UseFileMapping, 24);
}

void ConvertTrueColorTo8BitRGBLow(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping,
                                  THvStepCallback StepCallback, THvDIB* Sender) {
  if (Source.Header.biBitCount != 24) throw EHvDIBBadDIBType("ConvertTrueColorTo8BitRGBLow: Invalid Bitcount");
  ReduceLow(Source, Dest, UseFileMapping, StepCallback, Sender, 8);
}

void ConvertTrueColorTo4BitRGBLow(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping,
                                  THvStepCallback StepCallback, THvDIB* Sender) {
  if (Source.Header.biBitCount != 24) throw EHvDIBBadDIBType("ConvertTrueColorTo4BitRGBLow: Invalid Bitcount");
  ReduceLow(Source, Dest, UseFileMapping, StepCallback, Sender, 4);
}

void ConvertTrueColorTo8BitRGBHigh(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping,
                                   THvStepCallback StepCallback, THvDIB* Sender) {
  if (Source.Header.biBitCount != 24) throw EHvDIBBadDIBType("ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount");
  ReduceHigh(Source, Dest, UseFileMapping, StepCallback, Sender, 8);
}

void ConvertTrueColorTo4BitRGBHigh(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping,
                                   THvStepCallback StepCallback, THvDIB* Sender) {
  if (Source.Header.biBitCount != 24) throw EHvDIBBadDIBType("ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount");
  ReduceHigh(Source, Dest, UseFileMapping, StepCallback, Sender, 4);
}

void Convert8BitRGBTo4BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping,
                             THvStepCallback StepCallback, THvDIB* Sender) {
  if (!Is(Source, 8, BI_RGB)) throw EHvDIBBadDIBType("Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression");
  int count = 0;
  RGBQUAD palette[256]{};
  std::vector<BYTE> lookup(256);
  Build4BitPaletteFrom8Bit(Source, count, palette, StepCallback, Sender, lookup);
  int64_t width = Source.Header.biWidth, rows = Rows(Source);
  Result r(Source, Dest, UseFileMapping, 4, BI_RGB, DIBImageSize(width, 4, rows));
  for (int64_t y = 0; y < rows; ++y) {
    const BYTE* in = Source.Bits + y * DIBRowBytes(width, 8);
    BYTE* out = r.Row(y, 4);
    for (int64_t x = 0; x < width; ++x) PutNibble(out, x, lookup[in[x]]);
  }
  FinishPalette(Dest, count, palette);
  r.Done();
}

void ConvertTrueColorTo1BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping, COLORREF MonoColor) {
  if (Source.Header.biBitCount != 24) throw EHvDIBBadDIBType("ConvertTrueColorTo1BitRGB: Invalid Bitcount");
  ToMono(Source, Dest, UseFileMapping, MonoColor);
}

void Convert8BitTo1BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping, COLORREF MonoColor) {
  if (!Is(Source, 8, BI_RGB)) throw EHvDIBBadDIBType("Convert8BitTo1BitRGB: Invalid Bitcount or Compression");
  ToMono(Source, Dest, UseFileMapping, MonoColor);
}

void Convert4BitRGBTo1BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping, COLORREF MonoColor) {
  if (!Is(Source, 4, BI_RGB)) throw EHvDIBBadDIBType("Convert4BitRGBTo1BitRGB: Invalid Bitcount");
  ToMono(Source, Dest, UseFileMapping, MonoColor);
}

void ConvertToDithered8BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckDitherSource(Source, "ConvertToDithered8BitRGB: Invalid Bitcount or Compression");
  int64_t width = Source.Header.biWidth, rows = Rows(Source);
  int64_t rowBytes = DIBRowBytes(width, 8);
  Result r(Source, Dest, UseFileMapping, 8, BI_RGB, DIBImageSize(width, 8, rows));
  Diffuse(Source, width, rows, [&](int64_t x, int64_t y, const int* v, int* err) {
    int ri = LevelOf(v[0], kRedFrom, 6), gi = LevelOf(v[1], kGreenFrom, 7), bi = LevelOf(v[2], kBlueFrom, 5);
    err[0] = kRedLevels[ri] - v[0];
    err[1] = kGreenLevels[gi] - v[1];
    err[2] = kBlueLevels[bi] - v[2];
    Dest.Bits[y * rowBytes + x] = static_cast<BYTE>(35 * ri + 5 * gi + bi);
  });
  Dest.Header.biClrUsed = 215;
  memset(Dest.Colors, 0, sizeof Dest.Colors);
  memcpy(Dest.Colors, FixedPalette215Colors(), 215 * sizeof(RGBQUAD));
  r.Done();
}

void ConvertToDithered1BitRGB(const THvDIBData& Source, THvDIBData& Dest, bool UseFileMapping) {
  CheckDitherSource(Source, "ConvertToDithered1BitRGB: Invalid Bitcount or Compression");
  int64_t width = Source.Header.biWidth, rows = Rows(Source);
  int64_t rowBytes = DIBRowBytes(width, 1);
  Result r(Source, Dest, UseFileMapping, 1, BI_RGB, DIBImageSize(width, 1, rows));
  Diffuse(Source, width, rows, [&](int64_t x, int64_t y, const int* v, int* err) {
    bool white = v[0] + v[1] + v[2] >= 384;
    for (int c = 0; c < 3; ++c) err[c] = (white ? 255 : 0) - v[c];
    PutBit(Dest.Bits + y * rowBytes, x, white);
  });
  SetBlackAndWhite(Dest);
  r.Done();
}

// --- the store's side ---

THvPixelFormat THvInternalDIB::GetPixelFormat() {
  const BITMAPINFOHEADER& h = Data.Header;
  switch (h.biBitCount) {
    case 1:
      if (h.biCompression == BI_RGB) return nkPf1Bit;
      throw EHvDIBInvalidDIB("THvInternalDIB.GetPixelFormat: Invalid DIB(1Bit)");
    case 4:
      if (h.biCompression == BI_RGB) return nkPf4Bit;
      if (h.biCompression == BI_RLE4) return nkPf4BitRLE;
      throw EHvDIBInvalidDIB("THvInternalDIB.GetPixelFormat: Invalid DIB(4Bit)");
    case 8:
      if (h.biCompression == BI_RGB) return nkPf8Bit;
      if (h.biCompression == BI_RLE8) return nkPf8BitRLE;
      throw EHvDIBInvalidDIB("THvInternalDIB.GetPixelFormat: Invalid DIB(8Bit)");
    case 24:
      if (h.biCompression == BI_RGB) return nkPf24Bit;
      throw EHvDIBInvalidDIB("THvInternalDIB.GetPixelFormat: Invalid DIB(24Bit)");
    default:
      throw EHvDIBInvalidDIB("THvInternalDIB.GetPixelFormat: Invalid DIB(Illegal BitCount)");
  }
}

void THvInternalDIB::Convert(THvPixelFormat Target, THvReductionQuality Quality, THvStepCallback StepCallback,
                             THvDIB* Sender, COLORREF MonoColor) {
  THvPixelFormat s = GetPixelFormat();
  if (s == Target) return;
  using Conv = void (*)(const THvDIBData&, THvDIBData&, bool);
  using Red = void (*)(const THvDIBData&, THvDIBData&, bool, THvStepCallback, THvDIB*);
  using Mono = void (*)(const THvDIBData&, THvDIBData&, bool, COLORREF);
  std::vector<std::function<void(const THvDIBData&, THvDIBData&)>> chain;
  bool ufm = UseFileMapping;
  auto add = [&](Conv f) { chain.push_back([=](const THvDIBData& a, THvDIBData& b) { f(a, b, ufm); }); };
  auto reduce = [&](Red f) {
    chain.push_back([=](const THvDIBData& a, THvDIBData& b) { f(a, b, ufm, StepCallback, Sender); });
  };
  auto mono = [&](Mono f) { chain.push_back([=](const THvDIBData& a, THvDIBData& b) { f(a, b, ufm, MonoColor); }); };

  THvPixelFormat base = s;
  if (s == nkPf8BitRLE) add(Convert8BitRLETo8BitRGB), base = nkPf8Bit;
  if (s == nkPf4BitRLE) add(Convert4BitRLETo4BitRGB), base = nkPf4Bit;
  if (Target == nkPf8BitDither) {
    add(ConvertToDithered8BitRGB);
  } else if (Target == nkPf1BitDither) {
    add(ConvertToDithered1BitRGB);
  } else if (Target != base) {
    bool rle = Target == nkPf4BitRLE || Target == nkPf8BitRLE;
    THvPixelFormat plain = Target == nkPf4BitRLE ? nkPf4Bit : Target == nkPf8BitRLE ? nkPf8Bit : Target;
    if (plain != base) {
      switch (base) {
        case nkPf1Bit:
          add(plain == nkPf4Bit ? Convert1BitRGBTo4BitRGB : plain == nkPf8Bit ? Convert1BitRGBTo8BitRGB
                                                                              : Convert1BitRGBToTrueColor);
          break;
        case nkPf4Bit:
          if (plain == nkPf1Bit)
            mono(Convert4BitRGBTo1BitRGB);
          else
            add(plain == nkPf8Bit ? Convert4BitRGBTo8BitRGB : Convert4BitRGBToTrueColor);
          break;
        case nkPf8Bit:
          if (plain == nkPf1Bit)
            mono(Convert8BitTo1BitRGB);
          else if (plain == nkPf4Bit)
            reduce(Convert8BitRGBTo4BitRGB);
          else
            add(Convert8BitRGBToTrueColor);
          break;
        default:  // 24 bits
          if (plain == nkPf1Bit)
            mono(ConvertTrueColorTo1BitRGB);
          else if (plain == nkPf4Bit)
            reduce(Quality == nkRqHigh ? ConvertTrueColorTo4BitRGBHigh : ConvertTrueColorTo4BitRGBLow);
          else
            reduce(Quality == nkRqHigh ? ConvertTrueColorTo8BitRGBHigh : ConvertTrueColorTo8BitRGBLow);
      }
    }
    if (rle) add(Target == nkPf4BitRLE ? Convert4BitRGBTo4BitRLE : Convert8BitRGBTo8BitRLE);
  }

  std::vector<THvDIBData> results;
  results.reserve(chain.size());
  auto release = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) FreeMemory(results[i].MappingHandle, results[i].Bits, ufm);
  };
  try {
    for (auto& step : chain) {
      THvDIBData out{};
      step(results.empty() ? Data : results.back(), out);
      results.push_back(out);
    }
  } catch (...) {
    release(results.size());
    throw;
  }
  FreeMemory(Data.MappingHandle, Data.Bits, ufm);
  Data = results.back();
  PaletteChanged();
  release(results.size() - 1);
}
