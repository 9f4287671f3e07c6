// bzip2 streams: BWT + MTF + RLE + Huffman blocks with block and stream CRCs.
// Portable, no platform calls. The decoder is safe against any input (bounded
// memory: one block of at most 900,000 bytes; every loop bounded by input).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace bz2 {

enum class Result { Ok, Corrupt, Truncated, TooLarge };

// One stream, blockSize100k 1..9. Answers false only for a bad block size.
bool compress(const uint8_t* in, size_t n, std::vector<uint8_t>& out, int blockSize100k = 9);

// Every concatenated stream; bytes after the last stream that do not begin a
// new one are ignored. More than maxOut bytes of output answers TooLarge.
Result decompress(const uint8_t* in, size_t n, std::vector<uint8_t>& out, size_t maxOut);

// True when the bytes begin a bzip2 stream ("BZh" and a block-size digit).
bool is_bzip2(const uint8_t* p, size_t n);

// Streaming decoder for large files: pulls compressed bytes from a source.
class Decoder {
 public:
  // Fills buf with up to cap bytes; answers the count, 0 at the end of input.
  using Source = std::function<size_t(uint8_t* buf, size_t cap)>;
  explicit Decoder(Source src);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  // Decoded bytes, up to n. 0 means the end of the data or an error.
  size_t read(uint8_t* out, size_t n);
  // Ok while decoding goes well and after a clean end.
  Result result() const;
  // True after the last stream ended cleanly.
  bool finished() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> p_;
};

// Streaming encoder: writes one stream to a sink as blocks fill.
class Encoder {
 public:
  using Sink = std::function<bool(const uint8_t* data, size_t n)>;
  explicit Encoder(Sink sink, int blockSize100k = 9);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  bool write(const uint8_t* data, size_t n);
  // Ends the stream; answers false when the sink failed at any point.
  bool finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> p_;
};

}  // namespace bz2
