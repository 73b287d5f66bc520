// Name conversion and display escaping. The escaping walks UTF-8 by
// whole sequences so that a valid multibyte character passes unchanged
// while a stray byte (which a terminal might take for C1 CSI, 0x9B) is
// shown as an escape.
#include "commands/shared/member_names.h"

#include "os/text.h"
#include "base/utf8.h"

namespace lzh::commands {
namespace {

constexpr uint32_t kShiftJisCodePage = 932;
constexpr uint32_t kUtf8CodePage = 65001;

void AppendEscape(std::string* out, uint8_t byte) {
  static const char kHex[] = "0123456789ABCDEF";
  *out += "\\x";
  *out += kHex[byte >> 4];
  *out += kHex[byte & 15];
}

bool IsControl(uint32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

// The code page the name components of a member are in, as the format
// layer resolved it (932, 65001, a header's own code page, or 0 for
// unknown); not the header's own code-page field alone.
uint32_t CodePageOfNames(const MemberHeader& header) {
  switch (header.name_encoding) {
    case NameEncoding::kShiftJis: return kShiftJisCodePage;
    case NameEncoding::kUtf8: return kUtf8CodePage;
    case NameEncoding::kUnknown: break;
  }
  return header.has_code_page ? header.code_page : 0;
}

// Appends a stored name in the local form: converted to UTF-8 when `form`
// is kUtf8 and the code page is not UTF-8 already, from the code page when
// it is known and converts, else from the system's ANSI code page where
// there is one (os::AnsiCodePage: what such names always meant on
// Windows); unchanged otherwise.
void AppendLocalName(std::string_view stored, uint32_t code_page, TextForm form, std::string* out) {
  if (form != TextForm::kUtf8 || code_page == kUtf8CodePage || IsAscii(stored)) {
    out->append(stored);
    return;
  }
  std::string converted;
  if ((code_page != 0 && os::ConvertToUtf8(stored, code_page, &converted)) ||
      (os::AnsiCodePage() != 0 && os::ConvertToUtf8(stored, os::AnsiCodePage(), &converted)))
    out->append(converted);
  else
    out->append(stored);
}

}  // namespace

TextForm CurrentTextForm() {
  if (os::LocaleIsUtf8()) return TextForm::kUtf8;
  return os::UsesAnsiCodePage() ? TextForm::kAnsi : TextForm::kBytes;
}

TextForm CallerTextForm() { return os::UsesAnsiCodePage() ? TextForm::kAnsi : CurrentTextForm(); }

size_t CharacterLength(std::string_view text, size_t i, TextForm form) {
  uint32_t code_point = 0;
  size_t length = 1;
  if (form == TextForm::kUtf8) length = Utf8SequenceLength(text, i, &code_point);
  if (form == TextForm::kAnsi && os::IsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size()) length = 2;
  return length == 0 ? 1 : length;
}

LocalMemberNames LocalNames(const MemberHeader& header, TextForm form) {
  LocalMemberNames names;
  LocalNames(header, form, &names);
  return names;
}

void LocalNames(const MemberHeader& header, TextForm form, LocalMemberNames* names) {
  const uint32_t code_page = CodePageOfNames(header);
  names->path.clear();
  size_t base = 0;
  for (const std::string& component : header.path) {
    if (!names->path.empty()) names->path += '/';
    base = names->path.size();
    AppendLocalName(component, code_page, form, &names->path);
  }
  names->base.assign(names->path, base);
  names->link_target.clear();
  AppendLocalName(header.link_target, code_page, form, &names->link_target);
}

std::string DisplayName(std::string_view name, TextForm form) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    uint8_t byte = static_cast<uint8_t>(name[i]);
    if (byte >= 0x20 && byte < 0x7F) {  // printable ASCII is itself in every form
      size_t end = i + 1;
      while (end < name.size() && static_cast<uint8_t>(name[end]) >= 0x20 && static_cast<uint8_t>(name[end]) < 0x7F)
        ++end;
      out.append(name.substr(i, end - i));
      i = end;
    } else if (form == TextForm::kUtf8) {
      uint32_t code_point = 0;
      size_t length = Utf8SequenceLength(name, i, &code_point);
      if (length == 0 || IsControl(code_point)) {
        // An invalid lead byte or a control character: escape one byte
        // and resynchronise on the next.
        AppendEscape(&out, byte);
        ++i;
        if (length > 1) {
          for (size_t k = 1; k < length; ++k) AppendEscape(&out, static_cast<uint8_t>(name[i++]));
        }
      } else {
        out.append(name.substr(i, length));
        i += length;
      }
    } else if (form == TextForm::kAnsi && os::IsLeadByte(byte) && i + 1 < name.size()) {
      out.append(name.substr(i, 2));
      i += 2;
    } else {
      bool control = byte < 0x20 || byte == 0x7F || (form == TextForm::kBytes && byte >= 0x80 && byte <= 0x9F);
      if (control)
        AppendEscape(&out, byte);
      else
        out += static_cast<char>(byte);
      ++i;
    }
  }
  return out;
}

std::string FitName(std::string display, size_t max_bytes, TextForm form) {
  if (display.size() <= max_bytes) return display;
  if (max_bytes < 3) return std::string(max_bytes, '.');
  size_t keep = 0;
  for (size_t i = 0; i < display.size();) {
    size_t length = CharacterLength(display, i, form);
    if (i + length > max_bytes - 3) break;
    i += length;
    keep = i;
  }
  display.resize(keep);
  return display + "...";
}

std::string ArchiveTitle(std::string_view archive, uint64_t archive_offset, TextForm form) {
  std::string title = "Archive: ";
  if (archive_offset > 0) {
    title = "Archive (self-extracting, at offset " + std::to_string(archive_offset) + "): ";
  }
  return FitName(title + DisplayName(archive, form), kLineLimit, form);
}

}  // namespace lzh::commands
