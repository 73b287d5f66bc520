// POSIX implementation of the OS layer. Directory work is done with the
// *at() calls on open descriptors and O_NOFOLLOW, so a symbolic link that
// appears on a path between a check and a write still cannot be followed.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <iconv.h>
#include <pwd.h>
#include <sys/file.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <system_error>
#include <thread>
#include <utility>

#include "os/os.h"

namespace lzh::os {
namespace {

Status ErrnoStatus(int error) {
  switch (error) {
    case ENOSPC: return Status::Io("no space left on the device");
    case EFBIG: return Status::Io("file too large (size limit reached)");
    case EDQUOT: return Status::Io("disk quota exceeded");
    case EACCES:
    case EPERM: return Status::Io("permission denied");
    case EROFS: return Status::Io("read-only file system");
    case ENOENT: return Status::Io("no such file or directory");
    case EEXIST: return Status::Io("already exists");
    case ELOOP: return Status::Io("a symbolic link stands on the path");
    case ENOTDIR: return Status::Io("not a directory");
    case EISDIR: return Status::Io("is a directory");
    case ENAMETOOLONG: return Status::Io("name too long");
    case EMFILE:
    case ENFILE: return Status::Io("too many open files");
    case ENOMEM: return Status::NoMemory();
    default: return Status::Io("input/output error");
  }
}

Status LastError() { return ErrnoStatus(errno); }

EntryType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryType::kFile;
  if (S_ISDIR(mode)) return EntryType::kDirectory;
  if (S_ISLNK(mode)) return EntryType::kSymlink;
  return EntryType::kOther;
}

void FillInfo(const struct stat& st, EntryInfo* info) {
  info->type = TypeOf(st.st_mode);
  info->size = static_cast<uint64_t>(st.st_size);
  info->mtime = st.st_mtime;
  info->device = static_cast<uint64_t>(st.st_dev);
  info->file_id = static_cast<uint64_t>(st.st_ino);
}

// Modification time set, access time kept.
struct Times {
  struct timespec value[2];
  explicit Times(int64_t mtime) {
    value[0].tv_sec = 0;
    value[0].tv_nsec = UTIME_OMIT;
    value[1].tv_sec = static_cast<time_t>(mtime);
    value[1].tv_nsec = 0;
  }
};

enum class Charset : uint8_t { kUnread, kUtf8, kShiftJis, kOther };

thread_local Charset taken_charset = Charset::kUnread;

std::string Lowered(std::string_view text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The character set a codeset name (SHIFT_JISX0213) or a locale name
// (ja_JP.SJIS@variant, its codeset between '.' and '@') gives. The Shift_JIS
// family goes by many names: glibc's SHIFT_JIS, SJIS, MS_KANJI, CSSHIFTJIS,
// SHIFT_JISX0213, Microsoft's CP932 and WINDOWS-31J, and SHIFT_JIS-2004.
Charset CharsetNamed(std::string_view name) {
  std::string lower = Lowered(name);
  if (lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos) return Charset::kUtf8;
  std::string_view codeset = lower;
  if (size_t dot = codeset.find('.'); dot != std::string_view::npos) codeset.remove_prefix(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  for (std::string_view known : {"sjis", "cp932", "windows-31j", "ms_kanji", "csshiftjis"})
    if (codeset == known) return Charset::kShiftJis;
  if (codeset.starts_with("shift_jis") || codeset.starts_with("shift-jis")) return Charset::kShiftJis;
  return Charset::kOther;
}

Charset TakenCharset() {
  if (taken_charset == Charset::kUnread) TakeLocale();
  return taken_charset;
}

}  // namespace

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

Status Inspect(const std::string& path, EntryInfo* info) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      *info = EntryInfo{};
      return Status::Ok();
    }
    return LastError();
  }
  FillInfo(st, info);
  return Status::Ok();
}

Status InspectTarget(const std::string& path, EntryInfo* info) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
      *info = EntryInfo{};
      return Status::Ok();
    }
    return LastError();
  }
  FillInfo(st, info);
  return Status::Ok();
}

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
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
  file->fd_ = fd;
  return Status::Ok();
}

