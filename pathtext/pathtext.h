// Path and text routines: splitting and joining paths and scanning text by
// whole characters, so that the second byte of a double-byte character (0x5C
// in many Shift_JIS characters) is never taken for a separator or a
// wildcard.
#pragma once

#include <cstddef>

// Room for one path piece or one joined path: 255 bytes and the NUL.
constexpr std::size_t kPathSize = 256;
// Room for a drive: two bytes and the NUL.
constexpr std::size_t kDriveSize = 3;

// Builds the lead-byte table once, at start, from the code page in force.
void LoadLeadBytes(bool (*isLeadByte)(unsigned char));
bool IsLeadByte(unsigned char byte);

// Fills each piece that is not null: drive (kDriveSize; only where the
// platform has drives, kDriveLetters), directory, base name
// and extension (kPathSize each). A piece longer than 255 bytes is cut to the
// last whole character that fits; returns 1 when nothing was cut, 0 otherwise.
int SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension);

// Joins the pieces that are not null into out (kPathSize bytes). Returns 1,
// or 0 with out empty when the joined path would exceed 255 bytes.
int MakePath(char* out, const char* drive, const char* directory, const char* baseName, const char* extension);

// True when the text holds * or ?.
bool HasWildcardChars(const char* text);
