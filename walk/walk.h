// The file-count walker: estimates how many files a file argument names, in
// its start directory and in every subdirectory whose name matches the same
// pattern, at any depth. The count only sizes a report buffer.
#pragma once

#include <cstdint>

#include "pathtext/pathtext.h"
#include "platform/platform.h"

// Shared by every level of one walk.
struct CountState {
  char pattern[kPathSize];  // base name and extension of the argument
  std::uint64_t count;      // files counted so far
  SearchEntry entry;        // the entry most recently found
};

// The number of files the argument names. The current directory is the same
// after the call as before it.
std::uint64_t CountMatches(const char* argument);
// Adds the files of the current directory and of its matching subdirectories.
// Returns false when the walk could not get back to a directory it left.
bool CountWalk(CountState& state);
// A directory that a walk may enter: not a link, name not beginning with '.'.
bool IsSubdirectory(const SearchEntry& entry);
