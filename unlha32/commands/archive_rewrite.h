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
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "commands/shared/archive_reading.h"
#include "commands/archive_update.h"
#include "commands/command_line.h"
#include "format/archive_writer.h"
#include "commands/shared/member_names.h"
#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

class ArchiveRewrite {
 public:
  ArchiveRewrite(const CommandLine& line, Report& report) : line_(line), report_(report), form_(CurrentTextForm()) {}

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
  void HoldChanges() { held_changes_ = report_.Mark(); }

 private:
  const CommandLine& line_;
  Report& report_;
  const TextForm form_;
  std::string shown_;
  ArchiveUpdate update_;
  ArchiveContents old_;
  bool exists_ = false;
  std::optional<Report::Position> held_changes_;
  int64_t newest_ = INT64_MIN;
};

}  // namespace lzh::commands
