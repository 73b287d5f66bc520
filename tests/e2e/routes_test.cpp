// Every route and refusal through the real tavo process: which calls reach
// the library, with the exact command line and report buffer size, what is
// printed, and the exit status. The double has no member walk, so tavo gives
// it the sizes the member and file counts give alone. Faults the double can
// be told to commit (no NUL in the report, negative or absurd member counts)
// must neither overrun a buffer nor wrap a size, nor cost memory the report
// does not use.
#include <gtest/gtest.h>

#include <locale.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sandbox.h"

namespace {

using Calls = std::vector<std::string>;

std::string Report(const Sandbox& box, const std::string& line) {
  return "double report" + box.Eol() + "line: " + line + box.Eol();
}

// The calls of the bare-archive route for one archive.
Calls BareRun(const std::string& path, int members) {
  return {"CheckArchive|" + path + "|0", "GetFileCount|" + path,
          "Unlha|" + std::to_string((members + 5) * 80) + "|none|" + path};
}

Calls Sorted(Calls calls) {
  std::sort(calls.begin(), calls.end());
  return calls;
}

TEST(BareArchiveRoute, ArchivePathIsTheWholeCommandLine) {
  Sandbox box;
  box.Archive("a.lzh", 12);
  Outcome result = box.Run({"a.lzh"});
  EXPECT_EQ(box.Calls(), BareRun("a.lzh", 12));
  EXPECT_EQ(result.output, Report(box, "a.lzh"));
  EXPECT_EQ(result.status, 0);
}

TEST(BareArchiveRoute, PathWithBlankIsHandedOverUnquoted) {
  Sandbox box;
  box.Archive("my a.lzh", 0);
  box.Run({"my a.lzh"});
  EXPECT_EQ(box.Calls(), BareRun("my a.lzh", 0));
}

TEST(BareArchiveRoute, PatternRunsEveryMatchingArchiveWithItsDirectory) {
  Sandbox box;
  box.Archive("sub/a.lzh", 1);
  box.Archive("sub/b.lzh", 2);
  box.File("sub/c.txt");
  box.Run({"sub/*.lzh"});
  Calls expected = BareRun("sub/a.lzh", 1);
  Calls second = BareRun("sub/b.lzh", 2);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(Sorted(box.Calls()), Sorted(expected));
}

// The per-archive routes pass over every entry the library refuses (a stray
// file, the directories . and .. and others) and run every archive, in
// whatever order the platform's search returns them.
TEST(PerArchiveRoutes, EntriesThatAreNoArchivesArePassedOver) {
  for (const auto& arguments : {std::vector<std::string>{"*"}, std::vector<std::string>{"e", "*"}}) {
    Sandbox box;
    box.Archive("a.lzh", 1);
    box.File("b.lzh", "not an archive");
    box.File("sub/c.txt");
    box.Archive("d.lzh", 1);
    Outcome result = box.Run(arguments);
    Calls runs;
    for (const std::string& call : box.Calls())
      if (call.rfind("Unlha|", 0) == 0) runs.push_back(call);
    std::string word = arguments.size() == 2 ? "e " : "";
    std::string end = arguments.size() == 2 ? " " : "";
    EXPECT_EQ(Sorted(runs), (Calls{"Unlha|480|none|" + word + "a.lzh" + end, "Unlha|480|none|" + word + "d.lzh" + end}));
    EXPECT_EQ(result.status, 0);
  }
}

TEST(BareArchiveRoute, ArchivePathOver255BytesIsRefusedNotTruncated) {
  Sandbox box;
  std::string directory(200, 'd');
  box.Archive(directory + "/" + std::string(60, 'n') + ".lzh", 1);
  Outcome result = box.Run({directory + "/*.lzh"});
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.status, 5);
  EXPECT_TRUE(box.Calls().empty());
}

// Linux has no drives: a name whose second byte is ':' is a name. Windows
// keeps the drive of the pattern in front of each archive found.
TEST(BareArchiveRoute, ColonIsADriveOnlyOnWindows) {
  Sandbox box;
  if (!target.UnderWine()) {
    box.Archive("a:b.lzh", 1);
    box.Run({"a:b.lzh"});
    EXPECT_EQ(box.Calls(), BareRun("a:b.lzh", 1));
    return;
  }
  box.Archive("a.lzh", 1);
  box.Run({"e", "Z:" + box.work() + "/*.lzh"});
  EXPECT_EQ(box.Calls().back(), "Unlha|480|none|e Z:" + box.work() + "/a.lzh ");
}

