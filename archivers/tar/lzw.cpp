#include "lzw.h"

#include <cstring>

namespace lzw {

bool is_compress(const uint8_t* p, size_t n) { return n >= 3 && p[0] == 0x1F && p[1] == 0x9D; }

struct Decoder::Impl {
  Source src;
  std::vector<uint8_t> in = std::vector<uint8_t>(1 << 16);
  size_t inPos = 0, inLen = 0;
  bool inEnd = false;
  uint64_t acc = 0;  // bits, least significant first
  int have = 0;

  bool started = false, done = false;
  Result result = Result::Ok;
  int maxBits = 16, nBits = 9;
  bool blockMode = true;
  uint32_t maxMax = 0, maxCode = 0, next = 0, codesInGroup = 0;
  int32_t prev = -1;
  uint8_t finChar = 0;
  std::vector<uint16_t> prefix = std::vector<uint16_t>(1 << 16);
  std::vector<uint8_t> suffix = std::vector<uint8_t>(1 << 16);
  std::vector<uint8_t> stack = std::vector<uint8_t>((1 << 16) + 2);
  size_t stackTop = 0;  // pending output is stack[0, stackTop), emitted from the top

  bool byte(uint8_t& b) {
    if (inPos == inLen) {
      if (inEnd) return false;
      size_t got = src ? src(in.data(), in.size()) : 0;
      if (got == 0 || got > in.size()) {
        inEnd = true;
        return false;
      }
      inPos = 0;
      inLen = got;
    }
    b = in[inPos++];
    return true;
  }
  // A whole code, or false at the end of the input.
  bool bits(int n, uint32_t& v) {
    while (have < n) {
      uint8_t b;
      if (!byte(b)) return false;
      acc |= uint64_t(b) << have;
      have += 8;
    }
    v = static_cast<uint32_t>(acc & ((1u << n) - 1));
    acc >>= n;
    have -= n;
    return true;
  }
  void skip_group_rest() {
    uint32_t k = (8 - codesInGroup % 8) % 8;
    for (uint32_t i = 0; i < k; ++i) {
      uint32_t v;
      if (!bits(nBits, v)) break;
    }
    codesInGroup = 0;
  }
  bool header() {
    uint8_t h[3];
    for (auto& b : h)
      if (!byte(b)) return fail(Result::Truncated);
    if (h[0] != 0x1F || h[1] != 0x9D) return fail(Result::Corrupt);
    maxBits = h[2] & 0x1F;
    blockMode = (h[2] & 0x80) != 0;
    if (maxBits < 9 || maxBits > 16) return fail(Result::Corrupt);
    maxMax = 1u << maxBits;
    nBits = 9;
    maxCode = (1u << nBits) - 1;
    next = blockMode ? 257 : 256;
    started = true;
    return true;
  }
  bool fail(Result r) {
    result = r;
    done = true;
    return false;
  }
  // Decodes one code onto the stack; false at the end or on damage.
  bool step() {
    if (next > maxCode && nBits < maxBits) {
      skip_group_rest();
      ++nBits;
      maxCode = nBits == maxBits ? maxMax : (1u << nBits) - 1;
    }
    uint32_t c;
    if (!bits(nBits, c)) {
      done = true;  // the stream ends where whole codes end
      return false;
    }
    ++codesInGroup;
    if (blockMode && c == 256) {
      skip_group_rest();
      nBits = 9;
      maxCode = (1u << nBits) - 1;
      next = 257;
      prev = -1;
      return true;
    }
    if (prev < 0) {
      if (c >= 256) return fail(Result::Corrupt);
      prev = static_cast<int32_t>(c);
      finChar = static_cast<uint8_t>(c);
      stack[stackTop++] = finChar;
      return true;
    }
    uint32_t code = c;
    if (code >= next) {
      if (code > next) return fail(Result::Corrupt);
      stack[stackTop++] = finChar;
      code = static_cast<uint32_t>(prev);
    }
    while (code >= 256) {
      if (stackTop >= stack.size() - 1) return fail(Result::Corrupt);
      stack[stackTop++] = suffix[code];
      code = prefix[code];
    }
    stack[stackTop++] = static_cast<uint8_t>(code);
    finChar = static_cast<uint8_t>(code);
    if (next < maxMax) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = finChar;
      ++next;
    }
    prev = static_cast<int32_t>(c);
    return true;
  }
};

Decoder::Decoder(Source src) : p_(std::make_unique<Impl>()) { p_->src = std::move(src); }
Decoder::~Decoder() = default;

size_t Decoder::read(uint8_t* out, size_t n) {
  Impl& s = *p_;
  size_t w = 0;
  if (!s.started && !s.done && !s.header()) return 0;
  while (w < n) {
    if (s.stackTop) {
      out[w++] = s.stack[--s.stackTop];
      continue;
    }
    if (s.done || !s.step()) break;
  }
  return w;
}

Result Decoder::result() const { return p_->result; }
bool Decoder::finished() const { return p_->done && p_->result == Result::Ok && p_->stackTop == 0; }

Result decompress(const uint8_t* in, size_t n, std::vector<uint8_t>& out, size_t maxOut) {
  out.clear();
  size_t pos = 0;
  Decoder d([&](uint8_t* buf, size_t cap) {
    size_t k = n - pos < cap ? n - pos : cap;
    if (k) std::memcpy(buf, in + pos, k);
    pos += k;
    return k;
  });
  uint8_t chunk[1 << 15];
  while (size_t got = d.read(chunk, sizeof chunk)) {
    if (got > maxOut - out.size()) return Result::Corrupt;
    out.insert(out.end(), chunk, chunk + got);
  }
  return d.result();
}

}  // namespace lzw
