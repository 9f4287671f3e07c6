// bzip2 encoder: RLE1 into blocks, BWT over the cyclic rotations (bucket and
// radix quicksort, prefix doubling for repetitive blocks), MTF + RLE2, and up
// to six Huffman tables chosen per 50-symbol group; a few blocks coded at once.
#include <algorithm>
#include <cstring>
#include <queue>
#include <thread>

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
  // Bits put but not yet in a whole byte.
  int partial() const { return count_; }
  // Bits another writer made: whole bytes, then tailBits of the last one.
  void append(const std::vector<uint8_t>& bytes, int tailBits) {
    size_t whole = bytes.size() - (tailBits ? 1 : 0);
    for (size_t i = 0; i < whole; ++i) put(8, bytes[i]);
    if (tailBits) put(tailBits, static_cast<uint32_t>(bytes.back() >> (8 - tailBits)));
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  int count_ = 0;
};

// Sorts the cyclic rotations of a block. The main sort buckets the rotations
// by their first two bytes and sorts the buckets by a three-way radix
// quicksort; the order of half the buckets is then read off the sorted ones
// instead of sorted again. A block so repetitive that the quicksort's work
// runs past its budget is sorted again by prefix doubling, whose cost does
// not depend on the data. The buffers live as long as the encoder.
class BlockSorter {
 public:
  void sort(const uint8_t* s, int32_t n, std::vector<int32_t>& sa) {
    sa.resize(static_cast<size_t>(n));
    if (n == 0) return;
    if (n < kSmallBlock || !main_sort(s, n, sa)) doubling_sort(s, n, sa);
  }

 private:
  static constexpr int32_t kSmallBlock = 10000;
  static constexpr int32_t kInsertion = 16;  // ranges this small go to insertion sort
  static constexpr int32_t kRadixDepth = 32;  // beyond it whole comparisons finish the range
  static constexpr int32_t kCountingSort = 256;  // ranges this big split by a counting pass
  static constexpr int32_t kWorkPerByte = 40;  // times 900,000 still fits 32 bits
  struct Range {
    int32_t lo, hi, d;
  };

