// What only Windows has, through tavo.exe and back: MS-DOS attributes on
// files and folders, and an archive another program holds open. (Names of
// every script in both code pages, and paths longer than 260 characters,
// are the golden test's.)
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
