// Win32 implementation of the OS layer, with the ANSI (code-page) calls:
// names stay in the ANSI code page as the archive and the user gave them.
// Windows has no openat(); a directory is its path, and every child is
// checked for a reparse point (a link or junction) before it is used.
#ifdef _WIN32

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

#include "os.h"

namespace lzh::os {
namespace {

Status ErrorStatus(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Status::Io("no space left on the device");
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return Status::Io("permission denied");
    case ERROR_WRITE_PROTECT: return Status::Io("read-only file system");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Status::Io("no such file or directory");
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Status::Io("already exists");
    case ERROR_FILENAME_EXCED_RANGE: return Status::Io("name too long");
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return Status::NoMemory();
    default: return Status::Io("input/output error");
  }
}

Status LastError() { return ErrorStatus(GetLastError()); }

constexpr int64_t kFiletimeUnixOffset = 116444736000000000LL;  // 1601 to 1970 in 100 ns

FILETIME ToFiletime(int64_t unix_time) {
  uint64_t ticks = static_cast<uint64_t>(unix_time * 10000000LL + kFiletimeUnixOffset);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

int64_t FromFiletime(const FILETIME& ft) {
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (static_cast<int64_t>(ticks) - kFiletimeUnixOffset) / 10000000LL;
}

EntryType TypeOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryType::kSymlink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryType::kDirectory;
  return EntryType::kFile;
}

std::string Join(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory == ".") return name;
  char last = directory.back();
  return last == '\\' || last == '/' ? directory + name : directory + "\\" + name;
}

// Volume and file index of an entry itself (a link is not followed);
// unknown when it cannot be opened even for its attributes.
FileIdentity IdentityOf(const std::string& path) {
  FileIdentity identity;
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return identity;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info))
    identity = FileIdentity{info.dwVolumeSerialNumber,
                            (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
  CloseHandle(h);
  return identity;
}

}  // namespace

std::string NativePath(std::string_view path) { return std::string(path); }

Status Inspect(const std::string& path, EntryInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      *info = EntryInfo{};
      return Status::Ok();
    }
    return ErrorStatus(error);
  }
  info->type = TypeOf(data.dwFileAttributes);
  info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info->mtime = FromFiletime(data.ftLastWriteTime);
  FileIdentity identity = IdentityOf(path);
  info->device = identity.device;
  info->file_id = identity.file;
  return Status::Ok();
}

Status InspectTarget(const std::string& path, EntryInfo* info) {
  LZH_TRY(Inspect(path, info));
  if (info->type == EntryType::kSymlink) info->type = EntryType::kOther;
  return Status::Ok();
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_) CloseHandle(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

File::~File() {
  if (handle_) CloseHandle(handle_);
}

Status File::OpenRead(const std::string& path, File* file) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = h;
  return Status::Ok();
}

bool File::is_open() const { return handle_ != nullptr; }

Status File::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  DWORD want = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
  DWORD n = 0;
  if (!ReadFile(handle_, buffer, want, &n, nullptr)) return LastError();
  *got = n;
  return Status::Ok();
}

Status File::ReadAt(uint64_t offset, uint8_t* buffer, size_t capacity, size_t* got) {
  LZH_TRY(Seek(offset));
  return Read(buffer, capacity, got);
}

Status File::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!WriteFile(handle_, data, chunk, &n, nullptr)) return LastError();
    if (n == 0) return Status::Io("no space left on the device");
    data += n;
    size -= n;
  }
  return Status::Ok();
}

Status File::Seek(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN)) return LastError();
  return Status::Ok();
}

Status File::Size(uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(handle_, &value)) return LastError();
  *size = static_cast<uint64_t>(value.QuadPart);
  return Status::Ok();
}

Status File::Sync() {
  if (!FlushFileBuffers(handle_)) return LastError();
  return Status::Ok();
}

Status File::Truncate(uint64_t size) {
  LARGE_INTEGER here, zero, target;
  zero.QuadPart = 0;
  target.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(handle_, zero, &here, FILE_CURRENT)) return LastError();
  if (!SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) return LastError();
  if (!SetFilePointerEx(handle_, here, nullptr, FILE_BEGIN)) return LastError();
  return Status::Ok();
}

Status File::SetModificationTime(int64_t mtime) {
  FILETIME ft = ToFiletime(mtime);
  if (!SetFileTime(handle_, nullptr, nullptr, &ft)) return LastError();
  return Status::Ok();
}

Status File::Close() {
  if (!handle_) return Status::Ok();
  BOOL ok = CloseHandle(handle_);
  handle_ = nullptr;
  if (!ok) return LastError();
  return Status::Ok();
}

