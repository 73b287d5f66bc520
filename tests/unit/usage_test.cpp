// The usage screen's exact bytes: 21 lines, a 79-byte rule, and every entry
// at the byte column the screen's layout gives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "usage/usage.h"

namespace {

// Byte columns where "x: " entries start on a line.
std::vector<std::size_t> EntryColumns(const std::string& line) {
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    bool letterStart = (i == 0 || line[i - 1] == ' ') && line[i] > ' ' && line[i] < 0x7F;
    if (letterStart && line[i + 1] == ':' && line[i + 2] == ' ') columns.push_back(i);
  }
  return columns;
}

TEST(UsageScreen, HasTwentyOneLinesAndAFullWidthRule) {
  EXPECT_EQ(kUsageLineCount, 21);
  EXPECT_EQ(std::string(kUsageLines[5]), std::string(79, '-'));
}

TEST(UsageScreen, BannerCreditsStartAtColumn55) {
  const char* names[] = {"Tavo Version " TAVO_VERSION, "UNLHA32.DLL", "LHA.EXE"};
  for (int i = 0; i < 3; ++i) {
    std::string line = kUsageLines[i];
    EXPECT_EQ(line.rfind(names[i], 0), 0u) << i;
    ASSERT_GT(line.size(), 55u);
    EXPECT_EQ(line.find_first_not_of(' ', std::strlen(names[i])), 55u) << i;
    EXPECT_LT(line.size(), 80u) << i;
  }
}

TEST(UsageScreen, TitleAndUsageLinesAreExactShiftJisBytes) {
  EXPECT_STREQ(kUsageLines[3],
               "=== <<< UNLHA32.DLL\203R\203}\203\223\203h\203\211\203C\203\223\203T\203|\201[\203g"
               "\203v\203\215\203O\203\211\203\200 >>> ======== 1995-10-03 ===");
  EXPECT_STREQ(kUsageLines[4],
               "\216g\227p\226@\201FTavo [aufmdpexlvst] [-rwxmpcazthonils-df[-+012|WDIR]] LZH [DIR\\] [FILES]");
  EXPECT_STREQ(kUsageLines[6],
               "\201s\226\275\227\337\201t  a: \203t\203@\203C\203\213\202\360\222\307\211\301      u: "
               "\220V\203t\203@\203C\203\213\202\360\222\307\211\301    m: \220V\203t\203@\203C\203\213"
               "\202\360\210\332\223\256");
}

TEST(UsageScreen, CommandEntriesStartAtColumns10_33_56) {
  using Columns = std::vector<std::size_t>;
  EXPECT_EQ(EntryColumns(kUsageLines[6]), (Columns{10, 33, 56}));
  EXPECT_EQ(EntryColumns(kUsageLines[7]), (Columns{10, 33, 56}));
  for (int i = 8; i <= 10; ++i) EXPECT_EQ(EntryColumns(kUsageLines[i]), (Columns{10, 33})) << i;
  for (int i = 7; i <= 10; ++i) EXPECT_EQ(std::string(kUsageLines[i], 10), std::string(10, ' '));
}

TEST(UsageScreen, SwitchEntriesStartAtColumns10_44) {
  using Columns = std::vector<std::size_t>;
  EXPECT_STREQ(kUsageLines[11], "\201s\203I\203v\203V\203\207\203\223\201t");
  for (int i = 12; i <= 20; ++i) {
    EXPECT_EQ(EntryColumns(kUsageLines[i]), (Columns{10, 44})) << i;
    EXPECT_EQ(std::string(kUsageLines[i], 10), std::string(10, ' '));
  }
}

TEST(UsageScreen, LineLengthsFollowFromTheTexts) {
  const std::size_t lengths[] = {0, 0, 0, 79, 80, 79, 75, 73, 68, 68, 48, 14, 71, 65, 65, 57, 57, 63, 77, 68, 77};
  for (int i = 3; i < kUsageLineCount; ++i) EXPECT_EQ(std::strlen(kUsageLines[i]), lengths[i]) << i;
}

}  // namespace
