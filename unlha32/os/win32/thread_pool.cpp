// The thread pool's native calls on Windows: Win32 threads, a
// CRITICAL_SECTION and condition variables.
#include <windows.h>

#include <vector>

#include "os/thread_native.h"

namespace lzh::os {
namespace {

DWORD WINAPI HelperMain(void* pool) {
  HelperEntry::Run(static_cast<ThreadPool*>(pool));
  return 0;
}

}  // namespace

unsigned Processors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

struct ThreadPool::Native::Parts {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE work;
  CONDITION_VARIABLE done;
  std::vector<HANDLE> helpers;
};

ThreadPool::Native::Native() : parts(new Parts) {
  InitializeCriticalSection(&parts->lock);
  InitializeConditionVariable(&parts->work);
  InitializeConditionVariable(&parts->done);
}

ThreadPool::Native::~Native() {
  DeleteCriticalSection(&parts->lock);
  delete parts;
}

void ThreadPool::Native::Lock() { EnterCriticalSection(&parts->lock); }
void ThreadPool::Native::Unlock() { LeaveCriticalSection(&parts->lock); }
void ThreadPool::Native::WaitForWork() { SleepConditionVariableCS(&parts->work, &parts->lock, INFINITE); }
void ThreadPool::Native::WaitForDone() { SleepConditionVariableCS(&parts->done, &parts->lock, INFINITE); }
void ThreadPool::Native::WakeOneHelper() { WakeConditionVariable(&parts->work); }
void ThreadPool::Native::WakeAllHelpers() { WakeAllConditionVariable(&parts->work); }
void ThreadPool::Native::WakeWaiters() { WakeAllConditionVariable(&parts->done); }

bool ThreadPool::Native::StartHelper(ThreadPool* pool) {
  HANDLE thread = CreateThread(nullptr, 0, &HelperMain, pool, 0, nullptr);
  if (!thread) return false;
  parts->helpers.push_back(thread);
  return true;
}

void ThreadPool::Native::JoinHelpers() {
  for (HANDLE thread : parts->helpers) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

}  // namespace lzh::os
