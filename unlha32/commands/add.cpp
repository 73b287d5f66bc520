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
// Both cores compress. Files up to a few MiB are compressed apart from the
// archive, into memory, by two threads taking the files of a batch in
// turn; the batch is then written in the user's order, so the archive is
// the same as one written by a single thread. Larger files are compressed
// straight into the archive, while the worker packs the batch after them.
// A batch holds a bounded number of bytes, so memory stays bounded
// whatever the files.
//
// m deletes a source only after the new archive is in place, and only when
// its member decodes with the right CRC from the archive on disk and the
// file still has the size and time it had when it was read.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/archive_rewrite.h"
#include "commands/file_collector.h"
#include "format/header_writer.h"
#include "format/member_data.h"
#include "commands/names.h"
#include "os/file.h"
#include "os/file_stream.h"
#include "os/text.h"
#include "os/time.h"
#include "os/worker.h"
#include "os/directory.h"
#include "commands/progress.h"
#include "commands/writing_commands.h"

namespace lzh::commands {
namespace {

// Files up to this size are compressed into memory, in parallel.
constexpr uint64_t kInMemoryLimit = 4 << 20;
// The original bytes one batch of such files may hold.
constexpr uint64_t kBatchLimit = 8 << 20;

// A file being stored; `progress`, when given, is shown how far it is read.
class SourceInput final : public MemberInput {
 public:
  explicit SourceInput(ProgressLine* progress) : progress_(progress) {}
  Status Open(const std::string& path) { return os::File::OpenRead(path, &file_); }
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    LZH_TRY(input_.Read(buffer, capacity, got));
    read_ += *got;
    if (progress_) progress_->Update(read_);
    return Status::Ok();
  }
  Status Rewind() override {
    read_ = 0;
    return input_.Rewind();
  }

