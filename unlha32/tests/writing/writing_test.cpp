// The writing commands through the exported Unlha(), where a run of tavo
// over a fixed tree cannot look. First a and u: names that climb out or
// are absolute, the archive among its own sources, and many files
// compressed two at a time in batches. Then faults injected from outside
// while the library works: a full disk (a small real file system, or a
// file-size limit), permissions that refuse, files that vanish or change
// while read, signals at any moment of an archive change or an
// extraction, and writers racing on one archive. The promises checked: a failure is reported by member name, no
// partial file or temporary is left, no source is deleted by a failed m,
// and an archive being changed is at every instant either the old one
// byte for byte or the complete new one.
#include <sys/resource.h>

#include <csignal>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

// src/{a.txt, b.txt, big.bin}, and arc.lzh holding a.txt and b.txt.
class Faults : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    Make("src/a.txt", "alpha");
    Make("src/b.txt", "bravo");
    ASSERT_EQ(RunUnlha("a " + Archive() + " " + Base() + " a.txt b.txt").result, UNLHA_OK);
    original_ = ReadFile(Archive());
    WriteFile(root_ / "src/big.bin", Noise(400000));
  }
  Bytes original_;
};
using Commands = Faults;

// Stored paths never climb out or start at the root, and the archive,
// lying among its own sources, is never added to itself.
TEST_F(Commands, StoredPathsStayInsideAndTheArchiveIsNeverAddedToItself) {
  Make("outside.txt", "outside");
  Make("src/sub/c.txt", "gamma");
  const std::string archive = (root_ / "src/self.lzh").string();
  const std::string named = " ../outside.txt ./sub/../sub/c.txt " + (root_ / "src/sub/c.txt").string();  // absolute
  Outcome added = RunUnlha("a " + archive + " " + Base() + named);
  EXPECT_EQ(added.result, UNLHA_OK) << added.report;
  EXPECT_TRUE(Contains(Paths(archive)[0], "outside.txt"));
  Outcome again = RunUnlha("a -a " + archive + " " + Base());
  EXPECT_EQ(again.result, UNLHA_OK) << again.report;
  EXPECT_TRUE(Contains(again.report, "ignored  " + archive + ": the archive itself")) << again.report;
  for (const std::string& path : Paths(archive)) {
    EXPECT_NE(path.front(), '/') << path;
    EXPECT_EQ(path.find(".."), std::string::npos) << path;
    EXPECT_EQ(path.find("self.lzh"), std::string::npos) << path;
  }
  EXPECT_TRUE(Leftovers(root_ / "src").empty());
}

// Files are compressed two at a time in batches; a batch that came back in
// the order the threads finished, or a member placed at its offset in the
// batch rather than in the archive, would show here.
TEST_F(Commands, ManyFilesKeepTheUsersOrderAcrossBatchesAndLargeFiles) {
  Names order;
  std::string arguments = " " + Base();
  for (int i = 0; i < 40; ++i) {
    std::string name = "f" + std::to_string(39 - i) + ".bin";  // not the directory's order
    // Text that compresses, noise that is stored, and files of 0 bytes.
    Bytes bytes = i % 3 == 0 ? Noise(700000, static_cast<uint32_t>(i + 1))
                             : ToBytes(std::string(static_cast<size_t>(i % 3 == 1 ? i * 9000 : 0), 'a' + i % 26));
    if (i == 20) bytes = Noise(6000000, 99);  // too large for a batch: written straight through
    WriteFile(root_ / "src" / name, bytes);
    order.push_back(name);
    arguments += " " + name;
  }
  Outcome added = RunUnlha("a " + Archive("many.lzh") + arguments);
  ASSERT_EQ(added.result, UNLHA_OK) << added.report;
  EXPECT_EQ(Paths(Archive("many.lzh")), order);
  for (const MemberHeader& member : Members(Archive("many.lzh")))
    EXPECT_EQ(member.data_offset - member.header_offset, member.header_length) << member.PathString();
  Outcome extracted = RunUnlha("x " + Archive("many.lzh") + " " + Out());
  ASSERT_EQ(extracted.result, UNLHA_OK) << extracted.report;
  for (const std::string& name : order) EXPECT_EQ(ReadFile(root_ / "out" / name), ReadFile(root_ / "src" / name)) << name;

  // Replacing members of a batch keeps each in its place.
  Make("src/f5.bin", "five, shorter now", 2000000000);  // newer than the members
  Make("src/f30.bin", "thirty, shorter now", 2000000000);
  ASSERT_EQ(RunUnlha("u " + Archive("many.lzh") + arguments).result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive("many.lzh")), order);
  fs::remove_all(root_ / "out");
  ASSERT_EQ(RunUnlha("x " + Archive("many.lzh") + " " + Out()).result, UNLHA_OK);
  EXPECT_EQ(ReadFile(root_ / "out/f5.bin"), ToBytes("five, shorter now"));
  EXPECT_EQ(ReadFile(root_ / "out/f30.bin"), ToBytes("thirty, shorter now"));
  EXPECT_EQ(ReadFile(root_ / "out/f39.bin"), ReadFile(root_ / "src/f39.bin"));
}

