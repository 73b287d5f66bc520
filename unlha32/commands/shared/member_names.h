// Member names on their way from the archive to the user and the disk.
//
// Archives store names in the code page of the machine that wrote them
// (Shift_JIS for MS-DOS and Windows archives of the format's home market,
// UTF-8 from Unix today). They are converted to the library's form for
// listing and extraction, which is UTF-8 on Windows and in UTF-8 locales;
// bytes that do not convert are kept as they are, never dropped or
// guessed (the disk layer maps what Windows cannot hold). Every name shown
// in a report goes through DisplayName(): a name can carry a terminal
// escape sequence, and a listing must not pass it on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/member_header.h"
#include "os/text.h"

namespace lzh::commands {

// What text is: UTF-8, a code page with double-byte characters whose
// second byte may look like ASCII (os::IsLeadByte), or plain bytes.
enum class TextForm : uint8_t { kUtf8, kAnsi, kBytes };

// The form of text inside the library: names, paths and report lines
// (UTF-8 on Windows, the locale's on POSIX).
TextForm CurrentTextForm();
// The form of text the exported functions hand to their caller (the ANSI
// code page on Windows, the locale's on POSIX).
TextForm CallerTextForm();

// The length of the character at `text[i]` in `form`: a whole UTF-8
// sequence, a lead byte with the byte after it, or one byte (also for a
// stray byte). A separator or a wildcard is only ever a whole character.
size_t CharacterLength(std::string_view text, size_t i, TextForm form);

// A member's names in the local form: the path with '/' between
// components, its last component, and a link's target.
struct LocalMemberNames {
  std::string path;
  std::string base;
  std::string link_target;
};
LocalMemberNames LocalNames(const MemberHeader& header, TextForm form);
// The same into `names`, whose storage a walk reuses member after member.
void LocalNames(const MemberHeader& header, TextForm form, LocalMemberNames* names);

// The name as it may be shown: control characters (C0, DEL, and C1 where
// a terminal could act on them) and bytes that are not text in `form`
// are written as \xNN.
std::string DisplayName(std::string_view name, TextForm form);

// Shortens a display name to at most `max_bytes` bytes, by whole
// characters, ending in "..." when it had to be shortened.
std::string FitName(std::string display, size_t max_bytes, TextForm form);

// Reports keep their lines within this many bytes, so that they read on an
// 80-column console.
constexpr size_t kLineLimit = 79;

// The first line of a report about one archive: which archive, and where
// it starts when it sits inside a self-extracting program. A wildcard run
// prints many reports one after the other; this line tells them apart.
std::string ArchiveTitle(std::string_view archive, uint64_t archive_offset, TextForm form);

}  // namespace lzh::commands