TEST(WildcardRoute, RunsTheUserCommandOncePerArchive) {
  Sandbox box;
  box.Archive("a.lzh", 3);
  box.Archive("b.lzh", 4);
  Outcome result = box.Run({"e", "-r", "*.lzh", "out\\"});
  EXPECT_EQ(Sorted(box.Calls()),
            Sorted({"CheckArchive|a.lzh|0", "GetFileCount|a.lzh", "Unlha|640|none|e -r a.lzh out\\ ",
                    "CheckArchive|b.lzh|0", "GetFileCount|b.lzh", "Unlha|720|none|e -r b.lzh out\\ "}));
  EXPECT_EQ(result.output.size(), Report(box, "e -r a.lzh out\\ ").size() * 2);
  EXPECT_EQ(result.status, 0);
}

TEST(WildcardRoute, SubstitutedPathWithBlankIsQuotedAndLhaFollowsTheWord) {
  Sandbox box;
  box.Archive("my a.lzh", 0);
  box.Run({"x", "my*.lzh"}, {{"LHA", "-m1"}});
  EXPECT_EQ(box.Calls(), (Calls{"CheckArchive|my a.lzh|0", "GetFileCount|my a.lzh", "Unlha|400|none|x -m1 \"my a.lzh\" "}));
}

TEST(WildcardRoute, AnyWordStartingWithABatchLetterIsAccepted) {
  Sandbox box;
  box.Archive("a.lzh", 0);
  box.Run({"list", "?.lzh"});
  EXPECT_EQ(box.Calls(), (Calls{"CheckArchive|a.lzh|0", "GetFileCount|a.lzh", "Unlha|400|none|list a.lzh "}));
}

TEST(PlainRoute, ListingWithoutFileArgumentsGets800Bytes) {
  Sandbox box;
  box.Archive("a.lzh", 500);
  Outcome result = box.Run({"l", "a.lzh"});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|800|none|l a.lzh "}));
  EXPECT_EQ(result.output, Report(box, "l a.lzh "));
}

TEST(PlainRoute, ReportSizeCountsFilesNamedAfterTheArchive) {
  Sandbox box;
  box.File("one.txt");
  box.File("two.txt");
  box.File("more.txt/three.txt");
  box.File("sub/four.txt");
  box.File("five.doc");
  box.Run({"a", "new.lzh", "*.txt", "five.doc", "-x"});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|1440|none|a new.lzh *.txt five.doc -x "}));
}

TEST(PlainRoute, LhaSwitchesAndQuotedArchiveWithBlank) {
  Sandbox box;
  box.Run({"x", "-r", "my files.lzh", "docs\\"}, {{"LHA", "-m1"}});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|800|none|x -m1 -r \"my files.lzh\" docs\\ "}));
  box.Run({"l", "a.lzh"}, {{"LHA", ""}});
  EXPECT_EQ(box.Calls().back(), "Unlha|800|none|l a.lzh ");
}

TEST(PlainRoute, LongLhaValueReachesTheLibraryWhole) {
  Sandbox box;
  std::string value = "-" + std::string(3000, 'w');
  box.Run({"l", "a.lzh"}, {{"LHA", value}});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|800|none|l " + value + " a.lzh "}));
}

TEST(PlainRoute, WildcardOnlyInFileArgumentsStaysForTheLibrary) {
  Sandbox box;
  box.File("x.c");
  box.Run({"a", "s.lzh", "*.c"});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|960|none|a s.lzh *.c "}));
}

TEST(PlainRoute, CommandWordBeginningWithDashIsStillTheWord) {
  Sandbox box;
  box.Run({"-r", "x.lzh"});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|800|none|-r x.lzh "}));
}

// Dropped, it would hand its place to the next argument.
TEST(PlainRoute, EmptyArgumentIsPassedOnQuoted) {
  Sandbox box;
  box.Run({"l", "a.lzh", ""});
  EXPECT_EQ(box.Calls(), (Calls{"Unlha|800|none|l a.lzh \"\" "}));
}

// The exit status: the most severe result of the library's runs (one
// outside 0..255 counts as 7); when nothing ran, why: 5 when no archive was
// found, 6 when the command line was refused. Those print nothing at all.
TEST(ExitStatus, MostSevereResultOrWhyNothingRan) {
  struct Case {
    std::vector<std::string> arguments;
    std::string results;
    int status;
  };
  const Case cases[] = {
      {{"*.lzh"}, "3,1", 3},  // either archive may come first
      {{"t", "*.lzh"}, "1,3", 3},
      {{"l", "a.lzh"}, "4", 4},
      {{"l", "a.lzh"}, "300", 7},
      {{"l", "a.lzh"}, "-1", 7},
      {{"none.lzh"}, "", 5},
      {{"-h"}, "", 5},
      {{"t", "*.txt"}, "", 5},  // a file and a directory, neither an archive
      {{"a", "*.lzh", "file.txt"}, "", 6},
      {{"p", "*.lzh", "file.txt"}, "", 6},
      {{"l", "-r", "-x"}, "", 6},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.Archive("a.lzh", 1);
    box.Archive("b.lzh", 1);
    box.File("notes.txt");
    box.File("folder.txt/inner");
    Outcome result = box.Run(c.arguments, {{"TAVO_DOUBLE_RESULTS", c.results}});
    EXPECT_EQ(result.status, c.status) << c.arguments[0] << " " << c.results;
    if (!c.results.empty()) continue;  // the cases where nothing may run
    EXPECT_EQ(result.output, "") << c.arguments[0];
    for (const std::string& call : box.Calls()) EXPECT_NE(call.rfind("Unlha|", 0), 0u) << c.arguments[0];
  }
}

