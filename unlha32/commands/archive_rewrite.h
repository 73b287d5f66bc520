// What every command that changes an archive does around its own work:
// lock the archive and read what is there, refuse what must not be
// overwritten, and at the end put the new archive in place or leave the
// old one exactly as it was.
//
// The old archive is refused (and left alone) when it is no LZH archive
// (the name may be a user's document), when it is damaged (members after
// the damage would be lost by a rewrite), when it is a link or not a
// regular file, and when it is read-only for the user.
#pragma once

#include <cstdint>
#include <string>

#include "archive_reading.h"
#include "archive_update.h"
#include "command_line.h"
#include "format/archive_writer.h"
#include "names.h"
#include "report.h"
#include "result.h"

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

 private:
  const CommandLine& line_;
  Report& report_;
  const TextForm form_;
  std::string shown_;
  ArchiveUpdate update_;
  ArchiveContents old_;
  bool exists_ = false;
  int64_t newest_ = INT64_MIN;
};

}  // namespace lzh::commands
