// The library's own small operating-system layer: files with 64-bit
// offsets, directories reached without following links, terminal and
// locale facts. One header, a POSIX and a Win32 implementation; every
// platform #ifdef of the commands lives behind it.
//
// Extraction writes where an archive from a stranger tells it to, so the
// directory operations are relative to an open directory and never follow
// a symbolic link: a link planted on the path (on disk, or extracted
// earlier) cannot redirect a write. Failures come back as lzh::Status with
// static messages, like every other layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace lzh::os {

// Paths handed to the library treat '\' and '/' alike; this gives the form
// the platform's calls take.
std::string NativePath(std::string_view path);

enum class EntryType : uint8_t { kMissing, kFile, kDirectory, kSymlink, kOther };

struct EntryInfo {
  EntryType type = EntryType::kMissing;
  uint64_t size = 0;
  int64_t mtime = 0;  // Unix time
  // Which file it is (device and inode on POSIX, volume and file index on
  // Windows); 0 when unknown. Equal non-zero ids name the same file.
  uint64_t device = 0, file_id = 0;
};

// Facts about a path without following a final link; a missing path is
// not an error (type kMissing).
Status Inspect(const std::string& path, EntryInfo* info);
// The same, following links: what a program opening the path would get.
Status InspectTarget(const std::string& path, EntryInfo* info);

class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  static Status OpenRead(const std::string& path, File* file);

  bool is_open() const;
  // `*got` is 0 only at the end of the file.
  Status Read(uint8_t* buffer, size_t capacity, size_t* got);
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
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

struct DirectoryEntry {
  std::string name;
  EntryType type = EntryType::kMissing;
  bool hidden = false;  // a dot-file on POSIX, hidden or system on Windows
};

// An open directory. Children are looked up, created and opened without
// following symbolic links.
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

  // Opens the child directory `name`, creating it when missing and
  // `create` holds. A link in its place is refused.
  Status OpenChild(const std::string& name, bool create, Directory* child) const;
  Status Lookup(const std::string& name, EntryInfo* info) const;
  // Creates a new file (never an existing one, never through a link),
  // with the permission bits `mode` less the process umask.
  Status CreateNewFile(const std::string& name, uint32_t mode, File* file) const;
  // Replaces `to` (a file or a link, never followed) by `from`.
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
  std::string path_;  // for messages and, on Windows, every call
#ifndef _WIN32
  int fd_ = -1;
#endif
};

// Creates a directory the user named, with any missing parents (links
// on the way are the user's and are followed).
Status MakeDirectories(const std::string& path);

// Broken-down local time of a Unix time; false when it has none.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
bool ToLocalTime(int64_t unix_time, LocalTime* local);

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
// Part of the names of temporary files, so that two processes extracting
// into one directory do not collide.
uint32_t ProcessId();
uint32_t ProcessUmask();

// Terminal facts and talk, in the caller's text (TextForCaller). Progress
// goes to stderr only when it is a terminal; questions go to the
// controlling terminal (not to redirected standard streams), and there is
// none in batch runs.
// On Windows both write a console as UTF-16, so that the text shows
// rightly whatever the console's code page; to a file or pipe they write
// the bytes, standard output with CR LF line ends as the C runtime's text
// mode would.
bool StderrIsTerminal();
void WriteStderr(std::string_view text);
void WriteStdout(std::string_view text);
// Milliseconds on a clock that only moves forward, for pacing the progress
// line.
uint64_t MonotonicMilliseconds();
// Shows `question` on the terminal and reads one line of answer; false
// when no terminal is attached.
bool AskOnTerminal(std::string_view question, std::string* answer);

// Text. Inside the library names, paths and report lines are in one
// form: UTF-8 on Windows, where every file call goes through the wide
// (UTF-16) API so that no name is squeezed through the ANSI code page; on
// POSIX the bytes the system takes for names, in the locale's character
// set. The exported functions take and give text in the caller's form:
// the ANSI code page on Windows, converted once at that boundary
// (TextFromCaller, TextForCaller); on POSIX the library's own form.
//
// TakeLocale takes the character set afresh (POSIX: the process's locale,
// or the environment's when the program never chose one; Windows: the
// ANSI code page, fixed for the process). The questions below answer from
// what the calling thread took last (taken at their first use when never).
// Every exported entry point takes it first: one call of the library then
// works in one character set throughout, and IsLeadByte, asked of every
// byte of a name, costs no look-up.
void TakeLocale();
// True when text inside the library is UTF-8: always on Windows, in a
// UTF-8 locale on POSIX.
bool LocaleIsUtf8();
// True when the caller's text is in a code page whose double-byte
// characters may end in a byte that looks like ASCII ('\' is the second
// byte of many Shift_JIS characters): the ANSI code page on Windows, a
// Shift_JIS locale under any of its names on POSIX (where it is the
// library's text too).
bool UsesAnsiCodePage();
// True for the first byte of a double-byte character of that code page;
// false for every byte elsewhere.
bool IsLeadByte(uint8_t byte);
// The caller's text in the library's form, and back. A character the
// caller's code page has no exact form for is written as \u{XXXX} (its
// code point in hex), never as a look-alike.
std::string TextFromCaller(std::string_view text);
std::string TextForCaller(std::string_view text);
// Converts text in the given code page (932 for Shift_JIS) to UTF-8;
// false, with `*utf8` untouched, when the bytes do not convert.
bool ConvertToUtf8(std::string_view text, uint32_t code_page, std::string* utf8);
// The code page that names in no known code page are read in where the
// system needs them as text: the ANSI code page on Windows (what such
// names always meant there); 0 on POSIX, which takes any bytes for a name.
uint32_t AnsiCodePage();
// True where two names that differ only in case name two files (POSIX);
// false where the system matches names without case (Windows). Every name
// match of the commands follows it unless -i or -i- says otherwise.
bool NameCaseMatters();
// Makes a path component one this system creates under exactly that name;
// true when it had to change it. Windows opens a device for CON, NUL,
// COM1, ... whatever extension follows (they get a leading '_'), refuses
// reserved characters, control bytes and bytes that are no UTF-8 text
// (a name whose code page did not convert), and drops dots and blanks at
// the end of a name (each becomes '_'); POSIX takes any component without
// '/' but a NUL byte (which becomes '_').
bool MapToLegalName(std::string* component);

