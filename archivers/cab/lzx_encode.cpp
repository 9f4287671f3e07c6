// LZX encoding: one verbatim block per frame with greedy hash-chain matches
// and trees built from the frame's own counts; frames that do not shrink go
// out as uncompressed blocks.
#include <algorithm>
#include <cstring>
#include <queue>
#include <vector>

#include "codecs.h"
#include "lzx_tables.h"

namespace cab {
namespace {

using namespace lzx;

struct BitOut {
  std::vector<uint8_t>& out;
  uint32_t acc = 0;
  int cnt = 0;
  explicit BitOut(std::vector<uint8_t>& o) : out(o) {}
  void put(uint32_t v, int k) {  // k <= 16
    if (k == 0) return;
    acc = (acc << k) | (v & ((1u << k) - 1));
    cnt += k;
    while (cnt >= 16) {
      uint32_t w = (acc >> (cnt - 16)) & 0xFFFF;
      out.push_back(static_cast<uint8_t>(w));
      out.push_back(static_cast<uint8_t>(w >> 8));
      cnt -= 16;
    }
  }
  void put_long(uint32_t v, int k) {
    if (k > 16) {
      put(v >> 16, k - 16);
      put(v & 0xFFFF, 16);
    } else {
      put(v, k);
    }
  }
  void align() {
    if (cnt) put(0, 16 - cnt);
  }
};

// Code lengths no longer than maxLen from counts; a tree with one used
// symbol gets a second so that every decoder sees a complete code.
std::vector<uint8_t> code_lengths(std::vector<uint32_t> freq, int maxLen) {
  size_t n = freq.size();
  std::vector<uint8_t> len(n, 0);
  int used = 0;
  for (auto f : freq) used += f != 0;
  if (used == 0) return len;
  if (used == 1) {
    for (size_t i = 0; i < n; ++i)
      if (!freq[i]) {
        freq[i] = 1;
        break;
      }
  }
  for (;;) {
    struct Node {
      uint64_t w;
      int left, right;
    };
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> q;
    for (size_t i = 0; i < n; ++i)
      if (freq[i]) {
        nodes.push_back({freq[i], -1, static_cast<int>(i)});
        q.push({freq[i], static_cast<int>(nodes.size() - 1)});
      }
    while (q.size() > 1) {
      auto a = q.top();
      q.pop();
      auto b = q.top();
      q.pop();
      nodes.push_back({a.first + b.first, a.second, b.second});
      q.push({a.first + b.first, static_cast<int>(nodes.size() - 1)});
    }
    std::fill(len.begin(), len.end(), 0);
    int maxSeen = 0;
    std::vector<std::pair<int, int>> stack{{q.top().second, 0}};
    while (!stack.empty()) {
      auto [id, d] = stack.back();
      stack.pop_back();
      const Node& nd = nodes[id];
      if (nd.left < 0) {
        len[nd.right] = static_cast<uint8_t>(d);
        maxSeen = std::max(maxSeen, d);
      } else {
        stack.push_back({nd.left, d + 1});
        stack.push_back({nd.right, d + 1});
      }
    }
    if (maxSeen <= maxLen) return len;
    for (auto& f : freq)
      if (f) f = (f + 1) / 2;
  }
}

std::vector<uint32_t> canonical(const std::vector<uint8_t>& len) {
  uint32_t count[18] = {}, next[18] = {};
  for (auto l : len) ++count[l];
  count[0] = 0;
  uint32_t code = 0;
  for (int l = 1; l <= 17; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<uint32_t> codes(len.size(), 0);
  for (size_t s = 0; s < len.size(); ++s)
    if (len[s]) codes[s] = next[len[s]]++;
  return codes;
}

struct Sym {
  uint16_t main;
  int16_t lenFoot;   // -1 none
  uint8_t extra;
  uint32_t foot;
};

}  // namespace

struct LzxEncoder::State {
  int wbits = 0, slots = 0;
  uint32_t W = 0, maxDist = 0;
  bool first = true;
  std::vector<uint8_t> hist;  // recent bytes; hist[0] is absolute position histBase
  uint64_t histBase = 0;
  static constexpr int kHashBits = 15, kRing = 1 << 16, kChain = 48;
  std::vector<int64_t> head = std::vector<int64_t>(1 << kHashBits, -1);
  std::vector<int64_t> prev = std::vector<int64_t>(kRing, -1);
  std::vector<uint8_t> prevMain, prevLen = std::vector<uint8_t>(kLengthSyms, 0);

  uint8_t at(uint64_t abs) const { return hist[abs - histBase]; }
  uint32_t hash(uint64_t p) const {
    return ((at(p) << 10) ^ (at(p + 1) << 5) ^ at(p + 2)) & ((1u << kHashBits) - 1);
  }
  void insert(uint64_t p) {
    uint32_t h = hash(p);
    prev[p & (kRing - 1)] = head[h];
    head[h] = static_cast<int64_t>(p);
  }

  void write_lengths(BitOut& b, const std::vector<uint8_t>& now, std::vector<uint8_t>& was, size_t from, size_t to) {
    std::vector<uint8_t> z(to - from);
    std::vector<uint32_t> f(kPreSyms, 0);
    for (size_t i = from; i < to; ++i) {
      z[i - from] = static_cast<uint8_t>((was[i] + 17 - now[i]) % 17);
      ++f[z[i - from]];
    }
    auto pl = code_lengths(f, 15);
    auto pc = canonical(pl);
    for (int i = 0; i < kPreSyms; ++i) b.put(pl[i], 4);
    for (auto s : z) b.put(pc[s], pl[s]);
    for (size_t i = from; i < to; ++i) was[i] = now[i];
  }

