// t, p, e and x: the commands that decode member data.
//
// Extraction never leaves a file that is not exactly the member: data goes
// to a temporary file beside its final place and is renamed over it only
// after the CRC checked out and the file was closed without error. Every
// directory on the way is entered without following links (target_path),
// so a link planted on disk or extracted earlier from the same archive
// cannot carry a write elsewhere. A problem with one member is reported by
// name and the command goes on with the next.
//
// Every selected member the command does not carry out as asked is named
// in the report and counted as skipped or failed in the summary; so is
// damage that ends the walk early, since the members after it were never
// reached.
//
// Members are acted on as the walk of the archive finds them; what
// outlives a member is one small record per extracted directory (its path,
// mode, time and attributes, set at the end) and the identity of each file
// extracted (two numbers, so that a later member that would land on it,
// e.g. of the same base name under `e`, or differing only in case on
// Windows, is caught), so memory never holds the members themselves.
//
// Members of some size are decoded on the other cores: the walk stays on
// the calling thread, which decides about each member in the archive's
// order as before (its path, whether it may replace a file, its temporary
// file) and hands the decoding to the pool, a few members ahead at most;
// each member is finished (renamed into place, reported) in the archive's
// order again. Whatever a member does before it is decoded that depends on
// the members before it waits for them: a line in the report, a name that
// one of them may still take. So the report, the files and the result are
// those of one thread; only the time differs. Small members are decoded on
// the calling thread, where a hand-over would cost more than it saves.
//
// A temporary file is named after the process (".unlha32-PID-N.tmp") and
// removed when a signal ends the process; one that a killed process left
// is removed by the next extraction into its directory, unless the
// process that made it is still running.
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "commands/shared/archive_reading.h"
#include "codec/method.h"
#include "format/member_data.h"
#include "format/output.h"
#include "commands/shared/member_names.h"
#include "commands/shared/progress.h"
#include "os/directory.h"
#include "os/file.h"
#include "os/file_stream.h"
#include "os/lock.h"
#include "os/terminal.h"
#include "os/text.h"
#include "commands/decoding_pool.h"
#include "commands/reading_commands.h"
#include "commands/selection.h"
#include "commands/target_path.h"

namespace lzh::commands {
namespace {

// Members with less packed data than this are decoded where the walk
// runs; at most kMembersInFlight members are decoded and not yet finished;
// p holds the contents of a member decoded elsewhere until its turn, so
// only members up to kHeldContentsLimit go there.
constexpr uint64_t kHandOverMinimum = 128 * 1024;
constexpr size_t kMembersInFlight = 8;
constexpr uint64_t kHeldContentsLimit = 8 * 1024 * 1024;

constexpr std::string_view kTemporaryPrefix = ".unlha32-";
constexpr std::string_view kTemporarySuffix = ".tmp";

// The process id in an extraction's temporary name ".unlha32-PID-N.tmp",
// or 0 for any other name.
uint32_t TemporaryOwner(std::string_view name) {
  if (name.size() < kTemporaryPrefix.size() + kTemporarySuffix.size() ||
      name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
      name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix)
    return 0;
  name = name.substr(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kTemporarySuffix.size());
  size_t dash = name.find('-');
  if (dash == 0 || dash > 10 || dash + 1 >= name.size()) return 0;
  uint64_t id = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i == dash) continue;
    if (name[i] < '0' || name[i] > '9') return 0;
    if (i < dash) id = id * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  return id > UINT32_MAX ? 0 : static_cast<uint32_t>(id);
}

// The MS-DOS attributes an extracted entry gets: the member's, with
// read-only as its Unix mode says when it has one.
uint8_t AttributesOf(const MemberHeader& header) {
  constexpr uint8_t kKept = kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeArchive;
  uint8_t attributes = header.dos_attribute ? header.attribute & kKept : kAttributeArchive;
  if (header.has_unix_mode)
    attributes = static_cast<uint8_t>((attributes & ~kAttributeReadOnly) |
                                      ((header.unix_mode & 0200) ? 0 : kAttributeReadOnly));
  return attributes;
}

// A name as it meets others on any file system of the platforms: ASCII
// letters in one case, and every other byte alike, so that two names a
// case-blind system could take for one always match.
std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key)
    c = static_cast<unsigned char>(c) >= 0x80 ? '\x80' : c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return key;
}

