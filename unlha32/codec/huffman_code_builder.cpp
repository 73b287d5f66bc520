// See huffman_code_builder.h. Symbol alphabets here are small (at most 510),
// so a sort and a two-queue tree build per table are cheap next to the
// 65535 symbols a block may hold.
#include "codec/huffman_code_builder.h"

#include <algorithm>

namespace lzh {

unsigned BuildCodeLengths(const uint32_t* counts, unsigned symbols, unsigned limit,
                          uint8_t* lengths) {
  constexpr unsigned kMaxSymbols = 512;
  uint16_t order[kMaxSymbols];  // symbols in use, rarest first
  unsigned used = 0;
  for (unsigned s = 0; s < symbols; ++s) {
    lengths[s] = 0;
    if (counts[s] > 0) order[used++] = static_cast<uint16_t>(s);
  }
  if (used < 2) return used;
  std::stable_sort(order, order + used,
                   [counts](uint16_t a, uint16_t b) { return counts[a] < counts[b]; });

  // Two-queue Huffman construction: leaves in `order`, inner nodes in
  // creation order (their weights never decrease). Node ids: leaves
  // 0 .. used-1, inner nodes used .. 2*used-2.
  uint64_t weight[2 * kMaxSymbols];
  uint16_t parent[2 * kMaxSymbols];
  for (unsigned i = 0; i < used; ++i) weight[i] = counts[order[i]];
  unsigned next_leaf = 0;
  unsigned next_inner = used;
  unsigned inner_end = used;
  auto take_lightest = [&]() {
    if (next_leaf < used && (next_inner == inner_end || weight[next_leaf] <= weight[next_inner]))
      return next_leaf++;
    return next_inner++;
  };
  while (inner_end < 2 * used - 1) {
    unsigned a = take_lightest();
    unsigned b = take_lightest();
    weight[inner_end] = weight[a] + weight[b];
    parent[a] = parent[b] = static_cast<uint16_t>(inner_end);
    ++inner_end;
  }
  // Depths, from the root (the last node) down.
  unsigned root = inner_end - 1;
  uint16_t depth[2 * kMaxSymbols];
  depth[root] = 0;
  unsigned per_length[kMaxSymbols] = {};
  unsigned deepest = 0;
  for (unsigned node = root; node-- > 0;) {
    depth[node] = static_cast<uint16_t>(depth[parent[node]] + 1);
    if (node < used) {
      ++per_length[depth[node]];
      deepest = std::max<unsigned>(deepest, depth[node]);
    }
  }

  // Moving two codes of the deepest length up one level and splitting a
  // shorter code into two keeps the code space exactly full.
  for (unsigned len = deepest; len > limit; --len) {
    while (per_length[len] > 0) {
      unsigned shorter = len - 2;
      while (per_length[shorter] == 0) --shorter;
      per_length[len] -= 2;
      per_length[len - 1] += 1;
      per_length[shorter + 1] += 2;
      per_length[shorter] -= 1;
    }
  }
  deepest = std::min(deepest, limit);

  // The rarest symbols get the longest codes.
  unsigned next = 0;
  for (unsigned len = deepest; len >= 1; --len)
    for (unsigned k = 0; k < per_length[len]; ++k) lengths[order[next++]] = static_cast<uint8_t>(len);
  return used;
}

void BuildCanonicalCodes(const uint8_t* lengths, unsigned symbols, uint16_t* codes) {
  constexpr unsigned kMaxLength = 32;
  unsigned count[kMaxLength + 1] = {};
  for (unsigned s = 0; s < symbols; ++s) ++count[lengths[s]];
  count[0] = 0;
  unsigned next_code[kMaxLength + 2];
  next_code[1] = 0;
  for (unsigned len = 1; len <= kMaxLength; ++len)
    next_code[len + 1] = (next_code[len] + count[len]) << 1;
  for (unsigned s = 0; s < symbols; ++s)
    codes[s] = lengths[s] ? static_cast<uint16_t>(next_code[lengths[s]]++) : 0;
}

}  // namespace lzh
