// a, u and m through the exported Unlha() where a run of tavo over a
// fixed tree cannot look: names that climb out or are absolute, the
// archive among its own sources, and many files compressed two at a time
// in batches.
#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

class Commands : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    Make("src/a.txt", "alpha alpha alpha alpha", 1500000000);
    Make("src/b.c", "int main() { return 0; }", 1500000000);
    Make("src/sub/c.txt", "gamma", 1500000000);
  }
  Outcome Run(const std::string& command, const std::string& arguments = "") {
    return RunUnlha(command + " \"" + Archive() + "\" " + Base() + " " + arguments);
  }
};

// Stored paths never climb out or start at the root, and the archive,
// lying among its own sources, is never added to itself.
TEST_F(Commands, StoredPathsStayInsideAndTheArchiveIsNeverAddedToItself) {
  Make("outside.txt", "outside");
  const std::string archive = (root_ / "src/self.lzh").string();
  const std::string absolute = (root_ / "src/sub/c.txt").string();
  Outcome added = RunUnlha("a " + archive + " " + Base() + " ../outside.txt ./sub/../sub/c.txt " + absolute);
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
