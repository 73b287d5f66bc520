// Archive runs and output. Report buffers come from WorkHeap and are
// zero-filled, so a library that writes nothing leaves an empty report
// rather than stale heap bytes. Sizes are computed without overflow: a
// negative or absurd count from a faulty library, or a huge tree, is a
// memory failure. An archive path that would not fit 255 bytes ends its route
// like an entry the library does not accept.
#include "command/routes.h"

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

// The one report buffer of a per-archive route, taken at the first archive
// and resized for each later one.
class RouteBuffer {
 public:
  ~RouteBuffer() {
    if (bytes_) ReturnHeapBlock(WorkHeap, bytes_);
  }
  char* Fit(std::uint32_t size) {
    void* block = bytes_ ? ResizeHeapBlock(WorkHeap, bytes_, size) : TakeHeapBlock(WorkHeap, size);
    if (!block) return nullptr;
    bytes_ = static_cast<char*>(block);
    std::memset(bytes_, 0, size);
    return bytes_;
  }

 private:
  char* bytes_ = nullptr;
};

// The archive path for a found entry: the drive and directory of the
// argument joined with the entry's name. False when it cannot be had whole.
bool ArchivePath(char* path, const char* argument, const char* name) {
  char drive[kDriveSize], directory[kPathSize];
  return SplitPath(argument, drive, directory, nullptr, nullptr) && MakePath(path, drive, directory, name, nullptr);
}

// Sizes the buffer for the archive and runs the library on it. False after
// a memory failure.
bool RunOnArchive(RouteBuffer& buffer, const char* path, const char* commandLine) {
  std::uint32_t size = 0;
  if (!ReportSize(MemberCount(path), kBytesPerMember, &size)) return false;
  char* report = buffer.Fit(size);
  if (!report) return false;
  ArchiverApi.unlha()(nullptr, commandLine, report, size);
  PrintReport(report, size);
  return true;
}

}  // namespace

bool ReportSize(std::int64_t count, std::uint32_t unit, std::uint32_t* size) {
  constexpr std::int64_t kLargest = std::numeric_limits<std::uint32_t>::max();
  if (count < 0 || unit == 0 || count > kLargest / unit - 5) return false;
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
  if (!search) return 1;
  int result = 1;
  RouteBuffer buffer;
  do {
    char path[kPathSize];
    if (!ArchivePath(path, argument, entry.name) || !IsArchive(path)) break;
    if (!RunOnArchive(buffer, path, path)) {
      result = 0;
      break;
    }
  } while (FindNextEntry(search, &entry));
  CloseSearch(search);
  return result;
}

int RunEachMatch(int argc, char** argv, int archiveIndex) {
  const char* argument = argv[archiveIndex];
  SearchEntry entry;
  DirectorySearch* search = FindFirstEntry(argument, &entry);
  if (!search) return 1;
  int result = 1;
  RouteBuffer buffer;
  do {
    char path[kPathSize];
    if (!ArchivePath(path, argument, entry.name)) break;
    bool archive = IsArchive(path);
    if (!BuildCommandFor(argc, argv, path, archiveIndex)) {
      result = 0;
      break;
    }
    if (!archive) break;
    if (!RunOnArchive(buffer, path, CommandBuffer.text)) {
      result = 0;
      break;
    }
  } while (FindNextEntry(search, &entry));
  CloseSearch(search);
  return result;
}

int RunCommand(const char* commandLine, int argc, char** argv, int archiveIndex) {
  std::int64_t files = 0;
  for (int i = archiveIndex + 1; i < argc; ++i) {
    std::uint64_t counted = CountMatches(argv[i]);
    std::uint64_t room = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - files);
    files = counted > room ? std::numeric_limits<std::int64_t>::max() : files + static_cast<std::int64_t>(counted);
  }
  std::uint32_t size = 0;
  if (!ReportSize(files, kBytesPerFile, &size)) return -1;
  void* block = TakeHeapBlock(WorkHeap, size);
  if (!block) return -1;
  char* report = static_cast<char*>(block);
  std::memset(report, 0, size);
  int result = ArchiverApi.unlha()(nullptr, commandLine, report, size);
  PrintReport(report, size);
  ReturnHeapBlock(WorkHeap, block);
  return result;
}
