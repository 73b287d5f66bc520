// Shared ground of the end-to-end tests of tavo with the real library: a
// sandbox holding the library, archives put into it (written by the
// library's own writer or built byte by byte), and the output seen as lines
// whatever the platform's line end.
#pragma once

#include <string>
#include <vector>

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
