// Streams built bit by bit for what our encoders never produce but real
// archives contain: one-symbol tables, the NT table's 2-bit zero run, zero
// runs of every coded size, 16-bit codes, copies from before the start,
// lh1 copies from its space-filled initial window, and lzs and lz5.
#include <gtest/gtest.h>

#include "codec/adaptive_huffman_tree.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// NT lengths with indices 3..5 skipped by the 2-bit run; NC lengths from 4
// to 16 placed with gaps of 1, 2, 3..18, 19 and 20+ zeros; NP lengths from
// 1 to 16 (the unary form up to its longest).
TEST(StaticHuffmanStream, EveryTableFormDecodes) {
  // NC: 15 codes of 4 bits, then one each of 5..15 and two of 16 (complete).
  std::vector<unsigned> nc_lengths(510, 0);
  std::vector<unsigned> by_rank;
  for (int i = 0; i < 15; ++i) by_rank.push_back(4);
  for (unsigned l = 5; l <= 16; ++l) by_rank.push_back(l);
  by_rank.push_back(16);
  // Symbols: 'a'.. with zero gaps of 1, 2, 3, 18, 19, 20, 40 between some.
  std::vector<unsigned> gaps = {0, 1, 2, 3, 18, 19, 20, 40};
  std::vector<unsigned> symbols;
  unsigned next = 'A';
  for (size_t i = 0; i < by_rank.size(); ++i) {
    next += i < gaps.size() ? gaps[i] : 0;
    symbols.push_back(next++);
  }
  symbols.back() = 256 + 7;  // one copy symbol (length 10) among the literals
  for (size_t i = 0; i < symbols.size(); ++i) nc_lengths[symbols[i]] = by_rank[i];

  // NT: symbols 0, 1, 2 and 6..18 (lengths 4..16) each 4 bits; 3..5 unused.
  std::vector<unsigned> nt_lengths = {4, 4, 4, 0, 0, 0};
  for (int i = 6; i < 19; ++i) nt_lengths.push_back(4);
  // NP (lh7): lengths 1..15 then 16, 16.
  std::vector<unsigned> np_lengths;
  for (unsigned l = 1; l <= 16; ++l) np_lengths.push_back(l);
  np_lengths.push_back(16);

  auto nt_codes = CanonicalCodes(nt_lengths);
  auto nc_codes = CanonicalCodes(nc_lengths);
  auto np_codes = CanonicalCodes(np_lengths);

  BitPacker bits;
  bits.Put(static_cast<uint32_t>(symbols.size()) + 1, 16);  // the literals and two copies
  bits.Put(19, 5);
  for (int i = 0; i < 3; ++i) bits.PutPtLength(nt_lengths[i]);
  bits.Put(3, 2);  // indices 3, 4, 5 are zero
  for (int i = 6; i < 19; ++i) bits.PutPtLength(nt_lengths[i]);

  unsigned n = symbols.back() + 1;
  bits.Put(n, 9);
  auto nt = [&](unsigned symbol) { bits.Put(nt_codes[symbol], nt_lengths[symbol]); };
  for (unsigned i = 0; i < n;) {
    if (nc_lengths[i] != 0) {
      nt(nc_lengths[i] + 2);
      ++i;
      continue;
    }
    unsigned zeros = 0;
    while (nc_lengths[i + zeros] == 0) ++zeros;
    i += zeros;
    if (zeros == 19) {
      nt(1), bits.Put(15, 4), nt(0);  // 18 + 1
    } else if (zeros >= 20) {
      nt(2), bits.Put(zeros - 20, 9);
    } else if (zeros >= 3) {
      nt(1), bits.Put(zeros - 3, 4);
    } else {
      for (unsigned k = 0; k < zeros; ++k) nt(0);
    }
  }
  bits.Put(17, 5);
  for (unsigned length : np_lengths) bits.PutPtLength(length);

  // Every literal once, then the copy: 10 bytes from 2 back (p = 1).
  std::string expected;
  for (size_t i = 0; i + 1 < symbols.size(); ++i) {
    bits.Put(nc_codes[symbols[i]], nc_lengths[symbols[i]]);
    expected += static_cast<char>(symbols[i]);
  }
  bits.Put(nc_codes[symbols.back()], nc_lengths[symbols.back()]);
  bits.Put(np_codes[1], np_lengths[1]);
  for (int i = 0; i < 10; ++i) expected += expected[expected.size() - 2];
  // A final copy with the 16-bit position code: distance 2^15 + 1 + 0x1FF
  // reaches before the start, so it yields spaces.
  bits.Put(nc_codes[symbols.back()], nc_lengths[symbols.back()]);
  bits.Put(np_codes[16], np_lengths[16]).Put(0x1FF, 15);
  expected += std::string(10, ' ');

  Decoded decoded = Decode(Method::kLh7, bits.bytes(), expected.size());
  ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
  EXPECT_EQ(Text(decoded.bytes), expected);
}

