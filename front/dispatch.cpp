// Dispatch. Apart from the first byte of the command word, which decides
// whether a wildcard archive argument is accepted, the program leaves the
// meaning of commands and switches to the library. A refusal prints
// nothing; only the exit status tells of it.
#include "front/dispatch.h"

#include <cstring>

#include "archiver/archiver.h"
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
  if (argc == 2) return RunEachArchive(argv[1]);
  if (HasWildcard(argc, argv)) {
    if (!IsBatchCommand(argv[1])) return UNLHA_BAD_COMMAND;
    return RunEachMatch(argc, argv, FindArchiveArgument(argc, argv));
  }
  if (!BuildCommand(argc, argv)) return UNLHA_INTERNAL;
  int archiveIndex = FindArchiveArgument(argc, argv);
  if (archiveIndex < 0) return UNLHA_BAD_COMMAND;
  return RunCommand(CommandBuffer.text, argc, argv, archiveIndex);
}
