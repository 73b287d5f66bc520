// Member names on their way from the archive to the user and the disk.
//
// Archives store names in the code page of the machine that wrote them
// (Shift_JIS for MS-DOS and Windows archives of the format's home market).
// On a UTF-8 system they are converted for listing and extraction; bytes
// that do not convert are kept as they are, never dropped or guessed.
// Every name shown in a report goes through DisplayName(): a name can
// carry a terminal escape sequence, and a listing must not pass it on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/member_header.h"

namespace lzh::commands {

// What the text in reports and on disk is: UTF-8 (a UTF-8 locale on
// POSIX), the ANSI code page (Windows), or plain bytes (other locales).
enum class TextForm : uint8_t { kUtf8, kAnsi, kBytes };

TextForm CurrentTextForm();

// The code page a member's name components are in, as the format layer
// resolved it (932, 65001, a header's own code page, or 0 for unknown).
uint32_t NameCodePage(const MemberHeader& header);

// A member's names in the local form: the path with '/' between
// components, its last component, and a link's target.
struct LocalMemberNames {
  std::string path;
  std::string base;
  std::string link_target;
};
LocalMemberNames LocalNames(const MemberHeader& header, TextForm form);

// Converts a stored name to the local form: to UTF-8 when `form` is kUtf8
// and the code page is known and not UTF-8 already; unchanged otherwise
// or when the bytes do not convert.
std::string LocalName(std::string_view stored, uint32_t code_page, TextForm form);

// The name as it may be shown: control characters (C0, DEL, and C1 where
// a terminal could act on them) and bytes that are not text in `form`
// are written as \xNN.
std::string DisplayName(std::string_view name, TextForm form);

// Shortens a display name to at most `max_bytes` bytes, by whole
// characters, ending in "..." when it had to be shortened.
std::string FitName(std::string_view display, size_t max_bytes, TextForm form);

// Reports keep their lines within this many bytes, so that they read on an
// 80-column console.
constexpr size_t kLineLimit = 79;

// The first line of a report about one archive: which archive, and where
// it starts when it sits inside a self-extracting program. A wildcard run
// prints many reports one after the other; this line tells them apart.
std::string ArchiveTitle(std::string_view archive, uint64_t archive_offset, TextForm form);

}  // namespace lzh::commands
