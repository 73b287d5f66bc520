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

// Random bytes, and a good stream with a few bits flipped: each fails or
// decodes, but never writes past the declared size or reads past the input.
TEST_P(DamagedStream, GarbageAndFlippedBitsNeverOverrun) {
  std::mt19937 random(54);
  Bytes data = Text(20000, 56);
  Encoded encoded = Encode(GetParam(), data);
  for (int i = 0; i < 600; ++i) {
    Bytes input = encoded.packed;
    uint64_t original = data.size();
    if (i % 2) {
      input = RandomBytes(1 + random() % 3000, 1000 + i);
      original = random() % 2 ? random() % 100000 : uint64_t{1} << 32;
    } else {
      for (int flips = 1 + i % 4; flips > 0; --flips)
        input[random() % input.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    Decoded decoded = Decode(GetParam(), input, original);
    EXPECT_LE(decoded.bytes.size(), original);
    EXPECT_LE(decoded.taken, input.size());
    if (decoded.status.ok()) {
      EXPECT_EQ(decoded.bytes.size(), original);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, DamagedStream, kEncodedMethods, MethodTestName);

TEST(DamagedLegacyStream, GarbageAndTruncationInLzsAndLz5) {
  for (Method method : {Method::kLzs, Method::kLz5}) {
    for (int i = 0; i < 200; ++i) {
      Bytes garbage = RandomBytes(1 + i * 7, 2000 + i);
      Decoded decoded = Decode(method, garbage, 5000);
      EXPECT_LE(decoded.bytes.size(), 5000u);
      if (!decoded.status.ok()) {
        EXPECT_EQ(decoded.status.fault(), Fault::kTruncated);
      }
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

// Each block header names the one thing wrong with it and the message the
// fault must carry ("" when any corrupt-stream message will do).
TEST(CorruptTables, EveryMalformedBlockHeaderIsACorruptStream) {
  struct Case {
    const char* fault;
    BitPacker bits;
    const char* message;
  };
  auto bits = [] { return BitPacker().Put(4, 16); };
  const Case cases[] = {
      {"NT lengths 1, 1, 1 over-fill the code space",
       bits().Put(3, 5).PutPtLength(1).PutPtLength(1).PutPtLength(1).Put(0, 2), "bad Huffman table"},
      {"NT lengths 1, 2 leave a quarter of it empty", bits().Put(2, 5).PutPtLength(1).PutPtLength(2),
       "bad Huffman table"},
      {"NP n = 1 with all lengths 0", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(1, 4).PutPtLength(0), ""},
      {"NT count 20 of 19 symbols", bits().Put(20, 5), ""},
      {"NC count 511 of 510", bits().Put(0, 5).Put(0, 5).Put(511, 9), ""},
      {"lh5 NP count 15 of 14", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(15, 4), ""},
      {"NT one symbol 19", bits().Put(0, 5).Put(19, 5), ""},
      {"NC one symbol 510", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put(510, 9), ""},
      {"NP one symbol 14", bits().Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(14, 4), ""},
      // NT in one-symbol form yields symbol 2 (a run of 20+ zeros) for free;
      // n = 5 leaves no room for it.
      {"zero run past the count", bits().Put(0, 5).Put(2, 5).Put(5, 9).Put(0, 9), "zero run"},
      {"code length 17", bits().Put(2, 5).PutPtLength(17).PutPtLength(1), ""},
      {"a block of 0 symbols",
       BitPacker().Put(0, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(0, 4), ""},
  };
  for (const Case& c : cases) {
    BitPacker padded = c.bits;
    padded.Put(0, 32);  // plenty of real bits after the header
    Decoded decoded = Decode(Method::kLh5, padded.bytes(), 4);
    EXPECT_EQ(decoded.status.fault(), Fault::kCorrupt) << c.fault;
    EXPECT_TRUE(MessageHas(decoded.status, c.message)) << c.fault << ": " << decoded.status.message();
  }
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
