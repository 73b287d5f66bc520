// The frame of every archive change: Begin under the lock, the command's
// own members in between, Commit or Abandon at the end.
#include "commands/change/archive_rewrite.h"

#include <algorithm>
#include <vector>

#include "os/file.h"
#include "os/directory.h"

namespace lzh::commands {

Result ArchiveRewrite::Begin(const std::string& target, bool read_existing) {
  shown_ = DisplayName(target, form_);
  // Said by name, before the lock is taken: "no such file" would not tell
  // that it is the -w directory that is missing.
  if (const std::string& work = options_.work_directory; !work.empty()) {
    os::EntryInfo info;
    Status status = os::Directory::Working().Lookup(os::NativePath(work), os::Link::kFollowed, &info);
    if (status.ok() && info.type != os::EntryType::kDirectory) {
      report_.Line("Cannot change " + shown_ + ": the work directory " + DisplayName(work, form_) +
                   (info.type == os::EntryType::kMissing ? " does not exist" : " is not a directory"));
      return Result::kIoError;
    }
  }
  int stale = 0;
  Status status = update_.Begin(target, options_.work_directory, &stale);
  if (!status.ok()) {
    report_.Line("Cannot change " + shown_ + ": " + status.message());
    return Result::kIoError;
  }
  if (stale > 0) report_.Line("Removed " + std::to_string(stale) + " temporary file(s) of an interrupted run.");
  os::FileDetails details;
  status = os::Describe(os::NativePath(target), &details);
  if (!status.ok()) {
    report_.Line("Cannot read " + shown_ + ": " + status.message());
    return Result::kNotArchive;
  }
  if (details.type == os::EntryType::kMissing) return Result::kOk;
  exists_ = true;
  if (details.type != os::EntryType::kFile) {
    report_.Line(shown_ + (details.type == os::EntryType::kSymlink
                               ? " is a symbolic link; name the archive it points to."
                               : " is not a regular file; it is left as it is."));
    return Result::kNotArchive;
  }
  // The rename would replace it regardless; the user said it is not to change.
  if (!os::UserMayWrite(os::NativePath(target))) {
    report_.Line(shown_ + " is read-only; it is left as it is.");
    return Result::kIoError;
  }
  if (details.has_unix) {
    (void)update_.SetOwner(details.uid, details.gid);
    (void)update_.SetMode(details.mode);
  }
  if (!read_existing) return Result::kOk;
  status = OpenArchive(target, &old_);
  if (status.ok()) WalkMembers(old_, [](const MemberHeader&) {});
  if (!status.ok()) {
    report_.Line(status.fault() == Fault::kIo ? "Cannot read " + shown_ + ": " + status.message() + "; it is left as it is."
                                              : shown_ + " is not an LZH archive; it is left as it is.");
    return Result::kNotArchive;
  }
  if (!old_.damage.ok()) {
    report_.Line(shown_ + " is damaged (" + old_.damage.message() +
                 "); rewriting it would lose members, so it is left as it is.");
    return Result::kDamaged;
  }
  return Result::kOk;
}

Status ArchiveRewrite::WalkOld(const std::function<void(MemberHeader&)>& each) {
  if (!old_.reader) return Status::Ok();
  WalkMembers(old_, each);
  return old_.damage;
}

Status ArchiveRewrite::CopyPrefix() {
  std::vector<uint8_t> block(64 * 1024);
  for (uint64_t offset = 0; offset < old_.archive_offset;) {
    size_t size = static_cast<size_t>(std::min<uint64_t>(block.size(), old_.archive_offset - offset));
    LZH_TRY(ReadExactlyAt(*old_.reader, offset, block.data(), size));
    LZH_TRY(update_.Write(block.data(), size));
    offset += size;
  }
  return Status::Ok();
}

Result ArchiveRewrite::Commit(ArchiveWriter* writer) {
  Status status = writer ? writer->Finish() : Status::Ok();
  if (status.ok() && options_.archive_time_newest && newest_ != INT64_MIN) update_.SetArchiveTime(newest_);
  old_.reader.reset();  // an open reader would keep Windows from replacing the file
  if (status.ok()) status = update_.Commit();
  if (!status.ok()) return Abandon(status);
  return Result::kOk;
}

Result ArchiveRewrite::Abandon(Status why) {
  report_.TakeBack();
  report_.Line("Cannot write " + shown_ + ": " + why.message() + ". Nothing was changed" +
               (exists_ ? "; the archive is as it was." : "."));
  return Worse(ResultFor(why.fault()), Result::kIoError);
}

}  // namespace lzh::commands
