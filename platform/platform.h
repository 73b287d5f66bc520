// The platform services the front end needs, one declaration each, with a
// Win32 implementation (platform/win32) and a POSIX one (platform/posix).
// Everything the operating system does for the program goes through here, so
// that the rest of the front end reads the same on both platforms and no
// conditional compilation is needed outside this folder.
#pragma once

#include <cstddef>
#include <cstdint>

// The archiver library's calling convention: stdcall on 32-bit Windows, the
// ordinary C convention elsewhere.
#if defined(_WIN32)
#define TAVO_WINAPI __stdcall
#else
#define TAVO_WINAPI
#endif

// The separator that joined paths get between a directory and a name.
extern const char kPathSeparator;
// True where a path may begin with a drive ("C:"): Windows. Elsewhere a
// second byte ':' is part of a name like any other.
extern const bool kDriveLetters;

// --- Code page -------------------------------------------------------------
// True when the byte starts a double-byte character in the code page that the
// process runs in (the ANSI code page on Windows, the locale's character set
// on POSIX).
bool IsAnsiLeadByte(unsigned char byte);

// --- Start-up gate ---------------------------------------------------------
// Fills the platform's version word and returns true where the platform has
// one (Windows); returns false where there is none.
bool QueryVersionWord(std::uint32_t* version);
// A modal error message with no owner window.
void ShowErrorBox(const char* text, const char* caption);

// --- Archiver library ------------------------------------------------------
struct LoadedLibrary;
// Loads the archiver library by its platform name, or returns nullptr.
LoadedLibrary* LoadArchiverLibrary();
// The address of an exported entry point, or nullptr when it is not exported.
void* LookUpEntryPoint(LoadedLibrary* library, const char* name);
void UnloadLibrary(LoadedLibrary* library);

// --- Private heap for report buffers ---------------------------------------
struct PrivateHeap;
PrivateHeap* CreatePrivateHeap();
// A block of the heap, or nullptr. Its bytes are left as they are, never
// zero-filled: a large report buffer then costs memory only for the pages
// the library writes.
void* TakeHeapBlock(PrivateHeap* heap, std::size_t size);
void ReturnHeapBlock(PrivateHeap* heap, void* block);
// Frees the heap with every block still taken from it.
void DestroyPrivateHeap(PrivateHeap* heap);

// --- Movable memory blocks (zero-filled when created or grown) -------------
struct MovableMemory;
MovableMemory* AllocMovable(std::size_t size);
// Resizes an unlocked block; returns the block to use from now on, or
// nullptr (leaving the old block as it was) when the size cannot be had.
MovableMemory* ResizeMovable(MovableMemory* block, std::size_t size);
char* LockMovable(MovableMemory* block);
void UnlockMovable(MovableMemory* block);
void FreeMovable(MovableMemory* block);

// --- Environment and command line ------------------------------------------
// Copies the variable's value into the buffer when it fits and returns its
// length; returns the size needed (terminating NUL included) when it does
// not fit, and 0 when the variable is absent or empty.
std::size_t ReadEnvironment(const char* name, char* buffer, std::size_t size);
// The length of the raw command line that started the process. Where there
// is no raw line, the sum over the arguments of their length plus 3 (room for
// two quotes and a blank each).
std::size_t RawCommandLineLength(int argc, char** argv);

// --- Directory search ------------------------------------------------------
struct SearchEntry {
  char name[260];
  bool isDirectory;  // also for a link that leads to a directory
  bool isLink;       // a symbolic link or other reparse point
};
struct DirectorySearch;
// Starts a search for a pattern (a path whose last piece may hold * and ?);
// fills the first matching entry, or returns nullptr when nothing matches.
DirectorySearch* FindFirstEntry(const char* pattern, SearchEntry* entry);
bool FindNextEntry(DirectorySearch* search, SearchEntry* entry);
void CloseSearch(DirectorySearch* search);

// --- Current directory -----------------------------------------------------
struct SavedDirectory;
// Remembers the current directory, whatever the length of its path; nullptr
// when it cannot be remembered.
SavedDirectory* RememberCurrentDirectory();
bool ReturnToDirectory(SavedDirectory* saved);
void ForgetDirectory(SavedDirectory* saved);
// Makes a path current (following links, as the user named it).
bool ChangeDirectory(const char* path);
// Makes a subdirectory of the current directory current, by its bare name,
// refusing a symbolic link.
bool EnterSubdirectory(const char* name);

// --- Output ----------------------------------------------------------------
// Writes the bytes (text in the platform's code page) and a newline to
// standard output in text mode; to a Windows console as the characters
// they stand for, whatever the console's code page.
void WriteLine(const char* text, std::size_t length);
// Writes one of the program's own texts (stored in Shift_JIS) and a newline,
// converted where the platform's terminal expects another encoding.
void WriteOwnLine(const char* shiftJisText);