// Passes the data on and shows how much of the member has come.
class ProgressSink final : public ByteSink {
 public:
  ProgressSink(ByteSink& sink, ProgressLine& progress) : sink_(sink), progress_(progress) {}
  Status Write(const uint8_t* data, size_t size) override {
    done_ += size;
    progress_.Update(done_);
    return sink_.Write(data, size);
  }

 private:
  ByteSink& sink_;
  ProgressLine& progress_;
  uint64_t done_ = 0;
};

// Contents go into the report as they are, except NUL bytes, which would
// end the report's text early, and, where lines end in CR LF, a CR that
// precedes LF: the report's line ends in '\n' alone there, so p puts a
// member's CR LF in as that '\n' (printed, it is CR LF again rather than
// CR CR LF); elsewhere a line ends in LF as it is stored. A CR at the end of a write is held until the next one shows
// what follows it; Flush() lets out one that ended the member.
class ReportSink final : public ByteSink {
 public:
  explicit ReportSink(Report& report) : report_(report) {}
  Status Write(const uint8_t* data, size_t size) override {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (held_cr_ && !text.empty()) {
      if (text.front() != '\n') report_.Text("\r");
      held_cr_ = false;
    }
    const std::string_view stops("\0\r", os::LinesEndInCrLf() ? 2 : 1);
    for (size_t stop; (stop = text.find_first_of(stops)) != std::string_view::npos;) {
      report_.Text(text.substr(0, stop));
      if (text[stop] == '\0') {
        report_.Text("\\x00");
      } else if (stop + 1 == text.size()) {
        held_cr_ = true;
      } else if (text[stop + 1] != '\n') {
        report_.Text("\r");
      }
      text.remove_prefix(stop + 1);
    }
    report_.Text(text);
    return Status::Ok();
  }
  void Flush() {
    if (held_cr_) report_.Text("\r");
    held_cr_ = false;
  }

 private:
  Report& report_;
  bool held_cr_ = false;
};

enum class Answer : uint8_t { kYes, kNo, kAll, kQuit, kNoTerminal };

// A selected member from the walk to its line in the report: its header
// and names, and for a member with data, where the data goes and how the
// decoding went. A member handled in its turn reads the walk's header and
// names, which stay put until it is done; one handed to the pool outlives
// the walk's step and keeps copies of its own (Keep).
struct Member {
  enum class Kind : uint8_t { kTest, kPrint, kFile };

  Member(const MemberHeader& walked, const LocalMemberNames& local, uint64_t index)
      : read_header(&walked), read_names(&local), walk_index(index) {}

  const MemberHeader& header() const { return *read_header; }
  const LocalMemberNames& names() const { return *read_names; }
  void Keep() {
    read_header = &kept_header.emplace(*read_header);
    read_names = &kept_names.emplace(*read_names);
  }

  // Where header() and names() read: the walk's, or the kept copies.
  const MemberHeader* read_header;
  const LocalMemberNames* read_names;
  std::optional<MemberHeader> kept_header;
  std::optional<LocalMemberNames> kept_names;
  uint64_t walk_index;  // among all members the walk met

  Kind kind = Kind::kTest;
  bool label = false;      // p: the member's contents follow its name
  bool elsewhere = false;  // decoded on the pool, with a reader of its own
  std::unique_ptr<FileReader> own_reader;
  std::unique_ptr<ByteSink> sink;
  MemberDecoding decoding;
  // x and e: the temporary file in the member's directory, and its final name.
  os::Directory directory;
  std::string name, temporary;
  os::File file;
  std::unique_ptr<os::RemoveOnInterrupt> remove_on_interrupt;
};

class Extraction {
 public:
  Extraction(const CommandLine& line, Report& report, ArchiveContents& archive)
      : line_(line),
        report_(report),
        archive_(archive),
        form_(CurrentTextForm()),
        with_directories_(line.switches.directory_names.value_or(line.command == Command::kExtractPaths)),
        progress_(!line.switches.no_progress, line.switches.long_progress_names,
                  line.command == Command::kTest ? "Testing" : "Extracting"),
        umask_(os::ProcessUmask()),
        threads_(DecodingPool::Threads()) {}

