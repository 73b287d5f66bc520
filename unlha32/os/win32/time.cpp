// Win32 time: the system's local-time conversion and the tick count.
#include <windows.h>

#include "os/time.h"
#include "os/win32/win32.h"

namespace lzh::os {

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
