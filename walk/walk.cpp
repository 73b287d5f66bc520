// The file-count walker. Each level remembers its directory before entering
// a subdirectory and returns to it afterwards (rather than climbing "..") so
// that the walk never ends up above its start, whatever the length of the
// path; symbolic links to directories are never entered, so a link loop
// cannot make the walk run forever; a subdirectory that cannot be entered is
// skipped.
#include "walk/walk.h"

namespace {

bool EnterAndWalk(CountState& state) {
  SavedDirectory* here = RememberCurrentDirectory();
  if (!here) return true;
  bool steady = true;
  if (EnterSubdirectory(state.entry.name)) steady = CountWalk(state) && ReturnToDirectory(here);
  ForgetDirectory(here);
  return steady;
}

}  // namespace

bool IsSubdirectory(const SearchEntry& entry) {
  return entry.isDirectory && !entry.isLink && entry.name[0] != '.';
}

DirectorySearch* FirstSubdirectory(CountState& state) {
  DirectorySearch* search = FindFirstEntry(state.pattern, &state.entry);
  if (!search) return nullptr;
  if (IsSubdirectory(state.entry) || NextSubdirectory(search, state)) return search;
  CloseSearch(search);
  return nullptr;
}

bool NextSubdirectory(DirectorySearch* search, CountState& state) {
  while (FindNextEntry(search, &state.entry))
    if (IsSubdirectory(state.entry)) return true;
  return false;
}

bool CountWalk(CountState& state) {
  if (DirectorySearch* search = FindFirstEntry(state.pattern, &state.entry)) {
    do {
      if (!state.entry.isDirectory) ++state.count;
    } while (FindNextEntry(search, &state.entry));
    CloseSearch(search);
  }
  DirectorySearch* search = FirstSubdirectory(state);
  if (!search) return true;
  bool steady = true;
  do {
    steady = EnterAndWalk(state);
  } while (steady && NextSubdirectory(search, state));
  CloseSearch(search);
  return steady;
}

std::uint64_t CountMatches(const char* argument) {
  SavedDirectory* start = RememberCurrentDirectory();
  if (!start) return 0;
  char drive[kDriveSize], directory[kPathSize], baseName[kPathSize], extension[kPathSize];
  CountState state{};
  char startDirectory[kPathSize];
  if (SplitPath(argument, drive, directory, baseName, extension) &&
      MakePath(startDirectory, drive, directory, nullptr, nullptr) &&
      MakePath(state.pattern, nullptr, nullptr, baseName, extension)) {
    if (startDirectory[0]) ChangeDirectory(startDirectory);
    CountWalk(state);
    ReturnToDirectory(start);
  }
  ForgetDirectory(start);
  return state.count;
}
