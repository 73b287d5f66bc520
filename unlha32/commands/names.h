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

namespace lzh::commands {

// What the text in reports and on disk is: UTF-8 (a UTF-8 locale on
// POSIX), the ANSI code page (Windows), or plain bytes (other locales).
enum class TextForm : uint8_t { kUtf8, kAnsi, kBytes };

TextForm CurrentTextForm();

// The code page a stored name is in: the header's own when it has one,
// 932 for MS-DOS and Windows writers without one, else 0 (unknown).
uint32_t StoredCodePage(uint32_t header_code_page, uint8_t os_id);

// Converts a stored name to the local form: to UTF-8 when `form` is kUtf8
// and the code page is known and not UTF-8 already; unchanged otherwise
// or when the bytes do not convert.
std::string LocalName(std::string_view stored, uint32_t code_page, TextForm form);

// The name as it may be shown: control characters (C0, DEL, and C1 where
// a terminal could act on them) and bytes that are not text in `form`
// are written as \xNN.
std::string DisplayName(std::string_view name, TextForm form);

}  // namespace lzh::commands
