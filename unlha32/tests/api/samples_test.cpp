// Archives made by other archivers on other systems, when the sample
// folder is present (it is never copied into the project): every member
// tests clean, and extraction reproduces each file's size and CRC.
#include "tests/api/api_fixture.h"
#include "tests/sample_manifest.h"

namespace lzh::test {
namespace {

using ForeignSamples = ScratchTest;

TEST_F(ForeignSamples, EveryMemberTestsCleanAndExtractsWithItsCrc) {
  if (!fs::exists(SamplesDir() / "MANIFEST.tsv")) GTEST_SKIP() << "no sample archives at " << SamplesDir();
  std::vector<ManifestRow> rows = ReadManifest();
  ASSERT_FALSE(rows.empty());
  std::set<std::string> archives;
  for (const ManifestRow& row : rows) archives.insert(row.archive);
  for (const std::string& archive : archives) {
    std::string path = (SamplesDir() / archive).string();
    Outcome test = RunUnlha("t " + path);
    EXPECT_EQ(test.result, UNLHA_OK) << archive << "\n" << test.report;
    fs::path out = root_ / "out" / archive;
    Outcome extract = RunUnlha("x " + path + " " + out.string() + "/");
    EXPECT_EQ(extract.result, UNLHA_OK) << archive << "\n" << extract.report;
  }
  for (const ManifestRow& row : rows) {
    // Shift_JIS names are created under their UTF-8 names: checked below.
    if (row.method == "-lhd-" || row.archive == "cp932_names.lzh") continue;
    Bytes data = ReadFile(root_ / "out" / row.archive / row.member);
    EXPECT_EQ(data.size(), row.size) << row.archive << " " << row.member;
    EXPECT_EQ(Crc16(0, data.data(), data.size()), row.crc) << row.archive << " " << row.member;
  }
  if (fs::exists(SamplesDir() / "cp932_names.lzh")) {
    EXPECT_TRUE(fs::exists(root_ / "out" / "cp932_names.lzh" / "\xe8\xa1\xa8.txt"));
    EXPECT_TRUE(fs::exists(root_ / "out" / "cp932_names.lzh" / "\xe6\xbc\xa2\xe5\xad\x97.txt"));
  }
  if (fs::exists(SamplesDir() / "lha_unix114i_h1_symlink.lzh"))
    EXPECT_TRUE(fs::is_symlink(root_ / "out" / "lha_unix114i_h1_symlink.lzh" / "symlink"));
}

}  // namespace
}  // namespace lzh::test
