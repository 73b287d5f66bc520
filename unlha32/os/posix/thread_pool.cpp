// The thread pool's native calls on POSIX: pthreads, and the processors
// of the process's affinity mask.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <vector>

#include "os/thread_native.h"

namespace lzh::os {
namespace {

void* HelperMain(void* pool) {
  HelperEntry::Run(static_cast<ThreadPool*>(pool));
  return nullptr;
}

}  // namespace

unsigned Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

struct ThreadPool::Native::Parts {
  pthread_mutex_t lock;
  pthread_cond_t work;
  pthread_cond_t done;
  std::vector<pthread_t> helpers;
};

ThreadPool::Native::Native() : parts(new Parts) {
  pthread_mutex_init(&parts->lock, nullptr);
  pthread_cond_init(&parts->work, nullptr);
  pthread_cond_init(&parts->done, nullptr);
}

ThreadPool::Native::~Native() {
  pthread_cond_destroy(&parts->done);
  pthread_cond_destroy(&parts->work);
  pthread_mutex_destroy(&parts->lock);
  delete parts;
}

void ThreadPool::Native::Lock() { pthread_mutex_lock(&parts->lock); }
void ThreadPool::Native::Unlock() { pthread_mutex_unlock(&parts->lock); }
void ThreadPool::Native::WaitForWork() { pthread_cond_wait(&parts->work, &parts->lock); }
void ThreadPool::Native::WaitForDone() { pthread_cond_wait(&parts->done, &parts->lock); }
void ThreadPool::Native::WakeOneHelper() { pthread_cond_signal(&parts->work); }
void ThreadPool::Native::WakeAllHelpers() { pthread_cond_broadcast(&parts->work); }
void ThreadPool::Native::WakeWaiters() { pthread_cond_broadcast(&parts->done); }

bool ThreadPool::Native::StartHelper(ThreadPool* pool) {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, &HelperMain, pool) != 0) return false;
  parts->helpers.push_back(thread);
  return true;
}

void ThreadPool::Native::JoinHelpers() {
  for (pthread_t thread : parts->helpers) pthread_join(thread, nullptr);
}

}  // namespace lzh::os
