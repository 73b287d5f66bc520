// The reading commands as a user runs them: tavo with the real library on
// archives our writer made. Each test checks what reaches the terminal (in
// the platform's line ends), what lands on disk, the exit status, which is
// the library's result, and that tavo writes nothing to standard error (a
// file here, where progress must not go).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library_e2e.h"

namespace e2e {
namespace {

using lzh::test::WriteArchive;

class Reading : public ::testing::Test {
 protected:
  Reading() { PutArchive(box, "tree.lzh", WriteArchive(Tree())); }
  Outcome Run(const std::vector<std::string>& arguments, const Environment& environment = {}, int status = 0) {
    Outcome outcome = box.Run(arguments, environment);
    EXPECT_EQ(outcome.status, status) << outcome.output;
    EXPECT_EQ(outcome.errors, "") << "progress is for a terminal, and standard error is a file";
    return outcome;
  }
  Sandbox box{Library::Real};
};

TEST_F(Reading, ListingShowsEveryMemberInLinesOfAtMost79Characters) {
  Outcome list = Run({"l", "tree.lzh"});
  std::vector<std::string> lines = Lines(box, list.output);
  ASSERT_FALSE(lines.empty()) << list.output;
  EXPECT_EQ(lines.front(), "Archive: tree.lzh");
  for (const std::string& line : lines) EXPECT_LE(line.size(), 79u) << line;
  for (const char* name : {"readme.txt", "manual.TXT", "notes.txt", "main.c", "old.c"})
    EXPECT_NE(list.output.find(name), std::string::npos) << name << "\n" << list.output;
  EXPECT_NE(list.output.find("-lh7-"), std::string::npos);
  EXPECT_NE(lines.back().find("6 members"), std::string::npos) << lines.back();
  // Under Wine the first line break must already be CR LF.
  EXPECT_EQ(list.output.find('\n'), list.output.find(box.Eol()) + box.Eol().size() - 1);
}

TEST_F(Reading, VerboseListingShowsWholePaths) {
  Outcome list = Run({"v", "tree.lzh"});
  EXPECT_TRUE(HasLine(box, list.output, "docs/deep/notes.txt")) << list.output;
  EXPECT_TRUE(HasLine(box, list.output, "src/main.c")) << list.output;
}

TEST_F(Reading, TestChecksEveryMemberAndWritesNothing) {
  Outcome test = Run({"t", "tree.lzh"});
  EXPECT_TRUE(HasLine(box, test.output, "ok       src/old.c")) << test.output;
  EXPECT_TRUE(HasLine(box, test.output, "5 members tested, 0 skipped, 0 failed")) << test.output;
  EXPECT_EQ(box.Read("docs/manual.TXT"), "");
}

// The base directory may end in either separator on either platform.
TEST_F(Reading, ExtractionWithDirectoriesIntoEitherBaseDirectoryForm) {
  for (const char* base : {"out\\", "out/"}) {
    Outcome extract = Run({"x", "tree.lzh", base});
    EXPECT_TRUE(HasLine(box, extract.output, "5 members extracted, 0 skipped, 0 failed")) << base << extract.output;
    EXPECT_EQ(box.Read("out/docs/deep/notes.txt"), TreeText("notes.txt")) << base;
    EXPECT_EQ(box.Read("out/src/main.c"), TreeText("main.c")) << base;
    EXPECT_EQ(box.Read("out/readme.txt"), TreeText("readme.txt")) << base;
    std::filesystem::remove_all(box.work() + "/out");
  }
}

TEST_F(Reading, ExtractionWithoutDirectoriesUnlessAskedFor) {
  Run({"e", "tree.lzh", "flat\\"});
  EXPECT_EQ(box.Read("flat/notes.txt"), TreeText("notes.txt"));
  EXPECT_EQ(box.Read("flat/old.c"), TreeText("old.c"));
  EXPECT_FALSE(std::filesystem::exists(box.work() + "/flat/docs"));
  Run({"e", "-x", "tree.lzh", "kept/", "notes.txt"});
  EXPECT_EQ(box.Read("kept/docs/deep/notes.txt"), TreeText("notes.txt"));
}

TEST_F(Reading, ExtractionWithoutBaseDirectoryWritesIntoTheCurrentOne) {
  Run({"x", "tree.lzh", "old.c"});
  EXPECT_EQ(box.Read("src/old.c"), TreeText("old.c"));
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
      {"crlf.txt", "one\r\ntwo\r\n", "one\r\ntwo\r\n", "one\r\ntwo\r\n"},
      {"mixed.txt", "cr\rlf\ncrlf\r\nend\r", "cr\rlf\ncrlf\r\nend\r\n", "cr\rlf\r\ncrlf\r\nend\r\r\n"},
      {"large.txt", large, large, large},
  };
  std::vector<lzh::test::Member> members;
  for (const Case& c : cases) members.push_back(lzh::test::Member{{c.name}, lzh::test::ToBytes(c.stored)});
  PutArchive(box, "p.lzh", WriteArchive(members));
  for (const Case& c : cases)
    EXPECT_EQ(Run({"p", "p.lzh", c.name}).output, target.UnderWine() ? c.shownUnderWine : c.shown) << c.name;
}

TEST_F(Reading, MembersAreSelectedByBaseNameWildcardPathAndCase) {
  Run({"x", "-i-", "tree.lzh", "a/", "*.c", "MANUAL.txt"});
  EXPECT_EQ(box.Read("a/src/main.c"), TreeText("main.c"));
  EXPECT_EQ(box.Read("a/src/old.c"), TreeText("old.c"));
  EXPECT_EQ(box.Read("a/docs/manual.TXT"), TreeText("manual.TXT"));
  EXPECT_FALSE(std::filesystem::exists(box.work() + "/a/readme.txt"));
  // A directory named without its separator is a name to match, and the
  // report says how to name a base directory.
  Outcome unmatched = Run({"x", "tree.lzh", "a"}, {}, 1);
  EXPECT_TRUE(HasLine(box, unmatched.output,
                      "No member matches a; to extract into the directory a, write a/ (a base directory ends in / or \\)"))
      << unmatched.output;
  EXPECT_TRUE(HasLine(box, unmatched.output, "0 members extracted, 1 skipped, 0 failed")) << unmatched.output;

  Outcome strict = Run({"x", "-p", "tree.lzh", "b/", "main.c"}, {}, 1);
  EXPECT_TRUE(HasLine(box, strict.output, "No member matches main.c")) << strict.output;
  Run({"x", "-p", "tree.lzh", "b/", "src\\m*.c"});
  EXPECT_EQ(box.Read("b/src/main.c"), TreeText("main.c"));

  Outcome withCase = Run({"x", "-i", "tree.lzh", "c/", "MANUAL.txt"}, {}, 1);
  EXPECT_TRUE(HasLine(box, withCase.output, "No member matches MANUAL.txt")) << withCase.output;
  EXPECT_EQ(box.Read("c/docs/manual.TXT"), "");
  // Without -i or -i- names match as the system's own do: with case on Linux.
  Run({"x", "tree.lzh", "d/", "MANUAL.txt"}, {}, target.UnderWine() ? 0 : 1);
  EXPECT_EQ(box.Read("d/docs/manual.TXT"), target.UnderWine() ? TreeText("manual.TXT") : "");
}

// Members that land on one file, flattened by e or (on Windows) differing
// in case only: the first is extracted, each later one is named and
// counted as skipped, even with -m -c.
TEST_F(Reading, MembersLandingOnOneFileAreExtractedOnce) {
  using lzh::test::Member;
  using lzh::test::ToBytes;
  PutArchive(box, "twins.lzh", WriteArchive({Member{{"a", "same.txt"}, ToBytes("first")},
                                             Member{{"b", "same.txt"}, ToBytes("second")},
                                             Member{{"Case.txt"}, ToBytes("upper")},
                                             Member{{"case.txt"}, ToBytes("lower")}}));
  Outcome flat = Run({"e", "-m", "-c", "twins.lzh", "flat/"}, {}, 1);
  const bool foldsCase = target.UnderWine();
  EXPECT_TRUE(HasLine(box, flat.output, "skipped  b/same.txt: an earlier member of the archive was extracted to that name"))
      << flat.output;
  EXPECT_TRUE(HasLine(box, flat.output,
                      foldsCase ? "2 members extracted, 2 skipped, 0 failed" : "3 members extracted, 1 skipped, 0 failed"))
      << flat.output;
  EXPECT_EQ(box.Read("flat/same.txt"), "first");
  EXPECT_EQ(box.Read("flat/Case.txt"), "upper");
  EXPECT_EQ(box.Read("flat/case.txt"), foldsCase ? "" : "lower");
}

// A temporary file that a killed extraction left in a target directory,
// however deep, goes with the next extraction there; one of a process that
// is still running stays. (Under Wine no Windows process id is ours to
// plant, so only the gone one is.)
TEST_F(Reading, ExtractionRemovesTemporariesOfGoneProcessesOnly) {
  const std::string gone = "out/docs/deep/.unlha32-999999999-3.tmp";
  const std::string live = "out/docs/deep/.unlha32-" + std::to_string(getpid()) + "-1.tmp";
  box.File(gone, "left by a killed run");
  if (!target.UnderWine()) box.File(live, "being written now");
  Outcome extract = Run({"x", "tree.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "Removed 1 temporary file left by interrupted extractions.")) << extract.output;
  EXPECT_FALSE(std::filesystem::exists(box.work() + "/" + gone));
  EXPECT_EQ(box.Read(live), target.UnderWine() ? "" : "being written now");
}

TEST_F(Reading, SwitchesFromLhaApplyToTheCommand) {
  Run({"x", "tree.lzh", "flat/", "notes.txt"}, {{"LHA", "-x-"}});
  EXPECT_EQ(box.Read("flat/notes.txt"), TreeText("notes.txt"));
  Outcome refused = Run({"x", "tree.lzh", "none/"}, {{"LHA", "-q"}}, 6);
  EXPECT_NE(refused.output.find("Command line not understood: unknown switch -q"), std::string::npos)
      << refused.output;
  EXPECT_FALSE(std::filesystem::exists(box.work() + "/none"));
}

TEST_F(Reading, BareArchiveIsListed) {
  Outcome bare = Run({"tree.lzh"});
  EXPECT_EQ(bare.output, Run({"l", "tree.lzh"}).output);
}

TEST_F(Reading, WildcardRouteRunsTheCommandOnEveryArchive) {
  Bytes other = Text("other.txt", 500);
  PutArchive(box, "second.lzh", WriteArchive({lzh::test::Member{{"other.txt"}, other}}));
  Outcome test = Run({"t", "*.lzh"});
  EXPECT_TRUE(HasLine(box, test.output, "5 members tested, 0 skipped, 0 failed")) << test.output;
  EXPECT_TRUE(HasLine(box, test.output, "1 member tested, 0 skipped, 0 failed")) << test.output;
  Run({"x", "*.lzh", "all\\"});
  EXPECT_EQ(box.Read("all/other.txt"), std::string(other.begin(), other.end()));
  EXPECT_EQ(box.Read("all/src/old.c"), TreeText("old.c"));
}

// Reports are whole on every route, however many members and however long
// their paths: tavo measures the archive through the library's member walk.
// The damaged member last in the archive still shows its FAILED line, and
// the summary follows it.
TEST_F(Reading, ReportsAreWholeOnEveryRoute) {
  std::vector<lzh::test::RawMember> members;
  for (int i = 0; i < 40; ++i) {
    std::string folder = std::string(50, static_cast<char>('a' + i % 3)) + '\xff' + std::string(50, 'x') + '\xff';
    members.push_back(lzh::test::RawMember{"member-" + std::to_string(i) + ".txt", folder, Text("m", 100 + i)});
  }
  members.back().crc = 0x1234;
  const std::string last = std::string(50, 'a') + "/" + std::string(50, 'x') + "/member-39.txt";
  PutArchive(box, "big.lzh", lzh::test::RawArchive(members));
  struct Case {
    std::vector<std::string> arguments;
    std::string summary;
  };
  const std::string listed = "40 members";
  const Case cases[] = {
      {{"l", "big.lzh"}, listed},       {{"v", "big.lzh"}, listed},        {{"t", "big.lzh"}, "tested"},
      {{"x", "big.lzh", "one/"}, "extracted"}, {{"l", "b*.lzh"}, listed}, {{"v", "b*.lzh"}, listed},
      {{"t", "b*.lzh"}, "tested"},      {{"x", "b*.lzh", "two/"}, "extracted"}, {{"big.lzh"}, listed},
      {{"b*.lzh"}, listed},
  };
  for (const Case& c : cases) {
    bool checked = c.summary != listed;
    Outcome run = Run(c.arguments, {}, checked ? 3 : 0);
    std::vector<std::string> lines = Lines(box, run.output);
    ASSERT_FALSE(lines.empty()) << c.arguments[0];
    if (checked) {
      EXPECT_EQ(lines.back(), "39 members " + c.summary + ", 0 skipped, 1 failed") << c.arguments[0];
      EXPECT_TRUE(HasLine(box, run.output, "FAILED   " + last + ": CRC mismatch")) << c.arguments[0];
    } else {
      EXPECT_NE(lines.back().find(listed), std::string::npos) << c.arguments[0] << ": " << lines.back();
    }
    if (c.arguments[0] == "v") {
      EXPECT_TRUE(HasLine(box, run.output, last)) << run.output;
    }
  }
}

TEST_F(Reading, CommandsTheLibraryRefusesAreReportedAndTheStatusSaysWhy) {
  EXPECT_EQ(Run({"q", "tree.lzh"}, {}, 6).output, "Command line not understood: unknown command q" + box.Eol());
  EXPECT_EQ(Run({"l", "missing.lzh"}, {}, 5).output, "Cannot list missing.lzh: no such file" + box.Eol());
  box.File("notes.lzh", "just some text, not an archive\n");
  EXPECT_EQ(Run({"t", "notes.lzh"}, {}, 5).output, "Cannot read notes.lzh: not an LZH archive" + box.Eol());
}

}  // namespace
}  // namespace e2e
