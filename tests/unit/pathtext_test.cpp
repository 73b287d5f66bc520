// Path text in single-byte text and in Shift_JIS, where the second byte of
// a character such as 表 (0x95 0x5C) has the value of a backslash and
// 0x81 0x3F ends in a '?': splitting and joining paths, the wildcard scan,
// and the POSIX layer's own stand-ins for Windows (which character sets
// carry lead bytes, how a search pattern matches a name).
#include <gtest/gtest.h>

#include <string>

#include "pathtext/pathtext.h"
#include "platform/platform.h"
#include "platform/posix/search_rules.h"

namespace {

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

const std::string kHyo = "\x95\x5C";  // 表

// Each case in single-byte text or in Shift_JIS.
void UseShiftJis(bool sjis) { LoadLeadBytes(sjis ? ShiftJisLead : NoLead); }

// Linux has no drives: a second byte ':' belongs to the name (a:b.lzh).
TEST(PathText, SplitPathCutsAtWholeCharacters) {
  struct Case {
    bool sjis;
    std::string path, drive, directory, baseName, extension;
    int whole;
  };
  const Case cases[] = {
      {false, "C:\\arc\\data.lzh", kDriveLetters ? "C:" : "", kDriveLetters ? "\\arc\\" : "C:\\arc\\", "data", ".lzh", 1},
      {false, "*.lzh", "", "", "*", ".lzh", 1},
      {false, "dir.old\\file", "", "dir.old\\", "file", "", 1},
      {false, "dir.old/file", "", "dir.old/", "file", "", 1},
      {false, "x:", kDriveLetters ? "x:" : "", "", kDriveLetters ? "" : "x:", "", 1},
      {false, std::string(300, 'n') + ".txt", "", "", std::string(255, 'n'), ".txt", 0},
      // 表 straddling byte 255 goes whole; one that fits stays.
      {true, std::string(254, 'n') + kHyo, "", "", std::string(254, 'n'), "", 0},
      {true, std::string(253, 'n') + kHyo, "", "", std::string(253, 'n') + kHyo, "", 1},
      {true, "a" + kHyo + "b\\c.lzh", "", "a" + kHyo + "b\\", "c", ".lzh", 1},
      {true, kHyo + "*.lzh", "", "", kHyo + "*", ".lzh", 1},
      {true, "ab\x95", "", "", "ab", "", 1},  // a dangling lead byte is dropped
  };
  for (const Case& c : cases) {
    UseShiftJis(c.sjis);
    char drive[kDriveSize], directory[kPathSize], baseName[kPathSize], extension[kPathSize];
    int whole = SplitPath(c.path.c_str(), drive, directory, baseName, extension);
    std::string at = c.path.substr(0, 40);
    EXPECT_EQ(drive, c.drive) << at;
    EXPECT_EQ(directory, c.directory) << at;
    EXPECT_EQ(baseName, c.baseName) << at;
    EXPECT_EQ(extension, c.extension) << at;
    EXPECT_EQ(whole, c.whole) << at;
  }
  UseShiftJis(false);
  char directory[kPathSize];
  EXPECT_EQ(SplitPath("a/b/c.txt", nullptr, directory, nullptr, nullptr), 1);
  EXPECT_STREQ(directory, "a/b/");
}

TEST(PathText, MakePathAddsOneSeparatorAndOneDotWithin255Bytes) {
  char out[kPathSize];
  const std::string separator(1, kPathSeparator);
  ASSERT_EQ(MakePath(out, "C:", "\\arc", "a", "lzh"), 1);
  EXPECT_EQ(std::string(out), "C:\\arc" + separator + "a.lzh");
  ASSERT_EQ(MakePath(out, "C:", "\\arc\\", "a", ".lzh"), 1);
  EXPECT_STREQ(out, "C:\\arc\\a.lzh");
  ASSERT_EQ(MakePath(out, nullptr, nullptr, "a.lzh", nullptr), 1);
  EXPECT_STREQ(out, "a.lzh");
  std::string directory = std::string(200, 'd') + '/';
  EXPECT_EQ(MakePath(out, nullptr, directory.c_str(), std::string(54, 'n').c_str(), nullptr), 1);
  EXPECT_EQ(std::string(out).size(), 255u);
  EXPECT_EQ(MakePath(out, nullptr, directory.c_str(), std::string(55, 'n').c_str(), nullptr), 0);
  EXPECT_STREQ(out, "");
  UseShiftJis(true);  // a directory ending in 表 does not end in a separator
  ASSERT_EQ(MakePath(out, nullptr, kHyo.c_str(), "a.lzh", nullptr), 1);
  EXPECT_EQ(std::string(out), kHyo + separator + "a.lzh");
  UseShiftJis(false);
}

TEST(PathText, WildcardScanStepsByWholeCharacters) {
  EXPECT_TRUE(HasWildcardChars("*.lzh"));
  EXPECT_TRUE(HasWildcardChars("a?.lzh"));
  EXPECT_FALSE(HasWildcardChars("a.lzh"));
  EXPECT_FALSE(HasWildcardChars(""));
  UseShiftJis(true);  // a scan byte by byte would take the trail byte 0x3F for ?
  EXPECT_FALSE(HasWildcardChars("\x81\x3F.lzh"));
  EXPECT_TRUE(HasWildcardChars(("\x81\x3F" + kHyo + "*").c_str()));
  UseShiftJis(false);
}

TEST(SearchRules, ShiftJisCodesetsAndWindowsPatternMatching) {
  for (const char* name : {"SHIFT_JIS", "shift_jis", "SJIS", "CP932", "WINDOWS-31J", "SHIFT_JISX0213", "Shift_JIS-2004",
                           "MS_KANJI"})
    EXPECT_TRUE(CodesetUsesShiftJis(name)) << name;
  for (const char* name : {"UTF-8", "EUC-JP", "", "SJIS2", "SHIFT"}) EXPECT_FALSE(CodesetUsesShiftJis(name)) << name;
  struct Case {
    const char *name, *pattern;
    bool sjis, matches;
  };
  const Case cases[] = {
      {"a.lzh", "*.lzh", false, true},      {".lzh", "*.lzh", false, true},   {"a.lzh.bak", "*.lzh", false, false},
      {"ab.lzh", "a?.lzh", false, true},    {"a.lzh", "a?.lzh", false, false}, {"exact2", "exact", false, false},
      {"README", "*.*", false, true},       {"..", "*.*", false, true},       {"data", "data.*", false, true},
      {".", "*", false, true},              {"A.LZH", "*.lzh", false, false},  // case is kept
      {"\x95\x5C.lzh", "?.lzh", true, true}, {"\x95\x5C.lzh", "??.lzh", true, false},
      {"\x95\x5C.lzh", "??.lzh", false, true}, {"\x95\x5Cz", "*\\z", true, false},  // never half a character
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesSearchPattern(c.name, c.pattern, c.sjis ? ShiftJisLead : NoLead), c.matches)
        << c.name << " " << c.pattern << " " << c.sjis;
}

}  // namespace
