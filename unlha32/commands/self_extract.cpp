// s: make a self-extracting program from an archive. The program is the
// extractor built with this library, followed by the archive's members
// copied byte for byte and an end byte; an archive that is itself a
// self-extracting program gets the current extractor in place of its own.
//
// The program is named after the archive without its extension (with
// ".exe" on Windows), in the base directory when one is given (made when
// missing, as extraction makes its own). It is
// written through the same temporary-file transaction as an archive, and
// a file of that name that is not a self-extracting archive already is
// never overwritten: the name may well belong to something of the user's.
#include <string>

#include "commands/change/archive_rewrite.h"
#include "commands/shared/archive_reading.h"
#include "commands/shared/member_names.h"
#include "commands/shared/paths.h"
#include "os/file.h"
#include "sfx/stub.h"
#include "commands/writing_commands.h"

namespace lzh::commands {
namespace {

std::string ProgramPath(const CommandLine& line) {
  std::string directory, name;
  SplitDirectoryAndName(line.archive, &directory, &name);
  return (line.base_directory.empty() ? directory : line.base_directory) + os::ProgramName(name);
}

// Only a sound self-extracting archive may make way for the new program:
// anything else of its name (a document, a plain archive, a damaged one)
// is the user's and stays.
bool IsSoundSelfExtractingArchive(const std::string& path) {
  ArchiveContents contents;
  if (!OpenArchive(path, &contents).ok() || contents.archive_offset == 0) return false;
  WalkMembers(contents, [](const MemberHeader&) {});
  return contents.damage.ok();
}

}  // namespace

Result MakeSelfExtracting(const CommandLine& line, Report& report) {
  const TextForm form = CurrentTextForm();
  ArchiveContents archive;
  Status status = WalkArchive(line.archive, &archive, [](const MemberHeader&) {});
  if (!status.ok()) {
    report.Line("Cannot read " + DisplayName(line.archive, form) + ": " + status.message());
    return Result::kNotArchive;
  }
  if (!archive.damage.ok()) {
    report.Line(DisplayName(line.archive, form) + " is damaged (" + archive.damage.message() +
                "); no self-extracting program is made from it.");
    return Result::kDamaged;
  }
  if (!line.base_directory.empty()) {
    status = os::MakeDirectories(line.base_directory);
    if (!status.ok()) {
      report.Line("Cannot use the directory " + DisplayName(line.base_directory, form) + ": " + status.message());
      return Result::kIoError;
    }
  }
  std::string program = ProgramPath(line);
  ReportOfChange change_report(report);
  ArchiveRewrite rewrite(ChangeOptionsOf(line.switches), change_report);
  Result result = rewrite.Begin(program, false);
  if (result != Result::kOk) return result;
  if (rewrite.exists() && !IsSoundSelfExtractingArchive(program)) {
    report.Line(rewrite.shown_name() + " exists and is no self-extracting archive; it is left as it is.");
    return Result::kSkipped;
  }
  if (!rewrite.exists()) (void)rewrite.output().SetMode(0777 & ~os::ProcessUmask());
  std::span<const uint8_t> stub = sfx::Stub();
  status = rewrite.output().Write(stub.data(), stub.size());
  ArchiveWriter writer(rewrite.output(), 2);  // only copies: no header is built
  uint64_t members = 0;
  WalkMembers(archive, [&](const MemberHeader& member) {
    if (!status.ok()) return;
    status = writer.CopyMember(*archive.reader, member);
    rewrite.NoteMemberTime(member);
    ++members;
  });
  if (status.ok()) status = archive.damage;  // damage the first walk did not meet: the archive changed
  if (!status.ok()) return rewrite.Abandon(status);
  archive.reader.reset();
  result = rewrite.Commit(&writer);
  if (result != Result::kOk) return result;
  report.Line("Made the self-extracting program " + rewrite.shown_name() + " (" +
              std::to_string(members) + " member" + (members == 1 ? "" : "s") + ").");
  return Result::kOk;
}

}  // namespace lzh::commands