// lh1 symbols coded with the adaptive tree as it stands before each one.
class AdaptiveStream {
 public:
  void Symbol(int symbol) {
    std::vector<int> path;
    int node = tree_.parent[symbol + adaptive_huffman::kNodes];
    do {
      path.push_back(node & 1);
      node = tree_.parent[node];
    } while (node != adaptive_huffman::kRoot);
    for (size_t i = path.size(); i-- > 0;) bits_.PutBit(path[i]);
    tree_.Update(symbol);
  }
  void Copy(unsigned length, unsigned distance) {
    Symbol(static_cast<int>(length + 253));
    unsigned q = distance - 1;
    unsigned high = q >> 6;
    // The fixed code of the high 6 bits, canonical over lengths 3..8.
    unsigned code = 0;
    unsigned length_of = 3;
    for (unsigned v = 0; v <= high; ++v) {
      unsigned l = adaptive_huffman::PositionCodeLength(v);
      code <<= l - length_of;
      length_of = l;
      if (v < high) ++code;
    }
    bits_.Put(code, length_of).Put(q & 63, 6);
  }
  const Bytes& bytes() const { return bits_.bytes(); }

 private:
  adaptive_huffman::Tree tree_;
  BitPacker bits_;
};

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
  AdaptiveStream lh1;
  lh1.Copy(3, 60);    // the last 60 bytes before the start: spaces
  lh1.Symbol('z');
  lh1.Copy(5, 2);     // " z z " pattern continues across the start
  lh1.Copy(4, 4000);  // far back in the initial window
  BitPacker lzs;
  lzs.PutBit(1).Put('A', 8).PutBit(1).Put('B', 8);
  lzs.PutBit(0).Put(2031, 11).Put(2, 4);  // 4 bytes from the first output byte
  lzs.PutBit(0).Put(0, 11).Put(0, 4);     // 2 bytes of the initial ring
  Bytes lz5_ring = {0x00, 0x01, 0x01, 0x01, 0x01, 0x01};
  lz5_ring.insert(lz5_ring.begin(), 13, 0x00);
  const struct {
    const char* what;
    Method method;
    Bytes packed;
    std::string expected;
  } cases[] = {
      {"one-symbol tables", Method::kLh5, OneSymbolBlock(4, 'Q').bytes(), "QQQQ"},
      {"copies before the start", Method::kLh7, CopiesBeforeTheStart(), std::string(10, ' ')},
      {"odd literal run", Method::kLh5, runs, std::string(301, 'a') + std::string(300, 'b')},
      {"lh1 copies from the initial window", Method::kLh1, lh1.bytes(), "   z z z     "},
      {"lzs copies and the space-filled ring", Method::kLzs, lzs.bytes(), "ABABAB  "},
      // Flag bits, least significant first: literal, literal, copy, copy,
      // copy: from position 4078 (the first output), 0 (13 zeros, 5 ones),
      // 3328 + 0x41 (ascending values).
      {"lz5 copies and the patterned ring", Method::kLz5,
       {0x03, 'x', 'y', 0xEE, 0xF0, 0x00, 0x0F, 0x41, 0xD0},
       "xyxyx" + std::string(13, '\0') + std::string(5, '\1') + "ABC"},
      // A copy from the write position itself reads each byte before it is
      // overwritten: the 18 zeros that end the ring; 3968 starts the 110
      // spaces before them.
      {"lz5 ring ends with spaces then zeros", Method::kLz5, {0x00, 0xEE, 0xFF, 0x80, 0xFF},
       std::string(18, '\0') + std::string(18, ' ')},
  };
  for (const auto& c : cases) {
    Decoded decoded = Decode(c.method, c.packed, c.expected.size());
    ASSERT_TRUE(decoded.status.ok()) << c.what << ": " << decoded.status.message();
    EXPECT_EQ(Text(decoded.bytes), c.expected) << c.what;
  }
}

// The output buffer serves member after member on a thread; whatever a
// member left in its history (lz5's ring, the last window of a member
// longer than the output run), the next one's starts as spaces, near the
// start (an lh5 copy from 1000 back, where lz5's ring holds 236s) and far
// from it.
TEST(HandMadeStream, EachMemberStartsWithAFreshHistory) {
  BitPacker near;
  near.Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256 + 2, 9);  // only "copy 5 bytes"
  near.Put(0, 4).Put(10, 4).Put(999 - 512, 9);  // NP: only symbol 10: 2^9 + 9 bits
  Bytes large = test::Text(300000, 1);
  Encoded packed = Encode(Method::kLh7, large);
  for (bool ring : {true, false}) {
    Decoded before = ring ? Decode(Method::kLz5, {0x00, 0xEE, 0xFF, 0x80, 0xFF}, 36)
                          : Decode(Method::kLh7, packed.packed, large.size());
    ASSERT_TRUE(before.status.ok()) << before.status.message();
    EXPECT_EQ(Text(Decode(Method::kLh5, near.bytes(), 5).bytes), std::string(5, ' ')) << ring;
    EXPECT_EQ(Text(Decode(Method::kLh7, CopiesBeforeTheStart(), 10).bytes), std::string(10, ' '))
        << ring;
  }
}

}  // namespace
}  // namespace lzh::test
