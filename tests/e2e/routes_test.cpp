// Every route and refusal through the real tavo process: which calls reach
// the library, with the exact command line and report buffer size, what is
// printed, and the exit status (the search for archives by drives, long
// paths and Shift_JIS names is the golden test's). The double has no member walk, so tavo gives
// it the sizes the member and file counts give alone. Faults the double can
// be told to commit (no NUL in the report, negative or absurd member counts)
// must neither overrun a buffer nor wrap a size, nor cost memory the report
// does not use.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sandbox.h"

namespace {

using Calls = std::vector<std::string>;

Calls Sorted(Calls calls) {
  std::sort(calls.begin(), calls.end());
  return calls;
}

// The calls of the bare-archive route and of the wildcard route for one
// archive: a check, a count, then the run with (members + 5) * 80 bytes.
Calls Found(const std::string& path, int members, const std::string& line) {
  return {"CheckArchive|" + path + "|0", "GetFileCount|" + path,
          "Unlha|" + std::to_string((members + 5) * 80) + "|none|" + line};
}
Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Archives as the double sees them (a name with its member count) and plain
// files; each case runs in a fresh sandbox. The calls about archives must be
// these, in any order (the checks of other entries, . and .. among them,
// differ by platform); the output the double's report of every run; the
// status 0.
TEST(Routes, EachRouteHandsTheLibraryItsLineAndReportSize) {
  struct Case {
    std::vector<std::pair<std::string, int>> archives;
    std::vector<std::string> files;
    std::vector<std::string> arguments;
    Environment environment;
    Calls calls;
  };
  const std::string longLha = "-" + std::string(3000, 'w');
  const Case cases[] = {
      // Bare archive: its path is the whole line, unquoted; a pattern runs
      // every archive with its directory, passing over what is no archive.
      {{{"a.lzh", 12}}, {}, {"a.lzh"}, {}, Found("a.lzh", 12, "a.lzh")},
      {{{"my a.lzh", 0}}, {}, {"my a.lzh"}, {}, Found("my a.lzh", 0, "my a.lzh")},
      {{{"sub/a.lzh", 1}, {"sub/b.lzh", 2}}, {"sub/c.txt"}, {"sub/*.lzh"}, {},
       Found("sub/a.lzh", 1, "sub/a.lzh") + Found("sub/b.lzh", 2, "sub/b.lzh")},
      {{{"a.lzh", 1}, {"d.lzh", 1}}, {"b.lzh", "sub/c.txt"}, {"*"}, {},
       Found("a.lzh", 1, "a.lzh") + Found("d.lzh", 1, "d.lzh")},
      {{{"a.lzh", 1}}, {}, {"a.lzh"}, {{"TAVO_DOUBLE_COUNT", "100000"}}, {"CheckArchive|a.lzh|0", "GetFileCount|a.lzh",
                                                                          "Unlha|8000400|none|a.lzh"}},
      // Wildcard: the user's command once per archive, the path quoted
      // when it needs it, LHA after the command word.
      {{{"a.lzh", 3}, {"b.lzh", 4}}, {}, {"e", "-r", "*.lzh", "out\\"}, {},
       Found("a.lzh", 3, "e -r a.lzh out\\ ") + Found("b.lzh", 4, "e -r b.lzh out\\ ")},
      {{{"a.lzh", 1}, {"d.lzh", 1}}, {"b.lzh", "sub/c.txt"}, {"e", "*"}, {},
       Found("a.lzh", 1, "e a.lzh ") + Found("d.lzh", 1, "e d.lzh ")},
      {{{"my a.lzh", 0}}, {}, {"x", "my*.lzh"}, {{"LHA", "-m1"}}, Found("my a.lzh", 0, "x -m1 \"my a.lzh\" ")},
      {{{"a.lzh", 0}}, {}, {"list", "?.lzh"}, {}, Found("a.lzh", 0, "list a.lzh ")},
      // Plain: 800 bytes, or 160 a file the file arguments name (the walk
      // counts below the current directory; wildcards stay for the library).
      {{{"a.lzh", 500}}, {}, {"l", "a.lzh"}, {}, {"Unlha|800|none|l a.lzh "}},
      {{}, {"one.txt", "two.txt", "more.txt/three.txt", "sub/four.txt", "five.doc"},
       {"a", "new.lzh", "*.txt", "five.doc", "-x"}, {}, {"Unlha|1440|none|a new.lzh *.txt five.doc -x "}},
      {{}, {}, {"x", "-r", "my files.lzh", "docs\\"}, {{"LHA", "-m1"}}, {"Unlha|800|none|x -m1 -r \"my files.lzh\" docs\\ "}},
      {{}, {}, {"l", "a.lzh"}, {{"LHA", ""}}, {"Unlha|800|none|l a.lzh "}},
      {{}, {}, {"l", "a.lzh"}, {{"LHA", longLha}}, {"Unlha|800|none|l " + longLha + " a.lzh "}},
      {{}, {}, {"-r", "x.lzh"}, {}, {"Unlha|800|none|-r x.lzh "}},
      {{}, {}, {"l", "a.lzh", ""}, {}, {"Unlha|800|none|l a.lzh \"\" "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
    Sandbox box;
    for (const auto& [name, members] : c.archives) box.Archive(name, members);
    for (const std::string& name : c.files) box.File(name);
    Outcome result = box.Run(c.arguments, c.environment);
    Calls calls;
    for (const std::string& call : box.Calls())
      if (call.rfind("CheckArchive|", 0) != 0 ||
          std::any_of(c.archives.begin(), c.archives.end(), [&](const auto& a) { return call.find("|" + a.first + "|") != std::string::npos; }))
        calls.push_back(call);
    EXPECT_EQ(Sorted(calls), Sorted(c.calls));
    Calls shown, expected;
    for (std::size_t start = 0, end; (end = result.output.find(box.Eol(), start)) != std::string::npos;
         start = end + box.Eol().size())
      shown.push_back(result.output.substr(start, end - start));
    for (const std::string& call : c.calls)
      if (call.rfind("Unlha|", 0) == 0)  // the double's report, cut to fit its buffer
        expected.insert(expected.end(), {"double report", ("line: " + call.substr(call.find("|none|") + 6))
                                                              .substr(0, std::stoul(call.substr(6)) - 15)});
    EXPECT_EQ(Sorted(shown), Sorted(expected));
    EXPECT_EQ(result.status, 0);
  }
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
  EXPECT_EQ(box.Run({"a.lzh"}, {{"TAVO_DOUBLE_NO_NUL", "1"}}).output, std::string(960, 'X') + box.Eol());
  Outcome plain = box.Run({"l", "a.lzh"}, {{"TAVO_DOUBLE_NO_NUL", "1"}});
  EXPECT_EQ(plain.output, std::string(800, 'X') + box.Eol());
  EXPECT_EQ(plain.status, 0);
}

// 53687086 members ask for a buffer of 4 GiB whose pages are never touched,
// so the run needs no more memory than any other (32-bit Windows cannot
// have the block at all: a memory failure); one more would wrap the size.
TEST(FaultyLibrary, NegativeOrAbsurdMemberCountIsAMemoryFailureNotAWrappedSize) {
  for (const char* count : {"-1", "-2147483648", "2147483647", "53687087"}) {
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
  Sandbox box;
  box.Archive("a.lzh", 1);
  Outcome result = box.Run({"a.lzh"}, {{"TAVO_DOUBLE_COUNT", "53687086"}});
  EXPECT_EQ(result.status, target.UnderWine() ? 7 : 0);
  EXPECT_EQ(result.output.empty(), target.UnderWine());
  EXPECT_LT(result.peakKilobytes, 1024 * 1024);
}

}  // namespace
