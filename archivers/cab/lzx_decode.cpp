// LZX decoding as cabinets carry it: one frame per data block, the window,
// trees and repeat offsets kept from frame to frame, the x86 call
// translation applied to each frame's copy.
#include <cstring>
#include <vector>

#include "codecs.h"
#include "lzx_tables.h"

namespace cab {
namespace {

using namespace lzx;

// MSB-first bits from 16-bit little-endian words. Past the end it reads
// zeros and counts them, so damage ends in an error rather than a loop.
struct BitIn {
  const uint8_t* p = nullptr;
  size_t n = 0, pos = 0, over = 0;
  uint32_t buf = 0;
  int cnt = 0;
  void reset(const uint8_t* d, size_t len, size_t at) {
    p = d;
    n = len;
    pos = at;
    buf = 0;
    cnt = 0;
  }
  void fill() {
    while (cnt <= 16) {
      uint32_t w = 0;
      if (pos + 1 < n) {
        w = p[pos] | (p[pos + 1] << 8);
        pos += 2;
      } else {
        if (pos < n) w = p[pos++];
        over += 2;
      }
      buf |= w << (16 - cnt);
      cnt += 16;
    }
  }
  uint32_t peek16() {
    fill();
    return buf >> 16;
  }
  void drop(int k) {
    buf <<= k;
    cnt -= k;
  }
  uint32_t get(int k) {  // k <= 16
    if (k == 0) return 0;
    fill();
    uint32_t v = buf >> (32 - k);
    drop(k);
    return v;
  }
  uint32_t get_long(int k) {  // k <= 32
    if (k <= 16) return get(k);
    uint32_t hi = get(k - 16);
    return (hi << 16) | get(16);
  }
};

struct Huff {
  std::vector<uint8_t> len;
  uint16_t count[17] = {};
  std::vector<uint16_t> sym;
  std::vector<uint16_t> fast;  // 10-bit lookup: symbol << 5 | length, 0 = slow path
  bool empty = true;
  explicit Huff(size_t n = 0) : len(n, 0) {}

  bool build() {
    std::memset(count, 0, sizeof count);
    for (uint8_t l : len) {
      if (l > 16) return false;
      ++count[l];
    }
    count[0] = 0;
    empty = true;
    int left = 1;
    for (int l = 1; l <= 16; ++l) {
      left = (left << 1) - count[l];
      if (left < 0) return false;  // over-subscribed
      if (count[l]) empty = false;
    }
    uint16_t offs[18] = {};
    for (int l = 1; l <= 16; ++l) offs[l + 1] = offs[l] + count[l];
    sym.assign(offs[17], 0);
    for (size_t s = 0; s < len.size(); ++s)
      if (len[s]) sym[offs[len[s]]++] = static_cast<uint16_t>(s);
    fast.assign(1024, 0);
    uint32_t code = 0;
    size_t idx = 0;
    for (int l = 1; l <= 16; ++l) {
      for (int i = 0; i < count[l]; ++i, ++code, ++idx) {
        if (l <= 10) {
          uint32_t start = code << (10 - l), span = 1u << (10 - l);
          for (uint32_t j = 0; j < span; ++j) fast[start + j] = static_cast<uint16_t>((sym[idx] << 5) | l);
        }
      }
      code <<= 1;
    }
    return true;
  }

  int decode(BitIn& b) const {
    if (empty) return -1;
    uint32_t bits = b.peek16();
    uint16_t f = fast[bits >> 6];
    if (f) {
      b.drop(f & 31);
      return f >> 5;
    }
    int code = 0, first = 0, index = 0;
    for (int l = 1; l <= 16; ++l) {
      code |= (bits >> (16 - l)) & 1;
      int c = count[l];
      if (code - c < first) {
        b.drop(l);
        return sym[index + (code - first)];
      }
      index += c;
      first = (first + c) << 1;
      code <<= 1;
    }
    return -1;
  }
};

}  // namespace

struct LzxDecoder::State {
  int wbits = 0;
  uint32_t W = 0;
  int slots = 0;
  std::vector<uint8_t> win;
  uint64_t total = 0, frameStart = 0;
  uint32_t R0 = 1, R1 = 1, R2 = 1;
  bool started = false, failed = false;
  uint32_t intelSize = 0;
  int blockType = 0;
  uint32_t blockLeft = 0;
  bool padPending = false;
  uint32_t frames = 0;
  Huff main, length{kLengthSyms}, aligned{kAlignedSyms}, pre{kPreSyms};
  BitIn in;
  bool rawMode = false;  // inside an uncompressed block: bytes read directly
  size_t rawPos = 0;

