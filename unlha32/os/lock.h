// Locks between processes and clean-up when the process is interrupted:
// what keeps two processes that change one archive, or extract into one
// directory, from spoiling each other's work or leaving debris.
//
// The lock's system handle is opaque (a descriptor on POSIX, a HANDLE on
// Windows, -1 when none), so that this header holds no platform's types;
// os/posix/lock.cpp and os/win32/lock.cpp implement it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/status.h"

namespace lzh::os {

class Directory;

// Part of the names of temporary files, so that two processes extracting
// into one directory do not collide.
uint32_t ProcessId();
// False only when the process is known to be gone.
bool ProcessIsRunning(uint32_t process_id);

// An exclusive lock between processes, held on a lock file that exists
// only while some process holds it. Acquire waits up to `wait_seconds`
// for another holder, then fails; `waiting` is called once, as soon as it
// finds the lock held, so that the user hears why nothing happens.
class ExclusiveLock {
 public:
  ExclusiveLock() = default;
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock();

  static Status Acquire(const std::string& lock_path, int wait_seconds, const std::function<void()>& waiting,
                        ExclusiveLock* lock);
  const std::string& path() const { return path_; }

 private:
  static constexpr intptr_t kNoHandle = -1;
  std::string path_;
  intptr_t handle_ = kNoHandle;
};

// While alive, an interruption of the process (SIGINT, SIGTERM, SIGHUP;
// Ctrl+C, Ctrl+Break or a console close on Windows) first removes the file
// `path`, a temporary file that must not outlive the process, and then
// takes its usual course. Interruptions the program handles itself are
// left to it. At most sixteen such files at a time (an extraction has one
// for each member in flight).
class RemoveOnInterrupt {
 public:
  explicit RemoveOnInterrupt(const std::string& path);
  // The file `name` in `directory`, which must outlive this object: found
  // through the open directory, however deep it lies.
  RemoveOnInterrupt(const Directory& directory, const std::string& name);
  ~RemoveOnInterrupt();
  RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
  RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;

 private:
  // `directory` null: `name` is a path of the caller's.
  void Register(const Directory* directory, const std::string& name);

  int slot_ = -1;
};

}  // namespace lzh::os
