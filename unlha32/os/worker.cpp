// What the worker does on every platform: run the work and carry a failure
// back to Join. The thread itself is os/posix/worker.cpp or
// os/win32/worker.cpp.
#include "os/worker.h"

#include <utility>

namespace lzh::os {

// --- Worker ----------------------------------------------------------------

// The self-extracting program is built without exceptions (and never
// starts a worker): there a failure ends the process where it happens.
void Worker::RunWork() noexcept {
#if __cpp_exceptions
  try {
    work_();
  } catch (...) {
    failure_ = std::current_exception();
  }
#else
  work_();
#endif
}

void Worker::Join() {
  Wait();
#if __cpp_exceptions
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
#endif
}

}  // namespace lzh::os
