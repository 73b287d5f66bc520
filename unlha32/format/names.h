// Path resolution: from the name bytes a header stores to the components,
// link target and kind (file, directory, symbolic link) of a member.
#pragma once

#include <string>
#include <string_view>

#include "format/member_header.h"

namespace lzh {

// The UTF-16LE names of extended headers 0x44 (file name) and 0x45
// (directory, components separated by 0xFFFF). Each wins over its byte form.
struct Utf16Names {
  bool has_name = false;
  bool has_directory = false;
  std::string_view name;
  std::string_view directory;
};

// Fills name_encoding, path, is_directory, is_symlink, symlink_damaged and
// link_target from stored_name, stored_directory, os_id, level, code page,
// method and Unix mode, which must be set already.
void ResolvePath(const Utf16Names& utf16, MemberHeader* header);

// UTF-16LE to UTF-8; unpaired surrogates become U+FFFD, an odd last byte is
// ignored, and a 0xFFFF unit becomes `separator`.
void AppendUtf16AsUtf8(std::string_view utf16le, char separator, std::string* out);

}  // namespace lzh
