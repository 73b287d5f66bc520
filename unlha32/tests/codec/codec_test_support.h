// Shared helpers of the codec tests: memory sources and sinks, generated
// data, and a most-significant-bit-first packer for hand-made streams.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "codec/encoder.h"

namespace lzh::test {

using Bytes = std::vector<uint8_t>;

// Hands out its bytes at most `chunk` at a time, and counts what was taken,
// so that tests see both block-boundary handling and overreads.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const Bytes& bytes, size_t chunk = SIZE_MAX)
      : bytes_(bytes), chunk_(chunk) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    size_t n = std::min({capacity, chunk_, bytes_.size() - taken_});
    if (n > 0) std::memcpy(buffer, bytes_.data() + taken_, n);
    taken_ += n;
    *got = n;
    return Status::Ok();
  }
  size_t taken() const { return taken_; }

 private:
  const Bytes& bytes_;
  size_t chunk_;
  size_t taken_ = 0;
};

class MemorySink : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return Status::Ok();
  }
  Bytes bytes;
};

struct Decoded {
  Status status;
  Bytes bytes;
  uint16_t crc = 0;
  size_t taken = 0;  // bytes the decoder read from the source
};

// The compressed size is the whole of `packed` unless stated.
inline Decoded Decode(Method method, const Bytes& packed, uint64_t original_size,
                      uint64_t compressed_size = UINT64_MAX, size_t chunk = SIZE_MAX) {
  if (compressed_size == UINT64_MAX) compressed_size = packed.size();
  MemorySource source(packed, chunk);
  MemorySink sink;
  Decoded result;
  result.status = DecodeMember(method, source, compressed_size, original_size, sink, &result.crc);
  result.bytes = std::move(sink.bytes);
  result.taken = source.taken();
  return result;
}

struct Encoded {
  Status status;
  Bytes packed;
  EncodeResult result;
};

inline Encoded Encode(Method method, const Bytes& data, uint64_t give_up_at = UINT64_MAX,
                      size_t chunk = SIZE_MAX, unsigned threads = 0) {
  MemorySource source(data, chunk);
  MemorySink sink;
  Encoded encoded;
  encoded.status = EncodeMember(method, source, sink, give_up_at, &encoded.result, threads);
  encoded.packed = std::move(sink.bytes);
  return encoded;
}

inline Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// Word-salad text with a skewed vocabulary: matches at all distances and
// literals with skewed counts, like real text.
inline Bytes Text(size_t size, uint32_t seed) {
  static const char* const kWords[] = {
      "the",   "archive", "member", "header", "of",  "and",   "compressed", "data",
      "to",    "a",       "table",  "is",     "in",  "block", "length",     "static",
      "const", "while",   "{",      "}",      ";\n", "\n\n",  "    ",       "0x20"};
  std::mt19937 random(seed);
  std::geometric_distribution<int> pick(0.12);
  Bytes bytes;
  while (bytes.size() < size) {
    const char* word = kWords[pick(random) % (sizeof kWords / sizeof kWords[0])];
    bytes.insert(bytes.end(), word, word + std::strlen(word));
    bytes.push_back(random() % 7 == 0 ? '\n' : ' ');
  }
  bytes.resize(size);
  return bytes;
}

// Packs bits most significant first, as every bit-packed method stores them.
class BitPacker {
 public:
  BitPacker& Put(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) PutBit((value >> i) & 1);
    return *this;
  }
  BitPacker& PutBit(unsigned bit) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
    ++bits_;
    return *this;
  }
  // A code length of a pt table: 3 bits, or 111 + (length - 7) ones + 0.
  BitPacker& PutPtLength(unsigned length) {
    if (length < 7) return Put(length, 3);
    Put(7, 3);
    for (unsigned i = 7; i < length; ++i) PutBit(1);
    return PutBit(0);
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  size_t bits_ = 0;
};

// The encodable methods, with "lh5" and so on as the test names gtest shows.
inline const auto kEncodedMethods =
    ::testing::Values(Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7);
inline std::string MethodTestName(const ::testing::TestParamInfo<Method>& instance) {
  return std::string(MethodIdText(instance.param)).substr(1, 3);
}

}  // namespace lzh::test