  static uint64_t load_be64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
  }

  // Is rotation a greater than rotation b, both known equal in their first d bytes?
  // Once the two reach a bucket already in order with equal bytes so far,
  // their places there decide: long repeats end there instead of at their end.
  bool greater(int32_t a, int32_t b, int32_t d) {
    const uint8_t* x = ext_.data() + a + d;
    const uint8_t* y = ext_.data() + b + d;
    int32_t left = n_ - d;
    while (left >= 8) {
      uint64_t u = load_be64(x), v = load_be64(y);
      --budget_;
      if ((u >> 48) == (v >> 48) && sorted_[u >> 48]) {
        int32_t i = static_cast<int32_t>(x - ext_.data()), j = static_cast<int32_t>(y - ext_.data());
        return rank_[i >= n_ ? i - n_ : i] > rank_[j >= n_ ? j - n_ : j];
      }
      if (u != v) return u > v;
      x += 8;
      y += 8;
      left -= 8;
    }
    for (; left > 0; --left, ++x, ++y)
      if (*x != *y) return *x > *y;
    return false;
  }

  void insertion_sort(int32_t* p, int32_t m, int32_t d) {
    for (int32_t i = 1; i < m; ++i) {
      int32_t v = p[i], j = i;
      while (j > 0 && greater(p[j - 1], v, d)) {
        p[j] = p[j - 1];
        --j;
      }
      p[j] = v;
    }
  }

  // Shell sort for large ranges of long common prefixes, where the radix
  // passes would creep along one byte at a time.
  void shell_sort(int32_t* p, int32_t m, int32_t d) {
    static const int32_t gaps[] = {797161, 265720, 88573, 29524, 9841, 3280, 1093, 364, 121, 40, 13, 4, 1};
    for (int32_t h : gaps) {
      if (h >= m) continue;
      for (int32_t i = h; i < m; ++i) {
        int32_t v = p[i], j = i;
        while (j >= h && greater(p[j - h], v, d)) {
          p[j] = p[j - h];
          j -= h;
        }
        p[j] = v;
        if (budget_ < 0) return;
      }
    }
  }

  // Three-way radix quicksort of p[0..m), all equal in their first d bytes.
  void radix_quicksort(int32_t* base, int32_t m, int32_t d0) {
    stack_.clear();
    stack_.push_back({0, m, d0});
    const uint8_t* e = ext_.data();
    while (!stack_.empty() && budget_ >= 0) {
      Range r = stack_.back();
      stack_.pop_back();
      // The middle part goes on at once, one byte deeper; the others wait.
      for (;;) {
        int32_t* p = base + r.lo;
        int32_t len = r.hi - r.lo, d = r.d;
        if (len < 2 || d >= n_) break;
        if (len < kInsertion) {
          insertion_sort(p, len, d);
          break;
        }
        if (d - d0 >= kRadixDepth) {
          shell_sort(p, len, d);
          break;
        }
        if (len >= kCountingSort) {
          // A big range splits by one counting pass into as many parts as it
          // has byte values here, where partitioning would take several passes.
          if (keys_.size() < static_cast<size_t>(len)) {
            keys_.resize(len);
            moved_.resize(len);
          }
          int32_t count[256] = {};
          for (int32_t k = 0; k < len; ++k) count[keys_[k] = e[p[k] + d]]++;
          int32_t start[256], at = 0;
          for (int c = 0; c < 256; ++c) {
            start[c] = at;
            at += count[c];
          }
          for (int32_t k = 0; k < len; ++k) moved_[start[keys_[k]]++] = p[k];
          std::memcpy(p, moved_.data(), sizeof(int32_t) * static_cast<size_t>(len));
          budget_ -= len / 2;
          for (int c = 0; c < 256; ++c)
            if (count[c] > 1) stack_.push_back({r.lo + start[c] - count[c], r.lo + start[c], d + 1});
          break;
        }
        uint8_t a = e[p[0] + d], b = e[p[len / 2] + d], c = e[p[len - 1] + d];
        uint8_t v = a < b ? (b < c ? b : (a < c ? c : a)) : (a < c ? a : (b < c ? c : b));
        int32_t lt = 0, gt = len - 1, k = 0;
        while (k <= gt) {
          uint8_t x = e[p[k] + d];
          if (x < v) {
            std::swap(p[lt++], p[k++]);
          } else if (x > v) {
            std::swap(p[k], p[gt--]);
          } else {
            ++k;
          }
        }
        budget_ -= len / 4;
        ++d;
        if (lt == 0 && gt == len - 1) {
          // All alike at this byte: skip whole words they share.
          for (;;) {
            uint64_t w = load_be64(e + p[0] + d);
            int32_t j = 1;
            while (j < len && load_be64(e + p[j] + d) == w) ++j;
            budget_ -= len / 4;
            if (j < len || d - d0 >= kRadixDepth) break;
            d += 8;
          }
        } else {
          if (lt > 1) stack_.push_back({r.lo, r.lo + lt, r.d});
          if (len - gt - 1 > 1) stack_.push_back({r.lo + gt + 1, r.hi, r.d});
        }
        r = {r.lo + lt, r.lo + gt + 1, d};
      }
    }
  }

  bool main_sort(const uint8_t* s, int32_t n, std::vector<int32_t>& sa) {
    n_ = n;
    // The block twice over, then padding: comparisons of up to n bytes from
    // any rotation read straight on, eight bytes at a time.
    ext_.resize(2 * static_cast<size_t>(n) + 8);
    std::memcpy(ext_.data(), s, n);
    std::memcpy(ext_.data() + n, s, n);
    std::memset(ext_.data() + 2 * static_cast<size_t>(n), 0, 8);
    const uint8_t* e = ext_.data();
    budget_ = kWorkPerByte * n;

    // Buckets by the first two bytes: bucket k holds sa[ftab_[k] .. ftab_[k + 1]).
    ftab_.assign(65537, 0);
    for (int32_t i = 0; i < n; ++i) ftab_[(e[i] << 8) | e[i + 1]]++;
    int32_t sum = 0;
    for (int k = 0; k <= 65536; ++k) {
      int32_t c = ftab_[k];
      ftab_[k] = sum;
      sum += c;
    }
    fill_.assign(ftab_.begin(), ftab_.end() - 1);
    for (int32_t i = 0; i < n; ++i) sa[fill_[(e[i] << 8) | e[i + 1]]++] = i;

    // Small buckets first: the big ones then get more of their order copied.
    int order[256];
    for (int i = 0; i < 256; ++i) order[i] = i;
    std::stable_sort(order, order + 256, [&](int x, int y) {
      return ftab_[(x + 1) << 8] - ftab_[x << 8] < ftab_[(y + 1) << 8] - ftab_[y << 8];
    });
    bool bigDone[256] = {};
    sorted_.assign(65536, 0);
    rank_.resize(n);
    int32_t* p = sa.data();
    for (int ss : order) {
      // Every bucket [ss][j] not yet in order gets sorted; [ss][ss] is copied below.
      for (int j = 0; j < 256; ++j) {
        int k = (ss << 8) | j;
        if (j == ss || sorted_[k]) continue;
        int32_t lo = ftab_[k], hi = ftab_[k + 1];
        if (hi - lo > 1) radix_quicksort(p + lo, hi - lo, 2);
        if (budget_ < 0) return false;
        for (int32_t q = lo; q < hi; ++q) rank_[p[q]] = q;
        sorted_[k] = 1;
      }
      // Rotations beginning "t ss" sort as the rotations one byte later do,
      // which are all in bucket ss, now in order: one pass from each end fills
      // every [t][ss] (also [ss][ss], as the pass runs into it).
      int32_t start[256], end[256];
      for (int t = 0; t < 256; ++t) {
        start[t] = ftab_[(t << 8) | ss];
        end[t] = ftab_[((t << 8) | ss) + 1] - 1;
      }
      for (int32_t j = ftab_[ss << 8]; j < start[ss]; ++j) {
        int32_t k = p[j] == 0 ? n - 1 : p[j] - 1;
        uint8_t c = e[k];
        if (!bigDone[c]) p[start[c]++] = k;
      }
      for (int32_t j = ftab_[(ss + 1) << 8] - 1; j > end[ss]; --j) {
        int32_t k = p[j] == 0 ? n - 1 : p[j] - 1;
        uint8_t c = e[k];
        if (!bigDone[c]) p[end[c]--] = k;
      }
      // Only a block of one repeated byte leaves [ss][ss] unfilled.
      if (start[ss] - 1 != end[ss]) return false;
      for (int t = 0; t < 256; ++t) {
        int k = (t << 8) | ss;
        if (sorted_[k]) continue;
        for (int32_t q = ftab_[k]; q < ftab_[k + 1]; ++q) rank_[p[q]] = q;
        sorted_[k] = 1;
      }
      bigDone[ss] = true;
    }
    return true;
  }

  // Prefix doubling that refines only the groups of rotations still equal
  // (in the manner of Larsson and Sadakane): after the pass for h, rotations
  // are in order by their first 2h bytes. sa holds the order, rk_ the group
  // of each rotation (the last index of its group); a negative sa[i] is the
  // length of a run of finished groups starting there.
  void doubling_sort(const uint8_t* s, int32_t n, std::vector<int32_t>& sa) {
    n_ = n;
    rk_.resize(n);
    I_ = sa.data();
    V_ = rk_.data();
    auto key2 = [&](int32_t i) { return (uint32_t(s[i]) << 8) | s[i + 1 == n ? 0 : i + 1]; };
    ftab_.assign(65537, 0);
    for (int32_t i = 0; i < n; ++i) ftab_[key2(i) + 1]++;
    for (int k = 0; k < 65536; ++k) ftab_[k + 1] += ftab_[k];
    fill_.assign(ftab_.begin(), ftab_.end() - 1);
    for (int32_t i = 0; i < n; ++i) I_[fill_[key2(i)]++] = i;
    for (int k = 0; k < 65536; ++k) {
      int32_t lo = ftab_[k], hi = ftab_[k + 1];
      if (lo == hi) continue;
      for (int32_t j = lo; j < hi; ++j) V_[I_[j]] = hi - 1;
      if (hi - lo == 1) I_[lo] = -1;
    }
    for (int64_t h = 2; I_[0] != -n; h *= 2) {
      h_ = static_cast<int32_t>(h % n);
      int32_t i = 0, run = 0;
      while (i < n) {
        int32_t v = I_[i];
        if (v < 0) {
          i -= v;
          run += v;
          continue;
        }
        if (run) I_[i + run] = run;
        run = 0;
        int32_t end = V_[v] + 1;
        split(i, end - i);
        i = end;
      }
      if (run) I_[i + run] = run;
      // Past n bytes, rotations still equal are the same string.
      if (2 * h >= n) break;
    }
    // Back from groups to positions; equal rotations share their group's slots.
    tmp_.assign(n, 0);
    for (int32_t i = 0; i < n; ++i) I_[V_[i] - tmp_[V_[i]]++] = i;
  }

  int32_t succ_group(int32_t i) const {
    int32_t j = i + h_;
    return V_[j >= n_ ? j - n_ : j];
  }

  void set_group(int32_t lo, int32_t hi) {  // sa[lo..hi] one group, inclusive
    for (int32_t j = lo; j <= hi; ++j) V_[I_[j]] = hi;
    if (lo == hi) I_[lo] = -1;
  }

  // Orders sa[lo, lo + m), one group, by the groups of the rotations h later
  // and splits it. The lower part is finished before the others are numbered:
  // a rotation whose successor lies in this group then still sees a number
  // no smaller than its true one.
  void split(int32_t lo, int32_t m) {
    while (m >= 7) {
      int32_t* a = I_ + lo;
      int32_t x = succ_group(a[0]), y = succ_group(a[m / 2]), z = succ_group(a[m - 1]);
      int32_t v = x < y ? (y < z ? y : (x < z ? z : x)) : (x < z ? x : (y < z ? z : y));
      int32_t lt = 0, gt = m - 1, k = 0;
      while (k <= gt) {
        int32_t g = succ_group(a[k]);
        if (g < v) {
          std::swap(a[lt++], a[k++]);
        } else if (g > v) {
          std::swap(a[k], a[gt--]);
        } else {
          ++k;
        }
      }
      if (lt > 0) split(lo, lt);
      set_group(lo + lt, lo + gt);
      lo += gt + 1;
      m -= gt + 1;
    }
    // Small groups: take out the smallest key's rotations again and again.
    int32_t* a = I_ + lo;
    int32_t i = 0;
    while (i < m) {
      int32_t best = succ_group(a[i]), e = i + 1;
      for (int32_t k = i + 1; k < m; ++k) {
        int32_t g = succ_group(a[k]);
        if (g < best) {
          best = g;
          std::swap(a[k], a[i]);
          e = i + 1;
        } else if (g == best) {
          std::swap(a[k], a[e++]);
        }
      }
      set_group(lo + i, lo + e - 1);
      i = e;
    }
  }

  int32_t n_ = 0, h_ = 0;
  int32_t budget_ = 0;  // counted in the innermost loops: 32 bits cost less in the 32-bit build
  int32_t *I_ = nullptr, *V_ = nullptr;
  std::vector<uint8_t> ext_, sorted_;
  std::vector<int32_t> ftab_, fill_, rank_, rk_, tmp_, moved_;
  std::vector<uint8_t> keys_;
  std::vector<Range> stack_;
};

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
// What one block needs besides its bytes, kept from block to block.
struct BlockWork {
  BlockSorter sorter;
  std::vector<int32_t> sa;
  std::vector<uint16_t> syms;
  std::vector<uint8_t> sel;
};

