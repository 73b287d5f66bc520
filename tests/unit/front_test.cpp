// The front end's pure decisions, where a table reaches cases no process
// test would: which argument is the archive and whether it is a pattern,
// which command words may run on a pattern, the Windows 3.1 gate, the
// report-size rule at its overflow edge, and the one command line the
// library gets (LHA after the word, quoting that the library's tokenizer
// reads back whole, the archive path substituted on the wildcard route).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "command/assemble.h"
#include "command/routes.h"
#include "front/dispatch.h"
#include "front/startup.h"
#include "front/state.h"

namespace {

struct Args {
  explicit Args(std::vector<std::string> list) : strings(std::move(list)) {
    strings.insert(strings.begin(), "tavo");
    for (std::string& s : strings) argv.push_back(s.data());
  }
  int argc() const { return static_cast<int>(argv.size()); }
  std::vector<std::string> strings;
  std::vector<char*> argv;
};

TEST(Classification, ArchiveArgumentAndPattern) {
  struct Case {
    std::vector<std::string> arguments;
    int archive;
    bool wildcard;
  };
  const Case cases[] = {
      {{"-r", "x.lzh", "f"}, 2, false},   {{"x", "-r", "-m", "a.lzh"}, 4, false},
      {{"x", "/r", "a.lzh"}, 2, false},   {{"l", "-r"}, -1, false},
      {{"a.lzh"}, -1, false},             {{"e", "*.lzh"}, 2, true},
      {{"e", "a.lzh", "*.txt"}, 2, false}, {{"e", "-x*", "a?.lzh"}, 3, true},
  };
  for (const Case& c : cases) {
    Args a(c.arguments);
    EXPECT_EQ(FindArchiveArgument(a.argc(), a.argv.data()), c.archive) << c.arguments[0] << " " << c.arguments.size();
    EXPECT_EQ(HasWildcard(a.argc(), a.argv.data()), c.wildcard) << c.arguments[0] << " " << c.arguments.size();
  }
  for (const char* word : {"e", "x", "c", "d", "f", "l", "s", "t", "v", "E", "X", "C", "D", "F", "L", "S", "T", "V", "list"})
    EXPECT_TRUE(IsBatchCommand(word)) << word;
  for (const char* word : {"a", "u", "m", "p", "A", "", "-e", "1"}) EXPECT_FALSE(IsBatchCommand(word)) << word;
}

TEST(Windows31Gate, OnlyNonNtMajorVersion3IsRefused) {
  EXPECT_TRUE(IsWindows31Layer(0x80000A03u));   // Win32s on Windows 3.1
  EXPECT_TRUE(IsWindows31Layer(0x80000003u));
  EXPECT_FALSE(IsWindows31Layer(0xC0000A04u));  // Windows 95
  EXPECT_FALSE(IsWindows31Layer(0x00000A03u));  // NT 3.51: bit 31 clear
  EXPECT_FALSE(IsWindows31Layer(0x80000004u));
}

// The process tests reach the 80-byte unit's edge; the 64-bit product of a
// huge count and a larger unit must not wrap either.
TEST(ReportSizes, CountPlusFiveOrRefusedInsteadOfWrapping) {
  std::uint32_t size = 7;
  EXPECT_FALSE(ReportSize(INT64_MAX, 160, &size));
  EXPECT_FALSE(ReportSize(-1, 80, &size));
  EXPECT_EQ(size, 7u);
  ASSERT_TRUE(ReportSize(0, 160, &size));
  EXPECT_EQ(size, 800u);
}

// Unquoted, a blank or a tab would split an argument, a quote open a quoted
// section, an empty argument vanish. The command word is never quoted.
TEST(Assembly, LhaAfterTheWordAndArgumentsThatComeBackWhole) {
  struct Case {
    const char* lha;  // null: unset
    std::vector<std::string> arguments;
    const char* path;  // the wildcard route's archive at index 2, or null
    std::string line;
  };
  const std::string longLha = "-" + std::string(5000, 'w');
  const std::string fullFirstRead(2047, 'v');  // exactly the first read's room
  const std::string longPath = std::string(240, 'p') + ".lzh";
  const Case cases[] = {
      {nullptr, {"l", "a.lzh"}, nullptr, "l a.lzh "},
      {"", {"l", "a.lzh", "x.txt"}, nullptr, "l a.lzh x.txt "},
      {"-m1", {"x", "-r", "my files.lzh", "docs\\"}, nullptr, "x -m1 -r \"my files.lzh\" docs\\ "},
      {longLha.c_str(), {"l", "a.lzh"}, nullptr, "l " + longLha + " a.lzh "},
      {fullFirstRead.c_str(), {"l", "a.lzh"}, nullptr, "l " + fullFirstRead + " a.lzh "},
      {nullptr, {"l x", "a b.lzh", "c\td", "-w\"q\"", "x\" \"*", "\x01\n\x7F\\"}, nullptr,
       "l x \"a b.lzh\" \"c\td\" \"-w\"\"q\"\"\" \"x\"\" \"\"*\" \x01\n\x7F\\ "},
      {nullptr, {"m", "a.lzh", ""}, nullptr, "m a.lzh \"\" "},
      {nullptr, {"", "a.lzh"}, nullptr, " a.lzh "},
      {nullptr, {"e", "*.lzh", "out\\"}, "my a.lzh", "e \"my a.lzh\" out\\ "},
      {"-a", {"d", "*.lzh", "a\"b"}, "q\"a.lzh", "d -a \"q\"\"a.lzh\" \"a\"\"b\" "},
      {"-b", {"e", "*", "f"}, longPath.c_str(), "e -b " + longPath + " f "},  // outgrows the size rule
  };
  for (const Case& c : cases) {
    if (c.lha) setenv("LHA", c.lha, 1);
    else unsetenv("LHA");
    Args a(c.arguments);
    int built = c.path ? BuildCommandFor(a.argc(), a.argv.data(), c.path, 2) : BuildCommand(a.argc(), a.argv.data());
    ASSERT_TRUE(built) << c.line;
    EXPECT_EQ(std::string(CommandBuffer.text), c.line);
  }
  EXPECT_STREQ(LhaOptions.text, "-b");  // the buffers are reused, never stale
  unsetenv("LHA");
  ShutDown();
}

}  // namespace
