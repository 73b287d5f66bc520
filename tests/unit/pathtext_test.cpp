// Path splitting and joining and the character scans, in single-byte text
// and in Shift_JIS, where the second byte of a character such as 表 (0x95
// 0x5C) has the value of a backslash.
#include <gtest/gtest.h>

#include <string>

#include "pathtext/pathtext.h"
#include "platform/platform.h"

namespace {

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

const std::string kHyo = "\x95\x5C";  // 表

struct Pieces {
  char drive[kDriveSize];
  char directory[kPathSize];
  char baseName[kPathSize];
  char extension[kPathSize];
  int whole;
};

Pieces Split(const std::string& path) {
  Pieces p{};
  p.whole = SplitPath(path.c_str(), p.drive, p.directory, p.baseName, p.extension);
  return p;
}

class ShiftJisText : public ::testing::Test {
 protected:
  void SetUp() override { LoadLeadBytes(ShiftJisLead); }
  void TearDown() override { LoadLeadBytes(NoLead); }
};

// Linux has no drives: a second byte ':' belongs to the name (a:b.lzh).
TEST(SplitPath, SeparatesDriveDirectoryBaseAndExtension) {
  Pieces p = Split("C:\\arc\\data.lzh");
  EXPECT_STREQ(p.drive, kDriveLetters ? "C:" : "");
  EXPECT_STREQ(p.directory, kDriveLetters ? "\\arc\\" : "C:\\arc\\");
  EXPECT_STREQ(p.baseName, "data");
  EXPECT_STREQ(p.extension, ".lzh");
  EXPECT_EQ(p.whole, 1);
}

TEST(SplitPath, WildcardNameKeepsItsExtension) {
  Pieces p = Split("*.lzh");
  EXPECT_STREQ(p.drive, "");
  EXPECT_STREQ(p.directory, "");
  EXPECT_STREQ(p.baseName, "*");
  EXPECT_STREQ(p.extension, ".lzh");
}

TEST(SplitPath, DotBeforeLastSeparatorStartsNoExtension) {
  Pieces p = Split("dir.old\\file");
  EXPECT_STREQ(p.directory, "dir.old\\");
  EXPECT_STREQ(p.baseName, "file");
  EXPECT_STREQ(p.extension, "");
  Pieces slash = Split("dir.old/file");
  EXPECT_STREQ(slash.directory, "dir.old/");
  EXPECT_STREQ(slash.extension, "");
}

TEST(SplitPath, BareDriveLeavesOtherPiecesEmpty) {
  Pieces p = Split("x:");
  EXPECT_STREQ(p.drive, kDriveLetters ? "x:" : "");
  EXPECT_STREQ(p.directory, "");
  EXPECT_STREQ(p.baseName, kDriveLetters ? "" : "x:");
  EXPECT_STREQ(p.extension, "");
}

TEST(SplitPath, PiecesMayBeLeftOut) {
  char directory[kPathSize];
  EXPECT_EQ(SplitPath("a/b/c.txt", nullptr, directory, nullptr, nullptr), 1);
  EXPECT_STREQ(directory, "a/b/");
}

TEST(SplitPath, OverlongPieceIsCutAndReported) {
  std::string name(300, 'n');
  Pieces p = Split(name + ".txt");
  EXPECT_EQ(std::string(p.baseName), std::string(255, 'n'));
  EXPECT_EQ(p.whole, 0);
}

TEST_F(ShiftJisText, TrailByte5CDoesNotEndTheDirectory) {
  Pieces p = Split("a" + kHyo + "b\\c.lzh");
  EXPECT_EQ(std::string(p.directory), "a" + kHyo + "b\\");
  EXPECT_STREQ(p.baseName, "c");
  Pieces atEnd = Split(kHyo + "*.lzh");
  EXPECT_STREQ(atEnd.directory, "");
  EXPECT_EQ(std::string(atEnd.baseName), kHyo + "*");
}

TEST_F(ShiftJisText, CutNeverLeavesHalfACharacter) {
  std::string name = std::string(254, 'n') + kHyo;  // the character straddles byte 255
  Pieces p = Split(name);
  EXPECT_EQ(std::string(p.baseName), std::string(254, 'n'));
  EXPECT_EQ(p.whole, 0);
  Pieces fits = Split(std::string(253, 'n') + kHyo);
  EXPECT_EQ(std::string(fits.baseName), std::string(253, 'n') + kHyo);
  EXPECT_EQ(fits.whole, 1);
}

TEST_F(ShiftJisText, DanglingLeadByteAtEndIsDropped) {
  Pieces p = Split("ab\x95");
  EXPECT_STREQ(p.baseName, "ab");
}

TEST(MakePath, AddsOneSeparatorBetweenDirectoryAndName) {
  char out[kPathSize];
  ASSERT_EQ(MakePath(out, "C:", "\\arc", "a.lzh", nullptr), 1);
  EXPECT_EQ(std::string(out), std::string("C:\\arc") + kPathSeparator + "a.lzh");
  ASSERT_EQ(MakePath(out, "C:", "\\arc\\", "a.lzh", nullptr), 1);
  EXPECT_STREQ(out, "C:\\arc\\a.lzh");
  ASSERT_EQ(MakePath(out, nullptr, nullptr, "a.lzh", nullptr), 1);
  EXPECT_STREQ(out, "a.lzh");
}

TEST(MakePath, ExtensionGetsExactlyOneDot) {
  char out[kPathSize];
  MakePath(out, nullptr, nullptr, "a", "lzh");
  EXPECT_STREQ(out, "a.lzh");
  MakePath(out, nullptr, nullptr, "a", ".lzh");
  EXPECT_STREQ(out, "a.lzh");
}

TEST(MakePath, RefusesJoinedPathLongerThan255Bytes) {
  char out[kPathSize];
  std::string directory(200, 'd');
  directory += '/';
  EXPECT_EQ(MakePath(out, nullptr, directory.c_str(), std::string(54, 'n').c_str(), nullptr), 1);
  EXPECT_EQ(std::string(out).size(), 255u);
  EXPECT_EQ(MakePath(out, nullptr, directory.c_str(), std::string(55, 'n').c_str(), nullptr), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(ShiftJisText, DirectoryEndingInTrailByte5CStillGetsASeparator) {
  char out[kPathSize];
  ASSERT_EQ(MakePath(out, nullptr, kHyo.c_str(), "a.lzh", nullptr), 1);
  EXPECT_EQ(std::string(out), kHyo + kPathSeparator + "a.lzh");
}

TEST(Scans, WildcardFound) {
  EXPECT_TRUE(HasWildcardChars("*.lzh"));
  EXPECT_TRUE(HasWildcardChars("a?.lzh"));
  EXPECT_FALSE(HasWildcardChars("a.lzh"));
  EXPECT_FALSE(HasWildcardChars(""));
}

TEST_F(ShiftJisText, TrailBytesAreNotTakenForWildcards) {
  // 0x81 0x3F is not a character a user types, but a scan that stepped byte
  // by byte would take its second byte for ?.
  EXPECT_FALSE(HasWildcardChars("\x81\x3F.lzh"));
  EXPECT_TRUE(HasWildcardChars(("\x81\x3F" + kHyo + "*").c_str()));
}

}  // namespace
