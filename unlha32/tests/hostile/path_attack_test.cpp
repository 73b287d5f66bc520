// Hostile names: every way a member's path can try to leave the target
// directory (".." in names and in the directory header, absolute and drive
// paths, '\' and 0xFF separators, Shift_JIS trail bytes that look like
// '\'), links in the archive or already on disk that point out of the
// target, members named like the archive being read, and names that would
// drive a terminal. Whatever the member, nothing outside out/ may change
// (checked after every run by the fixture) and each refused member is
// named in the report.
#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

const std::string kFF(1, '\xff');

Ext Name(const std::string& name) { return {0x01, name}; }
Ext Directory(const std::string& directory) { return {0x02, directory}; }

// Each row is one member: refused and named in the report (for the reason
// given, when one is), or extracted to the path given. ".." in names and
// directory headers, '\\' and 0xFF separators, UTF-16 forms; components
// Windows would trim to "." or ".." refused wherever they stand, each for
// what it is made of, while blanks alone are a name like any; in Shift_JIS
// 0x5C after a lead byte is half of a character, not a separator, and a
// lone lead byte must not swallow a real one; roots, drives, UNC servers
// and empty components are dropped with a note (here the fence's own path).
TEST_F(HostileTest, EveryWayOutIsRefusedByNameAndEveryOtherPathLandsInside) {
  const std::string up = "the path leads out of the target directory (..)";
  const std::string dots = "the path holds a component made only of dots";
  const struct {
    Bytes member;
    std::string named_or_landed;
    bool refused = true;
  } rows[] = {
      {StoredLevel0("..\\..\\evil0.txt", "data"), "evil0.txt"},
      {StoredLevel0("a\\..\\..\\..\\evil1.txt", "data"), "evil1.txt"},
      {StoredLevel0("C:..\\evil3.txt", "data"), "evil3.txt"},
      {StoredLevel1("../evil4.txt", "data"), "evil4.txt"},
      {StoredLevel1("x/./../../evil5.txt", "data", 'M'), "evil5.txt"},
      {StoredLevel1("", "data", 'U', {Directory(".." + kFF), Name("evil6.txt")}), "evil6.txt"},
      {StoredLevel2({Directory(kFF + kFF + ".." + kFF), Name("ff1.txt")}, "data"), "ff1.txt"},
      {StoredLevel2({Directory(".."), Name("ff2.txt")}, "data"), "ff2.txt"},
      {StoredLevel2({Directory("a" + kFF + kFF + kFF + ".." + kFF + ".." + kFF), Name("ff3.txt")}, "data"), "ff3.txt"},
      {StoredLevel2({{0x45, Utf16({'.', '.', 0xFFFF, '.', '.'})}, Name("ff5.txt")}, "data"), "ff5.txt"},
      {StoredLevel2({{0x44, Utf16({'.', '.', '/', 'f', 'f', '6'})}, Name("ff6.txt")}, "data"), "../ff6: " + up},
      {StoredLevel1("\x95\\..\\..\\sjis1.txt", "data", 'M'), "sjis1.txt"},
      {StoredLevel1("sjis3.txt", "data", 'M', {Directory("\x81" + kFF + ".." + kFF)}), "sjis3.txt"},
      {StoredLevel1("a/..", "data", 'M'), "a/..: " + up},
      {StoredLevel1("...", "data", 'M'), "...: " + dots},
      {StoredLevel1(".. ", "data", 'M'), ".. : " + dots + " and blanks"},
      {StoredLevel1("a/ ./b", "data", 'M'), "a/ ./b: " + dots + " and blanks"},
      {StoredLevel0("\\rooted.txt", "data"), "rooted.txt", false},
      {StoredLevel2({Directory(kFF + kFF + kFF), Name("only-separators.txt")}, "data"), "only-separators.txt", false},
      {StoredLevel2({Name(".." + kFF + ".." + kFF + "ff4.txt")}, "data"), ".." + kFF + ".." + kFF + "ff4.txt", false},
      {StoredLevel1("DIR\\ \\readme", "data", 'M'), "DIR/ /readme", false},
      {StoredLevel1("  /x", "data", 'M'), "  /x", false},
      {StoredLevel1("./a//b/./c", "data", 'M'), "a/b/c", false},
      {StoredLevel1("c:relative", "data", 'M'), "relative", false},
      {StoredLevel1("C:\\Windows\\x.dll", "data", 'M'), "Windows/x.dll", false},
      {StoredLevel1("..\x81\\sjis2.txt", "data", 'M'), "..\xe2\x80\x95sjis2.txt", false},  // U+2015
      {StoredLevel1("\x95\\.txt", "data", 'M'), "\xe8\xa1\xa8.txt", false},                // U+8868
      {StoredLevel2({{0x45, Utf16({'.', '.', 0, 'x'})}, Name("ff7.txt")}, "data"), ".._x/ff7.txt", false},  // a NUL
      {StoredLevel2({Name(fence_.string() + "/abs.txt")}, "data"), fence_.relative_path().string() + "/abs.txt", false},
      {StoredLevel2({Directory(kFF + kFF + "server" + kFF + "share" + kFF), Name("unc.txt")}, "data"),
       "server/share/unc.txt", false},
  };
  std::vector<Bytes> members;
  for (const auto& row : rows) members.push_back(row.member);
  Outcome x = ListTestExtract(Archive(Members(members)));
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "written as");
  for (const auto& row : rows) {
    if (row.refused) ExpectNamed(x, row.named_or_landed);
    else EXPECT_EQ(ReadFile(root_ / "out" / row.named_or_landed), ToBytes("data")) << row.named_or_landed;
  }
  for (const std::string& entry : Entries())
    for (const auto& component : fs::path(entry)) EXPECT_NE(component, "..") << entry;
}

