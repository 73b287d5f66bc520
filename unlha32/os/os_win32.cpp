// Win32 implementation of the OS layer, with the wide (UTF-16) calls
// throughout. The library's names are UTF-8 and every call converts its
// path once (WidePath), so that no name is squeezed through the ANSI code
// page, which would lose a character it has no form for or, worse, put a
// look-alike in its place that names another file. A path longer than the
// plain calls take is made absolute and given the \\?\ form.
//
// Windows has no openat(); a directory is its path, and every child is
// checked for a reparse point (a link or junction) before it is used.
// Text for the caller (reports, progress, questions) leaves in the ANSI
// code page, a character it has no form for written as its code point.
#ifdef _WIN32

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "os/os.h"
#include "base/utf8.h"

namespace lzh::os {
namespace {

Status ErrorStatus(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Status::Io("no space left on the device");
    case ERROR_ACCESS_DENIED: return Status::Io("access denied");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return Status::Io("in use by another program");
    case ERROR_WRITE_PROTECT: return Status::Io("read-only file system");
    case ERROR_FILE_NOT_FOUND: return Status::Io("no such file or directory");
    case ERROR_PATH_NOT_FOUND: return Status::Io("a folder on the path does not exist");
    case ERROR_DIRECTORY: return Status::Io("not a directory");
    case ERROR_INVALID_NAME: return Status::Io("not a name this system takes");
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Status::Io("already exists");
    case ERROR_FILENAME_EXCED_RANGE: return Status::Io("name too long");
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return Status::NoMemory();
    default: return Status::Io("input/output error");
  }
}

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Narrow(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                      nullptr);
  return text;
}

// `wide` in `code_page` when every character has an exact form there
// (never a best-fit look-alike, never the default character).
bool ExactlyIn(std::wstring_view wide, UINT code_page, std::string* out) {
  if (wide.empty()) {
    out->clear();
    return true;
  }
  BOOL defaulted = FALSE;
  int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, &defaulted);
  if (size <= 0 || defaulted) return false;
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, &defaulted);
  if (defaulted) return false;
  *out = std::move(text);
  return true;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

// Every call takes paths of up to this length as they are (CreateDirectory
// stops 12 short of MAX_PATH, the room of an 8.3 name).
constexpr DWORD kPlainPathLimit = MAX_PATH - 12;

// The path as the wide calls take it: '\' between components and, when it
// is longer than the plain calls take, absolute in the \\?\ form (which
// leaves '/', "." and ".." to the caller, so GetFullPathName resolves them
// first).
std::wstring WidePath(std::string_view path) {
  std::wstring wide = Wide(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (wide.starts_with(L"\\\\?\\")) return wide;
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0 || needed <= kPlainPathLimit) return wide;
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  if (full.starts_with(L"\\\\.\\")) return full;  // a device
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

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
  HANDLE h = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
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
  HANDLE h = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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
  DWORD attributes = GetFileAttributesW(WidePath(native).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Status::Io("not a directory");
  directory->path_ = native;
  return Status::Ok();
}

Status Directory::OpenChild(const std::string& name, bool create, Directory* child) const {
  std::string path = Join(path_, name);
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!create) return LastError();
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return LastError();
    attributes = GetFileAttributesW(wide.c_str());
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
  HANDLE h = ::CreateFileW(WidePath(Join(path_, name)).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = h;
  return Status::Ok();
}

Status Directory::Rename(const std::string& from, const std::string& to) const {
  if (!MoveFileExW(WidePath(Join(path_, from)).c_str(), WidePath(Join(path_, to)).c_str(), MOVEFILE_REPLACE_EXISTING))
    return LastError();
  return Status::Ok();
}

Status Directory::Remove(const std::string& name) const {
  if (!DeleteFileW(WidePath(Join(path_, name)).c_str())) return LastError();
  return Status::Ok();
}

Status Directory::CreateSymlink(const std::string&, const std::string&) const {
  return Status::Unsupported("symbolic links are not created on this system");
}

Status Directory::SetModificationTime(const std::string& name, int64_t mtime) const {
  HANDLE h = ::CreateFileW(WidePath(Join(path_, name)).c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  FILETIME ft = ToFiletime(mtime);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  if (!ok) return LastError();
  return Status::Ok();
}

Status Directory::SetMode(const std::string&, uint32_t) const { return Status::Ok(); }

Status Directory::SetAttributes(const std::string& name, uint8_t attributes) const {
  DWORD wanted = attributes & kKeptAttributes;
  if (!SetFileAttributesW(WidePath(Join(path_, name)).c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL))
    return LastError();
  return Status::Ok();
}

Status Directory::SetOwner(const std::string&, uint32_t, uint32_t) const { return Status::Ok(); }

Status Directory::FreeSpace(uint64_t* bytes) const {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(WidePath(path_).c_str(), &available, nullptr, nullptr)) return LastError();
  *bytes = available.QuadPart;
  return Status::Ok();
}

Status Directory::List(std::vector<DirectoryEntry>* entries) const {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(WidePath(Join(path_, "*")).c_str(), &data);
  entries->clear();
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Status::Ok() : ErrorStatus(error);
  }
  do {
    std::string name = Narrow(data.cFileName, CP_UTF8);
    if (name == "." || name == "..") continue;
    bool hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    entries->push_back(DirectoryEntry{name, TypeOf(data.dwFileAttributes), hidden});
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return Status::Ok();
}

Status MakeDirectories(const std::string& path) {
  // Failures on the way (a drive root, an existing parent) do not matter;
  // only whether the directory exists at the end does.
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    if (i == 0 || path[i - 1] == ':') continue;
    CreateDirectoryW(WidePath(path.substr(0, i)).c_str(), nullptr);
  }
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
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
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
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
  details->attributes = static_cast<uint8_t>(data.dwFileAttributes & kKeptAttributes);
  details->identity = IdentityOf(path);
  return Status::Ok();
}

