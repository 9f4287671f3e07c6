// bzip2 encoder: RLE1 into blocks, BWT by prefix doubling over the cyclic
// rotations (O(n log n), also on repetitive input), MTF + RLE2, and up to six
// Huffman tables chosen per 50-symbol group.
#include <algorithm>
#include <cstring>
#include <queue>

#include "bzip2.h"
#include "crc.h"

namespace bz2 {
namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void put(int n, uint32_t v) {
    acc_ = (acc_ << n) | (v & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
    count_ += n;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> count_));
    }
  }
  void flush() {
    if (count_) out_.push_back(static_cast<uint8_t>(acc_ << (8 - count_)));
    count_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  int count_ = 0;
};

// Sorts the cyclic rotations of s; answers their start positions in order.
void sort_rotations(const uint8_t* s, int32_t n, std::vector<int32_t>& sa) {
  sa.assign(n, 0);
  if (n == 0) return;
  std::vector<int32_t> rk(n), tmp(n), next(n);
  // Start from the first two bytes of each rotation, then double.
  auto key = [&](int32_t i) { return (uint32_t(s[i]) << 8) | s[i + 1 == n ? 0 : i + 1]; };
  std::vector<int32_t> cnt(65537, 0);
  for (int32_t i = 0; i < n; ++i) cnt[key(i) + 1]++;
  for (int i = 0; i < 65536; ++i) cnt[i + 1] += cnt[i];
  for (int32_t i = 0; i < n; ++i) rk[i] = cnt[key(i)];  // rank = first slot of its bucket
  for (int32_t i = 0; i < n; ++i) sa[cnt[key(i)]++] = i;
  int32_t classes = 0;
  for (int32_t j = 0; j < n; ++j)
    if (j == 0 || key(sa[j]) != key(sa[j - 1])) ++classes;
  for (int64_t k = 2; classes < n && k < n; k <<= 1) {
    int32_t kk = static_cast<int32_t>(k);
    // Order by the second half: sa is sorted by rank of i, so i - k is sorted by rank of (i - k) + k.
    for (int32_t j = 0; j < n; ++j) {
      int32_t i = sa[j] - kk;
      tmp[j] = i < 0 ? i + n : i;
    }
    for (int32_t j = 0; j < n; ++j) next[rk[sa[j]]] = rk[sa[j]];
    for (int32_t j = 0; j < n; ++j) {
      int32_t i = tmp[j];
      sa[next[rk[i]]++] = i;
    }
    // New ranks from (rank, rank k later).
    classes = 0;
    int32_t head = 0;
    for (int32_t j = 0; j < n; ++j) {
      int32_t a = sa[j];
      if (j == 0) {
        classes = 1;
      } else {
        int32_t b = sa[j - 1];
        int32_t a2 = a + kk >= n ? a + kk - n : a + kk, b2 = b + kk >= n ? b + kk - n : b + kk;
        if (rk[a] != rk[b] || rk[a2] != rk[b2]) {
          head = j;
          ++classes;
        }
      }
      tmp[a] = head;
    }
    rk.swap(tmp);
  }
}

// Code lengths of at most maxLen bits for every symbol (all symbols get one).
void make_lengths(const uint32_t* freqIn, int alpha, int maxLen, uint8_t* len) {
  std::vector<uint32_t> freq(freqIn, freqIn + alpha);
  for (auto& f : freq)
    if (f == 0) f = 1;
  for (;;) {
    // Huffman tree over (weight, node) with parents.
    std::vector<int> parent(2 * alpha, -1);
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> q;
    for (int i = 0; i < alpha; ++i) q.push({freq[i], i});
    int nodes = alpha;
    while (q.size() > 1) {
      auto a = q.top();
      q.pop();
      auto b = q.top();
      q.pop();
      parent[a.second] = nodes;
      parent[b.second] = nodes;
      q.push({a.first + b.first, nodes});
      ++nodes;
    }
    bool tooLong = false;
    for (int i = 0; i < alpha; ++i) {
      int d = 0;
      for (int p = i; parent[p] >= 0; p = parent[p]) ++d;
      if (d == 0) d = 1;
      if (d > maxLen) tooLong = true;
      len[i] = static_cast<uint8_t>(d);
    }
    if (!tooLong) return;
    for (auto& f : freq) f = 1 + f / 2;
  }
}

void assign_codes(const uint8_t* len, int alpha, uint32_t* code) {
  int minL = 32, maxL = 0;
  for (int i = 0; i < alpha; ++i) {
    minL = std::min<int>(minL, len[i]);
    maxL = std::max<int>(maxL, len[i]);
  }
  uint32_t v = 0;
  for (int L = minL; L <= maxL; ++L) {
    for (int i = 0; i < alpha; ++i)
      if (len[i] == L) code[i] = v++;
    v <<= 1;
  }
}

