// POSIX worker thread: a std::thread.
#include <system_error>
#include <thread>

#include "os/worker.h"

namespace lzh::os {

void Worker::Start(std::function<void()> work) {
  Join();
  work_ = std::move(work);
#if __cpp_exceptions
  try {
    thread_ = new std::thread(&Worker::RunWork, this);
  } catch (const std::system_error&) {
    RunWork();  // no thread to be had: the work is done here
  }
#else
  thread_ = new std::thread(&Worker::RunWork, this);
#endif
}

void Worker::Wait() {
  if (auto* thread = static_cast<std::thread*>(thread_)) {
    thread->join();
    delete thread;
    thread_ = nullptr;
  }
  work_ = nullptr;
}

}  // namespace lzh::os
