// Hostile structure: sizes that lie about the data, bombs, archives cut at
// every byte, empty names and names of a thousand bytes. (Damaged headers
// and extended-header chains are the format suite's; the snapshot runs
// every command over damaged archives.)
// Each must end in a report that says what is wrong and, for extraction,
// no file that is not exactly a member (and nothing outside the target,
// which the fixture checks after every run).
#include <sys/resource.h>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

const std::string kFF(1, '\xff');

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
// archive without its end byte, which is whole.
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
  Outcome complete = Run("x -m -c " + Archive(whole) + " " + Out());
  EXPECT_EQ(complete.result, UNLHA_OK) << "an archive without its end byte is whole:\n" << complete.report;
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
