// Binding of the archiver library. All 31 names are looked up and kept, as
// the library's interface defines them; only three are ever called, and a
// library lacking any of those three is refused rather than called blindly.
#include "archiver/archiver.h"

namespace {

// The exported names, in the order in which they are looked up.
const char* const kEntryPointNames[kEntryPointCount] = {
    "UnlhaCheckArchive",       "Unlha",                   "UnlhaGetVersion",         "UnlhaGetRunning",
    "UnlhaConfigDialog",       "UnlhaGetFileCount",       "UnlhaQueryFunctionList",  "UnlhaOpenArchive",
    "UnlhaCloseArchive",       "UnlhaFindFirst",          "UnlhaFindNext",           "UnlhaGetArcFileName",
    "UnlhaGetArcFileSize",     "UnlhaGetArcOriginalSize", "UnlhaGetArcCompressedSize", "UnlhaGetArcRatio",
    "UnlhaGetArcDate",         "UnlhaGetArcTime",         "UnlhaGetArcOSType",       "UnlhaGetFileName",
    "UnlhaGetOriginalSize",    "UnlhaGetCompressedSize",  "UnlhaGetMethod",          "UnlhaGetRatio",
    "UnlhaGetDate",            "UnlhaGetTime",            "UnlhaGetCRC",             "UnlhaGetAttribute",
    "UnlhaGetOSType",          "UnlhaSetOwnerWindow",     "UnlhaClearOwnerWindow",
};

}  // namespace

ArchiverSlots ArchiverApi{};

int BindArchiver(LoadedLibrary* library) {
  ArchiverApi.library = library;
  for (int i = 0; i < kEntryPointCount; ++i) ArchiverApi.slots[i] = LookUpEntryPoint(library, kEntryPointNames[i]);
  bool usable = ArchiverApi.checkArchive() && ArchiverApi.unlha() && ArchiverApi.getFileCount();
  return usable ? 1 : 0;
}

bool IsArchive(const char* path) { return ArchiverApi.checkArchive()(path, 0) != 0; }

int MemberCount(const char* path) { return ArchiverApi.getFileCount()(path); }
