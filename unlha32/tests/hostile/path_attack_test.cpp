// Hostile names: every way a member's path can try to leave the target
// directory (".." in names and in the directory header, absolute and drive
// paths, '\' and 0xFF separators, Shift_JIS trail bytes that look like
// '\'), links in the archive or already on disk that point out of the
// target, members named like the archive being read, and names that would
// drive a terminal. Whatever the member, nothing outside out/ may change
// (checked after every run by the fixture) and each refused member is
// named in the report.
#include "tests/hostile/hostile_fixture.h"

namespace lzh::test {
namespace {

const std::string kFF(1, '\xff');

Ext Name(const std::string& name) { return {0x01, name}; }
Ext Directory(const std::string& directory) { return {0x02, directory}; }

TEST_F(HostileTest, DotDotAndBackslashTricksInLevel0And1NamesAreRefused) {
  std::string archive = Archive(Members({
      StoredLevel0("..\\..\\evil0.txt", "0"),
      StoredLevel0("a\\..\\..\\..\\evil1.txt", "1"),
      StoredLevel0("..", "2"),
      StoredLevel0("C:..\\evil3.txt", "3"),
      StoredLevel1("../evil4.txt", "4"),
      StoredLevel1("x/./../../evil5.txt", "5", 'M'),
      StoredLevel1("", "6", 'U', {Directory(".." + kFF), Name("evil6.txt")}),
      StoredLevel0("\\rooted.txt", "rooted"),
      StoredLevel0("good.txt", "good"),
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  for (const char* name : {"evil0.txt", "evil1.txt", "evil3.txt", "evil4.txt", "evil5.txt", "evil6.txt"})
    ExpectNamed(x, name);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"good.txt", "rooted.txt"}));
}

TEST_F(HostileTest, FFSeparatorTricksInDirectoryHeadersAreRefused) {
  std::string archive = Archive(Members({
      StoredLevel2({Directory(kFF + kFF + ".." + kFF), Name("ff1.txt")}, "1"),
      StoredLevel2({Directory(".."), Name("ff2.txt")}, "2"),
      StoredLevel2({Directory("a" + kFF + kFF + kFF + ".." + kFF + ".." + kFF), Name("ff3.txt")}, "3"),
      StoredLevel2({Name(".." + kFF + ".." + kFF + "ff4.txt")}, "4"),
      StoredLevel2({{0x45, Utf16({'.', '.', 0xFFFF, '.', '.'})}, Name("ff5.txt")}, "5"),
      StoredLevel2({{0x44, Utf16({'.', '.', '/', 'f', 'f', '6'})}, Name("ff6.txt")}, "6"),
      StoredLevel2({{0x45, Utf16({'.', '.', 0, 'x'})}, Name("ff7.txt")}, "7"),  // cut at the NUL: ".."
      StoredLevel2({Directory(kFF + kFF + kFF), Name("only-separators.txt")}, "fine"),
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_NE(x.result, UNLHA_OK) << x.report;
  for (const char* name : {"ff1.txt", "ff2.txt", "ff3.txt", "ff5.txt"}) ExpectNamed(x, name);
  // 0xFF separates only in the directory header: in a name it is a byte.
  for (const std::string& entry : Entries())
    for (const auto& component : fs::path(entry)) EXPECT_NE(component, "..") << entry;
  EXPECT_EQ(ReadFile(root_ / "out" / "only-separators.txt"), ToBytes("fine"));
}

// Components Windows would trim to "." or ".." are refused wherever they
// stand, each for what it is made of; blanks alone are a name like any;
// roots, drives and empty components are dropped with a note.
TEST_F(HostileTest, EachPathRuleRefusesOrRewritesItsCase) {
  const std::string up = "the path leads out of the target directory (..)";
  const std::string dots = "the path holds a component made only of dots";
  const std::string dots_and_blanks = dots + " and blanks";
  const struct {
    std::string name;
    std::string landed_or_reason;
    bool refused;
  } cases[] = {
      {"a/..", up, true},
      {"...", dots, true},
      {".. ", dots_and_blanks, true},
      {"a/ ./b", dots_and_blanks, true},
      {"DIR\\ \\readme", "DIR/ /readme", false},
      {"  /x", "  /x", false},
      {"./a//b/./c", "a/b/c", false},
      {"c:relative", "relative", false},
      {"C:\\Windows\\x.dll", "Windows/x.dll", false},
  };
  std::vector<Bytes> members;
  for (const auto& c : cases) members.push_back(StoredLevel1(c.name, "data", 'M'));
  Outcome x = ListTestExtract(Archive(Members(members)));
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  for (const auto& c : cases) {
    if (c.refused) ExpectNamed(x, c.name + ": " + c.landed_or_reason);
    else EXPECT_EQ(ReadFile(root_ / "out" / c.landed_or_reason), ToBytes("data")) << c.name << "\n" << x.report;
  }
  ExpectNamed(x, "written as");
}

// In Shift_JIS, 0x5C after a lead byte is half of a character, not a
// separator: "..\x81\x5C" is one name (0x815C is a horizontal bar), and
// a lone lead byte before a real separator must not swallow it.
TEST_F(HostileTest, ShiftJisTrailBackslashNeitherSplitsNorClimbs) {
  std::string archive = Archive(Members({
      StoredLevel1("\x95\\..\\..\\sjis1.txt", "1", 'M'),
      StoredLevel1("..\x81\\sjis2.txt", "2", 'M'),
      StoredLevel1("sjis3.txt", "3", 'M', {Directory("\x81" + kFF + ".." + kFF)}),
      StoredLevel1("\x95\\.txt", "hyou", 'M'),
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "sjis1.txt");
  ExpectNamed(x, "sjis3.txt");
  // 0x81 0x5C is U+2015, 0x95 0x5C is U+8868: each stays one name.
  EXPECT_EQ(Entries(), (std::vector<std::string>{"..\xe2\x80\x95sjis2.txt", "\xe8\xa1\xa8.txt"}));
}

Bytes Link(const std::string& name_and_target, const std::string& directory = "") {
  Fields f;
  f.method = "-lhd-";
  f.crc = 0;
  std::vector<Ext> exts = {Name(name_and_target), Ext16(0x50, 0120777)};
  if (!directory.empty()) exts.push_back(Directory(directory));
  return Level23(2, f, 1300000000, 'U', exts);
}

Bytes DirectoryEntry(const std::string& directory) {
  Fields f;
  f.method = "-lhd-";
  f.crc = 0;
  return Level23(2, f, 1300000000, 'U', {Name(""), Directory(directory), Ext16(0x50, 040755)});
}

TEST_F(HostileTest, LinksOutOfTheTargetAreNeverWrittenThrough) {
  std::string archive = Archive(Members({
      Link("up|../../.."),
      Link("abs|" + fence_.string()),
      StoredLevel2({Directory("up" + kFF), Name("secret.txt")}, "overwritten through a relative link"),
      StoredLevel2({Directory("abs" + kFF), Name("secret.txt")}, "overwritten through an absolute link"),
      StoredLevel2({Directory("up" + kFF + "a" + kFF + "b" + kFF), Name("keep.txt")}, "through the link"),
      DirectoryEntry("abs" + kFF + "made-through-link" + kFF),
      Link("linkout|/", ".." + kFF),
      StoredLevel2({Name("up")}, "lands on the extracted link"),
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "secret.txt");
  ExpectNamed(x, "linkout");
  EXPECT_FALSE(fs::exists(fence_ / "made-through-link"));
  EXPECT_TRUE(fs::is_symlink(root_ / "out" / "abs"));
  ExpectNamed(x, "skipped  up: an earlier member");
  EXPECT_TRUE(fs::is_symlink(root_ / "out" / "up"));
}

TEST_F(HostileTest, AMemberNamedLikeTheArchiveNeverReplacesIt) {
  Bytes bytes = Members({StoredLevel0("hostile.lzh", "not an archive any more"), StoredLevel0("after.txt", "after")});
  std::string archive = Archive(bytes);
  std::string target = root_.string() + "/";
  Outcome x = RunWithoutTerminal("x -m -c " + archive + " " + target);
  EXPECT_EQ(ReadFile(archive), bytes) << x.report;
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "hostile.lzh");
  EXPECT_EQ(ReadFile(root_ / "after.txt"), ToBytes("after"));
}

TEST_F(HostileTest, DuplicateNamesAreReportedAndNeverMixed) {
  std::string archive = Archive(Members({
      StoredLevel0("dup.txt", "first"),
      StoredLevel0("dup.txt", "second, longer than the first"),
      StoredLevel0("clash", "a file"),
      StoredLevel0("clash\\inner.txt", "needs clash as a directory"),
      DirectoryEntry("tree" + kFF),
      StoredLevel0("tree", "a file where a directory is"),
  }));
  Outcome asked = Run("x " + archive + " " + Out());
  EXPECT_EQ(asked.result, UNLHA_IO_ERROR) << asked.report;
  ExpectNamed(asked, "skipped  dup.txt: an earlier member of the archive was extracted to that name");
  EXPECT_EQ(ReadFile(root_ / "out" / "dup.txt"), ToBytes("first"));
  ExpectNamed(asked, "FAILED   clash/inner.txt");
  ExpectNamed(asked, "skipped  tree");
  EXPECT_TRUE(fs::is_directory(root_ / "out" / "tree"));
  ExpectNamed(asked, "2 members extracted, 2 skipped, 1 failed");

  // Replacing what is on disk never lets the second take the first's place.
  Outcome replaced = Run("x -m -c " + archive + " " + Out());
  EXPECT_EQ(ReadFile(root_ / "out" / "dup.txt"), ToBytes("first")) << replaced.report;
  EXPECT_EQ(ReadFile(root_ / "out" / "clash"), ToBytes("a file"));
}

// Roots, drives and UNC servers are dropped with a note: the member lands
// inside the target, never at the path it names (here the fence itself).
TEST_F(HostileTest, AbsoluteDriveAndUncPathsLandInsideTheTarget) {
  std::string archive = Archive(RawArchive({
      RawMember{fence_.string() + "/abs.txt", "", ToBytes("a")},
      RawMember{"C:\\drive.txt", "", ToBytes("d")},
      RawMember{"unc.txt", kFF + kFF + "server" + kFF + "share" + kFF, ToBytes("u")},
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_OK) << x.report;
  ExpectNamed(x, "written as");
  EXPECT_TRUE(fs::exists(root_ / "out" / fence_.relative_path() / "abs.txt"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "drive.txt"));
  EXPECT_TRUE(fs::exists(root_ / "out" / "server" / "share" / "unc.txt"));
}

// Links already in the target (put there by someone else): a member is
// never written through one, and a member of a link's name replaces the
// link itself, not what it points at.
TEST_F(HostileTest, ALinkAlreadyOnDiskIsNeverWrittenThrough) {
  fs::create_directory_symlink(fence_, root_ / "out" / "link");
  fs::create_symlink(fence_ / "secret.txt", root_ / "out" / "victim");
  Outcome x = Run("x -m -c " +
                  Archive(RawArchive({RawMember{"planted.txt", "link" + kFF, ToBytes("through the link")},
                                      RawMember{"victim", "", ToBytes("replaces the link itself")}})) +
                  " " + Out());
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "planted.txt");
  EXPECT_FALSE(fs::is_symlink(root_ / "out" / "victim"));
  EXPECT_EQ(ReadFile(root_ / "out" / "victim"), ToBytes("replaces the link itself"));
}

// A name may hold terminal controls or a character cut short: reports show
// them escaped, never as the bytes a terminal would obey.
TEST_F(HostileTest, EscapeSequencesInNamesNeverReachTheReport) {
  std::string archive = Archive(RawArchive({RawMember{"\x1b]0;owned\x07\x1b[2J.txt", "", ToBytes("x")},
                                            RawMember{"cut\xe3\x81", "", ToBytes("y")}}));
  for (const char* command : {"l ", "v ", "t "}) {
    Outcome run = Run(command + archive);
    EXPECT_EQ(run.report.find_first_of("\x1b\x07"), std::string::npos) << command;
    ExpectNamed(run, "\\x1B]0;owned");
    ExpectNamed(run, "cut\\xE3\\x81");
  }
}

}  // namespace
}  // namespace lzh::test
