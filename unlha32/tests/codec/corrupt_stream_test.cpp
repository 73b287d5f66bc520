// Damaged and hostile streams: every one must end in a named fault (or, for
// random bytes, possibly in success), never in a crash, a hang, an overread
// of the source or output beyond the declared original size.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

bool MessageHas(const Status& status, const char* text) {
  return std::strstr(status.message(), text) != nullptr;
}

class DamagedStream : public ::testing::TestWithParam<Method> {};

TEST_P(DamagedStream, EveryTruncatedPrefixIsTruncatedData) {
  Bytes data = Text(3000, 51);
  Encoded encoded = Encode(GetParam(), data);
  ASSERT_TRUE(encoded.status.ok());
  for (size_t size = 0; size < encoded.packed.size(); ++size) {
    Bytes prefix(encoded.packed.begin(), encoded.packed.begin() + size);
    Decoded decoded = Decode(GetParam(), prefix, data.size());
    ASSERT_EQ(decoded.status.fault(), Fault::kTruncated) << "prefix " << size;
    EXPECT_LE(decoded.bytes.size(), data.size());
    // The same when the size is declared in full but the source runs dry.
    decoded = Decode(GetParam(), prefix, data.size(), encoded.packed.size());
    ASSERT_EQ(decoded.status.fault(), Fault::kTruncated) << "short source " << size;
  }
}

TEST_P(DamagedStream, NeverReadsPastTheCompressedSize) {
  Bytes data = Text(70000, 52);
  Encoded encoded = Encode(GetParam(), data);
  Bytes followed_by_more = encoded.packed;
  followed_by_more.resize(followed_by_more.size() + 1000, 0xA5);
  for (size_t chunk : {size_t{1}, size_t{13}, SIZE_MAX}) {
    Decoded decoded = Decode(GetParam(), followed_by_more, data.size(), encoded.packed.size(), chunk);
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_EQ(decoded.taken, encoded.packed.size());
    EXPECT_TRUE(decoded.bytes == data);
  }
}

TEST_P(DamagedStream, OriginalSizeIsALimitNotAPromise) {
  Bytes data = Text(40000, 53);
  Encoded encoded = Encode(GetParam(), data);
  // Smaller: output stops exactly there.
  for (size_t size : {size_t{0}, size_t{1}, size_t{12345}, data.size() - 1}) {
    Decoded decoded = Decode(GetParam(), encoded.packed, size);
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_TRUE(decoded.bytes == Bytes(data.begin(), data.begin() + size)) << size;
  }
  // Larger than the stream delivers: an error, and no output past the
  // declared size. (One byte more is told apart only where blocks count
  // their symbols; lh1's last padding bits may well decode as a symbol.)
  std::vector<uint64_t> sizes = {data.size() + 100000, uint64_t{1} << 40};
  if (GetParam() != Method::kLh1) sizes.push_back(data.size() + 1);
  for (uint64_t size : sizes) {
    Decoded decoded = Decode(GetParam(), encoded.packed, size);
    EXPECT_EQ(decoded.status.fault(), Fault::kTruncated) << size;
    EXPECT_LE(decoded.bytes.size(), size);
  }
}

TEST_P(DamagedStream, GarbageFailsOrDecodesButNeverCrashes) {
  std::mt19937 random(54);
  for (int i = 0; i < 300; ++i) {
    Bytes garbage = RandomBytes(1 + random() % 3000, 1000 + i);
    uint64_t original = random() % 2 ? random() % 100000 : uint64_t{1} << 32;
    Decoded decoded = Decode(GetParam(), garbage, original);
    EXPECT_LE(decoded.bytes.size(), original);
    EXPECT_LE(decoded.taken, garbage.size());
    if (decoded.status.ok()) EXPECT_EQ(decoded.bytes.size(), original);
  }
}

