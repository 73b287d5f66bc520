// Archive runs and output.
//
// A report buffer is at least the size the member or file count gives, and
// where the library bounds the room its reports need (unlha32.h), the front
// end adds that room, measured by walking the archive: so no report is cut,
// whatever the number of members or the length of their names. Nothing is
// run twice to learn a size (a, m and d change the archive). Buffers are
// never zero-filled: only the first byte gets a NUL (a library that writes
// nothing prints nothing), and the pages the library does not write stay
// untouched, so a large buffer for a faulty member count costs little. A
// size that cannot be had is halved down to the least size before it counts
// as a memory failure. Sizes are computed in 64 bits: a negative or absurd
// count from a faulty library is a memory failure, never a wrapped size.
#include "command/routes.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "archiver/archiver.h"
#include "command/assemble.h"
#include "front/state.h"
#include "pathtext/pathtext.h"
#include "platform/platform.h"
#include "walk/walk.h"

namespace {

constexpr std::uint32_t kBytesPerMember = 80;
constexpr std::uint32_t kBytesPerFile = 160;
constexpr std::uint64_t kLargestSize = std::numeric_limits<std::uint32_t>::max();
// What p may print beyond the rest of its report: 64 MiB of contents, each
// byte shown in up to four.
constexpr std::uint64_t kContentRoom = 256u << 20;
// The adding commands report on files the front end cannot foresee (-r,
// @lists and the like are the library's business): a fixed room, which
// costs memory only as far as the report fills it.
constexpr std::uint64_t kAddingRoom = 256u << 20;

bool StartsWithOneOf(const char* word, const char* letters) {
  return word && word[0] != '\0' && std::strchr(letters, word[0]) != nullptr;
}

// The report size for a command line about one archive: the least size plus
// the room the library's bound asks for, at most what 32 bits hold. No
// command word: the bare-archive route, which lists. The sums cannot
// overflow: the archive's room stays below 2^34 (MeasureArchive stops once
// past 2^32) and the command line is far shorter than 2^59 bytes.
std::uint32_t SizeWithRoom(std::uint32_t least, const char* commandWord, const char* commandLine,
                           const char* archivePath) {
  if (!ReportRoomIsKnown()) return least;
  std::uint64_t size = least + UNLHA_REPORT_FIXED_ROOM + UNLHA_REPORT_LINE_FACTOR * std::uint64_t{std::strlen(commandLine)};
  ArchiveRoom archive;
  if (MeasureArchive(archivePath, &archive)) {
    size += archive.members;
    if (StartsWithOneOf(commandWord, "pP")) size += std::min(archive.contents, kContentRoom);
  }
  if (StartsWithOneOf(commandWord, "aufmAUFM")) size += kAddingRoom;
  return static_cast<std::uint32_t>(std::min(size, kLargestSize));
}

// A block of *size bytes, or, when that cannot be had, of half as many and
// so on down to `least` bytes (*size then says how many); nullptr when not
// even `least` can be had.
char* TakeReportBlock(std::uint32_t* size, std::uint32_t least) {
  for (;;) {
    if (void* block = TakeHeapBlock(WorkHeap, *size)) return static_cast<char*>(block);
    if (*size <= least) return nullptr;
    *size = std::max(*size / 2, least);
  }
}

// The report buffer of a per-archive route. Kept while it is large enough;
// otherwise a fresh block takes its place: growing the old one would copy
// it, and so touch every page it has.
class RouteBuffer {
 public:
  ~RouteBuffer() { Release(); }
  char* Fit(std::uint32_t* size, std::uint32_t least) {
    if (bytes_ && *size <= capacity_) return bytes_;
    Release();
    bytes_ = TakeReportBlock(size, least);
    capacity_ = bytes_ ? *size : 0;
    return bytes_;
  }

