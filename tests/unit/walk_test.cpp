// The file-count walker on real temporary trees: patterns, dot-directories,
// symbolic links (a loop must not hang the walk), directories that cannot be
// entered, and the current directory restored afterwards.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
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

// Root may enter and list every directory, so the walks that must meet a
// closed directory run in a child process that gives up root's rights (as
// the user nobody, owning the tree) before it starts.
struct ChildWalk {
  std::uint64_t count;
  bool cameBack;
};

ChildWalk WalkWithoutPrivileges(const fs::path& root, const char* argument) {
  constexpr uid_t kNobody = 65534;
  if (geteuid() == 0)
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (lchown(entry.path().c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << entry.path();
  if (geteuid() == 0 && lchown(root.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << root;
  int ends[2];
  if (pipe(ends) != 0) return {0, false};
  pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
    if (chdir(root.c_str()) != 0) _exit(3);
    ChildWalk result{CountMatches(argument), false};
    result.cameBack = fs::current_path() == root;
    if (write(ends[1], &result, sizeof result) != sizeof result) _exit(4);
    _exit(0);
  }
  close(ends[1]);
  ChildWalk result{0, false};
  bool got = read(ends[0], &result, sizeof result) == sizeof result;
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(got && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  return result;
}

TEST_F(Walker, UnenterableDirectoryIsSkippedAndWalkGoesOn) {
  tree_.File("a/x");
  tree_.File("closed/y");
  tree_.File("closed/deeper/v");
  tree_.File("z/w");
  ChildWalk walk = WalkWithoutPrivileges(tree_.root(), "*");
  ASSERT_EQ(walk.count, 4u);
  ASSERT_EQ(chmod((tree_.root() / "closed").c_str(), 0), 0);
  walk = WalkWithoutPrivileges(tree_.root(), "*");
  EXPECT_EQ(walk.count, 2u);
  EXPECT_TRUE(walk.cameBack);
}

TEST_F(Walker, ListlessDirectoryContributesNothingButIsLeftCleanly) {
  tree_.File("dark/y");
  tree_.File("dark/sub/q");
  tree_.File("light/z");
  ASSERT_EQ(chmod((tree_.root() / "dark").c_str(), S_IXUSR | S_IXGRP | S_IXOTH), 0);
  ChildWalk walk = WalkWithoutPrivileges(tree_.root(), "*");
  EXPECT_EQ(walk.count, 1u);
  EXPECT_TRUE(walk.cameBack);
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
