// Damaged streams, one table or one parameterised test per kind: cut
// streams, trailing bytes, lying original sizes, malformed block headers.
// Each must end in its named fault, never in an overread of the source or
// output beyond the declared original size. Random bytes and flipped bits
// are the decoder fuzzer's, which checks the same limits.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

class DamagedStream : public ::testing::TestWithParam<Method> {};

// One member cut at every length near its start and end and at steps
// between (declared so, or declared in full with a source that runs dry),
// followed by more bytes (read in pieces of 1, 13 or all), and decoded to
// fewer or more bytes than it holds. Output stops exactly at a smaller
// original size; a larger one is an error (one byte more is told apart
// only where blocks count their symbols: lh1's last padding bits may well
// decode as a symbol), with nothing written past it.
TEST_P(DamagedStream, CutPaddedAndMisSizedStreamsNameTheirFaults) {
  const Bytes data = Text(70000, 52);
  const Bytes packed = Encode(GetParam(), data).packed;
  for (size_t size = 0; size < packed.size();
       size += size < 1200 || size + 300 > packed.size() ? 1 : 97) {
    const Bytes prefix(packed.begin(), packed.begin() + size);
    ASSERT_EQ(Decode(GetParam(), prefix, data.size()).status.fault(), Fault::kTruncated) << size;
    ASSERT_EQ(Decode(GetParam(), prefix, data.size(), packed.size()).status.fault(),
              Fault::kTruncated)
        << "short source " << size;
  }
  Bytes followed_by_more = packed;
  followed_by_more.resize(packed.size() + 1000, 0xA5);
  for (size_t chunk : {size_t{1}, size_t{13}, SIZE_MAX}) {
    Decoded decoded = Decode(GetParam(), followed_by_more, data.size(), packed.size(), chunk);
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_EQ(decoded.taken, packed.size());
    EXPECT_TRUE(decoded.bytes == data);
  }
  for (uint64_t size : {uint64_t{0}, uint64_t{1}, uint64_t{12345}, uint64_t{data.size() - 1}}) {
    Decoded decoded = Decode(GetParam(), packed, size);
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_TRUE(decoded.bytes == Bytes(data.begin(), data.begin() + size)) << size;
  }
  for (uint64_t size : {data.size() + 1, data.size() + 100000, uint64_t{1} << 40}) {
    if (GetParam() == Method::kLh1 && size == data.size() + 1) continue;
    Decoded decoded = Decode(GetParam(), packed, size);
    EXPECT_EQ(decoded.status.fault(), Fault::kTruncated) << size;
    EXPECT_LE(decoded.bytes.size(), size);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, DamagedStream, kEncodedMethods, MethodTestName);

// The methods we only read: a literal announced and not delivered, stored
// data shorter than declared (by the compressed size or by the source),
// stored data cut by a smaller original size, and a directory with data.
TEST(DamagedStoredOrLegacyStream, NamesItsFault) {
  const Bytes stored = RandomBytes(1000, 55);
  const struct {
    Method method;
    Bytes packed;
    uint64_t original, compressed;
    Fault fault;  // Fault::kNone: decodes, to the first `original` bytes
  } cases[] = {
      {Method::kLzs, {0xFF}, 2, 1, Fault::kTruncated},
      {Method::kLz5, {0xFF}, 2, 1, Fault::kTruncated},
      {Method::kLh0, stored, 1001, 1000, Fault::kTruncated},
      {Method::kLh0, stored, 1001, 1001, Fault::kTruncated},
      {Method::kLh0, stored, 10, 1000, Fault::kNone},
      {Method::kLhd, {}, 0, 0, Fault::kNone},
      {Method::kLhd, stored, 1000, 1000, Fault::kCorrupt},
  };
  for (const auto& c : cases) {
    Decoded decoded = Decode(c.method, c.packed, c.original, c.compressed);
    EXPECT_EQ(decoded.status.fault(), c.fault) << MethodIdText(c.method) << " " << c.original;
    if (c.fault == Fault::kNone) {
      EXPECT_TRUE(decoded.bytes == Bytes(c.packed.begin(), c.packed.begin() + c.original));
    }
  }
}

// Each block header names the one thing wrong with it and the message the
// fault must carry ("" when any corrupt-stream message will do).
TEST(CorruptTables, EveryMalformedBlockHeaderIsACorruptStream) {
  auto bits = [] { return BitPacker().Put(4, 16); };
  // lh4 shares lh5's position alphabet, but its window is 4 KiB: position
  // symbol 13 names distances of 4097 and more. Also far from the member's
  // end, where matches take the fast path: 1000 free literals, then that
  // copy (position code 1) and a valid one (code 0, distance 1).
  BitPacker far;
  far.Put(1000, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(0, 4);
  far.Put(2, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256, 9).Put(14, 4);
  for (unsigned symbol = 0; symbol < 14; ++symbol) far.PutPtLength(symbol == 0 || symbol == 13);
  far.Put(1, 1).Put(0, 12).Put(0, 1);
  // Lengths 1, 2, ..., 16, 17, 17 fill the code space exactly: only the
  // longest code's limit refuses them.
  BitPacker seventeen = bits().Put(18, 5).PutPtLength(1).PutPtLength(2).PutPtLength(3).Put(0, 2);
  for (unsigned length = 4; length <= 17; ++length) seventeen.PutPtLength(length);
  seventeen.PutPtLength(17);
  const struct {
    const char* fault;
    BitPacker bits;
    const char* message;
    Method method = Method::kLh5;
    uint64_t original = 4;
  } cases[] = {
      {"NT lengths 1, 1, 1 over-fill the code space",
       bits().Put(3, 5).PutPtLength(1).PutPtLength(1).PutPtLength(1).Put(0, 2),
       "bad Huffman table"},
      {"NT lengths 1, 2 leave a quarter of it empty",
       bits().Put(2, 5).PutPtLength(1).PutPtLength(2), "bad Huffman table"},
      {"NP n = 1 with all lengths 0",
       bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(1, 4).PutPtLength(0), ""},
      {"NT count 20 of 19 symbols", bits().Put(20, 5), ""},
      {"NC count 511 of 510", bits().Put(0, 5).Put(0, 5).Put(511, 9), ""},
      {"lh5 NP count 15 of 14", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(15, 4), ""},
      {"NT one symbol 19", bits().Put(0, 5).Put(19, 5), ""},
      {"NC one symbol 510", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put(510, 9), ""},
      {"NP one symbol 14", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(14, 4),
       ""},
      // NT in one-symbol form yields symbol 2 (a run of 20+ zeros) for free;
      // n = 5 leaves no room for it.
      {"zero run past the count", bits().Put(0, 5).Put(2, 5).Put(5, 9).Put(0, 9), "zero run"},
      {"code length 17 in an otherwise complete code", seventeen, "code too long"},
      {"a block of 0 symbols",
       BitPacker().Put(0, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(0, 4), ""},
      {"lh4 distance 4097",
       BitPacker().Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256, 9).Put(0, 4).Put(13, 4).Put(
           0, 12),
       "distance beyond the window", Method::kLh4, 3},
      {"lh4 distance 4097 on the fast path", far, "distance beyond the window", Method::kLh4, 5000},
  };
  for (const auto& c : cases) {
    BitPacker padded = c.bits;
    for (int i = 0; i < 8; ++i) padded.Put(0, 32);  // plenty of real bits after the header
    Decoded decoded = Decode(c.method, padded.bytes(), c.original);
    EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt) << c.fault;
    EXPECT_NE(std::strstr(decoded.status.message(), c.message), nullptr)
        << c.fault << ": " << decoded.status.message();
  }
}

}  // namespace
}  // namespace lzh::test
