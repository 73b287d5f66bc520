// Archives from strangers, beside the fenced suite in hostile/ and tavo's
// runs in tests/e2e_library/hostile_test.cpp (damaged data, unknown
// methods): absolute and UNC paths, links already on disk, escape
// sequences in names, and targets that refuse to be written. Nothing may
// land outside the target directory, nothing half-written may be left in
// it, and every refused member is named in the report.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

constexpr char kFF = '\xff';

class HostileArchive : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fs::create_directories(root_ / "outside");
  }
  std::vector<std::string> OutsideEntries() const {
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(root_ / "outside")) entries.push_back(e.path().string());
    return entries;
  }
};

TEST_F(HostileArchive, AbsolutePathsAndDrivesLandInsideTheTarget) {
  std::string absolute = (root_ / "outside").string();
  std::string archive = Put("abs.lzh", RawArchive({
      RawMember{absolute + "/abs.txt", "", ToBytes("a")},
      RawMember{"C:\\drive.txt", "", ToBytes("d")},
      RawMember{"unc.txt", std::string(1, kFF) + kFF + "server" + kFF + "share" + kFF, ToBytes("u")},
  }));
  Outcome run = RunUnlha("x " + archive + " " + Out());
  EXPECT_EQ(run.result, UNLHA_OK) << run.report;
  EXPECT_TRUE(OutsideEntries().empty());
  EXPECT_TRUE(fs::exists(root_ / "out" / fs::path(absolute).relative_path() / "abs.txt"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "drive.txt"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "server" / "share" / "unc.txt"));
  EXPECT_NE(run.report.find("written as"), std::string::npos);
}

TEST_F(HostileArchive, ALinkAlreadyOnDiskIsNeverWrittenThrough) {
  fs::create_directory_symlink(root_ / "outside", root_ / "out" / "link");
  WriteFile(root_ / "outside" / "victim", ToBytes("precious"));
  fs::create_symlink(root_ / "outside" / "victim", root_ / "out" / "victim");
  std::string archive = Put("a.lzh", RawArchive({
      RawMember{"planted.txt", "link" + std::string(1, kFF), ToBytes("through the link")},
      RawMember{"victim", "", ToBytes("replaces the link itself")},
  }));
  Outcome run = RunUnlha("x -m -c " + archive + " " + Out());
  EXPECT_EQ(run.result, UNLHA_SKIPPED) << run.report;
  EXPECT_FALSE(fs::exists(root_ / "outside" / "planted.txt"));
  EXPECT_NE(run.report.find("planted.txt"), std::string::npos);
  EXPECT_EQ(ReadFile(root_ / "outside" / "victim"), ToBytes("precious"));
  EXPECT_FALSE(fs::is_symlink(root_ / "out" / "victim"));
  EXPECT_EQ(ReadFile(root_ / "out" / "victim"), ToBytes("replaces the link itself"));
}

TEST_F(HostileArchive, EscapeSequencesInNamesNeverReachTheReport) {
  std::string archive = Put("esc.lzh", RawArchive({RawMember{"\x1b]0;owned\x07\x1b[2J.txt", "", ToBytes("x")},
                                                   RawMember{"cut\xe3\x81", "", ToBytes("y")}}));
  for (const char* command : {"l ", "v ", "t "}) {
    Outcome run = RunUnlha(command + archive);
    EXPECT_EQ(run.report.find('\x1b'), std::string::npos) << command;
    EXPECT_EQ(run.report.find('\x07'), std::string::npos) << command;
    EXPECT_NE(run.report.find("\\x1B]0;owned"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("cut\\xE3\\x81"), std::string::npos) << run.report;  // a character cut short
  }
}

// A file-size limit stands in for a full disk: the write fails part-way,
// and the process must survive it (SIGXFSZ is left at its default here).
// A member of several MiB fails after many writes, not at its first.
TEST_F(HostileArchive, FileSizeLimitFailsTheMemberAndLeavesNothing) {
  for (size_t size : {size_t{300000}, size_t{5000000}}) {
    SCOPED_TRACE(size);
    fs::remove_all(root_ / "out");
    std::string archive = Put("big.lzh", WriteArchive({Member{{"big.bin"}, Bytes(size, 'b'), Method::kLh5},
                                                        Member{{"small.txt"}, ToBytes("small")}}));
    pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_DFL);
      struct rlimit limit = {100000, 100000};
      setrlimit(RLIMIT_FSIZE, &limit);
      std::vector<char> buffer(4096);
      int result = Unlha(nullptr, ("x " + archive + " " + Out()).c_str(), buffer.data(), 4096);
      bool named = std::string(buffer.data()).find("big.bin") != std::string::npos;
      _exit(named ? result : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of a signal";
    EXPECT_EQ(WEXITSTATUS(status), UNLHA_IO_ERROR);
    EXPECT_EQ(OutEntries(), std::vector<std::string>{"small.txt"});
  }
}

TEST_F(HostileArchive, UnwritableTargetsFailByName) {
  std::string archive = Put("a.lzh", WriteArchive({Member{{"a.txt"}, ToBytes("a")}}));
  // /proc refuses new files even to root; it also reports no free space.
  Outcome no_space = RunUnlha("x " + archive + " /proc/self/");
  EXPECT_EQ(no_space.result, UNLHA_IO_ERROR);
  EXPECT_NE(no_space.report.find("a.txt"), std::string::npos) << no_space.report;
  Outcome refused = RunUnlha("x -f " + archive + " /proc/self/");
  EXPECT_EQ(refused.result, UNLHA_IO_ERROR);
  EXPECT_NE(refused.report.find("FAILED   a.txt"), std::string::npos) << refused.report;
  WriteFile(root_ / "plain", ToBytes("a file, not a directory"));
  EXPECT_EQ(RunUnlha("x " + archive + " " + (root_ / "plain").string() + "/").result, UNLHA_IO_ERROR);
  if (geteuid() != 0) {
    fs::permissions(root_ / "out", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(RunUnlha("x " + archive + " " + Out()).result, UNLHA_IO_ERROR);
  }
}

}  // namespace
}  // namespace lzh::test
