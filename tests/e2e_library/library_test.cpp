// tavo with the real library where only a run of tavo itself shows the
// fault, natively and as tavo.exe under Wine in code pages 932 and 1252:
// archives of other writers' names, decoded from what they are and written
// to disk as the system's own names (UTF-8 on Linux, UTF-16 under Wine,
// which shows them as UTF-8 on the Linux side), names Windows cannot hold
// (written as stored on Linux, mapped under Wine), the foreign sample
// archives when the shared folder is there (never copied into the
// project), MS-DOS attributes on files and folders, and an archive another
// program holds open. What a plain run of each command shows, names of
// every script in archives tavo writes included, is the golden test's.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "codec/crc16.h"
#include "sandbox.h"
#include "tests/archive_builder.h"
#include "tests/sample_manifest.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using lzh::test::Bytes;
using lzh::test::Names;

// The output split at the platform's line end; a bare '\n' under Wine (a
// line end tavo.exe failed to translate) stays inside its line.
Names Lines(const Sandbox& box, const std::string& output) {
  Names lines;
  size_t start = 0;
  for (size_t end; (end = output.find(box.Eol(), start)) != std::string::npos; start = end + box.Eol().size())
    lines.push_back(output.substr(start, end - start));
  if (start < output.size()) lines.push_back(output.substr(start));
  return lines;
}

