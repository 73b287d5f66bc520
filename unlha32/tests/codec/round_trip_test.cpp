// Encode-then-decode over inputs chosen to hit the encoders' edges: empty
// and tiny members, runs, incompressible data, sizes around every window
// and block boundary, sources that hand out a few bytes at a time, and
// large members on several threads, for every method we write; then the
// CRC that checks every member and header, against its definition, and the
// method ids every member carries. Ordinary files of every method are the
// golden archives', held byte for byte.
#include <gtest/gtest.h>

#include "codec/crc16.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

struct Input {
  std::string name;
  Bytes data;
  size_t chunk = SIZE_MAX;  // the most the source hands out per read
};

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

constexpr size_t kChunk = size_t{1} << 20;  // what one thread parses

// Inputs chosen to hit the encoders' edges: empty and tiny members (whose
// last code lands at every bit position), runs, incompressible data, sizes
// around every window and block boundary, sources that hand out a few
// bytes at a time, and members parsed on several threads.
std::vector<Input> RoundTripInputs() {
  std::vector<Input> inputs = {
      {"empty", {}},
      {"one_byte", {0x41}},
      {"two_bytes", {0x41, 0x42}},
      {"three_equal", {0x41, 0x41, 0x41}},
      {"all_equal", Bytes(300000, 'x')},
      {"all_zero_after_text", Joined({Text(5000, 3), Bytes(256 * 40000 + 1, 0)})},
      {"text_in_7_byte_reads", Text(30000, 21), 7},
      {"random_in_1_byte_reads", RandomBytes(5000, 22), 1},
  };
  for (size_t size = 5; size <= 60; size += 5)
    inputs.push_back({"tiny_" + std::to_string(size), Text(size, static_cast<uint32_t>(size) * 7)});
  // Windows of lh1/lh4, lh5, lh6 and lh7, and, as literal symbols (random
  // data codes as literals), the sizes where blocks may end: one and two
  // granules, the most held pending, the most one block holds.
  for (size_t size : {4096u, 8192u, 32768u, 65536u, 1024u, 2048u, 64512u, 65535u}) {
    for (size_t at : {size - 1, size, size + 1}) {
      inputs.push_back({"text_" + std::to_string(at), Text(at, 11)});
      inputs.push_back({"random_" + std::to_string(at), RandomBytes(at, 12)});
    }
  }
  // Blocks end where the statistics change; the pieces after the last such
  // change, short or long, must still end the member cleanly.
  for (size_t tail : {1000u, 1024u, 2047u, 2048u, 5000u, 70000u})
    inputs.push_back({"text_then_random_" + std::to_string(tail),
                      Joined({Text(100000, 51), RandomBytes(tail, 52)})});
  // Text with bursts of noise, for blocks of every kind: one chunk, one
  // byte more, and past four.
  Bytes mixed;
  for (uint32_t part = 0; mixed.size() < 4 * kChunk; ++part)
    mixed = Joined({mixed, part % 2 == 0 ? Text(300000, part) : RandomBytes(50000, part)});
  for (size_t size : {kChunk, kChunk + 1, mixed.size()})
    inputs.push_back({"mixed_" + std::to_string(size), Bytes(mixed.begin(), mixed.begin() + size)});
  // Byte values 0 to 15 and 35 to 50: a run of 19 zeros in the code lengths.
  Bytes gap = RandomBytes(20000, 13);
  for (uint8_t& b : gap) b = static_cast<uint8_t>(b % 32 < 16 ? b % 32 : b % 32 + 19);
  inputs.push_back({"byte_values_19_apart", gap});
  return inputs;
}

class RoundTrip : public ::testing::TestWithParam<Method> {};

// A member longer than a chunk is parsed on several threads, each chunk
// with the window before it as history. Whatever the number of threads
// and however the source hands out its bytes, the packed bytes must be
// those one thread writes: a chunk parse that read past its history, or a
// parser that kept state from another chunk, differs.
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
    if (input.data.size() >= kChunk && GetParam() != Method::kLh1) {  // lh1 is parsed on one thread
      EXPECT_EQ(Encode(GetParam(), input.data, UINT64_MAX, SIZE_MAX, 1).packed, encoded.packed);
      EXPECT_EQ(Encode(GetParam(), input.data, UINT64_MAX, 7000, 3).packed, encoded.packed);
    }
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
  // Giving up while chunks are still being parsed.
  EXPECT_TRUE(
      Encode(GetParam(), RandomBytes(3 * kChunk, 61), kChunk, SIZE_MAX, 2).result.store_instead);
  EXPECT_EQ(Encode(GetParam(), tail).packed, alone.packed);
  EXPECT_EQ(Encode(GetParam(), text).packed, first.packed);
}

INSTANTIATE_TEST_SUITE_P(Methods, RoundTrip, kEncodedMethods, MethodTestName);

// Every member and every header with a CRC goes through Crc16, in lengths
// that take each of its paths (16 bytes at a time, by 8 and 4, single
// bytes, the folding from 64 on) and continued from any running CRC: each
// must give the CRC-16/ARC of the bit-by-bit definition.
TEST(Crc16, EveryLengthAndSplitGivesTheDefinedCrc) {
  auto bitwise = [](uint16_t crc, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
      for (int bit = 0, byte = data[i]; bit < 8; ++bit, byte >>= 1)
        crc = static_cast<uint16_t>((crc >> 1) ^ (((crc ^ byte) & 1) ? 0xA001 : 0));
    return crc;
  };
  EXPECT_EQ(Crc16(0, reinterpret_cast<const uint8_t*>("123456789"), 9), 0xBB3D);
  const Bytes data = RandomBytes(100, 71);
  for (size_t size = 0; size <= data.size(); ++size)
    for (size_t split = 0; split <= size; split += 3)
      EXPECT_EQ(Crc16(Crc16(0, data.data(), split), data.data() + split, size - split), bitwise(0, data.data(), size))
          << size << " split at " << split;
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
