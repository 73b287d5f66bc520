// UTF-8, the form text takes inside the library on Windows and in UTF-8
// locales: reading it by whole, valid sequences and writing code points.
// Shared by every layer that must tell a character from a stray byte (the
// name rules of the format, the display escaping of the commands, the
// Windows file names), so that all of them agree on what is valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lzh {

// The length of the valid UTF-8 sequence at `text[i]`, with its code point
// in *code_point; 0 when there is none there. Overlong forms, surrogates
// and code points past U+10FFFF are invalid.
size_t Utf8SequenceLength(std::string_view text, size_t i, uint32_t* code_point);

bool IsValidUtf8(std::string_view text);

// Whether every byte is below 0x80: text that reads the same in every form
// (UTF-8 and every code page names are converted from), so that it needs
// no conversion.
bool IsAscii(std::string_view text);

void AppendUtf8(uint32_t code_point, std::string* out);

}  // namespace lzh
