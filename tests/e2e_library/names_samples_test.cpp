// Names and real-world archives through tavo. Shift_JIS names: on Linux in a
// UTF-8 locale the library converts them to UTF-8; under Wine in a Japanese
// locale (code page 932) they are used as stored. Names Windows cannot hold
// are written as stored on Linux and mapped under Wine. Then the bundled sample,
// which must still match the files it was made from, and the foreign sample
// archives when the shared folder is there (never copied into the project).
#include <gtest/gtest.h>

#include <locale.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "codec/crc16.h"
#include "library_e2e.h"
#include "tests/sample_manifest.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;

// 漢字\表.txt as stored by an MS-DOS archiver: 表 ends in 0x5C, which must
// not split the name.
const std::string kSjisDirectory = "\x8a\xbf\x8e\x9a";
const std::string kSjisName = "\x95\x5c.txt";

// The locale in which Shift_JIS names can be had: a UTF-8 one on Linux, a
// Japanese one under Wine (code page 932); empty when it is not generated.
std::string NameLocale() {
  const char* name = target.UnderWine() ? "ja_JP.UTF-8" : "C.UTF-8";
  locale_t available = newlocale(LC_ALL_MASK, name, nullptr);
  if (!available) return "";
  freelocale(available);
  return name;
}

TEST(ShiftJisNames, ConvertedToUtf8OnLinuxAndKeptAsStoredUnderWine) {
  std::string locale = NameLocale();
  if (locale.empty()) GTEST_SKIP() << "the locale for Shift_JIS names is not generated";
  Sandbox box(Library::Real);
  PutArchive(box, "sjis.lzh", RawArchive({RawMember{kSjisName, kSjisDirectory + '\xff', ToBytes("hyou"), "-lh0-", 'M'}}));
  Environment japanese = {{"LC_ALL", locale}};

  Outcome list = box.Run({"v", "sjis.lzh"}, japanese);
  std::string shown = target.UnderWine() ? kSjisDirectory + "/" + kSjisName : "漢字/表.txt";
  EXPECT_TRUE(HasLine(box, list.output, shown)) << list.output;
  Outcome extract = box.Run({"x", "sjis.lzh", "out\\"}, japanese);
  EXPECT_EQ(extract.status, 0);
  // Wine turns code page 932 names into UTF-8 file names on the Linux side.
  EXPECT_EQ(box.Read("out/漢字/表.txt"), "hyou") << extract.output;
}

// An Amiga archive holding names Linux takes as they are and Windows
// cannot: a directory named by one blank, a name ending in a dot, a device
// name, a reserved character. Under Wine each is mapped to a name Windows
// holds, and the report says where it went.
TEST(NamesWindowsCannotHold, WrittenAsStoredOnLinuxAndMappedUnderWine) {
  struct Row {
    std::string stored, on_linux, on_windows;
  };
  const Row rows[] = {
      {"DIR\\ \\readme", "DIR/ /readme", "DIR/_/readme"},
      {"notes.", "notes.", "notes_"},
      {"aux.txt", "aux.txt", "_aux.txt"},
      {"a?b", "a?b", "a_b"},
  };
  std::vector<RawMember> members;
  for (const Row& row : rows) members.push_back(RawMember{row.stored, "", ToBytes(row.stored), "-lh0-", 'A'});
  Sandbox box(Library::Real);
  PutArchive(box, "amiga.lzh", RawArchive(members));
  Outcome extract = box.Run({"x", "amiga.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "4 members extracted, 0 skipped, 0 failed")) << extract.output;
  for (const Row& row : rows) {
    const std::string& written = target.UnderWine() ? row.on_windows : row.on_linux;
    EXPECT_EQ(box.Read("out/" + written), row.stored) << extract.output;
    if (target.UnderWine()) EXPECT_NE(extract.output.find("written as " + written), std::string::npos) << extract.output;
  }
}

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The committed sample must stay what samples/make_sample makes of
// samples/files: a stale or damaged sample shows up here.
TEST(BundledSample, TestsCleanAndExtractsToTheFilesItWasMadeFrom) {
  fs::path samples = fs::path(TAVO_SOURCE_DIR) / "samples";
  Sandbox box(Library::Real);
  box.File("sample.lzh", Contents(samples / "sample.lzh"));
  EXPECT_TRUE(HasLine(box, box.Run({"t", "sample.lzh"}).output, "3 members tested, 0 skipped, 0 failed"));
  box.Run({"x", "sample.lzh", "out/"});
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(samples / "files")) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::string relative = fs::relative(entry.path(), samples / "files").generic_string();
    EXPECT_EQ(box.Read("out/" + relative), Contents(entry.path())) << relative;
  }
  EXPECT_EQ(files, 3);
}

// Windows cannot create a symbolic link member (it is skipped, not failed),
// nor Shift_JIS names outside code page 932 (the archive holding them is
// left out there).
TEST(ForeignSamples, EveryArchiveTestsCleanAndExtractsWithItsCrc) {
  fs::path folder = lzh::test::SamplesDir();
  if (!fs::exists(folder / "MANIFEST.tsv")) GTEST_SKIP() << "no sample archives at " << folder;
  Sandbox box(Library::Real);
  Environment names;
  if (!NameLocale().empty()) names.push_back({"LC_ALL", NameLocale()});
  std::set<std::string> archives;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "MANIFEST.tsv" && entry.path().filename() != "README.md")
      archives.insert(entry.path().filename().string());
  if (target.UnderWine() && names.empty()) archives.erase("cp932_names.lzh");
  ASSERT_FALSE(archives.empty());
  for (const std::string& archive : archives) {
    box.File(archive, Contents(folder / archive));
    Outcome test = box.Run({"t", archive}, names);
    EXPECT_EQ(test.status, 0);
    std::vector<std::string> lines = Lines(box, test.output);
    ASSERT_FALSE(lines.empty()) << archive;
    EXPECT_NE(lines.back().find(" tested, 0 skipped, 0 failed"), std::string::npos) << archive << "\n" << test.output;
    Outcome extract = box.Run({"x", archive, "out\\" + archive + "\\"}, names);
    EXPECT_NE(extract.output.find(target.UnderWine() ? " skipped, 0 failed" : ", 0 skipped, 0 failed"), std::string::npos)
        << archive << "\n" << extract.output;
  }
  for (const lzh::test::ManifestRow& member : lzh::test::ReadManifest()) {
    // Directories, links and Shift_JIS names are covered above.
    if (member.method == "-lhd-" || member.archive == "cp932_names.lzh") continue;
    std::string data = box.Read("out/" + member.archive + "/" + member.member);
    EXPECT_EQ(data.size(), member.size) << member.archive << " " << member.member;
    EXPECT_EQ(lzh::Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size()), member.crc)
        << member.archive << " " << member.member;
  }
}

}  // namespace
}  // namespace e2e