void write_block(BitWriter& bw, const uint8_t* block, int32_t n, uint32_t crc, BlockWork& w) {
  std::vector<int32_t>& sa = w.sa;
  w.sorter.sort(block, n, sa);
  int32_t origPtr = 0;

  bool inUse[256] = {};
  for (int32_t i = 0; i < n; ++i) inUse[block[i]] = true;
  uint8_t unseqToSeq[256];
  int nInUse = 0;
  for (int i = 0; i < 256; ++i)
    if (inUse[i]) unseqToSeq[i] = static_cast<uint8_t>(nInUse++);
  const int alpha = nInUse + 2, eob = nInUse + 1;

  // MTF + RLE2 over the last column.
  std::vector<uint16_t>& syms = w.syms;
  syms.clear();
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
    int p = static_cast<int>(static_cast<const uint8_t*>(std::memchr(mtf + 1, c, 255)) - mtf);
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
  std::vector<uint8_t>& sel = w.sel;
  sel.assign(nSel, 0);
  for (int iter = 0; iter < 4; ++iter) {
    uint32_t gfreq[6][258] = {};
    // Each symbol's lengths in all tables side by side, 16 bits apiece: one
    // group's costs in every table come from two sums (50 x 17 < 65536).
    uint64_t packed[258][2] = {};
    for (int v = 0; v < alpha; ++v)
      for (int t = 0; t < nGroups; ++t) packed[v][t / 4] |= static_cast<uint64_t>(len[t][v]) << (16 * (t % 4));
    for (size_t g = 0; g < nSel; ++g) {
      size_t a = g * 50, b = std::min(nMTF, a + 50);
      uint64_t lo = 0, hi = 0;
      for (size_t k = a; k < b; ++k) {
        lo += packed[syms[k]][0];
        hi += packed[syms[k]][1];
      }
      uint32_t best = UINT32_MAX;
      int bt = 0;
      for (int t = 0; t < nGroups; ++t) {
        uint32_t cost = static_cast<uint32_t>(((t < 4 ? lo : hi) >> (16 * (t % 4))) & 0xFFFF);
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

// One block on its way: its bytes, what coding it needs, and its bits once
// coded. Blocks are coded on threads of their own, a few at a time, and
// their bits laid into the stream in order: the stream is the same as when
// they are coded one after another.
struct BlockSlot {
  std::vector<uint8_t> block, coded;
  int32_t n = 0;
  uint32_t crc = 0;
  int tailBits = 0;
  BlockWork work;
  std::thread thread;
  bool busy = false;

  void code() {
    coded.clear();
    BitWriter bw(coded);
    write_block(bw, block.data(), n, crc, work);
    tailBits = bw.partial();
    bw.flush();
  }
};

struct Encoder::Impl {
  Sink sink;
  int level = 9;
  size_t maxBlock = 0;
  bool ok = true, ended = false;
  std::vector<uint8_t> pending;
  std::vector<std::unique_ptr<BlockSlot>> slots;
  size_t cur = 0;  // the slot being filled; the others are coding or idle
  uint8_t* block = nullptr;  // the current slot's bytes, maxBlock of room, used filled
  size_t used = 0;
  BitWriter bw{pending};

  ~Impl() {
    for (auto& s : slots)
      if (s->busy) s->thread.join();
  }
  void start_slots() {
    unsigned n = std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < n; ++i) {
      slots.push_back(std::make_unique<BlockSlot>());
      slots.back()->block.resize(maxBlock);
    }
    block = slots[0]->block.data();
  }
  // Waits for a slot's block and puts its bits into the stream.
  void collect(BlockSlot& s) {
    if (!s.busy) return;
    s.thread.join();
    s.busy = false;
    bw.append(s.coded, s.tailBits);
    drain(false);
  }
  uint32_t blockCrc = 0xFFFFFFFFu, streamCrc = 0;
  int runCh = -1;
  uint32_t runLen = 0;

  void emit_run() {
    if (runLen == 0) return;
    size_t need = runLen < 4 ? runLen : 5;
    if (used + need > maxBlock) end_block();
    uint8_t c = static_cast<uint8_t>(runCh);
    for (uint32_t i = 0; i < runLen; ++i) blockCrc = crc_byte(blockCrc, c);
    uint8_t* out = block + used;
    if (runLen < 4) {
      for (uint32_t i = 0; i < runLen; ++i) out[i] = c;
    } else {
      out[0] = out[1] = out[2] = out[3] = c;
      out[4] = static_cast<uint8_t>(runLen - 4);
    }
    used += need;
    runLen = 0;
  }
  void end_block() {
    if (used == 0) return;
    uint32_t crc = ~blockCrc;
    BlockSlot& s = *slots[cur];
    s.n = static_cast<int32_t>(used);
    s.crc = crc;
    streamCrc = ((streamCrc << 1) | (streamCrc >> 31)) ^ crc;
    if (slots.size() > 1) {
      try {
        s.thread = std::thread([&s] { s.code(); });
        s.busy = true;
      } catch (const std::exception&) {
        s.code();  // no thread to be had: here, then
      }
    } else {
      s.code();
    }
    if (!s.busy) {
      bw.append(s.coded, s.tailBits);
      drain(false);
    }
    // The next slot holds the oldest block still coding, if any.
    cur = (cur + 1) % slots.size();
    collect(*slots[cur]);
    block = slots[cur]->block.data();
    used = 0;
    blockCrc = 0xFFFFFFFFu;
  }
  // Every block still coding, oldest first.
  void collect_all() {
    for (size_t k = 0; k < slots.size(); ++k) collect(*slots[(cur + k) % slots.size()]);
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
  p_->start_slots();
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
  s.collect_all();
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
