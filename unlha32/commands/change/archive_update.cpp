// The update transaction. Temporary files are named after the archive and
// the writing process (".NAME.PID.unlha32-tmp"), so that a later run that
// holds the archive's lock can tell a file left by a dead process (removed)
// from one that a live writer of a same-named archive elsewhere still uses
// (kept).
#include "commands/change/archive_update.h"

#include <cstring>

#include "commands/shared/member_names.h"
#include "commands/shared/paths.h"
#include "os/directory.h"
#include "os/file.h"
#include "os/lock.h"
#include "os/terminal.h"
#include "os/text.h"

namespace lzh::commands {
namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr std::string_view kTemporarySuffix = ".unlha32-tmp";

std::string TemporaryName(const std::string& archive_name, uint32_t process_id) {
  return "." + archive_name + "." + std::to_string(process_id) + std::string(kTemporarySuffix);
}

// The process id in a temporary name made for `archive_name`, or 0.
uint32_t TemporaryOwner(const std::string& entry, const std::string& archive_name) {
  std::string prefix = "." + archive_name + ".";
  if (entry.size() <= prefix.size() + kTemporarySuffix.size() || entry.compare(0, prefix.size(), prefix) != 0 ||
      entry.compare(entry.size() - kTemporarySuffix.size(), kTemporarySuffix.size(), kTemporarySuffix) != 0)
    return 0;
  std::string digits = entry.substr(prefix.size(), entry.size() - prefix.size() - kTemporarySuffix.size());
  if (digits.empty() || digits.size() > 9) return 0;
  uint32_t id = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    id = id * 10 + static_cast<uint32_t>(c - '0');
  }
  return id;
}

int RemoveStaleTemporaries(const std::string& directory, const std::string& archive_name) {
  os::Directory opened;
  std::vector<os::DirectoryEntry> entries;
  if (!os::Directory::Open(directory, &opened).ok() || !opened.List(&entries).ok()) return 0;
  int removed = 0;
  for (const os::DirectoryEntry& entry : entries) {
    uint32_t owner = TemporaryOwner(entry.name, archive_name);
    if (owner == 0 || entry.type != os::EntryType::kFile) continue;
    if (owner != os::ProcessId() && os::ProcessIsRunning(owner)) continue;
    if (opened.Remove(entry.name).ok()) ++removed;
  }
  return removed;
}

}  // namespace

ArchiveUpdate::~ArchiveUpdate() {
  if (!committed_ && !temporary_path_.empty()) {
    (void)file_.Close();
    (void)os::Directory::Working().Remove(temporary_path_);
  }
}

Status ArchiveUpdate::Begin(const std::string& archive, const std::string& work_directory, int* stale_removed) {
  archive_ = os::NativePath(archive);
  SplitDirectoryAndName(archive_, &archive_directory_, &archive_name_);
  LZH_REQUIRE(!archive_name_.empty(), kIo, "no archive name");
  auto say_waiting = [&archive] {
    if (os::StderrIsTerminal())
      os::WriteStderr(os::TextForCaller("Waiting up to " + std::to_string(kLockWaitSeconds) +
                                        " s for another process to finish changing " +
                                        DisplayName(archive, CurrentTextForm()) + "...\n"));
  };
  LZH_TRY(os::ExclusiveLock::Acquire(os::JoinPath(archive_directory_, "." + archive_name_ + ".unlha32-lock"),
                                     kLockWaitSeconds, say_waiting, &lock_));
  remove_lock_on_interrupt_ = std::make_unique<os::RemoveOnInterrupt>(lock_.path());
  temporary_directory_ = work_directory.empty() ? archive_directory_ : os::NativePath(work_directory);
  *stale_removed = RemoveStaleTemporaries(temporary_directory_.empty() ? "." : temporary_directory_, archive_name_);
  if (temporary_directory_ != archive_directory_)
    *stale_removed += RemoveStaleTemporaries(archive_directory_.empty() ? "." : archive_directory_, archive_name_);

  os::Directory directory;
  LZH_TRY(os::Directory::Open(temporary_directory_.empty() ? "." : temporary_directory_, &directory));
  temporary_name_ = TemporaryName(archive_name_, os::ProcessId());
  temporary_path_ = os::JoinPath(temporary_directory_, temporary_name_);
  Status created = directory.CreateNewFile(temporary_name_, 0666, &file_);
  if (!created.ok()) {
    temporary_path_.clear();  // not ours: never remove it
    return created;
  }
  remove_on_interrupt_ = std::make_unique<os::RemoveOnInterrupt>(temporary_path_);
  for (const std::string& path : {archive_, temporary_path_, lock_.path()}) {
    os::FileDetails details;
    if (os::Describe(path, &details).ok() && details.identity.known) own_files_.push_back(details.identity);
  }
  buffer_.reserve(kBufferSize);
  return Status::Ok();
}

