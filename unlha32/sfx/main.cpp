// The self-extracting program: the `s` command writes this program with an
// archive appended. It extracts that archive into the folder its one
// argument names (made when missing), or without one into the current
// directory, with the paths stored, exactly as the library's `x` does (no
// write outside the folder, no link followed, existing files kept unless
// the user answers yes), and prints the report. `-?` and `/?` show how to
// run it; any other switch is refused, so that `--help` never becomes a
// folder.
//
// It is built from the library's layers compiled for size (CMakeLists.txt
// says how), so that it decodes with the same code; readers find the
// archive it carries where its ELF or PE image ends, so its size
// (megabytes with sanitizers) does not matter to them.
//
// Its report is never cut: the buffer has the room the library's header
// promises for the archive it carries, and only the part the report fills
// is ever touched.
#include <memory>
#include <string_view>

#include "commands/command_line.h"
#include "commands/member_walk.h"
#include "commands/reading_commands.h"
#include "commands/report.h"
#include "include/unlha32.h"
#include "os/file.h"
#include "os/terminal.h"
#include "os/text.h"

namespace {

constexpr char kUsage[] =
    "Run this program without arguments to extract the archive it holds into the current directory, or with a "
    "folder to extract it into (made when missing).\n";

size_t ReportRoom(const lzh::commands::CommandLine& line) {
  size_t room = UNLHA_REPORT_FIXED_ROOM + UNLHA_REPORT_LINE_FACTOR * (line.archive.size() + line.base_directory.size());
  lzh::commands::MemberWalk walk;
  if (!walk.Open(line.archive).ok()) return room;
  walk.Restart({});
  for (bool end = false; walk.Next(&end).ok() && !end;)
    room += UNLHA_REPORT_MEMBER_ROOM + UNLHA_REPORT_NAME_FACTOR * walk.shown_name().size();
  return room;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lzh::commands;
  const std::string_view folder = argc > 1 ? argv[1] : "";
  if (argc == 2 && (folder == "-?" || folder == "/?")) {
    lzh::os::WriteStdout(kUsage);
    return static_cast<int>(Result::kOk);
  }
  if (argc > 2 || (argc == 2 && (folder.empty() || folder.front() == '-'))) {
    lzh::os::WriteStderr(kUsage);
    return static_cast<int>(Result::kBadCommand);
  }
  CommandLine line;
  line.command = Command::kExtractPaths;
  line.archive = lzh::os::ExecutablePath();
  line.base_directory = lzh::os::TextFromCaller(folder);
  size_t room = ReportRoom(line);
  std::unique_ptr<char[]> text(new char[room]);
  Report report(text.get(), room);
  Result result = Result::kInternal;
  if (line.archive.empty()) {
    report.Line("Cannot find this program's own file.");
  } else {
    result = ExtractMembers(line, report);
  }
  report.Finish();
  lzh::os::WriteStdout(text.get());
  lzh::os::WriteStdout("\n");
  return static_cast<int>(result);
}
