// Command-line assembly. The line is composed first and then stored in
// CommandBuffer, whose size follows the usual rule (raw command line + LHA
// value + 20) but grows to the line's own length when a substituted archive
// path makes the line longer than that rule allows.
#include "command/assemble.h"

#include <algorithm>
#include <cstring>

#include "front/state.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kFirstLhaRead = 2048;

// Makes the block hold size bytes, creating it or resizing it unlocked, and
// leaves it locked. Returns false when the size cannot be had; the block is
// then still the old one, locked.
bool SizeBlock(LockedBlock& block, std::size_t size) {
  if (!block.handle) {
    block.handle = AllocMovable(size);
  } else {
    UnlockMovable(block.handle);
    if (MovableMemory* resized = ResizeMovable(block.handle, size)) block.handle = resized;
    else {
      block.text = LockMovable(block.handle);
      return false;
    }
  }
  block.text = block.handle ? LockMovable(block.handle) : nullptr;
  return block.text != nullptr;
}

// Reads LHA whole into a fresh LhaOptions; returns its length measure n (0
// when unset or empty), or -1 when memory could not be had.
long ReadLhaOptions() {
  if (LhaOptions.handle) {
    UnlockMovable(LhaOptions.handle);
    FreeMovable(LhaOptions.handle);
    LhaOptions = {};
  }
  if (!SizeBlock(LhaOptions, kFirstLhaRead)) return -1;
  std::size_t n = ReadEnvironment("LHA", LhaOptions.text, kFirstLhaRead);
  if (n == 0) return 0;
  if (!SizeBlock(LhaOptions, n + 10)) return -1;
  ReadEnvironment("LHA", LhaOptions.text, n + 10);
  return static_cast<long>(n);
}

// True when the argument would not come back whole from the library's
// tokenizer unquoted: an empty one would vanish, a blank or a tab would split
// it and a double quote would be taken for quoting. The scan is by bytes, as
// the tokenizer's is; a character scan would let a lead byte hide a quote
// or blank that the tokenizer then sees.
bool NeedsQuotes(const char* argument) {
  return *argument == '\0' || std::strpbrk(argument, " \t\"") != nullptr;
}

void AppendPiece(std::string& line, const char* piece) {
  if (NeedsQuotes(piece)) AppendQuoted(line, piece);
  else line += piece;
  line += ' ';
}

int Assemble(int argc, char** argv, const char* archivePath, int archiveIndex) {
  long n = ReadLhaOptions();
  if (n < 0) return 0;
  std::string line = argv[1];
  if (n != 0) {
    line += ' ';
    line += LhaOptions.text;
  }
  line += ' ';
  for (int i = 2; i < argc; ++i) AppendPiece(line, i == archiveIndex ? archivePath : argv[i]);

  std::size_t size = std::max(RawCommandLineLength(argc, argv) + static_cast<std::size_t>(n) + 20, line.size() + 1);
  if (!SizeBlock(CommandBuffer, size)) return 0;
  std::memset(CommandBuffer.text, 0, size);
  std::memcpy(CommandBuffer.text, line.c_str(), line.size());
  return 1;
}

}  // namespace

void AppendQuoted(std::string& line, const char* text) {
  line += '"';
  for (const char* p = text; *p; ++p) {
    if (*p == '"') line += '"';
    line += *p;
  }
  line += '"';
}

int BuildCommand(int argc, char** argv) { return Assemble(argc, argv, nullptr, -1); }

int BuildCommandFor(int argc, char** argv, const char* archivePath, int archiveIndex) {
  return Assemble(argc, argv, archivePath, archiveIndex);
}
