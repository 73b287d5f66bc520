// The commands that read archives: l and v (list), t (test), e and x
// (extract), p (print into the report). Each runs the whole command and
// returns the worst result it met; every problem is a line in the report.
#pragma once

#include "commands/command_line.h"
#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

Result ListArchive(const CommandLine& line, Report& report);
Result ExtractMembers(const CommandLine& line, Report& report);

}  // namespace lzh::commands
