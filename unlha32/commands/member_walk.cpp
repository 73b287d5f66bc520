// The pull form of WalkMembers: the same walker, the same rule for a member
// cut short, one header per call instead of a callback per member.
#include "member_walk.h"

#include <utility>
#include <vector>

#include "member_text.h"
#include "os/os.h"

namespace lzh::commands {

Status MemberWalk::Open(const std::string& path) {
  LZH_TRY(OpenArchive(path, &contents_));
  Restart({});
  return Status::Ok();
}

void MemberWalk::Restart(std::string_view pattern) {
  form_ = CurrentTextForm();
  has_member_ = false;
  finished_ = false;
  damage_ = Status::Ok();
  pending_damage_ = Status::Ok();
  selection_.reset();
  if (!pattern.empty())
    selection_.emplace(std::vector<std::string>{std::string(pattern)}, false, os::NameCaseMatters());
  walker_ = std::make_unique<ArchiveWalker>(*contents_.reader);
  damage_ = walker_->Open();
}

Status MemberWalk::Next(bool* end) {
  *end = false;
  has_member_ = false;
  if (!pending_damage_.ok()) damage_ = std::exchange(pending_damage_, Status::Ok());
  if (!damage_.ok()) return damage_;
  while (!finished_) {
    header_ = MemberHeader();  // a failed step may leave a header half filled
    bool walk_end = false;
    Status status = walker_->Next(&header_, &walk_end);
    if (!status.ok()) {
      if (!DataCutShort(header_, contents_.reader->Size())) {
        damage_ = status;
        return damage_;
      }
      pending_damage_ = status;
      finished_ = true;
    } else if (walk_end) {
      finished_ = true;
      break;
    }
    LocalMemberNames names = LocalNames(header_, form_);
    if (selection_ && !selection_->Selects(names.path)) continue;
    shown_name_ = os::TextForCaller(ShownName(header_, names, true, form_));
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

}  // namespace lzh::commands
