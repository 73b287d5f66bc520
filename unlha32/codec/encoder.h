// EncodeMember: compresses one member's bytes with a method we write.
//
// The caller (the archive writer) decides whether to keep the result: when
// the packed data is not smaller than the original, or the encoder had to
// emit a member made only of one-symbol blocks (which one common reader
// refuses), the member is stored as -lh0- instead.
#pragma once

#include <cstdint>

#include "codec/method.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

struct EncodeResult {
  uint64_t original_size = 0;  // bytes taken from the source
  uint64_t packed_size = 0;    // bytes given to the sink
  uint16_t crc = 0;            // CRC-16 of the original bytes
  // True when the result must not be kept: packed_size reached
  // `give_up_at`, or the stream holds only one-symbol blocks.
  bool store_instead = false;
};

// Reads `in` to its end and writes the packed stream of `method` (lh1, lh5,
// lh6 or lh7) to `out`. When the packed size reaches `give_up_at`, the
// encoder stops writing early and sets store_instead (the source has then
// been read only partly: original_size and crc are not final).
//
// lh5, lh6 and lh7 parse a member longer than a chunk (1 MiB) on up to
// `threads` threads, the caller's among them; 0 means as many as the
// machine offers (os::UsableThreads). The output is the same whatever the
// number.
Status EncodeMember(Method method, ByteSource& in, ByteSink& out, uint64_t give_up_at,
                    EncodeResult* result, unsigned threads = 0);

}  // namespace lzh
