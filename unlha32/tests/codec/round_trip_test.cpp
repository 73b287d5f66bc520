// Encode-then-decode over inputs chosen to hit the encoders' edges: empty
// and tiny members, runs, incompressible data, sizes around every window
// and block boundary, sources that hand out a few bytes at a time, and
// large members on several threads, for every method we write; then the
// method ids every member carries. (The CRC's wide paths meet the foreign
// readers in the format tests, which check it at many sizes.)
#include <gtest/gtest.h>

#include "codec/crc16.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

class RoundTrip : public ::testing::TestWithParam<Method> {};

TEST_P(RoundTrip, RestoresEveryInputExactly) {
  for (const Input& input : RoundTripInputs()) {
    SCOPED_TRACE(input.name);
    Encoded encoded = Encode(GetParam(), input.data, UINT64_MAX, input.chunk);
    ASSERT_TRUE(encoded.status.ok()) << encoded.status.message();
    EXPECT_EQ(encoded.result.original_size, input.data.size());
    EXPECT_EQ(encoded.result.packed_size, encoded.packed.size());
    EXPECT_EQ(encoded.result.crc, Crc16(0, input.data.data(), input.data.size()));
    Decoded decoded =
        Decode(GetParam(), encoded.packed, input.data.size(), UINT64_MAX, input.chunk);
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_TRUE(decoded.bytes == input.data);
    EXPECT_EQ(decoded.crc, encoded.result.crc);
  }
}

// Redundant data compresses; incompressible data reaches the give-up size
// and asks to be stored, as do empty and one-byte members (one-symbol
// blocks or nothing at all, which one common reader refuses). The encoder
// keeps its buffers and hash tables from member to member; what one left
// there, even one that gave up with its input only partly read, must never
// leak into the next.
TEST_P(RoundTrip, CompressesOnlyRedundantDataAndMembersStayIndependent) {
  const Bytes text = Text(60000, 41), tail(text.end() - 9000, text.end());
  const Encoded first = Encode(GetParam(), text), alone = Encode(GetParam(), tail);
  EXPECT_LT(first.packed.size(), text.size() / 3);
  EXPECT_FALSE(first.result.store_instead);
  Encoded random = Encode(GetParam(), RandomBytes(400000, 42), 100000);
  EXPECT_TRUE(random.status.ok());
  EXPECT_TRUE(random.result.store_instead);
  EXPECT_TRUE(Encode(GetParam(), {}, 0).result.store_instead);
  EXPECT_TRUE(Encode(GetParam(), {0x41}, 1).result.store_instead);
  EXPECT_EQ(Encode(GetParam(), tail).packed, alone.packed);
  EXPECT_EQ(Encode(GetParam(), text).packed, first.packed);
}

// A member longer than a chunk (1 MiB) is parsed on several threads, each
// chunk with the window before it as history. Whatever the number of
// threads and however the source hands out its bytes, the packed bytes
// must be those one thread writes, and decode: a chunk parse that read past
// its history, or a parser that kept state from another chunk, differs.
// The mix of text and noise gives blocks of every kind.
TEST_P(RoundTrip, PackedBytesDoNotDependOnTheThreads) {
  const size_t chunk = size_t{1} << 20;
  Bytes mixed;  // text with bursts of noise, past four chunks
  for (uint32_t part = 0; mixed.size() < 4 * chunk; ++part)
    mixed = Joined({mixed, part % 2 == 0 ? Text(300000, part) : RandomBytes(50000, part)});
  for (size_t size : {chunk, chunk + 1, mixed.size()}) {
    SCOPED_TRACE(size);
    const Bytes data(mixed.begin(), mixed.begin() + size);
    Encoded one = Encode(GetParam(), data, UINT64_MAX, SIZE_MAX, 1);
    ASSERT_TRUE(one.status.ok());
    if (GetParam() != Method::kLh1) {  // lh1 is parsed on one thread
      EXPECT_EQ(Encode(GetParam(), data, UINT64_MAX, SIZE_MAX, 2).packed, one.packed);
      EXPECT_EQ(Encode(GetParam(), data, UINT64_MAX, 7000, 3).packed, one.packed);
    }
    Decoded decoded = Decode(GetParam(), one.packed, data.size());
    ASSERT_TRUE(decoded.status.ok()) << decoded.status.message();
    EXPECT_TRUE(decoded.bytes == data);
  }
  // Giving up while chunks are still being parsed.
  EXPECT_TRUE(
      Encode(GetParam(), RandomBytes(3 * chunk, 61), chunk, SIZE_MAX, 2).result.store_instead);
}

INSTANTIATE_TEST_SUITE_P(Methods, RoundTrip, kEncodedMethods, MethodTestName);

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
  }
  for (const char* id : {"xlh5-", "-lh5x", "-l\0015-"}) {
    Method parsed;
    EXPECT_FALSE(ParseMethodId(reinterpret_cast<const uint8_t*>(id), &parsed)) << id;
  }
  EXPECT_FALSE(CanDecode(Method::kOther) || CanEncode(Method::kOther) || CanEncode(Method::kLh4));
  EXPECT_EQ(Decode(Method::kOther, Bytes(10, 0), 10).status.fault(), Fault::kUnsupported);
  EXPECT_EQ(Encode(Method::kLz5, Bytes(5, 1)).status.fault(), Fault::kUnsupported);
}

}  // namespace
}  // namespace lzh::test
