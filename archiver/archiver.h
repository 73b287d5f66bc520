// The program's view of the archiver library: the table of its entry points,
// filled by name once the library is loaded, and the calls the front end
// makes through it. The library is loaded at run time, never linked against.
#pragma once

#include <cstdint>

#include "platform/platform.h"

using CheckArchiveEntry = int(TAVO_WINAPI*)(const char* path, int mode);
using UnlhaEntry = int(TAVO_WINAPI*)(void* ownerWindow, const char* commandLine, char* report,
                                     std::uint32_t reportSize);
using GetFileCountEntry = int(TAVO_WINAPI*)(const char* path);

constexpr int kEntryPointCount = 31;

struct ArchiverSlots {
  LoadedLibrary* library;
  void* slots[kEntryPointCount];  // nullptr where the library lacks the name
  CheckArchiveEntry checkArchive() const { return reinterpret_cast<CheckArchiveEntry>(slots[0]); }
  UnlhaEntry unlha() const { return reinterpret_cast<UnlhaEntry>(slots[1]); }
  GetFileCountEntry getFileCount() const { return reinterpret_cast<GetFileCountEntry>(slots[5]); }
};

extern ArchiverSlots ArchiverApi;

// Looks up every entry point of the loaded library. Returns 1 when the three
// that the front end calls are all there, 0 when the library is unusable.
int BindArchiver(LoadedLibrary* library);

// True when the library accepts the file as an archive it can work on.
bool IsArchive(const char* path);
// The number of members the library reports for an archive (unchecked: a
// faulty library may answer anything).
int MemberCount(const char* path);