// A change whose temporary archive cannot grow (a file-size limit stands
// in for a full disk, and the process must survive SIGXFSZ): nothing is
// claimed as done, and a failed m deletes no source.
TEST_F(Faults, AChangeThatCannotBeWrittenChangesNothing) {
  ASSERT_EQ(RunUnlha("a -z " + Archive() + " " + Base() + " big.bin").result, UNLHA_OK);
  original_ = ReadFile(Archive());
  Make("src/c.txt", "charlie");
  for (const std::string& line : {"a " + Archive() + " " + Base() + " c.txt", "d " + Archive() + " a.txt",
                                  "m " + Archive() + " " + Base() + " c.txt"}) {
    SCOPED_TRACE(line);
    Outcome outcome = RunUnlhaInChild(line, [] {
      struct rlimit rl = {200000, 200000};
      return setrlimit(RLIMIT_FSIZE, &rl) == 0;
    });
    EXPECT_EQ(outcome.result, UNLHA_IO_ERROR);
    EXPECT_EQ(outcome.report.find("deleted  "), std::string::npos) << outcome.report;
    if (line[0] == 'd') {
      EXPECT_NE(outcome.report.find("Nothing was changed"), std::string::npos) << outcome.report;
    }
    EXPECT_EQ(ReadFile(Archive()), original_);
    EXPECT_TRUE(Leftovers(root_).empty());
    EXPECT_TRUE(fs::exists(root_ / "src/c.txt"));
  }
}

// Files the user may not read, as an ordinary user (root reads any file):
// each fails alone and by name, a member it would replace keeps its place
// beside the ones compressed with it, and m deletes only what it stored.
TEST_F(Faults, UnreadableSourcesFailAloneAndTheRestIsArchived) {
  Make("src/a.txt", "alpha, newer and unreadable", 1600000000, 0000);
  Make("src/b.txt", "bravo, newer", 1600000000);
  Make("src/closed.txt", "closed", 1500000000, 0000);
  Make("src/open.txt", "open");
  if (const passwd* nobody = getpwnam("nobody"); nobody && getuid() == 0) {
    lchown(root_.c_str(), nobody->pw_uid, nobody->pw_gid);
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
  }
  Outcome moved = Unprivileged("m " + Archive() + " " + Base() + " a.txt b.txt closed.txt open.txt");
  EXPECT_EQ(moved.result, UNLHA_IO_ERROR) << moved.report;
  EXPECT_TRUE(Contains(moved.report, "FAILED   " + Base() + "closed.txt: permission denied")) << moved.report;
  EXPECT_TRUE(Contains(moved.report, "2 added or replaced, 0 up to date, 0 skipped, 2 failed;")) << moved.report;
  std::vector<MemberHeader> members = Members(Archive());
  ASSERT_EQ(Paths(Archive()), (Names{"a.txt", "b.txt", "open.txt"}));
  EXPECT_EQ(members[0].original_size, 5u) << "the old a.txt must be kept";
  EXPECT_EQ(members[1].original_size, 12u);
  EXPECT_TRUE(fs::exists(root_ / "src/a.txt") && fs::exists(root_ / "src/closed.txt"))
      << "m must not delete what it could not store";
  EXPECT_FALSE(fs::exists(root_ / "src/open.txt") || fs::exists(root_ / "src/b.txt"));
  EXPECT_TRUE(Leftovers(root_).empty());
}

