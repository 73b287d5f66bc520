// Archives made by other archivers on other systems: every member listed in
// the sample folder's MANIFEST.tsv is found by the walker and decoded, and
// its path, method, level, size, CRC and contents match. The folder lives
// outside the project; the tests skip when it is absent.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/member_data.h"
#include "format/program_image.h"
#include "tests/format/memory_sink.h"
#include "tests/format/sha256.h"
#include "tests/sample_manifest.h"

namespace lzh {
namespace {

// The member path in the manifest's form: '/' separators, a trailing '/'
// for directories, "LINK|TARGET" for symbolic links.
std::string ManifestPath(const MemberHeader& h) {
  std::string path = h.PathString();
  if (h.is_directory) path += "/";
  if (h.is_symlink) path += "|" + h.link_target;
  return path;
}

TEST(Samples, EveryManifestMemberDecodesAsListed) {
  std::string dir = test::SamplesDir().string();
  std::vector<test::ManifestRow> rows = test::ReadManifest();
  if (rows.empty()) GTEST_SKIP() << "no sample archives at " << dir;

  std::string current;
  std::unique_ptr<FileReader> reader;
  std::unique_ptr<ArchiveWalker> walker;
  for (const test::ManifestRow& row : rows) {
    SCOPED_TRACE(row.archive + ": " + row.member);
    if (row.archive != current) {
      current = row.archive;
      ASSERT_TRUE(FileReader::Open(dir + "/" + row.archive, &reader).ok());
      walker = std::make_unique<ArchiveWalker>(*reader);
      Status opened = walker->Open();
      ASSERT_TRUE(opened.ok()) << opened.message();
      EXPECT_EQ(walker->self_extracting(), row.archive.ends_with(".exe"));
      // Other writers' self-extracting programs (.exe: DOS or PE) keep
      // their archive where the program's image ends.
      uint64_t image_end = 0;
      if (walker->self_extracting()) {
        EXPECT_TRUE(ProgramImageEnd(*reader, &image_end).ok());
        EXPECT_EQ(walker->archive_offset(), image_end);
      }
    }
    MemberHeader h;
    bool end = false;
    Status next = walker->Next(&h, &end);
    ASSERT_TRUE(next.ok()) << next.message();
    ASSERT_FALSE(end);
    EXPECT_EQ(ManifestPath(h), row.member);
    EXPECT_EQ(h.MethodText(), row.method);
    EXPECT_EQ(h.level, row.level);
    EXPECT_EQ(h.original_size, row.size);
    EXPECT_EQ(h.crc, row.crc);
    test::MemorySink sink;
    Status decoded = ExtractMemberData(*reader, h, sink);
    EXPECT_TRUE(decoded.ok()) << decoded.message();
    EXPECT_EQ(sink.bytes.size(), h.is_directory || h.is_symlink ? 0 : row.size);
    if (row.sha256 != "-") EXPECT_EQ(test::Sha256Hex(sink.bytes), row.sha256);
  }
}

}  // namespace
}  // namespace lzh
