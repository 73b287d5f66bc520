// Binding of the archiver library. All 31 names are looked up and kept, as
// the library's interface defines them; three are always called, and a
// library lacking any of those three is refused rather than called blindly.
// The five of the member walk are called only when all of them are there.
#include "archiver/archiver.h"

#include <cstring>
#include <limits>
#include <type_traits>

namespace {

// Each exported name with the slot it fills, in the order in which they
// are looked up.
struct EntryPoint {
  const char* name;
  void (*keep)(void* address);  // stores the address in the name's slot
};

template <auto Slot>
void Keep(void* address) {
  using Entry = std::remove_reference_t<decltype(ArchiverApi.*Slot)>;
  ArchiverApi.*Slot = reinterpret_cast<Entry>(address);
}

const EntryPoint kEntryPoints[] = {
    {"UnlhaCheckArchive", Keep<&ArchiverSlots::checkArchive>},
    {"Unlha", Keep<&ArchiverSlots::unlha>},
    {"UnlhaGetVersion", Keep<&ArchiverSlots::getVersion>},
    {"UnlhaGetRunning", Keep<&ArchiverSlots::getRunning>},
    {"UnlhaConfigDialog", Keep<&ArchiverSlots::configDialog>},
    {"UnlhaGetFileCount", Keep<&ArchiverSlots::getFileCount>},
    {"UnlhaQueryFunctionList", Keep<&ArchiverSlots::queryFunctionList>},
    {"UnlhaOpenArchive", Keep<&ArchiverSlots::openArchive>},
    {"UnlhaCloseArchive", Keep<&ArchiverSlots::closeArchive>},
    {"UnlhaFindFirst", Keep<&ArchiverSlots::findFirst>},
    {"UnlhaFindNext", Keep<&ArchiverSlots::findNext>},
    {"UnlhaGetArcFileName", Keep<&ArchiverSlots::getArcFileName>},
    {"UnlhaGetArcFileSize", Keep<&ArchiverSlots::getArcFileSize>},
    {"UnlhaGetArcOriginalSize", Keep<&ArchiverSlots::getArcOriginalSize>},
    {"UnlhaGetArcCompressedSize", Keep<&ArchiverSlots::getArcCompressedSize>},
    {"UnlhaGetArcRatio", Keep<&ArchiverSlots::getArcRatio>},
    {"UnlhaGetArcDate", Keep<&ArchiverSlots::getArcDate>},
    {"UnlhaGetArcTime", Keep<&ArchiverSlots::getArcTime>},
    {"UnlhaGetArcOSType", Keep<&ArchiverSlots::getArcOSType>},
    {"UnlhaGetFileName", Keep<&ArchiverSlots::getFileName>},
    {"UnlhaGetOriginalSize", Keep<&ArchiverSlots::getOriginalSize>},
    {"UnlhaGetCompressedSize", Keep<&ArchiverSlots::getCompressedSize>},
    {"UnlhaGetMethod", Keep<&ArchiverSlots::getMethod>},
    {"UnlhaGetRatio", Keep<&ArchiverSlots::getRatio>},
    {"UnlhaGetDate", Keep<&ArchiverSlots::getDate>},
    {"UnlhaGetTime", Keep<&ArchiverSlots::getTime>},
    {"UnlhaGetCRC", Keep<&ArchiverSlots::getCRC>},
    {"UnlhaGetAttribute", Keep<&ArchiverSlots::getAttribute>},
    {"UnlhaGetOSType", Keep<&ArchiverSlots::getOSType>},
    {"UnlhaSetOwnerWindow", Keep<&ArchiverSlots::setOwnerWindow>},
    {"UnlhaClearOwnerWindow", Keep<&ArchiverSlots::clearOwnerWindow>},
};

constexpr std::uint64_t kLargestReport = std::numeric_limits<std::uint32_t>::max();

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return b > std::numeric_limits<std::uint64_t>::max() - a ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// The length UnlhaGetFileName gives for the current member, from the record
// when the name fits it whole.
std::uint64_t NameLength(UnlhaArchive* archive, const UnlhaMemberInfo& info) {
  if (!(info.flags & UNLHA_MEMBER_NAME_CUT)) return strnlen(info.name, sizeof info.name);
  char probe[1];
  int length = ArchiverApi.getFileName(archive, probe, sizeof probe);
  return length > 0 ? static_cast<std::uint64_t>(length) : sizeof info.name;
}

}  // namespace

ArchiverSlots ArchiverApi{};

int BindArchiver(LoadedLibrary* library) {
  ArchiverApi.library = library;
  for (const EntryPoint& entry : kEntryPoints) entry.keep(LookUpEntryPoint(library, entry.name));
  bool usable = ArchiverApi.checkArchive && ArchiverApi.unlha && ArchiverApi.getFileCount;
  return usable ? 1 : 0;
}

bool IsArchive(const char* path) { return ArchiverApi.checkArchive(path, 0) != 0; }

int MemberCount(const char* path) { return ArchiverApi.getFileCount(path); }

bool ReportRoomIsKnown() {
  return ArchiverApi.openArchive && ArchiverApi.closeArchive && ArchiverApi.findFirst &&
         ArchiverApi.findNext && ArchiverApi.getFileName;
}

bool MeasureArchive(const char* path, ArchiveRoom* room) {
  *room = {};
  if (!ReportRoomIsKnown()) return false;
  UnlhaArchive* archive = ArchiverApi.openArchive(nullptr, path, 0);
  if (!archive) return false;
  UnlhaMemberInfo info;
  for (int found = ArchiverApi.findFirst(archive, nullptr, &info); found == 0 && room->members <= kLargestReport;
       found = ArchiverApi.findNext(archive, &info)) {
    std::uint64_t nameRoom = NameLength(archive, info) * UNLHA_REPORT_NAME_FACTOR;
    room->members = SaturatingAdd(room->members, SaturatingAdd(UNLHA_REPORT_MEMBER_ROOM, nameRoom));
    room->contents = SaturatingAdd(room->contents, std::uint64_t{info.original_size} * UNLHA_REPORT_CONTENT_FACTOR);
  }
  ArchiverApi.closeArchive(archive);
  return true;
}
