// The command language: what the front end hands over must parse into the
// command the user meant, and anything else must be refused with a reason
// rather than half-understood.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "commands/command_line.h"

namespace lzh::commands {
namespace {

CommandLine ParseOk(const std::string& line) {
  CommandLine parsed;
  std::string error;
  EXPECT_TRUE(ParseCommandLine(line, &parsed, &error)) << line << ": " << error;
  return parsed;
}

std::string ParseError(const std::string& line) {
  CommandLine parsed;
  std::string error;
  EXPECT_FALSE(ParseCommandLine(line, &parsed, &error)) << line;
  return error;
}

// Each case is a way a name could be split, merged, changed or guessed at.
TEST(CommandLineTokens, QuotesHoldBlanksTabsAndDoubledQuotesAndAnOpenQuoteIsRefused) {
  using Tokens = std::vector<std::string>;
  const struct {
    std::string line;
    Tokens tokens;  // empty: refused
  } cases[] = {
      {"x  -m1 \t\"my files.lzh\" docs\\ ", {"x", "-m1", "my files.lzh", "docs\\"}},
      {"e a.lzh \"my dir\\\" f", {"e", "a.lzh", "my dir\\", "f"}},  // a backslash escapes nothing
      {"e a\"b c\"d -w\"my dir\"", {"e", "ab cd", "-wmy dir"}},
      {"d \"x\"\" \"\"*\" \"a\"\"\" \"\"\"\"", {"d", "x\" \"*", "a\"", "\""}},
      {"e a\"\"b \"\"", {"e", "ab", ""}},  // "" outside a quoted section is an empty one
      {"a \"tab\there\" tab\there", {"a", "tab\there", "tab", "here"}},
      {"a \x01\x1F\x7F\n\r \"\x01 \x7F\"", {"a", "\x01\x1F\x7F\n\r", "\x01 \x7F"}},
      {"e \"unterminated name", {}},
      {"e \"ab\"\"", {}},
      {"e a\"\"\"", {}},
  };
  for (const auto& c : cases) {
    Tokens tokens;
    std::string error;
    bool ok = Tokenize(c.line, &tokens, &error);
    EXPECT_EQ(ok, !c.tokens.empty()) << c.line;
    if (ok) EXPECT_EQ(tokens, c.tokens) << c.line;
    else EXPECT_NE(error.find("not closed"), std::string::npos) << c.line << ": " << error;
  }
  std::string error;
  Tokens tokens;
  Tokenize("a quo\"te.lzh list.txt ", &tokens, &error);
  EXPECT_EQ(error, "a double quote is not closed in quo\"te.lzh list.txt");
}

TEST(CommandLineParse, FrontEndLineWithLhaSwitchesAndBaseDirectory) {
  CommandLine line = ParseOk("x -m1 -r \"my files.lzh\" docs\\ *.txt \"a b.c\" ");
  EXPECT_EQ(line.command, Command::kExtractPaths);
  EXPECT_TRUE(line.switches.no_questions);
  EXPECT_TRUE(line.switches.recurse);
  EXPECT_EQ(line.archive, "my files.lzh");
  EXPECT_EQ(line.base_directory, "docs\\");
  EXPECT_EQ(line.files, (std::vector<std::string>{"*.txt", "a b.c"}));
}

TEST(CommandLineParse, CommandLettersAreCaseInsensitive) {
  EXPECT_EQ(ParseOk("L a.lzh").command, Command::kList);
  EXPECT_EQ(ParseOk("V a.lzh").command, Command::kVerboseList);
  EXPECT_EQ(ParseOk("T a.lzh").command, Command::kTest);
}

TEST(CommandLineParse, UnknownCommandsAndSwitchesAreRefusedByName) {
  EXPECT_NE(ParseError("q a.lzh").find("unknown command q"), std::string::npos);
  EXPECT_NE(ParseError("list a.lzh").find("unknown command"), std::string::npos);
  EXPECT_NE(ParseError("l -q a.lzh").find("-q"), std::string::npos);
  EXPECT_NE(ParseError("l -h3 a.lzh").find("-h"), std::string::npos);
  EXPECT_NE(ParseError("l -x5 a.lzh").find("-x"), std::string::npos);
  EXPECT_FALSE(ParseError("l -r").empty());  // no archive
  EXPECT_FALSE(ParseError("   ").empty());
}

// Each of these has a reading that names other files than the caller meant:
// -w taking the next token as its directory, an empty argument vanishing.
TEST(CommandLineParse, LinesWithMoreThanOneReadingAreRefused) {
  for (const char* line : {"a -w tmp x.lzh f.txt", "a x.lzh -w f.txt", "a x.lzh f.txt -rw", "a x.lzh -w"})
    EXPECT_NE(ParseError(line).find("-w takes its directory in the same token"), std::string::npos) << line;
  for (const char* line : {"a \"\" x.lzh", "m x.lzh \"\"", "\"\" x.lzh"})
    EXPECT_NE(ParseError(line).find("empty argument"), std::string::npos) << line;
  EXPECT_NE(ParseError("d x.lzh \"a b").find("not closed"), std::string::npos);
}

TEST(CommandLineParse, SwitchesApplyWhereverTheyStand) {
  CommandLine line = ParseOk("e a.lzh out/ b.txt -p -i c.txt -n");
  EXPECT_TRUE(line.switches.strict_names);
  EXPECT_TRUE(line.switches.case_sensitive);
  EXPECT_TRUE(line.switches.no_progress);
  EXPECT_EQ(line.base_directory, "out/");
  EXPECT_EQ(line.files, (std::vector<std::string>{"b.txt", "c.txt"}));
}

TEST(CommandLineParse, ModifiersTurnSwitchesOnAndOff) {
  Switches s = ParseOk("a -x-rh1o6 -z+ -c0 -w/tmp/work a.lzh").switches;
  EXPECT_EQ(s.directory_names, std::optional<bool>(false));
  EXPECT_TRUE(s.recurse);
  EXPECT_EQ(s.header_level, 1);
  EXPECT_EQ(s.compression, CompressionChoice::kLh6);
  EXPECT_TRUE(s.store_only);
  EXPECT_FALSE(s.no_date_check);
  EXPECT_EQ(s.work_directory, "/tmp/work");
  Switches more = ParseOk("a -r2 -o -x1 -w\"my tmp\" a.lzh").switches;
  EXPECT_TRUE(more.expand_named_directories);
  EXPECT_EQ(more.compression, CompressionChoice::kLh1Compatible);
  EXPECT_EQ(more.directory_names, std::optional<bool>(true));
  EXPECT_EQ(more.work_directory, "my tmp");
  EXPECT_FALSE(ParseOk("e a.lzh").switches.directory_names.has_value());
}

TEST(CommandLineParse, DoubleDashMakesLaterDashesAndAtsPlainNames) {
  CommandLine line = ParseOk("e -- -odd.lzh @name -x");
  EXPECT_EQ(line.archive, "-odd.lzh");
  EXPECT_EQ(line.files, (std::vector<std::string>{"@name", "-x"}));
  EXPECT_FALSE(line.switches.directory_names.has_value());
  // Quotes only hold blanks, tabs and quotes: a quoted -x is still a switch.
  EXPECT_TRUE(ParseOk("e \"-x\" a.lzh").switches.directory_names.has_value());
}

TEST(CommandLineParse, ListFilesAddOneNamePerLine) {
  std::filesystem::path list = std::filesystem::temp_directory_path() / "unlha32_list_test.txt";
  {
    std::ofstream out(list, std::ios::binary);
    out << "one.txt\r\n\r\nsub/two.txt\nlast";
  }
  CommandLine line = ParseOk("e a.lzh first @" + list.string() + " after");
  EXPECT_EQ(line.files, (std::vector<std::string>{"first", "one.txt", "sub/two.txt", "last", "after"}));
  std::filesystem::remove(list);
  EXPECT_NE(ParseError("e a.lzh @" + list.string()).find("list file"), std::string::npos);
}

TEST(CommandLineParse, OnlyTheFirstArgumentAfterTheArchiveIsABaseDirectory) {
  CommandLine line = ParseOk("e a.lzh one.txt sub/");
  EXPECT_EQ(line.base_directory, "");
  EXPECT_EQ(line.files, (std::vector<std::string>{"one.txt", "sub/"}));
}

}  // namespace
}  // namespace lzh::commands
