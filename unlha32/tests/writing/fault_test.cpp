// Faults injected into archive changes, each in a child process so that
// it can carry a file-size limit, run as another user, or be killed: the
// original archive must stay byte-identical, no temporary file may stay
// behind, no source may be deleted by a failed m, and a file that cannot
// be read must cost only itself.
#include "tests/writing/writing_fixture.h"

#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>

namespace lzh::test {
namespace {

class Faults : public WritingTest {
 protected:
  void SetUp() override {
    WritingTest::SetUp();
    Make("src/a.txt", "alpha");
    Make("src/b.txt", "bravo");
    ASSERT_EQ(RunUnlha("a " + Archive() + " " + Base() + " a.txt b.txt").result, UNLHA_OK);
    original_ = ReadFile(Archive());
    WriteFile(root_ / "src/big.bin", Noise(400000));
  }
  void ExpectArchiveUntouched() {
    EXPECT_EQ(ReadFile(Archive()), original_);
    EXPECT_TRUE(Leftovers(root_).empty());
  }
  Bytes original_;
};

TEST_F(Faults, FileSizeLimitDuringAddLeavesTheArchiveIntact) {
  int result = RunWithFileSizeLimit("a " + Archive() + " " + Base() + " big.bin", 100000);
  EXPECT_EQ(result, UNLHA_IO_ERROR);
  ExpectArchiveUntouched();
}

TEST_F(Faults, DeleteThatCannotBeWrittenClaimsNoDeletion) {
  ASSERT_EQ(RunUnlha("a -z " + Archive() + " " + Base() + " big.bin").result, UNLHA_OK);
  original_ = ReadFile(Archive());
  // a.txt is named as deleted before the copy of big.bin fails.
  Outcome outcome = RunUnlhaInChild("d " + Archive() + " a.txt", [] {
    struct rlimit rl = {200000, 200000};
    return setrlimit(RLIMIT_FSIZE, &rl) == 0;
  });
  EXPECT_EQ(outcome.result, UNLHA_IO_ERROR);
  EXPECT_EQ(outcome.report.find("deleted"), std::string::npos) << outcome.report;
  EXPECT_NE(outcome.report.find("Nothing was changed"), std::string::npos) << outcome.report;
  ExpectArchiveUntouched();
}

TEST_F(Faults, MoveThatFailsDeletesNoSource) {
  Make("src/c.txt", "charlie");
  int result = RunWithFileSizeLimit("m " + Archive() + " " + Base() + " c.txt big.bin", 100000);
  EXPECT_EQ(result, UNLHA_IO_ERROR);
  ExpectArchiveUntouched();
  EXPECT_TRUE(fs::exists(root_ / "src/c.txt"));
  EXPECT_TRUE(fs::exists(root_ / "src/big.bin"));
}

TEST_F(Faults, UnreadableSourceFailsAloneAndTheRestIsArchived) {
  Make("src/closed.txt", "closed", 1500000000, 0000);
  Make("src/open.txt", "open");
  // Root reads any file: run the command as an ordinary user then.
  struct passwd* nobody = getpwnam("nobody");
  if (getuid() == 0 && nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
  if (getuid() == 0) {
    chown(root_.c_str(), nobody->pw_uid, nobody->pw_gid);
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
  }
  std::string line = "m " + Archive() + " " + Base() + " closed.txt open.txt";
  int result = InChild([&] {
    if (getuid() == 0 && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) return 99;
    char report[4096];
    int code = Unlha(nullptr, line.c_str(), report, sizeof report);
    WriteFile(root_ / "report", ToBytes(report));
    return code;
  });
  Bytes report = ReadFile(root_ / "report");
  std::string text(report.begin(), report.end());
  EXPECT_EQ(result, UNLHA_IO_ERROR) << text;
  EXPECT_TRUE(Contains(text, "FAILED   " + Base() + "closed.txt: permission denied")) << text;
  EXPECT_TRUE(Contains(text, "1 added or replaced, 0 up to date, 0 skipped, 1 failed;")) << text;
  EXPECT_EQ(Paths(Archive()), (std::vector<std::string>{"a.txt", "b.txt", "open.txt"}));
  EXPECT_TRUE(fs::exists(root_ / "src/closed.txt")) << "m must not delete what it could not store";
  EXPECT_FALSE(fs::exists(root_ / "src/open.txt"));
}

// The failing file sits between two that are compressed beside it: the old
// member must stay in its place, the others must land around it.
TEST_F(Faults, UnreadableReplacementKeepsTheOldMemberInItsPlace) {
  struct passwd* nobody = getpwnam("nobody");
  if (getuid() == 0 && nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
  Make("src/a.txt", "alpha, newer and unreadable", 1600000000, 0000);
  Make("src/b.txt", "bravo, newer", 1600000000);
  Make("src/c.txt", "charlie");
  if (getuid() == 0) {
    chown(root_.c_str(), nobody->pw_uid, nobody->pw_gid);
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
  }
  std::string line = "a " + Archive() + " " + Base() + " a.txt b.txt c.txt";
  int result = InChild([&] {
    if (getuid() == 0 && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) return 99;
    return Unlha(nullptr, line.c_str(), nullptr, 0);
  });
  EXPECT_EQ(result, UNLHA_IO_ERROR);
  std::vector<MemberHeader> members = Members(Archive());
  ASSERT_EQ(Paths(Archive()), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(members[0].original_size, 5u) << "the old a.txt must be kept";
  EXPECT_EQ(members[1].original_size, 12u);
  EXPECT_TRUE(Leftovers(root_).empty());
}

TEST_F(Faults, SourceThatVanishesIsSkippedAndTheRestArchived) {
  WriteFile(root_ / "src/a-first.bin", Noise(30000000));
  // Too large to be packed beside a-first.bin: it is read only after it.
  WriteFile(root_ / "src/z-last.txt", Noise(5000000, 3));
  std::string line = "a " + Archive() + " " + Base() + " a-first.bin z-last.txt";
  pid_t child = fork();
  if (child == 0) {
    char report[4096];
    int code = Unlha(nullptr, line.c_str(), report, sizeof report);
    WriteFile(root_ / "report", ToBytes(report));
    _exit(code);
  }
  ASSERT_TRUE(WaitForTemporary(root_, 300000));
  fs::remove(root_ / "src/z-last.txt");
  int status = 0;
  waitpid(child, &status, 0);
  Bytes report = ReadFile(root_ / "report");
  std::string text(report.begin(), report.end());
  EXPECT_EQ(WEXITSTATUS(status), UNLHA_IO_ERROR) << text;
  EXPECT_TRUE(Contains(text, "z-last.txt: no such file or directory")) << text;
  EXPECT_EQ(Paths(Archive()), (std::vector<std::string>{"a.txt", "b.txt", "a-first.bin"}));
}

TEST_F(Faults, MoveKeepsAFileThatChangesWhileBeingRead) {
  WriteFile(root_ / "src/growing.bin", Noise(30000000));
  std::string line = "m " + Archive() + " " + Base() + " growing.bin";
  pid_t child = fork();
  if (child == 0) _exit(Unlha(nullptr, line.c_str(), nullptr, 0));
  ASSERT_TRUE(WaitForTemporary(root_, 300000));
  {
    std::ofstream more(root_ / "src/growing.bin", std::ios::app | std::ios::binary);
    more << "appended while being read";
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_NE(WEXITSTATUS(status), UNLHA_OK);
  EXPECT_TRUE(fs::exists(root_ / "src/growing.bin"));
}

TEST_F(Faults, TemporaryOfAKilledWriterIsRemovedByTheNextRun) {
  WriteFile(root_ / "src/huge.bin", Noise(30000000));
  std::string line = "a " + Archive() + " " + Base() + " huge.bin";
  pid_t child = fork();
  if (child == 0) _exit(Unlha(nullptr, line.c_str(), nullptr, 0));
  ASSERT_TRUE(WaitForTemporary(root_, 300000));
  kill(child, SIGKILL);  // no handler runs: the temporary file stays
  waitpid(child, nullptr, 0);
  EXPECT_EQ(ReadFile(Archive()), original_);
  EXPECT_FALSE(Leftovers(root_).empty());
  Outcome next = RunUnlha("d " + Archive() + " b.txt");
  EXPECT_EQ(next.result, UNLHA_OK);
  EXPECT_TRUE(Contains(next.report, "interrupted run")) << next.report;
  EXPECT_TRUE(Leftovers(root_).empty());
}

// A second writer says at once, on the terminal, what it waits for.
TEST_F(Faults, AWriterThatWaitsForTheLockSaysSoOnTheTerminal) {
  const std::string lock = (root_ / ".arc.lzh.unlha32-lock").string();
  int held = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  int terminal = -1;
  pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) _exit(Unlha(nullptr, ("d " + Archive() + " a.txt").c_str(), nullptr, 0));
  std::string seen;
  char buffer[256];
  struct pollfd readable = {terminal, POLLIN, 0};
  while (seen.find('\n') == std::string::npos && poll(&readable, 1, 10000) == 1) {
    ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<size_t>(got));
  }
  unlink(lock.c_str());  // let go as a writer does
  close(held);
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  EXPECT_TRUE(Contains(seen, "Waiting up to 60 s for another process to finish changing " + Archive())) << seen;
  EXPECT_EQ(WEXITSTATUS(status), UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (std::vector<std::string>{"b.txt"}));
}

// An update by root of another user's archive must leave it theirs, also
// when the new archive is made on another file system (-w) and copied.
TEST_F(Faults, AnUpdateKeepsTheArchivesOwnerGroupAndMode) {
  struct passwd* nobody = getpwnam("nobody");
  if (getuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and another user";
  fs::path shm = fs::path("/dev/shm") / ("unlha32_owner_" + std::to_string(getpid()));
  fs::create_directories(shm);
  for (const std::string& work : {std::string(), " -w" + shm.string()}) {
    SCOPED_TRACE(work);
    ASSERT_EQ(chown(Archive().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(Archive().c_str(), 0640), 0);
    ASSERT_EQ(RunUnlha("a" + work + " " + Archive() + " " + Base() + " big.bin").result, UNLHA_OK);
    struct stat st;
    ASSERT_EQ(stat(Archive().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_gid, nobody->pw_gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  fs::remove_all(shm);
}

}  // namespace
}  // namespace lzh::test
