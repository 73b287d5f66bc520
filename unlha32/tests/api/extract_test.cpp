// Extraction through Unlha() where a run of tavo with its output in a file
// cannot look: what goes to a terminal (the question before a file is
// replaced, progress). Files kept without a terminal to ask, or as new as
// the member, are the behaviour snapshot's repeated extractions.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>

#include <regex>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

using Extraction = ScratchTest;

// Runs `line` in a child whose terminal is a pseudo-terminal, and prints
// the report there as a front end does; `answer` is typed once the
// terminal shows `prompt`. Returns the result and fills `*screen` with what
// the terminal showed.
int RunOnTerminal(const std::string& line, const std::string& prompt, const std::string& answer,
                  std::string* screen) {
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

TEST_F(Extraction, TerminalQuestionsAndProgressGoToTheTerminalOnly) {
  std::string archive = Put("a.lzh", WriteArchive({Member{{"f.txt"}, ToBytes("from archive")},
                                                    Member{{"g.txt"}, ToBytes("second")}}));
  fs::path existing = root_ / "out" / "f.txt";
  auto set_older = [&] {
    WriteFile(existing, ToBytes("on disk"));
    fs::last_write_time(existing, fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1000))));
  };
  set_older();
  std::string screen;
  EXPECT_EQ(RunOnTerminal("x " + archive + " " + Out(), "[q]uit", "q\n", &screen), UNLHA_SKIPPED);
  EXPECT_NE(screen.find("Replace f.txt?"), std::string::npos) << screen;
  EXPECT_EQ(ReadFile(existing), ToBytes("on disk"));
  EXPECT_FALSE(fs::exists(root_ / "out" / "g.txt"));  // quit stops the command, and counts what it left
  EXPECT_NE(screen.find("0 members extracted, 2 skipped, 0 failed"), std::string::npos) << screen;

  screen.clear();
  EXPECT_EQ(RunOnTerminal("x " + archive + " " + Out(), "[q]uit", "y\n", &screen), UNLHA_OK);
  EXPECT_EQ(ReadFile(existing), ToBytes("from archive"));
  EXPECT_NE(screen.find("\rExtracting f.txt: 0% (0 of 12 bytes)"), std::string::npos) << screen;

  screen.clear();
  EXPECT_EQ(RunOnTerminal("t -n " + archive, "", "", &screen), UNLHA_OK);
  EXPECT_EQ(screen.find("Testing"), std::string::npos) << screen;
  // The line is drawn at once after a carriage return, redrawn in place,
  // and blanked (as many spaces as it had) before the report starts.
  screen.clear();
  EXPECT_EQ(RunOnTerminal("t " + archive, "", "", &screen), UNLHA_OK);
  EXPECT_EQ(screen.find("\r\rTesting f.txt: 0% (0 of 12 bytes)"), 0u) << screen;
  std::smatch last;
  ASSERT_TRUE(std::regex_search(screen, last, std::regex("\r(Testing [fg]\\.txt: [0-9]+% [^\r]*)\r( *)\rArchive: ")))
      << screen;
  EXPECT_EQ(last[2].length(), last[1].length());
}

}  // namespace
}  // namespace lzh::test
