// Reading an archive for a command: open it, find it (also inside a
// self-extracting program) and walk its members' headers.
//
// No command keeps the list of members: each acts on a member as the walk
// hands it over, so memory stays flat whatever their number. A command
// that must know something of the whole archive first (whether `p` labels
// its members, whether an update changes anything) walks the headers once
// more, which costs what a listing costs. A damaged header part-way still
// leaves the members before it usable.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/status.h"
#include "format/member_header.h"
#include "format/reader.h"

namespace lzh::commands {

// The archive an archive argument names: the argument itself, or NAME.lzh
// when the argument's last component has no extension and nothing of that
// name exists ("backup" then finds, and makes, backup.lzh; a
// self-extracting program named "backup" is still itself). Applied once,
// where an archive argument enters the library: the command line, and the
// exported questions a front end asks about the same archive before.
std::string ArchivePathFor(const std::string& argument);

struct ArchiveContents {
  std::unique_ptr<FileReader> reader;
  uint64_t archive_offset = 0;  // > 0 inside a self-extracting program
  // Why the last walk stopped before the end, when it did; the members
  // before it were handed over. A member whose data runs past the end is
  // handed over too, and then the damage is in that member alone (nothing
  // follows it); otherwise the rest of the archive could not be read.
  Status damage;
  bool damage_in_last_member = false;
  bool damage_before_any_member = false;  // the first header is damaged
};

// Opens the archive and finds its first header. Fails (kIo or kCorrupt)
// when the file cannot be read or holds no archive.
Status OpenArchive(const std::string& path, ArchiveContents* contents);
// Hands each member of the opened archive to `each`, from the first, as
// the walk finds it; the header is the walk's own and may be moved from.
// Sets contents.damage.
void WalkMembers(ArchiveContents& contents, const std::function<void(MemberHeader&)>& each);
// OpenArchive, then WalkMembers.
Status WalkArchive(const std::string& path, ArchiveContents* contents,
                   const std::function<void(MemberHeader&)>& each);

// The report's line on contents.damage; `members` names the members the
// report showed before it ("listed", "above").
std::string DamageLine(const ArchiveContents& contents, const std::string& members);

// True for the header of a member whose data runs past the end of an
// archive of `size` bytes, as the walker reports it (header filled in); a
// header that is itself damaged leaves no usable member.
bool DataCutShort(const MemberHeader& header, uint64_t size);

// True only for a readable file that holds an archive, found as
// ArchiveWalker::Open finds it, with a first member: a valid header, or
// one whose data is cut short or that is damaged itself (the commands are
// to report that damage, as they do damage further on).
bool IsReadableArchive(const std::string& path);

// The number of members, counted from the headers alone; -1 when the
// file is no archive. A damaged header ends the count.
int CountMembers(const std::string& path);

}  // namespace lzh::commands
