// Decoders of the LHA methods behind one small interface: make one for an
// entry's method, read its bytes into a caller's buffer, free it. -lh0- and
// -lz4- are stored; -lh4-, -lh5-, -lh6- and -lh7- are one decoder with
// different window sizes (decoder_lzh.cpp); -lh1-, -lzs- and -lz5- are the
// older methods (decoder_old.cpp).
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "bitio.h"

namespace lha {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Up to n bytes of the entry; 0 at its end or on damage (see failed()).
  virtual size_t read(uint8_t* out, size_t n) = 0;
  bool failed() const { return failed_; }

 protected:
  bool failed_ = false;
};

// Blocks one run lends to the decoders of its entries: taken and given back
// for each of thousands of small entries they cost more than decoding them.
struct DecodeBuffers {
  std::vector<uint8_t> ring, bits, out;
};

// Window size in bits of a compressed method, or 0 when it is not one.
unsigned window_bits(std::string_view method);
bool is_stored(std::string_view method);
bool is_old_method(std::string_view method);  // -lh1-, -lzs-, -lz5-
bool is_supported(std::string_view method);

// Nothing for a method we cannot decode. The decoder stops after `original`
// bytes whatever the stream says.
std::unique_ptr<Decoder> make_decoder(std::string_view method, ByteSource& src, uint64_t original,
                                      DecodeBuffers* lent = nullptr);

std::unique_ptr<Decoder> make_stored_decoder(ByteSource& src, uint64_t original);
std::unique_ptr<Decoder> make_lzh_decoder(unsigned windowBits, ByteSource& src, uint64_t original,
                                          DecodeBuffers* lent = nullptr);
std::unique_ptr<Decoder> make_old_decoder(std::string_view method, ByteSource& src, uint64_t original);

}  // namespace lha
