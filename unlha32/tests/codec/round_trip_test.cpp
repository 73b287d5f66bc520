// Encode-then-decode over inputs chosen to hit the encoders' edges: empty
// and tiny members, runs, incompressible data, sizes around every window
// and block boundary, and large members on several threads, for every
// method we write; then the CRC and the method ids every member carries.
#include <gtest/gtest.h>

#include "codec/crc16.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

struct Case {
  std::string name;
  Bytes data;
};

std::vector<Case> Inputs() {
  std::vector<Case> cases = {
      {"empty", {}},
      {"one_byte", {0x41}},
      {"two_bytes", {0x41, 0x42}},
      {"all_equal", Bytes(300000, 'x')},
      {"all_zero_after_text", [] {
         Bytes b = Text(5000, 3);
         b.resize(5000 + 256 * 40000 + 1, 0);
         return b;
       }()},
      {"random", RandomBytes(100000, 5)},
      {"text", Text(200000, 6)},
      {"binary_like", BinaryLike(150000, 7)},
  };
  // Windows of lh1/lh4, lh5, lh6 and lh7, and, as literal symbols (random
  // data codes as literals), the sizes where blocks may end: one and two
  // granules, the most held pending, the most one block holds.
  for (size_t size : {4096u, 8192u, 32768u, 65536u, 1024u, 2048u, 64512u, 65535u}) {
    for (int delta : {-1, 0, 1}) {
      cases.push_back({"text_" + std::to_string(size + delta), Text(size + delta, 11)});
      cases.push_back({"random_" + std::to_string(size + delta), RandomBytes(size + delta, 12)});
    }
  }
  return cases;
}

class RoundTrip : public ::testing::TestWithParam<Method> {};

void ExpectRoundTrip(Method method, const Bytes& data, const std::string& name,
                     size_t chunk = SIZE_MAX) {
  Encoded encoded = Encode(method, data, UINT64_MAX, chunk);
  ASSERT_TRUE(encoded.status.ok()) << name << ": " << encoded.status.message();
  EXPECT_EQ(encoded.result.original_size, data.size()) << name;
  EXPECT_EQ(encoded.result.packed_size, encoded.packed.size()) << name;
  EXPECT_EQ(encoded.result.crc, Crc16(0, data.data(), data.size())) << name;
  Decoded decoded = Decode(method, encoded.packed, data.size(), encoded.packed.size(), chunk);
  ASSERT_TRUE(decoded.status.ok()) << name << ": " << decoded.status.message();
  EXPECT_TRUE(decoded.bytes == data) << name;
  EXPECT_EQ(decoded.crc, encoded.result.crc) << name;
}

TEST_P(RoundTrip, RestoresEveryInputExactly) {
  for (const Case& c : Inputs()) ExpectRoundTrip(GetParam(), c.data, c.name);
}

TEST_P(RoundTrip, SurvivesSourcesThatDeliverAFewBytesAtATime) {
  ExpectRoundTrip(GetParam(), Text(30000, 21), "text_in_7_byte_reads", 7);
  ExpectRoundTrip(GetParam(), RandomBytes(5000, 22), "random_in_1_byte_reads", 1);
}

// Large enough for blocks of every kind, ending in a copy as often as not.
TEST_P(RoundTrip, RestoresALargeMixedMember) {
  Bytes data;
  for (uint32_t part = 0; data.size() < 4u << 20; ++part) {
    Bytes piece = part % 3 == 0 ? Text(300000, part) : part % 3 == 1 ? BinaryLike(200000, part)
                                                                     : RandomBytes(50000, part);
    data.insert(data.end(), piece.begin(), piece.end());
  }
  ExpectRoundTrip(GetParam(), data, "large_mixed");
}

// Blocks end where the statistics change; the pieces after the last such
// change, short or long, must still end the member cleanly.
TEST_P(RoundTrip, RestoresMembersWhoseStatisticsChangeNearTheEnd) {
  for (size_t tail : {1000u, 1024u, 2047u, 2048u, 5000u, 70000u}) {
    Bytes data = Text(100000, 51);
    Bytes random = RandomBytes(tail, 52);
    data.insert(data.end(), random.begin(), random.end());
    ExpectRoundTrip(GetParam(), data, "text_then_random_" + std::to_string(tail));
  }
}

