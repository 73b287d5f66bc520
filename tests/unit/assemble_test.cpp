// Command-line assembly: the LHA switches after the command word, quoting of
// arguments with blanks, tabs, quotes or nothing in them, and the wildcard
// form whose line can outgrow the usual buffer size rule.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/assemble.h"
#include "front/state.h"
#include "front/startup.h"

namespace {

class Assembly : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("LHA"); }
  void TearDown() override {
    unsetenv("LHA");
    ShutDown();
  }
  std::string Build(std::vector<std::string> arguments) {
    Keep(arguments);
    return BuildCommand(static_cast<int>(argv_.size()), argv_.data()) ? std::string(CommandBuffer.text) : "<failed>";
  }
  std::string BuildFor(std::vector<std::string> arguments, const std::string& path, int index) {
    Keep(arguments);
    return BuildCommandFor(static_cast<int>(argv_.size()), argv_.data(), path.c_str(), index)
               ? std::string(CommandBuffer.text)
               : "<failed>";
  }

 private:
  void Keep(std::vector<std::string>& arguments) {
    strings_ = arguments;
    strings_.insert(strings_.begin(), "tavo");
    argv_.clear();
    for (std::string& s : strings_) argv_.push_back(s.data());
  }
  std::vector<std::string> strings_;
  std::vector<char*> argv_;
};

TEST_F(Assembly, LhaAbsentOrEmptyGivesWordAndArgumentsEachWithABlank) {
  EXPECT_EQ(Build({"l", "a.lzh"}), "l a.lzh ");
  setenv("LHA", "", 1);
  EXPECT_EQ(Build({"l", "a.lzh", "x.txt"}), "l a.lzh x.txt ");
}

TEST_F(Assembly, LhaSwitchesStandBetweenWordAndUserSwitches) {
  setenv("LHA", "-m1", 1);
  EXPECT_EQ(Build({"x", "-r", "my files.lzh", "docs\\"}), "x -m1 -r \"my files.lzh\" docs\\ ");
}

TEST_F(Assembly, LongLhaValueIsTakenWhole) {
  std::string value = "-" + std::string(5000, 'w');
  setenv("LHA", value.c_str(), 1);
  EXPECT_EQ(Build({"l", "a.lzh"}), "l " + value + " a.lzh ");
  setenv("LHA", std::string(2047, 'v').c_str(), 1);
  EXPECT_EQ(Build({"l", "a.lzh"}), "l " + std::string(2047, 'v') + " a.lzh ");
}

// Unquoted, a blank or a tab would split the argument, a quote would open a
// quoted section and an empty argument would vanish, handing its role to the
// next one. The command word is never quoted.
TEST_F(Assembly, ArgumentsThatWouldNotComeBackWholeAreQuotedWithTheirQuotesDoubled) {
  EXPECT_EQ(Build({"l x", "a b.lzh", "c\td", "-w\"q\"", "x\" \"*", "\x01\n\x7F\\"}),
            "l x \"a b.lzh\" \"c\td\" \"-w\"\"q\"\"\" \"x\"\" \"\"*\" \x01\n\x7F\\ ");
  EXPECT_EQ(Build({"m", "a.lzh", ""}), "m a.lzh \"\" ");
  EXPECT_EQ(Build({"", "a.lzh"}), " a.lzh ");
}

TEST_F(Assembly, WildcardFormSubstitutesAndQuotesTheArchivePath) {
  EXPECT_EQ(BuildFor({"e", "-r", "*.lzh", "out\\"}, "my a.lzh", 3), "e -r \"my a.lzh\" out\\ ");
  EXPECT_EQ(BuildFor({"e", "* x.lzh"}, "b.lzh", 2), "e b.lzh ");
  EXPECT_EQ(BuildFor({"d", "*.lzh", "a\"b"}, "q\"a.lzh", 2), "d \"q\"\"a.lzh\" \"a\"\"b\" ");
}

TEST_F(Assembly, LongSubstitutedPathOutgrowsTheSizeRuleAndIsKeptWhole) {
  std::string path = std::string(240, 'p') + ".lzh";
  std::string line = BuildFor({"e", "*", "f"}, path, 2);
  EXPECT_EQ(line, "e " + path + " f ");
  EXPECT_EQ(std::strlen(CommandBuffer.text), line.size());
}

TEST_F(Assembly, RepeatedAssemblyReusesTheBuffers) {
  setenv("LHA", "-a", 1);
  EXPECT_EQ(BuildFor({"e", "*.lzh"}, std::string(200, 'q'), 2), "e -a " + std::string(200, 'q') + " ");
  setenv("LHA", "-b", 1);
  EXPECT_EQ(BuildFor({"e", "*.lzh"}, "z.lzh", 2), "e -b z.lzh ");
  EXPECT_STREQ(LhaOptions.text, "-b");
}

}  // namespace
