// What the POSIX implementations of the OS layer share: errno as a
// Status, and the facts of a stat record. Private to os/posix/.
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "base/status.h"
#include "os/file.h"

namespace lzh::os::posix {

Status ErrnoStatus(int error);
Status LastError();
EntryType TypeOf(mode_t mode);
void FillInfo(const struct stat& st, EntryInfo* info);

// Modification time set, access time kept.
struct Times {
  struct timespec value[2];
  explicit Times(int64_t mtime) {
    value[0].tv_sec = 0;
    value[0].tv_nsec = UTIME_OMIT;
    value[1].tv_sec = static_cast<time_t>(mtime);
    value[1].tv_nsec = 0;
  }
};

}  // namespace lzh::os::posix
