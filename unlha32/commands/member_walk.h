// MemberWalk: an archive's members handed out one at a time, on request,
// for the exported handle functions (a caller that pulls members rather
// than running a command).
//
// It meets the members the reading commands meet, in their order, with the
// same names: the walk reads one header per step, so memory stays flat
// whatever the number of members, and a member whose data runs past the end
// is still handed out before the damage is reported. Damage ends the walk
// for good: every later step reports it again, so no caller can loop on it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive_reading.h"
#include "format/archive_walker.h"
#include "names.h"
#include "selection.h"

namespace lzh::commands {

class MemberWalk {
 public:
  // Opens the archive (also inside a self-extracting program); kIo or
  // kCorrupt when it cannot be read or holds no archive.
  Status Open(const std::string& path);

  // Starts again at the first member, in the text form the locale gives
  // now. `pattern` selects members as a file
  // argument of a reading command does (base name, or the whole path when
  // it holds a directory; letter case as the system's file names compare);
  // empty selects every member.
  void Restart(std::string_view pattern);

  // Moves to the next selected member. Ok with *end false: header() and
  // shown_name() describe it. Ok with *end true: there is no further member.
  // A failed status: the archive is damaged there (or could not be read).
  Status Next(bool* end);

  bool has_member() const { return has_member_; }
  const MemberHeader& header() const { return header_; }
  // The full path as l and v show it (ShownName), as the reports hand it
  // to the caller, in the caller's text form.
  const std::string& shown_name() const { return shown_name_; }
  TextForm form() const { return CallerTextForm(); }

 private:
  ArchiveContents contents_;
  std::unique_ptr<ArchiveWalker> walker_;
  std::optional<MemberSelection> selection_;
  TextForm form_ = TextForm::kBytes;
  MemberHeader header_;
  std::string shown_name_;
  bool has_member_ = false;
  bool finished_ = false;
  Status damage_;          // reported by every step once met
  Status pending_damage_;  // met while handing out a member cut short; reported next
};

}  // namespace lzh::commands
