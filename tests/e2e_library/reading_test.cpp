// The reading commands as a user runs them: tavo with the real library on
// archives our writer made, on each route. What the library decides about
// an archive its own suite proves through the exported functions; here is
// what only the process shows: reports sized whole on every route, text in
// the console's line ends, exit statuses, and what differs under Windows
// (names without case, the liveness of another process, base directories
// and hostile paths in either separator).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "library_e2e.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using lzh::test::Member;
using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;
using lzh::test::WriteArchive;

class Reading : public TavoTest {
 protected:
  Reading() { PutArchive(box, "tree.lzh", WriteArchive(Tree())); }
};

// Extraction with and without directories, into a base directory in
// either separator's form; names match without case on Windows only.
TEST_F(Reading, ExtractionIntoEitherBaseDirectoryForm) {
  Run({"l", "tree.lzh"});
  for (const char* base : {"out\\", "out/"}) {
    Outcome extract = Run({"x", "tree.lzh", base});
    EXPECT_TRUE(HasLine(box, extract.output, "4 members extracted, 0 skipped, 0 failed")) << base << extract.output;
    EXPECT_EQ(box.Read("out/docs/deep/notes.txt"), TreeText("notes.txt")) << base;
    fs::remove_all(box.work() + "/out");
  }
  Run({"e", "tree.lzh", "flat\\"});
  EXPECT_EQ(box.Read("flat/notes.txt"), TreeText("notes.txt"));
  Run({"x", "tree.lzh", "d/", "MANUAL.txt"}, target.UnderWine() ? 0 : 1);
  EXPECT_EQ(box.Read("d/docs/manual.TXT"), target.UnderWine() ? TreeText("manual.TXT") : "");
}

// A member's bytes come back as the platform writes text: CR LF text whole
// everywhere (not CR CR LF under Wine), a lone LF as the platform's line
// end, a lone CR as it is. Whole, however large: tavo sizes the report by
// the members' contents, and a large member comes in many writes, some
// ending between CR and LF.
TEST_F(Reading, PrintShowsTheMemberAsItsText) {
  std::string large;
  for (int line = 0; large.size() < 600000; ++line) large += "line " + std::to_string(line) + "\r\n";
  struct Case {
    std::string name, stored, shown, shownUnderWine;
  };
  const Case cases[] = {
      {"lf.txt", "alpha\nbeta\n", "alpha\nbeta\n", "alpha\r\nbeta\r\n"},
      {"mixed.txt", "cr\rlf\ncrlf\r\nend\r", "cr\rlf\ncrlf\r\nend\r\n", "cr\rlf\r\ncrlf\r\nend\r\r\n"},
      {"large.txt", large, large, large},
  };
  std::vector<Member> members;
  for (const Case& c : cases) members.push_back(Member{{c.name}, ToBytes(c.stored)});
  PutArchive(box, "p.lzh", WriteArchive(members));
  for (const Case& c : cases)
    EXPECT_EQ(Run({"p", "p.lzh", c.name}).output, target.UnderWine() ? c.shownUnderWine : c.shown) << c.name;
}

