// The writing commands as a user runs them: tavo with the real library
// creating, updating and pruning archives in its current directory, on
// Linux and as tavo.exe under Wine. Every archive written is read back
// twice: by the library's own walker here (levels, methods, stored paths)
// and by tavo itself (list, test, extract), and what comes out must be
// the files that went in. Every report must use the platform's line ends.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "format/archive_walker.h"
#include "library_e2e.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::string Content(const std::string& name, size_t size) {
  Bytes bytes = Text(name, size);
  return std::string(bytes.begin(), bytes.end());
}

class Writing : public ::testing::Test {
 protected:
  Outcome Run(const std::vector<std::string>& arguments, int status = 0) {
    Outcome outcome = box.Run(arguments);
    EXPECT_EQ(outcome.status, status) << outcome.output;
    EXPECT_EQ(outcome.errors, "") << "progress is for a terminal, and standard error is a file";
    size_t lineEnds = std::count(outcome.output.begin(), outcome.output.end(), '\n');
    size_t platformEnds = 0;
    for (size_t at = 0; (at = outcome.output.find(box.Eol(), at)) != std::string::npos; at += box.Eol().size())
      ++platformEnds;
    EXPECT_EQ(lineEnds, platformEnds) << "a line end other than the platform's:\n" << outcome.output;
    return outcome;
  }

  // A file below work/ with a chosen modification time.
  void Put(const std::string& relative, const std::string& content, int64_t mtime = 1400000000) {
    box.File(relative, content);
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    utimensat(AT_FDCWD, Path(relative).c_str(), times, 0);
  }
  std::string Path(const std::string& relative) const { return box.work() + "/" + relative; }
  bool Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

