// POSIX files: descriptors with 64-bit offsets, lstat and stat for the
// facts of an entry, and the path calls.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "os/file.h"
#include "os/posix/posix.h"
#include "os/text.h"

namespace lzh::os {

using posix::ErrnoStatus;
using posix::FillInfo;
using posix::LastError;
using posix::Times;
using posix::TypeOf;

std::string NativePath(std::string_view path) {
  std::string native(path);
  for (size_t i = 0; i < native.size(); ++i) {
    if (IsLeadByte(static_cast<uint8_t>(native[i])) && i + 1 < native.size())
      ++i;  // a trail byte 0x5C is part of the character, no separator
    else if (native[i] == '\\')
      native[i] = '/';
  }
  return native;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory == ".") return name;
  char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

std::string_view WithoutLongPathPrefix(std::string_view path) { return path; }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNoHandle) ::close(handle_);
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

File::~File() {
  if (handle_ != kNoHandle) ::close(handle_);
}

Status File::OpenRead(const std::string& path, File* file) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Status::Io("is a directory");
  }
  *file = File();
  file->handle_ = fd;
  return Status::Ok();
}

Status File::Create(const std::string& path, File* file) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  *file = File();
  file->handle_ = fd;
  return Status::Ok();
}

Status File::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  for (;;) {
    ssize_t n = ::read(handle_, buffer, capacity);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno != EINTR) return LastError();
  }
}

Status File::ReadAt(uint64_t offset, uint8_t* buffer, size_t capacity, size_t* got) {
  for (;;) {
    ssize_t n = ::pread(handle_, buffer, capacity, static_cast<off_t>(offset));
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno != EINTR) return LastError();
  }
}

Status File::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(handle_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status File::Seek(uint64_t offset) {
  if (lseek(handle_, static_cast<off_t>(offset), SEEK_SET) < 0) return LastError();
  return Status::Ok();
}

Status File::Size(uint64_t* size) {
  struct stat st;
  if (fstat(handle_, &st) != 0) return LastError();
  *size = static_cast<uint64_t>(st.st_size);
  return Status::Ok();
}

Status File::Sync() {
  if (fsync(handle_) != 0) return LastError();
  return Status::Ok();
}

Status File::Truncate(uint64_t size) {
  if (ftruncate(handle_, static_cast<off_t>(size)) != 0) return LastError();
  return Status::Ok();
}

Status File::SetModificationTime(int64_t mtime) {
  if (futimens(handle_, Times(mtime).value) != 0) return LastError();
  return Status::Ok();
}

Status File::Close() {
  if (handle_ == kNoHandle) return Status::Ok();
  int result = ::close(handle_);
  handle_ = kNoHandle;
  // A close can be the first to report a failed delayed write.
  if (result != 0 && errno != EINTR) return LastError();
  return Status::Ok();
}

Status MakeDirectories(const std::string& path) {
  std::string native = NativePath(path);
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i < native.size() && native[i] != '/') continue;
    std::string prefix = native.substr(0, i);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return LastError();
  }
  return Status::Ok();
}

FileSizeLimitAsError::FileSizeLimitAsError() {
  struct sigaction current;
  if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    signal(SIGXFSZ, SIG_IGN);
    restore_ = true;
  }
}

FileSizeLimitAsError::~FileSizeLimitAsError() {
  if (restore_) signal(SIGXFSZ, SIG_DFL);
}

Status Describe(const std::string& path, FileDetails* details) {
  *details = FileDetails{};
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Status::Ok();
    return LastError();
  }
  details->type = TypeOf(st.st_mode);
  details->size = static_cast<uint64_t>(st.st_size);
  details->mtime = st.st_mtime;
  size_t slash = path.find_last_of('/');
  std::string_view base = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  details->hidden = !base.empty() && base[0] == '.' && base != "." && base != "..";
  details->has_unix = true;
  details->mode = static_cast<uint16_t>(st.st_mode);
  details->uid = static_cast<uint32_t>(st.st_uid);
  details->gid = static_cast<uint32_t>(st.st_gid);
  details->identity = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), true};
  char buffer[4096];
  struct passwd user, *found_user = nullptr;
  if (getpwuid_r(st.st_uid, &user, buffer, sizeof buffer, &found_user) == 0 && found_user != nullptr)
    details->user = found_user->pw_name;
  struct group group, *found_group = nullptr;
  if (getgrgid_r(st.st_gid, &group, buffer, sizeof buffer, &found_group) == 0 && found_group != nullptr)
    details->group = found_group->gr_name;
  if (S_ISLNK(st.st_mode)) {
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return LastError();
    // A link that grew between lstat and readlink reads as cut short.
    if (static_cast<size_t>(length) >= target.size()) return Status::Io("the link changed while being read");
    target.resize(static_cast<size_t>(length));
    details->link_target = std::move(target);
  }
  return Status::Ok();
}

std::string ExecutablePath() {
  // Linux names the program's file here even when it was started through
  // a link or from a directory that has changed since.
  std::string path(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return std::string();
  path.resize(static_cast<size_t>(length));
  return path;
}

std::string ProgramName(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name + ".run" : name.substr(0, dot);
}

uint8_t ArchiveOsId() { return 'U'; }

bool UserMayWrite(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return true;
  return (st.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

Status SyncDirectory(const std::string& path) {
  int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  int result = fsync(fd);
  int error = errno;
  ::close(fd);
  // Some file systems cannot sync a directory; the rename stands anyway.
  if (result != 0 && error != EINVAL && error != EROFS) return ErrnoStatus(error);
  return Status::Ok();
}

bool SymlinksSupported() { return true; }

uint32_t ProcessUmask() {
  // Reading the mask without changing it: /proc on Linux; elsewhere the
  // set-and-restore pair, which is brief.
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        std::fclose(status);
        return static_cast<uint32_t>(std::strtoul(line + 6, nullptr, 8));
      }
    }
    std::fclose(status);
  }
  mode_t mask = umask(022);
  umask(mask);
  return mask;
}

}  // namespace lzh::os
