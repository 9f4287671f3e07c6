#include <algorithm>
#include <cstring>
#include <vector>

#include "encoder.h"
#include "huffman.h"

namespace lha {
namespace {

constexpr unsigned NC = 510, NT = 19, TBIT = 5, CBIT = 9;
constexpr unsigned kMinMatch = 3, kMaxMatch = 256;
constexpr unsigned kHashBits = 16;
constexpr size_t kBlockSymbols = 0xFFFF;

unsigned bit_length(uint32_t v) {
  unsigned n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

class LzhEncoder : public Encoder {
 public:
  LzhEncoder(unsigned wb, ByteSink& sink)
      : out_(sink), wsize_(size_t(1) << wb), head_(size_t(1) << kHashBits, -1), prev_(size_t(1) << wb, -1) {
    if (wb <= 13) {
      np_ = 14;
      pbit_ = 4;
      maxChain_ = 96;
    } else {
      np_ = wb == 16 ? 17 : 16;
      pbit_ = 5;
      maxChain_ = 128;
    }
    buf_.resize(2 * wsize_ + kMaxMatch + 1);
    syms_.reserve(kBlockSymbols);
  }

  bool write(const uint8_t* p, size_t n) override {
    while (n > 0 && out_.ok()) {
      if (end_ == buf_.size()) slide();
      size_t k = std::min(n, buf_.size() - end_);
      std::memcpy(buf_.data() + end_, p, k);
      end_ += k;
      p += k;
      n -= k;
      // Keep a full match of look-ahead unless the input has ended.
      if (end_ - pos_ > kMaxMatch) run(end_ - kMaxMatch);
    }
    return out_.ok();
  }

  bool finish() override {
    run(end_);
    if (matchAvailable_) literal(buf_[pos_ - 1]);
    matchAvailable_ = false;
    if (!syms_.empty()) emit_block();
    return out_.finish();
  }

  uint64_t compressed() const override { return out_.written(); }

  void restart(ByteSink& sink) override {
    out_.restart(sink);
    // Positions go on counting from beyond the last stream's reach, so that
    // every hash entry left from it is too far back to be followed.
    base_ += static_cast<int64_t>(end_ + wsize_ + kMaxMatch + 1);
    pos_ = end_ = 0;
    prevLen_ = 0;
    prevDist_ = 0;
    matchAvailable_ = false;
    syms_.clear();
  }

 private:
  struct Sym {
    uint16_t c, p;
  };

  // Absolute position of buf_[0].
  int64_t abs(size_t i) const { return base_ + static_cast<int64_t>(i); }

  void slide() {
    // Keep one window behind the current position.
    size_t keep = pos_ > wsize_ ? pos_ - wsize_ : 0;
    std::memmove(buf_.data(), buf_.data() + keep, end_ - keep);
    base_ += static_cast<int64_t>(keep);
    end_ -= keep;
    pos_ -= keep;
  }

  uint32_t hash_at(size_t i) const {
    uint32_t v = buf_[i] | (buf_[i + 1] << 8) | (buf_[i + 2] << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  // Links position i into its chain; answers the previous head.
  int64_t insert(size_t i) {
    uint32_t h = hash_at(i);
    int64_t a = abs(i), old = head_[h];
    prev_[static_cast<size_t>(a) & (wsize_ - 1)] = old;
    head_[h] = a;
    return old;
  }

  unsigned longest(size_t i, int64_t cand, unsigned prevLen, uint32_t& dist) {
    unsigned limit = static_cast<unsigned>(std::min<size_t>(kMaxMatch, end_ - i));
    unsigned best = prevLen >= kMinMatch ? prevLen : kMinMatch - 1;
    // Distances of up to a whole window are allowed.
    int64_t me = abs(i), lowest = me - static_cast<int64_t>(wsize_) - 1;
    unsigned chain = prevLen >= 32 ? maxChain_ / 4 : maxChain_;
    const uint8_t* s = buf_.data() + i;
    unsigned found = 0;
    while (cand > lowest && cand >= base_ && chain-- > 0) {
      const uint8_t* m = buf_.data() + static_cast<size_t>(cand - base_);
      if (best < limit && m[best] == s[best] && m[0] == s[0] && m[1] == s[1]) {
        unsigned len = 2;
        while (len < limit && m[len] == s[len]) ++len;
        if (len > best) {
          best = len;
          found = len;
          dist = static_cast<uint32_t>(me - cand);
          if (len >= limit) break;
        }
      }
      int64_t next = prev_[static_cast<size_t>(cand) & (wsize_ - 1)];
      if (next >= cand) break;  // a stale link from an earlier turn of the table
      cand = next;
    }
    return found;
  }

  void run(size_t until) {
    while (pos_ < until) {
      size_t i = pos_;
      unsigned curLen = 0;
      uint32_t curDist = 0;
      if (i + kMinMatch <= end_) {
        int64_t cand = insert(i);
        if (prevLen_ < kMaxMatch / 2) curLen = longest(i, cand, prevLen_, curDist);
        if (curLen == kMinMatch && curDist > 4096) curLen = 0;  // a far short match costs more than it saves
      }
      if (prevLen_ >= kMinMatch && curLen <= prevLen_) {
        match(prevLen_, prevDist_);
        size_t stop = i - 1 + prevLen_;
        for (size_t k = i + 1; k < stop; ++k)
          if (k + kMinMatch <= end_) insert(k);
        pos_ = stop;
        prevLen_ = 0;
        matchAvailable_ = false;
      } else {
        if (matchAvailable_) literal(buf_[i - 1]);
        matchAvailable_ = true;
        prevLen_ = curLen;
        prevDist_ = curDist;
        ++pos_;
      }
    }
  }

  void literal(uint8_t b) { push({b, 0}); }
  void match(unsigned len, uint32_t dist) {
    push({static_cast<uint16_t>(len - kMinMatch + 256), static_cast<uint16_t>(dist - 1)});
  }
  void push(Sym s) {
    syms_.push_back(s);
    if (syms_.size() == kBlockSymbols) emit_block();
  }

  void write_pt_len(const uint8_t* lens, unsigned nn, unsigned nbit, int special) {
    unsigned n = nn;
    while (n > 0 && lens[n - 1] == 0) --n;
    out_.put(nbit, n);
    unsigned i = 0;
    while (i < n) {
      unsigned k = lens[i++];
      if (k <= 6)
        out_.put(3, k);
      else
        out_.put(k - 3, (1u << (k - 3)) - 2);
      if (static_cast<int>(i) == special) {
        unsigned z = 0;
        while (z < 3 && i + z < n && lens[i + z] == 0) ++z;
        out_.put(2, z);
        i += z;
      }
    }
  }

  // The code lengths of the literal/length table as t-symbols.
  template <class F>
  void scan_c_len(const uint8_t* lens, unsigned n, F&& emit) {
    unsigned i = 0;
    while (i < n) {
      unsigned k = lens[i++];
      if (k) {
        emit(k + 2, 0, 0);
        continue;
      }
      unsigned count = 1;
      while (i < n && lens[i] == 0) {
        ++i;
        ++count;
      }
      if (count <= 2) {
        for (unsigned c = 0; c < count; ++c) emit(0, 0, 0);
      } else if (count <= 18) {
        emit(1, 4, count - 3);
      } else if (count == 19) {
        emit(0, 0, 0);
        emit(1, 4, 15);
      } else {
        emit(2, CBIT, count - 20);
      }
    }
  }

  void emit_block() {
    uint32_t cf[NC] = {}, pf[17] = {}, tf[NT] = {};
    for (const Sym& s : syms_) {
      ++cf[s.c];
      if (s.c >= 256) ++pf[bit_length(s.p)];
    }
    uint8_t cl[NC], pl[17] = {}, tl[NT];
    uint16_t cc[NC], pc[17], tc[NT];
    make_lengths(cf, NC, 16, cl);
    make_lengths(pf, np_, 16, pl);
    out_.put(16, static_cast<uint32_t>(syms_.size()));
    bool cSingle = std::count_if(cf, cf + NC, [](uint32_t f) { return f != 0; }) < 2;
    if (cSingle) {
      unsigned only = static_cast<unsigned>(std::find_if(cf, cf + NC, [](uint32_t f) { return f != 0; }) - cf);
      out_.put(TBIT, 0);
      out_.put(TBIT, 0);
      out_.put(CBIT, 0);
      out_.put(CBIT, only);
    } else {
      unsigned n = NC;
      while (n > 0 && cl[n - 1] == 0) --n;
      scan_c_len(cl, n, [&](unsigned t, unsigned, uint32_t) { ++tf[t]; });
      make_lengths(tf, NT, 16, tl);
      bool tSingle = std::count_if(tf, tf + NT, [](uint32_t f) { return f != 0; }) < 2;
      if (tSingle) {
        unsigned only = static_cast<unsigned>(std::find_if(tf, tf + NT, [](uint32_t f) { return f != 0; }) - tf);
        out_.put(TBIT, 0);
        out_.put(TBIT, only);
        std::fill(tl, tl + NT, 0);
      } else {
        write_pt_len(tl, NT, TBIT, 3);
      }
      make_codes(tl, NT, tc);
      out_.put(CBIT, n);
      scan_c_len(cl, n, [&](unsigned t, unsigned extraBits, uint32_t extra) {
        out_.put(tl[t], tc[t]);
        out_.put(extraBits, extra);
      });
      make_codes(cl, NC, cc);
    }
    bool pSingle = std::count_if(pf, pf + np_, [](uint32_t f) { return f != 0; }) < 2;
    if (pSingle) {
      unsigned only = static_cast<unsigned>(std::find_if(pf, pf + np_, [](uint32_t f) { return f != 0; }) - pf);
      if (only >= np_) only = 0;
      out_.put(pbit_, 0);
      out_.put(pbit_, only);
      std::fill(pl, pl + 17, 0);
    } else {
      write_pt_len(pl, np_, pbit_, -1);
    }
    make_codes(pl, np_, pc);
    for (const Sym& s : syms_) {
      if (!cSingle) out_.put(cl[s.c], cc[s.c]);
      if (s.c < 256) continue;
      unsigned j = bit_length(s.p);
      if (!pSingle) out_.put(pl[j], pc[j]);
      if (j > 1) out_.put(j - 1, s.p & ((1u << (j - 1)) - 1));
    }
    syms_.clear();
  }

  BitWriter out_;
  size_t wsize_;
  std::vector<int64_t> head_, prev_;
  std::vector<uint8_t> buf_;
  int64_t base_ = 0;
  size_t pos_ = 0, end_ = 0;
  unsigned prevLen_ = 0;
  uint32_t prevDist_ = 0;
  bool matchAvailable_ = false;
  unsigned np_, pbit_, maxChain_;
  std::vector<Sym> syms_;
};

}  // namespace

std::unique_ptr<Encoder> make_lzh_encoder(unsigned windowBits, ByteSink& sink) {
  return std::make_unique<LzhEncoder>(windowBits, sink);
}

}  // namespace lha