  Result Run();

 private:
  // Components joined by NUL, which no component holds.
  struct DirectoryToFinish {
    std::string path;
    int64_t mtime;
    uint16_t mode;
    bool mtime_valid, has_mode;
    uint8_t attributes;
  };

  // One status line per member, and what happened. Plain "ok" lines are
  // fitted to the line limit; a problem is shown whole. A line about a
  // member comes after those of the members before it.
  void Note(std::string_view word, const std::string& name, const std::string& message = {}) {
    Settle();
    StatusLine(word, name, &status_line_);
    if (!message.empty()) {
      report_.Line(status_line_ + ": " + message);
    } else if (status_line_.size() <= kLineLimit) {
      report_.Line(status_line_);  // as FitName leaves a line that fits
    } else {
      report_.Line(FitName(status_line_, kLineLimit, form_));
    }
  }
  Result Failed(const Member& member, Status status) {
    if (status.fault() == Fault::kUnsupported && member.header().method == Method::kOther)
      return Failed(member, status.fault(), "unsupported method " + member.header().MethodText());
    return Failed(member, status.fault(), status.message());
  }
  Result Failed(const Member& member, Fault fault, const std::string& message) {
    ++failed_;
    last_failed_index_ = member.walk_index;
    Note("FAILED", DisplayName(member.names().path, form_), message);
    return ResultFor(fault);
  }
  Result Skipped(const Member& member, const std::string& why) {
    ++skipped_;
    Note("skipped", DisplayName(member.names().path, form_), why);
    return Result::kSkipped;
  }

  Result Test(std::unique_ptr<Member> member);
  Result Print(std::unique_ptr<Member> member, bool label);
  Result Extract(std::unique_ptr<Member> member);
  Result ExtractFile(std::unique_ptr<Member> member);
  Result ExtractLink(const Member& member, const os::Directory& directory, const std::string& name);
  // Whether a member is decoded on the pool: one with enough data to pay
  // for the hand-over, and for p one whose contents may wait in memory.
  bool HandsOver(const MemberHeader& header, Member::Kind kind) const {
    return threads_ > 1 && header.packed_size >= kHandOverMinimum &&
           (kind != Member::Kind::kPrint || header.original_size <= kHeldContentsLimit);
  }
  // Decodes the member's data into its sink, on the pool when that pays
  // (the member is finished later, in its turn) or here (finished now).
  Result Decode(std::unique_ptr<Member> member);
  // What follows the decoding: the report's line, and for x and e the
  // file's time, its final name and attributes.
  Result Finish(Member& member);
  Result FinishFile(Member& member);
  // Finishes the oldest member in flight.
  void FinishOldest();
  // Finishes every member still in flight, in the archive's order; none
  // while one is being finished (its own lines come first).
  void Settle();
  // Settles first when a member in flight may yet take one of the names
  // in `components` (a file where the path needs a directory, or the name
  // itself).
  void SettleNamesOf(const std::vector<std::string>& components);
  // Decides about an existing entry at the final name: true to write.
  bool MayReplace(const Member& member, const os::Directory& directory, const std::string& name, Result* result);
  Answer Ask(const std::string& shown);
  std::string TemporaryName();
  // Removes, once per directory, the temporary files of extractions whose
  // process is gone.
  void RemoveStaleTemporaries(const os::Directory& directory);
  void NoteExtracted(const os::Directory& directory, const std::string& name);
  void FinishDirectories();
  void Summary();

