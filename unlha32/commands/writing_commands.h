// The commands that change archives: a, u, m and f (add files), d (delete
// members) and s (make a self-extracting program). Each runs the whole
// command, writes every problem as a report line and returns the worst
// result it met. None of them changes an archive in place: see
// ArchiveUpdate.
#pragma once

#include <optional>
#include <string>

#include "commands/change/archive_rewrite.h"
#include "commands/command_line.h"
#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

// What a change takes from the command line.
inline ChangeOptions ChangeOptionsOf(const Switches& switches) {
  return ChangeOptions{switches.work_directory, switches.archive_time_newest};
}

// The report as the change transaction speaks into it.
class ReportOfChange final : public ChangeReport {
 public:
  explicit ReportOfChange(Report& report) : report_(report) {}
  void Line(const std::string& text) override { report_.Line(text); }
  void Hold() override { held_ = report_.Mark(); }
  void TakeBack() override {
    if (held_) report_.Rewind(*held_);
  }

 private:
  Report& report_;
  std::optional<Report::Position> held_;
};

Result AddFiles(const CommandLine& line, Report& report);
Result DeleteMembers(const CommandLine& line, Report& report);
Result MakeSelfExtracting(const CommandLine& line, Report& report);

}  // namespace lzh::commands
