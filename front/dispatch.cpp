// Dispatch. Apart from the first byte of the command word, which decides
// whether a wildcard archive argument is accepted, the program leaves the
// meaning of commands and switches to the library.
#include "front/dispatch.h"

#include <cstring>

#include "command/assemble.h"
#include "command/routes.h"
#include "front/state.h"
#include "pathtext/pathtext.h"

namespace {

constexpr char kBatchLetters[] = "excdflstvEXCDFLSTV";

}  // namespace

int FindArchiveArgument(int argc, char** argv) {
  for (int i = 2; i < argc; ++i)
    if (argv[i][0] != '-') return i;
  return -1;
}

bool HasWildcard(int argc, char** argv) {
  int index = FindArchiveArgument(argc, argv);
  return index >= 0 && HasWildcardChars(argv[index]);
}

bool IsBatchCommand(const char* commandWord) {
  return commandWord[0] != '\0' && std::strchr(kBatchLetters, commandWord[0]) != nullptr;
}

int Dispatch(int argc, char** argv) {
  if (argc == 2) {
    RunEachArchive(argv[1]);
    return 1;
  }
  if (HasWildcard(argc, argv)) {
    if (!IsBatchCommand(argv[1])) return 0;
    RunEachMatch(argc, argv, FindArchiveArgument(argc, argv));
    return 1;
  }
  if (!BuildCommand(argc, argv)) return 1;
  int archiveIndex = FindArchiveArgument(argc, argv);
  if (archiveIndex < 0) return 0;
  RunCommand(CommandBuffer.text, argc, argv, archiveIndex);
  return 1;
}
