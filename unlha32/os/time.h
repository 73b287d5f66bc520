// Time: the local calendar time of a Unix time and a clock for pacing.
//
// Local time depends on the system's time-zone rules, so it lives here
// rather than in the layers that show or store it; os/posix/time.cpp and
// os/win32/time.cpp implement it.
#pragma once

#include <cstdint>

namespace lzh::os {

// Broken-down local time of a Unix time; false when it has none.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
bool ToLocalTime(int64_t unix_time, LocalTime* local);

// Milliseconds on a clock that only moves forward, for pacing the progress
// line.
uint64_t MonotonicMilliseconds();

}  // namespace lzh::os
