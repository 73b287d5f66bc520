// UnlhaGetFileCount of the test double (left out of the partial build).
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "tests/double/double.h"

extern "C" int TAVO_WINAPI UnlhaGetFileCount(const char* path) {
  RecordCall("GetFileCount|" + std::string(path));
  if (const char* forced = std::getenv("TAVO_DOUBLE_COUNT")) return static_cast<int>(std::strtol(forced, nullptr, 10));
  return ReadMemberCount(path);
}
