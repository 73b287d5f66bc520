// POSIX implementation of the platform services. The library is
// libunlha32.so looked up beside the executable first (as Windows looks in
// the program's directory; the build tree and the tests place it so), then
// by its soname through the loader's search: the runpath of an installed
// tavo, the loader's cache and directories. The soname is what the runtime
// package installs and it names the interface this tavo was built for; the
// unversioned name is only a development link. Paths
// handed to the system have their \ separators turned into /; directories
// are entered by descriptor so that a symbolic link is never followed and the
// way back never depends on the length of a path.
#include "platform/platform.h"
#include "platform/posix/search_rules.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

const char kPathSeparator = '/';
const bool kDriveLetters = false;

namespace {

// Directories are held by a path descriptor where the system has one, so
// that a directory we may enter but not list can still be returned to.
#ifdef O_PATH
constexpr int kDirectoryHold = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kDirectoryHold = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

struct CodesetFacts {
  bool shiftJis = false;
  bool utf8 = false;
};

const CodesetFacts& Codeset() {
  static const CodesetFacts facts = [] {
    std::setlocale(LC_CTYPE, "");
    const char* name = nl_langinfo(CODESET);
    CodesetFacts f;
    f.shiftJis = CodesetUsesShiftJis(name);
    f.utf8 = std::strcmp(name, "UTF-8") == 0 || std::strcmp(name, "utf8") == 0;
    return f;
  }();
  return facts;
}

bool IsShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The path as the system wants it: \ separators become /, but never the
// second byte of a double-byte character.
std::string SystemPath(const char* path) {
  std::string result;
  for (const char* p = path; *p; ++p) {
    if (IsAnsiLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      result += p[0];
      result += *++p;
    } else {
      result += *p == '\\' ? '/' : *p;
    }
  }
  return result;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) { return Codeset().shiftJis && IsShiftJisLeadByte(byte); }

bool QueryVersionWord(std::uint32_t*) { return false; }

void ShowErrorBox(const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

// --- Archiver library ------------------------------------------------------

struct LoadedLibrary {
  void* handle;
};

LoadedLibrary* LoadArchiverLibrary() {
  static const char kBesideName[] = "libunlha32.so";
  void* handle = nullptr;
  std::string self(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
  if (length > 0 && static_cast<std::size_t>(length) < self.size()) {
    self.resize(static_cast<std::size_t>(length));
    std::string beside = self.substr(0, self.rfind('/') + 1) + kBesideName;
    handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!handle) handle = dlopen(UNLHA32_SONAME, RTLD_NOW | RTLD_LOCAL);
  return handle ? new LoadedLibrary{handle} : nullptr;
}

void* LookUpEntryPoint(LoadedLibrary* library, const char* name) { return dlsym(library->handle, name); }

void UnloadLibrary(LoadedLibrary* library) {
  dlclose(library->handle);
  delete library;
}

// --- Private heap ----------------------------------------------------------

struct PrivateHeap {
  std::unordered_set<void*> blocks;
};

PrivateHeap* CreatePrivateHeap() { return new (std::nothrow) PrivateHeap; }

void* TakeHeapBlock(PrivateHeap* heap, std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (block) heap->blocks.insert(block);
  return block;
}

void ReturnHeapBlock(PrivateHeap* heap, void* block) {
  heap->blocks.erase(block);
  std::free(block);
}

void DestroyPrivateHeap(PrivateHeap* heap) {
  for (void* block : heap->blocks) std::free(block);
  delete heap;
}

// --- Movable memory --------------------------------------------------------

struct MovableMemory {
  char* bytes;
  std::size_t size;
};

MovableMemory* AllocMovable(std::size_t size) {
  char* bytes = static_cast<char*>(std::calloc(size ? size : 1, 1));
  if (!bytes) return nullptr;
  return new MovableMemory{bytes, size};
}

MovableMemory* ResizeMovable(MovableMemory* block, std::size_t size) {
  char* bytes = static_cast<char*>(std::realloc(block->bytes, size ? size : 1));
  if (!bytes) return nullptr;
  if (size > block->size) std::memset(bytes + block->size, 0, size - block->size);
  block->bytes = bytes;
  block->size = size;
  return block;
}

char* LockMovable(MovableMemory* block) { return block->bytes; }

void UnlockMovable(MovableMemory*) {}

void FreeMovable(MovableMemory* block) {
  std::free(block->bytes);
  delete block;
}

// --- Environment and command line ------------------------------------------

std::size_t ReadEnvironment(const char* name, char* buffer, std::size_t size) {
  const char* value = std::getenv(name);
  if (!value || !*value) return 0;
  std::size_t length = std::strlen(value);
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, value, length + 1);
  return length;
}

std::size_t RawCommandLineLength(int argc, char** argv) {
  std::size_t total = 0;
  for (int i = 0; i < argc; ++i) total += std::strlen(argv[i]) + 3;
  return total;
}

// --- Directory search ------------------------------------------------------

struct DirectorySearch {
  DIR* directory;
  std::string pattern;
};

namespace {

bool FillNextMatch(DirectorySearch* search, SearchEntry* entry) {
  while (dirent* found = readdir(search->directory)) {
    if (std::strlen(found->d_name) >= sizeof entry->name) continue;
    if (!MatchesSearchPattern(found->d_name, search->pattern.c_str(), IsAnsiLeadByte)) continue;
    std::strcpy(entry->name, found->d_name);
    // The directory itself tells the type on most file systems: a walk over
    // a large tree then costs no stat per entry. Links and the file systems
    // that do not tell are asked.
    if (found->d_type != DT_UNKNOWN && found->d_type != DT_LNK) {
      entry->isLink = false;
      entry->isDirectory = found->d_type == DT_DIR;
      return true;
    }
    struct stat target{}, itself{};
    int fd = dirfd(search->directory);
    entry->isLink = fstatat(fd, found->d_name, &itself, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(itself.st_mode);
    entry->isDirectory = fstatat(fd, found->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    return true;
  }
  return false;
}

}  // namespace

DirectorySearch* FindFirstEntry(const char* pattern, SearchEntry* entry) {
  std::string path = SystemPath(pattern);
  std::size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string namePattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (namePattern.empty()) return nullptr;
  DIR* handle = opendir(directory.c_str());
  if (!handle) return nullptr;
  auto* search = new DirectorySearch{handle, namePattern};
  if (FillNextMatch(search, entry)) return search;
  CloseSearch(search);
  return nullptr;
}

bool FindNextEntry(DirectorySearch* search, SearchEntry* entry) { return FillNextMatch(search, entry); }

void CloseSearch(DirectorySearch* search) {
  closedir(search->directory);
  delete search;
}

// --- Current directory -----------------------------------------------------

struct SavedDirectory {
  int descriptor;
};

SavedDirectory* RememberCurrentDirectory() {
  int descriptor = open(".", kDirectoryHold);
  if (descriptor < 0) return nullptr;
  return new SavedDirectory{descriptor};
}

bool ReturnToDirectory(SavedDirectory* saved) { return fchdir(saved->descriptor) == 0; }

void ForgetDirectory(SavedDirectory* saved) {
  close(saved->descriptor);
  delete saved;
}

bool ChangeDirectory(const char* path) { return chdir(SystemPath(path).c_str()) == 0; }

bool EnterSubdirectory(const char* name) {
  int descriptor = open(name, kDirectoryHold | O_NOFOLLOW);
  if (descriptor < 0) return false;
  bool entered = fchdir(descriptor) == 0;
  close(descriptor);
  return entered;
}

// --- Output ----------------------------------------------------------------

void WriteLine(const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fputc('\n', stdout);
}

void WriteOwnLine(const char* shiftJisText) {
  std::size_t length = std::strlen(shiftJisText);
  if (!Codeset().utf8) return WriteLine(shiftJisText, length);
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return WriteLine(shiftJisText, length);
  std::string converted(length * 3 + 1, '\0');
  char* in = const_cast<char*>(shiftJisText);
  char* out = converted.data();
  std::size_t inLeft = length, outLeft = converted.size();
  std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) return WriteLine(shiftJisText, length);
  WriteLine(converted.data(), converted.size() - outLeft);
}
