// Path and text routines. Every scan steps with NextCharacter, which moves
// over a lead byte and the byte after it as one character; a lead byte right
// before the end of the text counts as one byte, so no scan runs past the NUL.
#include "pathtext/pathtext.h"

#include "platform/platform.h"

#include <array>
#include <cstring>
#include <string>

namespace {

std::array<bool, 256> leadBytes{};

const char* NextCharacter(const char* text) {
  if (IsLeadByte(static_cast<unsigned char>(*text)) && text[1] != '\0') return text + 2;
  return text + 1;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Copies [begin, end) into out by whole characters, at most limit bytes. A
// double-byte character that does not fit is left out with everything after
// it (returns false: the piece was cut); a lead byte dangling at the end of
// the text is dropped.
bool CopyPiece(char* out, const char* begin, const char* end, std::size_t limit) {
  std::size_t used = 0;
  for (const char* p = begin; p < end;) {
    const char* next = NextCharacter(p);
    std::size_t width = static_cast<std::size_t>(next - p);
    if (width == 1 && IsLeadByte(static_cast<unsigned char>(*p))) break;
    if (used + width > limit) {
      out[used] = '\0';
      return false;
    }
    std::memcpy(out + used, p, width);
    used += width;
    p = next;
  }
  out[used] = '\0';
  return true;
}

}  // namespace

void LoadLeadBytes(bool (*isLeadByte)(unsigned char)) {
  for (unsigned byte = 0; byte < 256; ++byte) leadBytes[byte] = isLeadByte(static_cast<unsigned char>(byte));
}

bool IsLeadByte(unsigned char byte) { return leadBytes[byte]; }

int SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension) {
  const char* rest = path;
  if (kDriveLetters && path[0] != '\0' && path[1] == ':') rest = path + 2;
  const char* directoryEnd = rest;
  const char* lastDot = nullptr;
  for (const char* p = rest; *p; p = NextCharacter(p)) {
    if (IsLeadByte(static_cast<unsigned char>(*p))) continue;
    if (IsSeparator(*p)) directoryEnd = p + 1;
    else if (*p == '.') lastDot = p;
  }
  const char* end = rest + std::strlen(rest);
  const char* nameEnd = (lastDot && lastDot >= directoryEnd) ? lastDot : end;
  bool whole = true;
  if (drive) whole &= CopyPiece(drive, path, rest, kDriveSize - 1);
  if (directory) whole &= CopyPiece(directory, rest, directoryEnd, kPathSize - 1);
  if (baseName) whole &= CopyPiece(baseName, directoryEnd, nameEnd, kPathSize - 1);
  if (extension) whole &= CopyPiece(extension, nameEnd, end, kPathSize - 1);
  return whole ? 1 : 0;
}

int MakePath(char* out, const char* drive, const char* directory, const char* baseName, const char* extension) {
  std::string joined;
  if (drive && *drive) {
    joined += drive[0];
    joined += ':';
  }
  if (directory && *directory) {
    joined += directory;
    const char* last = directory;
    for (const char* p = directory; *p; p = NextCharacter(p)) last = p;
    bool lastIsSeparator = IsSeparator(*last) && !IsLeadByte(static_cast<unsigned char>(*last));
    if (!lastIsSeparator) joined += kPathSeparator;
  }
  if (baseName) joined += baseName;
  if (extension) {
    if (*extension && *extension != '.') joined += '.';
    joined += extension;
  }
  if (joined.size() >= kPathSize) {
    out[0] = '\0';
    return 0;
  }
  std::memcpy(out, joined.c_str(), joined.size() + 1);
  return 1;
}

bool HasWildcardChars(const char* text) {
  for (const char* p = text; *p; p = NextCharacter(p))
    if (*p == '*' || *p == '?') return true;
  return false;
}
