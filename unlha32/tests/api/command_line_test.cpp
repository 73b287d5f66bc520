// Commands through Unlha() on exactly the members meant: the command
// language's quoting and switches (`p` shows which members a line
// selected: every member holds its own name between angle brackets).
// Refused lines and an archive of 100,000 members walked by d and t are
// the golden test's.
// And what goes to a terminal, where a run of tavo with its output in a
// file cannot look: the question before a file is replaced, and progress.
// (Files kept without a terminal to ask, or as new as the member, are the
// golden test's repeated extractions.)
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>

#include <regex>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

const std::vector<std::string> kNames = {"my file.txt", "a\"b", "-x", "@name", "tab\there", "b.c", "x.txt"};

using CommandLine = ScratchTest;

// A quote may open anywhere in a token and holds blanks, tabs and doubled
// quotes; a backslash escapes nothing; "--" ends switches and @lists;
// switches join and stand anywhere; command letters have no case.
TEST_F(CommandLine, EachLineSelectsTheMembersItNames) {
  std::vector<Member> members;
  for (const std::string& name : kNames) members.push_back(Member{{name}, ToBytes("<" + name + ">"), Method::kLh0});
  const std::string a = Put("my arc.lzh", WriteArchive(members));
  WriteFile(root_ / "list", ToBytes("b.c\r\n\r\nx.txt"));
  const std::string list = std::string("@").append((root_ / "list").string());
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

// Runs `line` in a child whose terminal is a pseudo-terminal, and prints
// the report there as a front end does; `answer` is typed once the
// terminal shows `prompt`. Returns the result and sets `*screen` to what
// the terminal showed.
int RunOnTerminal(const std::string& line, const std::string& prompt, const std::string& answer,
                  std::string* screen) {
  screen->clear();
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char> report(4096);
    int result = Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size()));
    ssize_t ignored = write(STDOUT_FILENO, report.data(), strlen(report.data()));
    (void)ignored;
    _exit(result);
  }
  bool answered = prompt.empty();
  char chunk[512];
  for (;;) {
    struct pollfd ready = {master, POLLIN, 0};
    if (poll(&ready, 1, 10000) <= 0) break;
    ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) break;
    screen->append(chunk, static_cast<size_t>(n));
    if (!answered && screen->find(prompt) != std::string::npos) {
      answered = true;
      ssize_t ignored = write(master, answer.data(), answer.size());
      (void)ignored;
    }
  }
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CommandLine, TerminalQuestionsAndProgressGoToTheTerminalOnly) {
  std::string archive = Put("a.lzh", WriteArchive({Member{{"f.txt"}, ToBytes("from archive")},
                                                    Member{{"g.txt"}, ToBytes("second")}}));
  fs::path existing = root_ / "out" / "f.txt";
  WriteFile(existing, ToBytes("on disk"));
  fs::last_write_time(existing, fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1000))));
  std::string screen;
  EXPECT_EQ(RunOnTerminal("x " + archive + " " + Out(), "[q]uit", "q\n", &screen), UNLHA_SKIPPED);
  EXPECT_NE(screen.find("Replace f.txt?"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(existing), ToBytes("on disk"));
  EXPECT_FALSE(fs::exists(root_ / "out" / "g.txt"));  // quit stops the command, and counts what it left
  EXPECT_NE(screen.find("0 members extracted, 2 skipped, 0 failed"), std::string::npos) << screen;

  EXPECT_EQ(RunOnTerminal("x " + archive + " " + Out(), "[q]uit", "y\n", &screen), UNLHA_OK);
  EXPECT_EQ(ReadFile(existing), ToBytes("from archive"));
  EXPECT_NE(screen.find("\rExtracting f.txt: 0% (0 of 12 bytes)"), std::string::npos) << screen;

  EXPECT_EQ(RunOnTerminal("t -n " + archive, "", "", &screen), UNLHA_OK);
  EXPECT_EQ(screen.find("Testing"), std::string::npos) << screen;
  // The line is drawn at once after a carriage return, redrawn in place,
  // and blanked (as many spaces as it had) before the report starts.
  EXPECT_EQ(RunOnTerminal("t " + archive, "", "", &screen), UNLHA_OK);
  EXPECT_EQ(screen.find("\r\rTesting f.txt: 0% (0 of 12 bytes)"), 0u) << screen;
  std::smatch last;
  ASSERT_TRUE(std::regex_search(screen, last, std::regex("\r(Testing [fg]\\.txt: [0-9]+% [^\r]*)\r( *)\rArchive: ")))
      << screen;
  EXPECT_EQ(last[2].length(), last[1].length());
}

}  // namespace
}  // namespace lzh::test
