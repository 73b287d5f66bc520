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
//
// Filling the root is most of the work of a table for a block of a few
// symbols (a small member's), so such a table may get a narrow root, only
// as wide as its longest code: it is then read through LookupAnyWidth and
// Decode alone, since Lookup, RootEntry and Follow keep the fixed root
// width that the hot loops build their shifts on.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/bit_reader.h"
#include "base/status.h"

namespace lzh {

inline constexpr unsigned kMaxCodeLength = 16;

enum class RootWidth : uint8_t { kFull, kLongestCode };

template <unsigned kSymbols, unsigned kRootBits>
class HuffmanDecoder {
 public:
  // The low bits of an entry: how many bits it consumes.
  static constexpr uint32_t kBitsMask = 0x3F;
  static constexpr unsigned kPayloadShift = 8;
  static constexpr unsigned kRootSize = 1u << kRootBits;
  // A root entry with this bit links to a second-level table.
  static constexpr uint32_t kLinkFlag = 0x40;

  // lengths[s] (0..16) is the code length of symbol s; `coded` lists the
  // `coded_count` symbols whose length is not 0, in ascending order. A
  // block's table codes far fewer symbols than its alphabet has, and small
  // members are common, so the work here follows the symbols coded.
  // make_entry(symbol, length) gives the symbol's entry: at least `length`
  // in the low six bits, nothing in bits 6 and 7.
  // `width` kLongestCode narrows the root to the longest code when that is
  // shorter than kRootBits.
  template <typename MakeEntry>
  Status Build(const uint8_t* lengths, const uint16_t* coded, unsigned coded_count,
               MakeEntry make_entry, RootWidth width = RootWidth::kFull) {
    unsigned count[kMaxCodeLength + 1] = {};
    for (unsigned k = 0; k < coded_count; ++k) ++count[lengths[coded[k]]];
    uint32_t space = 0;
    unsigned longest = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
      space += count[len] << (kMaxCodeLength - len);
      if (count[len]) longest = len;
    }
    LZH_REQUIRE(space == (1u << kMaxCodeLength), kCorrupt, "bad Huffman table");
    // A full code space has a code of one bit at least.
    root_bits_ = width == RootWidth::kLongestCode && longest < kRootBits ? longest : kRootBits;

    // The symbols in the order of their codes (by length, then symbol).
    unsigned offset[kMaxCodeLength + 1];
    offset[1] = 0;
    for (unsigned len = 1; len < kMaxCodeLength; ++len) offset[len + 1] = offset[len] + count[len];
    uint16_t sorted[kSymbols];
    for (unsigned k = 0; k < coded_count; ++k) sorted[offset[lengths[coded[k]]]++] = coded[k];

    // In that order the codes that fit the root fill it from the start, so
    // each writes its entries in blocks of eight (of 32 when its run is that
    // long: the short codes of a small block fill most of the root): a short
    // run spills into the entries of the codes after it, which overwrite the
    // spill, and the last one's into the link entries or the subtables
    // written next (or unused room).
    const uint16_t* symbol = sorted;
    uint32_t* at = table_;
    for (unsigned len = 1; len <= root_bits_ && len <= longest; ++len) {
      const unsigned run = 1u << (root_bits_ - len);
      for (unsigned k = 0; k < count[len]; ++k, at += run) {
        const uint32_t entry = make_entry(*symbol++, len);
        if (run >= 32) {
          for (unsigned i = 0; i < run; i += 32)
            for (unsigned j = 0; j < 32; ++j) at[i + j] = entry;
        } else {
          for (unsigned i = 0; i < run; i += 8)
            for (unsigned j = 0; j < 8; ++j) at[i + j] = entry;
        }
      }
    }

    // The longer codes, in the same order, come in runs sharing a root
    // prefix; each prefix links to a subtable of the longest code's width.
    sub_bits_ = longest > root_bits_ ? longest - root_bits_ : 0;
    unsigned code = static_cast<unsigned>(at - table_);
    uint32_t* subtable = nullptr;
    uint32_t* next_subtable = table_ + (1u << root_bits_);
    for (unsigned len = root_bits_ + 1; len <= longest; ++len) {
      code <<= 1;
      for (unsigned k = 0; k < count[len]; ++k, ++code) {
        if (table_ + (code >> (len - root_bits_)) == at) {
          subtable = next_subtable;
          next_subtable += 1u << sub_bits_;
          *at++ = kLinkFlag | static_cast<uint32_t>(subtable - table_) << kPayloadShift;
        }
        const unsigned low = code & ((1u << (len - root_bits_)) - 1);
        uint32_t* first = subtable + (low << (longest - len));
        const uint32_t entry = make_entry(*symbol++, len);
        for (unsigned i = 0; i < (1u << (longest - len)); ++i) first[i] = entry;
      }
    }
    return Status::Ok();
  }

  // The one-symbol table: every look-up yields `entry`, which should
  // consume no code bits. `width` kLongestCode narrows the root to one bit.
  void BuildSingle(uint32_t entry, RootWidth width = RootWidth::kFull) {
    root_bits_ = width == RootWidth::kLongestCode ? 1 : kRootBits;
    sub_bits_ = 0;
    for (unsigned i = 0; i < (1u << root_bits_); ++i) table_[i] = entry;
  }

  // The entry of the code at the top of `window` (left-aligned bits, at
  // least 16 of them real, more if the entry's own bits say so).
  inline uint32_t Lookup(uint64_t window) const { return Follow(RootEntry(window), window); }

  // Lookup in two halves, for a decoder that looks up a code it may not
  // need: the root entry, which may be a link, and then the entry proper.
  inline uint32_t RootEntry(uint64_t window) const { return table_[window >> (64 - kRootBits)]; }
  inline uint32_t Follow(uint32_t root_entry, uint64_t window) const {
    if (root_entry & kLinkFlag) [[unlikely]]
      return table_[(root_entry >> kPayloadShift) + ((window << kRootBits) >> (64 - sub_bits_))];
    return root_entry;
  }

  // False after a Build that narrowed the root.
  bool full_root() const { return root_bits_ == kRootBits; }
  // Lookup for a root of any width, at the cost of a variable shift.
  inline uint32_t LookupAnyWidth(uint64_t window) const {
    const uint32_t root_entry = table_[window >> (64 - root_bits_)];
    if (root_entry & kLinkFlag) [[unlikely]]
      return table_[(root_entry >> kPayloadShift) + ((window << root_bits_) >> (64 - sub_bits_))];
    return root_entry;
  }

  // Consumes the next code and returns its entry without the bit count.
  inline uint32_t Decode(BitCursor& in) const {
    uint32_t entry = LookupAnyWidth(in.bits);
    in.Skip(entry & kBitsMask);
    return entry >> kPayloadShift;
  }

 private:
  static constexpr unsigned kMostEntries =
      kRootSize + kSymbols * (1u << (kMaxCodeLength - kRootBits));
  static_assert(kMostEntries < (1u << (32 - kPayloadShift)));
  static_assert(kMostEntries >= kRootSize + 7, "room for a spill past the root");

  uint32_t table_[kMostEntries];
  unsigned root_bits_ = kRootBits;
  unsigned sub_bits_ = 0;
};

}  // namespace lzh
