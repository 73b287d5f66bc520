// Trees of files that Windows users have, through tavo and back: names
// with every kind of character, MS-DOS attributes, paths longer than 260
// characters; each archive also read by the foreign readers (7z, bsdtar,
// unar) where they are installed, and the failures the system reports
// named by their cause. Run on Linux and under Wine in code pages 932 and
// 1252 (see cmake/WindowsBuild.cmake); under Wine the tree is made on the
// Linux side, where Wine shows Windows names as UTF-8.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>

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

// A program of this machine run on an archive below work/, with its
// standard output; empty when it is not installed.
std::string Oracle(const std::string& program, const std::string& arguments, const std::string& archive) {
  if (std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) != 0) return "";
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen(("LC_ALL=C.UTF-8 " + program + " " + arguments + " '" + archive + "' 2>/dev/null").c_str(), "r"), pclose);
  char chunk[4096];
  for (size_t got; pipe && (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, got);
  return output;
}

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

// What the foreign readers make of our names and attributes. bsdtar
// follows the code-page header and lists every name exactly, the UTF-8 ones
// and the Shift_JIS ones written under code page 932; 7z lists UTF-8 names
// exactly (the form of every name on Linux and under code page 1252) but
// takes Shift_JIS ones for another code page; unar ignores the header and
// guesses each archive's encoding from its bytes, so only its count of
// members is ours whatever it guesses. bsdtar reads read-only from the
// attribute header of levels 1 and 2, unar the level-0 attribute byte; 7z
// shows no attributes of LZH members. Each reader missing is skipped.
TEST_F(RoundTrip, ForeignReadersReadOurNamesAndAttributes) {
  for (const std::string& name : kNames) Put("tree/" + name, name);
  Run({"a", "-r", "names.lzh", "tree/*"});
  const std::string archive = Path("names.lzh");
  Names expected;
  for (const std::string& name : kNames) expected.push_back("tree/" + name);
  std::sort(expected.begin(), expected.end());
  auto names_of = [&](std::string listing) {
    Names names;
    for (size_t start = 0, end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = listing.substr(start, end - start);
      size_t at = line.find("tree/");
      if (at != std::string::npos) names.push_back(line.substr(at));
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  if (std::string listed = Oracle("bsdtar", "-tf", archive); !listed.empty()) {
    EXPECT_EQ(names_of(listed), expected) << "bsdtar";
  }
  if (std::string listed = Oracle("7z", "l -ba", archive); !listed.empty() && !target.locale.starts_with("ja_JP")) {
    EXPECT_EQ(names_of(listed), expected) << "7z";
  }
  if (std::string listed = Oracle("lsar", "", archive); !listed.empty()) {
    EXPECT_EQ(names_of(listed).size(), expected.size()) << "unar\n" << listed;
  }
  if (!target.UnderWine()) return;
  Put("read-only.txt", "r");
  Attributes("read-only.txt", "21");
  Run({"a", "-h1", "attributes1.lzh", "read-only.txt"});
  Run({"a", "-h0", "attributes0.lzh", "read-only.txt"});
  if (std::string listed = Oracle("bsdtar", "-tvf", Path("attributes1.lzh")); !listed.empty()) {
    EXPECT_TRUE(listed.starts_with("-r--r--r--")) << listed;
  }
  if (std::string listed = Oracle("lsar", "-L", Path("attributes0.lzh")); !listed.empty()) {
    EXPECT_NE(listed.find("A----R (0x21)"), std::string::npos) << listed;
  }
}

// A folder the user may not write to: the immutable flag for root, whom
// permissions do not stop, else no write permission.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& path) : path_(path) {
    fs::create_directories(path);
    if (geteuid() != 0) {
      made_ = chmod(path.c_str(), 0555) == 0;
      return;
    }
    int flags = 0;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    made_ = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
            (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) close(fd);
  }
  ~ReadOnlyFolder() {
    int flags = 0;
    int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) close(fd);
    chmod(path_.c_str(), 0755);
  }
  bool made() const { return made_; }

 private:
  std::string path_;
  bool made_ = false;
};

// Each failure says what the system said. Faults caught: "another process
// is changing the archive", after a minute, for a new archive in a folder
// the user may not write to; "is not an LZH archive" for an archive another
// program holds open; "no such file or directory" for a missing -w folder.
TEST_F(RoundTrip, FailuresAreNamedByTheirCause) {
  Put("f.txt", "f");
  Outcome work = Run({"a", "-wnosuchdir", "w.lzh", "f.txt"}, 4);
  EXPECT_EQ(Lines(box, work.output), Names{"Cannot change w.lzh: the work directory nosuchdir does not exist"});

  ReadOnlyFolder folder(Path("ro"));
  if (folder.made()) {
    Outcome refused = Run({"a", "ro/new.lzh", "f.txt"}, 4);
    EXPECT_EQ(Lines(box, refused.output),
              Names{"Cannot change ro/new.lzh: " + std::string(target.UnderWine() ? "access denied" : "permission denied")});
  }

  if (!target.UnderWine()) return;  // no program holds a file against others on Linux
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
