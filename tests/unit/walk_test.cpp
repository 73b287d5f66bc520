// The file-count walker on real temporary trees: which files a pattern
// counts, links (a loop must not hang the walk, a linked directory is not
// entered), directories that cannot be entered or listed, and the current
// directory restored afterwards, however long its path.
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

// Subdirectories are entered only when their own name matches; dot
// directories never; a missing start directory counts in the current one.
TEST_F(Walker, PatternCountsFilesInMatchingSubdirectories) {
  for (const char* file : {"a.txt", "b.txt", "c.doc", "sub/d.txt", "more.txt/e.txt", "more.txt/f.doc", "d/one.c",
                           "d/two.c", "three.c", ".hidden/g.txt", "s/t/u/h", "start/sub/i"})
    tree_.File(file);
  fs::create_directory(tree_.root() / "empty");
  fs::create_symlink(tree_.root() / "a.txt", tree_.root() / "link.txt");
  const std::pair<const char*, std::uint64_t> cases[] = {
      {"*.txt", 4}, {"*", 12}, {"*.*", 12}, {"a.txt", 1}, {"y.txt", 0}, {"docs\\", 0}, {"docs/", 0}, {"-x", 0},
      {"d/*.c", 2}, {"d\\*.c", 2}, {"nowhere/*.c", 1}, {"start/*", 1},
  };
  for (const auto& [argument, count] : cases) EXPECT_EQ(CountMatches(argument), count) << argument;
}

TEST_F(Walker, LinkLoopDoesNotHangAndLinkedDirectoriesAreNotEntered) {
  tree_.File("real/a");
  tree_.File("outside/b");
  fs::create_directory_symlink("..", tree_.root() / "real" / "loop");
  fs::create_directory_symlink(tree_.root() / "outside", tree_.root() / "real" / "shortcut");
  ASSERT_EQ(chdir("real"), 0);
  EXPECT_EQ(CountMatches("*"), 1u);
}

// Root may enter and list every directory, so the walk runs in a child
// that gives up root's rights (as nobody, owning the tree) first.
struct ChildWalk {
  std::uint64_t count;
  bool cameBack;
};

ChildWalk WalkWithoutPrivileges(const fs::path& root) {
  constexpr uid_t kNobody = 65534;
  if (geteuid() == 0) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) EXPECT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(lchown(root.c_str(), kNobody, kNobody), 0);
  }
  int ends[2];
  if (pipe(ends) != 0) return {0, false};
  pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
    if (chdir(root.c_str()) != 0) _exit(3);
    ChildWalk result{CountMatches("*"), false};
    result.cameBack = fs::current_path() == root;
    _exit(write(ends[1], &result, sizeof result) == sizeof result ? 0 : 4);
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

TEST_F(Walker, ClosedDirectoriesAreSkippedAndTheWalkComesBack) {
  tree_.File("a/x");
  tree_.File("closed/y");
  tree_.File("closed/deeper/v");
  tree_.File("dark/sub/q");
  ASSERT_EQ(WalkWithoutPrivileges(tree_.root()).count, 4u);
  ASSERT_EQ(chmod((tree_.root() / "closed").c_str(), 0), 0);
  ASSERT_EQ(chmod((tree_.root() / "dark").c_str(), S_IXUSR | S_IXGRP | S_IXOTH), 0);  // enterable, not listable
  ChildWalk walk = WalkWithoutPrivileges(tree_.root());
  EXPECT_EQ(walk.count, 1u);
  EXPECT_TRUE(walk.cameBack);
}

TEST_F(Walker, CurrentDirectoryIsRestoredWhateverItsLength) {
  std::string deep;
  for (int i = 0; i < 30; ++i) deep += std::string(60, static_cast<char>('a' + i % 26)) + "/";
  tree_.File(deep + "leaf");
  tree_.File(deep + "s/t/u");
  for (const auto& part : fs::path(deep))
    if (!part.empty()) {
      ASSERT_EQ(chdir(part.c_str()), 0);
    }
  fs::path here = fs::current_path();
  ASSERT_GT(here.string().size(), 1800u);
  EXPECT_EQ(CountMatches("*"), 2u);
  EXPECT_EQ(fs::current_path(), here);
  EXPECT_EQ(CountMatches("s/*"), 1u);
  EXPECT_EQ(fs::current_path(), here);
}

}  // namespace
