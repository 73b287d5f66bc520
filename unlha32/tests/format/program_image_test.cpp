// Self-extracting programs found by their image size: ELF, PE and DOS
// images end where their headers say, an archive after an image of any
// size is found there (and not a header-like one inside the image), and
// headers that lie (parts past the end, overflowing offsets, tables cut
// short) give no image size, leaving the archive to the search from the
// start, while a plain archive that happens to begin with "MZ" is read
// from offset 0.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/program_image.h"
#include "tests/format/program_bytes.h"
#include "tests/format/walk_all.h"

namespace lzh {
namespace {

using test::Bytes;
using test::PutField;

Status ImageEnd(const Bytes& bytes, uint64_t* end) {
  MemoryReader reader(bytes);
  return ProgramImageEnd(reader, end);
}

uint64_t ImageEndOf(const Bytes& bytes) {
  uint64_t end = 0;
  Status status = ImageEnd(bytes, &end);
  EXPECT_TRUE(status.ok()) << status.message();
  return end;
}

Bytes StoredArchive(const std::string& name, const std::string& data) {
  test::Fields f;
  f.packed = f.original = static_cast<uint32_t>(data.size());
  Bytes b = test::Level0(f, name);
  test::AddText(&b, data);
  b.push_back(0);
  return b;
}

// The first member's path, or "" when the walk found none.
std::string First(const test::Walk& walk) { return walk.names.empty() ? std::string() : walk.names.front(); }

TEST(ProgramImage, ElfOfEitherClassAndByteOrderEndsAtItsFurthestPart) {
  for (bool wide : {false, true}) {
    for (bool big : {false, true}) {
      SCOPED_TRACE(std::string(wide ? "64" : "32") + (big ? " big" : " little") + "-endian");
      test::ElfImage elf = test::SimpleElf(wide, big, 0x1000);
      EXPECT_EQ(ImageEndOf(elf.Build()), 0x1000u);  // the section table
      elf.file_size = 0x1800;
      elf.sections[0].size = 0x1400 - 0x200;
      EXPECT_EQ(ImageEndOf(elf.Build()), 0x1400u);  // a section's bytes
      elf.segment_size = 0x1700;
      EXPECT_EQ(ImageEndOf(elf.Build()), 0x1700u);  // the segment's bytes
    }
  }
}

TEST(ProgramImage, PeEndsAfterItsSectionsAndCertificatesAndDosWhereItsPagesSay) {
  for (bool wide : {false, true}) {
    test::PeImage pe;
    pe.wide = wide;
    pe.file_size = 0x1000;
    EXPECT_EQ(ImageEndOf(pe.Build()), 0xB00u) << wide;
    pe.certificate[1] = 0;  // unsigned
    EXPECT_EQ(ImageEndOf(pe.Build()), 0xA00u) << wide;
  }
  for (uint32_t size : {1636u, 1024u}) {
    Bytes program = test::DosProgram(size);
    program.resize(size + 100);
    EXPECT_EQ(ImageEndOf(program), size);
  }
}

// Each lie is put into a good image followed by its archive; the image
// size must fail, and the archive still be found by the search from the
// start (it lies within kSelfExtractorSearchBytes).
TEST(ProgramImage, HeadersThatLieGiveNoImageSizeAndTheSearchStillFindsTheArchive) {
  const Bytes archive = StoredArchive("inside", "payload");
  struct Lie {
    const char* what;
    Bytes program;
  };
  std::vector<Lie> lies;
  for (bool wide : {false, true}) {
    test::ElfImage elf = test::SimpleElf(wide, !wide, 0x1000);
    const Bytes good = elf.Build();
    const size_t word = elf.word();
    const bool be = elf.big_endian;
    const size_t code = elf.section_table + elf.section_entry();  // the code section's entry
    auto lie = [&](const char* what, size_t at, uint64_t value, size_t width) {
      Bytes b = good;
      PutField(&b, at, value, width, be);
      lies.push_back({what, b});
    };
    lie("section table past the end", elf.tables() + word, 0x1000 - 8, word);
    lie("section table offset overflowing", elf.tables() + word, ~uint64_t{0} >> (64 - 8 * word), word);
    lie("65535 sections", elf.halves() + 8, 0xFFFF, 2);
    lie("extended section count", elf.halves() + 8, 0, 2);
    lie("extended segment count", elf.halves() + 4, 0xFFFF, 2);
    lie("section entries too small", elf.halves() + 6, 8, 2);
    lie("segment past the end", elf.program_table + (wide ? 32 : 16), 0x1001, word);
    lie("section size past the end", code + (wide ? 32 : 20), ~uint64_t{0} >> (64 - 8 * word), word);
    lie("unknown class", 4, 3, 1);
    Bytes cut(good.begin(), good.begin() + elf.section_table + 20);
    lies.push_back({"cut inside the section table", cut});
  }
  for (bool wide : {false, true}) {
    test::PeImage pe;
    pe.wide = wide;
    const Bytes good = pe.Build();
    auto lie = [&](const char* what, uint64_t at, uint64_t value, size_t width) {
      Bytes b = good;
      PutField(&b, at, value, width);
      lies.push_back({what, b});
    };
    lie("section data past the end", pe.section_table() + 40 + 16, 0xFFFFFF00, 4);
    lie("section offset past the end", pe.section_table() + 20, 0xFFFFFFF0, 4);
    lie("certificates past the end", pe.directories() + 36, 0x101, 4);
    lie("65535 sections", pe.signature + 6, 0xFFFF, 2);
    lie("unknown optional header", pe.signature + 24, 0x107, 2);
    lies.push_back({"cut inside the section table", Bytes(good.begin(), good.begin() + pe.section_table() + 50)});
  }
  const std::pair<size_t, uint64_t> dos_sizes[] = {{2, 600}, {4, 0xFFFF}, {8, 0x1000}};  // last page, pages, header
  for (auto [at, value] : dos_sizes) {
    Bytes dos = test::DosProgram(1000);
    PutField(&dos, at, value, 2);
    lies.push_back({"DOS size", dos});
  }

  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.what);
    uint64_t end = 0;
    EXPECT_FALSE(ImageEnd(lie.program, &end).ok()) << end;
    Bytes program = lie.program;
    test::Append(&program, archive);
    test::Walk found = test::WalkAll(program);
    ASSERT_TRUE(found.status.ok()) << found.status.message();
    EXPECT_EQ(found.archive_offset, lie.program.size());
    EXPECT_EQ(First(found), "inside");
  }
}

