// Mutex: mutual exclusion between the threads of a caller of the library
// (a handle shared by two threads, the table of open handles).
//
// The MinGW toolchain's win32 thread model has no std::mutex: this is a
// CRITICAL_SECTION on Windows and a pthread mutex elsewhere (os/win32/
// mutex.cpp, os/posix/mutex.cpp), kept behind a pointer so that no system
// header leaks into the library's other layers.
#pragma once

namespace lzh::os {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock();
  void Unlock();

 private:
  void* native_;
};

// Holds a mutex for the lifetime of a scope.
class MutexHold {
 public:
  explicit MutexHold(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexHold() { mutex_.Unlock(); }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace lzh::os
