// a, u, f, m and d through the exported Unlha(): which files go in under
// which switch, which members a change touches, and what must never
// happen to an archive or a name (overwriting a document, adding the
// archive to itself, storing a path that climbs out).
#include <ctime>

#include "tests/writing/writing_fixture.h"

namespace lzh::test {
namespace {

class Commands : public WritingTest {
 protected:
  void SetUp() override {
    WritingTest::SetUp();
    Make("src/a.txt", "alpha alpha alpha alpha", 1500000000);
    Make("src/b.c", "int main() { return 0; }", 1500000000);
    Make("src/sub/c.txt", "gamma", 1500000000);
    Make("src/.hidden", "secret", 1500000000);
  }
  Outcome Run(const std::string& command, const std::string& arguments = "") {
    return RunUnlha(command + " \"" + Archive() + "\" " + Base() + " " + arguments);
  }
  // The bytes of one member (header and data) as it lies in the archive.
  static Bytes MemberBytes(const std::string& archive, const std::string& path) {
    Bytes all = ReadFile(archive);
    for (const MemberHeader& m : Members(archive))
      if (m.PathString() == path)
        return Bytes(all.begin() + static_cast<ptrdiff_t>(m.header_offset),
                     all.begin() + static_cast<ptrdiff_t>(m.data_offset + m.packed_size));
    return {};
  }
};

using Names = std::vector<std::string>;

TEST_F(Commands, AddWithoutNamesTakesTheBaseDirectoryAndHiddenFilesOnlyWithDashA) {
  Outcome added = Run("a");
  EXPECT_EQ(added.result, UNLHA_OK) << added.report;
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.c"}));
  EXPECT_TRUE(Contains(added.report, "added    a.txt")) << added.report;
  fs::remove(Archive());
  EXPECT_EQ(Run("a -a").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{".hidden", "a.txt", "b.c"}));
}

TEST_F(Commands, NamedDirectoryIsExpandedOnlyWithR2) {
  Outcome plain = Run("a", "sub");
  EXPECT_EQ(plain.result, UNLHA_SKIPPED);
  EXPECT_TRUE(Contains(plain.report, "-r2")) << plain.report;
  EXPECT_FALSE(fs::exists(Archive())) << "nothing to add must make no archive";
  EXPECT_EQ(Run("a -r2", "sub").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"sub/c.txt"}));
}

// Two files -x- would store under one name, and a FIFO: each is named,
// counted as skipped, and the result says so.
TEST_F(Commands, FilesLeftOutAreNamedAndCountedAsSkipped) {
  Make("src/c.txt", "another gamma");
  ASSERT_EQ(mkfifo((root_ / "src/sub/pipe").c_str(), 0644), 0);
  Outcome added = Run("a -r -x-");
  EXPECT_EQ(added.result, UNLHA_SKIPPED);
  EXPECT_TRUE(Contains(added.report, "skipped  " + Base() + "sub/c.txt: its stored name c.txt is taken by " + Base() +
                                         "c.txt\n"))
      << added.report;
  EXPECT_TRUE(Contains(added.report, "skipped  " + Base() + "sub/pipe: a special file")) << added.report;
  EXPECT_TRUE(Contains(added.report, "\n3 added or replaced, 0 up to date, 2 skipped, 0 failed; ")) << added.report;
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.c", "c.txt"}));
}

// A time is never wrapped: 2150 read back as 2013 was the fault. Level 0
// and 1 keep an MS-DOS stamp (from 1980, local time) beside the Unix time.
TEST_F(Commands, TimesAHeaderCannotKeepAreStoredAsTheNearestAndReported) {
  std::tm start_of_1980{};
  start_of_1980.tm_year = 80;
  start_of_1980.tm_mday = 1;
  start_of_1980.tm_isdst = -1;
  const int64_t k1980 = std::mktime(&start_of_1980), k2150 = 5680281600, k1960 = -315619200;
  struct Case {
    const char* level;
    int64_t file_time, stored_time;
  };
  for (const Case& c : {Case{"-h0", k2150, UINT32_MAX}, Case{"-h1", k1960, k1980}, Case{"-h2", k2150, UINT32_MAX},
                        Case{"-h2", k1960, 0}}) {
    SCOPED_TRACE(std::string(c.level) + " " + std::to_string(c.file_time));
    fs::remove(Archive());
    Make("src/far.txt", "far", c.file_time);
    Outcome added = Run(std::string("a ") + c.level, "far.txt");
    EXPECT_EQ(added.result, UNLHA_OK);
    EXPECT_TRUE(Contains(added.report, "added    far.txt: its time ")) << added.report;
    EXPECT_TRUE(Contains(added.report, " does not fit the header; stored as ")) << added.report;
    EXPECT_EQ(Members(Archive())[0].mtime, c.stored_time);
    Outcome updated = Run(std::string("u ") + c.level, "far.txt");  // the file is no newer than its member
    EXPECT_TRUE(Contains(updated.report, "0 added or replaced, 1 up to date, 0 skipped, 0 failed;")) << updated.report;
  }
}

