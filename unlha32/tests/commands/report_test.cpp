// The report buffer belongs to the caller: whatever the text, nothing is
// written past the size, the text is NUL-terminated, and a cut report
// ends in whole lines followed by a line that says it was cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/report.h"

namespace lzh::commands {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

TEST(ReportBuffer, TextThatFitsExactlyIsNotCut) {
  std::string text = "first line\nsecond";
  std::vector<char> buffer(text.size() + 1, 'X');
  Report report(buffer.data(), buffer.size());
  report.Line("first line");
  report.Line("second");
  report.Finish();
  EXPECT_FALSE(report.cut());
  EXPECT_EQ(std::string(buffer.data()), text);
}

TEST(ReportBuffer, OverflowAtEverySizeCutsAtALineAndNeverWritesPastTheEnd) {
  std::vector<std::string> written;
  for (int i = 0; i < 30; ++i) written.push_back("member line number " + std::to_string(i));
  for (size_t size = 0; size < 1200; ++size) {
    std::vector<char> storage(size + 16, '#');
    Report report(storage.data(), size);
    for (const std::string& line : written) report.Line(line);
    report.Finish();
    for (size_t i = size; i < storage.size(); ++i) ASSERT_EQ(storage[i], '#') << "overrun at size " << size;
    if (size == 0) continue;
    std::string text(storage.data());
    ASSERT_LT(text.size(), size);
    std::vector<std::string> lines = Lines(text);
    if (!report.cut()) {
      ASSERT_EQ(lines, written);
      continue;
    }
    if (size > 12) ASSERT_EQ(lines.back().rfind("(report cut", 0), 0u) << size << ": " << text;
    for (size_t i = 0; i + 1 < lines.size(); ++i) ASSERT_EQ(lines[i], written[i]) << "size " << size;
  }
}

TEST(ReportBuffer, RawTextChunksJoinAndAPartialLineIsDroppedWhenCut) {
  std::vector<char> buffer(200);
  Report report(buffer.data(), buffer.size());
  report.Line("header");
  report.Text("con");
  report.Text("tent\nsecond ");
  report.Text("half");
  report.Line("trailer");
  report.Finish();
  EXPECT_EQ(std::string(buffer.data()), "header\ncontent\nsecond half\ntrailer");

  std::vector<char> small(80);
  Report cut(small.data(), small.size());
  cut.Line("header");
  cut.Text("line one\nline two is long and never finishes ");
  cut.Text(std::string(100, 'z'));
  cut.Finish();
  EXPECT_TRUE(cut.cut());
  std::vector<std::string> lines = Lines(small.data());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "line one");
}

TEST(ReportBuffer, NullOrEmptyBufferTakesNothing) {
  Report none(nullptr, 100);
  none.Line("ignored");
  none.Finish();
  char one = 'X';
  Report tiny(&one, 1);
  tiny.Line("does not fit");
  tiny.Finish();
  EXPECT_EQ(one, '\0');
}

}  // namespace
}  // namespace lzh::commands
