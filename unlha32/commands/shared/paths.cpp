// The path rules. Each scan asks member_names for the length of the
// character at hand, so a separator is only ever a whole character.
#include "commands/shared/paths.h"

#include "commands/shared/member_names.h"

namespace lzh::commands {
namespace {

bool IsSeparatorAt(std::string_view text, size_t i, size_t length) {
  return length == 1 && (text[i] == '\\' || text[i] == '/');
}

}  // namespace

std::vector<std::string> SplitPath(std::string_view path) {
  const TextForm form = CurrentTextForm();
  std::vector<std::string> components;
  std::string current;
  for (size_t i = 0; i < path.size();) {
    size_t length = CharacterLength(path, i, form);
    if (IsSeparatorAt(path, i, length)) {
      if (!current.empty()) components.push_back(std::move(current));
      current.clear();
    } else {
      current.append(path.substr(i, length));
    }
    i += length;
  }
  if (!current.empty()) components.push_back(std::move(current));
  return components;
}

void SplitDirectoryAndName(const std::string& path, std::string* directory, std::string* name) {
  const TextForm form = CurrentTextForm();
  size_t after_separator = 0;
  for (size_t i = 0, length; i < path.size(); i += length) {
    length = CharacterLength(path, i, form);
    if (IsSeparatorAt(path, i, length)) after_separator = i + 1;
  }
  *directory = path.substr(0, after_separator);
  *name = path.substr(after_separator);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory == ".") return name;
  char last = directory.back();
  if (last == '/' || last == '\\') return directory + name;
#ifdef _WIN32
  return directory + "\\" + name;
#else
  return directory + "/" + name;
#endif
}

bool EndsWithSeparator(std::string_view text) {
  const TextForm form = CurrentTextForm();
  bool last_is_separator = false;
  for (size_t i = 0, length; i < text.size(); i += length) {
    length = CharacterLength(text, i, form);
    last_is_separator = IsSeparatorAt(text, i, length);
  }
  return last_is_separator;
}

}  // namespace lzh::commands