// Sources that change under a running m: one grows while it is read, one
// is removed before it is reached. Each is named and kept (the removed one
// is gone already), and the rest is archived.
TEST_F(Faults, SourcesThatChangeWhileReadAreKeptAndTheRestArchived) {
  WriteFile(root_ / "src/growing.bin", Noise(30000000));
  // Too large to be packed beside growing.bin: it is read only after it.
  WriteFile(root_ / "src/z-last.txt", Noise(5000000, 3));
  std::string line = "m " + Archive() + " " + Base() + " growing.bin z-last.txt c.txt";
  Make("src/c.txt", "charlie");
  pid_t child = fork();
  if (child == 0) {
    char report[4096];
    int code = Unlha(nullptr, line.c_str(), report, sizeof report);
    WriteFile(root_ / "report", ToBytes(report));
    _exit(code);
  }
  // growing.bin is being read once the temporary archive passes 300 KB.
  auto written = [&] {
    std::error_code gone;
    for (const std::string& name : Leftovers(root_))
      if (uintmax_t size = fs::file_size(root_ / name, gone); !gone && Contains(name, ".unlha32-tmp")) return size;
    return uintmax_t{0};
  };
  for (int i = 0; i < 2000 && written() <= 300000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GT(written(), 300000u);
  fs::remove(root_ / "src/z-last.txt");
  std::ofstream(root_ / "src/growing.bin", std::ios::app | std::ios::binary) << "appended while being read";
  int status = 0;
  waitpid(child, &status, 0);
  Bytes report = ReadFile(root_ / "report");
  std::string text(report.begin(), report.end());
  EXPECT_EQ(WEXITSTATUS(status), UNLHA_IO_ERROR) << text;
  EXPECT_TRUE(Contains(text, "z-last.txt: no such file or directory")) << text;
  EXPECT_TRUE(Contains(text, "growing.bin: ")) << text;
  EXPECT_TRUE(fs::exists(root_ / "src/growing.bin"));
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.txt", "growing.bin", "c.txt"}));
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

using FaultTest = Faults;

// A small real file system: the free-space check refuses first, and with
// -f (no check) the write itself fails; either way by name, and nothing
// half-written or temporary stays, and a changed archive stays the old one.
TEST_F(FaultTest, AFullDiskFailsByNameAndLeavesNothingHalfWritten) {
  if (!MountSmallDisk("small", 1024)) GTEST_SKIP() << "cannot mount a small file system here";
  std::string archive = Put("a.lzh", WriteArchive({Member{{"big.bin"}, Noise(2 << 20), Method::kLh0},
                                                   Member{{"small.txt"}, ToBytes("fits")}}));
  for (const char* command : {"x ", "x -f "}) {
    Outcome x = RunUnlha(command + archive + " " + (root_ / "small").string() + "/");
    EXPECT_EQ(x.result, UNLHA_IO_ERROR) << x.report;
    EXPECT_TRUE(Contains(x.report, command[2] == 'f' ? "FAILED   big.bin: no space left" : "big.bin")) << x.report;
    EXPECT_EQ(Entries("small"), Names{"small.txt"});
    fs::remove(root_ / "small" / "small.txt");
  }
  Bytes original = WriteArchive({Member{{"first.bin"}, Noise(400 << 10), Method::kLh0}});
  WriteFile(root_ / "small" / "a.lzh", original);
  Make("src/more.bin", std::string(400 << 10, 'm'));
  for (const char* command : {"a -z ", "a -z -f "}) {
    Outcome add = RunUnlha(command + (root_ / "small" / "a.lzh").string() + " " + Base() + " more.bin");
    EXPECT_EQ(add.result, UNLHA_IO_ERROR) << add.report;
    EXPECT_EQ(ReadFile(root_ / "small" / "a.lzh"), original);
    EXPECT_TRUE(Leftovers(root_ / "small").empty());
  }
}

// As a user the permissions refuse: extraction into a directory it may
// not write fails by name and creates nothing; a change of an archive in
// such a directory, or a new archive there, fails for what the system
// said, not as if another process were changing it, and leaves it whole;
// an archive it may not read is named.
TEST_F(FaultTest, PermissionDeniedFailsByNameAndChangesNothing) {
  const auto closed = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::create_directories(root_ / "locked");
  const Bytes original = WriteArchive({Member{{"one.txt"}, ToBytes("1")}, Member{{"two.txt"}, ToBytes("2")}});
  const std::string archive = (root_ / "locked" / "a.lzh").string(), made = (root_ / "locked" / "new.lzh").string();
  WriteFile(archive, original);
  WriteFile(root_ / "new.txt", ToBytes("new"));
  fs::permissions(root_ / "locked", closed);
  fs::permissions(root_ / "out", closed);
  fs::permissions(root_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  Outcome x = Unprivileged("x " + archive + " " + Out());
  EXPECT_EQ(x.result, UNLHA_IO_ERROR) << x.report;
  EXPECT_TRUE(Contains(x.report, "one.txt: permission denied") && Contains(x.report, "two.txt: permission denied"))
      << x.report;
  EXPECT_TRUE(Entries().empty());
  for (const std::string& line : {"a " + archive + " " + root_.string() + "/ new.txt", "d " + archive + " one.txt",
                                  "a " + made + " " + root_.string() + "/ new.txt"}) {
    Outcome change = Unprivileged(line);
    EXPECT_EQ(change.result, UNLHA_IO_ERROR) << line << "\n" << change.report;
    EXPECT_TRUE(Contains(change.report, "permission denied")) << change.report;
    EXPECT_EQ(ReadFile(archive), original) << line;
  }
  EXPECT_TRUE(Leftovers(root_ / "locked").empty());
  EXPECT_EQ(RunUnlha("x " + archive + " " + Put("plain", ToBytes("a file")) + "/").result, UNLHA_IO_ERROR);
  fs::permissions(archive, fs::perms::none);
  Outcome list = Unprivileged("l " + archive);
  EXPECT_EQ(list.result, UNLHA_NOT_ARCHIVE) << list.report;
  EXPECT_TRUE(Contains(list.report, "a.lzh")) << list.report;
}

// One archive change interrupted by `signal` at a sweep of moments, from
// early in the run to past its usual end (a child starts late, so the
// sweep must overshoot to reach the rename and m's deletions). The
// uninterrupted change is run first on a copy, for its duration and its
// result; afterwards the archive must be either the old or that new one,
// a moved source may be gone only when the new archive holds it, and
// whatever the interrupted run left (a SIGINT that lands just before the
// clean-up is armed can leave a lock or temporary file, as SIGKILL always
// does) is gone after the next change.
class InterruptedChange : public ScratchTest, public ::testing::WithParamInterface<std::tuple<char, int>> {};

TEST_P(InterruptedChange, LeavesTheOldArchiveOrTheNewOneAndNoTemporary) {
  // Plain variables, not a structured binding: clang 14, the sanitizer
  // build's compiler, cannot capture one in a lambda.
  const char command = std::get<0>(GetParam());
  const int signal = std::get<1>(GetParam());
  Bytes original = WriteArchive({Member{{"keep.bin"}, Noise(3 << 20, 3), Method::kLh0},
                                 Member{{"gone.bin"}, Noise(3 << 20, 4), Method::kLh0}});
  const Bytes source = Noise(3 << 20, 5);
  auto line_for = [&](const fs::path& directory) {
    std::string archive = (directory / "a.lzh").string();
    std::string base = (directory / "src").string() + "/";
    return command == 'd' ? "d " + archive + " gone.bin" : command + (" " + archive + " " + base + " new.bin");
  };
  auto prepare = [&](const fs::path& directory) {
    fs::create_directories(directory / "src");
    WriteFile(directory / "a.lzh", original);
    WriteFile(directory / "src" / "new.bin", source);
    // The new archive holds the source's time: the same in every copy, so
    // that an interrupted run can be compared byte for byte.
    fs::last_write_time(directory / "src" / "new.bin", fs::file_time_type(std::chrono::hours(400000)));
  };

  fs::path reference = root_ / "reference";
  prepare(reference);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunUnlha(line_for(reference)).result, UNLHA_OK);
  const auto duration = std::chrono::steady_clock::now() - started;
  const Bytes changed = ReadFile(reference / "a.lzh");
  ASSERT_NE(changed, original);

  for (int step = 1; step <= 12; ++step) {
    SCOPED_TRACE("signal after " + std::to_string(step) + "/8 of the run");
    fs::path run = root_ / ("run" + std::to_string(step));
    prepare(run);
    std::string line = line_for(run);
    pid_t child = fork();
    if (child == 0) _exit(Unlha(nullptr, line.c_str(), nullptr, 0));
    std::this_thread::sleep_for(duration * step / 8);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);

    Bytes now = ReadFile(run / "a.lzh");
    EXPECT_TRUE(now == original || now == changed) << "the archive is neither the old nor the new one";
    EXPECT_TRUE(now == changed || fs::exists(run / "src" / "new.bin")) << "a moved source was lost";
    WriteFile(run / "src" / "tiny.txt", ToBytes("next run"));
    const bool temporary_left =
        std::ranges::any_of(Leftovers(run), [](const std::string& name) { return Contains(name, ".unlha32-tmp"); });
    Outcome next = RunUnlha("a " + (run / "a.lzh").string() + " " + (run / "src").string() + "/ tiny.txt");
    EXPECT_EQ(next.result, UNLHA_OK) << next.report;
    EXPECT_EQ(Contains(next.report, "interrupted run"), temporary_left) << next.report;
    EXPECT_TRUE(Leftovers(run).empty()) << "the next change did not clear what the interrupted one left";
    fs::remove_all(run);
  }
}

INSTANTIATE_TEST_SUITE_P(AddDeleteMove, InterruptedChange,
                         ::testing::Combine(::testing::Values('a', 'd', 'm'), ::testing::Values(SIGINT, SIGKILL)),
                         [](const auto& instance) {
                           return std::string(1, std::get<0>(instance.param)) +
                                  (std::get<1>(instance.param) == SIGKILL ? "_Killed" : "_Interrupted");
                         });

// SIGTERM in the middle of a large member deep in the tree: the member's
// temporary file is removed on the way out. (SIGINT is the parallel
// decoding test's; what SIGKILL leaves goes with the next extraction, a
// golden row.)
TEST_F(FaultTest, TerminatedExtractionLeavesNoTemporary) {
  std::string archive = Put("big.lzh", WriteArchive({Member{{"a", "b", "big.bin"}, Bytes(48 << 20, 'z'), Method::kLh5}}));
  const fs::path deep = root_ / "out" / "a" / "b";
  auto temporaries = [&] {
    std::error_code missing;
    return fs::exists(deep, missing) ? Leftovers(deep) : std::vector<std::string>{};
  };
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGTERM, SIG_DFL);  // as a program leaves it that does not handle it (a shell may ignore it)
    _exit(Unlha(nullptr, ("x -m -c " + archive + " " + Out()).c_str(), nullptr, 0));
  }
  for (int i = 0; i < 5000 && temporaries().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "the extraction was not caught at work";
  EXPECT_TRUE(temporaries().empty());
}

