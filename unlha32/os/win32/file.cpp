// Win32 files: wide calls on UTF-8 paths (WidePath), 64-bit offsets on the
// 32-bit build, and the facts of an entry from its attributes. A reparse
// point (a link or junction) is reported, never followed.
#include <windows.h>

#include <string_view>
#include <utility>

#include "os/file.h"
#include "os/win32/win32.h"

namespace lzh::os {

using win32::AsHandle;
using win32::ErrorStatus;
using win32::FromFiletime;
using win32::FromHandle;
using win32::IdentityOf;
using win32::kKeptAttributes;
using win32::LastError;
using win32::Narrow;
using win32::ToFiletime;
using win32::TypeOf;
using win32::WidePath;

std::string NativePath(std::string_view path) { return std::string(path); }

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory == ".") return name;
  char last = directory.back();
  return last == '\\' || last == '/' ? directory + name : directory + "\\" + name;
}

std::string_view WithoutLongPathPrefix(std::string_view path) {
  auto separator = [&path](size_t at) { return path.size() > at && (path[at] == '\\' || path[at] == '/'); };
  if (!separator(0) || !separator(1) || path.size() < 3 || path[2] != '?' || !separator(3)) return path;
  path.remove_prefix(4);
  if (path.starts_with("UNC") && separator(3)) path.remove_prefix(4);
  return path;
}

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNoHandle) CloseHandle(AsHandle(handle_));
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

File::~File() {
  if (handle_ != kNoHandle) CloseHandle(AsHandle(handle_));
}

Status File::OpenRead(const std::string& path, File* file) {
  HANDLE h = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = FromHandle(h);
  return Status::Ok();
}

Status File::Create(const std::string& path, File* file) {
  HANDLE h = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = FromHandle(h);
  return Status::Ok();
}

Status File::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  DWORD want = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
  DWORD n = 0;
  if (!ReadFile(AsHandle(handle_), buffer, want, &n, nullptr)) return LastError();
  *got = n;
  return Status::Ok();
}

// The offset travels with the call (OVERLAPPED on a synchronous handle),
// so threads sharing the handle never move each other's position.
Status File::ReadAt(uint64_t offset, uint8_t* buffer, size_t capacity, size_t* got) {
  DWORD want = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  *got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, want, &n, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return Status::Ok();
    return LastError();
  }
  *got = n;
  return Status::Ok();
}

Status File::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!WriteFile(AsHandle(handle_), data, chunk, &n, nullptr)) return LastError();
    if (n == 0) return Status::Io("no space left on the device");
    data += n;
    size -= n;
  }
  return Status::Ok();
}

Status File::Seek(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN)) return LastError();
  return Status::Ok();
}

Status File::Size(uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(AsHandle(handle_), &value)) return LastError();
  *size = static_cast<uint64_t>(value.QuadPart);
  return Status::Ok();
}

Status File::Sync() {
  if (!FlushFileBuffers(AsHandle(handle_))) return LastError();
  return Status::Ok();
}

Status File::Truncate(uint64_t size) {
  LARGE_INTEGER here, zero, target;
  zero.QuadPart = 0;
  target.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(AsHandle(handle_), zero, &here, FILE_CURRENT)) return LastError();
  if (!SetFilePointerEx(AsHandle(handle_), target, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(handle_)))
    return LastError();
  if (!SetFilePointerEx(AsHandle(handle_), here, nullptr, FILE_BEGIN)) return LastError();
  return Status::Ok();
}

Status File::SetModificationTime(int64_t mtime) {
  FILETIME ft = ToFiletime(mtime);
  if (!SetFileTime(AsHandle(handle_), nullptr, nullptr, &ft)) return LastError();
  return Status::Ok();
}

Status File::Close() {
  if (handle_ == kNoHandle) return Status::Ok();
  BOOL ok = CloseHandle(AsHandle(handle_));
  handle_ = kNoHandle;
  if (!ok) return LastError();
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

std::string ProgramName(const std::string& name) {
  size_t dot = name.rfind('.');
  return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".exe";
}

uint8_t ArchiveOsId() { return 'W'; }

bool UserMayWrite(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

Status SyncDirectory(const std::string&) { return Status::Ok(); }

bool SymlinksSupported() { return false; }

uint32_t ProcessUmask() { return 0; }

}  // namespace lzh::os
