// Member texts for listings and member records. A display name in UTF-8
// form is valid UTF-8 throughout (DisplayName escapes every stray byte), so
// a character boundary is found by stepping back over continuation bytes;
// in the ANSI code page it takes a scan from the start, since a trail byte
// can look like any other byte.
#include "commands/member_text.h"

#include "os/text.h"

namespace lzh::commands {

std::string ShownName(const MemberHeader& header, const LocalMemberNames& names, bool full_path, TextForm form) {
  std::string name = DisplayName(full_path ? names.path : names.base, form);
  if (header.is_directory) name += '/';
  if (header.is_symlink) name += " -> " + DisplayName(names.link_target, form);
  return name;
}

std::string AttributeText(const MemberHeader& header) {
  if (header.has_unix_mode) {
    static const char kTypes[] = "?pc?d?b?-?l?s???";
    static const char kBits[] = "rwxrwxrwx";
    char mode[10];
    mode[0] = kTypes[(header.unix_mode >> 12) & 15];
    for (int bit = 0; bit < 9; ++bit) mode[1 + bit] = (header.unix_mode & (0400 >> bit)) ? kBits[bit] : '-';
    return std::string(mode, sizeof mode);
  }
  const char dos[4] = {header.attribute & 0x20 ? 'a' : '-', header.attribute & 0x04 ? 's' : '-',
                       header.attribute & 0x02 ? 'h' : '-', header.attribute & 0x01 ? 'r' : '-'};
  return std::string(dos, sizeof dos);
}

uint64_t PerMille(uint64_t packed, uint64_t original) {
  if (original == 0) return 0;
  return packed >= UINT64_MAX / 1000 ? packed / (original / 1000 + 1) : packed * 1000 / original;
}

size_t WholeCharactersWithin(std::string_view display, size_t max_bytes, TextForm form) {
  if (display.size() <= max_bytes) return display.size();
  if (form == TextForm::kUtf8) {
    size_t end = max_bytes;
    while (end > 0 && (static_cast<uint8_t>(display[end]) & 0xC0) == 0x80) --end;
    return end;
  }
  if (form == TextForm::kAnsi) {
    size_t end = 0;
    for (size_t i = 0; i < max_bytes;) {
      size_t width = os::IsLeadByte(static_cast<uint8_t>(display[i])) && i + 1 < display.size() ? 2 : 1;
      if (i + width > max_bytes) break;
      i += width;
      end = i;
    }
    return end;
  }
  return max_bytes;
}

}  // namespace lzh::commands
