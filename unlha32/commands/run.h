// RunCommandLine: carries out one command line as the exported Unlha()
// receives it, and the two archive questions a front end asks before.
#pragma once

#include <string>
#include <string_view>

#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

// Parses and runs `line`, writing the report. A line that is nothing but
// the path of an existing archive lists that archive (a front end hands
// a bare archive path over alone, unquoted even when it holds blanks).
Result RunCommandLine(std::string_view line, Report& report);

}  // namespace lzh::commands
