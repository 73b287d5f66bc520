// The POSIX helpers of posix.h.
#include "os/posix/posix.h"

#include <cerrno>

namespace lzh::os::posix {

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

}  // namespace lzh::os::posix
