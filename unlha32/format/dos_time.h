// MS-DOS time stamps: the local-time stamps of level-0 and level-1 headers.
// Both directions use the machine's local time zone, as the writers of
// those headers did.
#pragma once

#include <cstdint>

namespace lzh {

// False for stamps that name no real time (date 0, month 0, hour 25, ...);
// listing such members must still work, so this is not an error.
bool DosTimeToUnix(uint32_t stamp, int64_t* unix_time);

// The first and the last stamp: 1980-01-01 00:00:00, 2107-12-31 23:59:58.
inline constexpr uint32_t kEarliestDosTime = (1u << 21) | (1u << 16);
inline constexpr uint32_t kLatestDosTime = 0xFF9FBF7Du;

// Times outside 1980..2107 are clamped to the nearest representable stamp.
uint32_t UnixToDosTime(int64_t unix_time);

}  // namespace lzh
