// POSIX locks and interrupt clean-up: flock() on a lock file, and signal
// handlers that only unlinkat() (safe in a handler) before re-raising.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iterator>

#include "os/directory.h"
#include "os/lock.h"
#include "os/posix/posix.h"

namespace lzh::os {

using posix::ErrnoStatus;
using posix::LastError;


uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

bool ProcessIsRunning(uint32_t process_id) {
  return kill(static_cast<pid_t>(process_id), 0) == 0 || errno != ESRCH;
}

// flock() on a lock file that the holder removes before it lets go. A
// waiter that then wins the lock holds a removed file: it notices that
// the path no longer names its file and tries again.
Status ExclusiveLock::Acquire(const std::string& lock_path, int wait_seconds, const std::function<void()>& waiting,
                              ExclusiveLock* lock) {
  const int kPollMilliseconds = 50;
  bool announced = false;
  for (long waited = 0;; waited += kPollMilliseconds) {
    int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return LastError();
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat held, named;
      if (fstat(fd, &held) == 0 && stat(lock_path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        if (lock->handle_ != kNoHandle) ::close(lock->handle_);
        lock->handle_ = fd;
        lock->path_ = lock_path;
        return Status::Ok();
      }
      ::close(fd);
      continue;  // won a lock file that its holder had removed
    }
    int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK && error != EINTR) return ErrnoStatus(error);
    if (!announced) waiting();
    announced = true;
    if (waited >= wait_seconds * 1000L) return Status::Io("another process is changing the archive");
    struct timespec pause = {0, kPollMilliseconds * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_ == kNoHandle) return;
  unlink(path_.c_str());
  ::close(handle_);
}

namespace {

constexpr int kInterruptSlots = 16;
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
// A slot's file is interrupt_paths[i] relative to interrupt_directories[i]
// (AT_FDCWD for a path of the user's); unlinkat() is safe in a handler.
char interrupt_paths[kInterruptSlots][4096];
int interrupt_directories[kInterruptSlots];
volatile sig_atomic_t interrupt_slot_used[kInterruptSlots];
bool interrupt_installed[std::size(kInterruptSignals)];
int interrupt_users = 0;

extern "C" void RemoveAndResignal(int signal_number) {
  for (int i = 0; i < kInterruptSlots; ++i)
    if (interrupt_slot_used[i]) unlinkat(interrupt_directories[i], interrupt_paths[i], 0);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) { Register(nullptr, path); }

RemoveOnInterrupt::RemoveOnInterrupt(const Directory& directory, const std::string& name) {
  Register(&directory, name);
}

void RemoveOnInterrupt::Register(const Directory* directory, const std::string& path) {
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_slot_used[i] || path.size() >= sizeof interrupt_paths[i]) continue;
    std::memcpy(interrupt_paths[i], path.c_str(), path.size() + 1);
    interrupt_directories[i] = directory ? directory->handle_ : AT_FDCWD;
    interrupt_slot_used[i] = 1;
    slot_ = i;
    break;
  }
  if (slot_ < 0 || interrupt_users++ > 0) return;
  for (size_t k = 0; k < std::size(kInterruptSignals); ++k) {
    struct sigaction current;
    interrupt_installed[k] = false;
    if (sigaction(kInterruptSignals[k], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action = {};
    action.sa_handler = RemoveAndResignal;
    sigemptyset(&action.sa_mask);
    interrupt_installed[k] = sigaction(kInterruptSignals[k], &action, nullptr) == 0;
  }
}

RemoveOnInterrupt::~RemoveOnInterrupt() {
  if (slot_ < 0) return;
  interrupt_slot_used[slot_] = 0;
  if (--interrupt_users > 0) return;
  for (size_t k = 0; k < std::size(kInterruptSignals); ++k)
    if (interrupt_installed[k]) ::signal(kInterruptSignals[k], SIG_DFL);
}

}  // namespace lzh::os
