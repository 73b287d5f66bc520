// An open directory: the operations extraction runs on the names in it.
//
// Extraction writes where an archive from a stranger tells it to, so every
// operation here is relative to an open directory and never follows a
// symbolic link: a link planted on the path (on disk, or extracted
// earlier) cannot redirect a write. On POSIX the directory is an open
// descriptor (the *at() calls); Windows has no such calls, so there it is
// its path and every child is checked for a reparse point first. The
// descriptor is an opaque handle, -1 when none, so that this header holds
// no platform's types; os/posix/directory.cpp and os/win32/directory.cpp
// implement it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "os/file.h"

namespace lzh::os {

struct DirectoryEntry {
  std::string name;
  EntryType type = EntryType::kMissing;
  bool hidden = false;  // a dot-file on POSIX, hidden or system on Windows
};

// Children are looked up, created and opened without following symbolic
// links. The one set of calls serves the paths the user names as well,
// through Working().
class Directory {
 public:
  Directory() = default;
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory();

  // Opens a directory the user named (a link there is the user's choice
  // and is followed).
  static Status Open(const std::string& path, Directory* directory);
  // The process's working directory, always open: its "names" are the
  // paths the user gave (relative or absolute), reached as the system's
  // path calls reach them, links on the way followed.
  static Directory Working();

  // Opens the child directory `name`, creating it when missing and
  // `create` holds. A link in its place is refused.
  Status OpenChild(const std::string& name, bool create, Directory* child) const;
  // Facts about `name`; a missing name is not an error (type kMissing).
  Status Lookup(const std::string& name, Link link, EntryInfo* info) const;
  // Creates a new file (never an existing one, never through a link),
  // with the permission bits `mode` less the process umask.
  Status CreateNewFile(const std::string& name, uint32_t mode, File* file) const;
  // Replaces `to` (a file or a link, never followed) by `from`; both on one
  // volume.
  Status Rename(const std::string& from, const std::string& to) const;
  Status Remove(const std::string& name) const;
  Status CreateSymlink(const std::string& target, const std::string& name) const;
  Status SetModificationTime(const std::string& name, int64_t mtime) const;
  // Sets permission bits (already less the umask) without following links;
  // nothing on Windows, where SetAttributes says what a file keeps.
  Status SetMode(const std::string& name, uint32_t mode) const;
  // Gives the entry the MS-DOS attributes read-only, hidden, system and
  // archive (FileDetails::attributes) on Windows; nothing on POSIX, where
  // the mode says all the system keeps.
  Status SetAttributes(const std::string& name, uint8_t attributes) const;
  // Gives the entry (not followed when a link) this owner and group, or
  // this group alone when the system lets the process change no more;
  // nothing on Windows, where a new file gets the owner the system gives.
  // Comes before SetMode: a change of owner may clear set-id bits.
  Status SetOwner(const std::string& name, uint32_t uid, uint32_t gid) const;
  Status FreeSpace(uint64_t* bytes) const;
  Status List(std::vector<DirectoryEntry>* entries) const;

  const std::string& path() const { return path_; }

 private:
  friend class RemoveOnInterrupt;
  static constexpr intptr_t kNoHandle = -1;
  std::string path_;  // for messages and, on Windows, every call
  // The open descriptor (POSIX only; AT_FDCWD, never closed, for Working).
  intptr_t handle_ = kNoHandle;
};

}  // namespace lzh::os