// A link ("name|target", mode 0120777) or a directory entry (040755).
Bytes Entry(const std::string& name, const std::string& directory, uint16_t mode) {
  Fields f;
  f.method = "-lhd-";
  f.crc = 0;
  return Level23(2, f, 1300000000, 'U', {Name(name), Directory(directory), Ext16(0x50, mode)});
}

// Links in the archive, or already in the target (put there by someone
// else), that point out of it: a member is never written through one, and
// a member of a link's name replaces the link itself, not what it points
// at, or is skipped when the link was extracted by an earlier member.
TEST_F(HostileTest, LinksOutOfTheTargetAreNeverWrittenThrough) {
  fs::create_directory_symlink(fence_, root_ / "out" / "link");
  fs::create_symlink(fence_ / "secret.txt", root_ / "out" / "victim");
  std::string archive = Archive(Members({
      Entry("up|../../..", "", 0120777),
      Entry("abs|" + fence_.string(), "", 0120777),
      StoredLevel2({Directory("up" + kFF), Name("secret.txt")}, "overwritten through a relative link"),
      StoredLevel2({Directory("abs" + kFF), Name("secret.txt")}, "overwritten through an absolute link"),
      StoredLevel2({Directory("up" + kFF + "a" + kFF + "b" + kFF), Name("keep.txt")}, "through the link"),
      Entry("", "abs" + kFF + "made-through-link" + kFF, 040755),
      Entry("linkout|/", ".." + kFF, 0120777),
      StoredLevel2({Name("up")}, "lands on the extracted link"),
      StoredLevel2({Directory("link" + kFF), Name("planted.txt")}, "through the link on disk"),
      StoredLevel2({Name("victim")}, "replaces the link itself"),
  }));
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_SKIPPED) << x.report;
  ExpectNamed(x, "secret.txt");
  ExpectNamed(x, "linkout");
  EXPECT_FALSE(fs::exists(fence_ / "made-through-link"));
  EXPECT_TRUE(fs::is_symlink(root_ / "out" / "abs"));
  ExpectNamed(x, "skipped  up: an earlier member");
  EXPECT_TRUE(fs::is_symlink(root_ / "out" / "up"));
  ExpectNamed(x, "planted.txt");
  EXPECT_EQ(ReadFile(root_ / "out" / "victim"), ToBytes("replaces the link itself"));
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
      Entry("", "tree" + kFF, 040755),
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