TEST_P(DamagedStream, FlippedBitsFailOrDecodeButNeverCrash) {
  Bytes data = Text(20000, 56);
  Encoded encoded = Encode(GetParam(), data);
  std::mt19937 random(57);
  for (int i = 0; i < 300; ++i) {
    Bytes damaged = encoded.packed;
    for (int flips = 1 + i % 4; flips > 0; --flips)
      damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
    Decoded decoded = Decode(GetParam(), damaged, data.size());
    EXPECT_LE(decoded.bytes.size(), data.size());
    EXPECT_LE(decoded.taken, damaged.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, DamagedStream,
                         ::testing::Values(Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7),
                         [](const ::testing::TestParamInfo<Method>& info) {
                           return std::string(MethodIdText(info.param)).substr(1, 3);
                         });

TEST(DamagedLegacyStream, GarbageAndTruncationInLzsAndLz5) {
  for (Method method : {Method::kLzs, Method::kLz5}) {
    for (int i = 0; i < 200; ++i) {
      Bytes garbage = RandomBytes(1 + i * 7, 2000 + i);
      Decoded decoded = Decode(method, garbage, 5000);
      EXPECT_LE(decoded.bytes.size(), 5000u);
      if (!decoded.status.ok()) EXPECT_EQ(decoded.status.fault(), Fault::kTruncated);
    }
    // One literal announced, none delivered.
    Decoded decoded = Decode(method, Bytes{0xFF}, 2);
    EXPECT_EQ(decoded.status.fault(), Fault::kTruncated);
  }
}

TEST(DamagedStoredData, ShortDataAndDirectoriesWithData) {
  Bytes data = RandomBytes(1000, 55);
  EXPECT_EQ(Decode(Method::kLh0, data, 1001).status.fault(), Fault::kTruncated);
  EXPECT_EQ(Decode(Method::kLh0, data, 1001, 1001).status.fault(), Fault::kTruncated);
  Decoded shorter = Decode(Method::kLh0, data, 10);
  ASSERT_TRUE(shorter.status.ok());
  EXPECT_EQ(shorter.bytes.size(), 10u);
  EXPECT_LE(shorter.taken, 1000u);
  EXPECT_TRUE(Decode(Method::kLhd, {}, 0).status.ok());
  EXPECT_EQ(Decode(Method::kLhd, data, 1000).status.fault(), Fault::kCorrupt);
}

// Block headers built by hand, each with one fault. A valid lh5 block
// header ends with the NP table; symbols follow in one-symbol form.
Decoded DecodeLh5Block(const BitPacker& bits, uint64_t original_size = 4) {
  BitPacker padded = bits;
  padded.Put(0, 32);  // plenty of real bits after the header
  return Decode(Method::kLh5, padded.bytes(), original_size);
}

TEST(CorruptTables, OverFullAndUnderFullCodesAreBadTables) {
  // NT: lengths 1, 1, 1 over-fill the code space.
  BitPacker over;
  over.Put(4, 16).Put(3, 5).PutPtLength(1).PutPtLength(1).PutPtLength(1).Put(0, 2);
  Decoded decoded = DecodeLh5Block(over);
  EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt);
  EXPECT_TRUE(MessageHas(decoded.status, "bad Huffman table"));
  // NT: lengths 1, 2 leave a quarter of it empty.
  BitPacker under;
  under.Put(4, 16).Put(2, 5).PutPtLength(1).PutPtLength(2);
  decoded = DecodeLh5Block(under);
  EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt);
  EXPECT_TRUE(MessageHas(decoded.status, "bad Huffman table"));
  // NP (after one-symbol NT and NC): n = 1 with all lengths 0.
  BitPacker no_codes;
  no_codes.Put(4, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(1, 4).PutPtLength(0);
  EXPECT_EQ(DecodeLh5Block(no_codes).status.fault(), Fault::kCorrupt);
}

TEST(CorruptTables, CountsBeyondTheAlphabetAreRefused) {
  BitPacker nt;  // NT has 19 symbols
  nt.Put(4, 16).Put(20, 5);
  EXPECT_EQ(DecodeLh5Block(nt).status.fault(), Fault::kCorrupt);
  BitPacker nc;  // NC has 510
  nc.Put(4, 16).Put(0, 5).Put(0, 5).Put(511, 9);
  EXPECT_EQ(DecodeLh5Block(nc).status.fault(), Fault::kCorrupt);
  BitPacker np;  // lh5's NP has 14
  np.Put(4, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(15, 4);
  EXPECT_EQ(DecodeLh5Block(np).status.fault(), Fault::kCorrupt);
}

TEST(CorruptTables, OneSymbolFormsNameASymbolInRange) {
  BitPacker nt;
  nt.Put(4, 16).Put(0, 5).Put(19, 5);
  EXPECT_EQ(DecodeLh5Block(nt).status.fault(), Fault::kCorrupt);
  BitPacker nc;
  nc.Put(4, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(510, 9);
  EXPECT_EQ(DecodeLh5Block(nc).status.fault(), Fault::kCorrupt);
  BitPacker np;
  np.Put(4, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(14, 4);
  EXPECT_EQ(DecodeLh5Block(np).status.fault(), Fault::kCorrupt);
}

TEST(CorruptTables, ZeroRunPastTheCountIsRefused) {
  // NT in one-symbol form yields symbol 2 (a run of 20+ zeros) for free;
  // n = 5 leaves no room for it.
  BitPacker bits;
  bits.Put(4, 16).Put(0, 5).Put(2, 5).Put(5, 9).Put(0, 9);
  Decoded decoded = DecodeLh5Block(bits);
  EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt);
  EXPECT_TRUE(MessageHas(decoded.status, "zero run"));
}

TEST(CorruptTables, CodeLengthsOver16AreRefused) {
  BitPacker bits;
  bits.Put(4, 16).Put(2, 5).PutPtLength(17).PutPtLength(1);
  EXPECT_EQ(DecodeLh5Block(bits).status.fault(), Fault::kCorrupt);
}

TEST(CorruptTables, EmptyBlockIsRefused) {
  BitPacker bits;
  bits.Put(0, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(0, 4);
  EXPECT_EQ(DecodeLh5Block(bits).status.fault(), Fault::kCorrupt);
}

TEST(CorruptTables, Lh4DistanceBeyondTheWindowIsRefused) {
  // lh4 shares lh5's position alphabet, but its window is 4 KiB: position
  // symbol 13 names distances of 4097 and more.
  BitPacker bits;
  bits.Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256, 9).Put(0, 4).Put(13, 4).Put(0, 12);
  bits.Put(0, 32);
  Decoded decoded = Decode(Method::kLh4, bits.bytes(), 3);
  EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt);
  EXPECT_TRUE(MessageHas(decoded.status, "distance beyond the window"));

  // The same far from the member's end, where matches take the fast path:
  // 1000 free literals, then that copy (position code 1) and a valid one
  // (code 0, distance 1).
  BitPacker far;
  far.Put(1000, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(0, 4);
  far.Put(2, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256, 9).Put(14, 4);
  for (unsigned symbol = 0; symbol < 14; ++symbol) far.PutPtLength(symbol == 0 || symbol == 13);
  far.Put(1, 1).Put(0, 12).Put(0, 1);
  for (int i = 0; i < 8; ++i) far.Put(0, 32);
  decoded = Decode(Method::kLh4, far.bytes(), 5000);
  EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt);
  EXPECT_TRUE(MessageHas(decoded.status, "distance beyond the window"));
}

}  // namespace
}  // namespace lzh::test
