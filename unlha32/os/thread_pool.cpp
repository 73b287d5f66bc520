// The thread pool: the queue and the waiting, written once on top of the
// native calls of os/thread_native.h.
#include "os/thread_pool.h"

#include <cstdlib>

#include "os/thread_native.h"

namespace lzh::os {

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
