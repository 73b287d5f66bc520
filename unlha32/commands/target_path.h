// Where an extracted member may be written, and getting there safely.
//
// A member's path comes from a stranger. MakeTargetPath() turns it into
// components relative to the target directory: leading separators, drive
// prefixes, empty and "." components are removed and names the system
// cannot hold are mapped to ones it can (made safe); ".." and components
// of dots (and blanks) are refused. OpenTargetDirectory()
// then walks those components from the target directory without ever
// following a symbolic link, whether it was on disk before or extracted
// earlier from the same archive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "os/directory.h"

namespace lzh::commands {

enum class PathVerdict : uint8_t { kSafe, kMadeSafe, kRefused };

// `path` uses '\' or '/' between components (already in the local form).
// On kRefused, `*reason` says why.
PathVerdict MakeTargetPath(std::string_view path, std::vector<std::string>* components,
                           std::string* reason);

// Opens the directory `components` names below `root`, creating missing
// ones when `create` holds. `*through_link` is set when a symbolic link (or
// anything but a directory) stands where a directory should be.
Status OpenTargetDirectory(const os::Directory& root, const std::vector<std::string>& components,
                           bool create, os::Directory* directory, bool* through_link);

}  // namespace lzh::commands
