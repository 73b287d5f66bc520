// The Win32 helpers of win32.h.
#include "os/win32/win32.h"

namespace lzh::os::win32 {

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

FileIdentity IdentityOf(const std::string& path) {
  FileIdentity identity;
  HANDLE h = ::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return identity;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info))
    identity = FileIdentity{info.dwVolumeSerialNumber,
                            (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
  CloseHandle(h);
  return identity;
}

}  // namespace lzh::os::win32
