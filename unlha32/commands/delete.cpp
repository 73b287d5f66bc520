// d: delete members. The members that stay are copied byte for byte into
// the new archive. Without member names nothing is deleted: an empty list
// meaning "everything" would make one slip of the keyboard empty an
// archive. A name that matches no member is named and counted in the
// summary, as the result code counts it.
#include <string>
#include <vector>

#include "commands/change/archive_rewrite.h"
#include "commands/shared/member_names.h"
#include "commands/selection.h"
#include "commands/shared/progress.h"
#include "commands/writing_commands.h"

namespace lzh::commands {

Result DeleteMembers(const CommandLine& line, Report& report) {
  const TextForm form = CurrentTextForm();
  if (line.files.empty()) {
    report.Line("Name the members to delete (d deletes nothing without names).");
    return Result::kBadCommand;
  }
  ReportOfChange change_report(report);
  ArchiveRewrite rewrite(ChangeOptionsOf(line.switches), change_report);
  Result result = rewrite.Begin(line.archive, true);
  if (result != Result::kOk) return result;
  if (!rewrite.exists()) {
    report.Line("Cannot read " + rewrite.shown_name() + ": no such file");
    return Result::kNotArchive;
  }
  // A first walk of the headers finds out whether anything goes at all;
  // the second copies what stays, naming what goes as it passes.
  MemberSelection selection(line.files, line.switches.strict_names, line.switches.case_sensitive);
  uint64_t deleting = 0;
  Status status = rewrite.WalkOld(
      [&](const MemberHeader& member) { deleting += selection.Selects(LocalNames(member, form).path); });
  if (!status.ok()) return rewrite.Abandon(status);
  const std::vector<std::string> unmatched = selection.Unmatched();
  for (const std::string& pattern : unmatched) {
    report.Line("No member matches " + DisplayName(pattern, form));
    result = Worse(result, Result::kSkipped);
  }
  auto summary = [&](uint64_t deleted, const std::string& fate) {
    std::string text = std::to_string(deleted) + " member" + (deleted == 1 ? "" : "s") + " deleted";
    if (!unmatched.empty())
      text += ", " + std::to_string(unmatched.size()) + " name" + (unmatched.size() == 1 ? "" : "s") +
              " matched nothing";
    report.Line(text + "; " + fate);
  };
  if (deleting == 0) {
    summary(0, rewrite.shown_name() + " is unchanged.");
    return result;
  }
  ArchiveWriter writer(rewrite.output(), 2);  // only copies: no header is built
  status = rewrite.CopyPrefix();
  rewrite.HoldChanges();
  uint64_t deleted = 0;
  Status walked = rewrite.WalkOld([&](const MemberHeader& member) {
    if (!status.ok()) return;
    std::string path = LocalNames(member, form).path;
    if (selection.Selects(path)) {
      ++deleted;
      report.Line(StatusLine("deleted", DisplayName(path, form)));
      return;
    }
    status = writer.CopyMember(*rewrite.old().reader, member);
    rewrite.NoteMemberTime(member);
  });
  if (status.ok()) status = walked;
  if (!status.ok()) return Worse(result, rewrite.Abandon(status));
  Result committed = rewrite.Commit(&writer);
  if (committed != Result::kOk) return Worse(result, committed);
  summary(deleted, rewrite.shown_name() + " written.");
  return result;
}

}  // namespace lzh::commands
