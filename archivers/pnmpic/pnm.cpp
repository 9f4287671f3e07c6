#include "pnm.h"

namespace pnm {

namespace {

// Pictures above this many pixels are refused: the DIB would not fit in a
// 32-bit process next to its file image.
constexpr uint64_t kMaxPixels = 16u * 1024u * 1024u;

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Skips blanks and comments; comments are collected.
void SkipBlanks(const uint8_t* d, size_t n, size_t& p, std::string& comment) {
  while (p < n) {
    if (IsBlank(d[p])) {
      ++p;
    } else if (d[p] == '#') {
      size_t s = ++p;
      while (p < n && d[p] != '\n' && d[p] != '\r') ++p;
      while (s < p && d[s] == ' ') ++s;
      if (!comment.empty()) comment += "\r\n";
      comment.append(reinterpret_cast<const char*>(d + s), p - s);
    } else {
      break;
    }
  }
}

bool ReadNumber(const uint8_t* d, size_t n, size_t& p, std::string& comment, uint32_t& v) {
  SkipBlanks(d, n, p, comment);
  if (p >= n || d[p] < '0' || d[p] > '9') return false;
  uint64_t x = 0;
  while (p < n && d[p] >= '0' && d[p] <= '9') {
    x = x * 10 + (d[p++] - '0');
    if (x > 0xFFFFFFu) return false;
  }
  v = static_cast<uint32_t>(x);
  return true;
}

}  // namespace

Status ParseHeader(const uint8_t* d, size_t n, Header& h) {
  h = Header{};
  if (n < 3 || d[0] != 'P' || (d[1] != '5' && d[1] != '6') || !IsBlank(d[2])) return NotPnm;
  h.Colour = d[1] == '6';
  size_t p = 2;
  if (!ReadNumber(d, n, p, h.Comment, h.Width) || !ReadNumber(d, n, p, h.Comment, h.Height) ||
      !ReadNumber(d, n, p, h.Comment, h.MaxVal))
    return Corrupt;
  // One blank separates the header from the samples.
  if (p >= n || !IsBlank(d[p])) return Corrupt;
  h.DataOffset = p + 1;
  // Two-byte samples are not read.
  if (h.Width == 0 || h.Height == 0 || h.MaxVal == 0 || h.MaxVal > 255) return Corrupt;
  if (static_cast<uint64_t>(h.Width) * h.Height > kMaxPixels) return TooLarge;
  return Ok;
}

size_t RowBytes(const Header& h) { return (static_cast<size_t>(h.Width) * (h.Colour ? 24 : 8) + 31) / 32 * 4; }

Status Decode(const uint8_t* d, size_t n, const Header& h, std::vector<uint8_t>& bits) {
  const size_t channels = h.Colour ? 3 : 1;
  const size_t line = static_cast<size_t>(h.Width) * channels;
  if (h.DataOffset > n || (n - h.DataOffset) / line < h.Height) return Corrupt;
  const size_t row = RowBytes(h);
  bits.assign(row * h.Height, 0);
  const uint8_t* src = d + h.DataOffset;
  for (uint32_t y = 0; y < h.Height; ++y) {
    uint8_t* dst = bits.data() + row * (h.Height - 1 - y);
    const uint8_t* s = src + line * y;
    for (uint32_t x = 0; x < h.Width; ++x) {
      if (h.Colour) {
        // DIB pixels are blue, green, red.
        for (int c = 0; c < 3; ++c) {
          unsigned v = s[3 * x + c] > h.MaxVal ? h.MaxVal : s[3 * x + c];
          dst[3 * x + 2 - c] = static_cast<uint8_t>(v * 255 / h.MaxVal);
        }
      } else {
        unsigned v = s[x] > h.MaxVal ? h.MaxVal : s[x];
        dst[x] = static_cast<uint8_t>(v * 255 / h.MaxVal);
      }
    }
  }
  return Ok;
}

void Shrink(const Header& h, const std::vector<uint8_t>& bits, uint32_t step, Header& out,
            std::vector<uint8_t>& outBits) {
  out = h;
  out.Width = (h.Width + step - 1) / step;
  out.Height = (h.Height + step - 1) / step;
  const size_t px = h.Colour ? 3 : 1, inRow = RowBytes(h), outRow = RowBytes(out);
  outBits.assign(outRow * out.Height, 0);
  // Row 0 of the DIB is the picture's last row; sample from the top down.
  for (uint32_t y = 0; y < out.Height; ++y) {
    const uint8_t* s = bits.data() + inRow * (h.Height - 1 - static_cast<size_t>(y) * step);
    uint8_t* dst = outBits.data() + outRow * (out.Height - 1 - y);
    for (uint32_t x = 0; x < out.Width; ++x)
      for (size_t c = 0; c < px; ++c) dst[x * px + c] = s[static_cast<size_t>(x) * step * px + c];
  }
}

}  // namespace pnm
