// Win32 time: the system's local-time conversion, the C runtime's 64-bit
// one, and the tick count.
#include <ctime>
#include <windows.h>

#include "os/calendar.h"
#include "os/time.h"
#include "os/win32/win32.h"

namespace lzh::os {

bool calendar::ToLocal(int64_t unix_time, std::tm* tm) {
  const __time64_t t = unix_time;
  return _localtime64_s(tm, &t) == 0;
}

int64_t calendar::FromLocal(std::tm* tm) { return _mktime64(tm); }

using win32::ToFiletime;

bool ToLocalTime(int64_t unix_time, LocalTime* local) {
  FILETIME utc = ToFiletime(unix_time), local_ft;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local_ft) || !FileTimeToSystemTime(&local_ft, &parts)) return false;
  *local = LocalTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
  return true;
}

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

}  // namespace lzh::os
