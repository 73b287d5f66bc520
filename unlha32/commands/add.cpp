// a, u, m and f: the commands that put files into an archive.
//
// The whole new archive is planned first (which member each file replaces,
// which files are appended), then written through an ArchiveRewrite:
// untouched members are copied byte for byte, a replaced member is written
// where the old one stood. A file that cannot be read costs only itself,
// and when it was to replace a member the old member is kept; a failure of
// the output (a full disk, a size limit) abandons the whole change. Lines
// about what changed are held back until the new archive is in place, so a
// report never claims a change that was abandoned.
//
// m deletes a source only after the new archive is in place, and only when
// its member decodes with the right CRC from the archive on disk and the
// file still has the size and time it had when it was read.
#include <cinttypes>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive_rewrite.h"
#include "file_collector.h"
#include "format/member_data.h"
#include "names.h"
#include "os/os.h"
#include "writing_commands.h"

namespace lzh::commands {
namespace {

constexpr size_t kProgressNameLimit = 60;

class SourceInput final : public MemberInput {
 public:
  Status Open(const std::string& path) { return os::File::OpenRead(path, &file_); }
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override { return file_.Read(buffer, capacity, got); }
  Status Rewind() override { return file_.Seek(0); }

 private:
  os::File file_;
};

class DiscardSink final : public ByteSink {
 public:
  Status Write(const uint8_t*, size_t) override { return Status::Ok(); }
};

bool IsAscii(const std::vector<std::string>& components) {
  for (const std::string& component : components)
    for (char c : component)
      if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

// The name a member and a file are matched by: the local path, letters
// folded unless -i.
std::string MatchKey(std::string path, bool case_sensitive) {
  if (!case_sensitive)
    for (char& c : path)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return path;
}

std::string JoinStored(const std::vector<std::string>& components) {
  std::string joined;
  for (const std::string& component : components) joined += (joined.empty() ? "" : "/") + component;
  return joined;
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

// A member is out of date when the file is newer. Level 0 and 1 headers
// keep MS-DOS times with two-second steps, so a difference of one second
// is no change there.
bool FileIsNewer(const os::FileDetails& file, const MemberHeader& member) {
  if (!member.mtime_valid) return true;
  return file.mtime > member.mtime + (member.level < 2 ? 1 : 0);
}

class Adding {
 public:
  Adding(const CommandLine& line, Report& report)
      : line_(line),
        switches_(line.switches),
        report_(report),
        rewrite_(line, report),
        form_(CurrentTextForm()),
        level_(line.switches.compression == CompressionChoice::kLh1Compatible ? 0 : line.switches.header_level),
        progress_(!line.switches.no_progress && os::StderrIsTerminal()) {}

  Result Run();

 private:
  struct Written {
    const SourceFile* source;
    MemberHeader header;   // as written: offsets in the new archive, CRC
    bool unchanged_while_read;
  };
  enum class Outcome : uint8_t { kWritten, kSourceFailed, kOutputFailed };

  void Change(const char* word, const std::string& path, const std::string& note = {}) {
    std::string line = std::string(word) + std::string(9 - std::string_view(word).size(), ' ') +
                       DisplayName(path, form_);
    changes_.push_back(note.empty() ? line : line + ": " + note);
  }
  void Problem(const char* word, const std::string& path, const std::string& why, Result result) {
    report_.Line(std::string(word) + std::string(9 - std::string_view(word).size(), ' ') +
                 DisplayName(path, form_) + ": " + why);
    result_ = Worse(result_, result);
  }
  void Plan(const std::vector<SourceFile>& sources);
  Outcome AddSource(ArchiveWriter& writer, const SourceFile& source, Status* failure);
  void MoveSources();

  const CommandLine& line_;
  const Switches& switches_;
  Report& report_;
  ArchiveRewrite rewrite_;
  const TextForm form_;
  const int level_;
  const bool progress_;
  Result result_ = Result::kOk;
  std::vector<std::string> changes_;
  // For each old member, the file that replaces it (or nullptr); then the
  // files that are appended.
  std::vector<const SourceFile*> replacements_;
  std::vector<const SourceFile*> appended_;
  std::vector<Written> written_;
  size_t up_to_date_ = 0, failed_ = 0;
};

void Adding::Plan(const std::vector<SourceFile>& sources) {
  const bool fresh_only = line_.command == Command::kFreshen;
  const bool newer_only = line_.command != Command::kAdd && !switches_.no_date_check;
  std::map<std::string, size_t> member_by_key;
  std::vector<MemberHeader>& members = rewrite_.old().members;
  for (size_t i = 0; i < members.size(); ++i)
    member_by_key.emplace(MatchKey(LocalNames(members[i], form_).path, switches_.case_sensitive), i);
  replacements_.assign(members.size(), nullptr);
  std::map<std::string, const SourceFile*> source_by_key;
  for (const SourceFile& source : sources) {
    std::string stored = JoinStored(source.stored_path);
    std::string key = MatchKey(stored, switches_.case_sensitive);
    auto [earlier, first] = source_by_key.emplace(key, &source);
    if (!first) {
      if (!(earlier->second->details.identity == source.details.identity))
        Problem("skipped", source.disk_path, "its stored name " + stored + " is taken by " + earlier->second->disk_path,
                Result::kSkipped);
      continue;
    }
    auto member = member_by_key.find(key);
    if (member == member_by_key.end()) {
      if (!fresh_only) appended_.push_back(&source);
      continue;
    }
    if (newer_only && !FileIsNewer(source.details, members[member->second])) {
      ++up_to_date_;
      continue;
    }
    replacements_[member->second] = &source;
  }
}

Adding::Outcome Adding::AddSource(ArchiveWriter& writer, const SourceFile& source, Status* failure) {
  const os::FileDetails& details = source.details;
  MemberHeader header;
  header.path = source.stored_path;
  header.mtime = details.mtime;
  header.mtime_valid = true;
  header.os_id = os::ArchiveOsId();
  if (details.has_unix) {
    header.has_unix_mode = true;
    header.unix_mode = details.mode;
    header.has_unix_ids = true;
    header.uid = details.uid;
    header.gid = details.gid;
    header.user = details.user;
    header.group = details.group;
  }
  uint32_t code_page = os::NameCodePage();
  if (!IsAscii(source.stored_path) || (details.type == os::EntryType::kSymlink && !IsAscii({details.link_target}))) {
    header.has_code_page = code_page != 0;
    header.code_page = code_page;
  }
  if (progress_) {
    std::string name = DisplayName(JoinStored(source.stored_path), form_);
    if (!switches_.long_progress_names) name = FitName(name, kProgressNameLimit, form_);
    os::WriteStderr("Adding " + name + "\n");
  }
  if (details.type != os::EntryType::kFile) {
    header.method = Method::kLhd;
    header.is_directory = details.type == os::EntryType::kDirectory;
    header.is_symlink = details.type == os::EntryType::kSymlink;
    header.link_target = details.link_target;
    header.header_offset = rewrite_.output().Position();
    Status status = writer.AddEntry(header);
    if (!status.ok()) {
      *failure = status;
      return rewrite_.output().output_failed() ? Outcome::kOutputFailed : Outcome::kSourceFailed;
    }
    rewrite_.NoteMemberTime(header);
    written_.push_back(Written{&source, header, true});
    return Outcome::kWritten;
  }
  SourceInput input;
  Status status = input.Open(source.disk_path);
  if (!status.ok()) {
    *failure = status;
    return Outcome::kSourceFailed;
  }
  header.method = MethodFor(switches_);
  header.original_size = details.size;
  status = writer.AddMember(&header, input);
  if (!status.ok()) {
    *failure = status;
    return rewrite_.output().output_failed() ? Outcome::kOutputFailed : Outcome::kSourceFailed;
  }
  os::FileDetails after;
  bool unchanged = os::Describe(source.disk_path, &after).ok() && after.type == details.type &&
                   after.size == details.size && after.mtime == details.mtime &&
                   header.original_size == details.size;
  if (!unchanged) report_.Line("warning  " + DisplayName(source.disk_path, form_) + ": changed while being read");
  rewrite_.NoteMemberTime(header);
  written_.push_back(Written{&source, header, unchanged});
  return Outcome::kWritten;
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
  result_ = CollectFiles(
      line_,
      [&output](const os::FileDetails& details) -> const char* {
        return output.IsOwnFile(details.identity) ? "the archive itself, or its temporary or lock file" : nullptr;
      },
      report_, &sources);
  Plan(sources);
  size_t replacing = 0;
  for (const SourceFile* source : replacements_) replacing += source != nullptr;
  if (replacing == 0 && appended_.empty()) {
    if (rewrite_.exists())
      report_.Line("Nothing to add" + std::string(up_to_date_ ? " (the members are up to date)" : "") +
                   "; " + rewrite_.shown_name() + " is unchanged.");
    else
      report_.Line("Nothing to add; no archive was made.");
    return Worse(result_, rewrite_.exists() || !sources.empty() ? Result::kOk : Result::kSkipped);
  }

  ArchiveWriter writer(output, level_);
  Status status = rewrite_.CopyPrefix();
  if (!status.ok()) return Worse(result_, rewrite_.Abandon(status));
  // Sets `status` only when the whole change must be given up.
  auto add = [&](const SourceFile& source, const MemberHeader* replaced) {
    Status failure;
    switch (AddSource(writer, source, &failure)) {
      case Outcome::kWritten:
        Change(replaced ? "replaced" : "added", JoinStored(source.stored_path));
        return;
      case Outcome::kOutputFailed:
        status = failure;
        return;
      case Outcome::kSourceFailed:
        break;
    }
    ++failed_;
    std::string why = std::string(failure.message());
    if (replaced) why += "; the member in the archive is kept";
    Problem(failure.fault() == Fault::kIo ? "skipped" : "FAILED", source.disk_path, why,
            Worse(ResultFor(failure.fault()), Result::kSkipped));
    if (!replaced) return;
    status = writer.CopyMember(*rewrite_.old().reader, *replaced);
    rewrite_.NoteMemberTime(*replaced);
  };
  std::vector<MemberHeader>& members = rewrite_.old().members;
  for (size_t i = 0; i < members.size() && status.ok(); ++i) {
    if (replacements_[i] != nullptr) {
      add(*replacements_[i], &members[i]);
    } else {
      status = writer.CopyMember(*rewrite_.old().reader, members[i]);
      rewrite_.NoteMemberTime(members[i]);
    }
  }
  for (size_t i = 0; i < appended_.size() && status.ok(); ++i) add(*appended_[i], nullptr);
  if (!status.ok()) return Worse(result_, rewrite_.Abandon(status));
  if (written_.empty()) {
    report_.Line("Nothing could be added; " + rewrite_.shown_name() + " is unchanged.");
    return result_;
  }
  Result committed = rewrite_.Commit(&writer);
  if (committed != Result::kOk) return Worse(result_, committed);
  for (const std::string& change : changes_) report_.Line(change);
  if (line_.command == Command::kMove) MoveSources();
  char summary[200];
  std::snprintf(summary, sizeof summary, "%zu added or replaced, %zu up to date, %zu failed; %s written.",
                written_.size(), up_to_date_, failed_, rewrite_.shown_name().c_str());
  report_.Line(summary);
  return result_;
}

void Adding::MoveSources() {
  ArchiveContents archive;
  Status status = ReadArchive(line_.archive, &archive);
  if (!status.ok()) {
    Problem("kept", line_.archive, "no file is deleted: the new archive cannot be read back", Result::kDamaged);
    return;
  }
  std::map<uint64_t, const MemberHeader*> by_offset;
  for (const MemberHeader& member : archive.members) by_offset.emplace(member.header_offset, &member);
  for (const Written& written : written_) {
    const SourceFile& source = *written.source;
    if (source.details.type == os::EntryType::kDirectory) continue;  // what it held may not all be moved
    if (!written.unchanged_while_read) {
      Problem("kept", source.disk_path, "not deleted: it changed while being read", Result::kSkipped);
      continue;
    }
    auto found = by_offset.find(written.header.header_offset);
    DiscardSink sink;
    status = found == by_offset.end() ? Status::Corrupt("member not found in the new archive")
                                      : ExtractMemberData(*archive.reader, *found->second, sink);
    if (status.ok() && found->second->crc != written.header.crc) status = Status::Corrupt("CRC mismatch");
    if (!status.ok()) {
      Problem("kept", source.disk_path, std::string("not deleted: its member does not verify (") + status.message() + ")",
              Result::kDamaged);
      continue;
    }
    os::FileDetails now;
    if (!os::Describe(source.disk_path, &now).ok() || now.type != source.details.type ||
        now.size != source.details.size || now.mtime != source.details.mtime ||
        now.link_target != source.details.link_target || !(now.identity == source.details.identity)) {
      Problem("kept", source.disk_path, "not deleted: it changed after it was stored", Result::kSkipped);
      continue;
    }
    status = os::RemoveFile(source.disk_path);
    if (!status.ok()) {
      Problem("kept", source.disk_path, std::string("cannot be deleted (") + status.message() + ")", Result::kIoError);
      continue;
    }
    report_.Line("moved    " + DisplayName(source.disk_path, form_));
  }
}

}  // namespace

Result AddFiles(const CommandLine& line, Report& report) { return Adding(line, report).Run(); }

}  // namespace lzh::commands
