// POSIX text: the locale's character set (with the Shift_JIS family under
// any of its names), iconv for code pages, and names as the bytes they are.
#include <iconv.h>
#include <langinfo.h>

#include <cctype>
#include <cstdlib>
#include <utility>

#include "os/text.h"

namespace lzh::os {
namespace {

enum class Charset : uint8_t { kUnread, kUtf8, kShiftJis, kOther };

thread_local Charset taken_charset = Charset::kUnread;

std::string Lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The character set a codeset name (SHIFT_JISX0213) or a locale name
// (ja_JP.SJIS@variant, its codeset between '.' and '@') gives. The Shift_JIS
// family goes by many names: glibc's SHIFT_JIS, SJIS, MS_KANJI, CSSHIFTJIS,
// SHIFT_JISX0213, Microsoft's CP932 and WINDOWS-31J, and SHIFT_JIS-2004.
Charset CharsetNamed(std::string_view name) {
  std::string lower = Lowered(name);
  if (lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos) return Charset::kUtf8;
  std::string_view codeset = lower;
  if (size_t dot = codeset.find('.'); dot != std::string_view::npos) codeset.remove_prefix(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  for (std::string_view known : {"sjis", "cp932", "windows-31j", "ms_kanji", "csshiftjis"})
    if (codeset == known) return Charset::kShiftJis;
  if (codeset.starts_with("shift_jis") || codeset.starts_with("shift-jis")) return Charset::kShiftJis;
  return Charset::kOther;
}

Charset TakenCharset() {
  if (taken_charset == Charset::kUnread) TakeLocale();
  return taken_charset;
}

}  // namespace

void TakeLocale() {
  // A library does not own the process's locale: the program may never
  // have called setlocale, so the environment speaks for the user too.
  taken_charset = CharsetNamed(nl_langinfo(CODESET));
  if (taken_charset != Charset::kOther) return;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    taken_charset = CharsetNamed(value);
    return;
  }
}

bool LocaleIsUtf8() { return TakenCharset() == Charset::kUtf8; }

bool UsesAnsiCodePage() { return TakenCharset() == Charset::kShiftJis; }

bool IsLeadByte(uint8_t byte) {
  return byte >= 0x81 && ((byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) &&
         TakenCharset() == Charset::kShiftJis;
}

std::string TextFromCaller(std::string_view text) { return std::string(text); }

std::string TextForCaller(std::string_view text) { return std::string(text); }

bool ConvertToUtf8(std::string_view text, uint32_t code_page, std::string* utf8) {
  std::string from = "CP" + std::to_string(code_page);
  iconv_t converter = iconv_open("UTF-8", from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input(text);
  std::string output(input.size() * 4 + 4, '\0');
  char* in = input.data();
  size_t in_left = input.size();
  char* out = output.data();
  size_t out_left = output.size();
  size_t result = iconv(converter, &in, &in_left, &out, &out_left);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) || in_left != 0) return false;
  output.resize(output.size() - out_left);
  *utf8 = std::move(output);
  return true;
}

uint32_t AnsiCodePage() { return 0; }

bool LinesEndInCrLf() { return false; }

bool NameCaseMatters() { return true; }

bool MapToLegalName(std::string* component) {
  // A NUL would end the name at the system call: "..\0x" would open "..".
  bool mapped = false;
  for (char& c : *component) {
    if (c == '\0') {
      c = '_';
      mapped = true;
    }
  }
  return mapped;
}

bool ToStoredNames(std::vector<std::string>*, bool, uint32_t* code_page) {
  switch (TakenCharset()) {
    case Charset::kUtf8: *code_page = 65001; break;
    case Charset::kShiftJis: *code_page = 932; break;
    default: *code_page = 0; break;
  }
  return true;
}

}  // namespace lzh::os
