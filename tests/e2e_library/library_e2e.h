// Shared ground of the end-to-end tests of tavo with the real library: a
// sandbox holding the library, archives put into it (written by the
// library's own writer or built byte by byte), the output seen as lines
// whatever the platform's line end, and names as tavo shows them in the
// run's code page.
#pragma once

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "sandbox.h"
#include "tests/archive_builder.h"

namespace e2e {

using lzh::test::Bytes;

inline void PutArchive(const Sandbox& box, const std::string& name, const Bytes& bytes) {
  box.File(name, std::string(bytes.begin(), bytes.end()));
}

// The output split at the platform's line end; a bare '\n' under Wine (a
// line end tavo.exe failed to translate) stays inside its line.
inline std::vector<std::string> Lines(const Sandbox& box, const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = output.find(box.Eol(), start)) != std::string::npos; start = end + box.Eol().size())
    lines.push_back(output.substr(start, end - start));
  if (start < output.size()) lines.push_back(output.substr(start));
  return lines;
}

// The locale of the tests of names: the run's (its code page under Wine),
// or UTF-8 on Linux, where no name is converted in the C locale.
inline Environment NamesLocale() { return {{"LC_ALL", target.locale.empty() ? "C.UTF-8" : target.locale}}; }

// `text` converted between character sets by iconv; empty when it does not
// convert.
inline std::string Converted(const std::string& text, const char* to, const char* from) {
  iconv_t converter = iconv_open(to, from);
  std::string in(text), out(text.size() * 4 + 4, '\0');
  char *in_at = in.data(), *out_at = out.data();
  size_t in_left = in.size(), out_left = out.size();
  bool done = iconv(converter, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) && in_left == 0;
  iconv_close(converter);
  return done ? out.substr(0, out.size() - out_left) : std::string();
}

// A name (UTF-8) as tavo prints it: as it is on Linux; under Wine in the
// ANSI code page of the run, a character it has no exact form for as
// \u{XXXX}, never as a look-alike.
inline std::string Shown(const std::string& name) {
  if (!target.UnderWine()) return name;
  const char* code_page = target.locale.starts_with("ja_JP") ? "CP932" : "CP1252";
  std::string shown;
  for (size_t i = 0, length; i < name.size(); i += length) {
    uint32_t code_point = 0;
    length = std::max<size_t>(lzh::Utf8SequenceLength(name, i, &code_point), 1);
    std::string character = Converted(name.substr(i, length), code_page, "UTF-8");
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(code_point));
    shown += character.empty() ? std::string(escape) : character;
  }
  return shown;
}

// Every file below `directory` (relative, '/' between components) with its
// contents, in order.
inline std::vector<std::pair<std::string, std::string>> FilesBelow(const std::string& directory) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    files.emplace_back(fs::relative(entry.path(), directory).generic_string(),
                       std::string(std::istreambuf_iterator<char>(file), {}));
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline bool HasLine(const Sandbox& box, const std::string& output, const std::string& line) {
  for (const std::string& candidate : Lines(box, output))
    if (candidate == line) return true;
  return false;
}

// Text lines naming the member they belong to, `size` bytes in all.
inline Bytes Text(const std::string& member, size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) text += "line " + std::to_string(line) + " of " + member + "\n";
  text.resize(size);
  return Bytes(text.begin(), text.end());
}

// A small tree: text in the root, a directory entry, members in
// subdirectories, one per method the writer uses.
inline std::vector<lzh::test::Member> Tree() {
  using lzh::Method;
  using lzh::test::Member;
  return {
      Member{{"readme.txt"}, lzh::test::ToBytes("read me first\n"), Method::kLh0, 1300000000, 0644},
      Member{{"docs"}, {}, Method::kLhd, 1300000100, 0755, true},
      Member{{"docs", "manual.TXT"}, Text("manual.TXT", 20000), Method::kLh5, 1300000200, 0644},
      Member{{"docs", "deep", "notes.txt"}, Text("notes.txt", 3000), Method::kLh6, 1300000300, 0644},
      Member{{"src", "main.c"}, Text("main.c", 8000), Method::kLh7, 1300000400, 0644},
      Member{{"src", "old.c"}, Text("old.c", 2000), Method::kLh1, 1300000500, 0644},
  };
}

// The contents of a member of Tree(), as text.
inline std::string TreeText(const std::string& base_name) {
  for (const lzh::test::Member& member : Tree())
    if (member.path.back() == base_name) return std::string(member.data.begin(), member.data.end());
  return "";
}

}  // namespace e2e
