// BuildHeader: the bytes of a member header at level 0, 1 or 2, in the
// strict form every reader accepts (level 2 always with its header CRC).
#pragma once

#include <cstdint>
#include <vector>

#include "base/status.h"
#include "format/member_header.h"

namespace lzh {

inline constexpr uint64_t kFourGiB = uint64_t{1} << 32;

// True when a member's sizes need extended header 0x42 (and so level 2).
inline bool NeedsWideSizes(uint64_t packed_size, uint64_t original_size) {
  return packed_size >= kFourGiB || original_size >= kFourGiB;
}

// The time nearest to `mtime` that a header of `level` keeps. Levels 0
// and 1 keep an MS-DOS stamp (local time, 1980 to 2107) and, with a Unix
// time beside it (`with_unix_time`: the Unix fields are written), both
// must agree; every Unix time is an unsigned 32-bit number (1970 to
// 2106-02-07), which level 2 keeps alone.
int64_t StorableTime(int64_t mtime, int level, bool with_unix_time);

// Writes the header of `header` at `level` into *out (replacing its
// contents). Uses: method, packed_size, original_size, crc, mtime, os_id,
// the Unix fields (written when has_unix_mode: the 'U' extension in level 0
// when os_id is 'U', extended headers 0x50-0x54 in levels 1 and 2), code
// page, comment (levels 1, 2), attribute, path, is_directory, is_symlink,
// link_target. The attribute (read-only, hidden, system, and archive for a
// file; 0x10 marks a directory) goes into the base byte at level 0, and
// into extended header 0x40 at levels 1 and 2 when read-only, hidden or
// system is set: their base byte is always 0x20. A time the level cannot keep is written as the nearest
// one it can (StorableTime), never wrapped.
//
// `wide_sizes` forces the 64-bit size header so that a placeholder written
// before the sizes are known has the length of the final header; it is
// implied when the sizes need it. The length of the result depends only on
// the level, the names, the metadata present and `wide_sizes`, never on
// sizes, CRC or time.
//
// Refusals (kTooLarge): 4 GiB members or wide sizes at levels 0 and 1, a
// level-0 name longer than a 257-byte header holds, a level-1 skip size or
// a level-2 header beyond their 32- and 16-bit fields.
Status BuildHeader(const MemberHeader& header, int level, bool wide_sizes,
                   std::vector<uint8_t>* out);

}  // namespace lzh
