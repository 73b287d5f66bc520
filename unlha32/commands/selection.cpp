// Wildcard matching by whole characters of the library's text: a UTF-8
// sequence or a double-byte character is one unit for '?', and no part of
// one ever compares as a letter or a separator. Case folding touches
// ASCII letters only.
#include "commands/selection.h"

#include "commands/shared/member_names.h"
#include "commands/shared/paths.h"

namespace lzh::commands {
namespace {

size_t CharLength(std::string_view text, size_t i) { return CharacterLength(text, i, CurrentTextForm()); }

char Fold(char c, bool case_sensitive) {
  if (!case_sensitive && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

bool SameChar(std::string_view a, size_t i, size_t a_len, std::string_view b, size_t j, size_t b_len,
              bool case_sensitive) {
  if (a_len != b_len) return false;
  if (a_len == 1) return Fold(a[i], case_sensitive) == Fold(b[j], case_sensitive);
  return a.substr(i, a_len) == b.substr(j, b_len);
}

// Greedy matching with one backtrack point (the last '*'): time stays
// proportional to pattern length times name length whatever the pattern.
bool MatchFrom(std::string_view pattern, std::string_view name, bool case_sensitive) {
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
      continue;
    }
    if (p < pattern.size()) {
      size_t p_len = CharLength(pattern, p);
      size_t n_len = CharLength(name, n);
      if ((pattern[p] == '?' && p_len == 1) || SameChar(pattern, p, p_len, name, n, n_len, case_sensitive)) {
        p += p_len;
        n += n_len;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    p = star;
    star_name += CharLength(name, star_name);
    n = star_name;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name, bool case_sensitive) {
  return MatchFrom(pattern, name, case_sensitive);
}

MemberSelection::MemberSelection(const std::vector<std::string>& patterns, bool strict_paths,
                                 bool case_sensitive)
    : case_sensitive_(case_sensitive) {
  for (const std::string& text : patterns) {
    Pattern pattern;
    pattern.text = text;
    pattern.components = SplitPath(text);
    pattern.whole_path = strict_paths || pattern.components.size() > 1;
    patterns_.push_back(std::move(pattern));
  }
}

bool MemberSelection::Selects(std::string_view path) {
  if (patterns_.empty()) return true;
  std::vector<std::string> components = SplitPath(path);
  if (components.empty()) return false;
  bool selected = false;
  for (Pattern& pattern : patterns_) {
    // A name of separators alone ("/") names no member; were it dropped,
    // the empty list left would select them all, and d would delete them.
    if (pattern.components.empty()) continue;
    bool match;
    if (pattern.whole_path) {
      // The pattern names this path or a directory above it.
      match = pattern.components.size() <= components.size();
      for (size_t i = 0; match && i < pattern.components.size(); ++i)
        match = WildcardMatch(pattern.components[i], components[i], case_sensitive_);
    } else {
      match = WildcardMatch(pattern.components[0], components.back(), case_sensitive_);
    }
    if (match) {
      pattern.matched = true;
      selected = true;
    }
  }
  return selected;
}

std::vector<std::string> MemberSelection::Unmatched() const {
  std::vector<std::string> unmatched;
  for (const Pattern& pattern : patterns_)
    if (!pattern.matched) unmatched.push_back(pattern.text);
  return unmatched;
}

}  // namespace lzh::commands
