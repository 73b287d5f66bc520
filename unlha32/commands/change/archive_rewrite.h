// What every command that changes an archive does around its own work:
// lock the archive and read what is there, refuse what must not be
// overwritten, and at the end put the new archive in place or leave the
// old one exactly as it was.
//
// The old archive is refused (and left alone) when it is no LZH archive
// (the name may be a user's document), when it is damaged (members after
// the damage would be lost by a rewrite), when it is a link or not a
// regular file, and when it is read-only for the user.
//
// The old archive is walked, never held: once in Begin to refuse it when
// damaged, then by the command as often as it needs, each walk handing
// over one member at a time while the new archive is written.
//
// It knows nothing of command lines or of the report buffer: it takes the
// two switches it heeds as ChangeOptions and says what it refuses through
// ChangeReport, so that it sits below the commands that use it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "commands/change/archive_update.h"
#include "commands/shared/archive_reading.h"
#include "commands/shared/member_names.h"
#include "commands/shared/result.h"
#include "format/archive_writer.h"

namespace lzh::commands {

// The switches a change heeds.
struct ChangeOptions {
  std::string work_directory;        // -w: the new archive is written there first; empty: beside the archive
  bool archive_time_newest = false;  // -t: the archive takes the time of its newest member
};

// The command's report, as far as a change speaks into it.
class ChangeReport {
 public:
  virtual void Line(const std::string& text) = 0;
  // Hold marks where the report stands; TakeBack removes every line added
  // since (nothing when nothing was held).
  virtual void Hold() = 0;
  virtual void TakeBack() = 0;

 protected:
  ~ChangeReport() = default;
};

class ArchiveRewrite {
 public:
  ArchiveRewrite(ChangeOptions options, ChangeReport& report)
      : options_(std::move(options)), report_(report), form_(CurrentTextForm()) {}

  // Locks and reads `target` (the archive, or the program `s` makes).
  // `read_existing` false: whatever exists is to be replaced whole (it is
  // still refused when it is no regular file). Returns kOk or the result
  // the command ends with; the report says why.
  Result Begin(const std::string& target, bool read_existing);

  bool exists() const { return exists_; }
  ArchiveContents& old() { return old_; }
  // Walks the old archive's members (none when there was no archive).
  // Fails when the walk met damage that Begin did not: the archive
  // changed under the lock, and must not be rewritten.
  Status WalkOld(const std::function<void(MemberHeader&)>& each);
  ArchiveUpdate& output() { return update_; }
  const std::string& shown_name() const { return shown_; }

  // Copies whatever precedes the old archive (a self-extractor's program),
  // so that an updated self-extracting archive still runs.
  Status CopyPrefix();
  // Counts a member's time for -t.
  void NoteMemberTime(const MemberHeader& header) {
    if (header.mtime_valid && header.mtime > newest_) newest_ = header.mtime;
  }

  // Ends the new archive and puts it in place. On failure the old archive
  // is untouched; the report says so and the result is returned.
  Result Commit(ArchiveWriter* writer);
  // Gives up before anything was replaced, saying why.
  Result Abandon(Status why);
  // The lines reported from here on tell of changes: Abandon (and a
  // failed Commit) takes them back, so that a report never claims a change
  // that was given up.
  void HoldChanges() { report_.Hold(); }

 private:
  const ChangeOptions options_;
  ChangeReport& report_;
  const TextForm form_;
  std::string shown_;
  ArchiveUpdate update_;
  ArchiveContents old_;
  bool exists_ = false;
  int64_t newest_ = INT64_MIN;
};

}  // namespace lzh::commands
