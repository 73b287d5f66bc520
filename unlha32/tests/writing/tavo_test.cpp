// The writing commands end to end: the real tavo process loading the real
// library from beside itself, on the plain route and on the wildcard
// route over several archives.
#include "writing_fixture.h"

#include <cstdio>

namespace lzh::test {
namespace {

class ThroughTavo : public WritingTest {
 protected:
  // Runs tavo in the scratch directory; returns what it printed.
  std::string Tavo(const std::string& arguments, const std::string& environment = "") {
    std::string command = "cd '" + root_.string() + "' && " + environment + " '" TAVO_PROGRAM "' " + arguments + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char block[4096];
      for (size_t got; (got = fread(block, 1, sizeof block, pipe)) > 0;) output.append(block, got);
      pclose(pipe);
    }
    return output;
  }
};

TEST_F(ThroughTavo, AddsFilesAndTheArchiveExtractsWhole) {
  Make("a.txt", "alpha");
  Make("sub/b.txt", std::string(3000, 'b'));
  std::string added = Tavo("a arc.lzh a.txt sub/b.txt");
  EXPECT_TRUE(Contains(added, "added    sub/b.txt")) << added;
  EXPECT_EQ(Paths(Archive()), (std::vector<std::string>{"a.txt", "sub/b.txt"}));
  std::string extracted = Tavo("x arc.lzh out/");
  EXPECT_TRUE(Contains(extracted, "2 members extracted")) << extracted;
  EXPECT_EQ(ReadFile(root_ / "out/sub/b.txt"), ReadFile(root_ / "sub/b.txt"));
}

TEST_F(ThroughTavo, WildcardRouteDeletesFromEveryMatchingArchive) {
  Make("old.txt", "old");
  Make("keep.txt", "keep");
  Tavo("a one.lzh old.txt keep.txt");
  Tavo("a two.lzh keep.txt old.txt");
  std::string deleted = Tavo("d '*.lzh' old.txt");
  EXPECT_TRUE(Contains(deleted, "one.lzh written")) << deleted;
  EXPECT_TRUE(Contains(deleted, "two.lzh written")) << deleted;
  EXPECT_EQ(Paths(Archive("one.lzh")), (std::vector<std::string>{"keep.txt"}));
  EXPECT_EQ(Paths(Archive("two.lzh")), (std::vector<std::string>{"keep.txt"}));
  EXPECT_TRUE(Leftovers(root_).empty());
}

TEST_F(ThroughTavo, MakesASelfExtractingProgramThatRuns) {
  Make("a.txt", "alpha");
  Tavo("a arc.lzh a.txt");
  std::string made = Tavo("s arc.lzh");
  EXPECT_TRUE(Contains(made, "Made the self-extracting program")) << made;
  EXPECT_EQ(std::system(("cd '" + (root_ / "out").string() + "' && ../arc > /dev/null").c_str()), 0);
  EXPECT_EQ(ReadFile(root_ / "out/a.txt"), ToBytes("alpha"));
}

}  // namespace
}  // namespace lzh::test
