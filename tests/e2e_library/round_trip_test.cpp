// Trees of files that Windows users have, through tavo and back: names
// with every kind of character, MS-DOS attributes, paths longer than 260
// characters, and an archive another program holds open. Run on Linux and
// under Wine in code pages 932 and 1252 (see cmake/WindowsBuild.cmake);
// under Wine the tree is made on the Linux side, where Wine shows Windows
// names as UTF-8.
#include <map>

#include "library_e2e.h"

namespace e2e {
namespace {

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

const Names kNames = {"一覧表/中身.txt", "ソ/機能/f.txt", "表/ソ/x.txt", "café.txt", "Привет.txt", "한국어.txt", "😀.txt"};

// Folders whose Shift_JIS names end in a 0x5C second byte (表, ソ, 能),
// accented Latin, Cyrillic, Hangul and an emoji: added with -r and -d,
// stored in the form readers take back (Shift_JIS in code page 932 where
// the name has it, else UTF-8 with its code page), and extracted, also by
// the self-extracting program, under the same names; @lists read in the
// caller's code page. Faults caught:
// folders ending in 0x5C left out or merged into their files' names, the
// subfolder ソ of 表\* left out, names without an ANSI form reported
// unreadable, café.txt taken for the cafe.txt of the ANSI "best fit", the
// self-extractor splitting 表.txt, a level-0 name stored as a look-alike.
TEST_F(RoundTrip, EveryNameComesBackUnderItsOwnName) {
  for (const std::string& name : kNames) Put("tree/" + name, name);
  const auto tree = FilesBelow(Path("tree"));
  Outcome added = Run({"a", "-r", "-d", "names.lzh", "tree/"});
  EXPECT_TRUE(HasLine(box, added.output, "12 added or replaced, 0 up to date, 0 skipped, 0 failed; names.lzh written."))
      << added.output;
  const bool code_page_932 = target.UnderWine() && target.locale.starts_with("ja_JP");
  for (const lzh::MemberHeader& member : Members("names.lzh")) {
    std::string name = PathOf(member);
    bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
    uint32_t expected = ascii ? 0 : code_page_932 && !Converted(name, "CP932", "UTF-8").empty() ? 932 : 65001;
    EXPECT_EQ(member.code_page, expected) << name;
  }
  Outcome extracted = Run({"x", "names.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extracted.output, "ok       " + Shown("一覧表/中身.txt"))) << extracted.output;
  EXPECT_EQ(FilesBelow(Path("out")), tree);

  Run({"s", "names.lzh", "sfx/"});
  Outcome ran = box.RunProgram(Path(target.UnderWine() ? "sfx/names.exe" : "sfx/names"), {}, Path("sfx"),
                               NamesLocale());
  EXPECT_EQ(ran.status, 0) << ran.output;
  fs::remove(Path(target.UnderWine() ? "sfx/names.exe" : "sfx/names"));
  EXPECT_EQ(FilesBelow(Path("sfx")), tree);

  // A wildcard below 表, through tavo's arguments, where the code page has 表
  // (Linux takes no '\\' between the folders of a file to add).
  if (!target.UnderWine() || code_page_932) {
    Run({"a", "-r", "sub.lzh", target.UnderWine() ? "tree\\表\\*" : "tree/表/*"});
    EXPECT_EQ(Paths("sub.lzh"), Names{"tree/表/ソ/x.txt"});
  }

  // @lists are in the caller's code page, or UTF-8 after a byte order mark.
  const std::string listed = code_page_932 ? "tree/表/ソ/x.txt" : "tree/café.txt";
  Put("ansi.lst", Converted(listed + "\n", target.UnderWine() ? code_page_932 ? "CP932" : "CP1252" : "UTF-8", "UTF-8"));
  Put("utf8.lst", "\xEF\xBB\xBFtree/한국어.txt\n");
  Run({"a", "lists.lzh", "@ansi.lst", "@utf8.lst"});
  EXPECT_EQ(Paths("lists.lzh"), (Names{listed, "tree/한국어.txt"}));

  // Level 0 has no room for a code page and is read as Shift_JIS.
  Outcome level0 = Run({"a", "-r", "-h0", "level0.lzh", "tree/"}, target.UnderWine() ? 4 : 0);
  if (target.UnderWine()) {
    for (std::string name : {"café.txt", "한국어.txt", "😀.txt"})
      EXPECT_TRUE(HasLine(box, level0.output,
                          "FAILED   " + Shown("tree/" + name) +
                              ": the name has no Shift_JIS form, the only one a level-0 header keeps (-h1 or -h2 store it)"))
          << level0.output;
  }
}

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

// A path of more than 260 characters, found by -r, stored and extracted
// into a folder deeper still; on Windows also named in the \\?\ form such
// paths take, which is stored from below its drive as any absolute path.
// Faults caught: the plain calls stop at 260; the prefix stored as the
// folders "?" and "Z:".
TEST_F(RoundTrip, PathsLongerThan260Characters) {
  std::string path = "tree";
  for (char c = 'a'; c <= 'e'; ++c) path += "/" + std::string(60, c);
  Put(path + "/deep.txt", "deep");
  ASSERT_GT(Path(path).size(), 300u);
  Run({"a", "-r", "long.lzh", "tree/"});
  Run({"x", "long.lzh", "out/"});
  EXPECT_EQ(FilesBelow(Path("out")), FilesBelow(Path("tree")));
  ASSERT_EQ(FilesBelow(Path("out")).size(), 1u);
  if (!target.UnderWine()) return;
  std::string named = "\\\\?\\Z:" + Path(path + "/deep.txt");
  std::replace(named.begin(), named.end(), '/', '\\');
  Run({"a", "named.lzh", named});
  EXPECT_EQ(Paths("named.lzh"), Names{Path(path + "/deep.txt").substr(1)});
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
