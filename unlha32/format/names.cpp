// Names are joined into one string with '/' as the only separator before
// they are split, because a symbolic link's "LINKNAME|TARGET" may straddle
// the directory and the file name (one Unix writer puts the '|' inside
// 0x02). Scanning is by whole characters when the name is in a code page
// with double-byte characters, so that a second byte 0x5C ('\') or 0x7C
// ('|') never splits a character.
//
// What a name is in: the UTF-16 headers when present; else the code-page
// header; else Shift_JIS for MS-DOS and Windows archives, which is what
// their writers used; else UTF-8 when the bytes are valid UTF-8 (Unix
// writers in UTF-8 locales, the usual case today, never say so); else
// unknown.
#include "format/names.h"

#include <cstdint>

#include "base/byte_order.h"
#include "base/utf8.h"

namespace lzh {
namespace {

constexpr uint32_t kShiftJisCodePage = 932;
constexpr uint32_t kUtf8CodePage = 65001;

// The first byte of a double-byte character in the code pages that have
// them: Shift_JIS (932), and GBK, Korean and Big5 (936, 949, 950), whose
// second bytes reach down to 0x40 and include 0x5C and 0x7C too.
bool IsLeadByteIn(uint32_t code_page, uint8_t b) {
  switch (code_page) {
    case kShiftJisCodePage: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950: return b >= 0x81 && b <= 0xFE;
    default: return false;
  }
}

// The code page of the stored name bytes; 0 when unknown.
uint32_t CodePageOf(const MemberHeader& h, std::string_view joined) {
  if (h.has_code_page) return h.code_page;
  // A level-0 header without an OS extension comes from MS-DOS archivers.
  bool dos_or_windows = h.os_id == 'M' || h.os_id == 'w' || h.os_id == 'W' || (h.level == 0 && h.os_id == 0);
  if (dos_or_windows) return kShiftJisCodePage;
  return IsValidUtf8(joined) ? kUtf8CodePage : 0;
}

NameEncoding EncodingOf(uint32_t code_page) {
  switch (code_page) {
    case kShiftJisCodePage: return NameEncoding::kShiftJis;
    case kUtf8CodePage: return NameEncoding::kUtf8;
    default: return NameEncoding::kUnknown;
  }
}

}  // namespace

void AppendUtf16AsUtf8(std::string_view utf16le, char separator, std::string* out) {
  size_t units = utf16le.size() / 2;
  auto unit = [&](size_t i) {
    return LoadLe16(reinterpret_cast<const uint8_t*>(utf16le.data()) + 2 * i);
  };
  for (size_t i = 0; i < units; ++i) {
    uint16_t u = unit(i);
    if (u == 0xFFFF) {
      out->push_back(separator);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
               unit(i + 1) <= 0xDFFF) {
      AppendUtf8(0x10000 + ((u - 0xD800u) << 10) + (unit(i + 1) - 0xDC00u), out);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(u, out);
    }
  }
}

void ResolvePath(const Utf16Names& utf16, MemberHeader* h) {
  h->is_symlink = h->method == Method::kLhd && h->has_unix_mode &&
                  (h->unix_mode & 0xF000) == 0xA000;
  h->is_directory = h->method == Method::kLhd && !h->is_symlink;

  std::string joined;
  if (utf16.has_directory) {
    AppendUtf16AsUtf8(utf16.directory, '/', &joined);
  } else {
    joined = h->stored_directory;
    for (char& c : joined)
      if (static_cast<uint8_t>(c) == 0xFF) c = '/';
  }
  if (!joined.empty() && joined.back() != '/') joined.push_back('/');
  if (utf16.has_name) {
    AppendUtf16AsUtf8(utf16.name, '/', &joined);
  } else {
    joined += h->stored_name;
  }
  // Names from the UTF-16 headers are UTF-8 now, whatever the bytes say.
  const uint32_t code_page =
      utf16.has_name || utf16.has_directory ? kUtf8CodePage : CodePageOf(*h, joined);
  h->name_encoding = EncodingOf(code_page);

  // Turn '\' into '/' and find the first '|', by whole characters.
  size_t pipe = std::string::npos;
  for (size_t i = 0; i < joined.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(joined[i]);
    if (IsLeadByteIn(code_page, b) && i + 1 < joined.size() && static_cast<uint8_t>(joined[i + 1]) >= 0x40) {
      ++i;
    } else if (b == '\\') {
      joined[i] = '/';
    } else if (b == '|' && pipe == std::string::npos) {
      pipe = i;
    }
  }

  h->link_target.clear();
  h->symlink_damaged = false;
  std::string_view own_path = joined;
  if (h->is_symlink) {
    if (pipe == std::string::npos) {
      h->symlink_damaged = true;
    } else {
      h->link_target.assign(joined, pipe + 1);
      own_path = own_path.substr(0, pipe);
    }
  }

  h->path.clear();
  size_t start = 0;
  while (start <= own_path.size()) {
    size_t end = own_path.find('/', start);
    if (end == std::string_view::npos) end = own_path.size();
    if (end > start) h->path.emplace_back(own_path.substr(start, end - start));
    start = end + 1;
  }
}

std::string MemberHeader::PathString() const {
  std::string joined;
  for (const std::string& component : path) {
    if (!joined.empty()) joined.push_back('/');
    joined += component;
  }
  return joined;
}

std::string MemberHeader::MethodText() const {
  return std::string(reinterpret_cast<const char*>(method_id.data()), method_id.size());
}

}  // namespace lzh
