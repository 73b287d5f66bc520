// Hostile archives, each extracted inside the fixture's fence: after every
// run nothing outside out/ may have changed.
// Hostile names: every way a member's path can try to leave the target
// directory (".." in names and in the directory header, absolute and drive
// paths, '\' and 0xFF separators, Shift_JIS trail bytes that look like
// '\'), links in the archive or already on disk that point out of the
// target: each refused member is named in the report. (Members named like
// the archive, names that would drive a terminal and duplicate names are
// the golden test's, through tavo.)
// Hostile structure: sizes that lie about the data, bombs, archives cut at
// every byte, empty names and names of a thousand bytes: each must end in
// a report that says what is wrong and, for extraction, no file that is
// not exactly a member. (Damaged headers and extended-header chains are
// the format suite's; the golden test runs every command over damaged
// archives.)
#include <sys/resource.h>

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

Bytes Packed(Method method, const Bytes& data, int level = 2, const std::string& name = "packed.bin") {
  return WriteArchive({Member{{name}, data, method}}, level);
}

// Sizes that lie: both sizes far beyond the data, an honest packed size
// with an original size of 4 GiB (decoding stops where the stream does),
// 64-bit sizes of 2^62, and a stream holding far more than its declared
// size (output stops there, so the CRC of the real data fails; not zeros,
// whose CRC-16 is 0 at any length). Each member is named as damaged (or
// refused first by the free-space check), and nothing is left of it.
TEST_F(HostileTest, SizesThatLieAboutTheDataAreReportedAndLeaveNothing) {
  Fields beyond = StoredFields("ten bytes!");
  beyond.packed = beyond.original = 0xFFFFFFF0;
  Bytes claimed = Packed(Method::kLh5, Bytes(5000, 'z'), 0, "claimed.bin");
  claimed[11] = claimed[12] = claimed[13] = claimed[14] = 0xFF;
  claimed[1] = Checksum(claimed, 2, claimed[0] + 2);
  Bytes sizes;
  Add64(&sizes, uint64_t{1} << 62);
  Add64(&sizes, uint64_t{1} << 62);
  Bytes wide = Level23(2, StoredFields("x"), 1300000000, 'U',
                       {{0x01, "wide.bin"}, {0x42, std::string(sizes.begin(), sizes.end())}});
  Bytes data(1 << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 251);
  Bytes longer = Packed(Method::kLh5, data, 2, "longer.bin");
  longer[11] = 100;  // level 2: the original size, then the header CRC
  longer[12] = longer[13] = longer[14] = longer[27] = longer[28] = 0;
  uint16_t crc = Crc16(0, longer.data(), longer[0] | longer[1] << 8);
  longer[27] = static_cast<uint8_t>(crc);
  longer[28] = static_cast<uint8_t>(crc >> 8);
  const std::pair<std::string, Bytes> cases[] = {
      {"beyond.bin", Members({Stored(Level0(beyond, "beyond.bin"), "ten bytes!")})},
      {"claimed.bin", claimed},
      {"wide.bin", Members({Stored(wide, "x")})},
      {"longer.bin", longer},
  };
  for (const auto& [name, archive] : cases) {
    Outcome x = ListTestExtract(Archive(archive, name + ".lzh"));
    EXPECT_TRUE(x.result == UNLHA_DAMAGED || (name == "wide.bin" && x.result == UNLHA_IO_ERROR)) << x.report;
    ExpectNamed(x, name);
    EXPECT_TRUE(Entries().empty()) << name;
  }
}

// Peak memory (KiB) of a child process that tests `archive`.
long PeakKiBTesting(const std::string& archive) {
  pid_t child = fork();
  if (child == 0) {
    std::vector<char> report(4096);
    _exit(Unlha(nullptr, ("t " + archive).c_str(), report.data(), 4096));
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == UNLHA_OK) << "testing failed: " << archive;
  return usage.ru_maxrss;
}