// Our own extractor is megabytes when built with sanitizers; the archive
// after it, past padding, is found however large the program is, and an
// archive the program itself holds in its bytes is not taken for it.
TEST(ProgramImage, ArchiveIsFoundAfterAnImageOfAnySizeAndNotInsideIt) {
  const uint64_t image = (4 << 20) + 0x123;
  test::ElfImage elf = test::SimpleElf(true, false, image);
  Bytes program = elf.Build();
  Bytes inner = StoredArchive("inner", "part of the program");
  std::copy(inner.begin(), inner.end(), program.begin() + 0x300);
  for (size_t padding : {size_t{0}, size_t{4096}, size_t{kImagePaddingBytes - 100}}) {
    Bytes sfx = program;
    sfx.resize(sfx.size() + padding, 0);
    test::Append(&sfx, StoredArchive("carried", "the archive"));
    test::Walk found = test::WalkAll(sfx);
    ASSERT_TRUE(found.status.ok()) << found.status.message();
    EXPECT_EQ(found.archive_offset, image + padding);
    EXPECT_EQ(First(found), "carried");
  }
  // Nothing after the image: the search from the start finds what is there.
  test::Walk found = test::WalkAll(program);
  EXPECT_EQ(First(found), "inner");
  EXPECT_EQ(found.archive_offset, 0x300u);
}

// A level-0 header of 79 bytes whose checksum is 'Z' starts with "MZ":
// a plain archive all the same, read from its first byte.
TEST(ProgramImage, PlainArchiveBeginningWithMzIsReadFromItsStart) {
  std::string name(55, 'a');
  Bytes archive;
  for (size_t i = 0;; ++i) {
    archive = StoredArchive(name, "content");
    if (archive[1] == 'Z') break;
    ++name[i % name.size()];
  }
  ASSERT_EQ(archive[0], 'M');
  test::Walk found = test::WalkAll(archive);
  ASSERT_TRUE(found.status.ok()) << found.status.message();
  EXPECT_EQ(found.archive_offset, 0u);
  EXPECT_EQ(First(found), name);
}

}  // namespace
}  // namespace lzh
