// ArchiveUpdate: the one way a command creates or replaces an archive.
//
// An archive being changed must survive every failure of the change, so
// the new archive is written whole to a temporary file (in the work
// directory when one is given, else beside the archive) and renamed over
// the original only when it is complete and on the disk. Until Commit()
// succeeds the original is not touched; the destructor removes the
// temporary file whatever happened (an interrupting signal removes it
// too). The archive is locked from Begin() to the end, so that two
// processes updating one archive take turns and neither update is lost:
// the caller reads the old archive only after Begin(). A writer that has
// to wait for the lock says so on the terminal at once: a minute of
// silence looks like a hang.
//
// It is the SeekableOutput the archive writer writes to; writes are
// buffered, and a failed output operation is remembered (output_failed()),
// so that a caller can tell a full disk, which ends the whole update, from
// a source file that could not be read, which costs only that member.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "format/output.h"
#include "os/file.h"
#include "os/lock.h"

namespace lzh::commands {

// How long a second writer waits for the first before giving up.
inline constexpr int kLockWaitSeconds = 60;

class ArchiveUpdate final : public SeekableOutput {
 public:
  ArchiveUpdate() = default;
  ArchiveUpdate(const ArchiveUpdate&) = delete;
  ArchiveUpdate& operator=(const ArchiveUpdate&) = delete;
  ~ArchiveUpdate() override;

  // Locks `archive`, removes temporary files that interrupted runs left
  // for it, and creates the temporary file in `work_directory` (empty:
  // the archive's own directory). `*stale_removed` counts the leftovers.
  Status Begin(const std::string& archive, const std::string& work_directory, int* stale_removed);

  // True for the archive, the temporary file and the lock file: files a
  // command must never take as input.
  bool IsOwnFile(const os::FileIdentity& identity) const;

  // The new archive gets this owner and group (an existing archive's),
  // as far as the system lets this process give them: an update by root
  // must not give a user's archive to root.
  Status SetOwner(uint32_t uid, uint32_t gid);
  // The new archive gets these permission bits (an existing archive's)
  // instead of the default ones. After SetOwner.
  Status SetMode(uint32_t mode);
  // The new archive gets this modification time (-t).
  void SetArchiveTime(int64_t mtime) { archive_time_ = mtime; }

  // Puts the temporary file on the disk and renames it over the archive.
  // Every reader of the old archive must be closed before (Windows cannot
  // replace an open file).
  Status Commit();

  bool output_failed() const { return output_failed_; }

  Status Write(const uint8_t* data, size_t size) override;
  Status Seek(uint64_t offset) override;
  uint64_t Position() const override { return position_; }
  Status Truncate() override;

 private:
  Status Flush();
  Status Failed(Status status);
  // Used when the work directory is on another volume than the archive.
  Status CopyBesideArchive();

  std::string archive_;
  std::string archive_directory_;
  std::string archive_name_;
  std::string temporary_path_;
  std::string temporary_name_;
  std::string temporary_directory_;
  // Declared before the lock so that it outlives it: the lock file is
  // removed while an interruption would still remove it too.
  std::unique_ptr<os::RemoveOnInterrupt> remove_lock_on_interrupt_;
  os::ExclusiveLock lock_;
  os::FileSizeLimitAsError size_limit_as_error_;
  std::vector<os::FileIdentity> own_files_;
  os::File file_;
  std::unique_ptr<os::RemoveOnInterrupt> remove_on_interrupt_;
  std::vector<uint8_t> buffer_;
  uint64_t position_ = 0;
  std::optional<std::pair<uint32_t, uint32_t>> owner_;  // uid, gid
  std::optional<uint32_t> mode_;
  std::optional<int64_t> archive_time_;
  bool output_failed_ = false;
  bool committed_ = false;
};

}  // namespace lzh::commands