bool File::is_open() const { return fd_ >= 0; }

Status File::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, capacity);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno != EINTR) return LastError();
  }
}

Status File::ReadAt(uint64_t offset, uint8_t* buffer, size_t capacity, size_t* got) {
  for (;;) {
    ssize_t n = ::pread(fd_, buffer, capacity, static_cast<off_t>(offset));
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno != EINTR) return LastError();
  }
}

Status File::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
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
  if (lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return LastError();
  return Status::Ok();
}

Status File::Size(uint64_t* size) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return LastError();
  *size = static_cast<uint64_t>(st.st_size);
  return Status::Ok();
}

Status File::Sync() {
  if (fsync(fd_) != 0) return LastError();
  return Status::Ok();
}

Status File::Truncate(uint64_t size) {
  if (ftruncate(fd_, static_cast<off_t>(size)) != 0) return LastError();
  return Status::Ok();
}

Status File::SetModificationTime(int64_t mtime) {
  if (futimens(fd_, Times(mtime).value) != 0) return LastError();
  return Status::Ok();
}

Status File::Close() {
  if (fd_ < 0) return Status::Ok();
  int result = ::close(fd_);
  fd_ = -1;
  // A close can be the first to report a failed delayed write.
  if (result != 0 && errno != EINTR) return LastError();
  return Status::Ok();
}

Directory::Directory(Directory&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) {
  other.fd_ = -1;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

Status Directory::Open(const std::string& path, Directory* directory) {
  std::string native = path.empty() ? std::string(".") : NativePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  *directory = Directory();
  directory->fd_ = fd;
  directory->path_ = native;
  return Status::Ok();
}

Status Directory::OpenChild(const std::string& name, bool create, Directory* child) const {
  int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT && create) {
    if (mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) return LastError();
    fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) return LastError();
  *child = Directory();
  child->fd_ = fd;
  child->path_ = path_ == "." ? name : path_ + "/" + name;
  return Status::Ok();
}

Status Directory::Lookup(const std::string& name, EntryInfo* info) const {
  struct stat st;
  if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      *info = EntryInfo{};
      return Status::Ok();
    }
    return LastError();
  }
  FillInfo(st, info);
  return Status::Ok();
}

Status Directory::CreateNewFile(const std::string& name, uint32_t mode, File* file) const {
  int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    static_cast<mode_t>(mode & 0777));
  if (fd < 0) return LastError();
  *file = File();
  file->fd_ = fd;
  return Status::Ok();
}

Status Directory::Rename(const std::string& from, const std::string& to) const {
  if (renameat(fd_, from.c_str(), fd_, to.c_str()) != 0) return LastError();
  return Status::Ok();
}

Status Directory::Remove(const std::string& name) const {
  if (unlinkat(fd_, name.c_str(), 0) != 0) return LastError();
  return Status::Ok();
}

Status Directory::CreateSymlink(const std::string& target, const std::string& name) const {
  if (symlinkat(target.c_str(), fd_, name.c_str()) != 0) return LastError();
  return Status::Ok();
}

