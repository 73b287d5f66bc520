// Result: how a whole command ended, as the exported Unlha() returns it.
//
// A command touches many members, and several things can go wrong in one
// run; the values are ordered by severity so that the run's result is
// simply the worst outcome seen (Worse()). The exported header repeats
// these numbers for C callers.
#pragma once

#include <algorithm>

#include "base/status.h"

namespace lzh::commands {

enum class Result : int {
  kOk = 0,
  kSkipped = 1,      // some members or file arguments were left out (kept, refused, unmatched)
  kUnsupported = 2,  // some members use a method that is not decoded
  kDamaged = 3,      // damaged data: CRC mismatch, corrupt stream or header, truncation
  kIoError = 4,      // the system refused a read or a write (disk full, read-only, ...)
  kNotArchive = 5,   // the archive is missing, unreadable or no LZH archive
  kBadCommand = 6,   // the command line was not understood; nothing was done
  kInternal = 7,     // out of memory or an unexpected failure inside the library
};

inline Result Worse(Result a, Result b) { return std::max(a, b); }

// The result a failed member operation contributes.
inline Result ResultFor(Fault fault) {
  switch (fault) {
    case Fault::kNone: return Result::kOk;
    case Fault::kUnsupported: return Result::kUnsupported;
    case Fault::kTruncated:
    case Fault::kCorrupt: return Result::kDamaged;
    case Fault::kTooLarge:
    case Fault::kIo: return Result::kIoError;
    case Fault::kNoMemory: return Result::kInternal;
  }
  return Result::kInternal;
}

}  // namespace lzh::commands
