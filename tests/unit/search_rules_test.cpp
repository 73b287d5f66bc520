// The POSIX layer's own decisions: which character sets carry Shift_JIS lead
// bytes, and how a search pattern matches names the way a Windows directory
// search does (whole characters, *.* matching every name, case kept).
#include <gtest/gtest.h>

#include "platform/posix/search_rules.h"

namespace {

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

TEST(Codeset, ShiftJisFamilyIsRecognisedInAnyCase) {
  for (const char* name : {"SHIFT_JIS", "shift_jis", "SJIS", "CP932", "WINDOWS-31J", "Windows-31J", "SHIFT_JISX0213",
                           "Shift_JIS-2004", "MS_KANJI"})
    EXPECT_TRUE(CodesetUsesShiftJis(name)) << name;
  for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "EUC-JP", "ISO-8859-1", "", "SJIS2", "SHIFT"})
    EXPECT_FALSE(CodesetUsesShiftJis(name)) << name;
}

TEST(SearchPattern, StarAndQuestionMarkMatchWholeNames) {
  EXPECT_TRUE(MatchesSearchPattern("a.lzh", "*.lzh", NoLead));
  EXPECT_TRUE(MatchesSearchPattern(".lzh", "*.lzh", NoLead));
  EXPECT_FALSE(MatchesSearchPattern("a.lzh.bak", "*.lzh", NoLead));
  EXPECT_TRUE(MatchesSearchPattern("ab.lzh", "a?.lzh", NoLead));
  EXPECT_FALSE(MatchesSearchPattern("a.lzh", "a?.lzh", NoLead));
  EXPECT_TRUE(MatchesSearchPattern("exact", "exact", NoLead));
  EXPECT_FALSE(MatchesSearchPattern("exact2", "exact", NoLead));
}

TEST(SearchPattern, StarDotStarMatchesEveryNameAsOnWindows) {
  for (const char* name : {"README", "a.b", ".", "..", "x.tar.gz"}) EXPECT_TRUE(MatchesSearchPattern(name, "*.*", NoLead)) << name;
  EXPECT_TRUE(MatchesSearchPattern("data", "data.*", NoLead));
  EXPECT_TRUE(MatchesSearchPattern(".", "*", NoLead));
}

TEST(SearchPattern, MatchingIsCaseSensitive) {
  EXPECT_FALSE(MatchesSearchPattern("A.LZH", "*.lzh", NoLead));
}

TEST(SearchPattern, QuestionMarkTakesAWholeDoubleByteCharacter) {
  EXPECT_TRUE(MatchesSearchPattern("\x95\x5C.lzh", "?.lzh", ShiftJisLead));
  EXPECT_FALSE(MatchesSearchPattern("\x95\x5C.lzh", "??.lzh", ShiftJisLead));
  EXPECT_TRUE(MatchesSearchPattern("\x95\x5C.lzh", "??.lzh", NoLead));
  // A pattern byte equal to a trail byte never matches half a character.
  EXPECT_FALSE(MatchesSearchPattern("\x95\x5Cz", "*\\z", ShiftJisLead));
}

}  // namespace