Status Directory::SetModificationTime(const std::string& name, int64_t mtime) const {
  if (utimensat(fd_, name.c_str(), Times(mtime).value, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
  return Status::Ok();
}

Status Directory::SetMode(const std::string& name, uint32_t mode) const {
  // fchmodat cannot refuse links portably; open the entry itself instead.
  int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  int result = fchmod(fd, static_cast<mode_t>(mode & 07777));
  int error = errno;
  ::close(fd);
  if (result != 0) return ErrnoStatus(error);
  return Status::Ok();
}

Status Directory::SetAttributes(const std::string&, uint8_t) const { return Status::Ok(); }

Status Directory::SetOwner(const std::string& name, uint32_t uid, uint32_t gid) const {
  int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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
  if (fstatvfs(fd_, &vfs) != 0) return LastError();
  *bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
  return Status::Ok();
}

Status Directory::List(std::vector<DirectoryEntry>* entries) const {
  int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    Status status = Lookup(name, &info);
    if (!status.ok()) {
      closedir(dir);
      return status;
    }
    entries->push_back(DirectoryEntry{name, info.type, name[0] == '.'});
  }
  closedir(dir);
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

bool ToLocalTime(int64_t unix_time, LocalTime* local) {
  time_t value = static_cast<time_t>(unix_time);
  struct tm parts;
  if (localtime_r(&value, &parts) == nullptr) return false;
  *local = LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min, parts.tm_sec};
  return true;
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

bool ToStoredNames(std::vector<std::string>*, bool, uint32_t* code_page) {
  switch (TakenCharset()) {
    case Charset::kUtf8: *code_page = 65001; break;
    case Charset::kShiftJis: *code_page = 932; break;
    default: *code_page = 0; break;
  }
  return true;
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

uint8_t ArchiveOsId() { return 'U'; }

Status RenameFile(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return LastError();
  return Status::Ok();
}

bool UserMayWrite(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return true;
  return (st.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

Status RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) != 0) return LastError();
  return Status::Ok();
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
        if (lock->fd_ >= 0) ::close(lock->fd_);
        lock->fd_ = fd;
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
  if (fd_ < 0) return;
  unlink(path_.c_str());
  ::close(fd_);
}

namespace {

constexpr int kInterruptSlots = 4;
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
    interrupt_directories[i] = directory ? directory->fd_ : AT_FDCWD;
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

bool SymlinksSupported() { return true; }

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

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

uint64_t MonotonicMilliseconds() {
  struct timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

namespace {

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

void WriteStderr(std::string_view text) { WriteAll(STDERR_FILENO, text); }

void WriteStdout(std::string_view text) { WriteAll(STDOUT_FILENO, text); }

bool AskOnTerminal(std::string_view question, std::string* answer) {
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  WriteAll(fd, question);
  answer->clear();
  char c;
  for (;;) {
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    if (answer->size() < 256) answer->push_back(c);
  }
  ::close(fd);
  return true;
}

void TakeLocale() {
  // A library does not own the process's locale: the program may never
  // have called setlocale, so the environment speaks for the user too.
  taken_charset = CharsetNamed(nl_langinfo(CODESET));
  if (taken_charset != Charset::kOther) return;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    taken_charset = CharsetNamed(value);
    return;
  }
}

bool LocaleIsUtf8() { return TakenCharset() == Charset::kUtf8; }

bool UsesAnsiCodePage() { return TakenCharset() == Charset::kShiftJis; }

bool IsLeadByte(uint8_t byte) {
  return byte >= 0x81 && ((byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) &&
         TakenCharset() == Charset::kShiftJis;
}

std::string TextFromCaller(std::string_view text) { return std::string(text); }

std::string TextForCaller(std::string_view text) { return std::string(text); }

bool ConvertToUtf8(std::string_view text, uint32_t code_page, std::string* utf8) {
  std::string from = "CP" + std::to_string(code_page);
  iconv_t converter = iconv_open("UTF-8", from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input(text);
  std::string output(input.size() * 4 + 4, '\0');
  char* in = input.data();
  size_t in_left = input.size();
  char* out = output.data();
  size_t out_left = output.size();
  size_t result = iconv(converter, &in, &in_left, &out, &out_left);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) || in_left != 0) return false;
  output.resize(output.size() - out_left);
  *utf8 = std::move(output);
  return true;
}

uint32_t AnsiCodePage() { return 0; }

bool NameCaseMatters() { return true; }

bool MapToLegalName(std::string* component) {
  // A NUL would end the name at the system call: "..\0x" would open "..".
  bool mapped = false;
  for (char& c : *component) {
    if (c == '\0') {
      c = '_';
      mapped = true;
    }
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

void Worker::Start(std::function<void()> work) {
  Join();
  work_ = std::move(work);
#if __cpp_exceptions
  try {
    thread_ = new std::thread(&Worker::RunWork, this);
  } catch (const std::system_error&) {
    RunWork();  // no thread to be had: the work is done here
  }
#else
  thread_ = new std::thread(&Worker::RunWork, this);
#endif
}

void Worker::Wait() {
  if (auto* thread = static_cast<std::thread*>(thread_)) {
    thread->join();
    delete thread;
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

#endif  // !_WIN32
