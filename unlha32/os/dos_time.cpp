// MS-DOS stamps packed from and unpacked into the local calendar
// (os/calendar.h), written once for every platform.
#include "os/calendar.h"
#include "os/time.h"

namespace lzh::os {

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
  int64_t t = calendar::FromLocal(&tm);
  if (t == -1) return false;
  *unix_time = t;
  return true;
}

uint32_t UnixToDosTime(int64_t unix_time) {
  std::tm tm{};
  // A time the C library cannot convert lies before 1970 or far ahead.
  if (!calendar::ToLocal(unix_time, &tm)) return unix_time < 0 ? kEarliestDosTime : kLatestDosTime;
  if (tm.tm_year < 80) return kEarliestDosTime;
  if (tm.tm_year > 207) return kLatestDosTime;
  return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
         (static_cast<uint32_t>(tm.tm_mon + 1) << 21) |
         (static_cast<uint32_t>(tm.tm_mday) << 16) | (static_cast<uint32_t>(tm.tm_hour) << 11) |
         (static_cast<uint32_t>(tm.tm_min) << 5) | (static_cast<uint32_t>(tm.tm_sec) / 2);
}

}  // namespace lzh::os
