// The file-count walker. Each level remembers its directory before entering
// a subdirectory and returns to it afterwards (rather than climbing "..") so
// that the walk never ends up above its start, whatever the length of the
// path; symbolic links to directories are never entered, so a link loop
// cannot make the walk run forever; a subdirectory that cannot be entered is
// skipped. Each directory is read once: files are counted and the names of
// its subdirectories kept as they come, which is what keeps a walk over a
// large tree close to the cost of reading its directories.
#include "walk/walk.h"

#include <string>
#include <vector>

namespace {

bool EnterAndWalk(CountState& state, const std::string& name) {
  SavedDirectory* here = RememberCurrentDirectory();
  if (!here) return true;
  bool steady = true;
  if (EnterSubdirectory(name.c_str())) steady = CountWalk(state) && ReturnToDirectory(here);
  ForgetDirectory(here);
  return steady;
}

}  // namespace

bool IsSubdirectory(const SearchEntry& entry) {
  return entry.isDirectory && !entry.isLink && entry.name[0] != '.';
}

bool CountWalk(CountState& state) {
  std::vector<std::string> subdirectories;
  if (DirectorySearch* search = FindFirstEntry(state.pattern, &state.entry)) {
    do {
      if (!state.entry.isDirectory)
        ++state.count;
      else if (IsSubdirectory(state.entry))
        subdirectories.emplace_back(state.entry.name);
    } while (FindNextEntry(search, &state.entry));
    CloseSearch(search);
  }
  for (const std::string& name : subdirectories)
    if (!EnterAndWalk(state, name)) return false;
  return true;
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
