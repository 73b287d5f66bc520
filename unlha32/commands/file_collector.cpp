// File collection. A file argument is a directory part, taken literally,
// and a last component that may hold wildcards. Without -r a literal name
// is looked up directly (so a hidden file named on purpose is taken);
// with -r the last component is matched in the directory and in every
// directory below it. -r2 also takes in everything inside a matching
// directory. Hidden entries are passed over in every walk unless -a.
// Wildcards match with case or without as the switches say (by default as
// the system's names do), so that on Linux README and readme are two files
// and stay two members.
#include "commands/file_collector.h"

#include <algorithm>

#include "commands/selection.h"
#include "commands/shared/paths.h"
#include "commands/shared/progress.h"
#include "os/directory.h"
#include "os/file.h"

namespace lzh::commands {
namespace {

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool IsDrivePrefix(std::string_view component) {
  return component.size() == 2 && component[1] == ':' &&
         ((component[0] >= 'A' && component[0] <= 'Z') || (component[0] >= 'a' && component[0] <= 'z'));
}

// The components a directory part of an argument contributes to stored
// paths: never a root, a drive, "." or "..".
std::vector<std::string> CleanComponents(std::string_view path) {
  std::vector<std::string> clean;
  for (std::string& component : SplitPath(os::WithoutLongPathPrefix(path))) {
    if (component == "." || component == ".." || (clean.empty() && IsDrivePrefix(component))) continue;
    clean.push_back(std::move(component));
  }
  return clean;
}

bool IsAbsolute(std::string_view path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() >= 2 && IsDrivePrefix(path.substr(0, 2)));
}

}  // namespace

void Shortfalls::Skip(const std::string& path, const std::string& why) {
  ++skipped_;
  report_.Line(StatusLine("skipped", DisplayName(path, form_)) + ": " + why);
  result_ = Worse(result_, Result::kSkipped);
}

void Shortfalls::Fail(const std::string& path, const std::string& why, Result result) {
  ++failed_;
  report_.Line(StatusLine("FAILED", DisplayName(path, form_)) + ": " + why);
  result_ = Worse(result_, result);
}

namespace {

class Collector {
 public:
  Collector(const CommandLine& line, const Exclusion& exclude, Report& report, Shortfalls& shortfalls,
            std::vector<SourceFile>* files)
      : switches_(line.switches),
        base_(line.base_directory),
        exclude_(exclude),
        report_(report),
        shortfalls_(shortfalls),
        files_(files),
        form_(CurrentTextForm()),
        with_directories_(line.switches.directory_names.value_or(true)) {}

  void Argument(const std::string& argument);

 private:
  void Unreadable(const std::string& path, const Status& status) {
    shortfalls_.Fail(path, std::string("cannot be read (") + status.message() + ")", Result::kIoError);
  }
  // Takes one entry found at `disk_path`; false when it was neither taken
  // nor reported (a directory without -d, the archive itself).
  bool Add(const std::string& disk_path, std::vector<std::string> stored, const os::FileDetails& details);
  // Walks `disk_directory`; returns how many entries it took or reported.
  size_t Walk(const std::string& disk_directory, const std::vector<std::string>& stored_directory,
              const std::string& pattern, bool everything);

