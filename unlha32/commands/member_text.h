// What a listing shows of one member besides its sizes: the name with its
// directory mark or link target, the attributes, the ratio. Shared by l and
// v and by the exported member records, so that a program walking an
// archive through the handle functions sees a member exactly as the
// reports show it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/member_header.h"
#include "commands/shared/member_names.h"

namespace lzh::commands {

// The name as a listing shows it: the path (or only its last component),
// '/' after a directory, " -> target" after a link; escaped for display.
std::string ShownName(const MemberHeader& header, const LocalMemberNames& names, bool full_path, TextForm form);

// "-rw-r--r--" for a member with a Unix mode, else the MS-DOS bits "ashr"
// with '-' for each one that is off.
std::string AttributeText(const MemberHeader& header);

// The packed size in thousandths of the original, computed without
// overflow; 0 for an empty member.
uint64_t PerMille(uint64_t packed, uint64_t original);

// The length of the longest start of `display` (a name as DisplayName
// gives it) that fits `max_bytes` and ends on a whole character.
size_t WholeCharactersWithin(std::string_view display, size_t max_bytes, TextForm form);

}  // namespace lzh::commands
