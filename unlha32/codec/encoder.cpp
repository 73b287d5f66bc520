// EncodeMember: picks the encoder of a method we write. -lh0- is a plain
// copy in large blocks, so that the archive writer can use one call for
// every method.
#include "codec/encoder.h"

#include <memory>

#include "codec/codecs.h"
#include "codec/crc16.h"

namespace lzh {
namespace {

Status CopyStored(ByteSource& in, ByteSink& out, EncodeResult* result) {
  constexpr size_t kBlock = 256 * 1024;
  auto block = std::make_unique_for_overwrite<uint8_t[]>(kBlock);
  for (;;) {
    size_t got = 0;
    LZH_TRY(in.Read(block.get(), kBlock, &got));
    if (got == 0) return Status::Ok();
    result->crc = Crc16(result->crc, block.get(), got);
    LZH_TRY(out.Write(block.get(), got));
    result->original_size += got;
    result->packed_size += got;
  }
}

}  // namespace

Status EncodeMember(Method method, ByteSource& in, ByteSink& out, uint64_t give_up_at,
                    EncodeResult* result, unsigned threads) {
  *result = EncodeResult{};
  switch (method) {
    case Method::kLh0:
      return CopyStored(in, out, result);
    case Method::kLh1:
      return EncodeAdaptiveHuffman(in, out, give_up_at, result);
    case Method::kLh5:
    case Method::kLh6:
    case Method::kLh7:
      return EncodeStaticHuffman(method, in, out, give_up_at, threads, result);
    default:
      return Status::Unsupported("unsupported method for writing");
  }
}

}  // namespace lzh
