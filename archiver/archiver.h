// The program's view of the archiver library: the table of its entry points,
// filled by name once the library is loaded, and the calls the front end
// makes through it. The library is loaded at run time, never linked against;
// its header gives the member record's layout and the report bound that the
// front end sizes report buffers by.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "unlha32/include/unlha32.h"

// The library's entry points, one named slot each, typed as its header
// declares them; null where the library lacks the name. Reached by name,
// never by a position in a list, so that a slot cannot be read as another.
// The front end calls checkArchive, unlha and getFileCount, and the member
// walk (openArchive to getFileName); the rest are bound and kept only.
struct ArchiverSlots {
  LoadedLibrary* library;
  decltype(&UnlhaCheckArchive) checkArchive;
  decltype(&Unlha) unlha;
  decltype(&UnlhaGetVersion) getVersion;
  decltype(&UnlhaGetRunning) getRunning;
  decltype(&UnlhaConfigDialog) configDialog;
  decltype(&UnlhaGetFileCount) getFileCount;
  decltype(&UnlhaQueryFunctionList) queryFunctionList;
  decltype(&UnlhaOpenArchive) openArchive;
  decltype(&UnlhaCloseArchive) closeArchive;
  decltype(&UnlhaFindFirst) findFirst;
  decltype(&UnlhaFindNext) findNext;
  decltype(&UnlhaGetArcFileName) getArcFileName;
  decltype(&UnlhaGetArcFileSize) getArcFileSize;
  decltype(&UnlhaGetArcOriginalSize) getArcOriginalSize;
  decltype(&UnlhaGetArcCompressedSize) getArcCompressedSize;
  decltype(&UnlhaGetArcRatio) getArcRatio;
  decltype(&UnlhaGetArcDate) getArcDate;
  decltype(&UnlhaGetArcTime) getArcTime;
  decltype(&UnlhaGetArcOSType) getArcOSType;
  decltype(&UnlhaGetFileName) getFileName;
  decltype(&UnlhaGetOriginalSize) getOriginalSize;
  decltype(&UnlhaGetCompressedSize) getCompressedSize;
  decltype(&UnlhaGetMethod) getMethod;
  decltype(&UnlhaGetRatio) getRatio;
  decltype(&UnlhaGetDate) getDate;
  decltype(&UnlhaGetTime) getTime;
  decltype(&UnlhaGetCRC) getCRC;
  decltype(&UnlhaGetAttribute) getAttribute;
  decltype(&UnlhaGetOSType) getOSType;
  decltype(&UnlhaSetOwnerWindow) setOwnerWindow;
  decltype(&UnlhaClearOwnerWindow) clearOwnerWindow;
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