TEST_F(Commands, DashXMinusStoresBaseNamesOnly) {
  EXPECT_EQ(Run("a -r -x-", "*.txt").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "c.txt"}));
}

TEST_F(Commands, StoredPathsNeverClimbOutOrStartAtTheRoot) {
  Make("outside.txt", "outside");
  std::string absolute = (root_ / "src/sub/c.txt").string();
  Outcome added = Run("a", "../outside.txt ./sub/../sub/c.txt " + absolute);
  EXPECT_EQ(added.result, UNLHA_OK) << added.report;
  for (const std::string& path : Paths(Archive())) {
    EXPECT_NE(path.front(), '/') << path;
    EXPECT_EQ(path.find(".."), std::string::npos) << path;
  }
  EXPECT_TRUE(Contains(Paths(Archive())[0], "outside.txt"));
}

TEST_F(Commands, ListFilesAndDoubleDashNameFilesThatLookLikeSwitches) {
  Make("src/-z", std::string(100, 'z'));
  WriteFile(root_ / "list", ToBytes("a.txt\r\nsub/c.txt\n"));
  EXPECT_EQ(RunUnlha("a " + Archive() + " " + Base() + " @" + (root_ / "list").string()).result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "sub/c.txt"}));
  EXPECT_EQ(RunUnlha("a " + Archive() + " " + Base() + " -- -z").result, UNLHA_OK);
  EXPECT_EQ(Members(Archive()).back().PathString(), "-z");
  EXPECT_NE(Members(Archive()).back().method, Method::kLh0) << "-z after -- must not switch off compression";
}

TEST_F(Commands, AddReplacesAMemberInPlaceAndCopiesTheOthersByteForByte) {
  ASSERT_EQ(Run("a", "a.txt b.c").result, UNLHA_OK);
  Bytes untouched = MemberBytes(Archive(), "b.c");
  Make("src/a.txt", "a new alpha", 1400000000);  // older, yet a replaces it
  Outcome replaced = Run("a", "a.txt");
  EXPECT_EQ(replaced.result, UNLHA_OK);
  EXPECT_TRUE(Contains(replaced.report, "replaced a.txt")) << replaced.report;
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.c"}));
  EXPECT_EQ(MemberBytes(Archive(), "b.c"), untouched);
  EXPECT_EQ(Members(Archive())[0].original_size, 11u);
}

