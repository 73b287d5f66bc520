// The adaptive Huffman tree of lh1, shared by its decoder and encoder.
//
// Both sides must update the tree identically after every symbol, so the
// update and the periodic halving of the counts follow the method's
// definition step by step, including its quirks (the walk up stops at node
// 0). Node i's children are son[i] (bit 0) and son[i] + 1 (bit 1); a node
// whose son is >= kNodes is the leaf for symbol son - kNodes.
#pragma once

#include <cstdint>
#include <cstring>

namespace lzh::adaptive_huffman {

inline constexpr unsigned kWindow = 4096;
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 60;
inline constexpr int kSymbols = 256 - kMinMatch + 1 + kMaxMatch;  // 314
inline constexpr int kNodes = 2 * kSymbols - 1;                   // 627
inline constexpr int kRoot = kNodes - 1;
inline constexpr unsigned kMaxFreq = 0x8000;

struct Tree {
  uint16_t freq[kNodes + 1];
  int16_t parent[kNodes + kSymbols];
  int16_t son[kNodes];

  Tree() {
    for (int i = 0; i < kSymbols; ++i) {
      freq[i] = 1;
      son[i] = static_cast<int16_t>(i + kNodes);
      parent[i + kNodes] = static_cast<int16_t>(i);
    }
    for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
      freq[j] = static_cast<uint16_t>(freq[i] + freq[i + 1]);
      son[j] = static_cast<int16_t>(i);
      parent[i] = parent[i + 1] = static_cast<int16_t>(j);
    }
    freq[kNodes] = 0xFFFF;
    parent[kRoot] = 0;
  }

  void Update(int symbol) {
    if (freq[kRoot] == kMaxFreq) Reconstruct();
    int c = parent[symbol + kNodes];
    do {
      unsigned k = ++freq[c];
      if (k > freq[c + 1]) {
        int l = c + 1;
        while (k > freq[l + 1]) ++l;
        freq[c] = freq[l];
        freq[l] = static_cast<uint16_t>(k);
        int i = son[c];
        parent[i] = static_cast<int16_t>(l);
        if (i < kNodes) parent[i + 1] = static_cast<int16_t>(l);
        int j = son[l];
        son[l] = static_cast<int16_t>(i);
        parent[j] = static_cast<int16_t>(c);
        if (j < kNodes) parent[j + 1] = static_cast<int16_t>(c);
        son[c] = static_cast<int16_t>(j);
        c = l;
      }
      c = parent[c];
    } while (c != 0);
  }

 private:
  void Reconstruct() {
    int j = 0;
    for (int i = 0; i < kNodes; ++i) {
      if (son[i] >= kNodes) {
        freq[j] = static_cast<uint16_t>((freq[i] + 1) / 2);
        son[j] = son[i];
        ++j;
      }
    }
    for (int i = 0, k = kSymbols; k < kNodes; i += 2, ++k) {
      unsigned f = freq[i] + freq[i + 1];
      freq[k] = static_cast<uint16_t>(f);
      int at = k - 1;
      while (f < freq[at]) --at;
      ++at;
      std::memmove(&freq[at + 1], &freq[at], sizeof(freq[0]) * (k - at));
      std::memmove(&son[at + 1], &son[at], sizeof(son[0]) * (k - at));
      freq[at] = static_cast<uint16_t>(f);
      son[at] = static_cast<int16_t>(i);
    }
    for (int i = 0; i < kNodes; ++i) {
      int k = son[i];
      if (k >= kNodes) {
        parent[k] = static_cast<int16_t>(i);
      } else {
        parent[k] = parent[k + 1] = static_cast<int16_t>(i);
      }
    }
  }
};

// The fixed prefix code of a position's high 6 bits: code lengths by value.
inline constexpr unsigned PositionCodeLength(unsigned high) {
  return high < 1 ? 3 : high < 4 ? 4 : high < 12 ? 5 : high < 24 ? 6 : high < 48 ? 7 : 8;
}

}  // namespace lzh::adaptive_huffman
