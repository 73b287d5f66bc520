// Win32 text: the ANSI code page at the caller's boundary, UTF-8 inside.
// Text for the caller (reports, progress, questions) leaves in the ANSI
// code page, a character it has no form for written as its code point.
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/utf8.h"
#include "os/text.h"
#include "os/win32/win32.h"

namespace lzh::os {

using win32::Narrow;
using win32::Wide;

namespace {


// `wide` in `code_page` when every character has an exact form there
// (never a best-fit look-alike, never the default character).
bool ExactlyIn(std::wstring_view wide, UINT code_page, std::string* out) {
  if (wide.empty()) {
    out->clear();
    return true;
  }
  BOOL defaulted = FALSE;
  int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, &defaulted);
  if (size <= 0 || defaulted) return false;
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, &defaulted);
  if (defaulted) return false;
  *out = std::move(text);
  return true;
}

// Upper-case hex digits, at least `digits` of them. Not printf: the
// self-extracting program, which reaches this, must stay small, and
// MinGW's printf brings its whole floating-point formatting along.
void AppendHex(std::string* out, uint32_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  char text[8];
  int length = 0;
  do {
    text[length++] = kHex[value & 15];
    value >>= 4;
  } while (value != 0 || length < digits);
  while (length > 0) *out += text[--length];
}

}  // namespace

void TakeLocale() {}

bool LocaleIsUtf8() { return true; }

bool UsesAnsiCodePage() { return true; }

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

std::string TextFromCaller(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return Narrow(wide, CP_UTF8);
}


// A line at a time when the ANSI code page has every character of it;
// else character by character, so that each one without an ANSI form is
// shown by its code point.
std::string TextForCaller(std::string_view text) {
  const UINT ansi = GetACP();
  std::string whole;
  if (IsAscii(text) || ansi == CP_UTF8) return std::string(text);
  if (IsValidUtf8(text) && ExactlyIn(Wide(text), ansi, &whole)) return whole;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t code_point = 0;
    size_t length = Utf8SequenceLength(text, i, &code_point);
    if (length == 0) {  // a stray byte: shown as the reports show one
      out += "\\x";
      AppendHex(&out, static_cast<uint8_t>(text[i]), 2);
      ++i;
      continue;
    }
    std::string character;
    if (ExactlyIn(Wide(text.substr(i, length)), ansi, &character)) {
      out += character;
    } else {
      out += "\\u{";
      AppendHex(&out, code_point, 1);
      out += '}';
    }
    i += length;
  }
  return out;
}

bool ConvertToUtf8(std::string_view text, uint32_t code_page, std::string* utf8) {
  if (text.empty()) {
    utf8->clear();
    return true;
  }
  int size = static_cast<int>(text.size());
  int wide_size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wide_size <= 0) return false;
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wide_size);
  int out_size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (out_size <= 0) return false;
  std::string out(static_cast<size_t>(out_size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(), out_size, nullptr, nullptr);
  *utf8 = std::move(out);
  return true;
}

uint32_t AnsiCodePage() { return GetACP(); }

bool LinesEndInCrLf() { return true; }

bool NameCaseMatters() { return false; }

bool MapToLegalName(std::string* component) {
  std::string& name = *component;
  bool mapped = false;
  for (size_t i = 0, length; i < name.size(); i += length) {
    unsigned char byte = static_cast<unsigned char>(name[i]);
    uint32_t code_point = 0;
    length = Utf8SequenceLength(name, i, &code_point);
    if (length == 0 || (length == 1 && (byte < 0x20 || std::strchr("<>:\"|?*", byte) != nullptr))) {
      name[i] = '_';
      length = 1;
      mapped = true;
    }
  }
  // No byte of a UTF-8 sequence is a dot or a blank, so the end can be
  // read backwards.
  for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) {
    name[i - 1] = '_';
    mapped = true;
  }
  // Device names stay devices whatever extension follows them.
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  bool device = stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
                stem[3] >= '0' && stem[3] <= '9';
  for (const char* name_of_device : kDevices) device = device || stem == name_of_device;
  if (device) {
    name.insert(0, 1, '_');
    mapped = true;
  }
  return mapped;
}

bool ToStoredNames(std::vector<std::string>* components, bool room_for_code_page, uint32_t* code_page) {
  if (!room_for_code_page || GetACP() == 932) {
    std::vector<std::string> shift_jis(components->size());
    bool exact = true;
    for (size_t i = 0; i < components->size() && exact; ++i)
      exact = ExactlyIn(Wide((*components)[i]), 932, &shift_jis[i]);
    if (exact) {
      *components = std::move(shift_jis);
      *code_page = 932;
      return true;
    }
  }
  if (!room_for_code_page) return false;
  *code_page = CP_UTF8;
  return true;
}

}  // namespace lzh::os
