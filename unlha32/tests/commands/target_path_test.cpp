// Safe target paths: no member path, however it is spelled, reaches
// outside the target directory, and no symbolic link on the way is
// followed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "commands/target_path.h"

namespace lzh::commands {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Safe(const std::string& path, PathVerdict expected) {
  std::vector<std::string> components;
  std::string reason;
  EXPECT_EQ(MakeTargetPath(path, &components, &reason), expected) << path << ": " << reason;
  return components;
}

// Components Windows would trim to "." or ".." are refused wherever they
// stand, each for what it is made of; blanks alone are a name like any.
TEST(TargetPathSafety, DotComponentsAreRefusedForWhatTheyAreAndBlanksAreNames) {
  const std::string up = "the path leads out of the target directory (..)";
  const std::string dots = "the path holds a component made only of dots";
  const std::string dots_and_blanks = "the path holds a component made only of dots and blanks";
  const std::pair<const char*, std::string> refused[] = {
      {"../evil", up}, {"a/../../evil", up}, {"a\\..\\..\\evil", up}, {"a/..", up},
      {"...", dots},   {".. ", dots_and_blanks}, {"a/ ./b", dots_and_blanks},
  };
  for (const auto& [path, expected] : refused) {
    std::vector<std::string> components;
    std::string reason;
    EXPECT_EQ(MakeTargetPath(path, &components, &reason), PathVerdict::kRefused) << path;
    EXPECT_EQ(reason, expected) << path;
  }
  EXPECT_EQ(Safe("DIR\\ \\readme", PathVerdict::kSafe), (std::vector<std::string>{"DIR", " ", "readme"}));
  EXPECT_EQ(Safe("  /x", PathVerdict::kSafe), (std::vector<std::string>{"  ", "x"}));
}

TEST(TargetPathSafety, AbsolutePathsAndDrivePrefixesBecomeRelative) {
  EXPECT_EQ(Safe("/etc/passwd", PathVerdict::kMadeSafe), (std::vector<std::string>{"etc", "passwd"}));
  EXPECT_EQ(Safe("\\\\server\\share\\x", PathVerdict::kMadeSafe),
            (std::vector<std::string>{"server", "share", "x"}));
  EXPECT_EQ(Safe("C:\\Windows\\x.dll", PathVerdict::kMadeSafe),
            (std::vector<std::string>{"Windows", "x.dll"}));
  EXPECT_EQ(Safe("c:relative", PathVerdict::kMadeSafe), (std::vector<std::string>{"relative"}));
  EXPECT_EQ(Safe("./a//b/./c", PathVerdict::kMadeSafe), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Safe("dir/file.txt", PathVerdict::kSafe), (std::vector<std::string>{"dir", "file.txt"}));
}

TEST(TargetPathSafety, EmptyPathsAreRefused) {
  Safe("", PathVerdict::kRefused);
  Safe("/", PathVerdict::kRefused);
  Safe("./.", PathVerdict::kRefused);
  Safe("C:", PathVerdict::kRefused);
}

class TargetDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("unlha32_target_" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "target");
    fs::create_directories(root_ / "outside");
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(TargetDirectory, CreatesMissingDirectories) {
  os::Directory target, opened;
  ASSERT_TRUE(os::Directory::Open((root_ / "target").string(), &target).ok());
  bool through_link = false;
  ASSERT_TRUE(OpenTargetDirectory(target, {"a", "b"}, true, &opened, &through_link).ok());
  EXPECT_TRUE(fs::is_directory(root_ / "target" / "a" / "b"));
}

TEST_F(TargetDirectory, ASymbolicLinkOnThePathIsNeverFollowed) {
  fs::create_directory_symlink(root_ / "outside", root_ / "target" / "link");
  os::Directory target, opened;
  ASSERT_TRUE(os::Directory::Open((root_ / "target").string(), &target).ok());
  bool through_link = false;
  Status status = OpenTargetDirectory(target, {"link", "deeper"}, true, &opened, &through_link);
  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(through_link);
  EXPECT_FALSE(fs::exists(root_ / "outside" / "deeper"));
}

TEST_F(TargetDirectory, AFileWhereADirectoryBelongsIsRefused) {
  { std::FILE* f = std::fopen((root_ / "target" / "plain").c_str(), "w"); std::fclose(f); }
  os::Directory target, opened;
  ASSERT_TRUE(os::Directory::Open((root_ / "target").string(), &target).ok());
  bool through_link = false;
  EXPECT_FALSE(OpenTargetDirectory(target, {"plain", "x"}, true, &opened, &through_link).ok());
  EXPECT_FALSE(through_link);
}

}  // namespace
}  // namespace lzh::commands
