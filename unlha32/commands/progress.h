// The progress line of the commands that move member data (t, e, x while
// reading; a, u, m, f while adding): one line on the terminal, redrawn in
// place, with the name at hand, the bytes done of its size and the
// percent.
//
// It exists only for a person watching: nothing is written unless stderr
// is a terminal (a pipe or a file gets nothing) and -n is off. Redrawing
// is cheap but not free, so the line changes at most a few times a second;
// the first update draws at once, so that a long first member is never
// silent. The line is erased before anything else is said on the terminal
// (a question) and when the object goes, so the report that follows the
// command starts on a clean line. Without -l it fits an 80-column line.
#pragma once

#include <cstdint>
#include <string>

#include "commands/command_line.h"
#include "commands/names.h"
#include "os/time.h"

namespace lzh::commands {

class ProgressLine {
 public:
  // `verb` names the work ("Extracting"); it must outlive the object.
  ProgressLine(const Switches& switches, const char* verb);
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts on a member or file: `name` in the local form, `size` bytes.
  void Begin(const std::string& name, uint64_t size);
  // `done` bytes of the current one are through.
  void Update(uint64_t done) {
    if (!shown_) return;
    done_ = done;
    if (os::MonotonicMilliseconds() >= next_draw_) Draw();
  }
  // Erases the line, if one is drawn.
  void Clear();

 private:
  void Draw();
  // Returns to the line's start over blanks where the last drawing was.
  std::string Blank() const;

  const bool shown_;
  const bool whole_names_;
  const char* const verb_;
  const TextForm form_;
  std::string name_;
  uint64_t size_ = 0, done_ = 0;
  uint64_t next_draw_ = 0;  // on the monotonic clock
  size_t drawn_bytes_ = 0;
};

}  // namespace lzh::commands