  const Switches& switches_;
  const std::string base_;
  const Exclusion& exclude_;
  Report& report_;
  Shortfalls& shortfalls_;
  std::vector<SourceFile>* files_;
  const TextForm form_;
  const bool with_directories_;
};

bool Collector::Add(const std::string& disk_path, std::vector<std::string> stored, const os::FileDetails& details) {
  if (details.type == os::EntryType::kOther) {
    shortfalls_.Skip(disk_path, "a special file (FIFO, socket, device or reparse point); not stored");
    return true;
  }
  if (details.type == os::EntryType::kDirectory && (!switches_.directory_entries || !with_directories_)) return false;
  if (stored.empty()) return false;
  if (const char* reason = exclude_(details)) {
    report_.Line(StatusLine("ignored", DisplayName(disk_path, form_)) + ": " + reason);
    return false;
  }
  if (!with_directories_) stored.erase(stored.begin(), stored.end() - 1);
  files_->push_back(SourceFile{disk_path, std::move(stored), details});
  return true;
}

size_t Collector::Walk(const std::string& disk_directory, const std::vector<std::string>& stored_directory,
                       const std::string& pattern, bool everything) {
  os::Directory directory;
  std::vector<os::DirectoryEntry> entries;
  Status status = os::Directory::Open(disk_directory.empty() ? "." : disk_directory, &directory);
  if (status.ok()) status = directory.List(&entries);
  if (!status.ok()) {
    Unreadable(disk_directory, status);
    return 1;
  }
  std::sort(entries.begin(), entries.end(),
            [](const os::DirectoryEntry& a, const os::DirectoryEntry& b) { return a.name < b.name; });
  size_t handled = 0;
  for (const os::DirectoryEntry& entry : entries) {
    if (entry.hidden && !switches_.all_attributes) continue;
    std::string disk_path = os::JoinPath(disk_directory, entry.name);
    std::vector<std::string> stored = stored_directory;
    stored.push_back(entry.name);
    bool matched = everything || WildcardMatch(pattern, entry.name, switches_.case_sensitive);
    bool descend = entry.type == os::EntryType::kDirectory && (switches_.recurse || (matched && everything));
    if (!matched && !descend) continue;
    os::FileDetails details;
    status = os::Describe(disk_path, &details);
    if (status.ok() && details.type == os::EntryType::kMissing) status = Status::Io("no such file or directory");
    if (!status.ok()) {  // gone since the listing, or closed to us
      Unreadable(disk_path, status);
      ++handled;
      continue;
    }
    if (matched) handled += Add(disk_path, stored, details);
    if (details.type == os::EntryType::kDirectory && descend) {
      bool expand = everything || (matched && switches_.expand_named_directories);
      handled += Walk(disk_path, stored, expand ? std::string("*") : pattern, expand);
    }
  }
  return handled;
}

void Collector::Argument(const std::string& argument) {
  std::string text = argument;
  while (text.size() > 1 && EndsWithSeparator(text)) text.pop_back();
  std::string directory_text, pattern;
  SplitDirectoryAndName(text, &directory_text, &pattern);
  std::string disk_directory = IsAbsolute(text) ? directory_text : base_ + directory_text;
  std::vector<std::string> stored_directory = CleanComponents(directory_text);
  if (pattern.empty() || pattern == "." || pattern == "..") {
    // The directory itself: what it holds, recursively under -r.
    disk_directory = os::JoinPath(disk_directory, pattern.empty() ? "." : pattern);
    if (pattern == ".." && !stored_directory.empty()) stored_directory.pop_back();
    if (Walk(disk_directory, stored_directory, "*", false) == 0) shortfalls_.Skip(argument, "no file there to add");
    return;
  }
  if (HasWildcard(pattern) || switches_.recurse) {
    if (Walk(disk_directory, stored_directory, pattern, false) == 0) shortfalls_.Skip(argument, "no file matches");
    return;
  }
  std::string disk_path = disk_directory + pattern;
  os::FileDetails details;
  Status status = os::Describe(disk_path, &details);
  if (!status.ok()) return Unreadable(argument, status);
  if (details.type == os::EntryType::kMissing) return shortfalls_.Skip(argument, "no such file");
  if (details.type == os::EntryType::kDirectory && !switches_.directory_entries)
    return shortfalls_.Skip(argument, "a directory (-r2 takes in what it holds, -d stores the directory itself)");
  std::vector<std::string> stored = stored_directory;
  stored.push_back(pattern);
  Add(disk_path, stored, details);
}

}  // namespace

void CollectFiles(const CommandLine& line, const Exclusion& exclude, Report& report, Shortfalls& shortfalls,
                  std::vector<SourceFile>* files) {
  Collector collector(line, exclude, report, shortfalls, files);
  if (line.files.empty()) {
    collector.Argument("*");
  } else {
    for (const std::string& argument : line.files) collector.Argument(argument);
  }
}

}  // namespace lzh::commands