TEST(FaultyLibrary, ReportWithoutNulIsPrintedOnlyUpToTheBufferSize) {
  Sandbox box;
  box.Archive("a.lzh", 7);
  Outcome bare = box.Run({"a.lzh"}, {{"TAVO_DOUBLE_NO_NUL", "1"}});
  EXPECT_EQ(bare.output, std::string(960, 'X') + box.Eol());
  Outcome plain = box.Run({"l", "a.lzh"}, {{"TAVO_DOUBLE_NO_NUL", "1"}});
  EXPECT_EQ(plain.output, std::string(800, 'X') + box.Eol());
  EXPECT_EQ(plain.status, 0);
}

TEST(FaultyLibrary, NegativeOrAbsurdMemberCountIsAMemoryFailureNotAWrappedSize) {
  for (const char* count : {"-1", "-5", "-2147483648", "2147483647", "53687087"}) {
    Sandbox box;
    box.Archive("a.lzh", 1);
    box.Archive("b.lzh", 1);
    Outcome result = box.Run({"*.lzh"}, {{"TAVO_DOUBLE_COUNT", count}});
    EXPECT_EQ(result.output, "") << count;
    EXPECT_EQ(result.status, 7) << count;
    Calls calls = box.Calls();
    ASSERT_EQ(calls.size(), 2u) << count;  // one check and one count, then the route ends
    EXPECT_EQ(calls[1].rfind("GetFileCount|", 0), 0u);
    box.Run({"e", "*.lzh"}, {{"TAVO_DOUBLE_COUNT", count}});
    EXPECT_EQ(box.Calls().size(), 4u) << count;
  }
}

// A count just under the overflow limit asks for a buffer of 4 GiB. Its pages
// are never touched, so the run needs no more memory than any other (32-bit
// Windows cannot have the block at all: a memory failure).
TEST(FaultyLibrary, HugeCountCostsNoMemoryTheReportDoesNotUse) {
  Sandbox box;
  box.Archive("a.lzh", 1);
  Outcome result = box.Run({"a.lzh"}, {{"TAVO_DOUBLE_COUNT", "53687086"}});
  EXPECT_EQ(result.status, target.UnderWine() ? 7 : 0);
  EXPECT_EQ(result.output, target.UnderWine() ? "" : Report(box, "a.lzh"));
  EXPECT_LT(result.peakKilobytes, 1024 * 1024);
}

TEST(FaultyLibrary, LargestCountThatFitsIsStillRun) {
  Sandbox box;
  box.Archive("a.lzh", 1);
  box.Run({"a.lzh"}, {{"TAVO_DOUBLE_COUNT", "100000"}});
  EXPECT_EQ(box.Calls().back(), "Unlha|8000400|none|a.lzh");
}

// Shift_JIS names: under Wine in a Japanese locale the program sees code page
// 932, where 表 is 0x95 0x5C and its second byte must not end a directory.
TEST(ShiftJisNames, TrailByte5CIsNotTakenForASeparator) {
  if (target.UnderWine()) {
    locale_t japanese = newlocale(LC_ALL_MASK, "ja_JP.UTF-8", nullptr);
    if (!japanese) GTEST_SKIP() << "locale ja_JP.UTF-8 is not generated; Wine cannot use code page 932";
    freelocale(japanese);
  }
  Sandbox box;
  box.Archive("表a.lzh", 2);
  std::string expectedPath = target.UnderWine() ? "\x95\x5C" "a.lzh" : "表a.lzh";
  Environment japanese = {{"LC_ALL", target.UnderWine() ? "ja_JP.UTF-8" : "C.UTF-8"}};
  box.Run({"表*.lzh"}, japanese);
  EXPECT_EQ(box.Calls(), BareRun(expectedPath, 2));
  box.Archive("表/b.lzh", 1);
  std::string separator = target.UnderWine() ? "\\" : "/";
  box.Run({"e", "表" + separator + "*.lzh"}, japanese);
  std::string inDirectory = (target.UnderWine() ? "\x95\x5C" : "表") + separator + "b.lzh";
  EXPECT_EQ(box.Calls().back(), "Unlha|480|none|e " + inDirectory + " ");
}

}  // namespace