 private:
  os::File file_;
  os::FileInput input_{file_};
  ProgressLine* progress_;
  uint64_t read_ = 0;
};

bool IsAscii(const std::vector<std::string>& components) {
  for (const std::string& component : components)
    for (char c : component)
      if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

// The name a member and a file are matched by: the local path, letters
// folded when names match without case (Windows, or -i-).
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

class Adding {
 public:
  Adding(const CommandLine& line, Report& report)
      : line_(line),
        switches_(line.switches),
        report_(report),
        rewrite_(line, report),
        shortfalls_(report),
        form_(CurrentTextForm()),
        level_(line.switches.compression == CompressionChoice::kLh1Compatible ? 0 : line.switches.header_level),
        progress_(line.switches, "Adding") {}

  Result Run();

 private:
  struct Written {
    const SourceFile* source;
    MemberHeader header;   // as written: offsets in the new archive, CRC
    bool unchanged_while_read;
  };
  // One step of the new archive: an old member copied (source null), a
  // file replacing an old member, or a file appended (no old_member).
  struct Step {
    const SourceFile* source;
    std::optional<MemberHeader> old_member;
  };
  // A file compressed into memory, as a member at offset 0.
  struct Packed {
    MemberHeader header;
    MemoryOutput bytes;
    Status status;
    bool unchanged_while_read = false;
  };
  enum class Outcome : uint8_t { kWritten, kSourceFailed, kOutputFailed };

  void Change(const char* word, const std::string& path, const std::string& note = {}) {
    std::string line = std::string(word) + std::string(9 - std::string_view(word).size(), ' ') +
                       DisplayName(path, form_);
    changes_.push_back(note.empty() ? line : line + ": " + note);
  }
  // A file m stored but does not delete.
  void Kept(const std::string& path, const std::string& why, Result result) {
    ++kept_;
    report_.Line("kept     " + DisplayName(path, form_) + ": " + why);
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
  Status NewHeader(const SourceFile& source, MemberHeader* header) const;
  // `progress` is given only on the caller's thread, which owns the line.
  Status Pack(ArchiveWriter& writer, const SourceFile& source, MemberHeader* header, bool* unchanged_while_read,
              ProgressLine* progress);
  Outcome AddSource(ArchiveWriter& writer, const SourceFile& source, Status* failure);
  void Recorded(const SourceFile& source, const MemberHeader& header, bool unchanged_while_read);
  Status AddBatch(ArchiveWriter& writer, const Step* large_file, const Step* steps, size_t count);
  Status Settle(ArchiveWriter& writer, const Step& step, Outcome outcome, const Status& failure);
  Status Take(ArchiveWriter& writer, Step step);
  Status WritePending(ArchiveWriter& writer);
  Status WriteStep(ArchiveWriter& writer, const Step& step);
  static bool InMemory(const Step& step) {
    return step.source && step.source->details.type == os::EntryType::kFile &&
           step.source->details.size <= kInMemoryLimit;
  }
  void MoveSources();
  void MoveSource(const Written& written, const MemberHeader* member, RandomAccessReader& archive);

  const CommandLine& line_;
  const Switches& switches_;
  Report& report_;
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
  // Steps wait here until what follows them is known (see Take).
  std::optional<Step> large_file_;
  std::vector<Step> batch_;
  uint64_t batch_bytes_ = 0;
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
  if (!IsAscii(source.stored_path) || (details.type == os::EntryType::kSymlink && !IsAscii({details.link_target}))) {
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

// Safe on the worker thread: it touches only its arguments and the file.
Status Adding::Pack(ArchiveWriter& writer, const SourceFile& source, MemberHeader* header,
                    bool* unchanged_while_read, ProgressLine* progress) {
  if (progress) progress->Begin(JoinStored(source.stored_path), source.details.size);
  SourceInput input(progress);
  LZH_TRY(input.Open(source.disk_path));
  LZH_TRY(writer.AddMember(header, input));
  const os::FileDetails& details = source.details;
  os::FileDetails after;
  *unchanged_while_read = os::Describe(source.disk_path, &after).ok() && after.type == details.type &&
                          after.size == details.size && after.mtime == details.mtime &&
                          header->original_size == details.size;
  return Status::Ok();
}

Adding::Outcome Adding::AddSource(ArchiveWriter& writer, const SourceFile& source, Status* failure) {
  const os::FileDetails& details = source.details;
  MemberHeader header;
  bool unchanged = true;
  *failure = NewHeader(source, &header);
  if (!failure->ok()) return Outcome::kSourceFailed;
  if (details.type != os::EntryType::kFile) {
    header.method = Method::kLhd;
    header.original_size = 0;
    header.is_directory = details.type == os::EntryType::kDirectory;
    header.is_symlink = details.type == os::EntryType::kSymlink;
    header.link_target = details.link_target;
    header.header_offset = rewrite_.output().Position();
    *failure = writer.AddEntry(header);
  } else {
    *failure = Pack(writer, source, &header, &unchanged, &progress_);
  }
  if (!failure->ok()) return rewrite_.output().output_failed() ? Outcome::kOutputFailed : Outcome::kSourceFailed;
  Recorded(source, header, unchanged);
  return Outcome::kWritten;
}

void Adding::Recorded(const SourceFile& source, const MemberHeader& header, bool unchanged_while_read) {
  if (!unchanged_while_read)
    report_.Line("warning  " + DisplayName(source.disk_path, form_) + ": changed while being read");
  rewrite_.NoteMemberTime(header);
  written_.push_back(Written{&source, header, unchanged_while_read});
}

// Sets the step's lines; returns a failure only when the whole change must
// be given up.
Status Adding::Settle(ArchiveWriter& writer, const Step& step, Outcome outcome, const Status& failure) {
  const os::FileDetails& details = step.source->details;
  switch (outcome) {
    case Outcome::kWritten: {
      int64_t stored = StoredTime(details);
      Change(step.old_member ? "replaced" : "added", JoinStored(step.source->stored_path),
             stored == details.mtime ? std::string()
                                     : "its time " + ShownTime(details.mtime) + " does not fit the header; stored as " +
                                           ShownTime(stored));
      return Status::Ok();
    }
    case Outcome::kOutputFailed: return failure;
    case Outcome::kSourceFailed: break;
  }
  std::string why = std::string(failure.message());
  if (step.old_member) why += "; the member in the archive is kept";
  shortfalls_.Fail(step.source->disk_path, why, ResultFor(failure.fault()));
  if (!step.old_member) return Status::Ok();
  rewrite_.NoteMemberTime(*step.old_member);
  return writer.CopyMember(*rewrite_.old().reader, *step.old_member);
}

// Files up to kInMemoryLimit are gathered into a batch of at most
// kBatchLimit bytes (one file more when it is the first); a larger file
// waits for the batch that follows it, to be compressed beside it.
// Anything else ends the batch and is written alone.
Status Adding::Take(ArchiveWriter& writer, Step step) {
  if (InMemory(step)) {
    uint64_t size = step.source->details.size;
    if (!batch_.empty() && batch_bytes_ + size > kBatchLimit) LZH_TRY(WritePending(writer));
    batch_bytes_ += size;
    batch_.push_back(std::move(step));
    return Status::Ok();
  }
  LZH_TRY(WritePending(writer));
  if (step.source && step.source->details.type == os::EntryType::kFile) {
    large_file_ = std::move(step);
    return Status::Ok();
  }
  return WriteStep(writer, step);
}

Status Adding::WritePending(ArchiveWriter& writer) {
  Status status;
  if (!batch_.empty())
    status = AddBatch(writer, large_file_ ? &*large_file_ : nullptr, batch_.data(), batch_.size());
  else if (large_file_)
    status = WriteStep(writer, *large_file_);
  large_file_.reset();
  batch_.clear();
  batch_bytes_ = 0;
  return status;
}

Status Adding::WriteStep(ArchiveWriter& writer, const Step& step) {
  if (!step.source) {
    Status status = writer.CopyMember(*rewrite_.old().reader, *step.old_member);
    rewrite_.NoteMemberTime(*step.old_member);
    return status;
  }
  Status failure;
  Outcome outcome = AddSource(writer, *step.source, &failure);
  return Settle(writer, step, outcome, failure);
}

// `large_file`, when given, comes first in the archive: the caller's thread
// compresses it straight into the archive while the worker packs the batch.
Status Adding::AddBatch(ArchiveWriter& writer, const Step* large_file, const Step* steps, size_t count) {
  std::vector<Packed> packed(count);
  for (size_t i = 0; i < count; ++i) packed[i].status = NewHeader(*steps[i].source, &packed[i].header);
  // Largest first, so that the two threads finish the batch together.
  std::vector<size_t> by_size(count);
  for (size_t i = 0; i < count; ++i) by_size[i] = i;
  std::stable_sort(by_size.begin(), by_size.end(), [steps](size_t a, size_t b) {
    return steps[a].source->details.size > steps[b].source->details.size;
  });
  std::atomic<size_t> next{0};
  auto pack_the_rest = [&](ProgressLine* progress) {
    for (size_t taken; (taken = next++) < count;) {
      size_t i = by_size[taken];
      if (!packed[i].status.ok()) continue;
      ArchiveWriter member_writer(packed[i].bytes, level_);
      packed[i].status =
          Pack(member_writer, *steps[i].source, &packed[i].header, &packed[i].unchanged_while_read, progress);
    }
  };
  Outcome large_outcome = Outcome::kWritten;
  Status large_failure;
  {
    os::Worker worker;
    if (count > 1 || large_file) worker.Start([&] { pack_the_rest(nullptr); });
    if (large_file) large_outcome = AddSource(writer, *large_file->source, &large_failure);
    pack_the_rest(&progress_);
    worker.Join();
  }
  if (large_file) LZH_TRY(Settle(writer, *large_file, large_outcome, large_failure));
  ArchiveUpdate& output = rewrite_.output();
  for (size_t i = 0; i < count; ++i) {
    Packed& member = packed[i];
    Outcome outcome = Outcome::kSourceFailed;
    Status failure = member.status;
    if (failure.ok()) {
      uint64_t offset = output.Position();
      failure = output.Write(member.bytes.bytes().data(), member.bytes.bytes().size());
      outcome = failure.ok() ? Outcome::kWritten : Outcome::kOutputFailed;
      member.header.header_offset += offset;
      member.header.data_offset += offset;
      if (failure.ok()) Recorded(*steps[i].source, member.header, member.unchanged_while_read);
    }
    member.bytes = MemoryOutput();  // the batch's memory goes as it is written
    LZH_TRY(Settle(writer, steps[i], outcome, failure));
  }
  return Status::Ok();
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
  status = rewrite_.CopyPrefix();
  if (!status.ok()) return Worse(shortfalls_.result(), rewrite_.Abandon(status));
  Status walked = rewrite_.WalkOld([&](MemberHeader& member) {
    if (!status.ok()) return;
    auto replacing = replacing_.find(member.header_offset);
    status = Take(writer, Step{replacing == replacing_.end() ? nullptr : replacing->second, std::move(member)});
  });
  if (status.ok()) status = walked;
  for (size_t i = 0; i < appended_.size() && status.ok(); ++i) status = Take(writer, Step{appended_[i], {}});
  if (status.ok()) status = WritePending(writer);
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
  report_.Line("moved    " + DisplayName(source.disk_path, form_));
}

}  // namespace

Result AddFiles(const CommandLine& line, Report& report) { return Adding(line, report).Run(); }

}  // namespace lzh::commands
