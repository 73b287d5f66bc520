// DecodeMember: turns one member's compressed data back into its bytes.
//
// Every value in the stream is untrusted. The declared original size is a
// limit, not a promise: output stops exactly there, and a stream that ends
// before it is an error. Input is read at most up to the declared
// compressed size. Memory is the window plus fixed buffers.
#pragma once

#include <cstdint>

#include "codec/method.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

// Decodes `compressed_size` bytes from `in` (a method in which CanDecode
// holds) into exactly `original_size` bytes written to `out`, and returns
// the CRC-16 of those bytes in `*crc`. It does not compare the CRC: the
// caller knows the expected value and the member name for the message.
Status DecodeMember(Method method, ByteSource& in, uint64_t compressed_size,
                    uint64_t original_size, ByteSink& out, uint16_t* crc);

}  // namespace lzh
