// Win32 implementation of the platform services: the kernel and user calls
// the program was made for, used directly. The C runtime's own wildcard
// expansion of arguments is switched off so that patterns reach main as
// typed; the program does its own searching. Output to a file or pipe is
// the bytes through the C runtime's text mode; to a console it is UTF-16,
// so that Shift_JIS texts and reports show whatever the console's code page.
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

bool IsAnsiLeadByte(unsigned char value) { return IsDBCSLeadByte(value) != 0; }

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

namespace {

// Standard output when it is a console, else nullptr. Bytes written to a
// console are read in the console's own code page, which need not be the
// one a text is in; text for a console therefore goes out as UTF-16.
HANDLE StandardConsole() {
  static const HANDLE console = [] {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode) ? output : nullptr;
  }();
  return console;
}

// The length of the longest start of the text, at most `limit` bytes, that
// ends on a whole character of the code page.
std::size_t WholeCharacters(const char* text, std::size_t length, std::size_t limit, UINT codePage) {
  if (length <= limit) return length;
  std::size_t end = 0;
  if (codePage == CP_UTF8) {
    // Back to the start of a sequence; bytes that are all continuations are
    // no text and are cut anywhere.
    for (end = limit; end > 0 && (static_cast<BYTE>(text[end]) & 0xC0) == 0x80;) --end;
    return end > 0 ? end : limit;
  }
  for (std::size_t step; end < limit; end += step) {
    step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[end])) ? 2 : 1;
    if (end + step > limit) break;
  }
  return end;
}

// Writes text in the code page and a newline to the console as UTF-16, each
// '\n' as CR LF as the text-mode stream writes it. In pieces of whole
// characters, so that a report of any size needs only a small buffer.
void WriteToConsole(HANDLE console, const char* text, std::size_t length, UINT codePage) {
  constexpr std::size_t kPiece = 8192;
  std::wstring wide, lines;
  for (bool last = false; !last;) {
    std::size_t piece = WholeCharacters(text, length, kPiece, codePage);
    wide.resize(piece);  // never more UTF-16 units than bytes
    int count = piece == 0 ? 0
                           : MultiByteToWideChar(codePage, 0, text, static_cast<int>(piece), wide.data(),
                                                 static_cast<int>(wide.size()));
    text += piece;
    length -= piece;
    last = length == 0;
    lines.clear();
    for (int i = 0; i < count; ++i) {
      if (wide[i] == L'\n') lines += L'\r';
      lines += wide[i];
    }
    if (last) lines += L"\r\n";
    DWORD written = 0;
    WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  }
}

// Shift_JIS, the program's own texts' code page.
constexpr UINT kOwnTextCodePage = 932;

}  // namespace

void WriteLine(const char* text, std::size_t length) {
  if (HANDLE console = StandardConsole()) return WriteToConsole(console, text, length, GetACP());
  std::fwrite(text, 1, length, stdout);
  std::fputc('\n', stdout);
}

void WriteOwnLine(const char* shiftJisText) {
  std::size_t length = std::strlen(shiftJisText);
  HANDLE console = StandardConsole();
  if (console && IsValidCodePage(kOwnTextCodePage)) return WriteToConsole(console, shiftJisText, length, kOwnTextCodePage);
  WriteLine(shiftJisText, length);
}