// Names match with case here, as Linux file names do; -i- folds letters.
TEST_F(Commands, DeleteMatchesBaseNamesUnlessDashPAndCaseUnlessDashIMinus) {
  ASSERT_EQ(Run("a -r").result, UNLHA_OK);
  Outcome cased = RunUnlha("d " + Archive() + " C.TXT");
  EXPECT_EQ(cased.result, UNLHA_SKIPPED);
  EXPECT_TRUE(Contains(cased.report, "No member matches C.TXT\n0 members deleted, 1 name matched nothing; "))
      << cased.report;
  EXPECT_EQ(RunUnlha("d -i- " + Archive() + " C.TXT").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.c"}));
  Outcome strict = RunUnlha("d -p " + Archive() + " b");
  EXPECT_EQ(strict.result, UNLHA_SKIPPED);
  EXPECT_EQ(RunUnlha("d " + Archive() + " *.c").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt"}));
}

TEST_F(Commands, DeleteWithoutNamesDeletesNothing) {
  ASSERT_EQ(Run("a").result, UNLHA_OK);
  Bytes before = ReadFile(Archive());
  EXPECT_EQ(RunUnlha("d " + Archive()).result, UNLHA_BAD_COMMAND);
  EXPECT_EQ(RunUnlha("d " + Archive() + " " + Base() + " /").result, UNLHA_SKIPPED);  // a name of no member
  EXPECT_EQ(ReadFile(Archive()), before);
}

TEST_F(Commands, TheArchiveIsNeverAddedToItself) {
  fs::path archive = root_ / "src/self.lzh";
  ASSERT_EQ(RunUnlha("a " + archive.string() + " " + Base() + " a.txt").result, UNLHA_OK);
  Outcome again = RunUnlha("a -a " + archive.string() + " " + Base());
  EXPECT_EQ(again.result, UNLHA_OK) << again.report;
  EXPECT_TRUE(Contains(again.report, "ignored  " + archive.string() + ": the archive itself")) << again.report;
  for (const std::string& path : Paths(archive.string())) EXPECT_EQ(path.find("self.lzh"), std::string::npos) << path;
  EXPECT_TRUE(Leftovers(root_ / "src").empty());
}

TEST_F(Commands, AFileThatIsNoArchiveIsNeverOverwritten) {
  Bytes document = ToBytes("my thesis, chapter one");
  WriteFile(root_ / "thesis.txt", document);
  Outcome refused = RunUnlha("a " + Archive("thesis.txt") + " " + Base() + " a.txt");
  EXPECT_EQ(refused.result, UNLHA_NOT_ARCHIVE);
  EXPECT_EQ(refused.report, Archive("thesis.txt") + " is not an LZH archive; it is left as it is.");
  EXPECT_EQ(ReadFile(root_ / "thesis.txt"), document);
  EXPECT_EQ(RunUnlha("d " + Archive("thesis.txt") + " a.txt").result, UNLHA_NOT_ARCHIVE);
  EXPECT_EQ(ReadFile(root_ / "thesis.txt"), document);
  // Nor does freshening or deleting from an archive that is not there make one.
  for (const char* command : {"f ", "d "}) {
    EXPECT_EQ(RunUnlha(command + Archive("missing.lzh") + " " + Base() + " a.txt").result, UNLHA_NOT_ARCHIVE);
    EXPECT_FALSE(fs::exists(Archive("missing.lzh"))) << command;
  }
}

TEST_F(Commands, ADamagedArchiveIsNotRewritten) {
  ASSERT_EQ(Run("a", "a.txt b.c").result, UNLHA_OK);
  Bytes archive = ReadFile(Archive());
  MemberHeader second = Members(Archive())[1];
  archive[second.header_offset + 2] = 'X';  // the second header no longer reads
  WriteFile(Archive(), archive);
  Outcome refused = Run("d", "a.txt");
  EXPECT_EQ(refused.result, UNLHA_DAMAGED);
  EXPECT_EQ(ReadFile(Archive()), archive);
  EXPECT_EQ(Run("a", "sub/c.txt").result, UNLHA_DAMAGED);
  EXPECT_EQ(ReadFile(Archive()), archive);
  // Nor is a self-extracting program made of it.
  EXPECT_EQ(Run("s").result, UNLHA_DAMAGED);
  EXPECT_FALSE(fs::exists(Base() + "arc"));
}

TEST_F(Commands, DashTGivesTheArchiveItsNewestMembersTime) {
  Make("src/a.txt", "a", 1300000000);
  Make("src/b.c", "b", 1400000000);
  ASSERT_EQ(Run("a -t", "a.txt b.c").result, UNLHA_OK);
  EXPECT_EQ(fs::last_write_time(Archive()).time_since_epoch(),
            fs::last_write_time(root_ / "src/b.c").time_since_epoch());
  ASSERT_EQ(Run("d -t", "b.c").result, UNLHA_OK);
  struct stat st;
  stat(Archive().c_str(), &st);
  EXPECT_EQ(st.st_mtime, 1300000000);
}

TEST_F(Commands, WorkDirectoryHoldsTheTemporaryFileAndIsLeftClean) {
  fs::create_directories(root_ / "work");
  ASSERT_EQ(Run("a -w" + (root_ / "work").string(), "a.txt").result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt"}));
  EXPECT_TRUE(Leftovers(root_ / "work").empty());
  EXPECT_TRUE(Leftovers(root_).empty());
  // Another file system, where the finished file cannot simply be renamed.
  if (fs::is_directory("/dev/shm")) {
    fs::path shm = fs::path("/dev/shm") / ("unlha32_work_" + std::to_string(getpid()));
    fs::create_directories(shm);
    Outcome added = Run("a -w" + shm.string(), "b.c");
    EXPECT_EQ(added.result, UNLHA_OK) << added.report;
    EXPECT_EQ(Paths(Archive()), (Names{"a.txt", "b.c"}));
    EXPECT_TRUE(Leftovers(shm).empty());
    EXPECT_TRUE(Leftovers(root_).empty());
    fs::remove_all(shm);
  }
}

TEST_F(Commands, MoveKeepsAFileThatIsNotNewerThanItsMember) {
  ASSERT_EQ(Run("a", "a.txt").result, UNLHA_OK);
  EXPECT_EQ(Run("m", "a.txt").result, UNLHA_OK);
  EXPECT_TRUE(fs::exists(root_ / "src/a.txt")) << "a file that was not stored must not be deleted";
}

TEST_F(Commands, NameTooLongForLevel0IsRefusedAndTheRestIsArchived) {
  std::string long_name(240, 'n');
  Make("src/" + long_name, "long");
  Outcome refused = Run("a -h0", long_name);
  EXPECT_TRUE(Contains(refused.report, "\n0 added or replaced, 0 up to date, 0 skipped, 1 failed; no archive was made."))
      << refused.report;
  EXPECT_FALSE(fs::exists(Archive()));
  Outcome added = Run("a -h0", "a.txt " + long_name);
  EXPECT_NE(added.result, UNLHA_OK);
  EXPECT_TRUE(Contains(added.report, "name too long for a level-0 header")) << added.report;
  EXPECT_EQ(Paths(Archive()), (Names{"a.txt"}));
  EXPECT_EQ(Run("a -h2", long_name).result, UNLHA_OK);
}

TEST_F(Commands, FourGibibyteFileIsRefusedByLevels0And1) {
  fs::path big = root_ / "src/big.bin";
  {
    std::ofstream out(big, std::ios::binary);
  }
  if (truncate(big.c_str(), (off_t{1} << 32) + 1) != 0) GTEST_SKIP() << "no sparse 4 GiB file here";
  for (const char* level : {"-h0", "-h1"}) {
    Outcome refused = Run(std::string("a ") + level, "a.txt big.bin");
    EXPECT_NE(refused.result, UNLHA_OK) << level;
    EXPECT_TRUE(Contains(refused.report, "4 GiB or more needs header level 2")) << refused.report;
    EXPECT_EQ(Paths(Archive()), (Names{"a.txt"}));
  }
}

TEST_F(Commands, Level2CarriesUnixMetadataAndTheCodePageOfNonAsciiNames) {
  Make("src/caf\xC3\xA9.txt", "utf-8 name", 1500000000, 0640);
  ASSERT_EQ(Run("a", "a.txt caf\xC3\xA9.txt").result, UNLHA_OK);
  std::vector<MemberHeader> members = Members(Archive());
  ASSERT_EQ(members.size(), 2u);
  EXPECT_FALSE(members[0].has_code_page) << "plain ASCII names need no code page";
  EXPECT_TRUE(members[1].has_code_page);
  EXPECT_EQ(members[1].code_page, 65001u);
  EXPECT_EQ(members[1].os_id, 'U');
  EXPECT_EQ(members[1].mtime, 1500000000);
  EXPECT_TRUE(members[1].has_unix_mode);
  EXPECT_EQ(members[1].unix_mode, 0100640);
  EXPECT_TRUE(members[1].has_unix_ids);
  EXPECT_EQ(members[1].uid, getuid());
  EXPECT_EQ(members[1].gid, getgid());
  if (getuid() == 0) {
    EXPECT_EQ(members[1].user, "root");
  }
}

// Files are compressed two at a time in batches; a batch that came back in
// the order the threads finished, or a member placed at its offset in the
// batch rather than in the archive, would show here.
TEST_F(Commands, ManyFilesKeepTheUsersOrderAcrossBatchesAndLargeFiles) {
  Names order;
  std::string arguments;
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
  Outcome added = Run("a", arguments);
  ASSERT_EQ(added.result, UNLHA_OK) << added.report;
  EXPECT_EQ(Paths(Archive()), order);
  Bytes archive = ReadFile(Archive());
  for (const MemberHeader& member : Members(Archive()))
    EXPECT_EQ(member.data_offset - member.header_offset, member.header_length) << member.PathString();
  Outcome extracted = RunUnlha("x " + Archive() + " " + Out());
  ASSERT_EQ(extracted.result, UNLHA_OK) << extracted.report;
  for (const std::string& name : order) EXPECT_EQ(ReadFile(root_ / "out" / name), ReadFile(root_ / "src" / name)) << name;

  // Replacing members of a batch keeps each in its place.
  Make("src/f5.bin", "five, shorter now", 2000000000);  // newer than the members
  Make("src/f30.bin", "thirty, shorter now", 2000000000);
  ASSERT_EQ(Run("u", arguments).result, UNLHA_OK);
  EXPECT_EQ(Paths(Archive()), order);
  fs::remove_all(root_ / "out");
  ASSERT_EQ(RunUnlha("x " + Archive() + " " + Out()).result, UNLHA_OK);
  EXPECT_EQ(ReadFile(root_ / "out/f5.bin"), ToBytes("five, shorter now"));
  EXPECT_EQ(ReadFile(root_ / "out/f30.bin"), ToBytes("thirty, shorter now"));
  EXPECT_EQ(ReadFile(root_ / "out/f39.bin"), ReadFile(root_ / "src/f39.bin"));
}

}  // namespace
}  // namespace lzh::test
