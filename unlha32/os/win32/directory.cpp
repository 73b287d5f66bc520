// Win32 directories. Windows has no openat(): a directory is its path, and
// every child is checked for a reparse point (a link or junction) before
// it is used.
#include <windows.h>

#include <utility>

#include "os/directory.h"
#include "os/win32/win32.h"

namespace lzh::os {

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

Directory Directory::Working() {
  Directory working;
  working.path_.push_back('.');  // not = ".": g++ 12 warns falsely of overlapping copies there
  return working;
}

Status Directory::OpenChild(const std::string& name, bool create, Directory* child) const {
  std::string path = JoinPath(path_, name);
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

Status Directory::Lookup(const std::string& name, Link link, EntryInfo* info) const {
  const std::string path = JoinPath(path_, name);
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
  if (info->type == EntryType::kSymlink && link == Link::kFollowed) info->type = EntryType::kOther;
  info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info->mtime = FromFiletime(data.ftLastWriteTime);
  FileIdentity identity = IdentityOf(path);
  info->device = identity.device;
  info->file_id = identity.file;
  return Status::Ok();
}

// The read-only bit comes later, from SetMode, once the data is written.
// Shared for deletion only, so that an interruption can remove the file
// while it is being written (RemoveOnInterrupt).
Status Directory::CreateNewFile(const std::string& name, uint32_t, File* file) const {
  HANDLE h = ::CreateFileW(WidePath(JoinPath(path_, name)).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  *file = File();
  file->handle_ = FromHandle(h);
  return Status::Ok();
}

Status Directory::Rename(const std::string& from, const std::string& to) const {
  // Written through: a rename that crosses volumes (a copy) is on the disk
  // when it returns, as replacing an archive needs.
  if (!MoveFileExW(WidePath(JoinPath(path_, from)).c_str(), WidePath(JoinPath(path_, to)).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastError();
  return Status::Ok();
}

Status Directory::Remove(const std::string& name) const {
  if (!DeleteFileW(WidePath(JoinPath(path_, name)).c_str())) return LastError();
  return Status::Ok();
}

Status Directory::CreateSymlink(const std::string&, const std::string&) const {
  return Status::Unsupported("symbolic links are not created on this system");
}

Status Directory::SetModificationTime(const std::string& name, int64_t mtime) const {
  HANDLE h = ::CreateFileW(WidePath(JoinPath(path_, name)).c_str(), FILE_WRITE_ATTRIBUTES,
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
  if (!SetFileAttributesW(WidePath(JoinPath(path_, name)).c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL))
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
  HANDLE search = FindFirstFileW(WidePath(JoinPath(path_, "*")).c_str(), &data);
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

}  // namespace lzh::os
