// Member selection: which members a command's file arguments name.
//
// A pattern holds '*' (any run of characters within one path component)
// and '?' (one character). Without -p a pattern is compared with the
// member's base name, so "*.txt" finds text files in every directory; a
// pattern that itself holds a directory, and every pattern under -p, is
// compared with the whole path, and then also selects everything below a
// directory it names. Letters compare with case or without as the caller
// says (by default as the system compares file names: os::NameCaseMatters).
// Paths here use '/' between components; patterns may use '\' or '/'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lzh::commands {

// Matches one pattern against one name (no separators involved).
bool WildcardMatch(std::string_view pattern, std::string_view name, bool case_sensitive);

class MemberSelection {
 public:
  MemberSelection(const std::vector<std::string>& patterns, bool strict_paths, bool case_sensitive);

  // With no patterns, every member is selected.
  bool Selects(std::string_view path);
  // Patterns that selected no member so far, as the user wrote them.
  std::vector<std::string> Unmatched() const;

 private:
  struct Pattern {
    std::string text;                    // as given, for messages
    std::vector<std::string> components;  // split at separators
    bool whole_path = false;
    bool matched = false;
  };
  std::vector<Pattern> patterns_;
  bool case_sensitive_;
};

}  // namespace lzh::commands
