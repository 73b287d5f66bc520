// The pull form of WalkMembers: the same walker, the same rule for a member
// cut short, one header per call instead of a callback per member, over a
// reader that opens the archive for each read.
#include "commands/member_walk.h"

#include <utility>
#include <vector>

#include "commands/shared/archive_reading.h"
#include "commands/member_text.h"
#include "os/file.h"
#include "os/text.h"
#include "os/directory.h"

namespace lzh::commands {
namespace {

// Original sizes are the headers' word alone: a hostile archive may claim
// sums past 64 bits.
uint64_t SaturatingSum(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

}  // namespace

// The archive as a reader that holds no file between reads. The walker
// reads headers in blocks of a few hundred KiB, so a walk opens the file
// once per block, not once per member.
class ArchiveFileAtRest final : public RandomAccessReader {
 public:
  static Status Open(const std::string& path, std::shared_ptr<ArchiveFileAtRest>* file) {
    std::string native = os::NativePath(path);
    os::EntryInfo info;
    LZH_TRY(os::Directory::Working().Lookup(native, os::Link::kFollowed, &info));
    LZH_REQUIRE(info.type != os::EntryType::kMissing, kIo, "no such file");
    LZH_REQUIRE(info.type == os::EntryType::kFile, kCorrupt, "not an LZH archive");
    // Not make_shared: built without RTTI (the self-extracting program),
    // its control block would bring the C++ runtime's exception machinery.
    file->reset(new ArchiveFileAtRest(std::move(native), info));
    return Status::Ok();
  }
  ArchiveFileAtRest(std::string native_path, const os::EntryInfo& opened)
      : native_path_(std::move(native_path)), opened_(opened) {}

  const os::EntryInfo& opened() const { return opened_; }
  uint64_t Size() const override { return opened_.size; }

  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    os::EntryInfo now;
    LZH_TRY(os::Directory::Working().Lookup(native_path_, os::Link::kFollowed, &now));
    LZH_REQUIRE(now.type == opened_.type && now.size == opened_.size && now.mtime == opened_.mtime &&
                    now.device == opened_.device && now.file_id == opened_.file_id,
                kIo, "the archive has changed since it was opened");
    os::File file;
    LZH_TRY(os::File::OpenRead(native_path_, &file));
    while (*got < size) {
      size_t step = 0;
      LZH_TRY(file.ReadAt(offset + *got, buffer + *got, size - *got, &step));
      if (step == 0) break;
      *got += step;
    }
    return Status::Ok();
  }

 private:
  std::string native_path_;
  os::EntryInfo opened_;
};

MemberWalk::MemberWalk() = default;
MemberWalk::~MemberWalk() = default;

Status MemberWalk::Open(const std::string& path) {
  LZH_TRY(ArchiveFileAtRest::Open(path, &file_));
  ArchiveWalker probe(*file_);
  LZH_TRY(probe.Open());
  Restart({});
  return Status::Ok();
}

const os::EntryInfo& MemberWalk::file() const { return file_->opened(); }

void MemberWalk::Restart(std::string_view pattern) {
  form_ = CurrentTextForm();
  has_member_ = false;
  finished_ = false;
  damage_ = Status::Ok();
  pending_damage_ = Status::Ok();
  selection_.reset();
  if (!pattern.empty() && pattern != "*")
    selection_.emplace(std::vector<std::string>{std::string(pattern)}, false, os::NameCaseMatters());
  walker_ = std::make_unique<ArchiveWalker>(*file_);
  damage_ = walker_->Open();
}

Status MemberWalk::Next(bool* end) {
  *end = false;
  has_member_ = false;
  if (!pending_damage_.ok()) damage_ = std::exchange(pending_damage_, Status::Ok());
  if (!damage_.ok()) return damage_;
  while (!finished_) {
    bool walk_end = false;
    Status status = walker_->Next(&header_, &walk_end);
    if (!status.ok()) {
      if (!DataCutShort(header_, file_->Size())) {
        damage_ = status;
        return damage_;
      }
      pending_damage_ = status;
      finished_ = true;
    } else if (walk_end) {
      finished_ = true;
      break;
    }
    LocalNames(header_, form_, &names_);
    if (selection_ && !selection_->Selects(names_.path)) continue;
    shown_name_ = os::TextForCaller(ShownName(header_, names_, true, form_));
    has_member_ = true;
    return Status::Ok();
  }
  if (!pending_damage_.ok()) {
    damage_ = std::exchange(pending_damage_, Status::Ok());
    return damage_;
  }
  *end = true;
  return Status::Ok();
}

const ArchiveTotals& MemberWalk::Totals() {
  if (totals_) return *totals_;
  ArchiveTotals totals;
  MemberWalk count;
  count.file_ = file_;
  count.Restart({});
  bool first = true;
  for (bool end = false;;) {
    totals.status = count.Next(&end);
    if (!totals.status.ok() || end) break;
    const MemberHeader& member = count.header();
    totals.original = SaturatingSum(totals.original, member.original_size);
    totals.compressed = SaturatingSum(totals.compressed, member.packed_size);
    totals.os_type = first || member.os_id == totals.os_type ? member.os_id : 0;
    first = false;
  }
  totals_ = totals;
  return *totals_;
}

}  // namespace lzh::commands
