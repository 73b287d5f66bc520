// The command language through Unlha(): each line either runs the command
// the caller meant, on exactly the names meant, or is refused with a
// reason and changes nothing. `p` shows which members a line selected:
// every member holds its own name between angle brackets.
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

// Lines with no reading, or with more than one (-w taking the next token
// as its directory, an empty argument vanishing), are refused whole.
TEST_F(CommandLanguage, LinesWithoutOneReadingAreRefusedWithTheReason) {
  const std::string a = Put("a.lzh", WriteArchive({Member{{"f.txt"}, ToBytes("f")}}));
  WriteFile(root_ / "f.txt", ToBytes("f"));
  const std::pair<std::string, std::string> cases[] = {
      {"x " + a + " \"unterminated name", "not closed"},
      {"x " + a + " \"ab\"\"", "not closed"},
      {"x " + a + " a\"\"\"", "not closed"},
      {"a -w tmp " + a + " f.txt", "-w takes its directory in the same token"},
      {"a " + a + " f.txt -rw", "-w takes its directory in the same token"},
      {"a " + a + " -w", "-w takes its directory in the same token"},
      {"x \"\" " + a, "empty argument"},
      {"m " + a + " \"\"", "empty argument"},
      {"l -x5 " + a, "-x"},
      {"x -y " + a + " " + Out(), "-y"},
      {"x " + a + " @" + (root_ / "missing").string(), "list file"},
      {"l -r", ""},
      {"   ", ""},
      {"", ""},
  };
  const Bytes before = ReadFile(a);
  for (const auto& [line, reason] : cases) {
    Outcome run = RunUnlha(line);
    EXPECT_EQ(run.result, UNLHA_BAD_COMMAND) << line;
    EXPECT_NE(run.report.find(reason), std::string::npos) << line << ": " << run.report;
  }
  EXPECT_EQ(ReadFile(a), before);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(Unlha(nullptr, nullptr, nullptr, 0), UNLHA_BAD_COMMAND);
}

}  // namespace
}  // namespace lzh::test
