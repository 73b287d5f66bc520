// The exported handle functions: a thin C shell over MemberWalk that turns
// its members into the fixed C record and its failures into result codes.
//
// A handle is a number, never an address: every call looks it up, so a
// closed handle (or any value the library never handed out) is found
// missing and refused instead of reaching freed memory, and numbers are
// handed out in turn, so a stale handle does not reach an archive opened
// later. The table is guarded by a spin lock held only for a look-up, an
// insertion or a removal (the MinGW toolchain's win32 thread model has no
// std::mutex); the walk itself runs outside it, on a shared reference that
// keeps the archive open until the call ends even when another thread
// closes the handle meanwhile.
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "commands/member_text.h"
#include "commands/member_walk.h"
#include "commands/result.h"
#include "format/dos_time.h"
#include "include/unlha32.h"
#include "os/os.h"

namespace {

using lzh::commands::MemberWalk;

static_assert(sizeof(UnlhaMemberInfo) == 580, "the member record's layout is part of the interface");

class HandleTable {
 public:
  UnlhaArchive* Add(std::shared_ptr<MemberWalk> walk) {
    Hold hold(busy_);
    do ++last_;
    while (last_ == 0 || open_.count(last_) != 0);
    open_.emplace(last_, std::move(walk));
    return reinterpret_cast<UnlhaArchive*>(last_);
  }
  std::shared_ptr<MemberWalk> Find(UnlhaArchive* handle) {
    Hold hold(busy_);
    auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == open_.end() ? nullptr : found->second;
  }
  bool Remove(UnlhaArchive* handle) {
    std::shared_ptr<MemberWalk> closing;  // released after the lock, outside it
    Hold hold(busy_);
    auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == open_.end()) return false;
    closing = std::move(found->second);
    open_.erase(found);
    return true;
  }

 private:
  class Hold {
   public:
    explicit Hold(std::atomic_flag& busy) : busy_(busy) {
      while (busy_.test_and_set(std::memory_order_acquire)) {
      }
    }
    ~Hold() { busy_.clear(std::memory_order_release); }

   private:
    std::atomic_flag& busy_;
  };

  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  std::map<std::uintptr_t, std::shared_ptr<MemberWalk>> open_;
  std::uintptr_t last_ = 0;
};

HandleTable handles;

uint32_t Saturated(uint64_t value, uint32_t flag, uint32_t* flags) {
  if (value < UINT32_MAX) return static_cast<uint32_t>(value);
  *flags |= flag;
  return UINT32_MAX;
}

void CopyText(const std::string& text, char* out, size_t room) {
  size_t length = text.size() < room ? text.size() : room - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

void Describe(const MemberWalk& walk, UnlhaMemberInfo* info) {
  const lzh::MemberHeader& header = walk.header();
  *info = UnlhaMemberInfo{};
  info->original_size = Saturated(header.original_size, UNLHA_MEMBER_ORIGINAL_SATURATED, &info->flags);
  info->compressed_size = Saturated(header.packed_size, UNLHA_MEMBER_COMPRESSED_SATURATED, &info->flags);
  info->crc = header.crc;
  if (header.is_directory) info->flags |= UNLHA_MEMBER_DIRECTORY;
  if (header.is_symlink) info->flags |= UNLHA_MEMBER_SYMLINK;
  info->os_type = header.os_id;
  uint64_t ratio = lzh::commands::PerMille(header.packed_size, header.original_size);
  info->ratio = ratio < UINT32_MAX ? static_cast<uint32_t>(ratio) : UINT32_MAX;
  if (header.mtime_valid) {
    uint32_t stamp = lzh::UnixToDosTime(header.mtime);
    info->dos_date = stamp >> 16;
    info->dos_time = stamp & 0xFFFF;
  }
  const std::string& name = walk.shown_name();
  size_t kept = lzh::commands::WholeCharactersWithin(name, sizeof info->name - 1, walk.form());
  std::memcpy(info->name, name.data(), kept);
  if (kept < name.size()) info->flags |= UNLHA_MEMBER_NAME_CUT;
  CopyText(lzh::commands::AttributeText(header), info->attributes, sizeof info->attributes);
  std::string method;
  for (uint8_t byte : header.method_id) {
    if (byte >= 0x20 && byte < 0x7F) {
      method += static_cast<char>(byte);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      method += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  CopyText(method, info->method, sizeof info->method);
}

// One step of the walk as the exported functions answer it.
int Step(MemberWalk& walk, UnlhaMemberInfo* info) {
  bool end = false;
  lzh::Status status = walk.Next(&end);
  if (!status.ok()) return static_cast<int>(lzh::commands::ResultFor(status.fault()));
  if (end) return -1;
  Describe(walk, info);
  return UNLHA_OK;
}

}  // namespace

extern "C" {

UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchive(void*, const char* path, uint32_t mode) {
  if (path == nullptr || mode != 0) return nullptr;
  lzh::os::TakeLocale();
  try {
    auto walk = std::make_shared<MemberWalk>();
    if (!walk->Open(lzh::os::TextFromCaller(path)).ok()) return nullptr;
    return handles.Add(std::move(walk));
  } catch (...) {
    return nullptr;
  }
}

UNLHA_EXPORT int UNLHA_CALL UnlhaCloseArchive(UnlhaArchive* archive) {
  return handles.Remove(archive) ? UNLHA_OK : UNLHA_BAD_COMMAND;
}

UNLHA_EXPORT int UNLHA_CALL UnlhaFindFirst(UnlhaArchive* archive, const char* pattern, UnlhaMemberInfo* info) {
  try {
    std::shared_ptr<MemberWalk> walk = handles.Find(archive);
    if (!walk || info == nullptr) return UNLHA_BAD_COMMAND;
    lzh::os::TakeLocale();
    walk->Restart(lzh::os::TextFromCaller(pattern ? pattern : ""));
    return Step(*walk, info);
  } catch (...) {
    return UNLHA_INTERNAL;
  }
}

UNLHA_EXPORT int UNLHA_CALL UnlhaFindNext(UnlhaArchive* archive, UnlhaMemberInfo* info) {
  try {
    std::shared_ptr<MemberWalk> walk = handles.Find(archive);
    if (!walk || info == nullptr) return UNLHA_BAD_COMMAND;
    return Step(*walk, info);
  } catch (...) {
    return UNLHA_INTERNAL;
  }
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileName(UnlhaArchive* archive, char* buffer, int size) {
  try {
    std::shared_ptr<MemberWalk> walk = handles.Find(archive);
    if (!walk || buffer == nullptr || size < 1 || !walk->has_member()) return -1;
    const std::string& name = walk->shown_name();
    size_t kept = lzh::commands::WholeCharactersWithin(name, static_cast<size_t>(size) - 1, walk->form());
    std::memcpy(buffer, name.data(), kept);
    buffer[kept] = '\0';
    return name.size() < INT_MAX ? static_cast<int>(name.size()) : INT_MAX;
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
