// How the commands that move member data (t, e, x while reading; a, u, m,
// f while adding; d) tell of each member: a status line in the report per
// member or file, and a progress line on the terminal while one is at
// work. One facility for both directions, so that every report lines its
// names up in the same column.
//
// The progress line: one line on the terminal, redrawn in place, with the
// name at hand, the bytes done of its size and the percent.
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

#include "commands/shared/member_names.h"
#include "os/time.h"

namespace lzh::commands {

// A status line: a status word ("added", "FAILED", "kept") in a column of
// this width, then the name as shown.
inline constexpr size_t kStatusWordWidth = 9;
std::string StatusLine(std::string_view word, std::string_view shown_name);
// The same into *line, whose storage a caller writing a line per member
// reuses.
void StatusLine(std::string_view word, std::string_view shown_name, std::string* line);

class ProgressLine {
 public:
  // `verb` names the work ("Extracting"); it must outlive the object.
  // `wanted` false (-n) draws nothing; `whole_names` (-l) never shortens
  // a name to fit the line.
  ProgressLine(bool wanted, bool whole_names, const char* verb);
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
