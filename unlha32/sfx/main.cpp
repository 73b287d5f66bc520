// The self-extracting program: the `s` command writes this program with an
// archive appended. Run without arguments it extracts that archive into
// the current directory with the paths stored, exactly as the library's
// `x` does (no write outside the directory, no link followed, existing
// files kept unless the user answers yes), and prints the report.
//
// It is built from the library's static layers, so that it decodes with
// the same code; readers find the archive it carries where its ELF or PE
// image ends, so its size (megabytes with sanitizers) does not matter.
//
// Its report is never cut: the buffer has the room the library's header
// promises for the archive it carries, and only the part the report fills
// is ever touched.
#include <cstdio>
#include <memory>

#include "commands/command_line.h"
#include "commands/member_walk.h"
#include "commands/reading_commands.h"
#include "commands/report.h"
#include "include/unlha32.h"
#include "os/os.h"

namespace {

size_t ReportRoom(const std::string& archive) {
  size_t room = UNLHA_REPORT_FIXED_ROOM + UNLHA_REPORT_LINE_FACTOR * archive.size();
  lzh::commands::MemberWalk walk;
  if (!walk.Open(archive).ok()) return room;
  walk.Restart({});
  for (bool end = false; walk.Next(&end).ok() && !end;)
    room += UNLHA_REPORT_MEMBER_ROOM + UNLHA_REPORT_NAME_FACTOR * walk.shown_name().size();
  return room;
}

}  // namespace

int main(int argc, char**) {
  using namespace lzh::commands;
  if (argc > 1) {
    std::fputs("Run this program without arguments: it extracts the archive it holds into the current directory.\n",
               stderr);
    return static_cast<int>(Result::kBadCommand);
  }
  CommandLine line;
  line.command = Command::kExtractPaths;
  line.archive = lzh::os::ExecutablePath();
  size_t room = ReportRoom(line.archive);
  std::unique_ptr<char[]> text(new char[room]);
  Report report(text.get(), room);
  Result result = Result::kInternal;
  if (line.archive.empty()) {
    report.Line("Cannot find this program's own file.");
  } else {
    result = ExtractMembers(line, report);
  }
  report.Finish();
  std::fputs(text.get(), stdout);
  std::fputc('\n', stdout);
  return static_cast<int>(result);
}