  const CommandLine& line_;
  Report& report_;
  ArchiveContents& archive_;
  const TextForm form_;
  const bool with_directories_;
  ProgressLine progress_;
  const uint32_t umask_;
  const unsigned threads_;
  os::Directory root_;
  os::EntryInfo archive_file_;  // to keep members from replacing the archive
  bool replace_all_ = false;
  bool quit_ = false;
  uint32_t temporary_counter_ = 0;
  uint64_t done_ = 0, skipped_ = 0, failed_ = 0;
  uint64_t walked_ = 0;                      // members the walk met so far
  uint64_t last_failed_index_ = UINT64_MAX;  // walk index of the last member that failed
  std::string status_line_;  // Note's, reused line after line
  std::vector<DirectoryToFinish> directories_;
  std::set<std::pair<uint64_t, uint64_t>> extracted_files_;  // device and file id
  std::unordered_set<std::string> cleaned_directories_;
  uint64_t stale_removed_ = 0;
  Result result_ = Result::kOk;  // of the members finished after their turn
  bool finishing_ = false;       // a member in flight is being finished
  // Declared before the pool, which finishes the decodings it runs before
  // the members they write to go.
  std::deque<std::unique_ptr<Member>> in_flight_;
  std::unique_ptr<DecodingPool> pool_;
};

Result Extraction::Run() {
  Result result = Result::kOk;
  const bool writes = line_.command == Command::kExtract || line_.command == Command::kExtractPaths;
  // p's report is the members' contents, which a title would run into.
  if (line_.command != Command::kPrint) report_.Line(ArchiveTitle(line_.archive, archive_.archive_offset, form_));
  if (writes) {
    std::string base = line_.base_directory.empty() ? std::string(".") : line_.base_directory;
    Status status = line_.base_directory.empty() ? Status::Ok() : os::MakeDirectories(base);
    if (status.ok()) status = os::Directory::Open(base, &root_);
    if (!status.ok()) {
      report_.Line("Cannot use the directory " + DisplayName(base, form_) + ": " + status.message());
      return Result::kIoError;
    }
    (void)os::Directory::Working().Lookup(os::NativePath(line_.archive), os::Link::kFollowed, &archive_file_);
  }
  const Switches& switches = line_.switches;
  MemberSelection selection(line_.files, switches.strict_names, switches.case_sensitive);
  // p labels each member only when more than one has contents to show.
  bool label = false;
  if (line_.command == Command::kPrint) {
    MemberSelection counting(line_.files, switches.strict_names, switches.case_sensitive);
    size_t with_data = 0;
    WalkMembers(archive_, [&](const MemberHeader& header) {
      with_data += !header.is_directory && !header.is_symlink && counting.Selects(LocalNames(header, form_).path);
    });
    label = with_data > 1;
  }
  os::FileSizeLimitAsError size_limit_as_error;
  LocalMemberNames names;  // the walk's, reused member after member
  WalkMembers(archive_, [&](MemberHeader& header) {
    LocalNames(header, form_, &names);
    const uint64_t index = walked_++;
    if (!selection.Selects(names.path)) return;
    auto member = std::make_unique<Member>(header, names, index);
    // After a quit the walk still goes on: what the selection matched and
    // whether the archive is damaged are reported all the same.
    if (quit_) {
      if (!member->header().is_directory)
        result = Worse(result, Skipped(*member, "not extracted: stopped at the user's request"));
      return;
    }
    switch (line_.command) {
      case Command::kTest: result = Worse(result, Test(std::move(member))); break;
      case Command::kPrint: result = Worse(result, Print(std::move(member), label)); break;
      default: result = Worse(result, Extract(std::move(member))); break;
    }
  });
  Settle();
  result = Worse(result, result_);
  if (writes) FinishDirectories();
  if (stale_removed_ > 0)
    report_.Line("Removed " + std::to_string(stale_removed_) + " temporary file" + (stale_removed_ == 1 ? "" : "s") +
                 " left by interrupted extractions.");
  if (quit_) {
    report_.Line("Stopped at the user's request.");
    result = Worse(result, Result::kSkipped);
  }
  for (const std::string& pattern : selection.Unmatched()) {
    std::string shown = DisplayName(pattern, form_);
    std::string text = "No member matches " + shown;
    // A directory named without its separator is taken for a name; say
    // how it would have been the base directory.
    os::EntryInfo info;
    if (writes && line_.base_directory.empty() &&
        os::Directory::Working().Lookup(os::NativePath(pattern), os::Link::kFollowed, &info).ok() &&
        info.type == os::EntryType::kDirectory)
      text += "; to extract into the directory " + shown + ", write " + shown + "/ (a base directory ends in / or \\)";
    report_.Line(text);
    ++skipped_;  // a name asked for and not extracted
    result = Worse(result, Result::kSkipped);
  }
  if (!archive_.damage.ok()) {
    // A member cut short has failed by name already when it was selected;
    // any other damage is one more failure, for all the walk never reached.
    const bool last_member_failed = walked_ > 0 && last_failed_index_ == walked_ - 1;
    if (!archive_.damage_in_last_member || !last_member_failed) ++failed_;
    report_.Line(DamageLine(archive_, "above"));
    result = Worse(result, Result::kDamaged);
  }
  if (line_.command != Command::kPrint) Summary();
  return result;
}

