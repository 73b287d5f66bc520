// The thread pool: the queue and the waiting are written once; below them
// the few native calls each system needs (a lock, two condition variables,
// starting and joining a thread, counting processors).
#include "os/thread_pool.h"

#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#endif

namespace lzh::os {

struct HelperEntry {
  static void Run(ThreadPool* pool) { pool->HelperLoop(); }
};

#ifdef _WIN32

namespace {

unsigned Processors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

DWORD WINAPI HelperMain(void* pool) {
  HelperEntry::Run(static_cast<ThreadPool*>(pool));
  return 0;
}

}  // namespace

struct ThreadPool::Native {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE work;  // a task was queued, or the pool is stopping
  CONDITION_VARIABLE done;  // a task has run
  std::vector<HANDLE> helpers;

  Native() {
    InitializeCriticalSection(&lock);
    InitializeConditionVariable(&work);
    InitializeConditionVariable(&done);
  }
  ~Native() { DeleteCriticalSection(&lock); }
  void Lock() { EnterCriticalSection(&lock); }
  void Unlock() { LeaveCriticalSection(&lock); }
  void WaitForWork() { SleepConditionVariableCS(&work, &lock, INFINITE); }
  void WaitForDone() { SleepConditionVariableCS(&done, &lock, INFINITE); }
  void WakeOneHelper() { WakeConditionVariable(&work); }
  void WakeAllHelpers() { WakeAllConditionVariable(&work); }
  void WakeWaiters() { WakeAllConditionVariable(&done); }
  bool StartHelper(ThreadPool* pool) {
    HANDLE thread = CreateThread(nullptr, 0, &HelperMain, pool, 0, nullptr);
    if (!thread) return false;
    helpers.push_back(thread);
    return true;
  }
  void JoinHelpers() {
    for (HANDLE thread : helpers) {
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
  }
};

#else

namespace {

unsigned Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

void* HelperMain(void* pool) {
  HelperEntry::Run(static_cast<ThreadPool*>(pool));
  return nullptr;
}

}  // namespace

struct ThreadPool::Native {
  pthread_mutex_t lock;
  pthread_cond_t work;  // a task was queued, or the pool is stopping
  pthread_cond_t done;  // a task has run
  std::vector<pthread_t> helpers;

  Native() {
    pthread_mutex_init(&lock, nullptr);
    pthread_cond_init(&work, nullptr);
    pthread_cond_init(&done, nullptr);
  }
  ~Native() {
    pthread_cond_destroy(&done);
    pthread_cond_destroy(&work);
    pthread_mutex_destroy(&lock);
  }
  void Lock() { pthread_mutex_lock(&lock); }
  void Unlock() { pthread_mutex_unlock(&lock); }
  void WaitForWork() { pthread_cond_wait(&work, &lock); }
  void WaitForDone() { pthread_cond_wait(&done, &lock); }
  void WakeOneHelper() { pthread_cond_signal(&work); }
  void WakeAllHelpers() { pthread_cond_broadcast(&work); }
  void WakeWaiters() { pthread_cond_broadcast(&done); }
  bool StartHelper(ThreadPool* pool) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &HelperMain, pool) != 0) return false;
    helpers.push_back(thread);
    return true;
  }
  void JoinHelpers() {
    for (pthread_t thread : helpers) pthread_join(thread, nullptr);
  }
};

#endif

unsigned UsableThreads() {
  unsigned threads = Processors();
  if (threads == 0) threads = 1;
  if (const char* value = std::getenv("UNLHA32_THREADS")) {
    char* end = nullptr;
    unsigned long asked = std::strtoul(value, &end, 10);
    if (end != value && *end == '\0' && asked >= 1 && asked < threads) threads = static_cast<unsigned>(asked);
  }
  return threads;
}

ThreadPool::ThreadPool(unsigned threads) : native_(new Native) {
  for (unsigned i = 1; i < threads; ++i)
    if (!native_->StartHelper(this)) break;
}

ThreadPool::~ThreadPool() {
  native_->Lock();
  stopping_ = true;
  first_ = last_ = nullptr;
  native_->Unlock();
  native_->WakeAllHelpers();
  native_->JoinHelpers();
  delete native_;
}

void ThreadPool::Submit(Task& task) {
  task.next_ = nullptr;
  task.done_ = false;
  task.failure_ = nullptr;
  native_->Lock();
  (last_ ? last_->next_ : first_) = &task;
  last_ = &task;
  native_->Unlock();
  native_->WakeOneHelper();
}

void ThreadPool::Wait(Task& task) {
  native_->Lock();
  while (!task.done_) {
    if (Task* queued = TakeLocked()) {
      native_->Unlock();
      RunTask(*queued);
      native_->Lock();
    } else {
      native_->WaitForDone();
    }
  }
  native_->Unlock();
  if (task.failure_) std::rethrow_exception(task.failure_);
}

ThreadPool::Task* ThreadPool::TakeLocked() {
  Task* task = first_;
  if (!task) return nullptr;
  first_ = task->next_;
  if (!first_) last_ = nullptr;
  return task;
}

void ThreadPool::RunTask(Task& task) {
  try {
    task.Run();
  } catch (...) {
    task.failure_ = std::current_exception();
  }
  native_->Lock();
  task.done_ = true;
  native_->WakeWaiters();
  native_->Unlock();
}

void ThreadPool::HelperLoop() {
  native_->Lock();
  for (;;) {
    if (Task* task = TakeLocked()) {
      native_->Unlock();
      RunTask(*task);
      native_->Lock();
    } else if (stopping_) {
      break;
    } else {
      native_->WaitForWork();
    }
  }
  native_->Unlock();
}

}  // namespace lzh::os
