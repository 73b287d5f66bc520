// Report: the text a command leaves in the caller's buffer.
//
// The buffer belongs to the caller and its size is a hard limit: the
// report is written straight into it (no second copy of a large `p`
// output), always NUL-terminated, never a byte past the size. When the
// text does not fit, it is cut after the last whole line that leaves room
// for a final line saying so. Lines are separated by '\n'; the last line
// has none (the front end adds one when it prints). Lines go to the caller
// in its own text form (the ANSI code page on Windows); raw text (a
// member's contents) goes as it is.
#pragma once

#include <cstddef>
#include <string_view>

namespace lzh::commands {

class Report {
 public:
  // `buffer` may be null or `size` 0: the command then runs without text.
  Report(char* buffer, size_t size);
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  // Adds one line (it must not hold '\n').
  void Line(std::string_view text);
  // Adds raw text that may hold line breaks (a member's contents); the
  // next Line() starts on a line of its own.
  void Text(std::string_view text);
  // Puts the cut notice and the terminating NUL in place. Called once,
  // after the last line.
  void Finish();

  bool cut() const { return cut_; }

  // Where the report stands; Rewind(Mark()) takes back what was added
  // since, as if it had never been added.
  struct Position {
    size_t length, whole_lines;
    bool cut, last_was_line;
  };
  Position Mark() const { return Position{length_, whole_lines_, cut_, last_was_line_}; }
  void Rewind(const Position& position) {
    length_ = position.length;
    whole_lines_ = position.whole_lines;
    cut_ = position.cut;
    last_was_line_ = position.last_was_line;
  }

 private:
  bool Append(std::string_view text);

  char* buffer_;
  size_t capacity_;  // bytes available for text, NUL excluded
  size_t length_ = 0;
  size_t whole_lines_ = 0;  // length up to the end of the last complete line
  bool cut_ = false;
  bool last_was_line_ = false;  // the next piece needs a line break first
};

}  // namespace lzh::commands