void Extraction::Summary() {
  const char* verb = line_.command == Command::kTest ? " tested, " : " extracted, ";
  report_.Line(std::to_string(done_) + (done_ == 1 ? " member" : " members") + verb + std::to_string(skipped_) +
               " skipped, " + std::to_string(failed_) + " failed");
}

Result Extraction::Decode(std::unique_ptr<Member> member) {
  const MemberHeader& header = member->header();
  member->elsewhere = HandsOver(header, member->kind);
  if (!member->elsewhere) {
    Settle();
    if (member->kind == Member::Kind::kPrint && member->label)
      report_.Line("::::::: " + DisplayName(member->names().path, form_));
    progress_.Begin(member->names().path, header.original_size);
    ProgressSink sink(*member->sink, progress_);
    member->decoding.status = ExtractMemberData(*archive_.reader, header, sink);
    return Finish(*member);
  }
  if (!pool_) pool_ = std::make_unique<DecodingPool>();
  member->Keep();
  member->own_reader = archive_.reader->Twin();
  member->decoding = MemberDecoding{member->own_reader.get(), &member->header(), member->sink.get(), Status::Ok()};
  pool_->Start(member->decoding);
  in_flight_.push_back(std::move(member));
  if (in_flight_.size() > kMembersInFlight) FinishOldest();
  return Result::kOk;
}

void Extraction::FinishOldest() {
  std::unique_ptr<Member> oldest = std::move(in_flight_.front());
  in_flight_.pop_front();
  pool_->FinishOldest();
  finishing_ = true;
  result_ = Worse(result_, Finish(*oldest));
  finishing_ = false;
}

void Extraction::Settle() {
  if (finishing_) return;
  while (!in_flight_.empty()) FinishOldest();
}

void Extraction::SettleNamesOf(const std::vector<std::string>& components) {
  if (in_flight_.empty()) return;
  std::vector<std::string> keys;
  for (const std::string& component : components) keys.push_back(NameKey(component));
  for (const std::unique_ptr<Member>& member : in_flight_)
    if (std::find(keys.begin(), keys.end(), NameKey(member->name)) != keys.end()) return Settle();
}

Result Extraction::Finish(Member& member) {
  const MemberHeader& header = member.header();
  if (member.elsewhere) {
    // The line stands in for the progress this thread could not show.
    progress_.Begin(member.names().path, header.original_size);
    progress_.Update(header.original_size);
  }
  switch (member.kind) {
    case Member::Kind::kFile: return FinishFile(member);
    case Member::Kind::kPrint: {
      if (member.elsewhere) {
        if (member.label) report_.Line("::::::: " + DisplayName(member.names().path, form_));
        const std::vector<uint8_t>& contents = static_cast<MemoryOutput&>(*member.sink).bytes();
        ReportSink replay(report_);
        (void)replay.Write(contents.data(), contents.size());
        replay.Flush();
      } else {
        static_cast<ReportSink&>(*member.sink).Flush();
      }
      if (!member.decoding.status.ok()) return Failed(member, member.decoding.status);
      ++done_;
      return Result::kOk;
    }
    case Member::Kind::kTest: break;
  }
  if (!member.decoding.status.ok()) return Failed(member, member.decoding.status);
  ++done_;
  Note("ok", DisplayName(member.names().path, form_));
  return Result::kOk;
}