  // The members of an archive below work/, as the library's walker reads them.
  std::vector<lzh::MemberHeader> Members(const std::string& archive) const {
    std::string bytes = box.Read(archive);
    lzh::MemoryReader reader(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    lzh::ArchiveWalker walker(reader);
    std::vector<lzh::MemberHeader> members;
    lzh::Status opened = walker.Open();
    EXPECT_TRUE(opened.ok()) << archive << ": " << opened.message();
    for (bool end = false; opened.ok();) {
      lzh::MemberHeader header;
      lzh::Status status = walker.Next(&header, &end);
      EXPECT_TRUE(status.ok()) << archive << ": " << status.message();
      if (!status.ok() || end) break;
      members.push_back(header);
    }
    return members;
  }
  Names Paths(const std::string& archive) const {
    Names paths;
    for (const lzh::MemberHeader& member : Members(archive)) paths.push_back(member.PathString());
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  // Every leftover of the library's update transaction (temporary or lock
  // file) in work/.
  Names Leftovers() const {
    Names found;
    for (const auto& entry : fs::directory_iterator(box.work()))
      if (entry.path().filename().string().find(".unlha32-") != std::string::npos)
        found.push_back(entry.path().filename().string());
    return found;
  }

  Sandbox box{Library::Real};
};

// A tree with text at every depth, read back through tavo's own l, t and x.
TEST_F(Writing, AddRecursesIntoSubdirectoriesAndTheTreeComesBackIdentical) {
  const Names files = {"docs/guide.txt", "readme.txt", "src/lib/util.c", "src/main.c"};
  for (const std::string& file : files) Put(file, Content(file, 5000 + file.size() * 100));
  Put("empty.txt", "");
  Outcome added = Run({"a", "-r", "tree.lzh"});
  EXPECT_TRUE(HasLine(box, added.output, "5 added or replaced, 0 up to date, 0 skipped, 0 failed; tree.lzh written."))
      << added.output;
  Names expected = files;
  expected.push_back("empty.txt");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Paths("tree.lzh"), expected);

  Outcome listed = Run({"l", "tree.lzh"});
  EXPECT_NE(Lines(box, listed.output).back().find("5 members"), std::string::npos) << listed.output;
  Outcome tested = Run({"t", "tree.lzh"});
  EXPECT_TRUE(HasLine(box, tested.output, "5 members tested, 0 skipped, 0 failed")) << tested.output;
  Outcome extracted = Run({"x", "tree.lzh", "out/"});
  EXPECT_TRUE(HasLine(box, extracted.output, "5 members extracted, 0 skipped, 0 failed")) << extracted.output;
  for (const std::string& file : expected) EXPECT_EQ(box.Read("out/" + file), box.Read(file)) << file;
  EXPECT_TRUE(Exists("out/empty.txt"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writing, UpdateTakesNewAndNewerFilesAndFreshenOnlyReplaces) {
  Put("newer.txt", "first newer", 1400000000);
  Put("older.txt", "first older", 1400000000);
  Run({"a", "arc.lzh", "newer.txt", "older.txt"});

  Put("newer.txt", "second newer", 1400000100);
  Put("older.txt", "second older", 1300000000);
  Put("fresh.txt", "not yet a member", 1400000000);
  Outcome freshened = Run({"f", "arc.lzh", "*.txt"});
  EXPECT_TRUE(HasLine(box, freshened.output, "replaced newer.txt")) << freshened.output;
  EXPECT_EQ(Paths("arc.lzh"), (Names{"newer.txt", "older.txt"}));

  Put("newer.txt", "third newer", 1400000200);
  Outcome updated = Run({"u", "arc.lzh", "*.txt"});
  EXPECT_TRUE(HasLine(box, updated.output, "replaced newer.txt")) << updated.output;
  EXPECT_TRUE(HasLine(box, updated.output, "added    fresh.txt")) << updated.output;
  EXPECT_TRUE(HasLine(box, updated.output, "2 added or replaced, 1 up to date, 0 skipped, 0 failed; arc.lzh written."))
      << updated.output;

  Run({"x", "arc.lzh", "out/"});
  EXPECT_EQ(box.Read("out/newer.txt"), "third newer");
  EXPECT_EQ(box.Read("out/older.txt"), "first older");
  EXPECT_EQ(box.Read("out/fresh.txt"), "not yet a member");
}

// Linux keeps README.txt and readme.txt apart, and so does every match
// there; Windows matches names without case, so the second is a name
// already taken: named and counted.
TEST_F(Writing, NamesThatDifferOnlyInCaseAreTwoFilesOnLinuxOneNameOnWindows) {
  Put("s/README.txt", "upper");
  Put("s/readme.txt", "lower");
  Outcome added = Run({"a", "-r", "c.lzh", "s/"}, target.UnderWine() ? 1 : 0);
  if (target.UnderWine()) {
    EXPECT_TRUE(HasLine(box, added.output, "skipped  s/readme.txt: its stored name readme.txt is taken by s/README.txt"))
        << added.output;
    EXPECT_TRUE(HasLine(box, added.output, "1 added or replaced, 0 up to date, 1 skipped, 0 failed; c.lzh written."))
        << added.output;
    return;
  }
  EXPECT_TRUE(HasLine(box, added.output, "2 added or replaced, 0 up to date, 0 skipped, 0 failed; c.lzh written."))
      << added.output;
  Outcome listed = Run({"l", "c.lzh"});
  EXPECT_NE(Lines(box, listed.output).back().find("2 members"), std::string::npos) << listed.output;
  Put("s/readme.txt", "lower, changed");
  Outcome replaced = Run({"a", "c.lzh", "s/", "readme.txt"});
  EXPECT_TRUE(HasLine(box, replaced.output, "replaced readme.txt")) << replaced.output;
  Run({"x", "c.lzh", "out/"});
  EXPECT_EQ(box.Read("out/README.txt"), "upper");
  EXPECT_EQ(box.Read("out/readme.txt"), "lower, changed");
}

TEST_F(Writing, MoveStoresTheFilesThenRemovesThem) {
  const std::string text = Content("moved.txt", 4000);
  Put("moved.txt", text);
  Put("sub/inner.txt", "inner");
  Put("stays.dat", "not named");
  Outcome moved = Run({"m", "-r", "arc.lzh", "*.txt"});
  EXPECT_TRUE(HasLine(box, moved.output, "2 added or replaced, 0 up to date, 0 skipped, 0 failed; arc.lzh written."))
      << moved.output;
  EXPECT_FALSE(Exists("moved.txt"));
  EXPECT_FALSE(Exists("sub/inner.txt"));
  EXPECT_TRUE(Exists("sub")) << "m leaves the directories it emptied";
  EXPECT_EQ(box.Read("stays.dat"), "not named");
  EXPECT_EQ(Paths("arc.lzh"), (Names{"moved.txt", "sub/inner.txt"}));
  Run({"x", "arc.lzh"});
  EXPECT_EQ(box.Read("moved.txt"), text);
  EXPECT_EQ(box.Read("sub/inner.txt"), "inner");
}

TEST_F(Writing, DeleteOnTheWildcardRouteChangesEveryArchive) {
  Put("old.txt", "old");
  Put("keep.txt", "keep");
  Run({"a", "one.lzh", "old.txt", "keep.txt"});
  Run({"a", "two.lzh", "keep.txt", "old.txt"});
  Outcome deleted = Run({"d", "*.lzh", "old.txt"});
  EXPECT_EQ(std::count(deleted.output.begin(), deleted.output.end(), '\n'), 4) << deleted.output;
  EXPECT_TRUE(HasLine(box, deleted.output, "deleted  old.txt")) << deleted.output;
  EXPECT_NE(deleted.output.find("one.lzh written"), std::string::npos) << deleted.output;
  EXPECT_NE(deleted.output.find("two.lzh written"), std::string::npos) << deleted.output;
  EXPECT_EQ(Paths("one.lzh"), Names{"keep.txt"});
  EXPECT_EQ(Paths("two.lzh"), Names{"keep.txt"});
  Run({"x", "two.lzh", "out/"});
  EXPECT_EQ(box.Read("out/keep.txt"), "keep");
  EXPECT_TRUE(Leftovers().empty());
}

// Read-only is no write bit on Linux and the read-only attribute, as Wine
// shows such a file, on Windows.
TEST_F(Writing, AReadOnlyArchiveIsRefusedAndLeftAsItIs) {
  Put("a.txt", "alpha");
  Run({"a", "arc.lzh", "a.txt"});
  chmod(Path("arc.lzh").c_str(), 0444);
  const std::string before = box.Read("arc.lzh");
  Put("b.txt", "beta");
  Outcome refused = Run({"a", "arc.lzh", "b.txt"}, 4);
  EXPECT_TRUE(HasLine(box, refused.output, "arc.lzh is read-only; it is left as it is.")) << refused.output;
  EXPECT_EQ(box.Read("arc.lzh"), before);
  EXPECT_TRUE(Leftovers().empty());
}

// An archive name without an extension means NAME.lzh, unless NAME itself
// exists: for every command, in its report, and in tavo's sizing of the
// report (a member larger than the least report size printed whole).
TEST_F(Writing, AnArchiveNameWithoutExtensionMeansNameDotLzh) {
  std::string text;
  for (int line = 0; text.size() < 20000; ++line) text += "line " + std::to_string(line) + "\n";
  Put("big.txt", text);
  Outcome added = Run({"a", "backup", "big.txt"});
  EXPECT_TRUE(HasLine(box, added.output, "1 added or replaced, 0 up to date, 0 skipped, 0 failed; backup.lzh written."))
      << added.output;
  EXPECT_EQ(Paths("backup.lzh"), Names{"big.txt"});
  EXPECT_EQ(Lines(box, Run({"l", "backup"}).output).front(), "Archive: backup.lzh");
  std::string shown;
  for (char c : text) shown += c == '\n' ? box.Eol() : std::string(1, c);
  EXPECT_EQ(Run({"p", "backup", "big.txt"}).output, shown);

  Put("backup", "no archive");
  Outcome refused = Run({"a", "backup", "big.txt"}, 5);
  EXPECT_TRUE(HasLine(box, refused.output, "backup is not an LZH archive; it is left as it is.")) << refused.output;
  EXPECT_EQ(box.Read("backup"), "no archive");
}

// Level 0 and 1 store the directory with the DOS separator; every level
// must still come back with the subdirectory on either platform. A file
// dated 2150, past every header, is stored as the nearest time and its
// line says so. Fault caught: on Windows levels 0 and 1 wrapped it round
// to 2013 without a word.
TEST_F(Writing, HeaderLevelAndMethodSwitchesChooseWhatIsWritten) {
  const std::string text = Content("text.txt", 30000);
  Put("text.txt", text);
  Put("sub/more.txt", text.substr(0, 9000), 5695920000);  // 2150-07-01
  struct Case {
    std::vector<std::string> switches;
    lzh::Method method;
    int level;
  };
  const Case cases[] = {
      {{"-h0"}, lzh::Method::kLh5, 0},         {{"-h1"}, lzh::Method::kLh5, 1},
      {{"-h2"}, lzh::Method::kLh5, 2},         {{"-o5"}, lzh::Method::kLh5, 2},
      {{"-o6", "-h1"}, lzh::Method::kLh6, 1},  {{"-o7", "-h0"}, lzh::Method::kLh7, 0},
      {{"-z"}, lzh::Method::kLh0, 2},
  };
  int number = 0;
  for (const Case& c : cases) {
    std::string archive = "case" + std::to_string(++number) + ".lzh";
    SCOPED_TRACE(archive + " " + c.switches.front());
    std::vector<std::string> arguments = {"a", "-r"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    arguments.insert(arguments.end(), {archive, "*.txt"});
    Outcome added = Run(arguments);
    EXPECT_NE(added.output.find("added    sub/more.txt: its time 2150-"), std::string::npos) << added.output;
    EXPECT_NE(added.output.find(" does not fit the header; stored as "), std::string::npos) << added.output;
    std::vector<lzh::MemberHeader> members = Members(archive);
    ASSERT_EQ(members.size(), 2u);
    for (const lzh::MemberHeader& member : members) {
      EXPECT_EQ(member.method, c.method) << member.PathString();
      EXPECT_EQ(member.level, c.level) << member.PathString();
    }
    EXPECT_EQ(Paths(archive), (Names{"sub/more.txt", "text.txt"}));
    Outcome extracted = Run({"x", archive, "out/"});
    EXPECT_TRUE(HasLine(box, extracted.output, "2 members extracted, 0 skipped, 0 failed")) << extracted.output;
    EXPECT_EQ(box.Read("out/text.txt"), text);
    EXPECT_EQ(box.Read("out/sub/more.txt"), text.substr(0, 9000));
    struct stat far {};
    stat(Path("out/sub/more.txt").c_str(), &far);
    EXPECT_GE(far.st_mtime, UINT32_MAX);
    fs::remove_all(Path("out"));  // -r would take it into the next archive
  }
}

// The program s writes is named after the archive (.exe on Windows), in a
// base directory that s makes when it is missing. Run with no arguments it
// extracts into its current directory, with a folder into that folder
// (made when missing); -? and /? answer with one line of help and extract
// nothing, and another switch is refused rather than taken for a folder.
TEST_F(Writing, SelfExtractingProgramExtractsHereOrIntoTheFolderNamed) {
  const Names files = {"readme.txt", "sub/deep/notes.txt", "sub/data.txt"};
  for (const std::string& file : files) Put(file, Content(file, 7000));
  Run({"a", "-r", "tree.lzh"});
  const std::string program = std::string("elsewhere/") + (target.UnderWine() ? "tree.exe" : "tree");
  Outcome made = Run({"s", "tree.lzh", "elsewhere/"});
  EXPECT_TRUE(HasLine(box, made.output, "Made the self-extracting program " + program + " (3 members).")) << made.output;
  Outcome tested = Run({"t", program});
  EXPECT_TRUE(HasLine(box, tested.output, "3 members tested, 0 skipped, 0 failed")) << tested.output;

  const std::string help =
      "Run this program without arguments to extract the archive it holds into the current directory, or with a "
      "folder to extract it into (made when missing).";
  struct Case {
    Names arguments;
    int status;
    std::string extractedTo;  // below elsewhere/, or nothing extracted
    std::string output;       // the whole output, or "" for the report
  };
  const Case cases[] = {
      {{}, 0, ".", ""},
      {{"into/new"}, 0, "into/new", ""},
      {{"-?"}, 0, "", help + box.Eol()},
      {{"/?"}, 0, "", help + box.Eol()},
      {{"--help"}, 6, "", ""},
  };
  for (const Case& c : cases) {
    const std::string shown = c.arguments.empty() ? "no arguments" : c.arguments[0];
    fs::create_directories(Path("elsewhere/run"));
    Outcome ran = box.RunProgram(Path(program), c.arguments, Path("elsewhere/run"));
    EXPECT_EQ(ran.status, c.status) << shown << ran.output;
    if (!c.output.empty()) {
      EXPECT_EQ(ran.output, c.output) << shown;
    }
    if (c.extractedTo.empty()) {
      EXPECT_TRUE(fs::is_empty(Path("elsewhere/run"))) << shown;
    } else {
      EXPECT_TRUE(HasLine(box, ran.output, "3 members extracted, 0 skipped, 0 failed")) << shown << ran.output;
      for (const std::string& file : files)
        EXPECT_EQ(box.Read("elsewhere/run/" + c.extractedTo + "/" + file), box.Read(file)) << shown << file;
    }
    fs::remove_all(Path("elsewhere/run"));
  }
  EXPECT_TRUE(Leftovers().empty());
}

// Every byte from 0x01 to 0x7F inside an archive name, a file name and a
// member name, through tavo's quoting, the platform's argument passing and
// the library's tokenizer. A name split at a blank, tab or quote, merged with
// its neighbour, or changed on the way shows as another report line, another
// member or another file; a wildcard or a separator must keep its meaning.
// Windows names cannot hold <>:"| or control bytes: there the argument must
// still reach the library whole, named whole in its refusal, with nothing
// done.
TEST_F(Writing, EveryAsciiByteInANameTravelsWhole) {
  Put("keep.txt", "keep");
  Run({"a", "base.lzh", "keep.txt"});
  const std::string base = box.Read("base.lzh");
  auto display = [](const std::string& name) {  // as reports show a name
    std::string out;
    for (unsigned char c : name) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += c < 0x20 || c == 0x7F ? std::string(escape) : std::string(1, static_cast<char>(c));
    }
    return out;
  };
  auto lines = [&](const Outcome& outcome) { return Lines(box, outcome.output); };
  for (int byte = 0x01; byte <= 0x7F; ++byte) {
    const char c = static_cast<char>(byte);
    SCOPED_TRACE("byte " + std::to_string(byte));
    // Not at the second place, where a colon would make a drive prefix.
    const std::string file = std::string("fi") + c + "le.txt", archive = std::string("ar") + c + "c.lzh";
    // Names Windows does not take (a colon would name a drive or a stream).
    if (target.UnderWine() && (byte < 0x20 || std::string("<>:\"|").find(c) != std::string::npos)) {
      Names listed = lines(Run({"l", archive}, 5));
      ASSERT_EQ(listed.size(), 1u);
      EXPECT_TRUE(listed[0].starts_with("Cannot list " + display(archive) + ": ")) << listed[0];
      // The file is not there to add (a colon names a stream) or cannot be read.
      Names added = lines(Run({"a", "base.lzh", file}, c == ':' ? 1 : 4));
      ASSERT_EQ(added.size(), 2u);
      EXPECT_EQ(added[0].substr(9, display(file).size() + 2), display(file) + ": ") << added[0];  // after the verdict
      Names deleted = lines(Run({"d", "base.lzh", file}, 1));
      ASSERT_EQ(deleted.size(), 2u);
      EXPECT_EQ(deleted[0], "No member matches " + display(file));
      for (const std::string& summary : {added[1], deleted[1]})
        EXPECT_TRUE(summary.ends_with("; base.lzh is unchanged.")) << summary;
    } else {
      const bool wildcard = c == '*' || c == '?', separator = c == '/' || c == '\\';
      // What the names stand for on disk and in the archive.
      const std::string stored = wildcard ? "fiAle.txt" : separator ? "fi/le.txt" : file;
      const std::string archiveFile = wildcard ? "arAc.lzh" : separator ? "ar/c.lzh" : archive;
      const std::string title = wildcard ? archiveFile : archive;
      // The library does not yet take \ for a separator in the name of a file
      // to add on Linux (it does in archive and member names).
      const std::string added = c == '\\' && !target.UnderWine() ? stored : file;
      Put(stored, "byte " + std::to_string(byte));
      if (separator) fs::create_directories(Path("ar"));
      EXPECT_EQ(lines(Run({"a", title, added, "keep.txt"})),
                (Names{"added    " + display(stored), "added    keep.txt",
                       "2 added or replaced, 0 up to date, 0 skipped, 0 failed; " + display(title) + " written."}));
      EXPECT_EQ(Paths(archiveFile), (Names{stored, "keep.txt"}));
      Names listed = lines(Run({"l", archive}));
      ASSERT_EQ(listed.size(), 7u);
      EXPECT_EQ(listed[0], "Archive: " + display(title));
      const std::string storedBase = separator ? "le.txt" : stored;
      const std::string method = "-  " + display(storedBase);  // the method's closing dash, then the name
      EXPECT_TRUE(listed[3].size() > method.size() && listed[3].ends_with(method)) << listed[3];
      EXPECT_EQ(lines(Run({"x", archive, "out/"})),
                (Names{"Archive: " + display(title), "ok       " + display(stored), "ok       keep.txt",
                       "2 members extracted, 0 skipped, 0 failed"}));
      EXPECT_EQ(box.Read("out/" + stored), "byte " + std::to_string(byte));
      EXPECT_EQ(lines(Run({"d", archive, file})),
                (Names{"deleted  " + display(stored), "1 member deleted; " + display(title) + " written."}));
      EXPECT_EQ(Paths(archiveFile), Names{"keep.txt"});
      for (const std::string& made : {stored, archiveFile, std::string("out"), std::string("fi"), std::string("ar")})
        fs::remove_all(Path(made));
    }
    Names left;
    for (const auto& entry : fs::directory_iterator(box.work())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Names{"base.lzh", "keep.txt"}));
    EXPECT_EQ(box.Read("base.lzh"), base);
  }
}

}  // namespace
}  // namespace e2e
