// Levels 0 and 1 share the base layout up to the name; levels 2 and 3 share
// theirs up to offset 23. The extended-header chain of levels 1-3 is walked
// by one function whose only level-dependent inputs are the width of the
// next-size field and the bound the chain must stay within.
#include "format/header_parser.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "codec/crc16.h"
#include "os/time.h"
#include "format/names.h"

namespace lzh {
namespace {

// The error for a header that needs `need` bytes when `have` are there.
Status Need(size_t need, std::span<const uint8_t> bytes) {
  if (need <= bytes.size()) return Status::Ok();
  LZH_REQUIRE(bytes.size() >= kMaxHeaderBytes, kTruncated, "truncated header");
  return Status::Corrupt("header too large");
}

// What the extended headers say beyond the fields they set directly.
struct Extensions {
  Utf16Names utf16;
  bool has_crc = false;
  size_t crc_position = 0;  // offset of the two CRC bytes in the header
  uint16_t header_crc = 0;
  bool has_sizes = false;
  uint64_t packed_size = 0, original_size = 0;
  bool has_mtime = false;
  int64_t mtime = 0;
  bool has_attribute = false;
};

std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

void ApplyExtension(uint8_t type, const uint8_t* data, size_t size, size_t position,
                    MemberHeader* h, Extensions* ext) {
  // Fixed-size types shorter than their data are ignored like unknown ones:
  // real archives carry odd extended headers, and nothing depends on them.
  switch (type) {
    case 0x00:
      if (size >= 2) {
        ext->has_crc = true;
        ext->crc_position = position + 1;
        ext->header_crc = LoadLe16(data);
      }
      break;
    case 0x01: h->stored_name.assign(Text(data, size)); break;
    case 0x02: h->stored_directory.assign(Text(data, size)); break;
    case 0x3F: h->comment.assign(Text(data, size)); break;
    case 0x40:
      if (size >= 1) {
        h->attribute = data[0];
        ext->has_attribute = true;
      }
      break;
    case 0x41:
      if (size >= 24) {
        h->has_windows_times = true;
        h->creation_time = LoadLe64(data);
        h->write_time = LoadLe64(data + 8);
        h->access_time = LoadLe64(data + 16);
      }
      break;
    case 0x42:
      if (size >= 16) {
        ext->has_sizes = true;
        ext->packed_size = LoadLe64(data);
        ext->original_size = LoadLe64(data + 8);
      }
      break;
    case 0x44:
      ext->utf16.has_name = true;
      ext->utf16.name = Text(data, size);
      break;
    case 0x45:
      ext->utf16.has_directory = true;
      ext->utf16.directory = Text(data, size);
      break;
    case 0x46:
      if (size >= 4) {
        h->has_code_page = true;
        h->code_page = LoadLe32(data);
      }
      break;
    case 0x50:
      if (size >= 2) {
        h->has_unix_mode = true;
        h->unix_mode = LoadLe16(data);
      }
      break;
    case 0x51:
      if (size >= 4) {
        h->has_unix_ids = true;
        h->gid = LoadLe16(data);
        h->uid = LoadLe16(data + 2);
      }
      break;
    case 0x52: h->group.assign(Text(data, size)); break;
    case 0x53: h->user.assign(Text(data, size)); break;
    case 0x54:
      if (size >= 4) {
        ext->has_mtime = true;
        ext->mtime = LoadLe32(data);
      }
      break;
    default: break;
  }
}

// Walks the chain that starts at `position` with the announced `size`.
// `skip_bound` is where a level-1 chain must end (the skip size); the bytes
// bound every level. Sets *chain_end to the offset after the last one.
Status ParseExtensions(std::span<const uint8_t> bytes, size_t position, uint64_t size,
                       size_t width, uint64_t skip_bound, MemberHeader* h, Extensions* ext,
                       size_t* chain_end) {
  while (size != 0) {
    LZH_REQUIRE(size >= 1 + width, kCorrupt, "bad extended header size");
    LZH_REQUIRE(position + size <= skip_bound, kCorrupt, "extended header runs past the header");
    LZH_TRY(Need(position + size, bytes));
    const uint8_t* p = bytes.data() + position;
    size_t end = position + static_cast<size_t>(size);
    ApplyExtension(p[0], p + 1, static_cast<size_t>(size) - 1 - width, position, h, ext);
    size = width == 2 ? LoadLe16(bytes.data() + end - 2) : LoadLe32(bytes.data() + end - 4);
    position = end;
  }
  *chain_end = position;
  return Status::Ok();
}

Status CheckHeaderCrc(std::span<const uint8_t> header, const Extensions& ext) {
  uint16_t crc = Crc16(0, header.data(), ext.crc_position);
  const uint8_t zeros[2] = {0, 0};
  crc = Crc16(crc, zeros, 2);
  crc = Crc16(crc, header.data() + ext.crc_position + 2, header.size() - ext.crc_position - 2);
  LZH_REQUIRE(crc == ext.header_crc, kCorrupt, "header CRC mismatch");
  return Status::Ok();
}

Status CheckChecksum(std::span<const uint8_t> bytes, size_t base_length) {
  unsigned sum = 0;
  for (size_t i = 2; i < base_length; ++i) sum += bytes[i];
  LZH_REQUIRE((sum & 0xFF) == bytes[1], kCorrupt, "header checksum mismatch");
  return Status::Ok();
}

// The level-0/1 name field: a NUL ends the path, an Amiga comment follows.
void TakeBaseName(const uint8_t* name, size_t size, MemberHeader* h) {
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(name, 0, size));
  size_t name_size = nul ? static_cast<size_t>(nul - name) : size;
  h->stored_name.assign(Text(name, name_size));
  if (nul) h->comment.assign(Text(nul + 1, size - name_size - 1));
}

// Levels 0 and 1. Returns the header length in *length.
Status ParseLevel01(std::span<const uint8_t> bytes, HeaderChecks checks, MemberHeader* h, Extensions* ext,
                    size_t* length) {
  size_t base = static_cast<size_t>(bytes[0]) + 2;
  size_t name_size = bytes[21];
  size_t minimum = (h->level == 0 ? 24 : 27) + name_size;
  LZH_REQUIRE(base >= minimum, kCorrupt, "bad header size");
  LZH_TRY(Need(base, bytes));
  if (checks == HeaderChecks::kAll) LZH_TRY(CheckChecksum(bytes, base));
  TakeBaseName(bytes.data() + 22, name_size, h);
  h->crc = LoadLe16(bytes.data() + 22 + name_size);
  h->has_dos_time = true;
  h->dos_time = LoadLe32(bytes.data() + 15);

  if (h->level == 0) {
    const uint8_t* extension = bytes.data() + 24 + name_size;
    size_t extension_size = base - 24 - name_size;
    if (extension_size >= 1) h->os_id = extension[0];
    if (extension_size >= 12 && extension[0] == 'U') {
      ext->has_mtime = true;
      ext->mtime = LoadLe32(extension + 2);
      h->has_unix_mode = true;
      h->unix_mode = LoadLe16(extension + 6);
      h->has_unix_ids = true;
      h->uid = LoadLe16(extension + 8);
      h->gid = LoadLe16(extension + 10);
    } else if (extension_size >= 16 && extension[0] == 'K') {
      ext->has_mtime = true;
      ext->mtime = LoadLe32(extension + 2);
    }
    *length = base;
    return Status::Ok();
  }

  h->os_id = bytes[24 + name_size];
  uint64_t skip_size = LoadLe32(bytes.data() + 7);
  size_t chain_end = 0;
  LZH_TRY(ParseExtensions(bytes, base, LoadLe16(bytes.data() + base - 2), 2, base + skip_size, h,
                          ext, &chain_end));
  h->packed_size = skip_size - (chain_end - base);
  *length = chain_end;
  return Status::Ok();
}

// Levels 2 and 3: the header runs to the stated total size or to the end of
// the chain, whichever is further (writers err both ways).
Status ParseLevel23(std::span<const uint8_t> bytes, MemberHeader* h, Extensions* ext,
                    size_t* length) {
  bool level3 = h->level == 3;
  size_t fixed = level3 ? 32 : 26;
  LZH_TRY(Need(fixed, bytes));
  uint64_t total = level3 ? LoadLe32(bytes.data() + 24) : LoadLe16(bytes.data());
  LZH_REQUIRE(total >= fixed, kCorrupt, "bad header size");
  LZH_REQUIRE(total <= kMaxHeaderBytes, kCorrupt, "header too large");
  h->crc = LoadLe16(bytes.data() + 21);
  h->os_id = bytes[23];
  h->mtime = LoadLe32(bytes.data() + 15);
  h->mtime_valid = true;
  uint64_t first = level3 ? LoadLe32(bytes.data() + 28) : LoadLe16(bytes.data() + 24);
  size_t chain_end = 0;
  LZH_TRY(ParseExtensions(bytes, fixed, first, level3 ? 4 : 2, UINT64_MAX, h, ext, &chain_end));
  *length = std::max(static_cast<size_t>(total), chain_end);
  LZH_TRY(Need(*length, bytes));
  return Status::Ok();
}

void ResetHeader(MemberHeader* h) {
  // Assigned from a default header rather than moved from a fresh one: an
  // empty string or vector assigned keeps its storage, so one MemberHeader
  // serving a whole walk allocates nothing per member.
  static const MemberHeader kDefault;
  *h = kDefault;
}

}  // namespace

