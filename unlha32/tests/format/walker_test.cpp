// Walking archives: where an archive starts (after a self-extracting
// program, found by the program's image size or by the search from the
// start), where it ends (end byte, missing end byte, junk), and members
// whose data the input does not hold. The ELF, PE and DOS images are laid
// out field by field here, with the bytes past each image's end known, so
// that a case can make their headers lie one field at a time: a lying
// header gives no image size and leaves the archive to the search.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/header_parser.h"
#include "format/program_image.h"
#include "tests/format/header_bytes.h"

namespace lzh {
namespace {

using test::Bytes;
using test::Fields;

struct Walk {
  Status status;
  std::vector<std::string> names;
  uint64_t archive_offset = 0;
  uint64_t end_offset = 0;
  bool has_end_byte = false;
};

Walk WalkAll(const Bytes& archive) {
  MemoryReader reader(archive);
  ArchiveWalker walker(reader);
  Walk w;
  w.status = walker.Open();
  w.archive_offset = walker.archive_offset();
  MemberHeader h;
  for (bool end = false; w.status.ok();) {
    w.status = walker.Next(&h, &end);
    if (!w.status.ok() || end) break;
    w.names.push_back(h.PathString());
  }
  w.end_offset = walker.end_offset();
  w.has_end_byte = walker.has_end_byte();
  return w;
}

// A member: a level-0/2 header for `name` followed by `data` stored.
Bytes StoredMember(const std::string& name, const std::string& data, int level = 0) {
  Fields f;
  f.packed = f.original = static_cast<uint32_t>(data.size());
  Bytes b = level == 0 ? test::Level0(f, name) : test::Level23(2, f, 0, 'U', {{0x01, name}});
  test::AddText(&b, data);
  return b;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) test::Append(&all, part);
  return all;
}

// An executable stub: "MZ", text that looks like method ids but is no
// header, then the archive.
Bytes SelfExtractor(size_t stub_size, const Bytes& archive) {
  Bytes b(stub_size, 0x90);
  b[0] = 'M';
  b[1] = 'Z';
  std::string decoy = "xx-lh5-decoy text with -lh0- inside and zeros";
  std::copy(decoy.begin(), decoy.end(), b.begin() + 100);
  return Joined({b, archive});
}

// A level-0 link entry with the Unix extension and no "|target" in its
// name, of `size` in its size fields with `stored` after it, then perhaps
// a member and the end byte.
Bytes LinkWithoutTarget(uint32_t size, const std::string& stored, bool member_after) {
  Fields f;
  f.method = "-lhd-";
  f.packed = f.original = size;
  Bytes b = test::Level0(f, "nolink", test::UnixExtension(777777777, 0120777, 1000, 1000));
  test::AddText(&b, stored);
  return Joined({b, member_after ? StoredMember("after.txt", "after") : Bytes(), {0}});
}

// A level-0 header of 79 bytes whose checksum is 'Z' starts with "MZ".
Bytes PlainArchiveBeginningWithMz() {
  std::string name(55, 'a');
  for (size_t i = 0;; ++i) {
    Bytes archive = Joined({StoredMember(name, "content"), {0}});
    if (archive[0] == 'M' && archive[1] == 'Z') return archive;
    ++name[i % name.size()];
  }
}

// Where an archive starts and ends, and where the file ends first. A link
// entry with its target's length in the size fields and nothing stored (a
// link's lstat size; 12 reaches a zero byte inside the next header, which
// is no end byte) goes on exactly at the next header, as does one with
// that many bytes really stored. A plain archive that begins with "MZ" is
// read from its first byte.
TEST(Walker, FindsWhereTheArchiveStartsAndEndsAndNamesWhatIsCut) {
  const Bytes two = Joined({StoredMember("one", "first"), StoredMember("two", "second", 2)});
  const uint64_t n = two.size();
  const Bytes junk = Joined({StoredMember("ghost", "not ours"), {0x1A, 0x1A, 0xFF}});
  Fields huge;
  huge.packed = 0xFFFFFFFF;
  const Bytes help = Joined({StoredMember("help.txt", "how to use"), {0}});
  const Bytes payload = Joined({StoredMember("payload", "the real thing", 2), {0}});
  const Bytes both = Joined({help, Bytes(3000, 0x4E), payload});  // more program code between
  Fields four;
  four.packed = four.original = 4;
  const Bytes atari =
      Joined({test::Level23(2, four, 0, 'a', {{0x01, "atari"}}, false), {'d', 'a', 't', 'a'}});
  const std::vector<std::string> one_two = {"one", "two"}, link = {"nolink", "after.txt"};
  const uint64_t search = kSelfExtractorSearchBytes;
  const Bytes mz = PlainArchiveBeginningWithMz();
  const std::string mz_name(mz.begin() + 22, mz.begin() + 22 + 55);
  const char* const cut = "member data runs past the end of the archive";
  const char* const none = "not an LZH archive";
  const struct {
    const char* what;
    Bytes archive;
    const char* message;  // nullptr: read whole
    std::vector<std::string> names;
    bool end_byte = false;
    uint64_t start = 0, end = 0;  // end 0: the input's end, less its end byte
  } cases[] = {
      {"junk after the end byte", Joined({two, {0}, junk}), nullptr, one_two, true, 0, n},
      {"a lone end byte", {0}, nullptr, {}, true},
      {"size 0xFFFFFFFF", Joined({test::Level0(huge, "huge"), {0}}), cut, {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}, none, {}},
      {"dashes", Bytes(100000, 0x2D), none, {}},
      {"a byte 1", {1}, none, {}},
      {"after a stub", SelfExtractor(1000, Joined({two, {0}})), nullptr, one_two, true, 1000},
      {"at the end of the search", SelfExtractor(search - 30, Joined({two, {0}})), nullptr, one_two,
       true, search - 30},
      {"past the search", SelfExtractor(search + 10, two), none, {}},
      {"two archives", SelfExtractor(2000, both), nullptr, {"help.txt", "payload"}, true, 2000},
      {"level 2 without header CRC", SelfExtractor(5000, atari), nullptr, {"atari"}, false, 5000},
      {"plain archive beginning with MZ", mz, nullptr, {mz_name}, true},
      {"link of size 12", LinkWithoutTarget(12, "", true), nullptr, link, true},
      {"link of size 12, last", LinkWithoutTarget(12, "", false), nullptr, {"nolink"}, true},
      {"link with its target", LinkWithoutTarget(11, "../a/target", true), nullptr, link, true},
  };
  for (const auto& c : cases) {
    Walk w = WalkAll(c.archive);
    EXPECT_EQ(w.names, c.names) << c.what;
    if (c.message) {
      EXPECT_STREQ(w.status.message(), c.message) << c.what;
      continue;
    }
    EXPECT_TRUE(w.status.ok()) << c.what << ": " << w.status.message();
    EXPECT_EQ(w.has_end_byte, c.end_byte) << c.what;
    EXPECT_EQ(w.archive_offset, c.start) << c.what;
    EXPECT_EQ(w.end_offset, c.end ? c.end : c.archive.size() - c.end_byte) << c.what;
  }
}

// Writes `value` as `width` bytes at `at`.
void PutField(Bytes* b, size_t at, uint64_t value, size_t width, bool big_endian = false) {
  for (size_t i = 0; i < width; ++i)
    (*b)[big_endian ? at + width - 1 - i : at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// `good` with the field of `width` bytes at `at` made `value`.
Bytes Lying(Bytes good, size_t at, uint64_t value, size_t width, bool big_endian = false) {
  PutField(&good, at, value, width, big_endian);
  return good;
}

// An ELF of either class and byte order whose image ends with its section
// table at `image_size`: headers, one loaded segment, a code section and a
// bss section (which takes no file bytes).
struct ElfImage {
  bool wide, big_endian;
  uint64_t file_size;
  uint64_t program_table = wide ? 64 : 52;
  uint64_t section_table = file_size - 3 * section_entry();
  uint64_t segment_size = section_table;
  uint64_t code_size = section_table - 0x200;

  size_t word() const { return wide ? 8 : 4; }
  size_t section_entry() const { return wide ? 64 : 40; }
  size_t tables() const { return wide ? 0x20 : 0x1C; }         // where e_phoff is
  size_t halves() const { return tables() + 2 * word() + 4; }  // where e_ehsize is

  Bytes Build() const {
    Bytes b(file_size, 0x90);
    std::fill(b.begin(), b.begin() + program_table, 0);
    b[0] = 0x7F, b[1] = 'E', b[2] = 'L', b[3] = 'F';
    b[4] = wide ? 2 : 1, b[5] = big_endian ? 2 : 1, b[6] = 1;
    auto put = [&](size_t at, uint64_t value, size_t width) {
      PutField(&b, at, value, width, big_endian);
    };
    put(tables(), program_table, word());
    put(tables() + word(), section_table, word());
    put(halves(), program_table, 2);
    put(halves() + 2, wide ? 56 : 32, 2);
    put(halves() + 4, 1, 2);
    put(halves() + 6, section_entry(), 2);
    put(halves() + 8, 3, 2);
    put(program_table + (wide ? 8 : 4), 0, word());
    put(program_table + (wide ? 32 : 16), segment_size, word());
    std::fill(b.begin() + section_table, b.begin() + section_table + section_entry(), 0);
    const uint64_t sections[2][3] = {{1, 0x200, code_size}, {8, section_table, 0x10000}};
    for (size_t i = 0; i < 2; ++i) {
      size_t at = section_table + (i + 1) * section_entry();
      put(at + 4, sections[i][0], 4);
      put(at + (wide ? 24 : 16), sections[i][1], word());
      put(at + (wide ? 32 : 20), sections[i][2], word());
    }
    return b;
  }
};

// A PE (signature at 0x80) with its headers, two sections (raw data at
// 0x400 and 0x600) and a certificate table after them at 0xA00.
struct PeImage {
  bool wide;
  uint64_t sections = 0x98 + (wide ? 0xF0 : 0xE0), directories = 0x98 + (wide ? 112 : 96);

  Bytes Build(uint32_t certificate_size) const {
    Bytes b(0xB00, 0xCC);
    std::fill(b.begin(), b.begin() + 0x400, 0);
    b[0] = 'M', b[1] = 'Z', b[0x80] = 'P', b[0x81] = 'E';
    PutField(&b, 0x3C, 0x80, 4);
    PutField(&b, 0x84, wide ? 0x8664 : 0x14C, 2);
    PutField(&b, 0x86, 2, 2);                // sections
    PutField(&b, 0x94, sections - 0x98, 2);  // optional header size
    PutField(&b, 0x98, wide ? 0x20B : 0x10B, 2);
    PutField(&b, directories - 4, 16, 4);
    PutField(&b, directories + 32, 0xA00, 4);
    PutField(&b, directories + 36, certificate_size, 4);
    for (uint32_t i = 0; i < 2; ++i) {
      PutField(&b, sections + 40 * i + 16, 0x200 * (i + 1), 4);
      PutField(&b, sections + 40 * i + 20, 0x400 + 0x200 * i, 4);
    }
    return b;
  }
};

// A DOS program of `size` bytes (its header states pages of 512 bytes).
Bytes DosProgram(uint32_t size) {
  Bytes b(size, 0x90);
  std::fill(b.begin(), b.begin() + 32, 0);
  b[0] = 'M', b[1] = 'Z';
  PutField(&b, 2, size % 512, 2);
  PutField(&b, 4, (size + 511) / 512, 2);
  PutField(&b, 8, 2, 2);  // header paragraphs
  return b;
}

Bytes StoredArchive(const std::string& name, const std::string& data) {
  return Joined({StoredMember(name, data), {0}});
}

// Each program, followed by an archive: its image ends at the furthest
// part its headers name, and the archive is found after it (past padding,
// however large the image: our own extractor is megabytes when built with
// sanitizers), not an archive the program holds in its bytes. Headers that
// lie (parts past the end, overflowing offsets, tables past the end) give no
// image size (end 0 below), leaving the archive to the search from the
// start, which finds it within kSelfExtractorSearchBytes.
TEST(ProgramImage, HeadersThatLieOrNotLeadToTheArchiveAfterTheImage) {
  struct Case {
    std::string what;
    Bytes program;
    uint64_t end;
  };
  std::vector<Case> cases;
  for (bool wide : {false, true}) {
    for (bool big : {false, true}) {
      const std::string kind =
          std::string(wide ? "64" : "32") + (big ? " big" : " little") + "-endian ELF";
      ElfImage elf{wide, big, 0x1000};
      cases.push_back({kind + " ending at its section table", elf.Build(), 0x1000});
      elf.file_size = 0x1800;
      elf.code_size = 0x1400 - 0x200;
      cases.push_back({kind + " ending at a section's bytes", elf.Build(), 0x1400});
      elf.segment_size = 0x1700;
      cases.push_back({kind + " ending at its segment's bytes", elf.Build(), 0x1700});
    }
    const ElfImage elf{wide, !wide, 0x1000};
    const Bytes good = elf.Build();
    const size_t word = elf.word();
    const size_t code = elf.section_table + elf.section_entry();  // the code section's entry
    auto lie = [&](const char* what, size_t at, uint64_t value, size_t width) {
      cases.push_back({what, Lying(good, at, value, width, elf.big_endian), 0});
    };
    lie("section table past the end", elf.tables() + word, 0x1000 - 8, word);
    lie("section table offset overflowing", elf.tables() + word, ~uint64_t{0} >> (64 - 8 * word),
        word);
    lie("header too small", elf.halves(), 40, 2);
    lie("extended section count", elf.halves() + 8, 0, 2);
    lie("extended segment count", elf.halves() + 4, 0xFFFF, 2);
    lie("section entries too small", elf.halves() + 6, 8, 2);
    lie("segment past the end", elf.program_table + (wide ? 32 : 16), 0x1001, word);
    lie("section size past the end", code + (wide ? 32 : 20), ~uint64_t{0} >> (64 - 8 * word),
        word);
    lie("unknown class", 4, 3, 1);
  }
  for (bool wide : {false, true}) {
    const PeImage pe{wide};
    const Bytes good = pe.Build(0x100);
    cases.push_back({"PE ending at its certificates", Joined({good, Bytes(0x500, 0)}), 0xB00});
    auto lie = [&](const char* what, uint64_t at, uint64_t value, size_t width) {
      cases.push_back({what, Lying(good, at, value, width), 0});
    };
    lie("section data past the end", pe.sections + 40 + 16, 0xFFFFFF00, 4);
    lie("section offset past the end", pe.sections + 20, 0xFFFFFFF0, 4);
    lie("certificates past the end", pe.directories + 36, 0x101, 4);
    lie("65535 sections", 0x86, 0xFFFF, 2);
    lie("unknown optional header", 0x98, 0x107, 2);
    cases.push_back({"unsigned PE", pe.Build(0), 0xA00});
  }
  for (uint32_t size : {1636u, 1024u})
    cases.push_back({"DOS program", Joined({DosProgram(size), Bytes(100, 0)}), size});
  for (auto [at, value] : {std::pair<size_t, uint64_t>{2, 600}, {4, 0xFFFF}, {8, 0x1000}})
    cases.push_back({"DOS size lying", Lying(DosProgram(1000), at, value, 2), 0});
  const uint64_t large = (4 << 20) + 0x123;
  Bytes program = ElfImage{true, false, large}.Build();
  Bytes inner = StoredArchive("inner", "part of the program");
  std::copy(inner.begin(), inner.end(), program.begin() + 0x300);
  for (size_t padding : {size_t{0}, size_t{4096}, size_t{kImagePaddingBytes - 100}})
    cases.push_back({"4 MiB ELF and padding", Joined({program, Bytes(padding, 0)}), large});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryReader reader(c.program);
    uint64_t end = 0;
    Status status = ProgramImageEnd(reader, &end);
    EXPECT_EQ(status.ok() ? end : 0, c.end) << status.message();
    Walk found = WalkAll(Joined({c.program, StoredArchive("carried", "the archive")}));
    ASSERT_TRUE(found.status.ok()) << found.status.message();
    EXPECT_EQ(found.archive_offset, c.program.size());
    EXPECT_EQ(found.names, std::vector<std::string>{"carried"});
  }
  // Nothing after the image: the search from the start finds what is there.
  Walk found = WalkAll(program);
  EXPECT_EQ(found.names, std::vector<std::string>{"inner"});
  EXPECT_EQ(found.archive_offset, 0x300u);
}

}  // namespace
}  // namespace lzh
