// Member selection: file arguments must select exactly the members the
// user named, by base name or by whole path, with or without case.
#include <gtest/gtest.h>

#include "commands/selection.h"

namespace lzh::commands {
namespace {

TEST(Wildcards, StarAndQuestionMark) {
  EXPECT_TRUE(WildcardMatch("*.txt", "readme.txt", true));
  EXPECT_FALSE(WildcardMatch("*.txt", "readme.txt.gz", true));
  EXPECT_TRUE(WildcardMatch("a?c", "abc", true));
  EXPECT_FALSE(WildcardMatch("a?c", "ac", true));
  EXPECT_TRUE(WildcardMatch("*", "", true));
  EXPECT_TRUE(WildcardMatch("*a*b*c", "xxaxxbxxbxc", true));
  EXPECT_FALSE(WildcardMatch("*a*b*c*d", std::string(5000, 'a') + "bc", true));
}

TEST(MemberSelectionTest, BaseNamesMatchInEveryDirectoryUnlessStrict) {
  MemberSelection loose({"*.TXT"}, false, false);
  EXPECT_TRUE(loose.Selects("docs/readme.txt"));
  EXPECT_TRUE(loose.Selects("a.txt"));
  EXPECT_FALSE(loose.Selects("docs.txt/readme.md"));
  MemberSelection strict({"*.txt"}, true, false);
  EXPECT_TRUE(strict.Selects("a.txt"));
  EXPECT_FALSE(strict.Selects("docs/readme.txt"));
}

TEST(MemberSelectionTest, CaseMattersOnlyWithI) {
  MemberSelection folded({"README.TXT"}, false, false);
  EXPECT_TRUE(folded.Selects("readme.txt"));
  MemberSelection exact({"README.TXT"}, false, true);
  EXPECT_FALSE(exact.Selects("readme.txt"));
  EXPECT_TRUE(exact.Selects("README.TXT"));
}

TEST(MemberSelectionTest, APatternWithADirectorySelectsThatPathAndBelow) {
  MemberSelection selection({"sub\\*.c", "docs"}, true, false);
  EXPECT_TRUE(selection.Selects("sub/main.c"));
  EXPECT_FALSE(selection.Selects("other/main.c"));
  EXPECT_TRUE(selection.Selects("docs/manual/index.html"));
  EXPECT_FALSE(selection.Selects("docsx/a"));
}

TEST(MemberSelectionTest, UnmatchedPatternsAreReported) {
  MemberSelection selection({"a.txt", "missing.txt"}, false, false);
  EXPECT_TRUE(selection.Selects("dir/a.txt"));
  EXPECT_EQ(selection.Unmatched(), std::vector<std::string>{"missing.txt"});
  MemberSelection everything({}, false, false);
  EXPECT_TRUE(everything.Selects("anything"));
}

}  // namespace
}  // namespace lzh::commands
