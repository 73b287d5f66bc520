// The progress line. Each drawing first blanks what the previous one left
// (as many spaces as it had bytes, which is never fewer than the columns
// it took) and then writes the new text after a carriage return, all in
// one write: no escape sequences, so a Windows console shows it the same
// way. A whole name (-l) may be wider than the terminal; then only the
// last row of the line is redrawn, but the blanking never wraps.
#include "commands/shared/progress.h"

#include <utility>

#include "os/terminal.h"
#include "os/text.h"
#include "os/time.h"

namespace lzh::commands {
namespace {

constexpr uint64_t kRedrawMilliseconds = 200;
// A name is shortened to what the line leaves it, but never below this.
constexpr size_t kShortestName = 20;

unsigned Percent(uint64_t done, uint64_t size) {
  if (done >= size) return 100;
  return static_cast<unsigned>(size > UINT64_MAX / 100 ? done / (size / 100) : done * 100 / size);
}

}  // namespace

std::string StatusLine(std::string_view word, std::string_view shown_name) {
  std::string line;
  StatusLine(word, shown_name, &line);
  return line;
}

void StatusLine(std::string_view word, std::string_view shown_name, std::string* line) {
  line->assign(word);
  line->resize(kStatusWordWidth, ' ');
  line->append(shown_name);
}

ProgressLine::ProgressLine(bool wanted, bool whole_names, const char* verb)
    : shown_(wanted && os::StderrIsTerminal()),
      whole_names_(whole_names),
      verb_(verb),
      form_(CurrentTextForm()) {}

void ProgressLine::Begin(const std::string& name, uint64_t size) {
  if (!shown_) return;
  name_ = name;
  size_ = size;
  Update(0);
}

void ProgressLine::Draw() {
  const std::string figures = ": " + std::to_string(Percent(done_, size_)) + "% (" + std::to_string(done_) + " of " +
                              std::to_string(size_) + " bytes)";
  std::string name = DisplayName(name_, form_);
  if (!whole_names_) {
    size_t room = kLineLimit - std::string_view(verb_).size() - 1 - figures.size();
    name = FitName(std::move(name), room < kShortestName ? kShortestName : room, form_);
  }
  // Blanked by the bytes the terminal got, which differ from the library's
  // own where the caller's code page is not its form.
  std::string line = os::TextForCaller(std::string(verb_) + " " + name + figures);
  os::WriteStderr(Blank() + line);
  drawn_bytes_ = line.size();
  next_draw_ = os::MonotonicMilliseconds() + kRedrawMilliseconds;
}

std::string ProgressLine::Blank() const {
  std::string blank(2 + (drawn_bytes_ < kLineLimit ? drawn_bytes_ : kLineLimit), ' ');
  blank.front() = blank.back() = '\r';
  return blank;
}

void ProgressLine::Clear() {
  if (drawn_bytes_ == 0) return;
  os::WriteStderr(Blank());
  drawn_bytes_ = 0;
}

}  // namespace lzh::commands
