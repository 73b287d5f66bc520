// Command dispatch: the reading commands, and the writing commands that
// change an archive only through a temporary file renamed over it. Every
// command works on, and its report names, the archive the argument stands
// for (ArchivePathFor), so `a backup` writes backup.lzh and says so.
#include "commands/run.h"

#include "commands/shared/archive_reading.h"
#include "commands/command_line.h"
#include "commands/shared/member_names.h"
#include "commands/reading_commands.h"
#include "commands/writing_commands.h"

namespace lzh::commands {
namespace {

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

}  // namespace

Result RunCommandLine(std::string_view line, Report& report) {
  std::string bare(Trimmed(line));
  if (!bare.empty() && IsReadableArchive(bare)) {
    CommandLine list;
    list.command = Command::kList;
    list.archive = bare;
    return ListArchive(list, report);
  }
  CommandLine parsed;
  std::string error;
  if (!ParseCommandLine(line, &parsed, &error)) {
    report.Line("Command line not understood: " + DisplayName(error, CurrentTextForm()));
    return Result::kBadCommand;
  }
  parsed.archive = ArchivePathFor(parsed.archive);
  switch (parsed.command) {
    case Command::kList:
    case Command::kVerboseList: return ListArchive(parsed, report);
    case Command::kTest:
    case Command::kExtract:
    case Command::kExtractPaths:
    case Command::kPrint: return ExtractMembers(parsed, report);
    case Command::kAdd:
    case Command::kUpdate:
    case Command::kMove:
    case Command::kFreshen: return AddFiles(parsed, report);
    case Command::kDelete: return DeleteMembers(parsed, report);
    case Command::kSelfExtract: return MakeSelfExtracting(parsed, report);
  }
  return Result::kInternal;
}

}  // namespace lzh::commands
