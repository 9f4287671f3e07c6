// The -lh5-, -lh6- and -lh7- encoder: LZSS over hash chains with one step
// of lazy matching, then static Huffman codes per block of symbols.
#pragma once
#include <cstdint>
#include <memory>

#include "bitio.h"

namespace lha {

class Encoder {
 public:
  virtual ~Encoder() = default;
  // Takes the next input bytes; false once the sink failed.
  virtual bool write(const uint8_t* p, size_t n) = 0;
  // Codes what is left; false when the sink failed.
  virtual bool finish() = 0;
  virtual uint64_t compressed() const = 0;
  // Begins a new stream into sink. The tables stay: a command packing many
  // files sets them up once, not once a file.
  virtual void restart(ByteSink& sink) = 0;
};

// windowBits 13 (-lh5-), 15 (-lh6-) or 16 (-lh7-).
std::unique_ptr<Encoder> make_lzh_encoder(unsigned windowBits, ByteSink& sink);

}  // namespace lha
