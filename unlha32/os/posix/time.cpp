// POSIX time: the C library's local time, both ways, and the monotonic
// clock.
#include <time.h>

#include <ctime>

#include "os/calendar.h"
#include "os/time.h"

namespace lzh::os {

bool calendar::ToLocal(int64_t unix_time, std::tm* tm) {
  const std::time_t t = static_cast<std::time_t>(unix_time);
  return localtime_r(&t, tm) != nullptr;
}

int64_t calendar::FromLocal(std::tm* tm) { return std::mktime(tm); }

bool ToLocalTime(int64_t unix_time, LocalTime* local) {
  time_t value = static_cast<time_t>(unix_time);
  struct tm parts;
  if (localtime_r(&value, &parts) == nullptr) return false;
  *local = LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min, parts.tm_sec};
  return true;
}

uint64_t MonotonicMilliseconds() {
  struct timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

}  // namespace lzh::os