Status ParseHeader(std::span<const uint8_t> bytes, uint64_t header_offset, MemberHeader* h, HeaderChecks checks) {
  ResetHeader(h);
  LZH_TRY(Need(kMinHeaderBytes, bytes));
  LZH_REQUIRE(ParseMethodId(bytes.data() + 2, &h->method) || checks == HeaderChecks::kLayout, kCorrupt,
              "bad method id");
  std::memcpy(h->method_id.data(), bytes.data() + 2, 5);
  h->packed_size = LoadLe32(bytes.data() + 7);
  h->original_size = LoadLe32(bytes.data() + 11);
  h->attribute = bytes[19];
  h->level = bytes[20];
  LZH_REQUIRE(h->level <= 3, kCorrupt, "unknown header level");

  Extensions ext;
  size_t length = 0;
  if (h->level <= 1) {
    LZH_TRY(ParseLevel01(bytes, checks, h, &ext, &length));
  } else {
    LZH_TRY(ParseLevel23(bytes, h, &ext, &length));
  }
  if (ext.has_crc && checks == HeaderChecks::kAll) LZH_TRY(CheckHeaderCrc(bytes.first(length), ext));
  h->has_header_crc = ext.has_crc;
  h->dos_attribute = ext.has_attribute || h->os_id != 'A';
  if (ext.has_sizes) {
    h->packed_size = ext.packed_size;
    h->original_size = ext.original_size;
  }
  if (h->level <= 1) {
    if (ext.has_mtime) {
      h->mtime = ext.mtime;
      h->mtime_valid = true;
    } else {
      h->mtime_valid = os::DosTimeToUnix(h->dos_time, &h->mtime);
    }
  }
  ResolvePath(ext.utf16, h);
  h->header_offset = header_offset;
  h->header_length = length;
  h->data_offset = header_offset + length;
  return Status::Ok();
}

}  // namespace lzh
