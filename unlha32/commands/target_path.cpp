// Safe target paths. Refusing is preferred to guessing whenever a
// component could mean "up" on some system: ".." itself, and names made
// only of dots, or of dots and blanks, which Windows trims to "." or "..".
// Blanks alone mean nothing but a name: POSIX takes it as it is, and
// Windows, which would trim it away, gets it mapped like every other name
// it cannot hold (os::MapToLegalName), reported as "written as".
#include "commands/target_path.h"

#include "commands/shared/paths.h"
#include "os/directory.h"
#include "os/file.h"
#include "os/text.h"

namespace lzh::commands {
namespace {

// Why a component made only of dots and blanks, one dot at least, is
// refused; nullptr for any other component.
const char* DotsRefusal(std::string_view component) {
  bool blanks = false;
  for (char c : component) {
    if (c == ' ') blanks = true;
    else if (c != '.') return nullptr;
  }
  if (component.find('.') == std::string_view::npos) return nullptr;
  if (component == "..") return "the path leads out of the target directory (..)";
  return blanks ? "the path holds a component made only of dots and blanks"
                : "the path holds a component made only of dots";
}

bool StartsWithDrive(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  char c = path[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

PathVerdict MakeTargetPath(std::string_view path, std::vector<std::string>* components,
                           std::string* reason) {
  bool made_safe = false;
  while (StartsWithDrive(path)) {
    path.remove_prefix(2);
    made_safe = true;
  }
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) made_safe = true;
  std::vector<std::string> split = SplitPath(path);
  components->clear();
  for (std::string& component : split) {
    if (component == ".") {
      made_safe = true;
      continue;
    }
    if (const char* refusal = DotsRefusal(component)) {
      *reason = refusal;
      return PathVerdict::kRefused;
    }
    if (os::MapToLegalName(&component)) made_safe = true;
    components->push_back(std::move(component));
  }
  if (components->empty()) {
    *reason = "the path is empty";
    return PathVerdict::kRefused;
  }
  return made_safe ? PathVerdict::kMadeSafe : PathVerdict::kSafe;
}

Status OpenTargetDirectory(const os::Directory& root, const std::vector<std::string>& components,
                           bool create, os::Directory* directory, bool* through_link) {
  *through_link = false;
  os::Directory current;
  LZH_TRY(os::Directory::Open(root.path(), &current));
  for (const std::string& component : components) {
    os::EntryInfo info;
    LZH_TRY(current.Lookup(component, os::Link::kNotFollowed, &info));
    if (info.type != os::EntryType::kMissing && info.type != os::EntryType::kDirectory) {
      *through_link = info.type == os::EntryType::kSymlink;
      return Status::Io(info.type == os::EntryType::kSymlink ? "a symbolic link stands on the path"
                                                             : "a file stands where a directory belongs");
    }
    os::Directory child;
    // The open itself refuses a link too, should one appear after the look-up.
    Status status = current.OpenChild(component, create, &child);
    if (!status.ok()) return status;
    current = std::move(child);
  }
  *directory = std::move(current);
  return Status::Ok();
}

}  // namespace lzh::commands
