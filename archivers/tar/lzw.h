// Reader of compress (.Z) streams: LZW with 9 to 16-bit codes, optional
// block mode (code 256 clears the table). Codes come in groups of eight; a
// width change or a clear skips the rest of the current group, as the
// writer pads it. The format has no check value, so damage past the header
// shows only as a bad code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lzw {

enum class Result { Ok, Corrupt, Truncated };

bool is_compress(const uint8_t* p, size_t n);

class Decoder {
 public:
  using Source = std::function<size_t(uint8_t* buf, size_t cap)>;
  explicit Decoder(Source src);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  // Decoded bytes, up to n; 0 at the end or on an error.
  size_t read(uint8_t* out, size_t n);
  Result result() const;
  bool finished() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> p_;
};

Result decompress(const uint8_t* in, size_t n, std::vector<uint8_t>& out, size_t maxOut);

}  // namespace lzw
