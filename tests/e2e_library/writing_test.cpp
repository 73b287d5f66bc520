// The writing commands as a user runs them: tavo with the real library
// creating, updating and pruning archives in its current directory, on
// Linux and as tavo.exe under Wine, each archive read back by tavo itself.
// The library's own suite proves what it writes; here is what only the
// process shows: arguments that reach the library whole through the
// platform's argument passing, the routes that write, report sizing by the
// archive's name, the platform's line ends in every report, exit statuses,
// and the Windows file system's ways (case, read-only, times, programs).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "library_e2e.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

using Writing = TavoTest;

// A tree added with -r at the levels that store DOS times comes back
// identical, m removes what it stored, and d on the wildcard route changes
// every archive. A file dated 2150, past every header, is stored as the
// nearest time and its line says so. Fault caught: on Windows levels 0 and
// 1 wrapped it round to 2013 without a word.
TEST_F(Writing, TreeComesBackWithItsTimesAndMoveAndDeleteChangeIt) {
  for (const std::string& file : {"docs/guide.txt", "readme.txt", "src/lib/util.c", "empty.txt"}) {
    Bytes text = Text(file, file == "empty.txt" ? 0 : 5000);
    Put("tree/" + file, std::string(text.begin(), text.end()));
  }
  Put("tree/far.txt", "far", 5695920000);  // 2150-07-01
  for (const char* level : {"-h0", "-h1"}) {
    const std::string archive = std::string(level + 1) + ".lzh";
    Outcome added = Run({"a", "-r", level, archive, "tree/"});
    EXPECT_TRUE(HasLine(box, added.output, "5 added or replaced, 0 up to date, 0 skipped, 0 failed; " + archive + " written."))
        << added.output;
    EXPECT_NE(added.output.find("added    far.txt: its time 2150-"), std::string::npos) << added.output;
    EXPECT_NE(added.output.find(" does not fit the header; stored as "), std::string::npos) << added.output;
    Run({"x", archive, "out/"});
    EXPECT_EQ(FilesBelow(Path("out")), FilesBelow(Path("tree")));
    struct stat far {};
    stat(Path("out/far.txt").c_str(), &far);
    EXPECT_GE(far.st_mtime, UINT32_MAX) << level;
    fs::remove_all(Path("out"));
  }
  Run({"m", "moved.lzh", "tree/far.txt"});  // m removes what it stored
  EXPECT_FALSE(fs::exists(Path("tree/far.txt")));
  Outcome deleted = Run({"d", "h?.lzh", "readme.txt"});
  EXPECT_EQ(std::count(deleted.output.begin(), deleted.output.end(), '\n'), 4) << deleted.output;
  for (const char* archive : {"h0.lzh", "h1.lzh"}) {
    EXPECT_NE(deleted.output.find(std::string(archive) + " written"), std::string::npos) << deleted.output;
    EXPECT_NE(Lines(box, Run({"l", archive}).output).back().find("4 members"), std::string::npos) << archive;
  }
}

// Linux keeps README.txt and readme.txt apart; Windows matches names
// without case, so the second is a name already taken: named and counted.
// A read-only archive (no write bit, or the attribute as Wine shows it) is
// refused and left as it is.
TEST_F(Writing, CaseAndReadOnlyFollowThePlatform) {
  Put("s/README.txt", "upper");
  Put("s/readme.txt", "lower");
  Outcome added = Run({"a", "-r", "c.lzh", "s/"}, target.UnderWine() ? 1 : 0);
  EXPECT_TRUE(HasLine(box, added.output, target.UnderWine()
                                             ? "1 added or replaced, 0 up to date, 1 skipped, 0 failed; c.lzh written."
                                             : "2 added or replaced, 0 up to date, 0 skipped, 0 failed; c.lzh written."))
      << added.output;
  if (target.UnderWine())
    EXPECT_TRUE(HasLine(box, added.output, "skipped  s/readme.txt: its stored name readme.txt is taken by s/README.txt"));
  chmod(Path("c.lzh").c_str(), 0444);
  const std::string before = box.Read("c.lzh");
  Outcome refused = Run({"a", "c.lzh", "s/README.txt"}, 4);
  EXPECT_TRUE(HasLine(box, refused.output, "c.lzh is read-only; it is left as it is.")) << refused.output;
  EXPECT_EQ(box.Read("c.lzh"), before);
}

