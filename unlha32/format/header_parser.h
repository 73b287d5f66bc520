// ParseHeader: one member header, any level (0-3), from untrusted bytes.
//
// The parser sees the bytes from the header's first byte on, as many as the
// input holds up to kMaxHeaderBytes, and never trusts a length: every size
// and every extended header is checked against what the bytes hold, the
// level-1 skip size and kMaxHeaderBytes. Every extended header advances at
// least three bytes, so a chain cannot loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/status.h"
#include "format/member_header.h"

namespace lzh {

// A level-2 header states at most 65535 bytes; some writers end the
// extended-header chain a little past that size. No real header is larger.
inline constexpr size_t kMaxHeaderBytes = 65536 + 1024;
// Offset 21 is the last byte every header level has.
inline constexpr size_t kMinHeaderBytes = 22;

// What ParseHeader holds a header to. kLayout leaves out the checks that
// one damaged byte fails while the layout still stands (the method id, the
// level-0/1 checksum and the header CRC), so that a damaged header can be
// told from bytes that are no header at all.
enum class HeaderChecks : uint8_t { kAll, kLayout };

// Parses the header at the start of `bytes`, which lies at `header_offset`
// in the archive. `bytes` must hold min(kMaxHeaderBytes, bytes left in the
// input); a header that needs more is "truncated header". Fills every field
// of `header`, including header_length and data_offset. Does not look at
// the data (a packed size past the end of the input is the walker's
// business). The first byte must not be 0 (that is the end of an archive).
Status ParseHeader(std::span<const uint8_t> bytes, uint64_t header_offset, MemberHeader* header,
                   HeaderChecks checks = HeaderChecks::kAll);

}  // namespace lzh
