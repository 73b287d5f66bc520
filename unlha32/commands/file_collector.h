// The files a/u/m/f take in: file arguments (names and wildcards, @lists
// already expanded by the parser) found relative to the base directory,
// walked as the switches say, each with the path it is stored under.
//
// Stored paths are relative and clean: a leading separator, a drive
// prefix, "." and ".." never reach the archive, whatever the arguments
// were. The walk looks at entries without following links: a link is
// stored as a link, and a linked directory is never entered (a link loop
// cannot make the walk endless). Problems become report lines and a
// result; the rest of the files are still collected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "command_line.h"
#include "names.h"
#include "os/os.h"
#include "report.h"
#include "result.h"

namespace lzh::commands {

struct SourceFile {
  std::string disk_path;                  // as the system takes it
  std::vector<std::string> stored_path;   // components, never empty
  os::FileDetails details;                // type kFile, kSymlink or kDirectory
};

// Returns a reason (shown in the report) when the file must not be taken,
// nullptr when it may.
using Exclusion = std::function<const char*(const os::FileDetails&)>;

// Collects in a stable order (arguments in turn, directory entries by
// name). Without arguments takes every file of the base directory.
Result CollectFiles(const CommandLine& line, const Exclusion& exclude, Report& report,
                    std::vector<SourceFile>* files);

}  // namespace lzh::commands