Result Extraction::Test(std::unique_ptr<Member> member) {
  const MemberHeader& header = member->header();
  if (header.symlink_damaged) return Failed(*member, Status::Corrupt("symbolic link without a target"));
  if (header.is_directory || header.is_symlink) return Result::kOk;
  member->kind = Member::Kind::kTest;
  member->sink = std::make_unique<os::DiscardSink>();
  return Decode(std::move(member));
}

Result Extraction::Print(std::unique_ptr<Member> member, bool label) {
  const MemberHeader& header = member->header();
  if (header.is_directory || header.is_symlink) return Result::kOk;
  member->kind = Member::Kind::kPrint;
  member->label = label;
  if (HandsOver(header, member->kind))
    member->sink = std::make_unique<MemoryOutput>();
  else
    member->sink = std::make_unique<ReportSink>(report_);
  return Decode(std::move(member));
}

Result Extraction::Extract(std::unique_ptr<Member> member) {
  const MemberHeader& header = member->header();
  // A directory entry without a name (level 0 allows it) creates nothing.
  if (header.is_directory && (!with_directories_ || header.path.empty())) return Result::kOk;
  if (header.symlink_damaged) return Failed(*member, Status::Corrupt("symbolic link without a target"));
  if (!header.is_directory && !header.is_symlink && !CanDecode(header.method))
    return Failed(*member, Status::Unsupported("unsupported method"));

  std::vector<std::string> components;
  std::string reason;
  std::string wanted = with_directories_ ? member->names().path : member->names().base;
  PathVerdict verdict = MakeTargetPath(wanted, &components, &reason);
  if (verdict == PathVerdict::kRefused) return Skipped(*member, reason);
  SettleNamesOf(components);
  std::string name = components.back();
  if (header.is_directory) {
    os::Directory directory;
    bool through_link = false;
    Status status = OpenTargetDirectory(root_, components, true, &directory, &through_link);
    if (!status.ok()) return through_link ? Skipped(*member, status.message()) : Failed(*member, status);
    std::string path;
    for (const std::string& component : components) path += (path.empty() ? "" : std::string(1, '\0')) + component;
    directories_.push_back(DirectoryToFinish{std::move(path), header.mtime, header.unix_mode, header.mtime_valid,
                                             header.has_unix_mode, AttributesOf(header)});
    return Result::kOk;
  }
  components.pop_back();
  os::Directory directory;
  bool through_link = false;
  Status status = OpenTargetDirectory(root_, components, true, &directory, &through_link);
  if (!status.ok()) return through_link ? Skipped(*member, status.message()) : Failed(*member, status);
  RemoveStaleTemporaries(directory);
  Result result = Result::kOk;
  if (verdict == PathVerdict::kMadeSafe) {
    std::string safe;
    for (const std::string& component : components) safe += component + "/";
    Note("note", DisplayName(member->names().path, form_), "written as " + DisplayName(safe + name, form_));
  }
  if (!MayReplace(*member, directory, name, &result)) return result;
  if (header.is_symlink) {
    Settle();  // a link is made at once, so its line comes now
    return Worse(result, ExtractLink(*member, directory, name));
  }
  member->directory = std::move(directory);
  member->name = std::move(name);
  return Worse(result, ExtractFile(std::move(member)));
}

