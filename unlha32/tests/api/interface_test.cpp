// The exported functions' contracts as a front end relies on them:
// archive recognition, member counts, result codes, and reports that fit
// the buffer a front end sizes for them.
#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

std::vector<Member> ManyMembers(int count) {
  std::vector<Member> members;
  for (int i = 0; i < count; ++i)
    members.push_back(Member{{"dir" + std::to_string(i % 3), "member-" + std::to_string(i) + ".txt"},
                             ToBytes("contents of member " + std::to_string(i) + "\n"), Method::kLh5});
  return members;
}

using ArchiveRecognition = ScratchTest;

TEST_F(ArchiveRecognition, OnlyReadableArchivesAreArchives) {
  std::string archive = Put("a.lzh", WriteArchive(ManyMembers(3)));
  EXPECT_NE(UnlhaCheckArchive(archive.c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive(root_.c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive((root_ / "missing.lzh").c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive(Put("empty.lzh", {}).c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive(Put("end-byte-only.lzh", {0}).c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive(Put("text.lzh", ToBytes("just some text, no archive at all\n")).c_str(), 0), 0);
  EXPECT_EQ(UnlhaCheckArchive(nullptr, 0), 0);
}

TEST_F(ArchiveRecognition, FileCountComesFromTheHeaders) {
  std::string archive = Put("a.lzh", WriteArchive(ManyMembers(57)));
  EXPECT_EQ(UnlhaGetFileCount(archive.c_str()), 57);
  // Without its extension the name means the same archive, as in a command.
  EXPECT_EQ(UnlhaGetFileCount((root_ / "a").c_str()), 57);
  EXPECT_NE(UnlhaCheckArchive((root_ / "a").c_str(), 0), 0);
  EXPECT_EQ(UnlhaGetFileCount((root_ / "missing.lzh").c_str()), -1);
  EXPECT_EQ(UnlhaGetFileCount(root_.c_str()), -1);
  EXPECT_EQ(UnlhaGetFileCount(nullptr), -1);
  EXPECT_EQ(UnlhaGetVersion(), 20);
}

TEST_F(ArchiveRecognition, BackslashesSeparateDirectoriesInEveryPath) {
  fs::create_directories(root_ / "sub");
  WriteFile(root_ / "sub" / "a.lzh", WriteArchive(ManyMembers(2)));
  std::string dos_style = root_.string() + "\\sub\\a.lzh";
  EXPECT_NE(UnlhaCheckArchive(dos_style.c_str(), 0), 0);
  EXPECT_EQ(UnlhaGetFileCount(dos_style.c_str()), 2);
  EXPECT_EQ(RunUnlha("x " + dos_style + " " + root_.string() + "\\out\\").result, UNLHA_OK);
  EXPECT_TRUE(fs::exists(root_ / "out" / "dir0" / "member-0.txt"));
}

using CommandLineErrors = ScratchTest;

TEST_F(CommandLineErrors, MissingAndNonArchivesAreReportedAsSuch) {
  Outcome missing = RunUnlha("l " + (root_ / "missing.lzh").string());
  EXPECT_EQ(missing.result, UNLHA_NOT_ARCHIVE);
  EXPECT_NE(missing.report.find("missing.lzh"), std::string::npos);
  EXPECT_EQ(RunUnlha("x " + Put("text.txt", ToBytes("hello")) + " " + Out()).result, UNLHA_NOT_ARCHIVE);
}

TEST_F(CommandLineErrors, BareArchivePathWithBlanksIsListed) {
  std::string archive = Put("my archive.lzh", WriteArchive(ManyMembers(4)));
  Outcome run = RunUnlha(archive);
  EXPECT_EQ(run.result, UNLHA_OK) << run.report;
  EXPECT_NE(run.report.find("member-3.txt"), std::string::npos);
  Outcome quoted = RunUnlha("L \"" + archive + "\" ");
  EXPECT_EQ(quoted.result, UNLHA_OK);
  EXPECT_NE(quoted.report.find("4 members"), std::string::npos);
}

using ReportSize = ScratchTest;

TEST_F(ReportSize, ListingFitsEightyBytesPerMemberPlusFiveLines) {
  for (int count : {1, 7, 40}) {
    std::vector<Member> members = ManyMembers(count);
    members[0].path = {"a-very-long-directory-name", "and-an-even-longer-file-name-that-cannot-fit.txt"};
    std::string archive = Put("a.lzh", WriteArchive(members));
    Outcome run = RunUnlha("l " + archive, (count + 5) * 80);
    EXPECT_EQ(run.result, UNLHA_OK);
    EXPECT_EQ(run.report.find("(report cut"), std::string::npos) << run.report;
    size_t start = 0;
    while (start < run.report.size()) {
      size_t end = run.report.find('\n', start);
      if (end == std::string::npos) end = run.report.size();
      EXPECT_LE(end - start, 79u) << run.report.substr(start, end - start);
      start = end + 1;
    }
  }
}

// The buffer belongs to the caller: at every size nothing is written past
// it (RunUnlha's guard bytes), the text ends in a NUL, and a cut report is
// whole lines of the full one followed by a line that says it was cut.
TEST_F(ReportSize, AtEverySizeAReportIsCutAtALineAndSaysSo) {
  std::string archive = Put("a.lzh", WriteArchive(ManyMembers(12)));
  const std::string whole = RunUnlha("v " + archive).report;
  for (size_t size = 0; size < whole.size() + 2; ++size) {
    Outcome run = RunUnlha("v " + archive, size);
    EXPECT_EQ(run.result, UNLHA_OK);
    if (run.report == whole || size <= 12) continue;
    size_t last = run.report.rfind('\n');
    size_t kept = last == std::string::npos ? 0 : last + 1;
    EXPECT_EQ(run.report.substr(kept, 11), "(report cut") << size;
    EXPECT_EQ(whole.compare(0, kept, run.report, 0, kept), 0) << size;
  }
  EXPECT_EQ(Unlha(nullptr, ("l " + archive).c_str(), nullptr, 100), UNLHA_OK);
}

}  // namespace
}  // namespace lzh::test
