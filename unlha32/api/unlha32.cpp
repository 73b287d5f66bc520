// The exported C interface: a thin shell over the commands layer (the
// handle functions are in archive_handles.cpp), and the questions about the
// library as a whole. It parses nothing; it only keeps C++ on its own side
// of the boundary: every exception is caught here and becomes a result
// code, and the caller's text (the ANSI code page on Windows) becomes the
// library's on the way in.
#include "include/unlha32.h"

#include <atomic>
#include <new>

#include "commands/shared/archive_reading.h"
#include "commands/report.h"
#include "commands/shared/result.h"
#include "commands/run.h"
#include "os/text.h"

namespace {

using lzh::commands::Result;

static_assert(static_cast<int>(Result::kOk) == UNLHA_OK);
static_assert(static_cast<int>(Result::kSkipped) == UNLHA_SKIPPED);
static_assert(static_cast<int>(Result::kUnsupported) == UNLHA_UNSUPPORTED);
static_assert(static_cast<int>(Result::kDamaged) == UNLHA_DAMAGED);
static_assert(static_cast<int>(Result::kIoError) == UNLHA_IO_ERROR);
static_assert(static_cast<int>(Result::kNotArchive) == UNLHA_NOT_ARCHIVE);
static_assert(static_cast<int>(Result::kBadCommand) == UNLHA_BAD_COMMAND);
static_assert(static_cast<int>(Result::kInternal) == UNLHA_INTERNAL);

// The calls of Unlha() under way on all threads, for UnlhaGetRunning().
std::atomic<int> running{0};

class Running {
 public:
  Running() { ++running; }
  ~Running() { --running; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;
};

}  // namespace

extern "C" {

UNLHA_EXPORT int UNLHA_CALL Unlha(void*, const char* command_line, char* report_buffer, uint32_t report_size) {
  Running running_now;
  lzh::os::TakeLocale();
  lzh::commands::Report report(report_buffer, report_size);
  Result result;
  try {
    result = lzh::commands::RunCommandLine(lzh::os::TextFromCaller(command_line ? command_line : ""), report);
  } catch (const std::bad_alloc&) {
    report.Line("Out of memory.");
    result = Result::kInternal;
  } catch (...) {
    report.Line("Internal error.");
    result = Result::kInternal;
  }
  report.Finish();
  return static_cast<int>(result);
}

UNLHA_EXPORT int UNLHA_CALL UnlhaCheckArchive(const char* path, int) {
  if (path == nullptr) return 0;
  lzh::os::TakeLocale();
  try {
    return lzh::commands::IsReadableArchive(lzh::commands::ArchivePathFor(lzh::os::TextFromCaller(path))) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetFileCount(const char* path) {
  if (path == nullptr) return -1;
  lzh::os::TakeLocale();
  try {
    return lzh::commands::CountMembers(lzh::commands::ArchivePathFor(lzh::os::TextFromCaller(path)));
  } catch (...) {
    return -1;
  }
}

UNLHA_EXPORT int UNLHA_CALL UnlhaGetVersion(void) { return UNLHA32_VERSION; }

UNLHA_EXPORT int UNLHA_CALL UnlhaGetRunning(void) { return running.load() > 0 ? 1 : 0; }

UNLHA_EXPORT int UNLHA_CALL UnlhaQueryFunctionList(int function) {
  return function >= 0 && function < UNLHA_FUNCTION_COUNT ? 1 : 0;
}

UNLHA_EXPORT int UNLHA_CALL UnlhaConfigDialog(void*, char*, int) { return UNLHA_NOT_SUPPORTED; }

UNLHA_EXPORT int UNLHA_CALL UnlhaSetOwnerWindow(void*) { return UNLHA_OK; }

UNLHA_EXPORT int UNLHA_CALL UnlhaClearOwnerWindow(void) { return UNLHA_OK; }

}  // extern "C"
