// Win32 worker thread: CreateThread directly, as the MinGW toolchain's
// win32 thread model has no std::thread.
#include <windows.h>

#include <utility>

#include "os/worker.h"

namespace lzh::os {

struct WorkerEntry {
  static DWORD WINAPI Run(void* worker) {
    static_cast<Worker*>(worker)->RunWork();
    return 0;
  }
};

void Worker::Start(std::function<void()> work) {
  Join();
  work_ = std::move(work);
  thread_ = CreateThread(nullptr, 0, &WorkerEntry::Run, this, 0, nullptr);
  if (!thread_) RunWork();  // no thread to be had: the work is done here
}

void Worker::Wait() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  work_ = nullptr;
}

}  // namespace lzh::os
