// Win32 implementation of the platform services: the kernel and user calls
// the program was made for, used directly. The C runtime's own wildcard
// expansion of arguments is switched off so that patterns reach main as
// typed; the program does its own searching.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

// Read by the MinGW C runtime before main: no globbing of the command line.
extern "C" {
int _dowildcard = 0;
}

const char kPathSeparator = '\\';
const bool kDriveLetters = true;

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

bool QueryVersionWord(std::uint32_t* version) {
  *version = GetVersion();
  return true;
}

void ShowErrorBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_SETFOREGROUND);
}

// --- Archiver library ------------------------------------------------------

struct LoadedLibrary {
  HMODULE module;
};

LoadedLibrary* LoadArchiverLibrary() {
  HMODULE module = LoadLibraryA("unlha32.dll");
  return module ? new (std::nothrow) LoadedLibrary{module} : nullptr;
}

void* LookUpEntryPoint(LoadedLibrary* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(library->module, name));
}

void UnloadLibrary(LoadedLibrary* library) {
  FreeLibrary(library->module);
  delete library;
}

// --- Private heap ----------------------------------------------------------

PrivateHeap* CreatePrivateHeap() { return reinterpret_cast<PrivateHeap*>(HeapCreate(0, 0, 0)); }

// Without HEAP_ZERO_MEMORY: a large block comes straight from the system's
// virtual memory, whose pages are not touched until written.
void* TakeHeapBlock(PrivateHeap* heap, std::size_t size) { return HeapAlloc(reinterpret_cast<HANDLE>(heap), 0, size); }

void ReturnHeapBlock(PrivateHeap* heap, void* block) { HeapFree(reinterpret_cast<HANDLE>(heap), 0, block); }

void DestroyPrivateHeap(PrivateHeap* heap) { HeapDestroy(reinterpret_cast<HANDLE>(heap)); }

// --- Movable memory --------------------------------------------------------

MovableMemory* AllocMovable(std::size_t size) {
  return reinterpret_cast<MovableMemory*>(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
}

MovableMemory* ResizeMovable(MovableMemory* block, std::size_t size) {
  return reinterpret_cast<MovableMemory*>(
      GlobalReAlloc(reinterpret_cast<HGLOBAL>(block), size, GMEM_MOVEABLE | GMEM_ZEROINIT));
}

char* LockMovable(MovableMemory* block) { return static_cast<char*>(GlobalLock(reinterpret_cast<HGLOBAL>(block))); }

void UnlockMovable(MovableMemory* block) { GlobalUnlock(reinterpret_cast<HGLOBAL>(block)); }

void FreeMovable(MovableMemory* block) { GlobalFree(reinterpret_cast<HGLOBAL>(block)); }

// --- Environment and command line ------------------------------------------

std::size_t ReadEnvironment(const char* name, char* buffer, std::size_t size) {
  return GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
}

std::size_t RawCommandLineLength(int, char**) { return std::strlen(GetCommandLineA()); }

// --- Directory search ------------------------------------------------------

namespace {

void FillEntry(const WIN32_FIND_DATAA& found, SearchEntry* entry) {
  std::strcpy(entry->name, found.cFileName);
  entry->isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

DirectorySearch* FindFirstEntry(const char* pattern, SearchEntry* entry) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return nullptr;
  FillEntry(found, entry);
  return reinterpret_cast<DirectorySearch*>(search);
}

bool FindNextEntry(DirectorySearch* search, SearchEntry* entry) {
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(reinterpret_cast<HANDLE>(search), &found)) return false;
  FillEntry(found, entry);
  return true;
}

void CloseSearch(DirectorySearch* search) { FindClose(reinterpret_cast<HANDLE>(search)); }

// --- Current directory -----------------------------------------------------

struct SavedDirectory {
  std::string path;
};

SavedDirectory* RememberCurrentDirectory() {
  DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return nullptr;
  auto* saved = new (std::nothrow) SavedDirectory;
  if (!saved) return nullptr;
  saved->path.resize(needed);
  DWORD length = GetCurrentDirectoryA(needed, saved->path.data());
  if (length == 0 || length >= needed) {
    delete saved;
    return nullptr;
  }
  saved->path.resize(length);
  return saved;
}

bool ReturnToDirectory(SavedDirectory* saved) { return SetCurrentDirectoryA(saved->path.c_str()) != 0; }

void ForgetDirectory(SavedDirectory* saved) { delete saved; }

bool ChangeDirectory(const char* path) { return SetCurrentDirectoryA(path) != 0; }

bool EnterSubdirectory(const char* name) {
  DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return SetCurrentDirectoryA(name) != 0;
}

// --- Output ----------------------------------------------------------------

void WriteLine(const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fputc('\n', stdout);
}

void WriteOwnLine(const char* shiftJisText) { WriteLine(shiftJisText, std::strlen(shiftJisText)); }
