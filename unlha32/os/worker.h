// Worker: work done on a second thread while the caller goes on; the
// commands use it to keep both cores busy.
//
// Its own header beside mutex.h and thread_pool.h: the MinGW toolchain's
// win32 thread model has no std::thread, so the thread is an opaque
// pointer (a std::thread on POSIX, a Win32 thread handle on Windows);
// os/posix/worker.cpp and os/win32/worker.cpp implement it.
#pragma once

#include <exception>
#include <functional>

namespace lzh::os {

// Where no thread can be made, Start does the work in the caller before it
// returns, so callers need no other path. The work must not touch what the
// caller uses until Join returns.
class Worker {
 public:
  Worker() = default;
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  ~Worker() { Wait(); }  // a failure of the work is dropped here

  // Starts `work`; a worker runs one piece of work at a time (Start joins
  // the previous one first).
  void Start(std::function<void()> work);
  // Waits until the work has finished; nothing to do when none is running.
  // An exception the work threw (out of memory) is thrown again here.
  void Join();

 private:
  friend struct WorkerEntry;  // the thread's entry, in the implementation
  void RunWork() noexcept;
  void Wait();

  std::function<void()> work_;
  std::exception_ptr failure_;
  void* thread_ = nullptr;
};

}  // namespace lzh::os
