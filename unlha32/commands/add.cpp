// a, u, m and f: the commands that put files into an archive.
//
// The whole new archive is planned first (which member each file replaces,
// which files are appended) from a walk of the old archive's headers, then
// written through an ArchiveRewrite while a second walk hands the old
// members over one by one: untouched members are copied byte for byte, a
// replaced member is written where the old one stood. What is held meanwhile
// grows with the files the user names, never with the old archive's
// members: the files by archive name, and the old members they replace by
// header offset. A file that cannot be read costs only itself,
// and when it was to replace a member the old member is kept; a failure of
// the output (a full disk, a size limit) abandons the whole change. Lines
// about what changed are held back until the new archive is in place, so a
// report never claims a change that was abandoned.
//
// Every file that is not stored as asked (a name two files would share, a
// special file, a file that cannot be read) is named and counted in the
// summary, whose counts the result code agrees with. A time the header
// cannot keep is stored as the nearest one it can, and the line of that
// member says so.
//
// Both cores compress, through the ParallelPacker; the archive is the same
// as one written by a single thread.
//
// m deletes a source only after the new archive is in place, and only when
// its member decodes with the right CRC from the archive on disk and the
// file still has the size and time it had when it was read.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "commands/change/archive_rewrite.h"
#include "commands/change/parallel_packer.h"
#include "commands/file_collector.h"
#include "format/header_writer.h"
#include "format/member_data.h"
#include "commands/shared/member_names.h"
#include "commands/shared/progress.h"
#include "os/directory.h"
#include "os/file.h"
#include "os/file_stream.h"
#include "os/text.h"
#include "os/time.h"
#include "os/worker.h"
#include "commands/writing_commands.h"

