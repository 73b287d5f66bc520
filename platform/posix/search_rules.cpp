// Character-set naming and search-pattern matching for the POSIX layer.
// Matching steps by whole characters so that the second byte of a
// double-byte character is never taken for * or ?.
#include "search_rules.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

std::size_t CharacterLength(const char* text, bool (*isLeadByte)(unsigned char)) {
  return (isLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0') ? 2 : 1;
}

bool Match(const char* name, const char* pattern, bool (*isLeadByte)(unsigned char)) {
  while (*pattern) {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (!*pattern) return true;
      for (const char* rest = name;; rest += CharacterLength(rest, isLeadByte)) {
        if (Match(rest, pattern, isLeadByte)) return true;
        if (!*rest) return false;
      }
    }
    if (!*name) return false;
    std::size_t nameStep = CharacterLength(name, isLeadByte);
    if (*pattern == '?') {
      ++pattern;
    } else {
      std::size_t patternStep = CharacterLength(pattern, isLeadByte);
      if (patternStep != nameStep || std::memcmp(name, pattern, nameStep) != 0) return false;
      pattern += patternStep;
    }
    name += nameStep;
  }
  return !*name;
}

}  // namespace

bool CodesetUsesShiftJis(const char* codeset) {
  for (const char* known : {"SJIS", "CP932", "WINDOWS-31J", "MS_KANJI", "CSSHIFTJIS"})
    if (SameIgnoringCase(codeset, known)) return true;
  // SHIFT_JIS itself and its extensions: SHIFT_JISX0213, SHIFT_JIS-2004.
  for (const char* family : {"SHIFT_JIS", "SHIFT-JIS"}) {
    std::size_t length = std::strlen(family);
    if (std::strlen(codeset) >= length && SameIgnoringCase(std::string(codeset, length).c_str(), family)) return true;
  }
  return false;
}

bool MatchesSearchPattern(const char* name, const char* pattern, bool (*isLeadByte)(unsigned char)) {
  if (Match(name, pattern, isLeadByte)) return true;
  std::size_t length = std::strlen(pattern);
  if (length < 2 || std::strcmp(pattern + length - 2, ".*") != 0) return false;
  return Match(name, std::string(pattern, length - 2).c_str(), isLeadByte);
}
