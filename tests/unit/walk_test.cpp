// The file-count walker on real temporary trees: patterns, dot-directories,
// symbolic links (a loop must not hang the walk), directories that cannot be
// entered, and the current directory restored afterwards.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "temp_tree.h"
#include "walk/walk.h"

namespace fs = std::filesystem;

namespace {

class Walker : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = fs::current_path();
    fs::current_path(tree_.root());
  }
  void TearDown() override { fs::current_path(before_); }
  TempTree tree_;
  fs::path before_;
};

TEST_F(Walker, PatternSelectsFilesAndOnlyMatchingSubdirectories) {
  tree_.File("a.txt");
  tree_.File("b.txt");
  tree_.File("c.doc");
  tree_.File("sub/d.txt");
  EXPECT_EQ(CountMatches("*.txt"), 2u);
  tree_.File("more.txt/e.txt");
  tree_.File("more.txt/f.doc");
  EXPECT_EQ(CountMatches("*.txt"), 3u);
}

TEST_F(Walker, StarCountsEveryFileOfTheTreeButNoDirectory) {
  tree_.File("a");
  tree_.File("s/b");
  tree_.File("s/t/c.x");
  tree_.File("s/t/u/d");
  tree_.Directory("empty");
  EXPECT_EQ(CountMatches("*"), 4u);
  EXPECT_EQ(CountMatches("*.*"), 4u);
}

TEST_F(Walker, DotDirectoriesAreNeverEntered) {
  tree_.File("a");
  tree_.File(".hidden/b");
  tree_.File(".git/objects/c");
  EXPECT_EQ(CountMatches("*"), 1u);
}

TEST_F(Walker, PlainNamesAndSeparatorEndedArgumentsCountAsTheyShould) {
  tree_.File("x.txt");
  EXPECT_EQ(CountMatches("x.txt"), 1u);
  EXPECT_EQ(CountMatches("y.txt"), 0u);
  EXPECT_EQ(CountMatches("docs\\"), 0u);
  EXPECT_EQ(CountMatches("docs/"), 0u);
  EXPECT_EQ(CountMatches("-x"), 0u);
}

TEST_F(Walker, StartDirectoryAcceptsEitherSeparator) {
  tree_.File("d/one.c");
  tree_.File("d/two.c");
  tree_.File("three.c");
  EXPECT_EQ(CountMatches("d/*.c"), 2u);
  EXPECT_EQ(CountMatches("d\\*.c"), 2u);
}

TEST_F(Walker, MissingStartDirectoryCountsInTheCurrentOne) {
  tree_.File("k.c");
  EXPECT_EQ(CountMatches("nowhere/*.c"), 1u);
}

TEST_F(Walker, LinkLoopDoesNotHangAndLinkedDirectoriesAreNotEntered) {
  tree_.File("real/a");
  tree_.File("outside/b");
  tree_.File("outside/c");
  fs::create_directory_symlink("..", tree_.root() / "real" / "loop");
  fs::create_directory_symlink(tree_.root() / "outside", tree_.root() / "real" / "shortcut");
  ASSERT_EQ(chdir("real"), 0);
  EXPECT_EQ(CountMatches("*"), 1u);
}

TEST_F(Walker, LinksToFilesCountAsFiles) {
  tree_.File("a");
  fs::create_symlink(tree_.root() / "a", tree_.root() / "b");
  EXPECT_EQ(CountMatches("*"), 2u);
}

TEST_F(Walker, UnenterableDirectoryIsSkippedAndWalkGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "root enters every directory; permissions cannot lock it out";
  tree_.File("a/x");
  tree_.File("closed/y");
  tree_.File("z/w");
  ASSERT_EQ(chmod((tree_.root() / "closed").c_str(), 0), 0);
  EXPECT_EQ(CountMatches("*"), 2u);
  EXPECT_EQ(fs::current_path(), tree_.root());
}

TEST_F(Walker, ListlessDirectoryContributesNothingButIsLeftCleanly) {
  if (geteuid() == 0) GTEST_SKIP() << "root lists every directory; permissions cannot hide it";
  tree_.File("dark/y");
  tree_.File("light/z");
  ASSERT_EQ(chmod((tree_.root() / "dark").c_str(), S_IXUSR), 0);
  EXPECT_EQ(CountMatches("*"), 1u);
  EXPECT_EQ(fs::current_path(), tree_.root());
}

TEST_F(Walker, CurrentDirectoryIsRestoredWhateverItsLength) {
  std::string deep;
  for (int i = 0; i < 30; ++i) deep += std::string(60, static_cast<char>('a' + i % 26)) + "/";
  tree_.File(deep + "leaf");
  ASSERT_GT((tree_.root() / deep).string().size(), 1800u);
  for (const auto& part : fs::path(deep)) if (!part.empty()) ASSERT_EQ(chdir(part.c_str()), 0);
  tree_.File(deep + "s/t/u");
  fs::path here = fs::current_path();
  EXPECT_EQ(CountMatches("*"), 2u);
  EXPECT_EQ(fs::current_path(), here);
  EXPECT_EQ(CountMatches("s/*"), 1u);
  EXPECT_EQ(fs::current_path(), here);
}

TEST_F(Walker, WalkNeverClimbsAboveItsStart) {
  tree_.File("start/sub/a");
  tree_.File("sibling/b");
  tree_.File("c");
  EXPECT_EQ(CountMatches("start/*"), 1u);
}

}  // namespace
