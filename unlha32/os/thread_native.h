// The few native calls under the thread pool: a lock, two condition
// variables, starting and joining helper threads, counting processors.
// Private to os/: os/thread_pool.cpp writes the queue and the waiting once
// on top of them; os/posix/thread_pool.cpp (pthreads) and
// os/win32/thread_pool.cpp (Win32 threads and condition variables, which
// the MinGW toolchain's win32 thread model offers where it has no
// std::thread) implement them.
#pragma once

#include "os/thread_pool.h"

namespace lzh::os {

// The processors this process may run on.
unsigned Processors();

// A helper thread's entry: the pool's loop.
struct HelperEntry {
  static void Run(ThreadPool* pool) { pool->HelperLoop(); }
};

struct ThreadPool::Native {
  Native();
  ~Native();
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;

  void Lock();
  void Unlock();
  void WaitForWork();     // a task was queued, or the pool is stopping
  void WaitForDone();     // a task has run
  void WakeOneHelper();
  void WakeAllHelpers();
  void WakeWaiters();
  bool StartHelper(ThreadPool* pool);
  void JoinHelpers();

  struct Parts;  // the platform's lock, condition variables and threads
  Parts* parts;
};

}  // namespace lzh::os
