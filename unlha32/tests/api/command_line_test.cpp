// Commands through Unlha() on exactly the members meant: the command
// language's quoting and switches (`p` shows which members a line
// selected: every member holds its own name between angle brackets), and
// an archive of 100,000 members, which every command walks member by
// member: each must be met once and in order across the walk's buffer
// refills, while member data is read in between, and a command that needs
// two walks (p counts before it prints, d selects before it copies) must
// see the same members in both. Refused lines are the golden test's.
#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

const std::vector<std::string> kNames = {"my file.txt", "a\"b", "-x", "@name", "tab\there", "b.c", "x.txt"};

using CommandLanguage = ScratchTest;

// A quote may open anywhere in a token and holds blanks, tabs and doubled
// quotes; a backslash escapes nothing; "--" ends switches and @lists;
// switches join and stand anywhere; command letters have no case.
TEST_F(CommandLanguage, EachLineSelectsTheMembersItNames) {
  std::vector<Member> members;
  for (const std::string& name : kNames) members.push_back(Member{{name}, ToBytes("<" + name + ">"), Method::kLh0});
  const std::string a = Put("my arc.lzh", WriteArchive(members));
  WriteFile(root_ / "list", ToBytes("b.c\r\n\r\nx.txt"));
  const std::string list = "@" + (root_ / "list").string();
  const struct {
    std::string line;
    std::vector<std::string> selected;
  } cases[] = {
      {"p \"" + a + "\" \"my file.txt\"", {"my file.txt"}},
      {"p  \t\"" + a + "\" my\" \"file.txt ", {"my file.txt"}},
      {"p \"" + a + "\" \"a\"\"b\"", {"a\"b"}},
      {"p \"" + a + "\" \"tab\there\"", {"tab\there"}},
      {"p \"" + a + "\" -- -x @name", {"-x", "@name"}},
      {"P -n+i- \"" + a + "\" B.C", {"b.c"}},
      {"p \"" + a + "\" B.C -i-", {"b.c"}},
      {"p \"" + a + "\" " + list, {"b.c", "x.txt"}},
      {"p \"" + a + "\" b.c x.txt", {"b.c", "x.txt"}},
  };
  for (const auto& c : cases) {
    Outcome run = RunUnlha(c.line);
    EXPECT_EQ(run.result, UNLHA_OK) << c.line << "\n" << run.report;
    for (const std::string& name : kNames) {
      bool wanted = std::find(c.selected.begin(), c.selected.end(), name) != c.selected.end();
      EXPECT_EQ(run.report.find("<" + name + ">") != std::string::npos, wanted) << c.line << ": " << name;
    }
  }
}

constexpr int kMembers = 100000;

std::string Contents(int i) { return "member " + std::to_string(i) + "\n"; }
std::string PathOf(int i) { return "dir" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".txt"; }

using ManyMembers = ScratchTest;

TEST_F(ManyMembers, EveryCommandMeetsEveryMemberOnceInOrder) {
  std::vector<Member> members;
  for (int i = 0; i < kMembers; ++i)
    members.push_back(Member{{"dir" + std::to_string(i % 100), "file" + std::to_string(i) + ".txt"},
                             ToBytes(Contents(i)), Method::kLh0});
  const std::string archive = Put("many.lzh", WriteArchive(members));
  std::string expected;  // after the archive's title line
  for (int i = 0; i < kMembers; ++i) expected += "ok       " + PathOf(i) + "\n";
  expected += "100000 members tested, 0 skipped, 0 failed";
  std::string tested = RunUnlha("t -n " + archive, 8 << 20).report;
  tested.erase(0, tested.find('\n') + 1);
  // Not EXPECT_EQ, whose diff of two 3 MB texts takes gigabytes.
  size_t same = std::mismatch(expected.begin(), expected.end(), tested.begin(), tested.end()).first - expected.begin();
  EXPECT_TRUE(same == expected.size() && tested.size() == same) << tested.substr(same > 40 ? same - 40 : 0, 80);

  Outcome extracted = RunUnlha("x -n " + archive + " " + Out() + " file9999?.txt");
  EXPECT_EQ(extracted.result, UNLHA_OK) << extracted.report;
  for (int i = 99990; i < kMembers; ++i) EXPECT_EQ(ReadFile(root_ / "out" / PathOf(i)), ToBytes(Contents(i)));
  EXPECT_EQ(Entries().size(), 20u);  // ten files, each in a directory of its own

  Outcome labelled = RunUnlha("p " + archive + " file1234?.txt");
  EXPECT_EQ(std::count(labelled.report.begin(), labelled.report.end(), ':'), 10 * 7);
  EXPECT_TRUE(Contains(labelled.report, "::::::: dir49/file12349.txt\nmember 12349")) << labelled.report;

  Outcome deleted = RunUnlha("d " + archive + " file50000.txt");
  EXPECT_EQ(deleted.report.substr(0, 24), "deleted  dir0/file50000.");
  EXPECT_EQ(UnlhaGetFileCount(archive.c_str()), kMembers - 1);
  EXPECT_EQ(RunUnlha("p " + archive + " file50001.txt").report, "member 50001");
  EXPECT_EQ(RunUnlha("p " + archive + " file99999.txt").report, "member 99999");
}

}  // namespace
}  // namespace lzh::test