bool ArchiveUpdate::IsOwnFile(const os::FileIdentity& identity) const {
  for (const os::FileIdentity& own : own_files_)
    if (own == identity) return true;
  return false;
}

Status ArchiveUpdate::SetOwner(uint32_t uid, uint32_t gid) {
  owner_ = {uid, gid};
  os::Directory directory;
  LZH_TRY(os::Directory::Open(temporary_directory_.empty() ? "." : temporary_directory_, &directory));
  return directory.SetOwner(temporary_name_, uid, gid);
}

Status ArchiveUpdate::SetMode(uint32_t mode) {
  mode_ = mode & 07777;
  os::Directory directory;
  LZH_TRY(os::Directory::Open(temporary_directory_.empty() ? "." : temporary_directory_, &directory));
  return directory.SetMode(temporary_name_, *mode_);
}

Status ArchiveUpdate::Failed(Status status) {
  output_failed_ = true;
  return status;
}

Status ArchiveUpdate::Flush() {
  if (buffer_.empty()) return Status::Ok();
  Status status = file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return status.ok() ? status : Failed(status);
}

Status ArchiveUpdate::Write(const uint8_t* data, size_t size) {
  if (output_failed_) return Status::Io("the archive could not be written");
  if (buffer_.size() + size > kBufferSize) {
    LZH_TRY(Flush());
    if (size >= kBufferSize) {
      Status status = file_.Write(data, size);
      if (!status.ok()) return Failed(status);
      position_ += size;
      return Status::Ok();
    }
  }
  buffer_.insert(buffer_.end(), data, data + size);
  position_ += size;
  return Status::Ok();
}

Status ArchiveUpdate::Seek(uint64_t offset) {
  LZH_TRY(Flush());
  Status status = file_.Seek(offset);
  if (!status.ok()) return Failed(status);
  position_ = offset;
  return Status::Ok();
}

Status ArchiveUpdate::Truncate() {
  LZH_TRY(Flush());
  Status status = file_.Truncate(position_);
  return status.ok() ? status : Failed(status);
}

Status ArchiveUpdate::Commit() {
  LZH_REQUIRE(!output_failed_, kIo, "the archive could not be written");
  LZH_TRY(Flush());
  if (archive_time_) LZH_TRY(file_.SetModificationTime(*archive_time_));
  LZH_TRY(file_.Sync());
  LZH_TRY(file_.Close());
  Status moved = os::Directory::Working().Rename(temporary_path_, archive_);
  if (!moved.ok()) {
    if (temporary_directory_ == archive_directory_) return moved;
    LZH_TRY(CopyBesideArchive());
  }
  committed_ = true;
  // The archive is in place; a directory that cannot be synced changes
  // nothing about that.
  (void)os::SyncDirectory(archive_directory_);
  return Status::Ok();
}

Status ArchiveUpdate::CopyBesideArchive() {
  os::Directory directory;
  LZH_TRY(os::Directory::Open(archive_directory_.empty() ? "." : archive_directory_, &directory));
  std::string name = TemporaryName(archive_name_, os::ProcessId());
  std::string path = os::JoinPath(archive_directory_, name);
  os::File copy;
  LZH_TRY(directory.CreateNewFile(name, 0666, &copy));
  os::RemoveOnInterrupt remove_copy(path);
  os::File source;
  Status status = os::File::OpenRead(temporary_path_, &source);
  std::vector<uint8_t> block(kBufferSize);
  while (status.ok()) {
    size_t got = 0;
    status = source.Read(block.data(), block.size(), &got);
    if (!status.ok() || got == 0) break;
    status = copy.Write(block.data(), got);
  }
  if (status.ok() && archive_time_) status = copy.SetModificationTime(*archive_time_);
  if (status.ok()) status = copy.Sync();
  Status closed = copy.Close();
  if (status.ok()) status = closed;
  if (status.ok() && owner_) (void)directory.SetOwner(name, owner_->first, owner_->second);
  if (status.ok() && mode_) status = directory.SetMode(name, *mode_);
  if (status.ok()) status = os::Directory::Working().Rename(path, archive_);
  if (!status.ok()) {
    (void)os::Directory::Working().Remove(path);
    return status;
  }
  (void)source.Close();
  (void)os::Directory::Working().Remove(temporary_path_);
  return Status::Ok();
}

}  // namespace lzh::commands
