// Names and real-world archives through tavo. Member names are decoded from
// what they are and written to disk as the system's own names: UTF-8 on
// Linux in a UTF-8 locale, UTF-16 under Wine (which shows them as UTF-8 on
// the Linux side) in both code pages. Names Windows cannot hold are written
// as stored on Linux and mapped under Wine. Then the bundled sample, which
// must still match the files it was made from, and the foreign sample
// archives when the shared folder is there (never copied into the project).
#include <set>

#include "codec/crc16.h"
#include "library_e2e.h"
#include "tests/sample_manifest.h"

namespace e2e {
namespace {

using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;

using MemberNames = LibraryTest;
using Samples = LibraryTest;

std::string ShiftJis(const std::string& utf8) { return Converted(utf8, "CP932", "UTF-8"); }

// Each member is named as its writer stored it; each must come out under
// the name it has, in either code page. Faults caught: a Shift_JIS 0x5C
// second byte taken for a separator (表.txt as a folder • in code page
// 1252) or a folder ending in one merged into its file (一覧表中身.txt,
// ソ機能f.txt), by the library; UTF-8 names from Linux read in the ANSI code
// page (譌･譛ｬ隱・txt, cafÃ©.txt); a name shown by a look-alike. (Archives
// tavo writes, level 0 and tavo's own wildcards are the golden test's.)
TEST_F(MemberNames, DecodedFromWhatTheyAreAndExtractedNameByName) {
  struct Row {
    std::vector<std::string> components;  // UTF-8
    RawMember stored;                      // its name and directory are filled in below
  };
  auto windows = [](uint8_t os, std::optional<uint32_t> code_page = {}) {
    RawMember m;
    m.os_id = os;
    m.code_page = code_page;
    return m;
  };
  std::vector<Row> rows = {
      {{"一覧表", "中身.txt"}, windows('M')},
      {{"ソ", "機能", "f.txt"}, windows('W', 932)},
      {{"表.txt"}, windows('w')},
      {{"日本語.txt"}, windows('U')},                 // Linux in a UTF-8 locale, no code page said
      {{"café", "한국어", "😀.txt"}, windows('U', 65001)},  // Linux, saying so
      {{"Привет.txt"}, windows('U', 1251)},
  };
  std::vector<RawMember> members;
  for (Row& row : rows) {
    RawMember& m = row.stored;
    auto stored = [&](const std::string& utf8) {
      if (m.code_page == 1251u) return Converted(utf8, "CP1251", "UTF-8");
      return m.os_id == 'U' ? utf8 : ShiftJis(utf8);
    };
    for (size_t i = 0; i + 1 < row.components.size(); ++i) m.directory += stored(row.components[i]) + '\xff';
    m.name = stored(row.components.back());
    m.data = ToBytes(row.components.back());
    members.push_back(m);
  }
  Put("names.lzh", RawArchive(members));
  Outcome listed = box.Run({"l", "names.lzh"}, NamesLocale());
  Outcome extracted = box.Run({"x", "names.lzh", "out/"}, NamesLocale());
  EXPECT_TRUE(HasLine(box, extracted.output, "6 members extracted, 0 skipped, 0 failed")) << extracted.output;
  std::vector<std::pair<std::string, std::string>> expected;
  for (const Row& row : rows) {
    std::string path;
    for (const std::string& component : row.components) path += (path.empty() ? "" : "/") + component;
    expected.emplace_back(path, row.components.back());
    EXPECT_TRUE(HasLine(box, extracted.output, "ok       " + Shown(path))) << extracted.output;
    EXPECT_NE(listed.output.find("  " + Shown(row.components.back()) + box.Eol()), std::string::npos) << listed.output;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesBelow(box.work() + "/out"), expected);
}

// An Amiga archive holding names Linux takes as they are and Windows
// cannot: a directory named by one blank, a name ending in a dot, a device
// name, a reserved character. Under Wine each is mapped to a name Windows
// holds, and the report says where it went.
TEST_F(MemberNames, WindowsCannotHoldAreWrittenAsStoredOnLinuxAndMappedUnderWine) {
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
  Put("amiga.lzh", RawArchive(members));
  Outcome extract = box.Run({"x", "amiga.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "4 members extracted, 0 skipped, 0 failed")) << extract.output;
  for (const Row& row : rows) {
    const std::string& written = target.UnderWine() ? row.on_windows : row.on_linux;
    EXPECT_EQ(box.Read("out/" + written), row.stored) << extract.output;
    if (target.UnderWine()) {
      EXPECT_NE(extract.output.find("written as " + written), std::string::npos) << extract.output;
    }
  }
}

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Windows cannot create a symbolic link member (it is skipped, not failed).
// The Shift_JIS names of cp932_names.lzh must come out as the names they
// are, in either code page, like every other member.
TEST_F(Samples, ForeignEveryArchiveTestsCleanAndExtractsWithItsCrc) {
  fs::path folder = lzh::test::SamplesDir();
  if (!fs::exists(folder / "MANIFEST.tsv")) GTEST_SKIP() << "no sample archives at " << folder;
  std::set<std::string> archives;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "MANIFEST.tsv" && entry.path().filename() != "README.md")
      archives.insert(entry.path().filename().string());
  ASSERT_FALSE(archives.empty());
  for (const std::string& archive : archives) {
    box.File(archive, Contents(folder / archive));
    Outcome test = box.Run({"t", archive}, NamesLocale());
    EXPECT_EQ(test.status, 0);
    std::vector<std::string> lines = Lines(box, test.output);
    ASSERT_FALSE(lines.empty()) << archive;
    EXPECT_NE(lines.back().find(" tested, 0 skipped, 0 failed"), std::string::npos) << archive << "\n" << test.output;
    Outcome extract = box.Run({"x", archive, "out\\" + archive + "\\"}, NamesLocale());
    EXPECT_NE(extract.output.find(target.UnderWine() ? " skipped, 0 failed" : ", 0 skipped, 0 failed"), std::string::npos)
        << archive << "\n" << extract.output;
  }
  for (const lzh::test::ManifestRow& member : lzh::test::ReadManifest()) {
    if (member.method == "-lhd-") continue;  // directories and links, covered above
    std::string name = member.member;
    if (member.archive == "cp932_names.lzh") name = Converted(name, "UTF-8", "CP932");
    std::string data = box.Read("out/" + member.archive + "/" + name);
    EXPECT_EQ(data.size(), member.size) << member.archive << " " << name;
    EXPECT_EQ(lzh::Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size()), member.crc)
        << member.archive << " " << name;
  }
}

}  // namespace
}  // namespace e2e