Directory::Directory(Directory&& other) noexcept : path_(std::move(other.path_)) {}

Directory& Directory::operator=(Directory&& other) noexcept {
  path_ = std::move(other.path_);
  return *this;
}

Directory::~Directory() = default;

Status Directory::Open(const std::string& path, Directory* directory) {
  std::string native = path.empty() ? std::string(".") : path;
  DWORD attributes = GetFileAttributesA(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Status::Io("not a directory");
  directory->path_ = native;
  return Status::Ok();
}

Status Directory::OpenChild(const std::string& name, bool create, Directory* child) const {
  std::string path = Join(path_, name);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!create) return LastError();
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return LastError();
    attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Status::Io("a symbolic link stands on the path");
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Status::Io("not a directory");
  child->path_ = path;
  return Status::Ok();
}

Status Directory::Lookup(const std::string& name, EntryInfo* info) const {
  return Inspect(Join(path_, name), info);
}

// The read-only bit comes later, from SetMode, once the data is written.
// Shared for deletion only, so that an interruption can remove the file
// while it is being written (RemoveOnInterrupt).
Status Directory::CreateNewFile(const std::string& name, uint32_t, File* file) const {
  HANDLE h = ::CreateFileA(Join(path_, name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = h;
  return Status::Ok();
}

Status Directory::Rename(const std::string& from, const std::string& to) const {
  if (!MoveFileExA(Join(path_, from).c_str(), Join(path_, to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return LastError();
  return Status::Ok();
}

Status Directory::Remove(const std::string& name) const {
  if (!DeleteFileA(Join(path_, name).c_str())) return LastError();
  return Status::Ok();
}

Status Directory::CreateSymlink(const std::string&, const std::string&) const {
  return Status::Unsupported("symbolic links are not created on this system");
}

Status Directory::SetModificationTime(const std::string& name, int64_t mtime) const {
  HANDLE h = ::CreateFileA(Join(path_, name).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  FILETIME ft = ToFiletime(mtime);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  if (!ok) return LastError();
  return Status::Ok();
}

Status Directory::SetMode(const std::string& name, uint32_t mode) const {
  // Windows keeps only the read-only bit of a Unix mode.
  std::string path = Join(path_, name);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Status::Ok();
  DWORD wanted = (mode & 0200) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                               : (attributes | FILE_ATTRIBUTE_READONLY);
  if (wanted != attributes && !SetFileAttributesA(path.c_str(), wanted)) return LastError();
  return Status::Ok();
}

Status Directory::SetOwner(const std::string&, uint32_t, uint32_t) const { return Status::Ok(); }

Status Directory::FreeSpace(uint64_t* bytes) const {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(path_.c_str(), &available, nullptr, nullptr)) return LastError();
  *bytes = available.QuadPart;
  return Status::Ok();
}

Status Directory::List(std::vector<DirectoryEntry>* entries) const {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(Join(path_, "*").c_str(), &data);
  entries->clear();
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Status::Ok() : ErrorStatus(error);
  }
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    bool hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    entries->push_back(DirectoryEntry{name, TypeOf(data.dwFileAttributes), hidden});
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return Status::Ok();
}

Status MakeDirectories(const std::string& path) {
  // Failures on the way (a drive root, an existing parent) do not matter;
  // only whether the directory exists at the end does.
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
      ++i;
      continue;
    }
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    if (i == 0 || path[i - 1] == ':') continue;
    CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Status::Io("cannot create the directory");
  return Status::Ok();
}

bool ToLocalTime(int64_t unix_time, LocalTime* local) {
  FILETIME utc = ToFiletime(unix_time), local_ft;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(&utc, &local_ft) || !FileTimeToSystemTime(&local_ft, &parts)) return false;
  *local = LocalTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
  return true;
}

// Windows has no file-size signal.
FileSizeLimitAsError::FileSizeLimitAsError() = default;
FileSizeLimitAsError::~FileSizeLimitAsError() = default;

Status Describe(const std::string& path, FileDetails* details) {
  *details = FileDetails{};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Status::Ok();
    return ErrorStatus(error);
  }
  // Reparse points (links, junctions) are neither followed nor stored.
  details->type = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::kOther
                                                                          : TypeOf(data.dwFileAttributes);
  details->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  details->mtime = FromFiletime(data.ftLastWriteTime);
  details->hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
  details->identity = IdentityOf(path);
  return Status::Ok();
}

uint32_t NameCodePage() { return GetACP(); }

std::string ExecutablePath() {
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

uint8_t ArchiveOsId() { return 'W'; }

Status RenameFile(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastError();
  return Status::Ok();
}

bool UserMayWrite(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

Status RemoveFile(const std::string& path) {
  if (!DeleteFileA(path.c_str())) return LastError();
  return Status::Ok();
}

Status SyncDirectory(const std::string&) { return Status::Ok(); }

bool ProcessIsRunning(uint32_t process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD state = WaitForSingleObject(process, 0);
  CloseHandle(process);
  return state == WAIT_TIMEOUT;
}

// A lock file opened without sharing and deleted when its handle closes,
// also when the process dies: a second opener is refused until then.
Status ExclusiveLock::Acquire(const std::string& lock_path, int wait_seconds, const std::function<void()>& waiting,
                              ExclusiveLock* lock) {
  const DWORD kPollMilliseconds = 50;
  bool announced = false;
  for (long waited = 0;; waited += kPollMilliseconds) {
    HANDLE h = ::CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      if (lock->handle_) CloseHandle(lock->handle_);
      lock->handle_ = h;
      lock->path_ = lock_path;
      return Status::Ok();
    }
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return ErrorStatus(error);
    if (!announced) waiting();
    announced = true;
    if (waited >= wait_seconds * 1000L) return Status::Io("another process is changing the archive");
    Sleep(kPollMilliseconds);
  }
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_) CloseHandle(handle_);
}

namespace {

constexpr int kInterruptSlots = 4;
char interrupt_paths[kInterruptSlots][MAX_PATH + 1];
volatile LONG interrupt_slot_used[kInterruptSlots];
int interrupt_users = 0;

BOOL WINAPI RemoveOnConsoleEvent(DWORD) {
  for (int i = 0; i < kInterruptSlots; ++i)
    if (interrupt_slot_used[i]) DeleteFileA(interrupt_paths[i]);
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
  const std::string path = directory ? Join(directory->path_, name) : name;
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_slot_used[i] || path.size() >= sizeof interrupt_paths[i]) continue;
    std::memcpy(interrupt_paths[i], path.c_str(), path.size() + 1);
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

bool SymlinksSupported() { return false; }

uint32_t ProcessId() { return GetCurrentProcessId(); }

uint32_t ProcessUmask() { return 0; }

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void WriteStderr(std::string_view text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

bool AskOnTerminal(std::string_view question, std::string* answer) {
  HANDLE in = ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(in);
    return false;
  }
  DWORD count;
  WriteFile(out, question.data(), static_cast<DWORD>(question.size()), &count, nullptr);
  answer->clear();
  char c;
  while (ReadFile(in, &c, 1, &count, nullptr) && count == 1 && c != '\n') {
    if (c != '\r' && answer->size() < 256) answer->push_back(c);
  }
  CloseHandle(out);
  CloseHandle(in);
  return true;
}

void TakeLocale() {}

bool LocaleIsUtf8() { return false; }

bool UsesAnsiCodePage() { return true; }

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

bool ConvertToUtf8(std::string_view text, uint32_t code_page, std::string* utf8) {
  if (text.empty()) {
    utf8->clear();
    return true;
  }
  int size = static_cast<int>(text.size());
  int wide_size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wide_size <= 0) return false;
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wide_size);
  int out_size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (out_size <= 0) return false;
  std::string out(static_cast<size_t>(out_size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(), out_size, nullptr, nullptr);
  *utf8 = std::move(out);
  return true;
}

bool NameCaseMatters() { return false; }

bool MapToLegalName(std::string* component) {
  std::string& name = *component;
  bool mapped = false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(name[i]);
    if (IsDBCSLeadByte(byte) && i + 1 < name.size()) {
      ++i;  // a trail byte may look like '|' and is not one
      continue;
    }
    if (byte < 0x20 || std::strchr("<>:\"|?*", byte) != nullptr) {
      name[i] = '_';
      mapped = true;
    }
  }
  // No trail byte is a dot or a blank, so the end can be read backwards.
  for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) {
    name[i - 1] = '_';
    mapped = true;
  }
  // Device names stay devices whatever extension follows them.
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  bool device = stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
                stem[3] >= '0' && stem[3] <= '9';
  for (const char* name_of_device : kDevices) device = device || stem == name_of_device;
  if (device) {
    name.insert(0, 1, '_');
    mapped = true;
  }
  return mapped;
}

// --- Worker ----------------------------------------------------------------

// The self-extracting program is built without exceptions (and never
// starts a worker): there a failure ends the process where it happens.
void Worker::RunWork() noexcept {
#if __cpp_exceptions
  try {
    work_();
  } catch (...) {
    failure_ = std::current_exception();
  }
#else
  work_();
#endif
}

// Win32 threads directly: the MinGW toolchain's win32 thread model has no
// std::thread.
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

void Worker::Join() {
  Wait();
#if __cpp_exceptions
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
#endif
}

}  // namespace lzh::os

#endif  // _WIN32
