// UTF-8 by the book (RFC 3629): a lead byte announces the length, every
// continuation byte is 10xxxxxx, and each code point has one form only.
#include "base/utf8.h"

namespace lzh {

size_t Utf8SequenceLength(std::string_view text, size_t i, uint32_t* code_point) {
  uint8_t lead = static_cast<uint8_t>(text[i]);
  size_t length;
  uint32_t value;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    uint8_t byte = static_cast<uint8_t>(text[i + k]);
    if ((byte & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte & 0x3F);
  }
  if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
      (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
    return 0;
  *code_point = value;
  return length;
}

bool IsValidUtf8(std::string_view text) {
  uint32_t code_point;
  size_t i = 0;
  while (i < text.size() && static_cast<uint8_t>(text[i]) < 0x80) ++i;  // ASCII, the usual name
  for (size_t length; i < text.size(); i += length)
    if ((length = Utf8SequenceLength(text, i, &code_point)) == 0) return false;
  return true;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace lzh