bool Extraction::MayReplace(const Member& member, const os::Directory& directory, const std::string& name,
                            Result* result) {
  os::EntryInfo existing;
  Status status = directory.Lookup(name, os::Link::kNotFollowed, &existing);
  if (!status.ok()) {
    *result = Failed(member, status);
    return false;
  }
  if (existing.type == os::EntryType::kMissing) return true;
  std::string shown = DisplayName(member.names().path, form_);
  if (existing.type == os::EntryType::kDirectory) {
    *result = Skipped(member, "a directory of that name exists");
    return false;
  }
  // A member may be named like the archive (a hostile one, or a copy of
  // itself); replacing it would destroy the archive being read.
  if (existing.file_id != 0 && existing.device == archive_file_.device && existing.file_id == archive_file_.file_id) {
    *result = Skipped(member, "that is the archive being read");
    return false;
  }
  // Another member got there first in this run: two of its members
  // extract to one name, and neither may silently take the other's place.
  if (existing.file_id != 0 && extracted_files_.count({existing.device, existing.file_id}) != 0) {
    *result = Skipped(member, "an earlier member of the archive was extracted to that name");
    return false;
  }
  const MemberHeader& header = member.header();
  if (!line_.switches.no_date_check && header.mtime_valid && existing.mtime >= header.mtime) {
    ++skipped_;
    Note("kept", shown, "the existing file is as new or newer");
    return false;
  }
  if (line_.switches.no_questions || replace_all_) return true;
  switch (Ask(shown)) {
    case Answer::kYes: return true;
    case Answer::kAll: replace_all_ = true; return true;
    case Answer::kNo:
      ++skipped_;
      Note("kept", shown, "not replaced, as answered");
      return false;
    case Answer::kQuit:
      quit_ = true;
      ++skipped_;
      Note("kept", shown, "not replaced; stopped here, as answered");
      return false;
    case Answer::kNoTerminal:
      *result = Skipped(member, "a file of that name exists (-m replaces it)");
      return false;
  }
  return false;
}

Answer Extraction::Ask(const std::string& shown) {
  progress_.Clear();
  std::string answer;
  for (;;) {
    if (!os::AskOnTerminal(os::TextForCaller("Replace " + shown + "? [y]es [n]o [a]ll [q]uit: "), &answer))
      return Answer::kNoTerminal;
    char c = answer.empty() ? 'n' : static_cast<char>(answer[0] | 0x20);
    if (c == 'y') return Answer::kYes;
    if (c == 'n') return Answer::kNo;
    if (c == 'a') return Answer::kAll;
    if (c == 'q') return Answer::kQuit;
  }
}

std::string Extraction::TemporaryName() {
  return std::string(kTemporaryPrefix) + std::to_string(os::ProcessId()) + "-" + std::to_string(++temporary_counter_) +
         std::string(kTemporarySuffix);
}

// This process's own temporaries are stale too (a run of a process with
// the same id left them), but for those of the members in flight.
void Extraction::RemoveStaleTemporaries(const os::Directory& directory) {
  if (!cleaned_directories_.insert(directory.path()).second) return;
  std::vector<os::DirectoryEntry> entries;
  if (!directory.List(&entries).ok()) return;
  for (const os::DirectoryEntry& entry : entries) {
    uint32_t owner = TemporaryOwner(entry.name);
    if (owner == 0 || (entry.type != os::EntryType::kFile && entry.type != os::EntryType::kSymlink)) continue;
    if (owner != os::ProcessId() && os::ProcessIsRunning(owner)) continue;
    if (std::any_of(in_flight_.begin(), in_flight_.end(),
                    [&](const std::unique_ptr<Member>& member) { return member->temporary == entry.name; }))
      continue;
    if (directory.Remove(entry.name).ok()) ++stale_removed_;
  }
}

void Extraction::NoteExtracted(const os::Directory& directory, const std::string& name) {
  ++done_;
  os::EntryInfo written;
  if (directory.Lookup(name, os::Link::kNotFollowed, &written).ok() && written.file_id != 0)
    extracted_files_.emplace(written.device, written.file_id);
}

Result Extraction::ExtractFile(std::unique_ptr<Member> member) {
  const MemberHeader& header = member->header();
  const os::Directory& directory = member->directory;
  if (!line_.switches.no_space_check && header.original_size > 0) {
    uint64_t free_bytes = 0;
    if (directory.FreeSpace(&free_bytes).ok() && free_bytes < header.original_size)
      return Failed(*member, Fault::kIo,
                    "not enough free space (" + std::to_string(header.original_size) +
                        " bytes needed, -f skips this check)");
  }
  const uint8_t attributes = AttributesOf(header);
  const bool read_only = (attributes & kAttributeReadOnly) != 0;
  uint32_t mode = header.has_unix_mode ? (header.unix_mode & 0777) : (read_only ? 0444 : 0666);
  // A stale temporary file (a crashed run with the same process id) is
  // stepped over, never reused.
  os::EntryInfo stale;
  do {
    member->temporary = TemporaryName();
    stale = os::EntryInfo{};
  } while (directory.Lookup(member->temporary, os::Link::kNotFollowed, &stale).ok() &&
           stale.type != os::EntryType::kMissing && temporary_counter_ < 1000);
  // Registered before it exists: a signal between the two would otherwise
  // leave it behind. The name is this process's own and not taken.
  member->remove_on_interrupt = std::make_unique<os::RemoveOnInterrupt>(directory, member->temporary);
  Status status = directory.CreateNewFile(member->temporary, mode, &member->file);
  if (!status.ok()) return Failed(*member, status);
  member->kind = Member::Kind::kFile;
  member->sink = std::make_unique<os::FileOutput>(member->file);
  return Decode(std::move(member));
}

