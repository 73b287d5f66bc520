// The exported handle functions: a thin C shell over MemberWalk that turns
// its members into the fixed C record and the facts of the header, and its
// failures into result codes.
//
// A handle is a number, never an address: every call looks it up, so a
// closed handle (or any value the library never handed out) is found
// missing and refused instead of reaching freed memory, and numbers are
// handed out in turn, so a stale handle does not reach an archive opened
// later. The table's lock is held only for a look-up, an insertion or a
// removal; each open archive has a lock of its own, held for a whole call,
// so that two threads sharing a handle take turns step by step while
// different handles run in parallel. A call holds a shared reference to
// its archive: another thread closing the handle meanwhile only makes
// later calls refused.
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "commands/shared/archive_reading.h"
#include "commands/member_text.h"
#include "commands/member_walk.h"
#include "commands/shared/result.h"
#include "os/time.h"
#include "include/unlha32.h"
#include "os/mutex.h"
#include "os/file.h"
#include "os/text.h"

namespace {

using lzh::commands::ArchiveTotals;
using lzh::commands::MemberWalk;

static_assert(sizeof(UnlhaMemberInfo) == 580, "the member record's layout is part of the interface");

struct OpenedArchive {
  lzh::os::Mutex busy;
  std::string path;  // as the caller gave it
  MemberWalk walk;
  // The last modification time turned into an MS-DOS stamp: the members
  // of an archive mostly share a few times, and the local time conversion
  // costs more than the rest of a member's record.
  int64_t stamped_mtime = 0;
  uint32_t stamp = 0;
  bool has_stamp = false;
};

class HandleTable {
 public:
  UnlhaArchive* Add(std::shared_ptr<OpenedArchive> archive) {
    lzh::os::MutexHold hold(lock_);
    do ++last_;
    while (last_ == 0 || open_.count(last_) != 0);
    open_.emplace(last_, std::move(archive));
    return reinterpret_cast<UnlhaArchive*>(last_);
  }
  std::shared_ptr<OpenedArchive> Find(UnlhaArchive* handle) {
    lzh::os::MutexHold hold(lock_);
    auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == open_.end() ? nullptr : found->second;
  }
  bool Remove(UnlhaArchive* handle) {
    std::shared_ptr<OpenedArchive> closing;  // released after the lock, outside it
    lzh::os::MutexHold hold(lock_);
    auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == open_.end()) return false;
    closing = std::move(found->second);
    open_.erase(found);
    return true;
  }

 private:
  lzh::os::Mutex lock_;
  std::map<std::uintptr_t, std::shared_ptr<OpenedArchive>> open_;
  std::uintptr_t last_ = 0;
};

HandleTable handles;

uint32_t Saturated(uint64_t value) { return value < UINT32_MAX ? static_cast<uint32_t>(value) : UINT32_MAX; }

uint32_t Saturated(uint64_t value, uint32_t flag, uint32_t* flags) {
  if (value >= UINT32_MAX) *flags |= flag;
  return Saturated(value);
}

uint32_t DosStamp(int64_t unix_time) { return lzh::os::UnixToDosTime(unix_time); }

std::string MethodText(const lzh::MemberHeader& header) {
  static const char kHex[] = "0123456789ABCDEF";
  char method[4 * sizeof header.method_id];
  size_t length = 0;
  for (uint8_t byte : header.method_id) {
    if (byte >= 0x20 && byte < 0x7F) {
      method[length++] = static_cast<char>(byte);
    } else {
      for (char c : {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]}) method[length++] = c;
    }
  }
  return std::string(method, length);
}

// Writes `text` NUL-terminated into `size` bytes, cut on a character
// boundary; the whole length, as the text functions return it.
int CopyText(const std::string& text, char* buffer, size_t size, lzh::commands::TextForm form) {
  size_t kept = lzh::commands::WholeCharactersWithin(text, size - 1, form);
  std::memcpy(buffer, text.data(), kept);
  buffer[kept] = '\0';
  return text.size() < INT_MAX ? static_cast<int>(text.size()) : INT_MAX;
}

uint32_t StampOf(OpenedArchive& archive, int64_t mtime) {
  if (!archive.has_stamp || archive.stamped_mtime != mtime) {
    archive.stamp = DosStamp(mtime);
    archive.stamped_mtime = mtime;
    archive.has_stamp = true;
  }
  return archive.stamp;
}

void Describe(OpenedArchive& archive, UnlhaMemberInfo* info) {
  const MemberWalk& walk = archive.walk;
  const lzh::MemberHeader& header = walk.header();
  const lzh::commands::TextForm form = walk.form();
  *info = UnlhaMemberInfo{};
  info->original_size = Saturated(header.original_size, UNLHA_MEMBER_ORIGINAL_SATURATED, &info->flags);
  info->compressed_size = Saturated(header.packed_size, UNLHA_MEMBER_COMPRESSED_SATURATED, &info->flags);
  info->crc = header.crc;
  if (header.is_directory) info->flags |= UNLHA_MEMBER_DIRECTORY;
  if (header.is_symlink) info->flags |= UNLHA_MEMBER_SYMLINK;
  info->os_type = header.os_id;
  info->ratio = Saturated(lzh::commands::PerMille(header.packed_size, header.original_size));
  if (header.mtime_valid) {
    uint32_t stamp = StampOf(archive, header.mtime);
    info->dos_date = stamp >> 16;
    info->dos_time = stamp & 0xFFFF;
  }
  if (CopyText(walk.shown_name(), info->name, sizeof info->name, form) >= int{sizeof info->name})
    info->flags |= UNLHA_MEMBER_NAME_CUT;
  CopyText(lzh::commands::AttributeText(header), info->attributes, sizeof info->attributes, form);
  CopyText(MethodText(header), info->method, sizeof info->method, form);
}

