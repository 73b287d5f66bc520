// The files a/u/m/f take in: file arguments (names and wildcards, @lists
// already expanded by the parser) found relative to the base directory,
// walked as the switches say, each with the path it is stored under.
//
// Stored paths are relative and clean: a leading separator, a drive
// prefix, "." and ".." never reach the archive, whatever the arguments
// were. The walk looks at entries without following links: a link is
// stored as a link, and a linked directory is never entered (a link loop
// cannot make the walk endless). Every file or argument that cannot be
// taken is named in the report and counted (Shortfalls); the rest of the
// files are still collected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/change/parallel_packer.h"
#include "commands/command_line.h"
#include "commands/shared/member_names.h"
#include "os/file.h"
#include "commands/report.h"
#include "commands/shared/result.h"

namespace lzh::commands {

// The files and names a writing command could not handle as asked. Each
// is named in the report under the word its count goes by, and the result
// is the worst they add up to, so that the summary, the lines and the
// result code tell one story.
class Shortfalls {
 public:
  explicit Shortfalls(Report& report) : report_(report), form_(CurrentTextForm()) {}

  // Left out by a rule: a stored name already taken, a special file, a
  // name that matches no file.
  void Skip(const std::string& path, const std::string& why);
  // Refused by the system, or not storable: the file is not in the archive.
  void Fail(const std::string& path, const std::string& why, Result result);

  size_t skipped() const { return skipped_; }
  size_t failed() const { return failed_; }
  Result result() const { return result_; }

 private:
  Report& report_;
  const TextForm form_;
  size_t skipped_ = 0, failed_ = 0;
  Result result_ = Result::kOk;
};

// Returns a reason (shown in the report) when the file must not be taken,
// nullptr when it may. Such a file is no shortfall: the user never meant
// it (the archive itself, met in the directory it is made from).
using Exclusion = std::function<const char*(const os::FileDetails&)>;

// Collects in a stable order (arguments in turn, directory entries by
// name). Without arguments takes every file of the base directory.
void CollectFiles(const CommandLine& line, const Exclusion& exclude, Report& report, Shortfalls& shortfalls,
                  std::vector<SourceFile>* files);

}  // namespace lzh::commands