  bool read_lengths(std::vector<uint8_t>& lens, size_t first, size_t last) {
    for (int i = 0; i < kPreSyms; ++i) pre.len[i] = static_cast<uint8_t>(in.get(4));
    if (!pre.build()) return false;
    size_t x = first;
    while (x < last) {
      int z = pre.decode(in);
      if (z < 0) return false;
      if (z == 17 || z == 18) {
        uint32_t run = z == 17 ? in.get(4) + 4 : in.get(5) + 20;
        while (run-- && x < last) lens[x++] = 0;
      } else if (z == 19) {
        uint32_t run = in.get(1) + 4;
        int d = pre.decode(in);
        if (d < 0 || d > 16) return false;
        int v = lens[x] - d;
        if (v < 0) v += 17;
        while (run-- && x < last) lens[x++] = static_cast<uint8_t>(v);
      } else {
        int v = lens[x] - z;
        if (v < 0) v += 17;
        lens[x++] = static_cast<uint8_t>(v);
      }
      if (in.over > 8) return false;
    }
    return true;
  }

  bool read_block_header(const uint8_t* data, size_t n) {
    if (rawMode) {  // continue with bits after an uncompressed block
      if (padPending && rawPos < n) ++rawPos;
      padPending = false;
      in.reset(data, n, rawPos);
      rawMode = false;
    }
    blockType = static_cast<int>(in.get(3));
    uint32_t hi = in.get(8), mid = in.get(8), lo = in.get(8);
    blockLeft = (hi << 16) | (mid << 8) | lo;
    if (blockLeft == 0) return false;
    if (blockType == 2) {
      for (int i = 0; i < kAlignedSyms; ++i) aligned.len[i] = static_cast<uint8_t>(in.get(3));
      if (!aligned.build() || aligned.empty) return false;
    }
    if (blockType == 1 || blockType == 2) {
      if (!read_lengths(main.len, 0, 256)) return false;
      if (!read_lengths(main.len, 256, main.len.size())) return false;
      if (!main.build() || main.empty) return false;
      if (!read_lengths(length.len, 0, kLengthSyms)) return false;
      if (!length.build()) return false;
      return in.over <= 4;
    }
    if (blockType == 3) {
      // Realign to the next 16-bit word (a whole word when already aligned).
      in.fill();
      int pad = in.cnt & 15;
      if (pad == 0) pad = 16;
      in.drop(pad);
      size_t at = in.pos - static_cast<size_t>(in.cnt / 8);
      if (in.over || at + 12 > n) return false;
      auto u32 = [&](size_t o) {
        return static_cast<uint32_t>(data[o] | (data[o + 1] << 8) | (data[o + 2] << 16)) |
               (static_cast<uint32_t>(data[o + 3]) << 24);
      };
      R0 = u32(at);
      R1 = u32(at + 4);
      R2 = u32(at + 8);
      rawMode = true;
      rawPos = at + 12;
      padPending = (blockLeft & 1) != 0;
      return true;
    }
    return false;
  }

  void put(uint8_t c) {
    win[total & (W - 1)] = c;
    ++total;
  }

