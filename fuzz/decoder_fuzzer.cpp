// Fuzz target: every decoder, the method chosen by the first input byte.
//
// Input: method byte, three bytes of declared original size (little-endian,
// capped at 128 KiB, twice the largest window, so that one run stays
// fast), one byte of "slack", then the compressed stream. The source
// offers the whole stream but the member declares `slack` bytes fewer, so
// a decoder that reads past its declared compressed size is caught, as is
// one that writes past the declared original size or claims success with
// less.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "codec/decoder.h"
#include "fuzz_check.h"

using namespace lzh;

namespace {

constexpr Method kDecodable[] = {Method::kLh0, Method::kLhd, Method::kLh1, Method::kLh4, Method::kLh5,
                                 Method::kLh6, Method::kLh7, Method::kLz4, Method::kLzs, Method::kLz5};
constexpr uint64_t kMaxOriginal = 128 * 1024;

class CountingSource final : public ByteSource {
 public:
  CountingSource(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = std::min(capacity, left_);
    std::memcpy(buffer, data_, *got);
    data_ += *got;
    left_ -= *got;
    taken_ += *got;
    return Status::Ok();
  }
  uint64_t taken() const { return taken_; }

 private:
  const uint8_t* data_;
  size_t left_;
  uint64_t taken_ = 0;
};

class CountingSink final : public ByteSink {
 public:
  Status Write(const uint8_t*, size_t size) override {
    written_ += size;
    return Status::Ok();
  }
  uint64_t written() const { return written_; }

 private:
  uint64_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  Method method = kDecodable[data[0] % std::size(kDecodable)];
  uint64_t original_size = (data[1] | data[2] << 8 | data[3] << 16) % (kMaxOriginal + 1);
  size_t stream_size = size - 5;
  uint64_t compressed_size = stream_size - std::min<size_t>(data[4] & 0x0F, stream_size);

  CountingSource in(data + 5, stream_size);
  CountingSink out;
  uint16_t crc = 0;
  Status status = DecodeMember(method, in, compressed_size, original_size, out, &crc);
  FUZZ_CHECK(in.taken() <= compressed_size, "decoder read past the declared compressed size");
  FUZZ_CHECK(out.written() <= original_size, "decoder wrote past the declared original size");
  FUZZ_CHECK(!status.ok() || out.written() == original_size, "decoder succeeded with short output");
  return 0;
}
