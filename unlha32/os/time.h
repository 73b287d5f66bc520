// Time: the local calendar time of a Unix time, the MS-DOS stamps of
// level-0 and level-1 headers, and a clock for pacing.
//
// Local time depends on the system's time-zone rules, so it lives here
// rather than in the layers that show or store it; os/posix/time.cpp and
// os/win32/time.cpp implement it, os/dos_time.cpp packs the stamps.
#pragma once

#include <cstdint>

namespace lzh::os {

// Broken-down local time of a Unix time; false when it has none.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
bool ToLocalTime(int64_t unix_time, LocalTime* local);

// MS-DOS time stamps. Both directions use the machine's local time zone,
// as the writers of those headers did, through the C runtime's 64-bit
// conversions (the 32-bit Windows build has a 32-bit time_t, which ends in
// 2038: the last stamps of 2107 would not convert, and a later time would
// wrap round to one long past).
//
// False for stamps that name no real time (date 0, month 0, hour 25, ...);
// listing such members must still work, so this is not an error.
bool DosTimeToUnix(uint32_t stamp, int64_t* unix_time);

// The first and the last stamp: 1980-01-01 00:00:00, 2107-12-31 23:59:58.
inline constexpr uint32_t kEarliestDosTime = (1u << 21) | (1u << 16);
inline constexpr uint32_t kLatestDosTime = 0xFF9FBF7Du;

// Times outside 1980..2107 are clamped to the nearest representable stamp.
uint32_t UnixToDosTime(int64_t unix_time);

// Milliseconds on a clock that only moves forward, for pacing the progress
// line.
uint64_t MonotonicMilliseconds();

}  // namespace lzh::os