// One block: block holds the RLE1 output, crc the CRC of the original bytes.
void write_block(BitWriter& bw, const std::vector<uint8_t>& block, uint32_t crc) {
  const int32_t n = static_cast<int32_t>(block.size());
  std::vector<int32_t> sa;
  sort_rotations(block.data(), n, sa);
  int32_t origPtr = 0;

  bool inUse[256] = {};
  for (uint8_t b : block) inUse[b] = true;
  uint8_t unseqToSeq[256];
  int nInUse = 0;
  for (int i = 0; i < 256; ++i)
    if (inUse[i]) unseqToSeq[i] = static_cast<uint8_t>(nInUse++);
  const int alpha = nInUse + 2, eob = nInUse + 1;

  // MTF + RLE2 over the last column.
  std::vector<uint16_t> syms;
  syms.reserve(n + 1);
  uint32_t freq[258] = {};
  uint8_t mtf[256];
  for (int i = 0; i < nInUse; ++i) mtf[i] = static_cast<uint8_t>(i);
  uint32_t zrun = 0;
  auto flush_run = [&] {
    while (zrun > 0) {
      if (zrun & 1) {
        syms.push_back(0);
        freq[0]++;
        zrun = (zrun - 1) / 2;
      } else {
        syms.push_back(1);
        freq[1]++;
        zrun = (zrun - 2) / 2;
      }
    }
  };
  for (int32_t j = 0; j < n; ++j) {
    int32_t i = sa[j];
    if (i == 0) origPtr = j;
    uint8_t c = unseqToSeq[block[i == 0 ? n - 1 : i - 1]];
    if (mtf[0] == c) {
      ++zrun;
      continue;
    }
    flush_run();
    int p = 1;
    while (mtf[p] != c) ++p;
    std::memmove(mtf + 1, mtf, static_cast<size_t>(p));
    mtf[0] = c;
    syms.push_back(static_cast<uint16_t>(p + 1));
    freq[p + 1]++;
  }
  flush_run();
  syms.push_back(static_cast<uint16_t>(eob));
  freq[eob]++;
  const size_t nMTF = syms.size();

  int nGroups = nMTF < 200 ? 2 : nMTF < 600 ? 3 : nMTF < 1200 ? 4 : nMTF < 2400 ? 5 : 6;
  uint8_t len[6][258];
  // Start: each table favours one slice of the symbol range of about equal weight.
  {
    int lo = 0;
    uint64_t remaining = nMTF;
    for (int t = nGroups; t > 0; --t) {
      uint64_t want = remaining / t, got = 0;
      int hi = lo - 1;
      while (got < want && hi < alpha - 1) got += freq[++hi];
      if (hi > lo && t != nGroups && t != 1 && ((nGroups - t) % 2 == 1)) got -= freq[hi--];
      for (int v = 0; v < alpha; ++v) len[nGroups - t][v] = (v >= lo && v <= hi) ? 0 : 15;
      lo = hi + 1;
      remaining -= got;
    }
  }
  const size_t nSel = (nMTF + 49) / 50;
  std::vector<uint8_t> sel(nSel);
  for (int iter = 0; iter < 4; ++iter) {
    uint32_t gfreq[6][258] = {};
    for (size_t g = 0; g < nSel; ++g) {
      size_t a = g * 50, b = std::min(nMTF, a + 50);
      uint32_t best = UINT32_MAX;
      int bt = 0;
      for (int t = 0; t < nGroups; ++t) {
        uint32_t cost = 0;
        for (size_t k = a; k < b; ++k) cost += len[t][syms[k]];
        if (cost < best) {
          best = cost;
          bt = t;
        }
      }
      sel[g] = static_cast<uint8_t>(bt);
      for (size_t k = a; k < b; ++k) gfreq[bt][syms[k]]++;
    }
    for (int t = 0; t < nGroups; ++t) make_lengths(gfreq[t], alpha, 17, len[t]);
  }
  uint32_t code[6][258];
  for (int t = 0; t < nGroups; ++t) assign_codes(len[t], alpha, code[t]);

  bw.put(24, 0x314159);
  bw.put(24, 0x265359);
  bw.put(32, crc);
  bw.put(1, 0);
  bw.put(24, static_cast<uint32_t>(origPtr));
  uint32_t used16 = 0;
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 16; ++j)
      if (inUse[i * 16 + j]) used16 |= 0x8000u >> i;
  bw.put(16, used16);
  for (int i = 0; i < 16; ++i) {
    if (!(used16 & (0x8000u >> i))) continue;
    uint32_t u = 0;
    for (int j = 0; j < 16; ++j)
      if (inUse[i * 16 + j]) u |= 0x8000u >> j;
    bw.put(16, u);
  }
  bw.put(3, static_cast<uint32_t>(nGroups));
  bw.put(15, static_cast<uint32_t>(nSel));
  uint8_t order[6] = {0, 1, 2, 3, 4, 5};
  for (size_t g = 0; g < nSel; ++g) {
    int j = 0;
    while (order[j] != sel[g]) ++j;
    uint8_t v = order[j];
    for (int k = j; k > 0; --k) order[k] = order[k - 1];
    order[0] = v;
    for (int k = 0; k < j; ++k) bw.put(1, 1);
    bw.put(1, 0);
  }
  for (int t = 0; t < nGroups; ++t) {
    int curr = len[t][0];
    bw.put(5, static_cast<uint32_t>(curr));
    for (int v = 0; v < alpha; ++v) {
      while (curr < len[t][v]) {
        bw.put(2, 2);
        ++curr;
      }
      while (curr > len[t][v]) {
        bw.put(2, 3);
        --curr;
      }
      bw.put(1, 0);
    }
  }
  for (size_t g = 0; g < nSel; ++g) {
    size_t a = g * 50, b = std::min(nMTF, a + 50);
    int t = sel[g];
    for (size_t k = a; k < b; ++k) bw.put(len[t][syms[k]], code[t][syms[k]]);
  }
}

}  // namespace

