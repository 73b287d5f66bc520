// Files: opening, reading and writing them with 64-bit offsets, the facts
// about an entry, and the whole-path operations (rename, remove, make
// directories, sync) the commands run on paths the user named.
//
// One header for every platform: the open file is an opaque system handle
// (a descriptor on POSIX, a HANDLE on Windows, both -1 when none), so the
// class needs no allocation and no system header. The implementations are
// os/posix/file.cpp and os/win32/file.cpp. Failures come back as
// lzh::Status with static messages, like every other layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace lzh::os {

// Paths handed to the library treat '\' and '/' alike; this gives the form
// the platform's calls take.
std::string NativePath(std::string_view path);
// `name` in `directory` with the platform's separator; "" and "." stand for
// no directory at all.
std::string JoinPath(const std::string& directory, const std::string& name);
// The path a Windows path in the form for more than 260 characters stands
// for: after its \\?\ (then a drive) or \\?\UNC\ (then a server and
// share), which is a prefix of the system's and no directory of the user's.
// The path itself on POSIX, which has no such form.
std::string_view WithoutLongPathPrefix(std::string_view path);

enum class EntryType : uint8_t { kMissing, kFile, kDirectory, kSymlink, kOther };

struct EntryInfo {
  EntryType type = EntryType::kMissing;
  uint64_t size = 0;
  int64_t mtime = 0;  // Unix time
  // Which file it is (device and inode on POSIX, volume and file index on
  // Windows); 0 when unknown. Equal non-zero ids name the same file.
  uint64_t device = 0, file_id = 0;
};

// Whether a call on a name follows a final symbolic link: kFollowed gives
// what a program opening the name would get (on Windows, where links are
// never followed, a reparse point then reads as kOther).
enum class Link : bool { kNotFollowed, kFollowed };

class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  static Status OpenRead(const std::string& path, File* file);
  // Creates `path` for reading and writing, or empties it when it exists
  // (the tests', benchmarks' and sample makers' outputs; the commands
  // create files through Directory::CreateNewFile).
  static Status Create(const std::string& path, File* file);

  bool is_open() const { return handle_ != kNoHandle; }
  // `*got` is 0 only at the end of the file.
  Status Read(uint8_t* buffer, size_t capacity, size_t* got);
  // Reads at `offset` without moving the position; threads may share a
  // file to read it at once (the readers of a member each).
  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t capacity, size_t* got);
  Status Write(const uint8_t* data, size_t size);
  Status Seek(uint64_t offset);
  Status Size(uint64_t* size);
  Status Sync();
  // Cuts the file at `size` (the position is left alone).
  Status Truncate(uint64_t size);
  Status SetModificationTime(int64_t mtime);
  Status Close();

 private:
  friend class Directory;
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
};

// Creates a directory the user named, with any missing parents (links
// on the way are the user's and are followed).
Status MakeDirectories(const std::string& path);

// False for a file that is read-only for this user: no write permission
// for them, or no write permission bit at all (a file someone made
// read-only, which root could otherwise write) on POSIX; the read-only
// attribute on Windows. True for a missing file.
bool UserMayWrite(const std::string& path);

// Puts a directory's entries (a rename into it) on the disk; nothing to
// do on Windows, where the rename itself is written through.
Status SyncDirectory(const std::string& path);

// While alive, a write past the process's file-size limit fails with an
// error instead of killing the process (POSIX SIGXFSZ), so that a half
// written temporary file is removed and the failure reported. An
// existing handler of the program is left alone.
class FileSizeLimitAsError {
 public:
  FileSizeLimitAsError();
  ~FileSizeLimitAsError();
  FileSizeLimitAsError(const FileSizeLimitAsError&) = delete;
  FileSizeLimitAsError& operator=(const FileSizeLimitAsError&) = delete;

 private:
  bool restore_ = false;
};

bool SymlinksSupported();
uint32_t ProcessUmask();

// Two names of one file have equal identities (device and file number).
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  bool known = false;
  bool operator==(const FileIdentity& other) const {
    return known && other.known && device == other.device && file == other.file;
  }
};

// What an archive records about a file besides its bytes, read without
// following a final link. Unix fields are filled on POSIX only.
struct FileDetails {
  EntryType type = EntryType::kMissing;
  uint64_t size = 0;
  int64_t mtime = 0;
  bool hidden = false;  // a dot-file on POSIX, hidden or system on Windows
  // The MS-DOS attributes Windows keeps (0x01 read-only, 0x02 hidden,
  // 0x04 system, 0x20 archive); archive alone on POSIX.
  uint8_t attributes = 0x20;
  bool has_unix = false;
  uint16_t mode = 0;  // permission and type bits, as st_mode
  uint32_t uid = 0, gid = 0;  // whole: headers keep the low 16 bits
  std::string user, group;  // empty when the ids have no names
  std::string link_target;  // for kSymlink
  FileIdentity identity;
};
// A missing path is not an error (type kMissing). Not Directory::Lookup:
// this costs a look-up of the owner's names, and on Windows, where links are
// neither followed nor stored, a reparse point reads as kOther.
Status Describe(const std::string& path, FileDetails* details);

// The OS identifier new members carry ('U' on POSIX, 'W' on Windows).
uint8_t ArchiveOsId();

// The file name of a program made from the file `name` (the self-extracting
// program of an archive): its stem (`name` without its extension) and
// ".exe" on Windows; the stem on POSIX, or `name` and ".run" when it has no
// extension, so that the program never takes the archive's own name.
std::string ProgramName(const std::string& name);

// The path of the running program's own file (a self-extracting program
// reads its archive from there); empty when unknown.
std::string ExecutablePath();

}  // namespace lzh::os
