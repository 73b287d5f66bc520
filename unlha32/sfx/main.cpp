// The self-extracting program: the `s` command writes this program with an
// archive appended. Run without arguments it extracts that archive into
// the current directory with the paths stored, exactly as the library's
// `x` does (no write outside the directory, no link followed, existing
// files kept unless the user answers yes), and prints the report.
//
// It is built from the library's static layers, so that it decodes with
// the same code; readers find the archive it carries where its ELF or PE
// image ends, so its size (megabytes with sanitizers) does not matter.
#include <cstdio>
#include <vector>

#include "commands/command_line.h"
#include "commands/reading_commands.h"
#include "commands/report.h"
#include "os/os.h"

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
  std::vector<char> text(1 << 20);
  Report report(text.data(), text.size());
  Result result = Result::kInternal;
  if (line.archive.empty()) {
    report.Line("Cannot find this program's own file.");
  } else {
    result = ExtractMembers(line, report);
  }
  report.Finish();
  std::fputs(text.data(), stdout);
  std::fputc('\n', stdout);
  return static_cast<int>(result);
}