struct Encoder::Impl {
  Sink sink;
  int level = 9;
  size_t maxBlock = 0;
  bool ok = true, ended = false;
  std::vector<uint8_t> block, pending;
  BitWriter bw{pending};
  uint32_t blockCrc = 0xFFFFFFFFu, streamCrc = 0;
  int runCh = -1;
  uint32_t runLen = 0;

  void emit_run() {
    if (runLen == 0) return;
    size_t need = runLen < 4 ? runLen : 5;
    if (block.size() + need > maxBlock) end_block();
    uint8_t c = static_cast<uint8_t>(runCh);
    for (uint32_t i = 0; i < runLen; ++i) blockCrc = crc_byte(blockCrc, c);
    if (runLen < 4) {
      block.insert(block.end(), runLen, c);
    } else {
      block.insert(block.end(), 4, c);
      block.push_back(static_cast<uint8_t>(runLen - 4));
    }
    runLen = 0;
  }
  void end_block() {
    if (block.empty()) return;
    uint32_t crc = ~blockCrc;
    write_block(bw, block, crc);
    streamCrc = ((streamCrc << 1) | (streamCrc >> 31)) ^ crc;
    block.clear();
    blockCrc = 0xFFFFFFFFu;
    drain(false);
  }
  void drain(bool all) {
    // Whole bytes go to the sink; the bit writer keeps its partial byte itself.
    if (!pending.empty() && (all || pending.size() >= (1u << 16))) {
      if (ok && !sink(pending.data(), pending.size())) ok = false;
      pending.clear();
    }
  }
};

Encoder::Encoder(Sink sink, int blockSize100k) : p_(std::make_unique<Impl>()) {
  p_->sink = std::move(sink);
  if (blockSize100k < 1 || blockSize100k > 9) blockSize100k = 9;
  p_->level = blockSize100k;
  p_->maxBlock = static_cast<size_t>(blockSize100k) * 100000 - 19;
  p_->block.reserve(p_->maxBlock);
  p_->bw.put(24, 0x425A68);
  p_->bw.put(8, static_cast<uint32_t>('0' + blockSize100k));
}

Encoder::~Encoder() = default;

bool Encoder::write(const uint8_t* data, size_t n) {
  Impl& s = *p_;
  if (s.ended) return false;
  for (size_t i = 0; i < n; ++i) {
    int c = data[i];
    if (c == s.runCh && s.runLen < 255) {
      ++s.runLen;
      continue;
    }
    s.emit_run();
    s.runCh = c;
    s.runLen = 1;
  }
  return s.ok;
}

bool Encoder::finish() {
  Impl& s = *p_;
  if (s.ended) return s.ok;
  s.ended = true;
  s.emit_run();
  s.end_block();
  s.bw.put(24, 0x177245);
  s.bw.put(24, 0x385090);
  s.bw.put(32, s.streamCrc);
  s.bw.flush();
  s.drain(true);
  return s.ok;
}

bool compress(const uint8_t* in, size_t n, std::vector<uint8_t>& out, int blockSize100k) {
  out.clear();
  if (blockSize100k < 1 || blockSize100k > 9) return false;
  Encoder e(
      [&](const uint8_t* d, size_t k) {
        out.insert(out.end(), d, d + k);
        return true;
      },
      blockSize100k);
  e.write(in, n);
  return e.finish();
}

}  // namespace bz2
