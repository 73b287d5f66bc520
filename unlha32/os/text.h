// Text and code pages: the form names, paths and report lines take inside
// the library, the caller's form, and what this system allows in a name.
//
// Inside the library text is in one form: UTF-8 on Windows, where every
// file call goes through the wide (UTF-16) API so that no name is squeezed
// through the ANSI code page; on POSIX the bytes the system takes for
// names, in the locale's character set. The exported functions take and
// give text in the caller's form: the ANSI code page on Windows, converted
// once at that boundary (TextFromCaller, TextForCaller); on POSIX the
// library's own form. os/posix/text.cpp and os/win32/text.cpp implement it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lzh::os {

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

// True where a line of text ends in CR LF (Windows). A report is text as
// the C runtime writes it to a text-mode stream there: a line ends in '\n'
// alone, which goes out as CR LF.
bool LinesEndInCrLf();

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

}  // namespace lzh::os