// A small archive that expands a thousandfold must cost no more memory to
// test than a tiny one, give or take a fraction of the data: decoding
// streams. Measured against the tiny one, so that whatever runs the tests
// (a sanitizer, valgrind) counts on both sides. The bomb is made in a child
// of its own, so that the data it was made from never counts in the
// tester's memory (allocators keep freed memory resident).
TEST_F(HostileTest, ABombDecodesInBoundedMemory) {
  constexpr size_t kExpanded = 64 << 20;
  std::string bomb = (root_ / "bomb.lzh").string();
  pid_t maker = fork();
  if (maker == 0) {
    WriteFile(bomb, Packed(Method::kLh7, Bytes(kExpanded, 'b')));
    _exit(0);
  }
  waitpid(maker, nullptr, 0);
  ASSERT_LT(fs::file_size(bomb), kExpanded / 1000);
  std::string tiny = Archive(Packed(Method::kLh7, ToBytes("tiny")), "tiny.lzh");
  long baseline = PeakKiBTesting(tiny);
  EXPECT_LT(PeakKiBTesting(bomb) - baseline, static_cast<long>(kExpanded / 1024 / 4)) << "KiB above a tiny archive";
}

// Cut after every byte: listing and extraction report the damage, and every
// file extracted is a whole member. A cut right after a member's data is an
// archive without its end byte, which is whole (as golden rows show too).
TEST_F(HostileTest, EveryCutOfAnArchiveIsReportedAndLeavesOnlyWholeMembers) {
  const std::vector<std::pair<std::string, Bytes>> members = {
      {"one.txt", Bytes(300, 'a')}, {"two.txt", ToBytes("second member")}, {"three.txt", Bytes(200, 'c')}};
  Bytes whole;
  std::vector<size_t> member_ends;
  for (int level = 0; level < 3; ++level) {
    const auto& [name, data] = members[static_cast<size_t>(level)];
    Append(&whole, Packed(level == 1 ? Method::kLh0 : level == 0 ? Method::kLh1 : Method::kLh5, data, level, name));
    whole.pop_back();  // each piece ends with its end byte
    member_ends.push_back(whole.size());
  }
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    std::string archive = Archive(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut)));
    fs::remove_all(root_ / "out");
    fs::create_directory(root_ / "out");
    Outcome list = Run("l " + archive);
    Outcome x = Run("x -m -c " + archive + " " + Out());
    EXPECT_EQ(list.result, x.result == UNLHA_NOT_ARCHIVE ? UNLHA_NOT_ARCHIVE : list.result);
    if (std::find(member_ends.begin(), member_ends.end(), cut) != member_ends.end())
      EXPECT_EQ(x.result, UNLHA_OK) << x.report;
    else
      EXPECT_TRUE(x.result == UNLHA_DAMAGED || x.result == UNLHA_NOT_ARCHIVE) << x.report;
    for (const auto& [name, data] : members)
      if (fs::exists(root_ / "out" / name)) {
        EXPECT_EQ(ReadFile(root_ / "out" / name), data) << name;
      }
  }
}

// Empty names create nothing; names of a thousand bytes fail by name or
// extract whole.
TEST_F(HostileTest, EmptyNamesCreateNothingAndNamesOfAThousandBytesFailByNameOrExtractWhole) {
  std::string deep, deeper;
  for (int i = 0; i < 100; ++i) deep += "dddddddd" + kFF;
  for (int i = 0; i < 500; ++i) deeper += "dddddddd" + kFF;
  std::string archive = Archive(Members({
      StoredLevel2({}, "no name at all"),
      StoredLevel0("", "empty level-0 name"),
      StoredLevel0("\\\\\\", "only separators"),
      StoredLevel2({{0x01, ""}, {0x02, kFF + kFF}}, "empty name in an empty directory"),
      StoredLevel0(".", "a lone dot"),
      StoredLevel2({{0x01, std::string(1000, 'n')}}, "long name"),
      StoredLevel2({{0x02, deep}, {0x01, "deep.txt"}}, "a 1000-byte path"),
      StoredLevel2({{0x02, deeper}, {0x01, "deeper.txt"}}, "a 4500-byte path"),
      StoredLevel2({{0x01, "good.txt"}}, "good"),
  }));
  EXPECT_EQ(Run("v " + archive).result, UNLHA_OK);
  Outcome x = ListTestExtract(archive);
  EXPECT_EQ(x.result, UNLHA_IO_ERROR) << x.report;
  ExpectNamed(x, "FAILED   nnnn");
  ExpectNamed(x, "3 members extracted, 5 skipped, 1 failed");
  fs::path deep_file = root_ / "out";
  for (int i = 0; i < 100; ++i) deep_file /= "dddddddd";
  EXPECT_EQ(ReadFile(deep_file / "deep.txt"), ToBytes("a 1000-byte path"));
  Names top;  // nothing of the empty names
  for (const auto& entry : fs::directory_iterator(root_ / "out")) top.push_back(entry.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (Names{"dddddddd", "good.txt"}));
}

}  // namespace
}  // namespace lzh::test