TEST_P(RoundTrip, CompressesRedundantDataAndOnlyIt) {
  Encoded text = Encode(GetParam(), Text(100000, 31));
  EXPECT_LT(text.packed.size(), 100000u / 3);
  EXPECT_FALSE(text.result.store_instead);
  // Incompressible data reaches the give-up size and asks to be stored.
  Bytes random = RandomBytes(100000, 32);
  Encoded packed = Encode(GetParam(), random, random.size());
  EXPECT_TRUE(packed.status.ok());
  EXPECT_TRUE(packed.result.store_instead);
  // Empty and one-byte members would be made only of one-symbol blocks (or
  // nothing at all), which one common reader refuses.
  EXPECT_TRUE(Encode(GetParam(), {}, 0).result.store_instead);
  EXPECT_TRUE(Encode(GetParam(), {0x41}, 1).result.store_instead);
}

// The encoder keeps its buffers and hash tables from member to member; what
// the previous member left there must never leak into the next one.
TEST_P(RoundTrip, MembersEncodedInTurnStayIndependent) {
  Bytes text = Text(60000, 41);
  Bytes tail(text.end() - 9000, text.end());
  Encoded first = Encode(GetParam(), text);
  Encoded alone = Encode(GetParam(), tail);
  // A member after one that gave up half way, with its input only partly read.
  Bytes random = RandomBytes(400000, 42);
  EXPECT_TRUE(Encode(GetParam(), random, 1000).result.store_instead);
  Encoded after_give_up = Encode(GetParam(), tail);
  Encoded again = Encode(GetParam(), text);
  EXPECT_EQ(again.packed, first.packed);
  EXPECT_EQ(after_give_up.packed, alone.packed);
  ExpectRoundTrip(GetParam(), tail, "tail_after_its_own_text");
}

// A member longer than a chunk (1 MiB) is parsed on several threads, each
// chunk with the window before it as history. Whatever the number of
// threads and however the source hands out its bytes, the packed bytes
// must be those one thread writes, and decode: a chunk parse that read past
// its history, or a parser that kept state from another chunk, differs.
TEST_P(RoundTrip, PackedBytesDoNotDependOnTheThreads) {
  if (GetParam() == Method::kLh1) GTEST_SKIP() << "lh1 is parsed on one thread";
  const size_t chunk = size_t{1} << 20;
  for (size_t size : {chunk, chunk + 1, 3 * chunk + 70000}) {
    Bytes data;
    for (uint32_t part = 0; data.size() < size; ++part) {
      Bytes piece = part % 2 ? BinaryLike(90000, part) : Text(150000, part);
      data.insert(data.end(), piece.begin(), piece.end());
    }
    data.resize(size);
    const std::string name = "mixed_" + std::to_string(size);
    Encoded one = Encode(GetParam(), data, UINT64_MAX, SIZE_MAX, 1);
    ASSERT_TRUE(one.status.ok()) << name;
    EXPECT_EQ(Encode(GetParam(), data, UINT64_MAX, SIZE_MAX, 2).packed, one.packed) << name;
    EXPECT_EQ(Encode(GetParam(), data, UINT64_MAX, 7000, 3).packed, one.packed) << name;
    Decoded decoded = Decode(GetParam(), one.packed, data.size());
    ASSERT_TRUE(decoded.status.ok()) << name << ": " << decoded.status.message();
    EXPECT_TRUE(decoded.bytes == data) << name;
  }
  // Giving up while chunks are still being parsed.
  Bytes random = RandomBytes(3 * chunk, 61);
  EXPECT_TRUE(Encode(GetParam(), random, chunk, SIZE_MAX, 2).result.store_instead);
}

