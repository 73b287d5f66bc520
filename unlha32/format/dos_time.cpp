// The conversions go through the C library's local-time functions; only the
// thread-safe localtime variant differs between POSIX and Windows.
#include "format/dos_time.h"

#include <ctime>

namespace lzh {

bool DosTimeToUnix(uint32_t stamp, int64_t* unix_time) {
  unsigned second = (stamp & 0x1F) * 2;
  unsigned minute = (stamp >> 5) & 0x3F;
  unsigned hour = (stamp >> 11) & 0x1F;
  unsigned day = (stamp >> 16) & 0x1F;
  unsigned month = (stamp >> 21) & 0x0F;
  unsigned year = (stamp >> 25) + 1980;
  if (second > 59 || minute > 59 || hour > 23 || day < 1 || month < 1 || month > 12)
    return false;
  std::tm tm{};
  tm.tm_sec = static_cast<int>(second);
  tm.tm_min = static_cast<int>(minute);
  tm.tm_hour = static_cast<int>(hour);
  tm.tm_mday = static_cast<int>(day);
  tm.tm_mon = static_cast<int>(month) - 1;
  tm.tm_year = static_cast<int>(year) - 1900;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return false;
  *unix_time = static_cast<int64_t>(t);
  return true;
}

uint32_t UnixToDosTime(int64_t unix_time) {
  std::time_t t = static_cast<std::time_t>(unix_time);
  std::tm tm{};
#ifdef _WIN32
  bool converted = localtime_s(&tm, &t) == 0;
#else
  bool converted = localtime_r(&t, &tm) != nullptr;
#endif
  if (!converted || tm.tm_year < 80) return kEarliestDosTime;
  if (tm.tm_year > 207) return kLatestDosTime;
  return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
         (static_cast<uint32_t>(tm.tm_mon + 1) << 21) |
         (static_cast<uint32_t>(tm.tm_mday) << 16) | (static_cast<uint32_t>(tm.tm_hour) << 11) |
         (static_cast<uint32_t>(tm.tm_min) << 5) | (static_cast<uint32_t>(tm.tm_sec) / 2);
}

}  // namespace lzh
