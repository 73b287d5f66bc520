// The writing commands where only tavo's own run shows the fault, natively
// and as tavo.exe under Wine: the self-extracting program's own arguments,
// and an archive named without its extension (which tavo must size the
// report for). What a plain run of a, u, f, m, d and s shows (members,
// levels, methods, times, read-only archives) is the behaviour snapshot's.
#include <gtest/gtest.h>

#include "library_e2e.h"

namespace e2e {
namespace {

using Writing = LibraryTest;

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
  EXPECT_EQ(Lines(box, Run({"l", "backup"}).output).front(), "Archive: backup.lzh");
  std::string shown;
  for (char c : text) shown += c == '\n' ? box.Eol() : std::string(1, c);
  EXPECT_EQ(Run({"p", "backup", "big.txt"}).output, shown);
  Put("backup", "no archive");
  Outcome refused = Run({"a", "backup", "big.txt"}, 5);
  EXPECT_TRUE(HasLine(box, refused.output, "backup is not an LZH archive; it is left as it is.")) << refused.output;
  EXPECT_EQ(box.Read("backup"), "no archive");
}

// The program s writes is named after the archive (.exe on Windows), in a
// base directory that s makes when it is missing. Run with no arguments it
// extracts into its current directory, with a folder into that folder
// (made when missing); -? and /? answer with one line of help and extract
// nothing, and another switch is refused rather than taken for a folder.
TEST_F(Writing, SelfExtractingProgramExtractsHereOrIntoTheFolderNamed) {
  const Names files = {"readme.txt", "sub/deep/notes.txt", "sub/data.txt"};
  for (const std::string& file : files) Put(file, std::string(7000, file[0]) + file);
  Run({"a", "-r", "tree.lzh"});
  const std::string program = std::string("elsewhere/") + (target.UnderWine() ? "tree.exe" : "tree");
  Outcome made = Run({"s", "tree.lzh", "elsewhere/"});
  EXPECT_TRUE(HasLine(box, made.output, "Made the self-extracting program " + program + " (3 members).")) << made.output;
  const std::string help =
      "Run this program without arguments to extract the archive it holds into the current directory, or with a "
      "folder to extract it into (made when missing).";
  const struct {
    Names arguments;
    int status;
    std::string extractedTo;  // below elsewhere/, or nothing extracted
    std::string output;       // the whole output, or "" for the report
  } cases[] = {
      {{}, 0, ".", ""},
      {{"into/new"}, 0, "into/new", ""},
      {{"-?"}, 0, "", help + box.Eol()},
      {{"/?"}, 0, "", help + box.Eol()},
      {{"--help"}, 6, "", ""},
  };
  for (const auto& c : cases) {
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
}

}  // namespace
}  // namespace e2e
