// Report writer. Once a piece does not fit, everything after it is
// dropped (a report with a hole in the middle would mislead); Finish()
// then backs up to a line boundary that leaves room for the cut notice.
#include "commands/report.h"

#include <cstring>

#include "base/utf8.h"
#include "os/text.h"

namespace lzh::commands {
namespace {

constexpr std::string_view kCutNotice = "(report cut here: the buffer is too small for the rest)";

}  // namespace

Report::Report(char* buffer, size_t size)
    : buffer_(size > 0 ? buffer : nullptr), capacity_(buffer != nullptr && size > 0 ? size - 1 : 0) {}

bool Report::Append(std::string_view text) {
  if (cut_) return false;
  if (text.size() > capacity_ - length_) {
    cut_ = true;
    return false;
  }
  std::memcpy(buffer_ + length_, text.data(), text.size());
  length_ += text.size();
  return true;
}

void Report::Line(std::string_view text) {
  if (buffer_ == nullptr) return;
  if (length_ > 0 && (last_was_line_ || buffer_[length_ - 1] != '\n')) Append("\n");
  // Most lines are ASCII, which needs no conversion.
  if (Append(IsAscii(text) ? text : os::TextForCaller(text))) whole_lines_ = length_;
  last_was_line_ = true;
}

void Report::Text(std::string_view text) {
  if (buffer_ == nullptr || text.empty()) return;
  if (length_ > 0 && last_was_line_) Append("\n");
  last_was_line_ = false;
  size_t start = length_;
  if (!Append(text)) return;
  size_t last_break = text.rfind('\n');
  if (last_break != std::string_view::npos) whole_lines_ = start + last_break + 1;
}

void Report::Finish() {
  if (buffer_ == nullptr) return;
  if (cut_) {
    size_t keep = whole_lines_;
    if (keep > 0 && buffer_[keep - 1] == '\n') --keep;
    // Drop whole lines from the end until "\n" + notice fits.
    while (keep > 0 && keep + 1 + kCutNotice.size() > capacity_) {
      --keep;
      while (keep > 0 && buffer_[keep] != '\n') --keep;
    }
    if (keep > 0) buffer_[keep++] = '\n';
    size_t notice = kCutNotice.size() < capacity_ - keep ? kCutNotice.size() : capacity_ - keep;
    std::memcpy(buffer_ + keep, kCutNotice.data(), notice);
    length_ = keep + notice;
  } else if (!last_was_line_ && length_ > 0 && buffer_[length_ - 1] == '\n') {
    --length_;  // raw text ended with a break; the front end adds its own
  }
  buffer_[length_] = '\0';
}

}  // namespace lzh::commands