 private:
  void Release() {
    if (bytes_) ReturnHeapBlock(WorkHeap, bytes_);
    bytes_ = nullptr;
  }
  char* bytes_ = nullptr;
  std::uint32_t capacity_ = 0;
};

// Runs the library once and prints its report; its result as an exit status.
int RunAndPrint(const char* commandLine, char* report, std::uint32_t size) {
  report[0] = '\0';
  int result = ArchiverApi.unlha(nullptr, commandLine, report, size);
  PrintReport(report, size);
  return result >= 0 && result <= 255 ? result : UNLHA_INTERNAL;
}

// The archive path for a found entry: the drive and directory of the
// argument joined with the entry's name. False when it cannot be had whole.
bool ArchivePath(char* path, const char* argument, const char* name) {
  char drive[kDriveSize], directory[kPathSize];
  return SplitPath(argument, drive, directory, nullptr, nullptr) && MakePath(path, drive, directory, name, nullptr);
}

// Sizes the buffer for the archive and runs the library on it, raising
// *status to its result. False after a memory failure (*status says so).
bool RunOnArchive(RouteBuffer& buffer, const char* path, const char* commandWord, const char* commandLine,
                  int* status) {
  std::uint32_t least = 0;
  char* report = nullptr;
  std::uint32_t size = 0;
  if (ReportSize(MemberCount(path), kBytesPerMember, &least)) {
    size = SizeWithRoom(least, commandWord, commandLine, path);
    report = buffer.Fit(&size, least);
  }
  if (!report) {
    *status = std::max(*status, int{UNLHA_INTERNAL});
    return false;
  }
  *status = std::max(*status, RunAndPrint(commandLine, report, size));
  return true;
}

constexpr int kNoRunYet = -1;

int RouteStatus(int status) { return status == kNoRunYet ? UNLHA_NOT_ARCHIVE : status; }

}  // namespace

bool ReportSize(std::int64_t count, std::uint32_t unit, std::uint32_t* size) {
  if (count < 0 || unit == 0 || count > static_cast<std::int64_t>(kLargestSize / unit) - 5) return false;
  *size = static_cast<std::uint32_t>((count + 5) * unit);
  return true;
}

void PrintReport(const char* report, std::uint32_t size) {
  const void* end = std::memchr(report, '\0', size);
  WriteLine(report, end ? static_cast<std::size_t>(static_cast<const char*>(end) - report) : size);
}

int RunEachArchive(const char* argument) {
  SearchEntry entry;
  DirectorySearch* search = FindFirstEntry(argument, &entry);
  if (!search) return UNLHA_NOT_ARCHIVE;
  int status = kNoRunYet;
  RouteBuffer buffer;
  do {
    char path[kPathSize];
    if (!ArchivePath(path, argument, entry.name) || !IsArchive(path)) continue;
    if (!RunOnArchive(buffer, path, nullptr, path, &status)) break;
  } while (FindNextEntry(search, &entry));
  CloseSearch(search);
  return RouteStatus(status);
}

int RunEachMatch(int argc, char** argv, int archiveIndex) {
  const char* argument = argv[archiveIndex];
  SearchEntry entry;
  DirectorySearch* search = FindFirstEntry(argument, &entry);
  if (!search) return UNLHA_NOT_ARCHIVE;
  int status = kNoRunYet;
  RouteBuffer buffer;
  do {
    char path[kPathSize];
    if (!ArchivePath(path, argument, entry.name) || !IsArchive(path)) continue;
    if (!BuildCommandFor(argc, argv, path, archiveIndex)) {
      status = std::max(status, int{UNLHA_INTERNAL});
      break;
    }
    if (!RunOnArchive(buffer, path, argv[1], CommandBuffer.text, &status)) break;
  } while (FindNextEntry(search, &entry));
  CloseSearch(search);
  return RouteStatus(status);
}

int RunCommand(const char* commandLine, int argc, char** argv, int archiveIndex) {
  std::int64_t files = 0;
  for (int i = archiveIndex + 1; i < argc; ++i) {
    std::uint64_t counted = CountMatches(argv[i]);
    std::uint64_t room = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - files);
    files = counted > room ? std::numeric_limits<std::int64_t>::max() : files + static_cast<std::int64_t>(counted);
  }
  std::uint32_t least = 0;
  if (!ReportSize(files, kBytesPerFile, &least)) return UNLHA_INTERNAL;
  std::uint32_t size = SizeWithRoom(least, argv[1], commandLine, argv[archiveIndex]);
  char* report = TakeReportBlock(&size, least);
  if (!report) return UNLHA_INTERNAL;
  int status = RunAndPrint(commandLine, report, size);
  ReturnHeapBlock(WorkHeap, report);
  return status;
}
