// os::Mutex on POSIX: a pthread mutex, which fails only on misuse, which
// the holder classes rule out.
#include <pthread.h>

#include "os/mutex.h"

namespace lzh::os {

Mutex::Mutex() : native_(new pthread_mutex_t) { pthread_mutex_init(static_cast<pthread_mutex_t*>(native_), nullptr); }
Mutex::~Mutex() {
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(native_));
  delete static_cast<pthread_mutex_t*>(native_);
}
void Mutex::Lock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(native_)); }
void Mutex::Unlock() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(native_)); }

}  // namespace lzh::os