// Writers of different commands on one archive at once: each must take its
// turn, so every addition and every deletion is in the final archive.
TEST_F(FaultTest, ConcurrentAddsAndDeletesAllLand) {
  std::vector<Member> members;
  for (int i = 0; i < 4; ++i) members.push_back(Member{{"old" + std::to_string(i) + ".bin"}, Noise(500000, i + 10), Method::kLh0});
  std::string archive = Put("a.lzh", WriteArchive(members));
  std::vector<std::string> lines;
  for (int i = 0; i < 3; ++i) {
    WriteFile(root_ / "src" / ("new" + std::to_string(i) + ".bin"), Noise(1000000, i + 20));
    lines.push_back("a " + archive + " " + (root_ / "src").string() + "/ new" + std::to_string(i) + ".bin");
    lines.push_back("d " + archive + " old" + std::to_string(i) + ".bin");
  }
  std::vector<pid_t> children;
  for (const std::string& line : lines)
    if (pid_t child = fork(); child == 0) _exit(Unlha(nullptr, line.c_str(), nullptr, 0));
    else children.push_back(child);
  for (size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    waitpid(children[i], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == UNLHA_OK) << lines[i];
  }
  Outcome list = RunUnlha("l " + archive);
  for (const char* name : {"old3.bin", "new0.bin", "new1.bin", "new2.bin"})
    EXPECT_NE(list.report.find(name), std::string::npos) << name << " lost:\n" << list.report;
  for (const char* name : {"old0.bin", "old1.bin", "old2.bin"})
    EXPECT_EQ(list.report.find(name), std::string::npos) << name << " came back:\n" << list.report;
  EXPECT_EQ(RunUnlha("t " + archive).result, UNLHA_OK);
  EXPECT_TRUE(Leftovers(root_).empty());
}

}  // namespace
}  // namespace lzh::test
