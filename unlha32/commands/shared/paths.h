// The path rules: how the library takes a path apart and puts one
// together. Users write '\' or '/' between components on every system, and
// a path is scanned by whole characters of the library's text form, so
// that the second byte 0x5C of a double-byte character is never taken for
// a separator. Kept in one place so that every command splits a path the
// same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lzh::commands {

// Splits at '\' and '/'; empty components are dropped.
std::vector<std::string> SplitPath(std::string_view path);

// The directory part of a path ("" when there is none) and its last
// component, split at the last '\' or '/'.
void SplitDirectoryAndName(const std::string& path, std::string* directory, std::string* name);

// Joins a directory and a name with the platform's separator.
std::string JoinPath(const std::string& directory, const std::string& name);

// True when the text ends with '\' or '/' (a double-byte character whose
// second byte is 0x5C is no separator).
bool EndsWithSeparator(std::string_view text);

}  // namespace lzh::commands
