// HuffmanDecoder: canonical-code look-up tables for the static Huffman
// methods (lh4-lh7), rebuilt for every block.
//
// A root table indexed by the next kRootBits bits resolves most codes in one
// look-up; longer codes (up to 16 bits) go through one second-level table
// per root prefix. Entries are 16 bits so that the literal/length table
// stays small enough for the first-level cache. Tables come from untrusted
// lengths, so Build refuses any set that does not fill the code space
// exactly; the one-symbol form (all lengths 0) has its own entry point.
#pragma once

#include <cstdint>
#include <cstring>

#include "bit_reader.h"
#include "status.h"

namespace lzh {

inline constexpr unsigned kMaxCodeLength = 16;

template <unsigned kSymbols, unsigned kRootBits>
class HuffmanDecoder {
 public:
  // lengths[0 .. kSymbols) are each 0..16.
  Status Build(const uint8_t* lengths) {
    unsigned count[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < kSymbols; ++s) ++count[lengths[s]];
    uint32_t space = 0;
    unsigned longest = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
      space += count[len] << (kMaxCodeLength - len);
      if (count[len]) longest = len;
    }
    LZH_REQUIRE(space == (1u << kMaxCodeLength), kCorrupt, "bad Huffman table");

    sub_bits_ = longest > kRootBits ? longest - kRootBits : 0;
    std::memset(table_, 0, sizeof(uint16_t) << kRootBits);
    unsigned next_code[kMaxCodeLength + 2];
    next_code[1] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
      next_code[len + 1] = (next_code[len] + count[len]) << 1;

    unsigned next_subtable = 1u << kRootBits;
    for (unsigned symbol = 0; symbol < kSymbols; ++symbol) {
      unsigned len = lengths[symbol];
      if (len == 0) continue;
      unsigned code = next_code[len]++;
      uint16_t entry = static_cast<uint16_t>((len << kLengthShift) | symbol);
      if (len <= kRootBits) {
        unsigned first = code << (kRootBits - len);
        for (unsigned i = 0; i < (1u << (kRootBits - len)); ++i) table_[first + i] = entry;
        continue;
      }
      unsigned prefix = code >> (len - kRootBits);
      if (table_[prefix] == 0) {
        table_[prefix] = static_cast<uint16_t>(kSubtableFlag | next_subtable);
        next_subtable += 1u << sub_bits_;
      }
      unsigned base = table_[prefix] & ~kSubtableFlag;
      unsigned low = code & ((1u << (len - kRootBits)) - 1);
      unsigned first = base + (low << (longest - len));
      for (unsigned i = 0; i < (1u << (longest - len)); ++i) table_[first + i] = entry;
    }
    return Status::Ok();
  }

  // The one-symbol table: every decode yields `symbol` and consumes no bits.
  void BuildSingle(unsigned symbol) {
    sub_bits_ = 0;
    for (unsigned i = 0; i < (1u << kRootBits); ++i) table_[i] = static_cast<uint16_t>(symbol);
  }

  // Needs at least 16 buffered bits (a refill since the last 40 consumed).
  inline unsigned Decode(BitCursor& in) const {
    uint64_t window = in.bits;
    unsigned entry = table_[window >> (64 - kRootBits)];
    if (entry & kSubtableFlag) [[unlikely]]
      entry = table_[(entry & ~kSubtableFlag) + ((window << kRootBits) >> (64 - sub_bits_))];
    in.Skip(entry >> kLengthShift);
    return entry & kSymbolMask;
  }

 private:
  static constexpr unsigned kLengthShift = 10;
  static constexpr unsigned kSymbolMask = (1u << kLengthShift) - 1;
  static constexpr unsigned kSubtableFlag = 0x8000;
  static_assert(kSymbols <= kSymbolMask + 1);
  static_assert((1u << kRootBits) + kSymbols * (1u << (kMaxCodeLength - kRootBits)) <= 0x8000);

  uint16_t table_[(1u << kRootBits) + kSymbols * (1u << (kMaxCodeLength - kRootBits))];
  unsigned sub_bits_ = 0;
};

}  // namespace lzh
