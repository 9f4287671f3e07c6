// Binary PGM ("P5") and PPM ("P6") pictures: header parsing and decoding
// into the rows of a bottom-up DIB (8-bit grey with a grey palette, or 24-bit).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pnm {

struct Header {
  bool Colour = false;  // P6
  uint32_t Width = 0, Height = 0, MaxVal = 0;
  size_t DataOffset = 0;  // first sample byte
  std::string Comment;    // "#" lines, joined with CR LF
};

enum Status { Ok = 0, NotPnm = 2, Corrupt = 3, TooLarge = 4 };

// Reads the header; the samples need not be there yet.
Status ParseHeader(const uint8_t* data, size_t size, Header& h);
// Bytes of one DIB row (padded to 32 bits).
size_t RowBytes(const Header& h);
// The pixels as DIB rows, last picture row first. The samples must all be
// present; a maximum below 255 is scaled up to 255.
Status Decode(const uint8_t* data, size_t size, const Header& h, std::vector<uint8_t>& bits);
// Every Step-th pixel of every Step-th row of a decoded picture.
void Shrink(const Header& h, const std::vector<uint8_t>& bits, uint32_t step, Header& out,
            std::vector<uint8_t>& outBits);

}  // namespace pnm
