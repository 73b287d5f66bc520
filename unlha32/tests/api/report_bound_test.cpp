// The report bound that unlha32.h promises: a front end that sizes
// Unlha()'s buffer from the walk (fixed part, command line, member names,
// contents for p) must get every report whole. The archive is the worst a
// report meets: names that escape to four times their bytes and appear
// three times in one member's lines, refused and rewritten paths, damaged,
// unsupported and cut members, links, NUL-filled contents. A smaller
// buffer gets whole lines and a note that the report was cut, and never a
// byte past its end. Then what a front end asks before a command: archive
// recognition and member counts.
#include "tests/api/api_fixture.h"

namespace lzh::test {
namespace {

constexpr char kFF = '\xff';

// Every member's share of the bound, found through the exported walk.
struct Walked {
  uint64_t members = 0, room = 0, content = 0;
};

Walked Walk(const std::string& archive) {
  Walked walked;
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  EXPECT_NE(handle, nullptr) << archive;
  UnlhaMemberInfo info;
  char probe[1];
  for (int found = UnlhaFindFirst(handle, nullptr, &info); found == 0; found = UnlhaFindNext(handle, &info)) {
    ++walked.members;
    walked.room += UNLHA_REPORT_MEMBER_ROOM + UNLHA_REPORT_NAME_FACTOR * uint64_t(UnlhaGetFileName(handle, probe, 1));
    walked.content += UNLHA_REPORT_CONTENT_FACTOR * uint64_t(info.original_size);
  }
  EXPECT_EQ(UnlhaCloseArchive(handle), UNLHA_OK);
  return walked;
}

// A stored member whose 0x01 name is `name` and whose data is `data`.
RawMember Named(const std::string& name, const std::string& data = "data") { return RawMember{name, "", ToBytes(data)}; }

Bytes WorstCase(bool damaged_tail) {
  std::string escapes(3000, '\x1b');  // each shown as \x1B: four bytes
  RawMember wrong_crc = Named("C:" + escapes + "crc", "changed");
  wrong_crc.crc = 0x1234;  // the drive is made safe (a note), then the data fails
  RawMember link = Named("link|" + std::string(2000, 't'), "");
  link.method = "-lhd-";
  link.unix_mode = 0120777;
  std::vector<RawMember> members = {
      Named("C:" + escapes),  // too long for any file system: made safe, then failed
      wrong_crc,
      Named("\x9b\x9b\x9b" + std::string(500, 'c')),            // C1 bytes that are no UTF-8
      RawMember{"\x95\x5c.txt", "\x8a\xbf\x8e\x9a", ToBytes("sjis"), "-lh0-", 'M', 932},
      RawMember{"escape.txt", std::string("..") + kFF + ".." + kFF, ToBytes("up")},  // refused
      RawMember{"rare.bin", "", ToBytes("xxxx"), "-pm2-"},
      Named("nuls.bin", std::string(1000, '\0')),  // p shows each NUL as \x00
      link,
  };
  for (int i = 0; i < 40; ++i) members.push_back(Named("f" + std::to_string(i), "x"));
  Bytes archive = RawArchive(members);
  if (damaged_tail) {
    Bytes cut = RawArchive({Named("cut-short.txt", std::string(5000, 'c'))});
    archive.pop_back();  // the end byte
    archive.insert(archive.end(), cut.begin(), cut.end() - 1000);
  }
  return archive;
}

using ReportBound = ScratchTest;

TEST_F(ReportBound, EveryReadingCommandAndDeleteFitTheBoundTheWalkGives) {
  std::string archive = Put("worst.lzh", WorstCase(true));
  Walked walked = Walk(archive);
  EXPECT_EQ(walked.members, 49u);
  std::string deletable = Put("whole.lzh", WorstCase(false));
  const std::string unmatched = " * nomatch\x1b\x1b\x1b another-name-that-matches-nothing";
  struct Case {
    std::string line;
    bool print;
  };
  for (const Case& run : {Case{"l " + archive + unmatched, false}, Case{"v " + archive, false},
                          Case{"t " + archive + unmatched, false}, Case{"x " + archive + " " + Out(), false},
                          Case{"x " + archive + " " + Out(), false},  // again: every file is kept now
                          Case{"e " + archive + " " + Out(), false}, Case{"p " + archive, true},
                          Case{archive, false}, Case{"d " + deletable + unmatched, false}}) {
    Walked measured = run.line[0] == 'd' ? Walk(deletable) : walked;
    uint64_t bound = UNLHA_REPORT_FIXED_ROOM + UNLHA_REPORT_LINE_FACTOR * run.line.size() + measured.room +
                     (run.print ? measured.content : 0);
    Outcome outcome = RunUnlha(run.line, bound);
    EXPECT_NE(outcome.result, UNLHA_OK) << run.line.substr(0, 40);  // something is wrong in every run
    EXPECT_EQ(outcome.report.find("(report cut"), std::string::npos) << run.line.substr(0, 40);
    EXPECT_LT(outcome.report.size(), bound);
  }
}

// Names that match no member are echoed, up to three times each when x
// hints that a directory of that name would be a base directory: the
// command line's part of the bound must hold them, however short they are.
TEST_F(ReportBound, NamesThatMatchNothingFitTheCommandLinePart) {
  std::string archive = Put("one.lzh", RawArchive({Named("only.txt")}));
  std::string line = "x " + archive;
  for (char a = 'a'; a <= 'z'; ++a)
    for (char b = 'a'; b <= 'z'; ++b) {
      fs::create_directories(root_ / std::string{a, b});
      line += std::string{' ', a, b};
    }
  fs::path before = fs::current_path();
  fs::current_path(root_);
  uint64_t bound = UNLHA_REPORT_FIXED_ROOM + UNLHA_REPORT_LINE_FACTOR * line.size() + Walk(archive).room;
  Outcome outcome = RunUnlha(line, bound);
  fs::current_path(before);
  EXPECT_NE(outcome.report.find("write zz/ (a base directory"), std::string::npos) << outcome.report.substr(0, 300);
  EXPECT_EQ(outcome.report.find("(report cut"), std::string::npos);
}

std::vector<Member> ManyMembers(int count) {
  std::vector<Member> members;
  for (int i = 0; i < count; ++i)
    members.push_back(Member{{"dir" + std::to_string(i % 3), "member-" + std::to_string(i) + ".txt"},
                             ToBytes("contents of member " + std::to_string(i) + "\n"), Method::kLh5});
  return members;
}

// What a front end asks before it runs a command: is this an archive (only
// one that reads is), how many members (from the headers), the same under
// the name without its extension and with '\\' between directories.
TEST_F(ReportBound, ArchivesAreRecognisedAndCountedUnderEveryNameForm) {
  fs::create_directories(root_ / "sub");
  WriteFile(root_ / "sub" / "a.lzh", WriteArchive(ManyMembers(57)));
  const struct {
    std::string path;
    int count;
  } cases[] = {
      {(root_ / "sub" / "a.lzh").string(), 57},
      {(root_ / "sub" / "a").string(), 57},
      {root_.string() + "\\sub\\a.lzh", 57},
      {root_.string(), -1},
      {(root_ / "missing.lzh").string(), -1},
      {Put("empty.lzh", {}), -1},
      {Put("end-byte-only.lzh", {0}), 0},
      {Put("text.lzh", ToBytes("just some text, no archive at all\n")), -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnlhaCheckArchive(c.path.c_str(), 0) != 0, c.count > 0) << c.path;
    EXPECT_EQ(UnlhaGetFileCount(c.path.c_str()), c.count) << c.path;
  }
  EXPECT_EQ(UnlhaCheckArchive(nullptr, 0), 0);
  EXPECT_EQ(UnlhaGetFileCount(nullptr), -1);
  EXPECT_EQ(UnlhaGetVersion(), 20);
  EXPECT_EQ(RunUnlha("x " + root_.string() + "\\sub\\a.lzh " + root_.string() + "\\out\\").result, UNLHA_OK);
  EXPECT_TRUE(fs::exists(root_ / "out" / "dir0" / "member-0.txt"));
}

// The buffer belongs to the caller: at every size nothing is written past
// it (RunUnlha's guard bytes), the text ends in a NUL, and a cut report is
// whole lines of the full one followed by a line that says it was cut.
TEST_F(ReportBound, AtEverySizeAReportIsCutAtALineAndSaysSo) {
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
