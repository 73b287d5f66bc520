// CRC-16 check value and the recognition of method ids, including the rare
// methods that must be reported as unsupported by name rather than decoded.
#include <gtest/gtest.h>

#include "codec/crc16.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

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
    if (method != Method::kLhd && method != Method::kLh0)
      EXPECT_EQ(Encode(method, Bytes(5, 1)).status.fault(), Fault::kUnsupported);
  }
}

}  // namespace
}  // namespace lzh::test
