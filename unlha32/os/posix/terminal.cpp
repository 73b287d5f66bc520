// POSIX terminal: the standard descriptors and /dev/tty for questions.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "os/terminal.h"

namespace lzh::os {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

namespace {

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

void WriteStderr(std::string_view text) { WriteAll(STDERR_FILENO, text); }

void WriteStdout(std::string_view text) { WriteAll(STDOUT_FILENO, text); }

bool AskOnTerminal(std::string_view question, std::string* answer) {
  int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  WriteAll(fd, question);
  answer->clear();
  char c;
  for (;;) {
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    if (answer->size() < 256) answer->push_back(c);
  }
  ::close(fd);
  return true;
}

}  // namespace lzh::os
