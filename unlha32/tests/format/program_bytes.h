// Hand-made executable images for the self-extractor tests: ELF (either
// class and byte order), PE (PE32 and PE32+) and DOS MZ headers laid out
// field by field, each with the bytes past its image end known, so that a
// test can make the headers lie one field at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/format/header_bytes.h"

namespace lzh::test {

// Writes `value` as `width` bytes at `at`.
inline void PutField(Bytes* b, size_t at, uint64_t value, size_t width, bool big_endian = false) {
  for (size_t i = 0; i < width; ++i)
    (*b)[big_endian ? at + width - 1 - i : at + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct ElfImage {
  bool wide = true;
  bool big_endian = false;
  struct Part {
    uint64_t type, offset, size;
  };
  // One segment; sections after the null one (type 8 takes no file bytes).
  uint64_t segment_offset = 0, segment_size = 0;
  std::vector<Part> sections;
  uint64_t program_table = 0, section_table = 0;
  uint64_t file_size = 0;

  size_t word() const { return wide ? 8 : 4; }
  size_t header_size() const { return wide ? 64 : 52; }
  size_t segment_entry() const { return wide ? 56 : 32; }
  size_t section_entry() const { return wide ? 64 : 40; }
  size_t tables() const { return wide ? 0x20 : 0x1C; }          // where e_phoff is
  size_t halves() const { return tables() + 2 * word() + 4; }  // where e_ehsize is

  Bytes Build() const {
    Bytes b(file_size, 0x90);
    const bool be = big_endian;
    std::fill(b.begin(), b.begin() + header_size(), 0);
    b[0] = 0x7F, b[1] = 'E', b[2] = 'L', b[3] = 'F';
    b[4] = wide ? 2 : 1, b[5] = be ? 2 : 1, b[6] = 1;
    PutField(&b, tables(), program_table, word(), be);
    PutField(&b, tables() + word(), section_table, word(), be);
    PutField(&b, halves(), header_size(), 2, be);
    PutField(&b, halves() + 2, segment_entry(), 2, be);
    PutField(&b, halves() + 4, 1, 2, be);
    PutField(&b, halves() + 6, section_entry(), 2, be);
    PutField(&b, halves() + 8, sections.size() + 1, 2, be);
    PutField(&b, program_table + (wide ? 8 : 4), segment_offset, word(), be);
    PutField(&b, program_table + (wide ? 32 : 16), segment_size, word(), be);
    std::fill(b.begin() + section_table, b.begin() + section_table + section_entry(), 0);
    for (size_t i = 0; i < sections.size(); ++i) {
      size_t at = section_table + (i + 1) * section_entry();
      PutField(&b, at + 4, sections[i].type, 4, be);
      PutField(&b, at + (wide ? 24 : 16), sections[i].offset, word(), be);
      PutField(&b, at + (wide ? 32 : 20), sections[i].size, word(), be);
    }
    return b;
  }
};

// An ELF whose image ends with its section-header table at `image_size`:
// headers, one loaded segment, a code section, a bss section.
inline ElfImage SimpleElf(bool wide, bool big_endian, uint64_t image_size) {
  ElfImage elf;
  elf.wide = wide;
  elf.big_endian = big_endian;
  elf.program_table = elf.header_size();
  elf.section_table = image_size - 3 * elf.section_entry();
  elf.segment_size = elf.section_table;
  elf.sections = {{1, 0x200, elf.section_table - 0x200}, {8, elf.section_table, 0x10000}};
  elf.file_size = image_size;
  return elf;
}

// A PE with its headers, two sections and a certificate table after them.
struct PeImage {
  bool wide = false;
  uint32_t signature = 0x80;
  uint16_t optional_size() const { return wide ? 0xF0 : 0xE0; }
  uint64_t section_table() const { return signature + 24 + optional_size(); }
  uint64_t directories() const { return signature + 24 + (wide ? 112 : 96); }
  uint32_t sections[2][2] = {{0x400, 0x200}, {0x600, 0x400}};  // raw data: offset, size
  uint32_t certificate[2] = {0xA00, 0x100};
  uint64_t file_size = 0xB00;

  Bytes Build() const {
    Bytes b(file_size, 0xCC);
    std::fill(b.begin(), b.begin() + 0x400, 0);
    b[0] = 'M', b[1] = 'Z';
    PutField(&b, 0x3C, signature, 4);
    b[signature] = 'P', b[signature + 1] = 'E';
    PutField(&b, signature + 4, wide ? 0x8664 : 0x14C, 2);
    PutField(&b, signature + 6, 2, 2);
    PutField(&b, signature + 20, optional_size(), 2);
    PutField(&b, signature + 24, wide ? 0x20B : 0x10B, 2);
    PutField(&b, directories() - 4, 16, 4);
    PutField(&b, directories() + 32, certificate[0], 4);
    PutField(&b, directories() + 36, certificate[1], 4);
    for (size_t i = 0; i < 2; ++i) {
      PutField(&b, section_table() + 40 * i + 16, sections[i][1], 4);
      PutField(&b, section_table() + 40 * i + 20, sections[i][0], 4);
    }
    return b;
  }
};

// A DOS program of `size` bytes (its header states pages of 512 bytes).
inline Bytes DosProgram(uint32_t size) {
  Bytes b(size, 0x90);
  std::fill(b.begin(), b.begin() + 32, 0);
  b[0] = 'M', b[1] = 'Z';
  PutField(&b, 2, size % 512, 2);
  PutField(&b, 4, (size + 511) / 512, 2);
  PutField(&b, 8, 2, 2);  // header paragraphs
  return b;
}

}  // namespace lzh::test