  bool encode(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    if (!slots || n == 0 || n > 32768) return false;
    const SlotTables& t = slot_tables();
    // Keep at least maxDist bytes of history.
    uint64_t begin = histBase + hist.size();
    if (hist.size() > maxDist + 2 * 32768) {
      size_t cut = hist.size() - maxDist - 32768;
      hist.erase(hist.begin(), hist.begin() + static_cast<std::ptrdiff_t>(cut));
      histBase += cut;
    }
    hist.insert(hist.end(), in, in + n);
    const uint64_t end = begin + n;

    std::vector<Sym> syms;
    syms.reserve(n);
    std::vector<uint32_t> mainFreq(256 + 8 * slots, 0), lenFreq(kLengthSyms, 0);
    uint64_t p = begin;
    while (p < end) {
      uint32_t bestLen = 0, bestOff = 0;
      if (p + 2 < end) {
        uint32_t limit = static_cast<uint32_t>(std::min<uint64_t>(kMaxMatch, end - p));
        int64_t c = head[hash(p)];
        for (int k = 0; k < kChain && c >= 0; ++k) {
          uint64_t cand = static_cast<uint64_t>(c);
          if (cand < histBase || p - cand > maxDist || cand >= p) break;
          uint32_t l = 0;
          while (l < limit && at(cand + l) == at(p + l)) ++l;
          if (l > bestLen) {
            bestLen = l;
            bestOff = static_cast<uint32_t>(p - cand);
            if (l == limit) break;
          }
          int64_t nx = prev[cand & (kRing - 1)];
          if (nx >= c) break;
          c = nx;
        }
      }
      if (bestLen >= 3) {
        uint32_t f = bestOff + 2;
        int slot = 3;
        while (slot + 1 < slots && t.base[slot + 1] <= f) ++slot;
        uint32_t lh = std::min<uint32_t>(bestLen - kMinMatch, kPrimaryLengths);
        Sym s{static_cast<uint16_t>(256 + slot * 8 + lh), -1, t.extra[slot], f - t.base[slot]};
        if (lh == kPrimaryLengths) {
          s.lenFoot = static_cast<int16_t>(bestLen - kMinMatch - kPrimaryLengths);
          ++lenFreq[s.lenFoot];
        }
        ++mainFreq[s.main];
        syms.push_back(s);
        for (uint32_t i = 0; i < bestLen; ++i, ++p)
          if (p + 2 < end) insert(p);
      } else {
        Sym s{at(p), -1, 0, 0};
        ++mainFreq[s.main];
        syms.push_back(s);
        if (p + 2 < end) insert(p);
        ++p;
      }
    }

    auto ml = code_lengths(mainFreq, 16);
    auto ll = code_lengths(lenFreq, 16);
    auto mc = canonical(ml);
    auto lc = canonical(ll);
    std::vector<uint8_t> savedMain = prevMain, savedLen = prevLen;
    out.clear();
    {
      BitOut b(out);
      if (first) b.put(0, 1);  // no call translation
      b.put(1, 3);             // verbatim
      b.put(static_cast<uint32_t>(n >> 16), 8);
      b.put(static_cast<uint32_t>(n >> 8) & 0xFF, 8);
      b.put(static_cast<uint32_t>(n) & 0xFF, 8);
      write_lengths(b, ml, prevMain, 0, 256);
      write_lengths(b, ml, prevMain, 256, ml.size());
      write_lengths(b, ll, prevLen, 0, kLengthSyms);
      for (const Sym& s : syms) {
        b.put(mc[s.main], ml[s.main]);
        if (s.lenFoot >= 0) b.put(lc[s.lenFoot], ll[s.lenFoot]);
        if (s.main >= 256) b.put_long(s.foot, s.extra);
      }
      b.align();
    }
    if (out.size() > n + 64) {
      // Stored is smaller: an uncompressed block leaves the trees as they were.
      prevMain = savedMain;
      prevLen = savedLen;
      out.clear();
      BitOut b(out);
      if (first) b.put(0, 1);
      b.put(3, 3);
      b.put(static_cast<uint32_t>(n >> 16), 8);
      b.put(static_cast<uint32_t>(n >> 8) & 0xFF, 8);
      b.put(static_cast<uint32_t>(n) & 0xFF, 8);
      int used = (first ? 28 : 27);
      b.put(0, 16 - used % 16 == 0 ? 16 : 16 - used % 16);
      for (int i = 0; i < 3; ++i) {  // repeat offsets: ours never uses them
        out.push_back(1);
        out.push_back(0);
        out.push_back(0);
        out.push_back(0);
      }
      out.insert(out.end(), in, in + n);
      if (n & 1) out.push_back(0);
    }
    first = false;
    return true;
  }
};

LzxEncoder::LzxEncoder(int windowBits) : s_(std::make_unique<State>()) {
  s_->wbits = windowBits;
  s_->slots = slots_for(windowBits);
  if (s_->slots) {
    s_->W = 1u << windowBits;
    s_->maxDist = std::min<uint32_t>(s_->W - 3, State::kRing - 1024);
    s_->prevMain.assign(256 + 8 * s_->slots, 0);
  }
}
LzxEncoder::~LzxEncoder() = default;

bool LzxEncoder::encode(const uint8_t* in, size_t n, std::vector<uint8_t>& out) { return s_->encode(in, n, out); }

}  // namespace cab
