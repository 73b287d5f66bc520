// os::Mutex on Windows: a CRITICAL_SECTION, which never fails once made on
// current Windows.
#include <windows.h>

#include "os/mutex.h"

namespace lzh::os {

Mutex::Mutex() : native_(new CRITICAL_SECTION) { InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }
Mutex::~Mutex() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(native_));
  delete static_cast<CRITICAL_SECTION*>(native_);
}
void Mutex::Lock() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }
void Mutex::Unlock() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }

}  // namespace lzh::os
