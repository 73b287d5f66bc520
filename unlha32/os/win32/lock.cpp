// Win32 locks and interrupt clean-up: a lock file deleted when its handle
// closes, and a console control handler that removes temporary files.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "os/directory.h"
#include "os/lock.h"
#include "os/win32/win32.h"

namespace lzh::os {

using win32::AsHandle;
using win32::ErrorStatus;
using win32::FromHandle;
using win32::WidePath;

uint32_t ProcessId() { return GetCurrentProcessId(); }

bool ProcessIsRunning(uint32_t process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD state = WaitForSingleObject(process, 0);
  CloseHandle(process);
  return state == WAIT_TIMEOUT;
}

// A lock file opened without sharing and deleted when its handle closes,
// also when the process dies: a second opener is refused until then, with
// a sharing violation, or with "access denied" while the file is on its
// way out. Only then is the lock held: "access denied" where there is no
// lock file is a folder the user may not write to.
Status ExclusiveLock::Acquire(const std::string& lock_path, int wait_seconds, const std::function<void()>& waiting,
                              ExclusiveLock* lock) {
  const DWORD kPollMilliseconds = 50;
  const std::wstring wide = WidePath(lock_path);
  bool announced = false;
  for (long waited = 0;; waited += kPollMilliseconds) {
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      if (lock->handle_ != kNoHandle) CloseHandle(AsHandle(lock->handle_));
      lock->handle_ = FromHandle(h);
      lock->path_ = lock_path;
      return Status::Ok();
    }
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      DWORD attributes = GetFileAttributesW(wide.c_str());
      bool leaving = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() == ERROR_ACCESS_DENIED
                                                           : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      if (!leaving) return ErrorStatus(error);
    } else if (error != ERROR_SHARING_VIOLATION) {
      return ErrorStatus(error);
    }
    if (!announced) waiting();
    announced = true;
    if (waited >= wait_seconds * 1000L) return Status::Io("another process is changing the archive");
    Sleep(kPollMilliseconds);
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_ != kNoHandle) CloseHandle(AsHandle(handle_));
}

namespace {

constexpr int kInterruptSlots = 16;
wchar_t interrupt_paths[kInterruptSlots][1024];
volatile LONG interrupt_slot_used[kInterruptSlots];
int interrupt_users = 0;

BOOL WINAPI RemoveOnConsoleEvent(DWORD) {
  for (int i = 0; i < kInterruptSlots; ++i)
    if (interrupt_slot_used[i]) DeleteFileW(interrupt_paths[i]);
  return FALSE;  // and let the default handling end the process
}

}  // namespace

RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) { Register(nullptr, path); }

RemoveOnInterrupt::RemoveOnInterrupt(const Directory& directory, const std::string& name) {
  Register(&directory, name);
}

// The handler runs on a thread of its own while the file is still open:
// it can remove the file only because files are created with
// FILE_SHARE_DELETE (CreateNewFile); the removal completes when the
// process ends and its handles close.
void RemoveOnInterrupt::Register(const Directory* directory, const std::string& name) {
  const std::wstring path = WidePath(directory ? JoinPath(directory->path_, name) : name);
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_slot_used[i] || path.size() >= std::size(interrupt_paths[i])) continue;
    std::memcpy(interrupt_paths[i], path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    interrupt_slot_used[i] = 1;
    slot_ = i;
    break;
  }
  if (slot_ >= 0 && interrupt_users++ == 0) SetConsoleCtrlHandler(RemoveOnConsoleEvent, TRUE);
}

RemoveOnInterrupt::~RemoveOnInterrupt() {
  if (slot_ < 0) return;
  interrupt_slot_used[slot_] = 0;
  if (--interrupt_users == 0) SetConsoleCtrlHandler(RemoveOnConsoleEvent, FALSE);
}

}  // namespace lzh::os
