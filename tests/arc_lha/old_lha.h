// Writers for what no tool at hand makes any more: streams of the older
// methods (-lzs-, -lz5-, -lh1-) and headers of level 0, 1 and 3, and the
// headers of two makers' quirks (a level-2 size given 2 bytes short, an
// Amiga folder stored as an empty file). Plain greedy LZSS, written apart
// from the library's decoders so that each checks the other, and lhasa
// checks both.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace oldlha {

using Bytes = std::vector<uint8_t>;

inline uint16_t crc16(const uint8_t* p, size_t n, uint16_t crc = 0) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}
inline uint16_t crc16(const std::string& s) { return crc16(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

class Bits {
 public:
  void put(unsigned n, uint32_t v) {
    for (unsigned i = n; i-- > 0;) {
      acc_ = static_cast<uint8_t>((acc_ << 1) | ((v >> i) & 1));
      if (++count_ == 8) {
        out.push_back(acc_);
        acc_ = 0;
        count_ = 0;
      }
    }
  }
  Bytes finish() {
    if (count_) put(8 - count_, 0);
    return out;
  }
  Bytes out;

 private:
  uint8_t acc_ = 0;
  unsigned count_ = 0;
};

// Greedy matches over the ring the decoder starts with followed by the data:
// calls lit(byte) or copy(source index in that history, length) in order.
template <class Lit, class Copy>
void lzss(const std::string& data, const Bytes& ringStart, size_t window, unsigned minLen, unsigned maxLen, Lit lit,
          Copy copy) {
  Bytes h(ringStart);
  h.insert(h.end(), data.begin(), data.end());
  size_t base = ringStart.size();
  std::unordered_map<uint32_t, std::vector<size_t>> at;
  auto key = [&](size_t i) { return static_cast<uint32_t>(h[i] | (h[i + 1] << 8) | (h[i + 2] << 16)); };
  auto note = [&](size_t i) {
    if (i + 3 <= h.size()) at[key(i)].push_back(i);
  };
  for (size_t i = 0; i < base; ++i) note(i);
  size_t i = base;
  while (i < h.size()) {
    size_t bestLen = 0, bestFrom = 0;
    if (i + 3 <= h.size()) {
      auto it = at.find(key(i));
      if (it != at.end()) {
        auto& v = it->second;
        unsigned tries = 0;
        for (size_t k = v.size(); k-- > 0 && tries < 64; ++tries) {
          size_t s = v[k];
          if (i - s > window - maxLen) break;
          size_t len = 0;
          while (len < maxLen && i + len < h.size() && h[s + len] == h[i + len]) ++len;
          if (len > bestLen) {
            bestLen = len;
            bestFrom = s;
          }
        }
      }
    }
    if (bestLen >= minLen) {
      copy(bestFrom, static_cast<unsigned>(bestLen), i);
      for (size_t k = 0; k < bestLen; ++k) note(i + k);
      i += bestLen;
    } else {
      lit(h[i]);
      note(i);
      ++i;
    }
  }
}

// -lzs-: 2 KB ring of blanks, writing from 2048 - 17; flag 1 literal, flag 0
// an 11-bit ring position and a 4-bit length - 2.
inline Bytes encode_lzs(const std::string& data) {
  Bits b;
  Bytes ring(2048, ' ');
  // History index k is ring slot (2031 + k) % 2048.
  lzss(data, ring, 2048, 3, 17, [&](uint8_t c) { b.put(1, 1), b.put(8, c); },
       [&](size_t from, unsigned len, size_t) { b.put(1, 0), b.put(11, (2031 + from) % 2048), b.put(4, len - 2); });
  return b.finish();
}

inline Bytes lz5_ring() {
  Bytes r(4096, ' ');
  size_t p = 0;
  for (int v = 0; v < 256; ++v)
    for (int k = 0; k < 13; ++k) r[p++] = static_cast<uint8_t>(v);
  for (int v = 0; v < 256; ++v) r[p++] = static_cast<uint8_t>(v);
  for (int v = 0; v < 256; ++v) r[p++] = static_cast<uint8_t>(255 - v);
  for (int k = 0; k < 128; ++k) r[p++] = 0;
  return r;
}

// -lz5-: a flag byte (low bit first, 1 = literal) before each eight items;
// a match is 12 bits of ring position and 4 bits of length - 3.
inline Bytes encode_lz5(const std::string& data) {
  Bytes out, group;
  unsigned flags = 0, n = 0;
  auto flush = [&] {
    out.push_back(static_cast<uint8_t>(flags));
    out.insert(out.end(), group.begin(), group.end());
    group.clear();
    flags = n = 0;
  };
  Bytes start = lz5_ring(), hist(4096);
  // The history must be in the order the decoder's ring is read before its
  // first write at 4096 - 18.
  for (size_t k = 0; k < 4096; ++k) hist[k] = start[(4078 + k) % 4096];
  lzss(data, hist, 4096, 3, 18,
       [&](uint8_t c) {
         flags |= 1u << n;
         group.push_back(c);
         if (++n == 8) flush();
       },
       [&](size_t from, unsigned len, size_t) {
         unsigned pos = static_cast<unsigned>((4078 + from) % 4096);
         group.push_back(static_cast<uint8_t>(pos));
         group.push_back(static_cast<uint8_t>(((pos >> 4) & 0xF0) | (len - 3)));
         if (++n == 8) flush();
       });
  if (n) flush();
  return out;
}

// -lh1-: the adaptive code of literals and lengths, as its decoder keeps it.
class AdaptiveTree {
 public:
  static constexpr unsigned kSymbols = 314, kNodes = 2 * kSymbols - 1, kRoot = kNodes - 1;
  AdaptiveTree() {
    for (unsigned i = 0; i < kSymbols; ++i) {
      freq[i] = 1;
      son[i] = i + kNodes;
      prnt[i + kNodes] = i;
    }
    for (unsigned i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
      freq[j] = freq[i] + freq[i + 1];
      son[j] = i;
      prnt[i] = prnt[i + 1] = j;
    }
    freq[kNodes] = 0xFFFF;
    prnt[kRoot] = 0;
  }
  void encode(Bits& b, unsigned c) {
    std::vector<unsigned> path;
    for (unsigned k = prnt[c + kNodes]; k != kRoot; k = prnt[k]) path.push_back(k & 1);
    for (size_t i = path.size(); i-- > 0;) b.put(1, path[i]);
    update(c);
  }

 private:
  void reconstruct() {
    unsigned j = 0;
    for (unsigned i = 0; i < kNodes; ++i)
      if (son[i] >= kNodes) {
        freq[j] = (freq[i] + 1) / 2;
        son[j] = son[i];
        ++j;
      }
    for (unsigned i = 0, j2 = kSymbols; j2 < kNodes; i += 2, ++j2) {
      unsigned f = freq[i] + freq[i + 1], k = j2 - 1;
      while (f < freq[k]) --k;
      ++k;
      for (unsigned m = j2; m > k; --m) {
        freq[m] = freq[m - 1];
        son[m] = son[m - 1];
      }
      freq[k] = f;
      son[k] = i;
    }
    for (unsigned i = 0; i < kNodes; ++i) {
      unsigned k = son[i];
      prnt[k] = i;
      if (k < kNodes) prnt[k + 1] = i;
    }
  }
  void update(unsigned c) {
    if (freq[kRoot] == 0x8000) reconstruct();
    c = prnt[c + kNodes];
    do {
      unsigned k = ++freq[c], l = c + 1;
      if (k > freq[l]) {
        while (k > freq[++l]) {
        }
        --l;
        freq[c] = freq[l];
        freq[l] = k;
        unsigned i = son[c];
        prnt[i] = l;
        if (i < kNodes) prnt[i + 1] = l;
        unsigned j = son[l];
        son[l] = i;
        prnt[j] = c;
        if (j < kNodes) prnt[j + 1] = c;
        son[c] = j;
        c = l;
      }
      c = prnt[c];
    } while (c != 0);
  }
  unsigned freq[kNodes + 1], son[kNodes], prnt[kNodes + kSymbols];
};

inline Bytes encode_lh1(const std::string& data) {
  Bits b;
  AdaptiveTree tree;
  // Codes of the distance's upper 6 bits: lengths 3 (1 code), 4 (3), 5 (8),
  // 6 (12), 7 (24), 8 (16), given in order of length and value.
  unsigned len[64], code[64];
  {
    const unsigned counts[] = {1, 3, 8, 12, 24, 16};
    unsigned v = 0, c = 0;
    for (unsigned k = 0; k < 6; ++k) {
      for (unsigned m = 0; m < counts[k]; ++m, ++v, ++c) {
        len[v] = 3 + k;
        code[v] = c;
      }
      c <<= 1;
    }
  }
  lzss(data, Bytes(4096, ' '), 4096, 3, 60, [&](uint8_t c) { tree.encode(b, c); },
       [&](size_t from, unsigned n, size_t at) {
         tree.encode(b, 253 + n);
         unsigned d = static_cast<unsigned>(at - from - 1);
         b.put(len[d >> 6], code[d >> 6]);
         b.put(6, d & 63);
       });
  return b.finish();
}

inline Bytes encode(const std::string& method, const std::string& data) {
  if (method == "-lzs-") return encode_lzs(data);
  if (method == "-lz5-") return encode_lz5(data);
  if (method == "-lh1-") return encode_lh1(data);
  return Bytes(data.begin(), data.end());
}

inline void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

struct Item {
  std::string method, name, data;
  uint8_t attr = 0x20;
  uint8_t os = 'M';
};

// Level 0 (os ignored) or level 1 without extended headers; the name keeps
// its separators as given.
inline Bytes entry_level01(const Item& it, int level) {
  Bytes body = encode(it.method, it.data);
  Bytes h(22, 0);
  std::memcpy(h.data() + 2, it.method.data(), 5);
  put32(h, 7, static_cast<uint32_t>(body.size()));
  put32(h, 11, static_cast<uint32_t>(it.data.size()));
  put32(h, 15, 0x5A6B3C21);  // 2025-03-11 07:33:02 local
  h[19] = it.attr;
  h[20] = static_cast<uint8_t>(level);
  h[21] = static_cast<uint8_t>(it.name.size());
  for (char c : it.name) h.push_back(static_cast<uint8_t>(c));
  uint16_t crc = crc16(it.data);
  h.push_back(static_cast<uint8_t>(crc));
  h.push_back(static_cast<uint8_t>(crc >> 8));
  if (level == 1) {
    h.push_back(it.os);
    h.push_back(0);
    h.push_back(0);
  }
  h[0] = static_cast<uint8_t>(h.size() - 2);
  uint8_t sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
  h[1] = sum;
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

// Extended headers of a level-2 or level-3 header: type, data, next size.
struct Ext {
  uint8_t type;
  std::string data;
};

inline std::vector<Ext> name_exts(const std::string& path, bool headerCrc) {
  std::vector<Ext> x;
  if (headerCrc) x.push_back({0x00, std::string(2, '\0')});
  size_t slash = path.rfind('/');
  x.push_back({0x01, slash == std::string::npos ? path : path.substr(slash + 1)});
  if (slash != std::string::npos) {
    std::string dir = path.substr(0, slash + 1);
    for (char& c : dir)
      if (c == '/') c = '\xFF';
    x.push_back({0x02, dir});
  }
  return x;
}

// Level 2 (sizeShort: the size field 2 below the header's bytes, as the OS-9
// maker writes it; the header CRC is over the bytes as written) or level 3.
inline Bytes entry_level23(const Item& it, int level, bool headerCrc, bool sizeShort = false) {
  Bytes body = encode(it.method, it.data);
  bool wide = level == 3;
  size_t base = wide ? 32 : 26, nb = wide ? 4 : 2;
  std::vector<Ext> x = name_exts(it.name, headerCrc);
  Bytes h(base, 0);
  std::memcpy(h.data() + 2, it.method.data(), 5);
  put32(h, 7, static_cast<uint32_t>(body.size()));
  put32(h, 11, static_cast<uint32_t>(it.data.size()));
  put32(h, 15, 1741678382);
  h[19] = 0x20;
  h[20] = static_cast<uint8_t>(level);
  put16(h, 21, crc16(it.data));
  h[23] = it.os;
  auto putn = [&](size_t at, uint32_t v) { wide ? put32(h, at, v) : put16(h, at, v); };
  putn(base - nb, x.empty() ? 0 : static_cast<uint32_t>(x[0].data.size() + 1 + nb));
  size_t crcAt = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].type == 0) crcAt = h.size() + 1;
    h.push_back(x[i].type);
    h.insert(h.end(), x[i].data.begin(), x[i].data.end());
    h.resize(h.size() + nb);
    putn(h.size() - nb, i + 1 < x.size() ? static_cast<uint32_t>(x[i + 1].data.size() + 1 + nb) : 0);
  }
  if (wide) {
    put16(h, 0, 4);
    put32(h, 24, static_cast<uint32_t>(h.size()));
  } else {
    put16(h, 0, static_cast<uint32_t>(h.size() - (sizeShort ? 2 : 0)));
  }
  if (crcAt) put16(h, crcAt, crc16(h.data(), h.size()));
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

}  // namespace oldlha
