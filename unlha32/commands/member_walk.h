// MemberWalk: an archive's members handed out one at a time, on request,
// for the exported handle functions (a caller that pulls members rather
// than running a command, and may keep the walk open between user actions).
//
// It meets the members the reading commands meet, in their order, with the
// same names: the walk reads one header per step, so memory stays flat
// whatever the number of members, and a member whose data runs past the end
// is still handed out before the damage is reported. Damage ends the walk
// for good: every later step reports it again, so no caller can loop on it.
//
// The archive file is open only while a block of headers is read, never
// between steps: an open file would keep a command on Windows from
// replacing the archive. Each read checks that the path still names the
// file that was opened; a replaced or rewritten archive fails the step
// (kIo) instead of being read at the old archive's offsets.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "format/archive_walker.h"
#include "commands/shared/member_names.h"
#include "os/file.h"
#include "commands/selection.h"

namespace lzh::commands {

class ArchiveFileAtRest;

// What the `l` and `v` totals say of a whole archive.
struct ArchiveTotals {
  uint64_t original = 0, compressed = 0;
  uint8_t os_type = 0;  // shared by every member; 0 when they differ or there are none
  Status status;        // why the count stopped before the end; the sums cover the members before
};

class MemberWalk {
 public:
  MemberWalk();
  ~MemberWalk();

  // Opens the archive (also inside a self-extracting program); kIo or
  // kCorrupt when it cannot be read or holds no archive.
  Status Open(const std::string& path);

  // Starts again at the first member, in the text form the locale gives
  // now. `pattern` selects members as a file argument of a reading command
  // does (base name, or the whole path when it holds a directory; letter
  // case as the system's file names compare); empty and "*" select every
  // member.
  void Restart(std::string_view pattern);

  // Moves to the next selected member. Ok with *end false: header() and
  // shown_name() describe it. Ok with *end true: there is no further member.
  // A failed status: the archive is damaged there, could not be read or
  // has changed.
  Status Next(bool* end);

  bool has_member() const { return has_member_; }
  const MemberHeader& header() const { return header_; }
  // The full path as l and v show it (ShownName), as the reports hand it
  // to the caller, in the caller's text form.
  const std::string& shown_name() const { return shown_name_; }
  TextForm form() const { return CallerTextForm(); }

  // The file's size and modification time when it was opened.
  const os::EntryInfo& file() const;
  // Counted by a walk of its own over every member at the first call, then
  // kept.
  const ArchiveTotals& Totals();

 private:
  std::shared_ptr<ArchiveFileAtRest> file_;
  std::unique_ptr<ArchiveWalker> walker_;
  std::optional<MemberSelection> selection_;
  std::optional<ArchiveTotals> totals_;
  TextForm form_ = TextForm::kBytes;
  // Reused member after member, so that a step allocates nothing.
  MemberHeader header_;
  LocalMemberNames names_;
  std::string shown_name_;
  bool has_member_ = false;
  bool finished_ = false;
  Status damage_;          // reported by every step once met
  Status pending_damage_;  // met while handing out a member cut short; reported next
};

}  // namespace lzh::commands
