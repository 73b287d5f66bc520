// Code lengths and canonical codes for the static Huffman encoder.
//
// Lengths come from an ordinary Huffman tree over the block's counts; when
// the tree is deeper than 16 levels, the count of codes per length is
// reshaped (each too-long pair moves up next to a shorter code, which keeps
// the code space exactly full) and the lengths are dealt out again, the
// longest to the rarest symbols. Readers reject tables that do not fill the
// code space, so the result always does.
#pragma once

#include <cstdint>

namespace lzh {

// Fills lengths[0 .. symbols) from counts (0 for unused symbols, at most
// `limit` bits) and returns the number of symbols in use. With fewer than two
// symbols in use every length is 0: such a table is sent in its one-symbol
// form.
unsigned BuildCodeLengths(const uint32_t* counts, unsigned symbols, unsigned limit,
                          uint8_t* lengths);

// The canonical codes of a complete set of lengths (shorter codes first,
// smaller symbol first among equal lengths).
void BuildCanonicalCodes(const uint8_t* lengths, unsigned symbols, uint16_t* codes);

}  // namespace lzh
