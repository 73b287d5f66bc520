// Archives made by other archivers on other systems: every member listed in
// the sample folder's MANIFEST.tsv is found by the walker and decoded, and
// its path, method, level, size, CRC and contents match. The folder lives
// outside the project; the tests skip when it is absent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "format/archive_walker.h"
#include "format/member_data.h"
#include "memory_sink.h"
#include "sha256.h"

namespace lzh {
namespace {

std::string SamplesDir() {
  const char* override_dir = std::getenv("LZH_SAMPLES");
  return override_dir ? override_dir : LZH_SAMPLES_DIR;
}

struct ManifestRow {
  std::string archive, member, method;
  int level = 0;
  uint64_t size = 0;
  uint16_t crc = 0;
  std::string sha256;
};

// Member paths are written with \xNN escapes and "\\" for a backslash.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::vector<ManifestRow> ReadManifest(const std::string& path) {
  std::vector<ManifestRow> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    ManifestRow row;
    std::string level, size, crc;
    std::getline(fields, row.archive, '\t');
    std::getline(fields, row.member, '\t');
    std::getline(fields, row.method, '\t');
    std::getline(fields, level, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, crc, '\t');
    std::getline(fields, row.sha256, '\t');
    row.member = Unescape(row.member);
    row.level = std::stoi(level);
    row.size = std::stoull(size);
    row.crc = static_cast<uint16_t>(std::stoul(crc, nullptr, 16));
    rows.push_back(row);
  }
  return rows;
}

// The member path in the manifest's form: '/' separators, a trailing '/'
// for directories, "LINK|TARGET" for symbolic links.
std::string ManifestPath(const MemberHeader& h) {
  std::string path = h.PathString();
  if (h.is_directory) path += "/";
  if (h.is_symlink) path += "|" + h.link_target;
  return path;
}

TEST(Samples, EveryManifestMemberDecodesAsListed) {
  std::string dir = SamplesDir();
  std::vector<ManifestRow> rows = ReadManifest(dir + "/MANIFEST.tsv");
  if (rows.empty()) GTEST_SKIP() << "no sample archives at " << dir;

  std::string current;
  std::unique_ptr<FileReader> reader;
  std::unique_ptr<ArchiveWalker> walker;
  for (const ManifestRow& row : rows) {
    SCOPED_TRACE(row.archive + ": " + row.member);
    if (row.archive != current) {
      current = row.archive;
      ASSERT_TRUE(FileReader::Open(dir + "/" + row.archive, &reader).ok());
      walker = std::make_unique<ArchiveWalker>(*reader);
      Status opened = walker->Open();
      ASSERT_TRUE(opened.ok()) << opened.message();
      EXPECT_EQ(walker->self_extracting(), row.archive.ends_with(".exe"));
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