// Runs `work` on the archive behind `handle` while holding it; `refused`
// when the handle is not open or memory runs out.
template <typename Work>
int OnArchive(UnlhaArchive* handle, int refused, Work work) {
  try {
    std::shared_ptr<OpenedArchive> archive = handles.Find(handle);
    if (!archive) return refused;
    lzh::os::MutexHold hold(archive->busy);
    lzh::os::TakeLocale();
    return work(*archive);
  } catch (...) {
    return refused == -1 ? -1 : UNLHA_INTERNAL;
  }
}

// One step of the walk as the exported functions answer it.
int Step(OpenedArchive& archive, UnlhaMemberInfo* info) {
  bool end = false;
  lzh::Status status = archive.walk.Next(&end);
  if (!status.ok()) return static_cast<int>(lzh::commands::ResultFor(status.fault()));
  if (end) return UNLHA_NO_MORE_MEMBERS;
  Describe(archive, info);
  return UNLHA_OK;
}

// A fact of the current member, written to *value.
template <typename Value, typename Fact>
int MemberFact(UnlhaArchive* handle, Value* value, Fact fact) {
  return OnArchive(handle, UNLHA_BAD_COMMAND, [&](OpenedArchive& archive) {
    if (value == nullptr || !archive.walk.has_member()) return UNLHA_BAD_COMMAND;
    *value = fact(archive);
    return UNLHA_OK;
  });
}

// A field of the current member's record.
int RecordField(UnlhaArchive* handle, uint32_t* value, uint32_t UnlhaMemberInfo::*field) {
  return MemberFact(handle, value, [field](OpenedArchive& archive) {
    UnlhaMemberInfo info;
    Describe(archive, &info);
    return info.*field;
  });
}

// A text of the current member (or of the archive, `needs_member` false).
template <typename Text>
int TextFact(UnlhaArchive* handle, char* buffer, int size, bool needs_member, Text text) {
  return OnArchive(handle, -1, [&](OpenedArchive& archive) {
    if (buffer == nullptr || size < 1 || (needs_member && !archive.walk.has_member())) return -1;
    return CopyText(text(archive), buffer, static_cast<size_t>(size), archive.walk.form());
  });
}

// A fact of the file, as it was when opened.
template <typename Value, typename Fact>
int FileFact(UnlhaArchive* handle, Value* value, Fact fact) {
  return OnArchive(handle, UNLHA_BAD_COMMAND, [&](OpenedArchive& archive) {
    if (value == nullptr) return UNLHA_BAD_COMMAND;
    *value = fact(archive.walk.file());
    return UNLHA_OK;
  });
}

// A fact of the totals over every member; written also when damage cut
// the count short.
template <typename Value, typename Fact>
int TotalsFact(UnlhaArchive* handle, Value* value, Fact fact) {
  return OnArchive(handle, UNLHA_BAD_COMMAND, [&](OpenedArchive& archive) {
    if (value == nullptr) return UNLHA_BAD_COMMAND;
    const ArchiveTotals& totals = archive.walk.Totals();
    int result = static_cast<int>(lzh::commands::ResultFor(totals.status.fault()));
    if (result == UNLHA_OK || result == UNLHA_DAMAGED) *value = fact(totals);
    return result;
  });
}

}  // namespace

