// The reading commands through Unlha() where tavo's runs cannot look
// (tests/e2e_library/reading_test.cpp selects, prints and extracts there):
// files already there kept, asked about or replaced, and what goes to a
// terminal.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>

#include <regex>

#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

using Extraction = ScratchTest;

// Existing files: kept when as new or newer, replaced with -m when older,
// asked about on a terminal, and skipped with a note when there is none.
// The runs without -m happen in a child without a controlling terminal.
int RunDetached(const std::string& line, std::string* report) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    setsid();
    std::vector<char> buffer(4096);
    int result = Unlha(nullptr, line.c_str(), buffer.data(), static_cast<uint32_t>(buffer.size()));
    ssize_t ignored = write(pipe_fds[1], buffer.data(), strlen(buffer.data()));
    (void)ignored;
    _exit(result);
  }
  close(pipe_fds[1]);
  char chunk[512];
  for (ssize_t n; (n = read(pipe_fds[0], chunk, sizeof chunk)) > 0;) report->append(chunk, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Extraction, ExistingFilesAreKeptAskedAboutOrReplaced) {
  std::string archive = Put("a.lzh", WriteArchive({Member{{"f.txt"}, ToBytes("from archive")}}));
  fs::path existing = root_ / "out" / "f.txt";
  auto set_existing = [&](int64_t mtime) {
    WriteFile(existing, ToBytes("on disk"));
    fs::last_write_time(existing, fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(mtime))));
  };
  set_existing(1300000000 + 10);  // newer than the member
  Outcome newer = RunUnlha("x -m " + archive + " " + Out());
  EXPECT_EQ(newer.result, UNLHA_OK);
  EXPECT_NE(newer.report.find("as new or newer"), std::string::npos);
  EXPECT_EQ(ReadFile(existing), ToBytes("on disk"));

  set_existing(1300000000 - 10);  // older, no terminal to ask
  std::string report;
  EXPECT_EQ(RunDetached("x " + archive + " " + Out(), &report), UNLHA_SKIPPED);
  EXPECT_NE(report.find("-m replaces it"), std::string::npos) << report;
  EXPECT_EQ(ReadFile(existing), ToBytes("on disk"));

  EXPECT_EQ(RunUnlha("x -m " + archive + " " + Out()).result, UNLHA_OK);
  EXPECT_EQ(ReadFile(existing), ToBytes("from archive"));

  set_existing(1300000000 + 10);  // newer, but -c skips the date check
  EXPECT_EQ(RunUnlha("x -c -m " + archive + " " + Out()).result, UNLHA_OK);
  EXPECT_EQ(ReadFile(existing), ToBytes("from archive"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"f.txt"});  // no temporary left behind
}

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
