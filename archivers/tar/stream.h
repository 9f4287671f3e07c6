// Byte streams under the tar layer: a plain file, or a gzip (every member),
// bzip2 (every stream) or compress stream decoded on the fly; and the
// writing side: plain, gzip or bzip2.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "fsio.h"

namespace tarx {

enum class Codec { None, Gzip, Bzip2, Compress };

enum class StreamError { None, Corrupt, Truncated, Io };

class InStream {
 public:
  virtual ~InStream() = default;
  // Up to n bytes; 0 at the end of the data or on an error (see error()).
  virtual size_t read(uint8_t* p, size_t n) = 0;
  // Skips n bytes; false when the data ends first or is damaged.
  virtual bool skip(uint64_t n);
  bool read_exact(uint8_t* p, size_t n);
  StreamError error() const { return error_; }
  // Bytes of the underlying file consumed so far (for progress).
  virtual int64_t raw_position() = 0;

 protected:
  StreamError error_ = StreamError::None;
};

// Which codec the first bytes announce.
Codec sniff(const uint8_t* p, size_t n);

// Opens a file and decodes whatever codec its first bytes announce.
std::unique_ptr<InStream> open_in(const std::string& path, Codec* codec = nullptr, int64_t* fileSize = nullptr);
// A decoder over any other stream (for tests and fuzzing: memory input).
std::unique_ptr<InStream> decode_memory(const uint8_t* p, size_t n, Codec* codec = nullptr);

class OutStream {
 public:
  virtual ~OutStream() = default;
  virtual bool write(const uint8_t* p, size_t n) = 0;
  // Flushes the codec's end; false when anything failed.
  virtual bool finish() = 0;
};

// Into an open file, which outlives the stream. level: gzip 1..9, bzip2
// block size 1..9. name/mtime go into a gzip header.
std::unique_ptr<OutStream> open_out(fsio::File& f, Codec codec, int level, const std::string& gzName = {},
                                    int64_t gzMtime = 0);

const char* error_text(StreamError e);

}  // namespace tarx
