// MemberHeader: everything one header says about a member, resolved for the
// layers above (listing, extraction, rewriting) and used as the input of
// the header writer, so that what is written can be read back field for
// field.
//
// Names keep two forms: the bytes as stored, and the resolved path as
// components. Components are byte strings in `name_encoding`; separators
// are already split away by whole characters (a Shift_JIS second byte 0x5C
// is not a separator), empty components (leading, doubled or trailing
// separators) are dropped. Components are NOT made safe: ".." and drive
// prefixes stay for the extraction layer to refuse.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/method.h"

namespace lzh {

enum class NameEncoding : uint8_t {
  kUnknown,   // bytes of an unnamed code page (often Latin-1)
  kShiftJis,  // code page 932, or MS-DOS/Windows OS id without a code page
  kUtf8,      // code page 65001, or converted from the UTF-16 headers
};

// MS-DOS attribute bits.
inline constexpr uint8_t kAttributeReadOnly = 0x01;
inline constexpr uint8_t kAttributeHidden = 0x02;
inline constexpr uint8_t kAttributeSystem = 0x04;
inline constexpr uint8_t kAttributeDirectory = 0x10;
inline constexpr uint8_t kAttributeArchive = 0x20;

struct MemberHeader {
  // Method: the enum, and the five id bytes as stored ("-lh5-"), which name
  // rare methods the enum folds into kOther.
  Method method = Method::kLh0;
  std::array<uint8_t, 5> method_id{};
  uint8_t level = 0;

  uint64_t packed_size = 0;  // compressed data only (level 1: extended headers excluded)
  uint64_t original_size = 0;
  uint16_t crc = 0;         // CRC-16 of the original bytes
  // The MS-DOS attribute: extended header 0x40 when present, else the base
  // header's byte. Amiga writers put their protection bits in that byte,
  // so there it tells nothing of MS-DOS attributes (dos_attribute false)
  // unless 0x40 gives them. Written: read-only, hidden and system go into
  // 0x40 at levels 1 and 2, whose base byte stays 0x20 (one common reader
  // refuses any other), and into the base byte at level 0.
  uint8_t attribute = kAttributeArchive;
  bool dos_attribute = true;
  uint8_t os_id = 0;        // 'M', 'U', 'w', ...; 0 when the header has none

  // Modification time in Unix seconds, resolved: level 2/3 header, else
  // 0x54 or the level-0 'U'/'K' extension, else the MS-DOS stamp read as
  // local time. mtime_valid is false when only an invalid MS-DOS stamp
  // exists (date 0, month 0, ...).
  int64_t mtime = 0;
  bool mtime_valid = false;
  uint32_t dos_time = 0;  // the raw stamp of levels 0 and 1
  bool has_dos_time = false;

  // Windows FILETIMEs from 0x41 (100 ns since 1601-01-01 UTC).
  bool has_windows_times = false;
  uint64_t creation_time = 0, write_time = 0, access_time = 0;

  bool has_unix_mode = false;
  uint16_t unix_mode = 0;
  bool has_unix_ids = false;
  uint16_t uid = 0, gid = 0;
  std::string user, group;  // empty when absent

  bool has_code_page = false;
  uint32_t code_page = 0;
  std::string comment;  // 0x3F, or the Amiga comment after a NUL in a level-0/1 name

  // Names as stored: the base-header or 0x01 name (before any NUL), and the
  // 0x02 directory with its 0xFF separators. UTF-16 names (0x44/0x45) are
  // not kept raw; they win in `path`.
  std::string stored_name;
  std::string stored_directory;

  NameEncoding name_encoding = NameEncoding::kUnknown;
  std::vector<std::string> path;  // resolved components; the link's own path for a symlink
  bool is_directory = false;      // -lhd- and not a symbolic link
  bool is_symlink = false;        // -lhd- with a link mode
  bool symlink_damaged = false;   // a link whose name holds no '|': report it, skip it
  std::string link_target;        // bytes after the '|', separators as '/'

  // Where the member lies in the archive. The header occupies
  // [header_offset, header_offset + header_length) and the data
  // [data_offset, data_offset + packed_size).
  uint64_t header_offset = 0;
  uint64_t header_length = 0;
  uint64_t data_offset = 0;
  bool has_header_crc = false;  // extended header 0x00 was present (and matched)

  // The path joined with '/'.
  std::string PathString() const;
  // The five method id bytes as text, "-lh5-".
  std::string MethodText() const;
};

}  // namespace lzh
