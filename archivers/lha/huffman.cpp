#include "huffman.h"

#include <algorithm>
#include <queue>
#include <utility>

namespace lha {

bool HuffDecoder::build(const uint8_t* lens, unsigned n, unsigned tb) {
  single_ = false;
  tb_ = tb;
  unsigned count[17] = {};
  for (unsigned i = 0; i < n; ++i) {
    if (lens[i] > 16) return false;
    ++count[lens[i]];
  }
  int64_t left = 1;
  for (unsigned len = 1; len <= 16; ++len) {
    left = (left << 1) - count[len];
    if (left < 0) return false;
  }
  uint32_t next[18] = {};
  uint32_t code = 0;
  for (unsigned len = 1; len <= 16; ++len) {
    next[len] = code;
    code = (code + count[len]) << 1;
  }
  table_.assign(size_t(1) << tb, 0);
  const unsigned subBits = 16 - tb;
  for (unsigned sym = 0; sym < n; ++sym) {
    unsigned len = lens[sym];
    if (!len) continue;
    uint32_t c = next[len]++;
    uint32_t entry = (sym << 5) | len;
    if (len <= tb) {
      uint32_t first = c << (tb - len), span = 1u << (tb - len);
      for (uint32_t k = 0; k < span; ++k) table_[first + k] = entry;
    } else {
      uint32_t prefix = c >> (len - tb);
      if (!(table_[prefix] & kSub)) {
        uint32_t base = static_cast<uint32_t>(table_.size());
        table_.resize(table_.size() + (size_t(1) << subBits), 0);
        table_[prefix] = kSub | base;
      }
      uint32_t base = table_[prefix] & ~kSub;
      uint32_t low = (c << (16 - len)) & ((1u << subBits) - 1), span = 1u << (16 - len);
      for (uint32_t k = 0; k < span; ++k) table_[base + low + k] = entry;
    }
  }
  return true;
}

void make_lengths(const uint32_t* freq, unsigned n, unsigned maxLen, uint8_t* lens) {
  std::fill(lens, lens + n, 0);
  std::vector<unsigned> used;
  for (unsigned i = 0; i < n; ++i)
    if (freq[i]) used.push_back(i);
  if (used.size() < 2) return;
  // Plain Huffman tree first; parents[] links every node to its parent.
  size_t m = used.size();
  std::vector<uint64_t> weight(2 * m);
  std::vector<int> parent(2 * m, -1);
  using Item = std::pair<uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> pq;
  for (size_t i = 0; i < m; ++i) {
    weight[i] = freq[used[i]];
    pq.push({weight[i], static_cast<int>(i)});
  }
  int nextNode = static_cast<int>(m);
  while (pq.size() > 1) {
    Item a = pq.top();
    pq.pop();
    Item b = pq.top();
    pq.pop();
    weight[nextNode] = a.first + b.first;
    parent[a.second] = parent[b.second] = nextNode;
    pq.push({weight[nextNode], nextNode});
    ++nextNode;
  }
  std::vector<unsigned> depth(2 * m, 0);
  unsigned countAt[64] = {};
  for (int i = nextNode - 2; i >= 0; --i) depth[i] = depth[parent[i]] + 1;
  unsigned longest = 0;
  for (size_t i = 0; i < m; ++i) {
    unsigned d = std::min(depth[i], 63u);
    ++countAt[d];
    longest = std::max(longest, d);
  }
  // Too long: move leaves up while keeping the code complete.
  for (unsigned i = longest; i > maxLen; --i) {
    while (countAt[i] > 0) {
      unsigned j = i - 2;
      while (j > 0 && countAt[j] == 0) --j;
      countAt[i] -= 2;
      countAt[i - 1] += 1;
      countAt[j + 1] += 2;
      countAt[j] -= 1;
    }
  }
  // Shortest codes to the most frequent symbols.
  std::vector<unsigned> order(m);
  for (size_t i = 0; i < m; ++i) order[i] = static_cast<unsigned>(i);
  std::stable_sort(order.begin(), order.end(), [&](unsigned a, unsigned b) { return weight[a] > weight[b]; });
  size_t k = 0;
  for (unsigned len = 1; len <= maxLen; ++len)
    for (unsigned c = 0; c < countAt[len]; ++c) lens[used[order[k++]]] = static_cast<uint8_t>(len);
}

void make_codes(const uint8_t* lens, unsigned n, uint16_t* codes) {
  unsigned count[17] = {};
  for (unsigned i = 0; i < n; ++i) ++count[lens[i]];
  count[0] = 0;
  uint32_t next[18] = {}, code = 0;
  for (unsigned len = 1; len <= 16; ++len) {
    next[len] = code;
    code = (code + count[len]) << 1;
  }
  for (unsigned i = 0; i < n; ++i) codes[i] = lens[i] ? static_cast<uint16_t>(next[lens[i]]++) : 0;
}

}  // namespace lha
