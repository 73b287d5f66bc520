// POSIX directories: an open descriptor and the *at() calls with
// O_NOFOLLOW, so a symbolic link that appears on a path between a check
// and a write still cannot be followed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "os/directory.h"
#include "os/posix/posix.h"

namespace lzh::os {

using posix::ErrnoStatus;
using posix::FillInfo;
using posix::LastError;
using posix::Times;

Directory::Directory(Directory&& other) noexcept : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = kNoHandle;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(handle_);
    path_ = std::move(other.path_);
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

Directory::~Directory() {
  if (handle_ >= 0) ::close(handle_);
}

Status Directory::Open(const std::string& path, Directory* directory) {
  std::string native = path.empty() ? std::string(".") : NativePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  *directory = Directory();
  directory->handle_ = fd;
  directory->path_ = native;
  return Status::Ok();
}

Directory Directory::Working() {
  Directory working;
  working.handle_ = AT_FDCWD;
  working.path_.push_back('.');  // not = ".": g++ 12 warns falsely of overlapping copies there
  return working;
}

Status Directory::OpenChild(const std::string& name, bool create, Directory* child) const {
  int fd = ::openat(handle_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT && create) {
    if (mkdirat(handle_, name.c_str(), 0777) != 0 && errno != EEXIST) return LastError();
    fd = ::openat(handle_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) return LastError();
  *child = Directory();
  child->handle_ = fd;
  child->path_ = path_ == "." ? name : path_ + "/" + name;
  return Status::Ok();
}

Status Directory::Lookup(const std::string& name, Link link, EntryInfo* info) const {
  struct stat st;
  if (fstatat(handle_, name.c_str(), &st, link == Link::kFollowed ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    // A path through a file, or a loop of links to be followed, leads to
    // nothing there.
    if (errno == ENOENT || errno == ENOTDIR || (errno == ELOOP && link == Link::kFollowed)) {
      *info = EntryInfo{};
      return Status::Ok();
    }
    return LastError();
  }
  FillInfo(st, info);
  return Status::Ok();
}

Status Directory::CreateNewFile(const std::string& name, uint32_t mode, File* file) const {
  int fd = ::openat(handle_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    static_cast<mode_t>(mode & 0777));
  if (fd < 0) return LastError();
  *file = File();
  file->handle_ = fd;
  return Status::Ok();
}

Status Directory::Rename(const std::string& from, const std::string& to) const {
  if (renameat(handle_, from.c_str(), handle_, to.c_str()) != 0) return LastError();
  return Status::Ok();
}

Status Directory::Remove(const std::string& name) const {
  if (unlinkat(handle_, name.c_str(), 0) != 0) return LastError();
  return Status::Ok();
}

Status Directory::CreateSymlink(const std::string& target, const std::string& name) const {
  if (symlinkat(target.c_str(), handle_, name.c_str()) != 0) return LastError();
  return Status::Ok();
}

Status Directory::SetModificationTime(const std::string& name, int64_t mtime) const {
  if (utimensat(handle_, name.c_str(), Times(mtime).value, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
  return Status::Ok();
}

Status Directory::SetMode(const std::string& name, uint32_t mode) const {
  // fchmodat cannot refuse links portably; open the entry itself instead.
  int fd = ::openat(handle_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  int result = fchmod(fd, static_cast<mode_t>(mode & 07777));
  int error = errno;
  ::close(fd);
  if (result != 0) return ErrnoStatus(error);
  return Status::Ok();
}

Status Directory::SetAttributes(const std::string&, uint8_t) const { return Status::Ok(); }

Status Directory::SetOwner(const std::string& name, uint32_t uid, uint32_t gid) const {
  int fd = ::openat(handle_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  // Only root may give a file away; a member of the group may still set it.
  int result = fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(gid));
  if (result != 0 && errno == EPERM) result = fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(gid));
  int error = errno;
  ::close(fd);
  if (result != 0) return ErrnoStatus(error);
  return Status::Ok();
}

Status Directory::FreeSpace(uint64_t* bytes) const {
  struct statvfs vfs;
  if (fstatvfs(handle_, &vfs) != 0) return LastError();
  *bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
  return Status::Ok();
}

Status Directory::List(std::vector<DirectoryEntry>* entries) const {
  int fd = ::openat(handle_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return LastError();
  }
  entries->clear();
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    EntryInfo info;
    Status status = Lookup(name, Link::kNotFollowed, &info);
    if (!status.ok()) {
      closedir(dir);
      return status;
    }
    entries->push_back(DirectoryEntry{name, info.type, name[0] == '.'});
  }
  closedir(dir);
  return Status::Ok();
}

}  // namespace lzh::os
