// Argument classification, the Windows 3.1 gate condition and report sizes:
// the pure decisions that pick a route or refuse to start.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "command/routes.h"
#include "front/dispatch.h"
#include "front/startup.h"

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

TEST(Classification, ArchiveArgumentIsFirstNonSwitchAfterTheCommandWord) {
  Args a({"-r", "x.lzh", "f"});
  EXPECT_EQ(FindArchiveArgument(a.argc(), a.argv.data()), 2);
  Args b({"x", "-r", "-m", "a.lzh"});
  EXPECT_EQ(FindArchiveArgument(b.argc(), b.argv.data()), 4);
  Args slash({"x", "/r", "a.lzh"});
  EXPECT_EQ(FindArchiveArgument(slash.argc(), slash.argv.data()), 2);
}

TEST(Classification, OnlySwitchesMeanNoArchiveArgument) {
  Args a({"l", "-r"});
  EXPECT_EQ(FindArchiveArgument(a.argc(), a.argv.data()), -1);
  EXPECT_FALSE(HasWildcard(a.argc(), a.argv.data()));
  Args one({"a.lzh"});
  EXPECT_EQ(FindArchiveArgument(one.argc(), one.argv.data()), -1);
}

TEST(Classification, WildcardCountsOnlyInTheArchiveArgument) {
  Args a({"e", "*.lzh"});
  EXPECT_TRUE(HasWildcard(a.argc(), a.argv.data()));
  Args b({"e", "a.lzh", "*.txt"});
  EXPECT_FALSE(HasWildcard(b.argc(), b.argv.data()));
  Args c({"e", "-x*", "a?.lzh"});
  EXPECT_TRUE(HasWildcard(c.argc(), c.argv.data()));
}

TEST(Classification, BatchLettersAreTestedByFirstByteOnly) {
  for (const char* word : {"e", "x", "c", "d", "f", "l", "s", "t", "v", "E", "X", "C", "D", "F", "L", "S", "T", "V", "list"})
    EXPECT_TRUE(IsBatchCommand(word)) << word;
  for (const char* word : {"a", "u", "m", "p", "A", "", "-e", "1"}) EXPECT_FALSE(IsBatchCommand(word)) << word;
}

TEST(Windows31Gate, OnlyNonNtMajorVersion3IsRefused) {
  EXPECT_TRUE(IsWindows31Layer(0x80000A03u));   // Win32s on Windows 3.1
  EXPECT_TRUE(IsWindows31Layer(0x80000003u));
  EXPECT_FALSE(IsWindows31Layer(0xC0000A04u));  // Windows 95
  EXPECT_FALSE(IsWindows31Layer(0x00000A03u));  // NT 3.51: bit 31 clear
  EXPECT_FALSE(IsWindows31Layer(0x23F00206u));  // Windows 8 and later
  EXPECT_FALSE(IsWindows31Layer(0x80000004u));
}

TEST(ReportSizes, FollowTheCountPlusFiveRule) {
  std::uint32_t size = 0;
  ASSERT_TRUE(ReportSize(12, 80, &size));
  EXPECT_EQ(size, 1360u);
  ASSERT_TRUE(ReportSize(0, 160, &size));
  EXPECT_EQ(size, 800u);
}

TEST(ReportSizes, NegativeOrAbsurdCountsAreRefusedInsteadOfWrapping) {
  std::uint32_t size = 7;
  EXPECT_FALSE(ReportSize(-1, 80, &size));
  EXPECT_FALSE(ReportSize(-5, 80, &size));
  EXPECT_FALSE(ReportSize(INT_MAX, 80, &size));
  EXPECT_FALSE(ReportSize(INT64_MAX, 160, &size));
  EXPECT_EQ(size, 7u);
  ASSERT_TRUE(ReportSize(UINT32_MAX / 80 - 5, 80, &size));
  EXPECT_FALSE(ReportSize(UINT32_MAX / 80 - 4, 80, &size));
}

}  // namespace