bool HasLine(const Sandbox& box, const std::string& output, const std::string& line) {
  Names lines = Lines(box, output);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The locale of the tests of names: the run's (its code page under Wine),
// or UTF-8 on Linux, where no name is converted in the C locale.
Environment NamesLocale() { return {{"LC_ALL", target.locale.empty() ? "C.UTF-8" : target.locale}}; }

// `text` converted between character sets by iconv; empty when it does not
// convert.
std::string Converted(const std::string& text, const char* to, const char* from) {
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
std::string Shown(const std::string& name) {
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
std::vector<std::pair<std::string, std::string>> FilesBelow(const std::string& directory) {
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


using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;

using MemberNames = LibraryTest;
using Samples = LibraryTest;

std::string ShiftJis(const std::string& utf8) { return Converted(utf8, "CP932", "UTF-8"); }

// Each member is named as its writer stored it; each must come out under
// the name it has, in either code page. Faults caught: a Shift_JIS 0x5C
// second byte taken for a separator (表.txt as a folder • in code page
// 1252) or a folder ending in one merged into its file (一覧表中身.txt,
// ソ機能f.txt), by the library; UTF-8 names from Linux read in the ANSI code
// page (譌･譛ｬ隱・txt, cafÃ©.txt); a name shown by a look-alike. (Archives
// tavo writes, level 0 and tavo's own wildcards are the golden test's.)
TEST_F(MemberNames, DecodedFromWhatTheyAreAndExtractedNameByName) {
  struct Row {
    std::vector<std::string> components;  // UTF-8
    RawMember stored;                      // its name and directory are filled in below
  };
  auto windows = [](uint8_t os, std::optional<uint32_t> code_page = {}) {
    RawMember m;
    m.os_id = os;
    m.code_page = code_page;
    return m;
  };
  std::vector<Row> rows = {
      {{"一覧表", "中身.txt"}, windows('M')},
      {{"ソ", "機能", "f.txt"}, windows('W', 932)},
      {{"表.txt"}, windows('w')},
      {{"日本語.txt"}, windows('U')},                 // Linux in a UTF-8 locale, no code page said
      {{"café", "한국어", "😀.txt"}, windows('U', 65001)},  // Linux, saying so
      {{"Привет.txt"}, windows('U', 1251)},
  };
  std::vector<RawMember> members;
  for (Row& row : rows) {
    RawMember& m = row.stored;
    auto stored = [&](const std::string& utf8) {
      if (m.code_page == 1251u) return Converted(utf8, "CP1251", "UTF-8");
      return m.os_id == 'U' ? utf8 : ShiftJis(utf8);
    };
    for (size_t i = 0; i + 1 < row.components.size(); ++i) m.directory += stored(row.components[i]) + '\xff';
    m.name = stored(row.components.back());
    m.data = ToBytes(row.components.back());
    members.push_back(m);
  }
  Put("names.lzh", RawArchive(members));
  Outcome listed = box.Run({"l", "names.lzh"}, NamesLocale());
  Outcome extracted = box.Run({"x", "names.lzh", "out/"}, NamesLocale());
  EXPECT_TRUE(HasLine(box, extracted.output, "6 members extracted, 0 skipped, 0 failed")) << extracted.output;
  std::vector<std::pair<std::string, std::string>> expected;
  for (const Row& row : rows) {
    std::string path;
    for (const std::string& component : row.components) path += (path.empty() ? "" : "/") + component;
    expected.emplace_back(path, row.components.back());
    EXPECT_TRUE(HasLine(box, extracted.output, "ok       " + Shown(path))) << extracted.output;
    EXPECT_NE(listed.output.find("  " + Shown(row.components.back()) + box.Eol()), std::string::npos) << listed.output;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesBelow(box.work() + "/out"), expected);
}

// An Amiga archive holding names Linux takes as they are and Windows
// cannot: a directory named by one blank, a name ending in a dot, a device
// name, a reserved character. Under Wine each is mapped to a name Windows
// holds, and the report says where it went.
TEST_F(MemberNames, WindowsCannotHoldAreWrittenAsStoredOnLinuxAndMappedUnderWine) {
  struct Row {
    std::string stored, on_linux, on_windows;
  };
  const Row rows[] = {
      {"DIR\\ \\readme", "DIR/ /readme", "DIR/_/readme"},
      {"notes.", "notes.", "notes_"},
      {"aux.txt", "aux.txt", "_aux.txt"},
      {"a?b", "a?b", "a_b"},
  };
  std::vector<RawMember> members;
  for (const Row& row : rows) members.push_back(RawMember{row.stored, "", ToBytes(row.stored), "-lh0-", 'A'});
  Put("amiga.lzh", RawArchive(members));
  Outcome extract = box.Run({"x", "amiga.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extract.output, "4 members extracted, 0 skipped, 0 failed")) << extract.output;
  for (const Row& row : rows) {
    const std::string& written = target.UnderWine() ? row.on_windows : row.on_linux;
    EXPECT_EQ(box.Read("out/" + written), row.stored) << extract.output;
    if (target.UnderWine()) {
      EXPECT_NE(extract.output.find("written as " + written), std::string::npos) << extract.output;
    }
  }
}

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Windows cannot create a symbolic link member (it is skipped, not failed).
// The Shift_JIS names of cp932_names.lzh must come out as the names they
// are, in either code page, like every other member.
TEST_F(Samples, ForeignEveryArchiveTestsCleanAndExtractsWithItsCrc) {
  fs::path folder = lzh::test::SamplesDir();
  if (!fs::exists(folder / "MANIFEST.tsv")) GTEST_SKIP() << "no sample archives at " << folder;
  std::set<std::string> archives;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "MANIFEST.tsv" && entry.path().filename() != "README.md")
      archives.insert(entry.path().filename().string());
  ASSERT_FALSE(archives.empty());
  for (const std::string& archive : archives) {
    box.File(archive, Contents(folder / archive));
    Outcome test = box.Run({"t", archive}, NamesLocale());
    EXPECT_EQ(test.status, 0);
    std::vector<std::string> lines = Lines(box, test.output);
    ASSERT_FALSE(lines.empty()) << archive;
    EXPECT_NE(lines.back().find(" tested, 0 skipped, 0 failed"), std::string::npos) << archive << "\n" << test.output;
    Outcome extract = box.Run({"x", archive, "out\\" + archive + "\\"}, NamesLocale());
    EXPECT_NE(extract.output.find(target.UnderWine() ? " skipped, 0 failed" : ", 0 skipped, 0 failed"), std::string::npos)
        << archive << "\n" << extract.output;
  }
  for (const lzh::test::ManifestRow& member : lzh::test::ReadManifest()) {
    if (member.method == "-lhd-") continue;  // directories and links, covered above
    std::string name = member.member;
    if (member.archive == "cp932_names.lzh") name = Converted(name, "UTF-8", "CP932");
    std::string data = box.Read("out/" + member.archive + "/" + name);
    EXPECT_EQ(data.size(), member.size) << member.archive << " " << name;
    EXPECT_EQ(lzh::Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size()), member.crc)
        << member.archive << " " << name;
  }
}


class RoundTrip : public LibraryTest {
 protected:
  // The header's own attribute byte, which the readers check.
  uint8_t BaseAttributeByte(const std::string& archive, const lzh::MemberHeader& member) const {
    return static_cast<uint8_t>(box.Read(archive)[member.header_offset + 19]);
  }

  // windows_helper.exe (see tests/windows_helper): a file's attributes,
  // set first when `set` is given.
  unsigned Attributes(const std::string& relative, const std::string& set = "") const {
    std::vector<std::string> arguments = {"attributes", relative};
    if (!set.empty()) arguments.push_back(set);
    Outcome outcome = box.RunProgram(target.helper, arguments, box.work());
    EXPECT_EQ(outcome.status, 0) << relative;
    return static_cast<unsigned>(std::stoul("0" + outcome.output, nullptr, 16));
  }
};

// Read-only, hidden and system on files and folders, stored by a -r -a -d
// at every header level (v shows them; the base byte stays 0x20 at levels
// 1 and 2, as the readers want it) and set again by extraction. Wine keeps
// hidden and system but no read-only on folders, and the archive bit on
// every file. Faults caught: attributes stored as 0x20 (a---), hidden and
// system files left out under -a, extraction setting read-only only.
TEST_F(RoundTrip, AttributesOfFilesAndFoldersComeBack) {
  if (!target.UnderWine()) GTEST_SKIP() << "Linux keeps no MS-DOS attributes";
  struct Row {
    std::string name, attributes, shown;  // shown: as v lists them
  };
  const Row rows[] = {
      {"plain.txt", "20", "a---"},  {"read-only.txt", "21", "a--r"}, {"hidden.txt", "22", "a-h-"},
      {"system.txt", "24", "as--"}, {"all.txt", "27", "ashr"},       {"hidden-folder", "12", "--h-"},
      {"system-folder", "14", "-s--"},
  };
  for (const Row& row : rows) {
    if (row.name.ends_with("folder")) Put("tree/" + row.name + "/inside.txt", "inside");
    else Put("tree/" + row.name, row.name);
    EXPECT_EQ(Attributes("tree/" + row.name, row.attributes), std::stoul(row.attributes, nullptr, 16)) << row.name;
  }
  for (int level = 0; level <= 2; ++level) {
    const std::string archive = "level" + std::to_string(level) + ".lzh";
    SCOPED_TRACE(archive);
    Run({"a", "-r", "-a", "-d", "-h" + std::to_string(level), archive, "tree\\"});
    std::map<std::string, lzh::MemberHeader> members;
    for (const lzh::MemberHeader& member : Members(archive)) members[member.PathString()] = member;
    Names listed = Lines(box, Run({"v", archive}).output);
    for (const Row& row : rows) {
      ASSERT_EQ(members.count(row.name), 1u) << row.name;
      const lzh::MemberHeader& member = members[row.name];
      EXPECT_EQ(member.attribute & 0x27, std::stoul(row.attributes, nullptr, 16) & 0x27) << row.name;
      if (level > 0) {
        EXPECT_EQ(BaseAttributeByte(archive, member), 0x20) << row.name;
      }
      auto line = std::find(listed.begin(), listed.end(), row.name + (member.is_directory ? "/" : ""));
      ASSERT_TRUE(line != listed.end() && line + 1 != listed.end()) << row.name;
      EXPECT_TRUE(line[1].ends_with(" " + row.shown)) << line[1];
    }
    Run({"x", archive, "out" + std::to_string(level) + "/"});
    for (const Row& row : rows)
      EXPECT_EQ(Attributes("out" + std::to_string(level) + "/" + row.name), Attributes("tree/" + row.name)) << row.name;
  }
}

// A file another program holds open under Windows: the report says so,
// not "another process is changing the archive" nor "not an archive".
TEST_F(RoundTrip, AnArchiveHeldByAnotherProgramIsNamedAsSuch) {
  if (!target.UnderWine()) GTEST_SKIP() << "no program holds a file against others on Linux";
  Put("f.txt", "f");
  Run({"a", "held.lzh", "f.txt"});
  std::string tavo = "Z:" + box.work() + "/../bin/tavo.exe";
  std::replace(tavo.begin(), tavo.end(), '/', '\\');
  Outcome held = box.RunProgram(target.helper, {"hold", "held.lzh", tavo, "a", "held.lzh", "f.txt"}, box.work(),
                                NamesLocale());
  EXPECT_EQ(held.status, 5) << held.output;
  EXPECT_EQ(Lines(box, held.output), Names{"Cannot read held.lzh: in use by another program; it is left as it is."});
  held = box.RunProgram(target.helper, {"hold", "held.lzh", tavo, "x", "held.lzh", "out/"}, box.work(), NamesLocale());
  EXPECT_EQ(Lines(box, held.output), Names{"Cannot read held.lzh: in use by another program"});
}

}  // namespace
}  // namespace e2e
