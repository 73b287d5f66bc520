// Names are joined into one string with '/' as the only separator before
// they are split, because a symbolic link's "LINKNAME|TARGET" may straddle
// the directory and the file name (one Unix writer puts the '|' inside
// 0x02). Scanning is by whole characters when the name is Shift_JIS, so
// that a second byte 0x5C ('\') or 0x7C ('|') never splits a character.
#include "format/names.h"

#include <cstdint>

namespace lzh {
namespace {

bool IsShiftJisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsShiftJisTrail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

NameEncoding EncodingOf(const MemberHeader& h, const Utf16Names& utf16) {
  if (utf16.has_name || utf16.has_directory) return NameEncoding::kUtf8;
  if (h.has_code_page) {
    if (h.code_page == 65001) return NameEncoding::kUtf8;
    if (h.code_page == 932) return NameEncoding::kShiftJis;
    return NameEncoding::kUnknown;
  }
  // A level-0 header without an OS extension comes from MS-DOS archivers.
  bool dos_or_windows = h.os_id == 'M' || h.os_id == 'w' || h.os_id == 'W' ||
                        (h.level == 0 && h.os_id == 0);
  return dos_or_windows ? NameEncoding::kShiftJis : NameEncoding::kUnknown;
}

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

void AppendUtf16AsUtf8(std::string_view utf16le, char separator, std::string* out) {
  size_t units = utf16le.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<uint16_t>(static_cast<uint8_t>(utf16le[2 * i]) |
                                 (static_cast<uint8_t>(utf16le[2 * i + 1]) << 8));
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
  h->name_encoding = EncodingOf(*h, utf16);
  h->is_symlink = h->method == Method::kLhd && h->has_unix_mode &&
                  (h->unix_mode & 0xF000) == 0xA000;
  h->is_directory = h->method == Method::kLhd && !h->is_symlink;

  std::string joined;
  if (utf16.has_directory) {
    AppendUtf16AsUtf8(utf16.directory, '/', &joined);
  } else {
    for (char c : h->stored_directory) joined.push_back(static_cast<uint8_t>(c) == 0xFF ? '/' : c);
  }
  if (!joined.empty() && joined.back() != '/') joined.push_back('/');
  if (utf16.has_name) {
    AppendUtf16AsUtf8(utf16.name, '/', &joined);
  } else {
    joined += h->stored_name;
  }

  // Turn '\' into '/' and find the first '|', by whole characters.
  bool shift_jis = h->name_encoding == NameEncoding::kShiftJis;
  size_t pipe = std::string::npos;
  for (size_t i = 0; i < joined.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(joined[i]);
    if (shift_jis && IsShiftJisLead(b) && i + 1 < joined.size() &&
        IsShiftJisTrail(static_cast<uint8_t>(joined[i + 1]))) {
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
