// Every header record is copied whole from the file (ReadExactlyAt fails
// where the file ends) into a fixed buffer, and its fields are read from
// the copy at offsets its layout places inside it; every offset and size
// a record states is checked against the file size before it counts. The
// two ELF classes differ only in word width and field positions, so one
// reader serves both, and the ELF and PE section tables share the loop.
#include "format/program_image.h"

#include <algorithm>
#include <cstring>

namespace lzh {
namespace {

// The largest record read: an ELF file header or a 64-bit section header.
constexpr size_t kMaxRecordBytes = 64;

struct Record {
  uint8_t bytes[kMaxRecordBytes] = {};
  bool big_endian = false;

  // The unsigned field of `width` bytes at `at`, both constants of the
  // layout within the kMaxRecordBytes copied.
  uint64_t Field(size_t at, size_t width) const {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | bytes[big_endian ? at + i : at + width - 1 - i];
    return value;
  }
};

Status ReadRecord(RandomAccessReader& reader, uint64_t offset, size_t size, bool big_endian, Record* record) {
  record->big_endian = big_endian;
  return ReadExactlyAt(reader, offset, record->bytes, std::min(size, kMaxRecordBytes));
}

// Extends *end over [offset, offset + size), which must lie within the file.
Status Cover(uint64_t offset, uint64_t size, uint64_t file_size, uint64_t* end) {
  LZH_REQUIRE(offset <= file_size && size <= file_size - offset, kCorrupt, "program part past the end of the file");
  *end = std::max(*end, offset + size);
  return Status::Ok();
}

// Covers a table of `count` entries of `entry_size` bytes (16-bit values
// both, so the product cannot overflow) and hands each entry's first
// `used` bytes to `each`.
template <typename Each>
Status Table(RandomAccessReader& reader, uint64_t offset, uint64_t count, uint64_t entry_size, size_t used,
             bool big_endian, uint64_t* end, Each each) {
  if (count == 0) return Status::Ok();
  LZH_REQUIRE(entry_size >= used, kCorrupt, "program table entries too small");
  LZH_TRY(Cover(offset, count * entry_size, reader.Size(), end));
  for (uint64_t i = 0; i < count; ++i) {
    Record entry;
    LZH_TRY(ReadRecord(reader, offset + i * entry_size, used, big_endian, &entry));
    LZH_TRY(each(entry));
  }
  return Status::Ok();
}

Status ElfImageEnd(RandomAccessReader& reader, Record header, uint64_t* end) {
  const uint8_t elf_class = header.bytes[4], byte_order = header.bytes[5];
  LZH_REQUIRE((elf_class == 1 || elf_class == 2) && (byte_order == 1 || byte_order == 2), kCorrupt,
              "unknown ELF class or byte order");
  const bool wide = elf_class == 2;
  const size_t word = wide ? 8 : 4;
  const uint64_t size = reader.Size();
  header.big_endian = byte_order == 2;
  // The program-header offset, then the section-header offset, the flags
  // and the 16-bit sizes and counts.
  const size_t tables = wide ? 0x20 : 0x1C;
  const size_t halves = tables + 2 * word + 4;
  const uint64_t header_size = header.Field(halves, 2);
  const uint64_t segments = header.Field(tables, word), segment_count = header.Field(halves + 4, 2);
  const uint64_t sections = header.Field(tables + word, word), section_count = header.Field(halves + 8, 2);
  LZH_REQUIRE(header_size >= (wide ? 64u : 52u), kCorrupt, "ELF header too small");
  // Counts too large for these fields are kept in section 0 instead; no
  // self-extractor is that large, so such a file has no image size.
  LZH_REQUIRE(segment_count != 0xFFFF && (section_count != 0 || sections == 0), kCorrupt,
              "extended ELF numbering");
  LZH_TRY(Cover(0, header_size, size, end));
  LZH_TRY(Table(reader, segments, segment_count, header.Field(halves + 2, 2), wide ? 56 : 32, header.big_endian,
                end, [&](const Record& segment) {
                  return Cover(segment.Field(wide ? 8 : 4, word), segment.Field(wide ? 32 : 16, word), size, end);
                }));
  return Table(reader, sections, section_count, header.Field(halves + 6, 2), wide ? 64 : 40, header.big_endian,
               end, [&](const Record& section) {
                 constexpr uint64_t kNoBits = 8;  // a section that takes no bytes of the file
                 if (section.Field(4, 4) == kNoBits) return Status::Ok();
                 return Cover(section.Field(wide ? 24 : 16, word), section.Field(wide ? 32 : 20, word), size, end);
               });
}

Status PeImageEnd(RandomAccessReader& reader, uint64_t signature, uint64_t* end) {
  const uint64_t size = reader.Size();
  Record coff;
  LZH_TRY(ReadRecord(reader, signature, 24, false, &coff));
  const uint64_t optional = signature + 24, optional_size = coff.Field(20, 2);
  const uint64_t sections = optional + optional_size;
  LZH_TRY(Cover(0, sections, size, end));
  LZH_TRY(Table(reader, sections, coff.Field(6, 2), 40, 40, false, end, [&](const Record& section) {
    const uint64_t raw_size = section.Field(16, 4);
    return raw_size == 0 ? Status::Ok() : Cover(section.Field(20, 4), raw_size, size, end);
  }));
  // The certificate table (data directory 4, whose address is a file
  // offset) is appended after the sections when a program is signed.
  Record magic;
  LZH_TRY(ReadRecord(reader, optional, 2, false, &magic));
  LZH_REQUIRE(magic.Field(0, 2) == 0x10B || magic.Field(0, 2) == 0x20B, kCorrupt, "unknown PE optional header");
  const uint64_t directories = magic.Field(0, 2) == 0x20B ? 112 : 96;
  if (optional_size < directories + 5 * 8) return Status::Ok();
  Record table;  // the directory count, then directories 0 to 4
  LZH_TRY(ReadRecord(reader, optional + directories - 4, 44, false, &table));
  const uint64_t certificate_size = table.Field(40, 4);
  if (table.Field(0, 4) <= 4 || certificate_size == 0) return Status::Ok();
  return Cover(table.Field(36, 4), certificate_size, size, end);
}

}  // namespace

Status ProgramImageEnd(RandomAccessReader& reader, uint64_t* end) {
  *end = 0;
  Record header;
  LZH_TRY(ReadRecord(reader, 0, kMaxRecordBytes, false, &header));
  if (std::memcmp(header.bytes, "\x7F" "ELF", 4) == 0) return ElfImageEnd(reader, header, end);
  LZH_REQUIRE(header.bytes[0] == 'M' && header.bytes[1] == 'Z', kCorrupt, "not a program");
  const uint64_t pe = header.Field(0x3C, 4);
  Record signature;
  if (ReadRecord(reader, pe, 4, false, &signature).ok() && std::memcmp(signature.bytes, "PE\0\0", 4) == 0)
    return PeImageEnd(reader, pe, end);
  // A DOS program: pages of 512 bytes, the last one holding `last_page`
  // bytes unless 0.
  const uint64_t last_page = header.Field(2, 2), pages = header.Field(4, 2);
  LZH_REQUIRE(last_page < 512 && pages > 0, kCorrupt, "bad DOS program size");
  const uint64_t image = pages * 512 - (last_page == 0 ? 0 : 512 - last_page);
  LZH_REQUIRE(image >= header.Field(8, 2) * 16, kCorrupt, "DOS program smaller than its header");
  return Cover(0, image, reader.Size(), end);
}

}  // namespace lzh
