// The handle walk and the report bound that unlha32.h promises: a front end
// that sizes Unlha()'s buffer from the walk (fixed part, command line,
// member names, contents for p) must get every report whole. The archive is
// the worst a report meets: names that escape to four times their bytes and
// appear three times in one member's lines, refused and rewritten paths,
// damaged, unsupported and cut members, links, NUL-filled contents.
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

TEST_F(ReportBound, LongNamesAreCutInTheRecordAndWholeThroughGetFileName) {
  std::string name = std::string(510, 'n') + "\xe6\xbc\xa2";  // a three-byte character across byte 512
  std::string archive = Put("long.lzh", RawArchive({Named(name)}));
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  UnlhaMemberInfo info;
  ASSERT_EQ(UnlhaFindFirst(handle, "", &info), 0);
  EXPECT_EQ(info.flags, uint32_t(UNLHA_MEMBER_NAME_CUT));
  EXPECT_EQ(std::string(info.name), name.substr(0, 510));
  std::vector<char> whole(1000);
  EXPECT_EQ(UnlhaGetFileName(handle, whole.data(), 1000), int(name.size()));
  EXPECT_EQ(std::string(whole.data()), name);
  UnlhaCloseArchive(handle);
}

TEST_F(ReportBound, DamageEndsTheWalkForGoodAndMisuseIsRefused) {
  Bytes archive = RawArchive({Named("first.txt"), Named("second.txt", std::string(3000, 's'))});
  archive.resize(archive.size() - 1000);
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, Put("cut.lzh", archive).c_str(), 0);
  ASSERT_NE(handle, nullptr);
  UnlhaMemberInfo info;
  EXPECT_EQ(UnlhaFindFirst(handle, nullptr, &info), 0);
  EXPECT_EQ(UnlhaFindNext(handle, &info), 0);  // the member cut short is still met, as listings show it
  EXPECT_STREQ(info.name, "second.txt");
  for (int again = 0; again < 3; ++again) EXPECT_EQ(UnlhaFindNext(handle, &info), UNLHA_DAMAGED);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, Put("text.lzh", ToBytes("no archive, only some text")).c_str(), 0), nullptr);

  char buffer[8];
  EXPECT_EQ(UnlhaFindFirst(handle, nullptr, nullptr), UNLHA_BAD_COMMAND);
  EXPECT_EQ(UnlhaGetFileName(handle, nullptr, 8), -1);
  EXPECT_EQ(UnlhaGetFileName(handle, buffer, 0), -1);
  EXPECT_EQ(UnlhaCloseArchive(handle), UNLHA_OK);
  for (UnlhaArchive* refused : {handle, static_cast<UnlhaArchive*>(nullptr), reinterpret_cast<UnlhaArchive*>(&info)}) {
    EXPECT_EQ(UnlhaFindFirst(refused, nullptr, &info), UNLHA_BAD_COMMAND);
    EXPECT_EQ(UnlhaFindNext(refused, &info), UNLHA_BAD_COMMAND);
    EXPECT_EQ(UnlhaGetFileName(refused, buffer, 8), -1);
    EXPECT_EQ(UnlhaCloseArchive(refused), UNLHA_BAD_COMMAND);
  }
  EXPECT_EQ(UnlhaOpenArchive(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, (root_ / "missing.lzh").c_str(), 0), nullptr);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, Put("ok.lzh", RawArchive({Named("a")})).c_str(), 1), nullptr);
}

// A locale whose character set is Shift_JIS under another name: names stay
// as stored, whole double-byte characters, never escaped byte by byte.
TEST_F(ReportBound, ShiftJisLocaleUnderAnyNameShowsNamesAsStored) {
  std::string archive = Put("sjis.lzh", RawArchive({RawMember{"\x95\x5c.txt", "\x8a\xbf\x8e\x9a", ToBytes("x"), "-lh0-", 'M'}}));
  setenv("LC_ALL", "ja_JP.SHIFT_JISX0213", 1);
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  UnlhaMemberInfo info;
  ASSERT_EQ(UnlhaFindFirst(handle, "\x95\x5c.txt", &info), 0);
  EXPECT_STREQ(info.name, "\x8a\xbf\x8e\x9a/\x95\x5c.txt");
  UnlhaCloseArchive(handle);
}

}  // namespace
}  // namespace lzh::test
