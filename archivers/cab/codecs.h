// The folder codecs of a cabinet. A folder is a sequence of frames of at most
// 32768 bytes, one per data block; the decoders keep their history between
// frames.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace cab {

class MszipDecoder {
 public:
  MszipDecoder();
  ~MszipDecoder();
  // One block ("CK" and a deflate stream) into exactly outLen bytes.
  bool decode(const uint8_t* in, size_t n, uint8_t* out, size_t outLen);

 private:
  struct Z;
  std::unique_ptr<Z> z_;
  std::vector<uint8_t> dict_;
};

class MszipEncoder {
 public:
  explicit MszipEncoder(int level);
  ~MszipEncoder();
  bool encode(const uint8_t* in, size_t n, std::vector<uint8_t>& out);

 private:
  struct Z;
  std::unique_ptr<Z> z_;
  std::vector<uint8_t> dict_;
};

class LzxDecoder {
 public:
  // windowBits 15..21; anything else fails in decode.
  explicit LzxDecoder(int windowBits);
  ~LzxDecoder();
  // One frame: the block's bytes into exactly outLen (<= 32768) bytes.
  bool decode(const uint8_t* in, size_t n, uint8_t* out, size_t outLen);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

class LzxEncoder {
 public:
  explicit LzxEncoder(int windowBits);
  ~LzxEncoder();
  // One frame of at most 32768 bytes.
  bool encode(const uint8_t* in, size_t n, std::vector<uint8_t>& out);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace cab