Result Extraction::FinishFile(Member& member) {
  const MemberHeader& header = member.header();
  const os::Directory& directory = member.directory;
  Status status = member.decoding.status;
  if (status.ok() && header.mtime_valid) status = member.file.SetModificationTime(header.mtime);
  Status closed = member.file.Close();
  if (status.ok()) status = closed;
  if (status.ok()) status = directory.Rename(member.temporary, member.name);
  if (!status.ok()) {
    (void)directory.Remove(member.temporary);  // the member's failure is what gets reported
    return Failed(member, status);
  }
  // Last: a read-only file takes no more changes.
  const uint8_t attributes = AttributesOf(header);
  if (attributes & kAttributeReadOnly) {
    const uint32_t mode = header.has_unix_mode ? (header.unix_mode & 0777) : 0444;
    (void)directory.SetMode(member.name, mode & ~umask_);
  }
  (void)directory.SetAttributes(member.name, attributes);
  NoteExtracted(directory, member.name);
  Note("ok", DisplayName(member.names().path, form_));
  return Result::kOk;
}

Result Extraction::ExtractLink(const Member& member, const os::Directory& directory, const std::string& name) {
  if (!os::SymlinksSupported()) return Skipped(member, "symbolic links are not created on this system");
  // Made under a temporary name and renamed: an existing file or link of
  // that name is replaced, never written through.
  std::string temporary = TemporaryName();
  os::RemoveOnInterrupt remove_on_interrupt(directory, temporary);
  Status status = directory.CreateSymlink(member.names().link_target, temporary);
  if (status.ok() && member.header().mtime_valid)
    (void)directory.SetModificationTime(temporary, member.header().mtime);
  if (status.ok()) status = directory.Rename(temporary, name);
  if (!status.ok()) {
    (void)directory.Remove(temporary);
    return Failed(member, status);
  }
  NoteExtracted(directory, name);
  Note("ok", DisplayName(member.names().path + " -> " + member.names().link_target, form_));
  return Result::kOk;
}

// Directory times, modes and attributes come last: writing into a
// directory changes its time, and a read-only mode would stop the members
// below it.
void Extraction::FinishDirectories() {
  for (auto it = directories_.rbegin(); it != directories_.rend(); ++it) {
    std::vector<std::string> parent;
    for (size_t start = 0, end; start <= it->path.size(); start = end + 1) {
      end = std::min(it->path.find('\0', start), it->path.size());
      parent.push_back(it->path.substr(start, end - start));
    }
    std::string name = parent.back();
    parent.pop_back();
    os::Directory directory;
    bool through_link = false;
    if (!OpenTargetDirectory(root_, parent, false, &directory, &through_link).ok()) continue;
    if (it->has_mode) (void)directory.SetMode(name, (it->mode & 0777) & ~umask_);
    if (it->mtime_valid) (void)directory.SetModificationTime(name, it->mtime);
    (void)directory.SetAttributes(name, it->attributes);
  }
}

}  // namespace

Result ExtractMembers(const CommandLine& line, Report& report) {
  ArchiveContents archive;
  Status status = OpenArchive(line.archive, &archive);
  if (!status.ok()) {
    report.Line("Cannot read " + DisplayName(line.archive, CurrentTextForm()) + ": " + status.message());
    return Result::kNotArchive;
  }
  return Extraction(line, report, archive).Run();
}

}  // namespace lzh::commands
