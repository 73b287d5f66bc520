// An archive of 100,000 members, which every command walks member by
// member: each member must be met once and in order across the walk's
// buffer refills, while member data is read in between, and a command
// that needs two walks (p counts before it prints, d selects before it
// copies) must see the same members in both.
#include <algorithm>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

constexpr int kMembers = 100000;

std::string Contents(int i) { return "member " + std::to_string(i) + "\n"; }

class ManyMembers : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    std::vector<Member> members;
    members.reserve(kMembers);
    for (int i = 0; i < kMembers; ++i)
      members.push_back(Member{{"dir" + std::to_string(i % 100), "file" + std::to_string(i) + ".txt"},
                               ToBytes(Contents(i)), Method::kLh0});
    archive_ = Put("many.lzh", WriteArchive(members));
  }
  std::string archive_;
};

TEST_F(ManyMembers, EveryMemberIsTestedOnceInOrder) {
  Outcome tested = RunUnlha("t -n " + archive_, 8 << 20);
  EXPECT_EQ(tested.result, UNLHA_OK);
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < tested.report.size(); start = end + 1) {
    end = std::min(tested.report.find('\n', start), tested.report.size());
    lines.push_back(tested.report.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), static_cast<size_t>(kMembers) + 2);
  EXPECT_EQ(lines[0].rfind("Archive: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "ok       dir0/file0.txt");
  EXPECT_EQ(lines[54322], "ok       dir21/file54321.txt");
  EXPECT_EQ(lines[kMembers], "ok       dir99/file99999.txt");
  EXPECT_EQ(lines.back(), "100000 members tested, 0 skipped, 0 failed");
}

TEST_F(ManyMembers, SelectedMembersAreExtractedAndPrintedWithLabelsOnlyWhenSeveral) {
  Outcome extracted = RunUnlha("x -n " + archive_ + " " + Out() + " file9999?.txt");
  EXPECT_EQ(extracted.result, UNLHA_OK) << extracted.report;
  std::vector<std::string> expected;
  for (int i = 99990; i < kMembers; ++i) {
    std::string path = "dir" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".txt";
    EXPECT_EQ(ReadFile(root_ / "out" / path), ToBytes(Contents(i))) << path;
    expected.push_back("dir" + std::to_string(i % 100));
    expected.push_back(path);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(), expected);

  EXPECT_EQ(RunUnlha("p " + archive_ + " file77777.txt").report, "member 77777");
  Outcome labelled = RunUnlha("p " + archive_ + " file1234?.txt");
  EXPECT_EQ(std::count(labelled.report.begin(), labelled.report.end(), ':'), 10 * 7);
  EXPECT_NE(labelled.report.find("::::::: dir49/file12349.txt\nmember 12349"), std::string::npos) << labelled.report;
}

TEST_F(ManyMembers, DeletingOneKeepsAllTheOthers) {
  Outcome deleted = RunUnlha("d " + archive_ + " file50000.txt");
  EXPECT_EQ(deleted.result, UNLHA_OK) << deleted.report;
  EXPECT_EQ(deleted.report.substr(0, 24), "deleted  dir0/file50000.");
  EXPECT_EQ(UnlhaGetFileCount(archive_.c_str()), kMembers - 1);
  EXPECT_EQ(RunUnlha("p " + archive_ + " file50001.txt").report, "member 50001");
  EXPECT_EQ(RunUnlha("p " + archive_ + " file99999.txt").report, "member 99999");
}

}  // namespace
}  // namespace lzh::test
