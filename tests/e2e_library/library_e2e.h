// Shared ground of the end-to-end tests of tavo with the real library: one
// fixture, a sandbox holding the library, with archives put into it
// (written by the library's own writer or built byte by byte), the output
// seen as lines whatever the platform's line end, names as tavo shows them
// in the run's code page, and the members of an archive as the library's
// own walker reads them back.
#pragma once

#include <gtest/gtest.h>
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

namespace fs = std::filesystem;
using lzh::test::Bytes;
using lzh::test::Names;

// The output split at the platform's line end; a bare '\n' under Wine (a
// line end tavo.exe failed to translate) stays inside its line.
inline Names Lines(const Sandbox& box, const std::string& output) {
  Names lines;
  size_t start = 0;
  for (size_t end; (end = output.find(box.Eol(), start)) != std::string::npos; start = end + box.Eol().size())
    lines.push_back(output.substr(start, end - start));
  if (start < output.size()) lines.push_back(output.substr(start));
  return lines;
}

inline bool HasLine(const Sandbox& box, const std::string& output, const std::string& line) {
  Names lines = Lines(box, output);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
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

class LibraryTest : public ::testing::Test {
 protected:
  // tavo in the locale of names: the exit status must be `status`,
  // standard error empty (it is a file, and progress is for terminals) and
  // every line end the platform's.
  Outcome Run(const Names& arguments, int status = 0) {
    Outcome outcome = box.Run(arguments, NamesLocale());
    EXPECT_EQ(outcome.status, status) << outcome.output;
    EXPECT_EQ(outcome.errors, "");
    size_t ends = 0;
    for (size_t at = 0; (at = outcome.output.find(box.Eol(), at)) != std::string::npos; at += box.Eol().size()) ++ends;
    EXPECT_EQ(size_t(std::count(outcome.output.begin(), outcome.output.end(), '\n')), ends)
        << "a line end other than the platform's:\n" << outcome.output;
    return outcome;
  }
  void Put(const std::string& relative, const std::string& content) const { box.File(relative, content); }
  void Put(const std::string& relative, const Bytes& bytes) const {
    Put(relative, std::string(bytes.begin(), bytes.end()));
  }
  std::string Path(const std::string& relative) const { return box.work() + "/" + relative; }

  std::vector<lzh::MemberHeader> Members(const std::string& archive) const {
    return lzh::test::Members(Path(archive));
  }

  Sandbox box{Library::Real};
};

}  // namespace e2e