extern "C" {

UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchiveEx(void*, const char* path, uint32_t mode, int* result) {
  int ignored;
  if (result == nullptr) result = &ignored;
  *result = UNLHA_BAD_COMMAND;
  if (path == nullptr || mode != 0) return nullptr;
  lzh::os::TakeLocale();
  try {
    auto archive = std::make_shared<OpenedArchive>();
    archive->path = lzh::commands::ArchivePathFor(lzh::os::TextFromCaller(path));
    lzh::Status status = archive->walk.Open(archive->path);
    *result = status.ok() ? UNLHA_OK : status.fault() == lzh::Fault::kNoMemory ? UNLHA_INTERNAL : UNLHA_NOT_ARCHIVE;
    return status.ok() ? handles.Add(std::move(archive)) : nullptr;
  } catch (...) {
    *result = UNLHA_INTERNAL;
    return nullptr;
  }
}

UNLHA_EXPORT UnlhaArchive* UNLHA_CALL UnlhaOpenArchive(void* owner, const char* path, uint32_t mode) {
  return UnlhaOpenArchiveEx(owner, path, mode, nullptr);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaCloseArchive(UnlhaArchive* archive) {
  return handles.Remove(archive) ? UNLHA_OK : UNLHA_BAD_COMMAND;
}

UNLHA_EXPORT int UNLHA_CALL UnlhaFindFirst(UnlhaArchive* archive, const char* pattern, UnlhaMemberInfo* info) {
  return OnArchive(archive, UNLHA_BAD_COMMAND, [&](OpenedArchive& opened) {
    if (info == nullptr) return UNLHA_BAD_COMMAND;
    opened.walk.Restart(lzh::os::TextFromCaller(pattern ? pattern : ""));
    return Step(opened, info);
  });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaFindNext(UnlhaArchive* archive, UnlhaMemberInfo* info) {
  return OnArchive(archive, UNLHA_BAD_COMMAND, [&](OpenedArchive& opened) {
    return info == nullptr ? UNLHA_BAD_COMMAND : Step(opened, info);
  });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileName(UnlhaArchive* archive, char* buffer, int size) {
  return TextFact(archive, buffer, size, true, [](OpenedArchive& opened) { return opened.walk.shown_name(); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetMethod(UnlhaArchive* archive, char* buffer, int size) {
  return TextFact(archive, buffer, size, true,
                  [](OpenedArchive& opened) { return MethodText(opened.walk.header()); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetAttribute(UnlhaArchive* archive, char* buffer, int size) {
  return TextFact(archive, buffer, size, true,
                  [](OpenedArchive& opened) { return lzh::commands::AttributeText(opened.walk.header()); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetOriginalSize(UnlhaArchive* archive, uint32_t* size) {
  return RecordField(archive, size, &UnlhaMemberInfo::original_size);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetCompressedSize(UnlhaArchive* archive, uint32_t* size) {
  return RecordField(archive, size, &UnlhaMemberInfo::compressed_size);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetRatio(UnlhaArchive* archive, uint32_t* per_mille) {
  return RecordField(archive, per_mille, &UnlhaMemberInfo::ratio);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetDate(UnlhaArchive* archive, uint32_t* dos_date) {
  return RecordField(archive, dos_date, &UnlhaMemberInfo::dos_date);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetTime(UnlhaArchive* archive, uint32_t* dos_time) {
  return RecordField(archive, dos_time, &UnlhaMemberInfo::dos_time);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetCRC(UnlhaArchive* archive, uint32_t* crc) {
  return RecordField(archive, crc, &UnlhaMemberInfo::crc);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetOSType(UnlhaArchive* archive, uint32_t* os_type) {
  return RecordField(archive, os_type, &UnlhaMemberInfo::os_type);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetOriginalSizeEx(UnlhaArchive* archive, uint64_t* size) {
  return MemberFact(archive, size, [](OpenedArchive& opened) { return opened.walk.header().original_size; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetCompressedSizeEx(UnlhaArchive* archive, uint64_t* size) {
  return MemberFact(archive, size, [](OpenedArchive& opened) { return opened.walk.header().packed_size; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileName(UnlhaArchive* archive, char* buffer, int size) {
  return TextFact(archive, buffer, size, false,
                  [](OpenedArchive& opened) { return lzh::os::TextForCaller(opened.path); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileSize(UnlhaArchive* archive, uint32_t* size) {
  return FileFact(archive, size, [](const lzh::os::EntryInfo& file) { return Saturated(file.size); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcFileSizeEx(UnlhaArchive* archive, uint64_t* size) {
  return FileFact(archive, size, [](const lzh::os::EntryInfo& file) { return file.size; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcDate(UnlhaArchive* archive, uint32_t* dos_date) {
  return FileFact(archive, dos_date, [](const lzh::os::EntryInfo& file) { return DosStamp(file.mtime) >> 16; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcTime(UnlhaArchive* archive, uint32_t* dos_time) {
  return FileFact(archive, dos_time, [](const lzh::os::EntryInfo& file) { return DosStamp(file.mtime) & 0xFFFF; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOriginalSize(UnlhaArchive* archive, uint32_t* size) {
  return TotalsFact(archive, size, [](const ArchiveTotals& totals) { return Saturated(totals.original); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOriginalSizeEx(UnlhaArchive* archive, uint64_t* size) {
  return TotalsFact(archive, size, [](const ArchiveTotals& totals) { return totals.original; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcCompressedSize(UnlhaArchive* archive, uint32_t* size) {
  return TotalsFact(archive, size, [](const ArchiveTotals& totals) { return Saturated(totals.compressed); });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcCompressedSizeEx(UnlhaArchive* archive, uint64_t* size) {
  return TotalsFact(archive, size, [](const ArchiveTotals& totals) { return totals.compressed; });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcRatio(UnlhaArchive* archive, uint32_t* per_mille) {
  return TotalsFact(archive, per_mille, [](const ArchiveTotals& totals) {
    return Saturated(lzh::commands::PerMille(totals.compressed, totals.original));
  });
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetArcOSType(UnlhaArchive* archive, uint32_t* os_type) {
  return TotalsFact(archive, os_type, [](const ArchiveTotals& totals) { return uint32_t{totals.os_type}; });
}

}  // extern "C"
