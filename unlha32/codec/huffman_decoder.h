// HuffmanDecoder: canonical-code look-up tables for the static Huffman
// methods (lh4-lh7), rebuilt for every block.
//
// A root table indexed by the next kRootBits bits resolves most codes in one
// look-up; longer codes (up to 16 bits) go through one second-level table
// per root prefix. An entry is 32 bits: the number of bits it consumes in
// the low six, and above them whatever its user wants to find there, made
// by the user per symbol. That lets a decoder fold the work that follows a
// symbol into the look-up (a position code's extra bits, a match length,
// two literals at once) instead of adding dependent steps after it. Tables
// come from untrusted lengths, so Build refuses any set that does not fill
// the code space exactly; the one-symbol form (all lengths 0) has its own
// entry point.
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
  // The low bits of an entry: how many bits it consumes.
  static constexpr uint32_t kBitsMask = 0x3F;
  static constexpr unsigned kPayloadShift = 8;
  static constexpr unsigned kRootSize = 1u << kRootBits;
  // A root entry with this bit links to a second-level table.
  static constexpr uint32_t kLinkFlag = 0x40;

  // lengths[0 .. kSymbols) are each 0..16. make_entry(symbol, length)
  // gives the symbol's entry: at least `length` in the low six bits,
  // nothing in bits 6 and 7.
  template <typename MakeEntry>
  Status Build(const uint8_t* lengths, MakeEntry make_entry) {
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
    if (sub_bits_ > 0) std::memset(table_, 0, sizeof(uint32_t) * kRootSize);
    unsigned next_code[kMaxCodeLength + 2];
    next_code[1] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
      next_code[len + 1] = (next_code[len] + count[len]) << 1;

    unsigned next_subtable = kRootSize;
    for (unsigned symbol = 0; symbol < kSymbols; ++symbol) {
      unsigned len = lengths[symbol];
      if (len == 0) continue;
      unsigned code = next_code[len]++;
      uint32_t entry = make_entry(symbol, len);
      if (len <= kRootBits) {
        uint32_t* first = table_ + (code << (kRootBits - len));
        for (unsigned i = 0; i < (1u << (kRootBits - len)); ++i) first[i] = entry;
        continue;
      }
      // Every root entry is written exactly once (the code fills the code
      // space), so a zero one under a long code's prefix has no link yet.
      unsigned prefix = code >> (len - kRootBits);
      if (table_[prefix] == 0) {
        table_[prefix] = kLinkFlag | (next_subtable << kPayloadShift);
        next_subtable += 1u << sub_bits_;
      }
      unsigned base = table_[prefix] >> kPayloadShift;
      unsigned low = code & ((1u << (len - kRootBits)) - 1);
      uint32_t* first = table_ + base + (low << (longest - len));
      for (unsigned i = 0; i < (1u << (longest - len)); ++i) first[i] = entry;
    }
    return Status::Ok();
  }

  // The one-symbol table: every look-up yields `entry`, which should
  // consume no code bits.
  void BuildSingle(uint32_t entry) {
    sub_bits_ = 0;
    for (unsigned i = 0; i < kRootSize; ++i) table_[i] = entry;
  }

  // The root entries, for a decoder that merges neighbouring codes after
  // Build. A merged entry must keep bits 6 and 7 clear.
  uint32_t* root() { return table_; }

  // The entry of the code at the top of `window` (left-aligned bits, at
  // least 16 of them real, more if the entry's own bits say so).
  inline uint32_t Lookup(uint64_t window) const {
    uint32_t entry = table_[window >> (64 - kRootBits)];
    if (entry & kLinkFlag) [[unlikely]]
      entry = table_[(entry >> kPayloadShift) + ((window << kRootBits) >> (64 - sub_bits_))];
    return entry;
  }

  // Consumes the next code and returns its entry without the bit count.
  inline uint32_t Decode(BitCursor& in) const {
    uint32_t entry = Lookup(in.bits);
    in.Skip(entry & kBitsMask);
    return entry >> kPayloadShift;
  }

 private:
  static constexpr unsigned kMostEntries =
      kRootSize + kSymbols * (1u << (kMaxCodeLength - kRootBits));
  static_assert(kMostEntries < (1u << (32 - kPayloadShift)));

  uint32_t table_[kMostEntries];
  unsigned sub_bits_ = 0;
};

}  // namespace lzh
