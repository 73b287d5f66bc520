// Streams built bit by bit (the longest two kept as the bytes that
// construction gave) for what our encoders never produce but real
// archives contain: one-symbol tables, the NT table's 2-bit zero run, zero
// runs of every coded size, 16-bit codes, copies from before the start,
// lh1 copies from its space-filled initial window, and lzs and lz5.
#include <gtest/gtest.h>

#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// An lh5 block with one-symbol tables (every symbol costs 0 bits), after
// what `bits` holds.
BitPacker OneSymbolBlock(uint16_t count, unsigned literal, BitPacker bits = {}) {
  bits.Put(count, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(literal, 9).Put(0, 4).Put(0, 4);
  return bits;
}

// lh7, one-symbol tables: "copy 5 bytes" from 0x1234 + 2^15 and 2^16 - 1
// back (position symbol 16: 2^15 + 15 bits), before the start: spaces.
Bytes CopiesBeforeTheStart() {
  BitPacker bits;
  bits.Put(2, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256 + 2, 9).Put(0, 5).Put(16, 5);
  bits.Put(0x1234, 15).Put(0x7FFF, 15);
  return bits.bytes();
}

// Each stream with the bytes it must give; the unused zeros after some let
// the decoders' fast paths run.
TEST(HandMadeStream, DecodesToWhatItsBitsSay) {
  // Literal runs are decoded two symbols at a time; a block that ends after
  // an odd count must still hand its last bits to the next block's header.
  Bytes runs = OneSymbolBlock(300, 'b', OneSymbolBlock(301, 'a')).bytes();
  runs.resize(runs.size() + 32, 0);
  // lh7, one block of 46 symbols in tables of every form: NT lengths with
  // indices 3..5 skipped by the 2-bit run; NC lengths 4 to 16 (15 codes of
  // 4 bits, one each of 5..15, two of 16) with zero gaps of 1, 2, 3, 18,
  // 19, 20 and 40 between them (runs of every coded size); NP lengths 1 to
  // 16 (the unary form up to its longest). Symbols: every literal once,
  // 10 bytes from 2 back, then 10 from 2^15 + 1 + 0x1FF back (the 16-bit
  // position code, before the start: spaces).
  const Bytes tables = {0x00, 0x1D, 0x9C, 0x93, 0x92, 0x49, 0x24, 0x92, 0x49, 0x08, 0x21, 0x69,
                        0x81, 0x80, 0x18, 0x81, 0x8F, 0x98, 0xF8, 0x19, 0x00, 0x0C, 0x82, 0x86,
                        0x66, 0x66, 0x66, 0x68, 0xAC, 0xF1, 0x35, 0x79, 0xBD, 0xE4, 0x30, 0xF8,
                        0x94, 0xE5, 0xDD, 0xEF, 0xBF, 0x7F, 0x7F, 0xBF, 0xEF, 0xFD, 0xFF, 0xDF,
                        0xFE, 0xFF, 0xF0, 0x09, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x7B, 0xEF,
                        0xDF, 0xDF, 0xEF, 0xFB, 0xFF, 0x7F, 0xF7, 0xFF, 0xBF, 0xFE, 0xFF, 0xFD,
                        0xFF, 0xFD, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x81, 0xFF};
  std::string every_literal = "ACFJ]q\x86";
  for (int literal = 0xAF; literal <= 0xC2; ++literal) every_literal += static_cast<char>(literal);
  BitPacker lzs;
  lzs.PutBit(1).Put('A', 8).PutBit(1).Put('B', 8);
  lzs.PutBit(0).Put(2031, 11).Put(2, 4);  // 4 bytes from the first output byte
  lzs.PutBit(0).Put(0, 11).Put(0, 4);     // 2 bytes of the initial ring
  const Bytes large = test::Text(300000, 1);
  BitPacker near;  // lh5, one-symbol tables: 5 bytes from 1000 back
  near.Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256 + 2, 9).Put(0, 4).Put(10, 4).Put(487, 9);
  const struct {
    const char* what;
    Method method;
    Bytes packed;
    std::string expected;
  } cases[] = {
      {"one-symbol tables", Method::kLh5, OneSymbolBlock(4, 'Q').bytes(), "QQQQ"},
      {"copies before the start", Method::kLh7, CopiesBeforeTheStart(), std::string(10, ' ')},
      {"odd literal run", Method::kLh5, runs, std::string(301, 'a') + std::string(300, 'b')},
      {"every table form", Method::kLh7, tables,
       every_literal + "\xC1\xC2\xC1\xC2\xC1\xC2\xC1\xC2\xC1\xC2" + std::string(10, ' ')},
      // Adaptive codes of: 3 bytes from 60 back (spaces before the start),
      // 'z', 5 from 2 back (" z z " across the start), 4 from 4000 back.
      {"lh1 copies from the initial window",
       Method::kLh1,
       {0x8C, 0x1D, 0x83, 0x47, 0x00, 0x63, 0x7F, 0x9F},
       "   z z z     "},
      {"lzs copies and the space-filled ring", Method::kLzs, lzs.bytes(), "ABABAB  "},
      // Flag bits, least significant first: literal, literal, copy, copy,
      // copy: from position 4078 (the first output), 0 (13 zeros, 5 ones),
      // 3328 + 0x41 (ascending values).
      {"lz5 copies and the patterned ring",
       Method::kLz5,
       {0x03, 'x', 'y', 0xEE, 0xF0, 0x00, 0x0F, 0x41, 0xD0},
       "xyxyx" + std::string(13, '\0') + std::string(5, '\1') + "ABC"},
      // A copy from the write position itself reads each byte before it is
      // overwritten: the 18 zeros that end the ring; 3968 starts the 110
      // spaces before them.
      {"lz5 ring ends with spaces then zeros",
       Method::kLz5,
       {0x00, 0xEE, 0xFF, 0x80, 0xFF},
       std::string(18, '\0') + std::string(18, ' ')},
      {"a member longer than the output run", Method::kLh7, Encode(Method::kLh7, large).packed,
       Text(large)},
  };
  for (const auto& c : cases) {
    Decoded decoded = Decode(c.method, c.packed, c.expected.size());
    ASSERT_TRUE(decoded.status.ok()) << c.what << ": " << decoded.status.message();
    EXPECT_EQ(Text(decoded.bytes), c.expected) << c.what;
    // The output buffer serves member after member on a thread; whatever
    // this one left in its history (lz5's ring, the last window of a member
    // longer than the output run), the next one's starts as spaces, near
    // the start (where lz5's ring holds 236s) and far from it.
    EXPECT_EQ(Text(Decode(Method::kLh5, near.bytes(), 5).bytes), "     ") << "after " << c.what;
    EXPECT_EQ(Text(Decode(Method::kLh7, CopiesBeforeTheStart(), 10).bytes), std::string(10, ' '))
        << "after " << c.what;
  }
}

}  // namespace
}  // namespace lzh::test
