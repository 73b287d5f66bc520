// DecodeMember: picks the decoder of a member's method. The stored methods
// are copied here in large blocks; every compressing family has its own
// file.
#include "codec/decoder.h"

#include <algorithm>
#include <memory>

#include "codec/codecs.h"
#include "codec/crc16.h"

namespace lzh {
namespace {

Status CopyStored(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                  ByteSink& out, uint16_t* crc) {
  constexpr size_t kBlock = 256 * 1024;
  LZH_REQUIRE(compressed_size >= original_size, kTruncated, "truncated data");
  // As large as the member needs, not zeroed: most members are small.
  const size_t block_size = static_cast<size_t>(std::min<uint64_t>(original_size, kBlock));
  auto block = std::make_unique_for_overwrite<uint8_t[]>(block_size);
  uint16_t sum = 0;
  uint64_t left = original_size;
  while (left > 0) {
    size_t got = 0;
    LZH_TRY(in.Read(block.get(), static_cast<size_t>(std::min<uint64_t>(left, block_size)), &got));
    LZH_REQUIRE(got > 0, kTruncated, "truncated data");
    sum = Crc16(sum, block.get(), got);
    LZH_TRY(out.Write(block.get(), got));
    left -= got;
  }
  *crc = sum;
  return Status::Ok();
}

}  // namespace

Status DecodeMember(Method method, ByteSource& in, uint64_t compressed_size,
                    uint64_t original_size, ByteSink& out, uint16_t* crc) {
  *crc = 0;
  switch (method) {
    case Method::kLh0:
    case Method::kLz4:
      return CopyStored(in, compressed_size, original_size, out, crc);
    case Method::kLhd:
      LZH_REQUIRE(original_size == 0, kCorrupt, "directory entry with data");
      return Status::Ok();
    case Method::kLh1:
      return DecodeAdaptiveHuffman(in, compressed_size, original_size, out, crc);
    case Method::kLh4:
    case Method::kLh5:
    case Method::kLh6:
    case Method::kLh7:
      return DecodeStaticHuffman(method, in, compressed_size, original_size, out, crc);
    case Method::kLzs:
      return DecodeLzs(in, compressed_size, original_size, out, crc);
    case Method::kLz5:
      return DecodeLz5(in, compressed_size, original_size, out, crc);
    case Method::kOther:
      break;
  }
  return Status::Unsupported("unsupported method");
}

}  // namespace lzh
