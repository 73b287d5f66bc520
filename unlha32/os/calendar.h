// The C runtime's local calendar, both ways, in its 64-bit forms on every
// platform: what os/dos_time.cpp makes the stamps with. Private to os/;
// os/posix/time.cpp and os/win32/time.cpp implement it. It is not
// ToLocalTime: on Windows that is the system's conversion, which applies
// the summer-time rule of today to every date, while stamps have always
// been made with the C runtime's, and must read as they did.
#pragma once

#include <cstdint>
#include <ctime>

namespace lzh::os::calendar {

// False when the C runtime cannot convert `unix_time`.
bool ToLocal(int64_t unix_time, std::tm* tm);
// -1 when `tm` names no time the C runtime can convert.
int64_t FromLocal(std::tm* tm);

}  // namespace lzh::os::calendar