namespace lzh::commands {
namespace {

bool AllAscii(const std::vector<std::string>& components) {
  return std::all_of(components.begin(), components.end(),
                     [](const std::string& component) { return IsAscii(component); });
}

// The name a member and a file are matched by: the local path, letters
// folded when names match without case (Windows, or -i-).
std::string MatchKey(std::string path, bool case_sensitive) {
  if (!case_sensitive)
    for (char& c : path)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return path;
}

Method MethodFor(const Switches& s) {
  if (s.store_only) return Method::kLh0;
  switch (s.compression) {
    case CompressionChoice::kLh1Compatible: return Method::kLh1;
    case CompressionChoice::kLh6: return Method::kLh6;
    case CompressionChoice::kLh7: return Method::kLh7;
    case CompressionChoice::kLh5:
    case CompressionChoice::kDefault: break;
  }
  return Method::kLh5;
}

// A member is out of date when the file is newer (its time as a header
// keeps it: a file dated past what a header holds is not newer on every
// run). Level 0 and 1 headers keep MS-DOS times with two-second steps, so
// a difference of one second is no change there.
bool FileIsNewer(int64_t stored_time, const MemberHeader& member) {
  if (!member.mtime_valid) return true;
  return stored_time > member.mtime + (member.level < 2 ? 1 : 0);
}

std::string ShownTime(int64_t unix_time) {
  os::LocalTime t;
  if (!os::ToLocalTime(unix_time, &t)) return std::to_string(unix_time) + " (Unix time)";
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

class Adding final : public PackerClient {
 public:
  Adding(const CommandLine& line, Report& report)
      : line_(line),
        switches_(line.switches),
        report_(report),
        change_report_(report),
        rewrite_(ChangeOptionsOf(line.switches), change_report_),
        shortfalls_(report),
        form_(CurrentTextForm()),
        level_(line.switches.compression == CompressionChoice::kLh1Compatible ? 0 : line.switches.header_level),
        progress_(!line.switches.no_progress, line.switches.long_progress_names, "Adding") {}

  Result Run();

 private:
  struct Written {
    const SourceFile* source;
    MemberHeader header;   // as written: offsets in the new archive, CRC
    bool unchanged_while_read;
  };

  void Change(const char* word, const std::string& path, const std::string& note = {}) {
    std::string line = StatusLine(word, DisplayName(path, form_));
    changes_.push_back(note.empty() ? line : line + ": " + note);
  }
  // A file m stored but does not delete.
  void Kept(const std::string& path, const std::string& why, Result result) {
    ++kept_;
    report_.Line(StatusLine("kept", DisplayName(path, form_)) + ": " + why);
    result_ = Worse(result_, result);
  }
  // The file's time as this run's headers keep it.
  int64_t StoredTime(const os::FileDetails& details) const {
    return StorableTime(details.mtime, level_, details.has_unix);
  }
  // The last line, whatever became of the archive (`fate`); returns the
  // result the counts stand for.
  Result Summary(const std::string& fate);
  Result Unchanged() {
    return Summary(rewrite_.exists() ? rewrite_.shown_name() + " is unchanged." : "no archive was made.");
  }
  Status Plan(const std::vector<SourceFile>& sources);
  // Fails for a name the header cannot store.
  Status NewHeader(const SourceFile& source, MemberHeader* header) const override;
  void Recorded(const SourceFile& source, const MemberHeader& header, bool unchanged_while_read) override;
  Status Settle(ArchiveWriter& writer, const PackStep& step, PackOutcome outcome, const Status& failure) override;
  // An old member copied, or a directory or link entry.
  Status WriteAlone(ArchiveWriter& writer, const PackStep& step) override;
  void MoveSources();
  void MoveSource(const Written& written, const MemberHeader* member, RandomAccessReader& archive);

  const CommandLine& line_;
  const Switches& switches_;
  Report& report_;
  ReportOfChange change_report_;
  ArchiveRewrite rewrite_;
  Shortfalls shortfalls_;
  const TextForm form_;
  const int level_;
  ProgressLine progress_;
  Result result_ = Result::kOk;  // beyond the shortfalls: what m could not delete
  std::vector<std::string> changes_;
  // The old members that files replace, by header offset; then the files
  // that are appended.
  std::map<uint64_t, const SourceFile*> replacing_;
  std::vector<const SourceFile*> appended_;
  std::vector<Written> written_;
  size_t up_to_date_ = 0, kept_ = 0;
};

Status Adding::Plan(const std::vector<SourceFile>& sources) {
  const bool fresh_only = line_.command == Command::kFreshen;
  const bool newer_only = line_.command != Command::kAdd && !switches_.no_date_check;
  // The first file of each archive name; the first old member of that name
  // is the one it meets.
  struct Candidate {
    const SourceFile* source;
    bool met = false;
  };
  std::map<std::string, Candidate> by_key;
  std::vector<const Candidate*> in_order;
  for (const SourceFile& source : sources) {
    std::string stored = JoinStored(source.stored_path);
    std::string key = MatchKey(stored, switches_.case_sensitive);
    auto [earlier, first] = by_key.emplace(key, Candidate{&source});
    if (!first) {
      if (!(earlier->second.source->details.identity == source.details.identity))
        shortfalls_.Skip(source.disk_path, "its stored name " + DisplayName(stored, form_) + " is taken by " +
                                               DisplayName(earlier->second.source->disk_path, form_));
      continue;
    }
    in_order.push_back(&earlier->second);
  }
  LZH_TRY(rewrite_.WalkOld([&](const MemberHeader& member) {
    auto found = by_key.find(MatchKey(LocalNames(member, form_).path, switches_.case_sensitive));
    if (found == by_key.end() || found->second.met) return;
    Candidate& candidate = found->second;
    candidate.met = true;
    if (newer_only && !FileIsNewer(StoredTime(candidate.source->details), member))
      ++up_to_date_;
    else
      replacing_.emplace(member.header_offset, candidate.source);
  }));
  for (const Candidate* candidate : in_order)
    if (!candidate->met && !fresh_only) appended_.push_back(candidate->source);
  return Status::Ok();
}

Status Adding::NewHeader(const SourceFile& source, MemberHeader* new_header) const {
  const os::FileDetails& details = source.details;
  MemberHeader header;
  header.path = source.stored_path;
  header.mtime = StoredTime(details);
  header.mtime_valid = true;
  header.os_id = os::ArchiveOsId();
  header.attribute = details.attributes;
  if (details.has_unix) {
    header.has_unix_mode = true;
    header.unix_mode = details.mode;
    header.has_unix_ids = true;
    header.uid = static_cast<uint16_t>(details.uid);
    header.gid = static_cast<uint16_t>(details.gid);
    header.user = details.user;
    header.group = details.group;
  }
  if (!AllAscii(source.stored_path) || (details.type == os::EntryType::kSymlink && !IsAscii(details.link_target))) {
    uint32_t code_page = 0;
    LZH_REQUIRE(os::ToStoredNames(&header.path, level_ > 0, &code_page), kTooLarge,
                "the name has no Shift_JIS form, the only one a level-0 header keeps (-h1 or -h2 store it)");
    header.has_code_page = code_page != 0;
    header.code_page = code_page;
  }
  header.method = MethodFor(switches_);
  header.original_size = details.size;
  *new_header = std::move(header);
  return Status::Ok();
}

void Adding::Recorded(const SourceFile& source, const MemberHeader& header, bool unchanged_while_read) {
  if (!unchanged_while_read)
    report_.Line(StatusLine("warning", DisplayName(source.disk_path, form_)) + ": changed while being read");
  rewrite_.NoteMemberTime(header);
  written_.push_back(Written{&source, header, unchanged_while_read});
}

// Sets the step's lines; returns a failure only when the whole change must
// be given up.
Status Adding::Settle(ArchiveWriter& writer, const PackStep& step, PackOutcome outcome, const Status& failure) {
  const os::FileDetails& details = step.source->details;
  switch (outcome) {
    case PackOutcome::kWritten: {
      int64_t stored = StoredTime(details);
      Change(step.old_member ? "replaced" : "added", JoinStored(step.source->stored_path),
             stored == details.mtime ? std::string()
                                     : "its time " + ShownTime(details.mtime) + " does not fit the header; stored as " +
                                           ShownTime(stored));
      return Status::Ok();
    }
    case PackOutcome::kOutputFailed: return failure;
    case PackOutcome::kSourceFailed: break;
  }
  std::string why = std::string(failure.message());
  if (step.old_member) why += "; the member in the archive is kept";
  shortfalls_.Fail(step.source->disk_path, why, ResultFor(failure.fault()));
  if (!step.old_member) return Status::Ok();
  rewrite_.NoteMemberTime(*step.old_member);
  return writer.CopyMember(*rewrite_.old().reader, *step.old_member);
}

Status Adding::WriteAlone(ArchiveWriter& writer, const PackStep& step) {
  if (!step.source) {
    Status status = writer.CopyMember(*rewrite_.old().reader, *step.old_member);
    rewrite_.NoteMemberTime(*step.old_member);
    return status;
  }
  const os::FileDetails& details = step.source->details;
  MemberHeader header;
  Status failure = NewHeader(*step.source, &header);
  PackOutcome outcome = PackOutcome::kSourceFailed;
  if (failure.ok()) {
    header.method = Method::kLhd;
    header.original_size = 0;
    header.is_directory = details.type == os::EntryType::kDirectory;
    header.is_symlink = details.type == os::EntryType::kSymlink;
    header.link_target = details.link_target;
    header.header_offset = rewrite_.output().Position();
    failure = writer.AddEntry(header);
    outcome = failure.ok()                       ? PackOutcome::kWritten
              : rewrite_.output().output_failed() ? PackOutcome::kOutputFailed
                                                  : PackOutcome::kSourceFailed;
  }
  if (outcome == PackOutcome::kWritten) Recorded(*step.source, header, true);
  return Settle(writer, step, outcome, failure);
}

Result Adding::Run() {
  const bool may_create = line_.command != Command::kFreshen;
  Result begun = rewrite_.Begin(line_.archive, true);
  if (begun != Result::kOk) return begun;
  if (!rewrite_.exists() && !may_create) {
    report_.Line("Cannot read " + rewrite_.shown_name() + ": no such file");
    return Result::kNotArchive;
  }
  std::vector<SourceFile> sources;
  ArchiveUpdate& output = rewrite_.output();
  CollectFiles(
      line_,
      [&output](const os::FileDetails& details) -> const char* {
        return output.IsOwnFile(details.identity) ? "the archive itself, or its temporary or lock file" : nullptr;
      },
      report_, shortfalls_, &sources);
  Status status = Plan(sources);
  if (!status.ok()) return Worse(shortfalls_.result(), rewrite_.Abandon(status));
  if (replacing_.empty() && appended_.empty()) return Unchanged();

  ArchiveWriter writer(output, level_);
  ParallelPacker packer(output, writer, level_, progress_, *this);
  status = rewrite_.CopyPrefix();
  if (!status.ok()) return Worse(shortfalls_.result(), rewrite_.Abandon(status));
  Status walked = rewrite_.WalkOld([&](MemberHeader& member) {
    if (!status.ok()) return;
    auto replacing = replacing_.find(member.header_offset);
    status = packer.Take(PackStep{replacing == replacing_.end() ? nullptr : replacing->second, std::move(member)});
  });
  if (status.ok()) status = walked;
  for (size_t i = 0; i < appended_.size() && status.ok(); ++i) status = packer.Take(PackStep{appended_[i], {}});
  if (status.ok()) status = packer.WritePending();
  if (!status.ok()) return Worse(shortfalls_.result(), rewrite_.Abandon(status));
  if (written_.empty()) return Unchanged();
  Result committed = rewrite_.Commit(&writer);
  if (committed != Result::kOk) return Worse(shortfalls_.result(), committed);
  for (const std::string& change : changes_) report_.Line(change);
  if (line_.command == Command::kMove) MoveSources();
  return Summary(rewrite_.shown_name() + " written.");
}

Result Adding::Summary(const std::string& fate) {
  std::string kept = kept_ ? ", " + std::to_string(kept_) + " kept" : "";
  report_.Line(std::to_string(written_.size()) + " added or replaced, " + std::to_string(up_to_date_) +
               " up to date, " + std::to_string(shortfalls_.skipped()) + " skipped, " +
               std::to_string(shortfalls_.failed()) + " failed" + kept + "; " + fate);
  return Worse(result_, shortfalls_.result());
}

// The members written are met in the order they were written, which is
// the order of the new archive: the walk settles each as it passes it.
void Adding::MoveSources() {
  ArchiveContents archive;
  size_t next = 0;
  Status status = WalkArchive(line_.archive, &archive, [&](const MemberHeader& member) {
    for (; next < written_.size() && written_[next].header.header_offset <= member.header_offset; ++next) {
      bool found = written_[next].header.header_offset == member.header_offset;
      MoveSource(written_[next], found ? &member : nullptr, *archive.reader);
    }
  });
  if (!status.ok()) {
    Kept(line_.archive, "no file is deleted: the new archive cannot be read back", Result::kDamaged);
    kept_ = written_.size();  // every file stored, not the one line
    return;
  }
  for (; next < written_.size(); ++next) MoveSource(written_[next], nullptr, *archive.reader);
}

void Adding::MoveSource(const Written& written, const MemberHeader* member, RandomAccessReader& archive) {
  const SourceFile& source = *written.source;
  if (source.details.type == os::EntryType::kDirectory) return;  // what it held may not all be moved
  if (!written.unchanged_while_read) {
    Kept(source.disk_path, "not deleted: it changed while being read", Result::kSkipped);
    return;
  }
  os::DiscardSink sink;
  Status status = member == nullptr ? Status::Corrupt("member not found in the new archive")
                                    : ExtractMemberData(archive, *member, sink);
  if (status.ok() && member->crc != written.header.crc) status = Status::Corrupt("CRC mismatch");
  if (!status.ok()) {
    Kept(source.disk_path, std::string("not deleted: its member does not verify (") + status.message() + ")",
         Result::kDamaged);
    return;
  }
  os::FileDetails now;
  if (!os::Describe(source.disk_path, &now).ok() || now.type != source.details.type ||
      now.size != source.details.size || now.mtime != source.details.mtime ||
      now.link_target != source.details.link_target || !(now.identity == source.details.identity)) {
    Kept(source.disk_path, "not deleted: it changed after it was stored", Result::kSkipped);
    return;
  }
  status = os::Directory::Working().Remove(source.disk_path);
  if (!status.ok()) {
    Kept(source.disk_path, std::string("cannot be deleted (") + status.message() + ")", Result::kIoError);
    return;
  }
  report_.Line(StatusLine("moved", DisplayName(source.disk_path, form_)));
}

}  // namespace

Result AddFiles(const CommandLine& line, Report& report) { return Adding(line, report).Run(); }

}  // namespace lzh::commands
