// Names from archives: Shift_JIS names become UTF-8 on a UTF-8 system,
// bytes that do not convert survive unchanged, and nothing a name holds
// can reach a terminal as a control sequence.
#include <gtest/gtest.h>

#include "commands/shared/member_names.h"

namespace lzh::commands {
namespace {

TEST(NameDisplay, TerminalEscapeSequencesAreShownAsText) {
  std::string title_setter = "\x1b]0;owned\x07name.txt";
  EXPECT_EQ(DisplayName(title_setter, TextForm::kUtf8), "\\x1B]0;owned\\x07name.txt");
  EXPECT_EQ(DisplayName(title_setter, TextForm::kBytes), "\\x1B]0;owned\\x07name.txt");
  EXPECT_EQ(DisplayName("a\nb\rc\x7f", TextForm::kAnsi), "a\\x0Ab\\x0Dc\\x7F");
}

TEST(NameDisplay, EightBitControlsAndBrokenUtf8AreEscaped) {
  // U+009B (CSI) encoded as UTF-8, a raw 0x9B, a truncated sequence, an
  // overlong '/' and an encoded surrogate.
  EXPECT_EQ(DisplayName("a\xc2\x9b" "b", TextForm::kUtf8), "a\\xC2\\x9Bb");
  EXPECT_EQ(DisplayName("a\x9b" "b", TextForm::kUtf8), "a\\x9Bb");
  EXPECT_EQ(DisplayName("a\x9b" "b", TextForm::kBytes), "a\\x9Bb");
  EXPECT_EQ(DisplayName("x\xe3\x81", TextForm::kUtf8), "x\\xE3\\x81");
  EXPECT_EQ(DisplayName("\xc0\xaf", TextForm::kUtf8), "\\xC0\\xAF");
  EXPECT_EQ(DisplayName("\xed\xa0\x80", TextForm::kUtf8), "\\xED\\xA0\\x80");
}

TEST(NameDisplay, ValidTextPassesUnchanged) {
  std::string japanese = "\xe6\xbc\xa2\xe5\xad\x97.txt";  // 漢字.txt
  EXPECT_EQ(DisplayName(japanese, TextForm::kUtf8), japanese);
  EXPECT_EQ(DisplayName("dir/file name.txt", TextForm::kUtf8), "dir/file name.txt");
}

TEST(NameConversion, ShiftJisNamesBecomeUtf8) {
  // 表.txt: the second byte of 表 is 0x5C, the byte of '\'.
  EXPECT_EQ(LocalName("\x95\x5c.txt", 932, TextForm::kUtf8), "\xe8\xa1\xa8.txt");
  EXPECT_EQ(LocalName("\x8a\xbf\x8e\x9a.txt", 932, TextForm::kUtf8), "\xe6\xbc\xa2\xe5\xad\x97.txt");
}

TEST(NameConversion, NamesThatDoNotConvertStayAsBytes) {
  std::string broken = "bad\x81.txt";  // a lead byte followed by nothing valid
  EXPECT_EQ(LocalName(broken, 932, TextForm::kUtf8), broken);
  EXPECT_EQ(LocalName("\x95\x5c", 932, TextForm::kAnsi), "\x95\x5c");  // Windows keeps the code page
  EXPECT_EQ(LocalName("\xe8\xa1\xa8", 65001, TextForm::kUtf8), "\xe8\xa1\xa8");
  EXPECT_EQ(LocalName("\x95\x5c", 0, TextForm::kUtf8), "\x95\x5c");  // unknown code page
}

}  // namespace
}  // namespace lzh::commands
