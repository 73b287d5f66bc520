// What the Win32 implementations of the OS layer share: error codes as a
// Status, UTF-8 and UTF-16, paths as the wide calls take them, file
// times, and the opaque handle of os/ headers as a HANDLE. Private to
// os/win32/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"
#include "os/file.h"

namespace lzh::os::win32 {

Status ErrorStatus(DWORD error);
Status LastError();

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide, UINT code_page);

// The path as the wide calls take it: '\' between components and, when it
// is longer than the plain calls take, absolute in the \\?\ form (which
// leaves '/', "." and ".." to the caller, so GetFullPathName resolves them
// first).
std::wstring WidePath(std::string_view path);

// Volume and file index of an entry itself (a link is not followed);
// unknown when it cannot be opened even for its attributes.
FileIdentity IdentityOf(const std::string& path);

FILETIME ToFiletime(int64_t unix_time);
int64_t FromFiletime(const FILETIME& ft);
EntryType TypeOf(DWORD attributes);

// The attributes an archive keeps (FileDetails::attributes).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The opaque handles of os/file.h and os/lock.h hold a HANDLE, whose
// invalid value (INVALID_HANDLE_VALUE) is their -1.
inline HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
inline intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

}  // namespace lzh::os::win32
