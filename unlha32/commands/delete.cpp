// d: delete members. The members that stay are copied byte for byte into
// the new archive. Without member names nothing is deleted: an empty list
// meaning "everything" would make one slip of the keyboard empty an
// archive.
#include <string>

#include "archive_rewrite.h"
#include "names.h"
#include "selection.h"
#include "writing_commands.h"

namespace lzh::commands {

Result DeleteMembers(const CommandLine& line, Report& report) {
  const TextForm form = CurrentTextForm();
  if (line.files.empty()) {
    report.Line("Name the members to delete (d deletes nothing without names).");
    return Result::kBadCommand;
  }
  ArchiveRewrite rewrite(line, report);
  Result result = rewrite.Begin(line.archive, true);
  if (result != Result::kOk) return result;
  if (!rewrite.exists()) {
    report.Line("Cannot read " + rewrite.shown_name() + ": no such file");
    return Result::kNotArchive;
  }
  MemberSelection selection(line.files, line.switches.strict_names, line.switches.case_sensitive);
  std::vector<MemberHeader>& members = rewrite.old().members;
  std::vector<bool> deleted(members.size());
  std::vector<std::string> changes;
  for (size_t i = 0; i < members.size(); ++i) {
    std::string path = LocalNames(members[i], form).path;
    deleted[i] = selection.Selects(path);
    if (deleted[i]) changes.push_back("deleted  " + DisplayName(path, form));
  }
  for (const std::string& pattern : selection.Unmatched()) {
    report.Line("No member matches " + DisplayName(pattern, form));
    result = Worse(result, Result::kSkipped);
  }
  if (changes.empty()) {
    report.Line("Nothing to delete; " + rewrite.shown_name() + " is unchanged.");
    return result;
  }
  ArchiveWriter writer(rewrite.output(), 2);  // only copies: no header is built
  Status status = rewrite.CopyPrefix();
  for (size_t i = 0; i < members.size() && status.ok(); ++i) {
    if (deleted[i]) continue;
    status = writer.CopyMember(*rewrite.old().reader, members[i]);
    rewrite.NoteMemberTime(members[i]);
  }
  if (!status.ok()) return Worse(result, rewrite.Abandon(status));
  Result committed = rewrite.Commit(&writer);
  if (committed != Result::kOk) return Worse(result, committed);
  for (const std::string& change : changes) report.Line(change);
  report.Line(std::to_string(changes.size()) + " member" + (changes.size() == 1 ? "" : "s") + " deleted; " +
              rewrite.shown_name() + " written.");
  return result;
}

}  // namespace lzh::commands