// ---- For the commands that write archives ----

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
// A missing path is not an error (type kMissing).
Status Describe(const std::string& path, FileDetails* details);

// The form a new member's name takes in the archive, for a name that is
// not plain ASCII: `components` (a path, in the library's form) become
// the bytes to store and *code_page the code page to record for them in
// the code-page header (0: none known). Windows stores Shift_JIS, which
// older readers expect, when the ANSI code page is 932 or the header has
// no room for a code page (`room_for_code_page` false: level 0, read as
// Shift_JIS), and every component has an exact Shift_JIS form; else UTF-8.
// POSIX stores names as they are, in the locale's code page. False, with
// nothing changed, when the name cannot be stored: on Windows, a name
// without a Shift_JIS form where there is no room for a code page.
bool ToStoredNames(std::vector<std::string>* components, bool room_for_code_page, uint32_t* code_page);
// The OS identifier new members carry ('U' on POSIX, 'W' on Windows).
uint8_t ArchiveOsId();

// The path of the running program's own file (a self-extracting program
// reads its archive from there); empty when unknown.
std::string ExecutablePath();

// False for a file that is read-only for this user: no write permission
// for them, or no write permission bit at all (a file someone made
// read-only, which root could otherwise write) on POSIX; the read-only
// attribute on Windows. True for a missing file.
bool UserMayWrite(const std::string& path);

// Replaces `to` with `from`; both on one volume.
Status RenameFile(const std::string& from, const std::string& to);
Status RemoveFile(const std::string& path);
// Puts a directory's entries (a rename into it) on the disk; nothing to
// do on Windows, where the rename itself is written through.
Status SyncDirectory(const std::string& path);
// False only when the process is known to be gone.
bool ProcessIsRunning(uint32_t process_id);

// An exclusive lock between processes, held on a lock file that exists
// only while some process holds it. Acquire waits up to `wait_seconds`
// for another holder, then fails; `waiting` is called once, as soon as it
// finds the lock held, so that the user hears why nothing happens.
class ExclusiveLock {
 public:
  ExclusiveLock() = default;
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock();

  static Status Acquire(const std::string& lock_path, int wait_seconds, const std::function<void()>& waiting,
                        ExclusiveLock* lock);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// While alive, an interruption of the process (SIGINT, SIGTERM, SIGHUP;
// Ctrl+C, Ctrl+Break or a console close on Windows) first removes the file
// `path`, a temporary file that must not outlive the process, and then
// takes its usual course. Interruptions the program handles itself are
// left to it. At most four such files at a time.
class RemoveOnInterrupt {
 public:
  explicit RemoveOnInterrupt(const std::string& path);
  // The file `name` in `directory`, which must outlive this object: found
  // through the open directory, however deep it lies.
  RemoveOnInterrupt(const Directory& directory, const std::string& name);
  ~RemoveOnInterrupt();
  RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
  RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;

 private:
  // `directory` null: `name` is a path of the caller's.
  void Register(const Directory* directory, const std::string& name);

  int slot_ = -1;
};

// Work done on a second thread while the caller goes on: the commands use
// it to keep both cores busy. Where no thread can be made, Start does the
// work in the caller before it returns, so callers need no other path.
// The work must not touch what the caller uses until Join returns.
class Worker {
 public:
  Worker() = default;
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  ~Worker() { Wait(); }  // a failure of the work is dropped here

  // Starts `work`; a worker runs one piece of work at a time (Start joins
  // the previous one first).
  void Start(std::function<void()> work);
  // Waits until the work has finished; nothing to do when none is running.
  // An exception the work threw (out of memory) is thrown again here.
  void Join();

 private:
  friend struct WorkerEntry;  // the thread's entry, in the implementation
  void RunWork() noexcept;
  void Wait();

  std::function<void()> work_;
  std::exception_ptr failure_;
  void* thread_ = nullptr;
};

}  // namespace lzh::os
