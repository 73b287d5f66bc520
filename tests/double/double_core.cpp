// The test double's entry points other than UnlhaGetFileCount, which lives
// in its own file so that a second build can leave it out and prove how the
// front end treats a library that lacks an entry point.
//
// Misbehaviour on request, for fault-injection tests:
//   TAVO_DOUBLE_NO_NUL=1      Unlha fills the whole buffer and leaves no NUL.
//   TAVO_DOUBLE_COUNT=<n>     UnlhaGetFileCount answers n for every archive.
// Results on request: TAVO_DOUBLE_RESULTS=<r1>,<r2>,... makes Unlha return
// r1 at its first call in the process, r2 at the second and so on, the
// last one ever after (0 when unset).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/double/double.h"

void RecordCall(const std::string& line) {
  const char* logName = std::getenv("TAVO_DOUBLE_LOG");
  if (!logName || !*logName) return;
  if (std::FILE* log = std::fopen(logName, "ab")) {
    std::fwrite(line.data(), 1, line.size(), log);
    std::fputc('\n', log);
    std::fclose(log);
  }
}

int ReadMemberCount(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return -1;
  char head[64] = {};
  std::size_t got = std::fread(head, 1, sizeof head - 1, file);
  std::fclose(file);
  std::size_t markerLength = std::strlen(kArchiveMarker);
  if (got < markerLength || std::memcmp(head, kArchiveMarker, markerLength) != 0) return -1;
  return std::atoi(head + markerLength);
}

extern "C" {

int TAVO_WINAPI UnlhaCheckArchive(const char* path, int mode) {
  RecordCall("CheckArchive|" + std::string(path) + "|" + std::to_string(mode));
  return ReadMemberCount(path) >= 0 ? 1 : 0;
}

namespace {

int ResultOfCall(int call) {
  const char* next = std::getenv("TAVO_DOUBLE_RESULTS");
  if (!next || !*next) return 0;
  for (;; --call) {
    char* end = nullptr;
    long value = std::strtol(next, &end, 10);
    if (call == 0 || *end != ',') return static_cast<int>(value);
    next = end + 1;
  }
}

}  // namespace

int TAVO_WINAPI Unlha(void* ownerWindow, const char* commandLine, char* report, std::uint32_t size) {
  static int calls = 0;
  int result = ResultOfCall(calls++);
  RecordCall("Unlha|" + std::to_string(size) + "|" + (ownerWindow ? "owner" : "none") + "|" + commandLine);
  if (size == 0) return 1;
  const char* noNul = std::getenv("TAVO_DOUBLE_NO_NUL");
  if (noNul && *noNul == '1') {
    std::memset(report, 'X', size);
    return result;
  }
  std::string text = "double report\nline: " + std::string(commandLine);
  std::size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(report, text.data(), length);
  report[length] = '\0';
  return result;
}

unsigned short TAVO_WINAPI UnlhaGetVersion() { return 20; }

}  // extern "C"
