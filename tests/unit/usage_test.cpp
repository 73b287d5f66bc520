// The usage screen's layout in bytes, as a Shift_JIS console shows it: 21
// lines, a 79-byte rule, credits at column 55, every "x: " entry at its
// column, and each line's length, so that an edited text that shifts a
// column or changes a double-byte character shows here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "usage/usage.h"

namespace {

// Byte columns where "x: " entries start on a line.
std::vector<std::size_t> EntryColumns(const std::string& line) {
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i + 2 < line.size(); ++i)
    if ((i == 0 || line[i - 1] == ' ') && line[i] > ' ' && line[i] < 0x7F && line[i + 1] == ':' && line[i + 2] == ' ')
      columns.push_back(i);
  return columns;
}

TEST(UsageScreen, LinesAndColumns) {
  ASSERT_EQ(kUsageLineCount, 21);
  const std::string banner = std::string("Tavo Version ") + TAVO_VERSION;
  const char* credits[] = {banner.c_str(), "UNLHA32.DLL", "LHA.EXE"};
  for (int i = 0; i < 3; ++i) {
    std::string line = kUsageLines[i];
    EXPECT_EQ(line.rfind(credits[i], 0), 0u) << i;
    EXPECT_EQ(line.find_first_not_of(' ', std::strlen(credits[i])), 55u) << i;
    EXPECT_LT(line.size(), 80u) << i;
  }
  EXPECT_STREQ(kUsageLines[4],
               "\216g\227p\226@\201FTavo [aufmdpexlvst] [-rwxmpcazthonils-df[-+012|WDIR]] LZH [DIR\\] [FILES]");
  EXPECT_EQ(std::string(kUsageLines[5]), std::string(79, '-'));
  EXPECT_STREQ(kUsageLines[11], "\201s\203I\203v\203V\203\207\203\223\201t");
  const std::size_t lengths[] = {0, 0, 0, 79, 80, 79, 75, 73, 68, 68, 48, 14, 71, 65, 65, 57, 57, 63, 77, 68, 77};
  using Columns = std::vector<std::size_t>;
  for (int i = 3; i < kUsageLineCount; ++i) {
    std::string line = kUsageLines[i];
    EXPECT_EQ(line.size(), lengths[i]) << i;
    Columns expected = i <= 7 && i >= 6 ? Columns{10, 33, 56} : i <= 10 && i >= 8 ? Columns{10, 33}
                     : i >= 12                                ? Columns{10, 44}
                                                              : Columns{};
    if (i >= 6 && i != 11) {
      EXPECT_EQ(EntryColumns(line), expected) << i;
    }
    if (i >= 7 && i != 11) {
      EXPECT_EQ(line.substr(0, 10), std::string(10, ' ')) << i;
    }
  }
}

}  // namespace
