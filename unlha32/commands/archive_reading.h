// Reading an archive for a command: open it, find it (also inside a
// self-extracting program) and gather its members' headers.
//
// Commands work on the whole list of members: counting the selection
// first is what lets `p` decide whether to label each member, and a
// damaged header part-way still leaves the members before it usable.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/status.h"
#include "format/member_header.h"
#include "format/reader.h"

namespace lzh::commands {

struct ArchiveContents {
  std::unique_ptr<FileReader> reader;
  std::vector<MemberHeader> members;
  uint64_t archive_offset = 0;  // > 0 inside a self-extracting program
  // Why the walk stopped before the end, when it did; members read so far
  // are kept. A member whose data runs past the end is kept too.
  Status damage;
};

// Fails (kIo or kCorrupt) when the file cannot be read or holds no archive.
Status ReadArchive(const std::string& path, ArchiveContents* contents);
// The same walk, handing each member to `each` instead of keeping it in contents->members: memory stays flat whatever
// the number of members, which is what listing needs.
Status WalkArchive(const std::string& path, ArchiveContents* contents,
                   const std::function<void(MemberHeader&)>& each);

// True only for a readable file whose first header (at its start, or
// inside a self-extracting program, found as ArchiveWalker::Open finds it)
// is valid.
bool IsReadableArchive(const std::string& path);

// The number of members, counted from the headers alone; -1 when the
// file is no archive. A damaged header ends the count.
int CountMembers(const std::string& path);

}  // namespace lzh::commands
