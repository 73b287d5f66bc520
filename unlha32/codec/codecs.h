// The per-family entry points behind DecodeMember and EncodeMember. Each
// family lives in its own file; these declarations are internal to the
// codec library.
#pragma once

#include <cstdint>

#include "codec/encoder.h"
#include "codec/method.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

// lh4, lh5, lh6, lh7; `threads` as EncodeMember takes it.
Status DecodeStaticHuffman(Method method, ByteSource& in, uint64_t compressed_size,
                           uint64_t original_size, ByteSink& out, uint16_t* crc);
Status EncodeStaticHuffman(Method method, ByteSource& in, ByteSink& out, uint64_t give_up_at,
                           unsigned threads, EncodeResult* result);

// lh1.
Status DecodeAdaptiveHuffman(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                             ByteSink& out, uint16_t* crc);
Status EncodeAdaptiveHuffman(ByteSource& in, ByteSink& out, uint64_t give_up_at,
                             EncodeResult* result);

// lzs and lz5.
Status DecodeLzs(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                 ByteSink& out, uint16_t* crc);
Status DecodeLz5(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                 ByteSink& out, uint16_t* crc);

}  // namespace lzh