bool ToStoredNames(std::vector<std::string>* components, bool room_for_code_page, uint32_t* code_page) {
  if (!room_for_code_page || GetACP() == 932) {
    std::vector<std::string> shift_jis(components->size());
    bool exact = true;
    for (size_t i = 0; i < components->size() && exact; ++i)
      exact = ExactlyIn(Wide((*components)[i]), 932, &shift_jis[i]);
    if (exact) {
      *components = std::move(shift_jis);
      *code_page = 932;
      return true;
    }
  }
  if (!room_for_code_page) return false;
  *code_page = CP_UTF8;
  return true;
}

std::string ExecutablePath() {
  // Paths reach 32767 characters in the \\?\ form.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) return Narrow(std::wstring_view(path).substr(0, length), CP_UTF8);
    if (path.size() > 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

uint8_t ArchiveOsId() { return 'W'; }

Status RenameFile(const std::string& from, const std::string& to) {
  if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastError();
  return Status::Ok();
}

bool UserMayWrite(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

Status RemoveFile(const std::string& path) {
  if (!DeleteFileW(WidePath(path).c_str())) return LastError();
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
      if (lock->handle_) CloseHandle(lock->handle_);
      lock->handle_ = h;
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
  if (handle_) CloseHandle(handle_);
}

namespace {

constexpr int kInterruptSlots = 4;
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
  const std::wstring path = WidePath(directory ? Join(directory->path_, name) : name);
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

bool SymlinksSupported() { return false; }

uint32_t ProcessId() { return GetCurrentProcessId(); }

uint32_t ProcessUmask() { return 0; }

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

// `text` is the caller's (the ANSI code page). A console gets it as UTF-16;
// anything else gets the bytes, with '\n' as CR LF when `crlf`.
void WriteText(HANDLE handle, std::string_view text, bool crlf) {
  DWORD mode, written;
  if (GetConsoleMode(handle, &mode)) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::string bytes;
  for (char c : text) {
    if (c == '\n' && crlf) bytes += '\r';
    bytes += c;
  }
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void WriteStderr(std::string_view text) { WriteText(GetStdHandle(STD_ERROR_HANDLE), text, false); }

void WriteStdout(std::string_view text) { WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text, true); }

bool AskOnTerminal(std::string_view question, std::string* answer) {
  HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(in);
    return false;
  }
  WriteText(out, question, false);
  DWORD count;
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

bool LocaleIsUtf8() { return true; }

bool UsesAnsiCodePage() { return true; }

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

std::string TextFromCaller(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return Narrow(wide, CP_UTF8);
}

namespace {

// Upper-case hex digits, at least `digits` of them. Not printf: the
// self-extracting program, which reaches this, must stay small, and
// MinGW's printf brings its whole floating-point formatting along.
void AppendHex(std::string* out, uint32_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  char text[8];
  int length = 0;
  do {
    text[length++] = kHex[value & 15];
    value >>= 4;
  } while (value != 0 || length < digits);
  while (length > 0) *out += text[--length];
}

}  // namespace

// A line at a time when the ANSI code page has every character of it;
// else character by character, so that each one without an ANSI form is
// shown by its code point.
std::string TextForCaller(std::string_view text) {
  const UINT ansi = GetACP();
  std::string whole;
  if (IsAscii(text) || ansi == CP_UTF8) return std::string(text);
  if (IsValidUtf8(text) && ExactlyIn(Wide(text), ansi, &whole)) return whole;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t code_point = 0;
    size_t length = Utf8SequenceLength(text, i, &code_point);
    if (length == 0) {  // a stray byte: shown as the reports show one
      out += "\\x";
      AppendHex(&out, static_cast<uint8_t>(text[i]), 2);
      ++i;
      continue;
    }
    std::string character;
    if (ExactlyIn(Wide(text.substr(i, length)), ansi, &character)) {
      out += character;
    } else {
      out += "\\u{";
      AppendHex(&out, code_point, 1);
      out += '}';
    }
    i += length;
  }
  return out;
}

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

uint32_t AnsiCodePage() { return GetACP(); }

bool NameCaseMatters() { return false; }

bool MapToLegalName(std::string* component) {
  std::string& name = *component;
  bool mapped = false;
  for (size_t i = 0, length; i < name.size(); i += length) {
    unsigned char byte = static_cast<unsigned char>(name[i]);
    uint32_t code_point = 0;
    length = Utf8SequenceLength(name, i, &code_point);
    if (length == 0 || (length == 1 && (byte < 0x20 || std::strchr("<>:\"|?*", byte) != nullptr))) {
      name[i] = '_';
      length = 1;
      mapped = true;
    }
  }
  // No byte of a UTF-8 sequence is a dot or a blank, so the end can be
  // read backwards.
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
