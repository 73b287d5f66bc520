// ThreadPool: a fixed set of threads that run the pieces of one long job,
// such as the chunks of a large member being packed.
//
// The caller's thread is one of the pool's: a pool of n threads starts n - 1
// helpers, and a caller waiting for a task runs queued tasks itself
// meanwhile, so no core idles while work is queued and a pool of one runs
// every task on the caller in the order submitted, without a thread. Tasks
// run in any order on any thread: what a task computes must depend on its
// own inputs only. The helpers live as long as the pool, never longer than
// the call that made it, so that no thread of the library outlives its
// caller's job (or the library, when a host unloads it).
//
// Its own library, like mutex.h its own header: the MinGW toolchain's win32
// thread model has neither std::thread nor std::condition_variable, so
// this is Win32 threads and condition variables on Windows and pthreads
// elsewhere (os/thread_native.h), behind a pointer so that no system
// header leaks out.
#pragma once

#include <exception>

namespace lzh::os {

// The threads a long job should use: the processors this process may run
// on, or fewer when the environment variable UNLHA32_THREADS holds a smaller
// positive number (UNLHA32_THREADS=1 makes every job run on its caller's
// thread alone, for comparisons and tests).
unsigned UsableThreads();

class ThreadPool {
 public:
  class Task {
   public:
    virtual void Run() = 0;

   protected:
    ~Task() = default;

   private:
    friend class ThreadPool;
    Task* next_ = nullptr;
    bool done_ = false;
    std::exception_ptr failure_;  // thrown out of Run (out of memory)
  };

  // `threads` counts the caller's; at least 1. Where no thread can be made
  // the pool has fewer helpers, down to none.
  explicit ThreadPool(unsigned threads);
  // Tasks still queued are dropped; those running are finished first.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Queues `task`, which must stay alive until Wait(task) returns.
  void Submit(Task& task);
  // Returns once `task` has run, running queued tasks on this thread while
  // it waits; an exception `task` threw is thrown again here.
  void Wait(Task& task);

 private:
  struct Native;
  friend struct HelperEntry;  // a helper thread's entry, in the implementation

  // Takes the oldest queued task, or null when none is; with the lock held.
  Task* TakeLocked();
  // Runs `task` without the lock and marks it done.
  void RunTask(Task& task);
  void HelperLoop();

  Native* native_;
  Task* first_ = nullptr;
  Task* last_ = nullptr;
  bool stopping_ = false;
};

}  // namespace lzh::os
