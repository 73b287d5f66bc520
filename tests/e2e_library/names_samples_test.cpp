// Names through tavo, mostly for the Windows build under Wine, where no
// other suite runs the library: member names decoded from what they are
// and written as the system's own names (UTF-16 under Wine, shown as UTF-8
// on the Linux side), in both code pages; names Windows cannot hold mapped;
// and the bundled sample, which must still match the files it was made
// from. The foreign sample archives are the library suite's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library_e2e.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;

std::string ShiftJis(const std::string& utf8) { return Converted(utf8, "CP932", "UTF-8"); }

using Names = TavoTest;

// Each member must come out under the name it has, in either code page.
// Faults caught: a Shift_JIS 0x5C second byte taken for a separator (表.txt
// as a folder • in code page 1252) or a folder ending in one merged into
// its file (一覧表中身.txt, 予定表メモ.txt), by the library or by tavo's
// search for a wildcard archive (*表.lzh); UTF-8 names from Linux read in
// the ANSI code page (cafÃ©.txt); a name shown by a look-alike.
TEST_F(Names, DecodedFromWhatTheyAreAndExtractedNameByName) {
  struct Row {
    std::vector<std::string> components;  // UTF-8
    uint8_t os;
    std::optional<uint32_t> code_page;
    const char* stored_in;  // the character set the name is stored in
  };
  const Row rows[] = {
      {{"一覧表", "中身.txt"}, 'M', {}, "CP932"},
      {{"表.txt"}, 'W', 932, "CP932"},
      {{"café", "한국어", "😀.txt"}, 'U', 65001, "UTF-8"},  // Linux, saying so
      {{"Привет.txt"}, 'U', 1251, "CP1251"},
  };
  std::vector<RawMember> members;
  for (const Row& row : rows) {
    RawMember m{Converted(row.components.back(), row.stored_in, "UTF-8"), "", ToBytes(row.components.back()), "-lh0-",
                row.os, row.code_page};
    for (size_t i = 0; i + 1 < row.components.size(); ++i)
      m.directory += Converted(row.components[i], row.stored_in, "UTF-8") + '\xff';
    members.push_back(m);
  }
  PutArchive(box, "names.lzh", RawArchive(members));
  // MS-DOS archivers keep the whole path in a level-0 name, '\\' between.
  PutArchive(box, "dos.lzh", lzh::test::WriteArchive({{{ShiftJis("予定表"), ShiftJis("メモ.txt")}, ToBytes("memo"), lzh::Method::kLh0}}, 0));

  Outcome listed = Run({"l", "names.lzh"});
  Outcome extracted = Run({"x", "names.lzh", "out/"});
  Outcome dos = Run({"x", "dos.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extracted.output, "4 members extracted, 0 skipped, 0 failed")) << extracted.output;
  EXPECT_TRUE(HasLine(box, dos.output, "ok       " + Shown("予定表/メモ.txt"))) << dos.output;
  std::vector<std::pair<std::string, std::string>> expected = {{"予定表/メモ.txt", "memo"}};
  for (const Row& row : rows) {
    std::string path;
    for (const std::string& component : row.components) path += (path.empty() ? "" : "/") + component;
    expected.emplace_back(path, row.components.back());
    EXPECT_TRUE(HasLine(box, extracted.output, "ok       " + Shown(path))) << extracted.output;
    EXPECT_NE(listed.output.find("  " + Shown(row.components.back()) + box.Eol()), std::string::npos) << listed.output;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesBelow(box.work() + "/out"), expected);

  // tavo's own search for a wildcard archive steps by whole characters of
  // the code page too (where the code page has 表 for the argument).
  if (!target.UnderWine() || target.locale.starts_with("ja_JP")) {
    PutArchive(box, "一覧表.lzh", RawArchive(members));
    Outcome found = Run({"t", "*表.lzh"});
    EXPECT_TRUE(HasLine(box, found.output, "Archive: " + Shown("一覧表.lzh"))) << found.output;
  }
}

// Names Linux takes as they are and Windows cannot (a folder named by one
// blank, a trailing dot, a device name, a reserved character): under Wine
// each is mapped, and the report says where it went.
TEST_F(Names, ThoseWindowsCannotHoldAreMappedUnderWine) {
  const std::string rows[][3] = {{"DIR\\ \\readme", "DIR/ /readme", "DIR/_/readme"}, {"notes.", "notes.", "notes_"},
                                 {"aux.txt", "aux.txt", "_aux.txt"}, {"a?b", "a?b", "a_b"}};
  std::vector<RawMember> members;
  for (const auto& row : rows) members.push_back(RawMember{row[0], "", ToBytes(row[0]), "-lh0-", 'A'});
  PutArchive(box, "amiga.lzh", RawArchive(members));
  Outcome extract = Run({"x", "amiga.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "4 members extracted, 0 skipped, 0 failed")) << extract.output;
  for (const auto& row : rows) {
    const std::string& written = target.UnderWine() ? row[2] : row[1];
    EXPECT_EQ(box.Read("out/" + written), row[0]) << extract.output;
    if (target.UnderWine()) EXPECT_NE(extract.output.find("written as " + written), std::string::npos) << extract.output;
  }
}

// The committed sample must stay what samples/make_sample makes of
// samples/files: a stale or damaged sample shows up here.
TEST_F(Names, BundledSampleTestsCleanAndExtractsToTheFilesItWasMadeFrom) {
  fs::path samples = fs::path(TAVO_SOURCE_DIR) / "samples";
  fs::copy_file(samples / "sample.lzh", Path("sample.lzh"));
  EXPECT_TRUE(HasLine(box, Run({"t", "sample.lzh"}).output, "3 members tested, 0 skipped, 0 failed"));
  Run({"x", "sample.lzh", "out/"});
  EXPECT_EQ(FilesBelow(Path("out")), FilesBelow((samples / "files").string()));
}

}  // namespace
}  // namespace e2e