// Members that land on one file, flattened by e or differing in case only
// on Windows: the first is extracted, each later one named and skipped.
// A temporary file a killed extraction left goes with the next extraction
// there, one of a running process stays (under Wine no Windows process id
// is ours to plant, so only the gone one is).
TEST_F(Reading, ExtractionOnWindowsNamesAndOtherProcessesTemporaries) {
  PutArchive(box, "twins.lzh", WriteArchive({Member{{"a", "same.txt"}, ToBytes("first")},
                                             Member{{"b", "same.txt"}, ToBytes("second")},
                                             Member{{"Case.txt"}, ToBytes("upper")}, Member{{"case.txt"}, ToBytes("lower")}}));
  const bool foldsCase = target.UnderWine();
  Outcome flat = Run({"e", "-m", "-c", "twins.lzh", "flat/"}, 1);
  EXPECT_TRUE(HasLine(box, flat.output, "skipped  b/same.txt: an earlier member of the archive was extracted to that name"))
      << flat.output;
  EXPECT_TRUE(HasLine(box, flat.output, foldsCase ? "2 members extracted, 2 skipped, 0 failed"
                                                  : "3 members extracted, 1 skipped, 0 failed"))
      << flat.output;
  EXPECT_EQ(box.Read("flat/case.txt"), foldsCase ? "" : "lower");

  const std::string gone = "out/docs/deep/.unlha32-999999999-3.tmp";
  const std::string live = "out/docs/deep/.unlha32-" + std::to_string(getpid()) + "-1.tmp";
  box.File(gone, "left by a killed run");
  if (!target.UnderWine()) box.File(live, "being written now");
  Outcome extract = Run({"x", "tree.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "Removed 1 temporary file left by interrupted extractions.")) << extract.output;
  EXPECT_FALSE(fs::exists(box.work() + "/" + gone));
  EXPECT_EQ(box.Read(live), target.UnderWine() ? "" : "being written now");
}

// Reports are whole on every route, however many members and however long
// their paths: tavo measures the archive through the library's member walk.
// The damaged member last in the archive still shows its FAILED line, and
// the summary follows it; the status is the library's result.
TEST_F(Reading, ReportsAreWholeOnEveryRoute) {
  std::vector<RawMember> members;
  for (int i = 0; i < 40; ++i) {
    std::string folder = std::string(50, static_cast<char>('a' + i % 3)) + '\xff' + std::string(50, 'x') + '\xff';
    members.push_back(RawMember{"member-" + std::to_string(i) + ".txt", folder, Text("m", 100 + i)});
  }
  members.back().crc = 0x1234;
  const std::string last = std::string(50, 'a') + "/" + std::string(50, 'x') + "/member-39.txt";
  PutArchive(box, "big.lzh", RawArchive(members));
  const std::vector<std::string> cases[] = {
      {"l", "big.lzh"}, {"v", "big.lzh"}, {"t", "big.lzh"}, {"x", "big.lzh", "one/"}, {"l", "b*.lzh"},
      {"v", "b*.lzh"},  {"t", "b*.lzh"},  {"x", "b*.lzh", "two/"}, {"big.lzh"}, {"b*.lzh"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    const std::string& word = arguments[0];
    bool checked = word == "t" || word == "x";
    std::vector<std::string> lines = Lines(box, Run(arguments, checked ? 3 : 0).output);
    ASSERT_FALSE(lines.empty()) << word;
    if (checked) {
      EXPECT_EQ(lines.back(), "39 members " + std::string(word == "t" ? "tested" : "extracted") + ", 0 skipped, 1 failed");
      EXPECT_NE(std::find(lines.begin(), lines.end(), "FAILED   " + last + ": CRC mismatch"), lines.end()) << word;
    } else {
      EXPECT_NE(lines.back().find("40 members"), std::string::npos) << word << ": " << lines.back();
    }
    if (word == "v") EXPECT_NE(std::find(lines.begin(), lines.end(), last), lines.end()) << word;
  }
}

TEST_F(Reading, RefusalsAreReportedAndTheStatusSaysWhy) {
  EXPECT_EQ(Run({"q", "tree.lzh"}, 6).output, "Command line not understood: unknown command q" + box.Eol());
  EXPECT_EQ(Run({"l", "missing.lzh"}, 5).output, "Cannot list missing.lzh: no such file" + box.Eol());
  box.File("notes.lzh", "just some text, not an archive\n");
  EXPECT_EQ(Run({"t", "notes.lzh"}, 5).output, "Cannot read notes.lzh: not an LZH archive" + box.Eol());
  // A damaged first header is reported as such, on the wildcard route too.
  lzh::test::Bytes archive = WriteArchive(Tree());
  archive[2] ^= 0xFF;
  PutArchive(box, "first.lzh", archive);
  EXPECT_TRUE(HasLine(box, Run({"l", "first.lzh"}, 3).output,
                      "The archive is damaged: the first header is damaged; none of it could be read."));
  EXPECT_TRUE(HasLine(box, Run({"t", "f*.lzh"}, 3).output, "0 members tested, 0 skipped, 1 failed"));
}

// Paths that climb out of the base directory, in either separator's form,
// are named and nothing lands outside.
TEST_F(Reading, DotDotPathsAreRefusedByName) {
  const std::string up = "..", ff = "\xff";
  PutArchive(box, "evil.lzh", RawArchive({RawMember{"escape.txt", up + ff + up + ff + "outside" + ff, ToBytes("1")},
                                          RawMember{"sneaky.txt", "in" + ff + up + ff + up + ff, ToBytes("2")},
                                          RawMember{"fine.txt", "", ToBytes("3")}}));
  for (const char* base : {"out\\", "out/"}) {
    Outcome extract = Run({"x", "evil.lzh", base}, 1);
    EXPECT_TRUE(HasLine(box, extract.output, "1 member extracted, 2 skipped, 0 failed")) << extract.output;
    EXPECT_NE(extract.output.find("escape.txt: the path leads out of the target directory (..)"), std::string::npos)
        << extract.output;
    EXPECT_EQ(FilesBelow(box.work() + "/out"), (std::vector<std::pair<std::string, std::string>>{{"fine.txt", "3"}}));
    EXPECT_FALSE(fs::exists(box.work() + "/outside"));
    fs::remove_all(box.work() + "/out");
  }
}

}  // namespace
}  // namespace e2e