INSTANTIATE_TEST_SUITE_P(Methods, RoundTrip, kEncodedMethods, MethodTestName);

// A byte-at-a-time CRC-16/ARC, independent of the library's tables and of
// its carry-less multiplication path.
uint16_t BitwiseCrc16(uint16_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xA001 : 0);
  }
  return crc;
}

TEST(Crc16, MatchesTheCheckValueAcrossSplitUpdates) {
  const Bytes data = AsBytes("123456789");
  EXPECT_EQ(Crc16(0, data.data(), data.size()), 0xBB3D);
  uint16_t crc = Crc16(0, data.data(), 4);
  EXPECT_EQ(Crc16(crc, data.data() + 4, 5), 0xBB3D);
}

// Long inputs go through wide paths (sixteen-byte slices, or folding of
// 64-byte blocks where the processor multiplies carry-less); a wrong
// folding constant or a mishandled tail or misaligned start shows here.
TEST(Crc16, WidePathsAgreeWithBitwiseCrcAtEveryLengthAndAlignment) {
  const Bytes data = RandomBytes(70000, 7);
  std::mt19937 random(11);
  for (size_t size = 0; size <= 600; ++size) {
    size_t offset = size % 17;
    uint16_t start = static_cast<uint16_t>(random());
    ASSERT_EQ(Crc16(start, data.data() + offset, size),
              BitwiseCrc16(start, data.data() + offset, size))
        << "size " << size << " offset " << offset;
  }
  for (int round = 0; round < 40; ++round) {
    size_t offset = random() % 64;
    size_t size = random() % (data.size() - offset);
    uint16_t start = static_cast<uint16_t>(random());
    ASSERT_EQ(Crc16(start, data.data() + offset, size),
              BitwiseCrc16(start, data.data() + offset, size))
        << "size " << size << " offset " << offset;
  }
}

TEST(MethodId, KnownIdsRoundTripAndRareOnesAreUnsupported) {
  for (Method method : {Method::kLh0, Method::kLhd, Method::kLh1, Method::kLh4, Method::kLh5,
                        Method::kLh6, Method::kLh7, Method::kLz4, Method::kLzs, Method::kLz5}) {
    Method parsed;
    ASSERT_TRUE(ParseMethodId(reinterpret_cast<const uint8_t*>(MethodIdText(method)), &parsed));
    EXPECT_EQ(parsed, method) << MethodIdText(method);
    EXPECT_TRUE(CanDecode(method));
  }
  for (const char* id : {"-lh2-", "-lh3-", "-lhx-", "-pm2-", "-LH5-"}) {
    Method parsed;
    ASSERT_TRUE(ParseMethodId(reinterpret_cast<const uint8_t*>(id), &parsed)) << id;
    EXPECT_EQ(parsed, Method::kOther) << id;
    EXPECT_FALSE(CanDecode(parsed));
    Decoded decoded = Decode(parsed, Bytes(10, 0), 10);
    EXPECT_EQ(decoded.status.fault(), Fault::kUnsupported) << id;
  }
  Method parsed;
  EXPECT_FALSE(ParseMethodId(reinterpret_cast<const uint8_t*>("xlh5-"), &parsed));
  EXPECT_FALSE(ParseMethodId(reinterpret_cast<const uint8_t*>("-lh5x"), &parsed));
  EXPECT_FALSE(ParseMethodId(reinterpret_cast<const uint8_t*>("-l\x01" "5-"), &parsed));
}

TEST(MethodId, OnlyWrittenMethodsCanBeEncoded) {
  for (Method method : {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7})
    EXPECT_TRUE(CanEncode(method));
  for (Method method : {Method::kLhd, Method::kLh4, Method::kLz4, Method::kLzs, Method::kLz5,
                        Method::kOther}) {
    EXPECT_FALSE(CanEncode(method));
    if (method != Method::kLhd && method != Method::kLh0) {
      EXPECT_EQ(Encode(method, Bytes(5, 1)).status.fault(), Fault::kUnsupported);
    }
  }
}

}  // namespace
}  // namespace lzh::test
