// The writing commands where only tavo's own run shows the fault, natively
// and as tavo.exe under Wine: every ASCII byte in a name through tavo's
// quoting, the platform's argument passing and the library's tokenizer;
// the self-extracting program's own arguments; an archive named without
// its extension. What a plain run of a, u, f, m, d and s shows (members,
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
