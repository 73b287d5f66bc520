// The two implementations of os::Mutex. Neither can fail once constructed:
// a CRITICAL_SECTION never does on current Windows, and a default pthread
// mutex fails only on misuse, which the holder classes rule out.
#include "os/mutex.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace lzh::os {

#ifdef _WIN32

Mutex::Mutex() : native_(new CRITICAL_SECTION) { InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }
Mutex::~Mutex() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(native_));
  delete static_cast<CRITICAL_SECTION*>(native_);
}
void Mutex::Lock() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }
void Mutex::Unlock() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }

#else

Mutex::Mutex() : native_(new pthread_mutex_t) { pthread_mutex_init(static_cast<pthread_mutex_t*>(native_), nullptr); }
Mutex::~Mutex() {
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(native_));
  delete static_cast<pthread_mutex_t*>(native_);
}
void Mutex::Lock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(native_)); }
void Mutex::Unlock() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(native_)); }

#endif

}  // namespace lzh::os