  bool decode_frame(const uint8_t* data, size_t n, uint8_t* out, size_t outLen) {
    if (rawMode) {
      rawPos = 0;  // an uncompressed block goes on in the next frame
    } else {
      in.reset(data, n, 0);
      in.over = 0;
    }
    if (!started) {
      started = true;
      if (in.get(1)) {
        uint32_t hi = in.get(16);
        intelSize = (hi << 16) | in.get(16);
      }
    }
    const uint64_t frameEnd = frameStart + outLen;
    const SlotTables& t = slot_tables();
    while (total < frameEnd) {
      if (blockLeft == 0) {
        if (!read_block_header(data, n)) return false;
      }
      if (rawMode) {
        uint64_t want = frameEnd - total;
        if (want > blockLeft) want = blockLeft;
        if (rawPos + want > n) return false;
        for (uint64_t i = 0; i < want; ++i) put(data[rawPos++]);
        blockLeft -= static_cast<uint32_t>(want);
        continue;
      }
      while (blockLeft > 0 && total < frameEnd) {
        int m = main.decode(in);
        if (m < 0 || in.over > 4) return false;
        if (m < 256) {
          put(static_cast<uint8_t>(m));
          --blockLeft;
          continue;
        }
        m -= 256;
        uint32_t mlen = m & 7;
        if (mlen == kPrimaryLengths) {
          int f = length.decode(in);
          if (f < 0) return false;
          mlen += static_cast<uint32_t>(f);
        }
        mlen += kMinMatch;
        int slot = m >> 3;
        uint32_t off;
        if (slot == 0) {
          off = R0;
        } else if (slot == 1) {
          off = R1;
          R1 = R0;
          R0 = off;
        } else if (slot == 2) {
          off = R2;
          R2 = R0;
          R0 = off;
        } else {
          int extra = t.extra[slot];
          uint32_t v = 0;
          if (blockType == 2 && extra >= 3) {
            v = in.get_long(extra - 3) << 3;
            int a = aligned.decode(in);
            if (a < 0) return false;
            v += static_cast<uint32_t>(a);
          } else {
            v = in.get_long(extra);
          }
          off = t.base[slot] - 2 + v;
          R2 = R1;
          R1 = R0;
          R0 = off;
        }
        if (off == 0 || off > total || off > W || mlen > blockLeft) return false;
        for (uint32_t i = 0; i < mlen; ++i) put(win[(total - off) & (W - 1)]);
        blockLeft -= mlen;
      }
    }
    for (size_t i = 0; i < outLen; ++i) out[i] = win[(frameStart + i) & (W - 1)];
    if (intelSize && frames < 32768 && outLen > 10) undo_calls(out, outLen);
    frameStart = frameEnd;
    ++frames;
    return true;
  }

  // The encoder turned relative call targets (after 0xE8) into absolute ones.
  void undo_calls(uint8_t* d, size_t len) {
    int32_t cur = static_cast<int32_t>(frameStart);
    const int32_t size = static_cast<int32_t>(intelSize);
    size_t i = 0;
    while (i < len - 10) {
      if (d[i] != 0xE8) {
        ++i;
        ++cur;
        continue;
      }
      int32_t abs = static_cast<int32_t>(static_cast<uint32_t>(d[i + 1]) | (static_cast<uint32_t>(d[i + 2]) << 8) |
                                         (static_cast<uint32_t>(d[i + 3]) << 16) |
                                         (static_cast<uint32_t>(d[i + 4]) << 24));
      if (abs >= -cur && abs < size) {
        int32_t rel = abs >= 0 ? abs - cur : abs + size;
        for (int k = 0; k < 4; ++k) d[i + 1 + k] = static_cast<uint8_t>(static_cast<uint32_t>(rel) >> (8 * k));
      }
      i += 5;
      cur += 5;
    }
  }
};

LzxDecoder::LzxDecoder(int windowBits) : s_(std::make_unique<State>()) {
  s_->wbits = windowBits;
  s_->slots = slots_for(windowBits);
  if (s_->slots) {
    s_->W = 1u << windowBits;
    s_->win.assign(s_->W, 0);
    s_->main.len.assign(256 + 8 * s_->slots, 0);
  }
}
LzxDecoder::~LzxDecoder() = default;

bool LzxDecoder::decode(const uint8_t* in, size_t n, uint8_t* out, size_t outLen) {
  if (!s_->slots || s_->failed || outLen > 32768) return false;
  if (!s_->decode_frame(in, n, out, outLen)) {
    s_->failed = true;
    return false;
  }
  return true;
}

}  // namespace cab
