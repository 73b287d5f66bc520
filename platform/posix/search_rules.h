// The decisions the POSIX layer makes where Windows has its own answers:
// which locale character sets use Shift_JIS lead bytes, and how a directory
// search pattern matches a name. Kept apart from the system calls so that
// the unit tests can exercise them directly.
#pragma once

// True for the names a C library gives the Shift_JIS family of character
// sets (SHIFT_JIS, SJIS, CP932, WINDOWS-31J, MS_KANJI, and the extensions
// SHIFT_JISX0213 and SHIFT_JIS-2004), in any letter case.
bool CodesetUsesShiftJis(const char* codeset);

// True when a name matches a search pattern as a Windows directory search
// would: * matches any run of whole characters, ? one whole character, a
// trailing ".*" also matches a name without an extension (so *.* matches
// every name). Letter case matters.
bool MatchesSearchPattern(const char* name, const char* pattern, bool (*isLeadByte)(unsigned char));
