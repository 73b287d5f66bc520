// The program's view of the archiver library: the table of its entry points,
// filled by name once the library is loaded, and the calls the front end
// makes through it. The library is loaded at run time, never linked against;
// its header gives the member record's layout and the report bound that the
// front end sizes report buffers by.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "unlha32/include/unlha32.h"

using CheckArchiveEntry = int(TAVO_WINAPI*)(const char* path, int mode);
using UnlhaEntry = int(TAVO_WINAPI*)(void* ownerWindow, const char* commandLine, char* report,
                                     std::uint32_t reportSize);
using GetFileCountEntry = int(TAVO_WINAPI*)(const char* path);
using OpenArchiveEntry = UnlhaArchive*(TAVO_WINAPI*)(void* ownerWindow, const char* path, std::uint32_t mode);
using CloseArchiveEntry = int(TAVO_WINAPI*)(UnlhaArchive* archive);
using FindFirstMemberEntry = int(TAVO_WINAPI*)(UnlhaArchive* archive, const char* pattern, UnlhaMemberInfo* info);
using FindNextMemberEntry = int(TAVO_WINAPI*)(UnlhaArchive* archive, UnlhaMemberInfo* info);
using GetFileNameEntry = int(TAVO_WINAPI*)(UnlhaArchive* archive, char* buffer, int size);

constexpr int kEntryPointCount = 31;

// The exported names, in the order in which they are looked up.
inline constexpr std::string_view kEntryPointNames[kEntryPointCount] = {
    "UnlhaCheckArchive",       "Unlha",                   "UnlhaGetVersion",         "UnlhaGetRunning",
    "UnlhaConfigDialog",       "UnlhaGetFileCount",       "UnlhaQueryFunctionList",  "UnlhaOpenArchive",
    "UnlhaCloseArchive",       "UnlhaFindFirst",          "UnlhaFindNext",           "UnlhaGetArcFileName",
    "UnlhaGetArcFileSize",     "UnlhaGetArcOriginalSize", "UnlhaGetArcCompressedSize", "UnlhaGetArcRatio",
    "UnlhaGetArcDate",         "UnlhaGetArcTime",         "UnlhaGetArcOSType",       "UnlhaGetFileName",
    "UnlhaGetOriginalSize",    "UnlhaGetCompressedSize",  "UnlhaGetMethod",          "UnlhaGetRatio",
    "UnlhaGetDate",            "UnlhaGetTime",            "UnlhaGetCRC",             "UnlhaGetAttribute",
    "UnlhaGetOSType",          "UnlhaSetOwnerWindow",     "UnlhaClearOwnerWindow",
};

// The slot that holds the entry point of this name; evaluated by the
// compiler, so that a name missing from the table does not build.
consteval int SlotOf(std::string_view name) {
  for (int i = 0; i < kEntryPointCount; ++i)
    if (kEntryPointNames[i] == name) return i;
  throw "not an entry point of the library";
}

struct ArchiverSlots {
  LoadedLibrary* library;
  void* slots[kEntryPointCount];  // nullptr where the library lacks the name
  CheckArchiveEntry checkArchive() const { return Entry<CheckArchiveEntry, SlotOf("UnlhaCheckArchive")>(); }
  UnlhaEntry unlha() const { return Entry<UnlhaEntry, SlotOf("Unlha")>(); }
  GetFileCountEntry getFileCount() const { return Entry<GetFileCountEntry, SlotOf("UnlhaGetFileCount")>(); }
  OpenArchiveEntry openArchive() const { return Entry<OpenArchiveEntry, SlotOf("UnlhaOpenArchive")>(); }
  CloseArchiveEntry closeArchive() const { return Entry<CloseArchiveEntry, SlotOf("UnlhaCloseArchive")>(); }
  FindFirstMemberEntry findFirst() const { return Entry<FindFirstMemberEntry, SlotOf("UnlhaFindFirst")>(); }
  FindNextMemberEntry findNext() const { return Entry<FindNextMemberEntry, SlotOf("UnlhaFindNext")>(); }
  GetFileNameEntry getFileName() const { return Entry<GetFileNameEntry, SlotOf("UnlhaGetFileName")>(); }

 private:
  template <typename Function, int slot>
  Function Entry() const {
    return reinterpret_cast<Function>(slots[slot]);
  }
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

// True when the library walks archives through handles, and so bounds the
// room its reports need (unlha32.h); a library without the walk gets report
// buffers of the sizes the member and file counts give alone.
bool ReportRoomIsKnown();

// What the reports about one archive need beyond their fixed part, by the
// library's bound: room for the members and their names, and for p the
// members' contents. Saturating sums.
struct ArchiveRoom {
  std::uint64_t members;
  std::uint64_t contents;
};
// Walks the archive's members through the library's handles. False (and no
// room) when the library lacks the walk or cannot open the archive; the
// members found before damage count. The walk stops once the members' room
// alone exceeds what a 32-bit report size holds, so that a library that
// never ends its walk cannot hold the program.
bool MeasureArchive(const char* path, ArchiveRoom* room);