// An archive name without an extension means NAME.lzh, unless NAME itself
// exists: in tavo's sizing of the report too (a member larger than the
// least report size printed whole).
TEST_F(Writing, AnArchiveNameWithoutExtensionMeansNameDotLzh) {
  std::string text;
  for (int line = 0; text.size() < 20000; ++line) text += "line " + std::to_string(line) + "\n";
  Put("big.txt", text);
  Outcome added = Run({"a", "backup", "big.txt"});
  EXPECT_TRUE(HasLine(box, added.output, "1 added or replaced, 0 up to date, 0 skipped, 0 failed; backup.lzh written."))
      << added.output;
  std::string shown;
  for (char c : text) shown += c == '\n' ? box.Eol() : std::string(1, c);
  EXPECT_EQ(Run({"p", "backup", "big.txt"}).output, shown);
  Put("backup", "no archive");
  Outcome refused = Run({"a", "backup", "big.txt"}, 5);
  EXPECT_TRUE(HasLine(box, refused.output, "backup is not an LZH archive; it is left as it is.")) << refused.output;
}

// The program s writes is named after the archive (.exe on Windows), in a
// base directory that s makes. Run with no arguments it extracts into its
// current directory, with a folder into that folder (made when missing);
// -? and /? answer with one line of help, another switch is refused.
TEST_F(Writing, SelfExtractingProgramExtractsHereOrIntoTheFolderNamed) {
  for (const std::string& file : {"readme.txt", "sub/deep/notes.txt"}) Put(file, file);
  Run({"a", "-r", "tree.lzh", "*.txt"});
  const std::string program = std::string("elsewhere/") + (target.UnderWine() ? "tree.exe" : "tree");
  Outcome made = Run({"s", "tree.lzh", "elsewhere/"});
  EXPECT_TRUE(HasLine(box, made.output, "Made the self-extracting program " + program + " (2 members).")) << made.output;
  const std::string help =
      "Run this program without arguments to extract the archive it holds into the current directory, or with a "
      "folder to extract it into (made when missing).";
  struct Case {
    Names arguments;
    int status;
    std::string extractedTo, output;  // below elsewhere/run/, or nothing extracted; the whole output, or "" for any
  };
  const Case cases[] = {{{}, 0, ".", ""}, {{"into/new"}, 0, "into/new", ""}, {{"-?"}, 0, "", help + box.Eol()},
                        {{"/?"}, 0, "", help + box.Eol()}, {{"--help"}, 6, "", ""}};
  for (const Case& c : cases) {
    const std::string shown = c.arguments.empty() ? "no arguments" : c.arguments[0];
    fs::create_directories(Path("elsewhere/run"));
    Outcome ran = box.RunProgram(Path(program), c.arguments, Path("elsewhere/run"));
    EXPECT_EQ(ran.status, c.status) << shown << ran.output;
    if (!c.output.empty()) EXPECT_EQ(ran.output, c.output) << shown;
    if (c.extractedTo.empty()) EXPECT_TRUE(fs::is_empty(Path("elsewhere/run"))) << shown;
    else EXPECT_EQ(box.Read("elsewhere/run/" + c.extractedTo + "/sub/deep/notes.txt"), "sub/deep/notes.txt") << shown;
    fs::remove_all(Path("elsewhere/run"));
  }
}

// Every byte from 0x01 to 0x7F inside an archive name, a file name and a
// member name, through tavo's quoting, the platform's argument passing and
// the library's tokenizer: a name split at a blank, tab or quote, merged
// with its neighbour or changed on the way shows as another report line or
// another file; a wildcard or a separator must keep its meaning. Windows
// names cannot hold <>:"| or control bytes: there the argument must still
// reach the library whole, named whole in its refusal, with nothing done.
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
    if (target.UnderWine() && (byte < 0x20 || std::string("<>:\"|").find(c) != std::string::npos)) {
      Names listed = lines(Run({"l", archive}, 5));
      ASSERT_EQ(listed.size(), 1u);
      EXPECT_TRUE(listed[0].starts_with("Cannot list " + display(archive) + ": ")) << listed[0];
      // The file is not there to add (a colon names a stream) or cannot be read.
      Names added = lines(Run({"a", "base.lzh", file}, c == ':' ? 1 : 4));
      ASSERT_EQ(added.size(), 2u);
      EXPECT_EQ(added[0].substr(9, display(file).size() + 2), display(file) + ": ") << added[0];  // after the verdict
      EXPECT_TRUE(added[1].ends_with("; base.lzh is unchanged.")) << added[1];
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
      EXPECT_EQ(lines(Run({"x", archive, "out/"})),
                (Names{"Archive: " + display(title), "ok       " + display(stored), "ok       keep.txt",
                       "2 members extracted, 0 skipped, 0 failed"}));
      EXPECT_EQ(box.Read("out/" + stored), "byte " + std::to_string(byte));
      EXPECT_EQ(lines(Run({"d", archive, file})),
                (Names{"deleted  " + display(stored), "1 member deleted; " + display(title) + " written."}));
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
