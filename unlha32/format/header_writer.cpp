// Level 0 keeps the whole path in its name with '\' separators; level 1
// keeps the file name in the base header and the directory in 0x02 (0xFF
// separators); level 2 keeps both in 0x01/0x02. Extended headers are
// collected first and serialised by one function, since each announces
// the size of the next.
#include "format/header_writer.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/byte_order.h"
#include "codec/crc16.h"
#include "os/time.h"

namespace lzh {
namespace {

void PutText(std::vector<uint8_t>* out, std::string_view text) { out->insert(out->end(), text.begin(), text.end()); }

struct Extension {
  uint8_t type;
  std::vector<uint8_t> data;
};

Extension TextExtension(uint8_t type, std::string_view text) {
  return {type, std::vector<uint8_t>(text.begin(), text.end())};
}

// The path as one string: components joined by `separator`, a trailing
// separator for directories, "|TARGET" for symbolic links.
std::string JoinedPath(const MemberHeader& h, char separator) {
  std::string joined;
  for (const std::string& component : h.path) {
    if (!joined.empty()) joined.push_back(separator);
    joined += component;
  }
  if (h.is_directory && !joined.empty()) joined.push_back(separator);
  if (h.is_symlink) joined += "|" + h.link_target;
  return joined;
}

// Directory components of levels 1 and 2 (0xFF-separated, with a trailing
// 0xFF) and the file name; a directory member is all directory.
void SplitPath(const MemberHeader& h, std::string* directory, std::string* name) {
  size_t directory_components = h.is_directory ? h.path.size() : h.path.size() - (h.path.empty() ? 0 : 1);
  for (size_t i = 0; i < directory_components; ++i) {
    *directory += h.path[i];
    directory->push_back('\xFF');
  }
  if (directory_components < h.path.size()) *name = h.path.back();
  if (h.is_symlink) *name += "|" + h.link_target;
}

// Whether the Unix fields, and with them a Unix time, are written.
bool WritesUnixTime(const MemberHeader& h, int level) {
  return h.has_unix_mode && (level != 0 || h.os_id == 'U');
}

// The attributes the base byte cannot carry at levels 1 and 2.
constexpr uint8_t kDosOnlyAttributes = kAttributeReadOnly | kAttributeHidden | kAttributeSystem;

// The MS-DOS attribute as written: a directory as MS-DOS archivers mark it.
uint8_t WrittenAttribute(const MemberHeader& h) {
  return h.is_directory ? kAttributeDirectory | (h.attribute & kDosOnlyAttributes)
                        : h.attribute & (kDosOnlyAttributes | kAttributeArchive);
}

void AddCommonExtensions(const MemberHeader& h, uint32_t unix_time, std::vector<Extension>* list) {
  if (!h.comment.empty()) list->push_back(TextExtension(0x3F, h.comment));
  if (h.attribute & kDosOnlyAttributes) {
    Extension attribute{0x40, {}};
    AppendLe16(&attribute.data, WrittenAttribute(h));
    list->push_back(attribute);
  }
  if (h.has_code_page) {
    Extension page{0x46, {}};
    AppendLe32(&page.data, h.code_page);
    list->push_back(page);
  }
  if (!h.has_unix_mode) return;
  Extension mode{0x50, {}};
  AppendLe16(&mode.data, h.unix_mode);
  list->push_back(mode);
  if (h.has_unix_ids) {
    Extension ids{0x51, {}};
    AppendLe16(&ids.data, h.gid);
    AppendLe16(&ids.data, h.uid);
    list->push_back(ids);
  }
  if (!h.group.empty()) list->push_back(TextExtension(0x52, h.group));
  if (!h.user.empty()) list->push_back(TextExtension(0x53, h.user));
  Extension mtime{0x54, {}};
  AppendLe32(&mtime.data, unix_time);
  list->push_back(mtime);
}

// Appends the chain and stores the first extension's size (2-byte fields)
// at `first_size_at`. Returns false when one extension exceeds 65535 bytes.
bool AppendChain(const std::vector<Extension>& list, size_t first_size_at, std::vector<uint8_t>* out) {
  size_t size_field = first_size_at;
  for (const Extension& e : list) {
    size_t size = e.data.size() + 3;
    if (size > 0xFFFF) return false;
    StoreLe16(out, size_field, static_cast<uint32_t>(size));
    out->push_back(e.type);
    out->insert(out->end(), e.data.begin(), e.data.end());
    size_field = out->size();
    AppendLe16(out, 0);
  }
  return true;
}

// Offsets 2-14 of every level: method, first size field, original size.
void PutMethodAndSizes(const MemberHeader& h, uint64_t first_size, std::vector<uint8_t>* out) {
  PutText(out, MethodIdText(h.method));
  AppendLe32(out, static_cast<uint32_t>(first_size));
  AppendLe32(out, static_cast<uint32_t>(h.original_size));
}

Status BuildLevel0(const MemberHeader& h, std::vector<uint8_t>* out) {
  std::string name = JoinedPath(h, '\\');
  bool unix_extension = WritesUnixTime(h, 0);
  int64_t mtime = StorableTime(h.mtime, 0, unix_extension);
  size_t header_size = 22 + name.size() + (unix_extension ? 12 : 0);
  LZH_REQUIRE(header_size <= 0xFF, kTooLarge, "name too long for a level-0 header");
  out->push_back(static_cast<uint8_t>(header_size));
  out->push_back(0);  // checksum
  PutMethodAndSizes(h, h.packed_size, out);
  AppendLe32(out, os::UnixToDosTime(mtime));
  out->push_back(WrittenAttribute(h));
  out->push_back(0);
  out->push_back(static_cast<uint8_t>(name.size()));
  PutText(out, name);
  AppendLe16(out, h.crc);
  if (unix_extension) {
    out->push_back('U');
    out->push_back(0);  // extension version
    AppendLe32(out, static_cast<uint32_t>(mtime));
    AppendLe16(out, h.unix_mode);
    AppendLe16(out, h.uid);
    AppendLe16(out, h.gid);
  }
  return Status::Ok();
}

Status BuildLevel1(const MemberHeader& h, std::vector<uint8_t>* out) {
  std::string directory, name;
  SplitPath(h, &directory, &name);
  std::vector<Extension> list;
  // A name too long for the one-byte length goes to 0x01 instead.
  bool name_in_base = name.size() <= 0xFF - 25;
  if (!name_in_base) list.push_back(TextExtension(0x01, name));
  if (!directory.empty()) list.push_back(TextExtension(0x02, directory));
  int64_t mtime = StorableTime(h.mtime, 1, WritesUnixTime(h, 1));
  AddCommonExtensions(h, static_cast<uint32_t>(mtime), &list);

  uint64_t extensions_size = 0;
  for (const Extension& e : list) extensions_size += e.data.size() + 3;
  uint64_t skip_size = h.packed_size + extensions_size;
  LZH_REQUIRE(skip_size < kFourGiB, kTooLarge, "member too large for header level 1");

  size_t name_size = name_in_base ? name.size() : 0;
  out->push_back(static_cast<uint8_t>(25 + name_size));
  out->push_back(0);  // checksum
  PutMethodAndSizes(h, skip_size, out);
  AppendLe32(out, os::UnixToDosTime(mtime));
  out->push_back(kAttributeArchive);
  out->push_back(1);
  out->push_back(static_cast<uint8_t>(name_size));
  if (name_in_base) PutText(out, name);
  AppendLe16(out, h.crc);
  out->push_back(h.os_id);
  AppendLe16(out, 0);
  LZH_REQUIRE(AppendChain(list, out->size() - 2, out), kTooLarge, "name too long for a header");
  return Status::Ok();
}

Status BuildLevel2(const MemberHeader& h, bool wide_sizes, std::vector<uint8_t>* out) {
  std::string directory, name;
  SplitPath(h, &directory, &name);
  std::vector<Extension> list;
  list.push_back({0x00, {0, 0}});
  if (!name.empty()) list.push_back(TextExtension(0x01, name));
  if (!directory.empty()) list.push_back(TextExtension(0x02, directory));
  if (wide_sizes) {
    Extension sizes{0x42, {}};
    AppendLe64(&sizes.data, h.packed_size);
    AppendLe64(&sizes.data, h.original_size);
    list.push_back(sizes);
  }
  const uint32_t mtime = static_cast<uint32_t>(StorableTime(h.mtime, 2, true));
  AddCommonExtensions(h, mtime, &list);

  size_t total = 26;
  for (const Extension& e : list) total += e.data.size() + 3;
  // A total size with low byte 0 reads as an end byte to one common reader;
  // a longer 0x00 extension (its extra byte is ignored) avoids it.
  if ((total & 0xFF) == 0) {
    list[0].data.push_back(0);
    ++total;
  }
  LZH_REQUIRE(total <= 0xFFFF, kTooLarge, "header too large");

  AppendLe16(out, static_cast<uint32_t>(total));
  PutMethodAndSizes(h, h.packed_size, out);
  AppendLe32(out, mtime);
  // 0x20 even for directories (-lhd- says what they are): one common
  // reader refuses a level-2 header with any other attribute.
  out->push_back(kAttributeArchive);
  out->push_back(2);
  AppendLe16(out, h.crc);
  out->push_back(h.os_id);
  AppendLe16(out, 0);
  LZH_REQUIRE(AppendChain(list, 24, out), kTooLarge, "header too large");
  StoreLe16(out, 27, Crc16(0, out->data(), out->size()));  // 0x00's CRC field, still zero
  return Status::Ok();
}

}  // namespace

int64_t StorableTime(int64_t mtime, int level, bool with_unix_time) {
  int64_t earliest = INT64_MIN, latest = INT64_MAX;
  if (level < 2) {
    // The odd second after the last stamp still reads as that stamp.
    if (!os::DosTimeToUnix(os::kEarliestDosTime, &earliest) || !os::DosTimeToUnix(os::kLatestDosTime, &latest))
      return mtime;
    ++latest;
  }
  if (level == 2 || with_unix_time) {
    earliest = std::max<int64_t>(earliest, 0);
    latest = std::min<int64_t>(latest, UINT32_MAX);
  }
  return std::clamp(mtime, earliest, latest);
}

Status BuildHeader(const MemberHeader& header, int level, bool wide_sizes, std::vector<uint8_t>* out) {
  out->clear();
  LZH_REQUIRE(header.method != Method::kOther, kUnsupported, "method not written");
  wide_sizes = wide_sizes || NeedsWideSizes(header.packed_size, header.original_size);
  if (level == 2) return BuildLevel2(header, wide_sizes, out);
  LZH_REQUIRE(!wide_sizes, kTooLarge, "a member of 4 GiB or more needs header level 2");
  LZH_REQUIRE(level == 0 || level == 1, kUnsupported, "header level not written");
  LZH_TRY(level == 0 ? BuildLevel0(header, out) : BuildLevel1(header, out));
  unsigned sum = 0;
  for (size_t i = 2; i < out->size() && i < static_cast<size_t>((*out)[0]) + 2; ++i) sum += (*out)[i];
  (*out)[1] = static_cast<uint8_t>(sum);
  return Status::Ok();
}

}  // namespace lzh
