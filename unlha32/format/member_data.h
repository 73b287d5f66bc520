// ExtractMemberData: one member's original bytes, decoded from the archive
// and checked against the header's CRC.
#pragma once

#include "base/status.h"
#include "base/stream.h"
#include "format/member_header.h"
#include "format/reader.h"

namespace lzh {

// Decodes the member described by `header` (as the walker returned it) into
// `out`, reading exactly its packed range [data_offset, data_offset +
// packed_size). Directory and link entries have no data and write nothing.
// Errors: "unsupported method -lh2-" (kUnsupported, by name for the rare
// methods known to exist), the codec's data errors ("truncated data", "bad
// Huffman table", ...), "CRC mismatch". Bytes already given to `out` before
// an error must be discarded by the caller.
Status ExtractMemberData(RandomAccessReader& reader, const MemberHeader& header, ByteSink& out);

}  // namespace lzh
