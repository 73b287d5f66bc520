// The commands that change archives: a, u, m and f (add files), d (delete
// members) and s (make a self-extracting program). Each runs the whole
// command, writes every problem as a report line and returns the worst
// result it met. None of them changes an archive in place: see
// ArchiveUpdate.
#pragma once

#include "commands/command_line.h"
#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

Result AddFiles(const CommandLine& line, Report& report);
Result DeleteMembers(const CommandLine& line, Report& report);
Result MakeSelfExtracting(const CommandLine& line, Report& report);

}  // namespace lzh::commands
