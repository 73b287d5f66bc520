// The handle functions as an embedding program uses them, through the
// exported functions alone: each fact a walk gives must be what `v` shows,
// names of every kind and in both text forms included; no damage may make
// a walk crash or run on; a million members must walk in flat memory, even
// with two threads sharing the handle; a handle must work beside a running
// Unlha(); names too long for the record are whole through
// UnlhaGetFileName; and misuse of a handle (or of Unlha()) is refused.
// Then the report bound that unlha32.h promises: a front end that sizes
// Unlha()'s buffer from the walk (fixed part, command line, member names,
// contents for p) must get every report whole. The archive is the worst a
// report meets: names that escape to four times their bytes and appear
// three times in one member's lines, refused and rewritten paths, damaged,
// unsupported and cut members, links, NUL-filled contents. A smaller
// buffer gets whole lines and a note that the report was cut, and never a
// byte past its end. And what a front end asks before a command: archive
// recognition and member counts.
#include <malloc.h>
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/api/api_fixture.h"
#include "tests/sample_manifest.h"

namespace lzh::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Ratio(uint32_t per_mille, uint64_t original) {
  return original == 0 ? "-" : std::to_string(per_mille / 10) + "." + std::to_string(per_mille % 10) + "%";
}

std::string DateTime(uint32_t date, uint32_t time) {
  if (date == 0) return "(no valid date) ";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                time >> 11, (time >> 5) & 63);
  return text;
}

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
      RawMember{"read\x1bme\x7f.txt", "tab\tdir", ToBytes(std::string(300, 'a')), "-lh0-", 'M'},
      RawMember{"caf\xc3\xa9 \xe6\xbc\xa2.txt", "", ToBytes("utf-8"), "-lh0-", 'U', 65001},
      RawMember{"broken\xc3\x28\xff.bin", "", {}, "-lh0-", 'w'},
      RawMember{std::string(600, 'n') + ".txt", "", ToBytes("long"), "-lh0-", 0},
      RawMember{"", std::string("sub") + kFF + "dir", {}, "-lhd-", 'W'},  // a directory
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

// Walks `archive` through the handle and checks every fact of every member,
// and the totals, against the lines of its verbose listing.
void ExpectWalkMatchesVerboseListing(const std::string& archive) {
  SCOPED_TRACE(archive);
  std::vector<std::string> listing = Lines(RunUnlha("v " + archive, 1 << 22).report);
  ASSERT_GE(listing.size(), 5u);
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  ASSERT_NE(handle, nullptr);
  UnlhaMemberInfo info;
  size_t line = 3;  // after the title, the column heads and the rule
  uint64_t members = 0;
  for (int found = UnlhaFindFirst(handle, nullptr, &info); found == UNLHA_OK;
       found = UnlhaFindNext(handle, &info), ++members, line += 2) {
    ASSERT_LT(line + 1, listing.size());
    char probe[1];
    std::vector<char> name(size_t(UnlhaGetFileName(handle, probe, 1)) + 1);
    ASSERT_EQ(UnlhaGetFileName(handle, name.data(), int(name.size())), int(name.size()) - 1);
    EXPECT_EQ(listing[line], name.data());
    EXPECT_EQ(std::string(name.data()).substr(0, UNLHA_MEMBER_NAME_SIZE - 1), info.name);
    uint64_t original = 0, compressed = 0;
    char method[32], attributes[16];
    ASSERT_EQ(UnlhaGetOriginalSizeEx(handle, &original), UNLHA_OK);
    ASSERT_EQ(UnlhaGetCompressedSizeEx(handle, &compressed), UNLHA_OK);
    ASSERT_GT(UnlhaGetMethod(handle, method, sizeof method), 0);
    ASSERT_GT(UnlhaGetAttribute(handle, attributes, sizeof attributes), 0);
    // The facts line: sizes, ratio, time, method, level, OS, CRC and
    // attributes; the walk gives all but level and OS.
    std::string facts = listing[line + 1];
    char sizes[64], tail[48];
    std::snprintf(sizes, sizeof sizes, "%10" PRIu64 " %10" PRIu64 " %6s ", original, compressed,
                  Ratio(info.ratio, original).c_str());
    std::snprintf(tail, sizeof tail, " %04X %s", unsigned(info.crc), attributes);
    EXPECT_EQ(facts.substr(0, 29), sizes);
    // MS-DOS stamps start in 1980: earlier times are clamped to it.
    std::string shown_time = facts.substr(29, 16);
    EXPECT_EQ(shown_time < "1980" ? "1980-01-01 00:00" : shown_time, DateTime(info.dos_date, info.dos_time));
    EXPECT_EQ(facts.substr(46, strlen(method) + 1), std::string(method) + " ");
    EXPECT_TRUE(facts.ends_with(tail)) << facts << " | " << tail;
  }
  ASSERT_LT(line + 1, listing.size());
  uint64_t original = 0, compressed = 0;
  uint32_t ratio = 0;
  ASSERT_EQ(UnlhaGetArcOriginalSizeEx(handle, &original), UNLHA_OK);
  ASSERT_EQ(UnlhaGetArcCompressedSizeEx(handle, &compressed), UNLHA_OK);
  ASSERT_EQ(UnlhaGetArcRatio(handle, &ratio), UNLHA_OK);
  char totals[128];
  std::snprintf(totals, sizeof totals, "%10" PRIu64 " %10" PRIu64 " %6s %" PRIu64 " member%s", original, compressed,
                Ratio(ratio, original).c_str(), members, members == 1 ? "" : "s");
  EXPECT_EQ(listing[line + 1], totals);
  EXPECT_EQ(UnlhaCloseArchive(handle), UNLHA_OK);
}

using ReadingThroughHandles = ScratchTest;

// Names of every kind (the report bound's worst case), our sample and the
// foreign ones, in either text form.
TEST_F(ReadingThroughHandles, EveryFactIsWhatTheVerboseListingShowsInEitherTextForm) {
  std::vector<std::string> archives = {Put("names.lzh", WorstCase(false)), TAVO_SAMPLE_ARCHIVE};
  if (fs::exists(SamplesDir()))
    for (const auto& entry : fs::directory_iterator(SamplesDir()))
      if (entry.path().extension() != ".tsv" && entry.path().extension() != ".md")
        archives.push_back(entry.path().string());
  for (const char* locale : {"C.UTF-8", "C"}) {
    setenv("LC_ALL", locale, 1);
    for (const std::string& archive : archives) ExpectWalkMatchesVerboseListing(archive);
  }
}

// Two threads share one handle over a million members: every member must
// go to exactly one of them (a step that is not whole would hand one out
// twice or lose one), and memory must not grow with the members.
TEST_F(ReadingThroughHandles, AMillionMembersSharedByTwoThreadsInFlatMemory) {
  constexpr int kMembers = 1000000;
  std::string archive = (root_ / "million.lzh").string();
  {
    std::ofstream out(archive, std::ios::binary);
    for (int i = 0; i < kMembers; ++i) {
      Bytes member = RawLevel2(RawMember{std::to_string(i), "", ToBytes("x")});
      out.write(reinterpret_cast<const char*>(member.data()), std::streamsize(member.size()));
    }
    out.put('\0');
  }
  std::vector<std::vector<int>> seen(2);
  for (auto& mine : seen) mine.reserve(kMembers);  // the test's own lists, 4 MB once filled
  size_t before = mallinfo2().uordblks;  // bytes in use; none under a sanitizer's own allocator
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  ASSERT_NE(handle, nullptr);
  UnlhaMemberInfo first;
  ASSERT_EQ(UnlhaFindFirst(handle, nullptr, &first), UNLHA_OK);
  auto step = [&](std::vector<int>* mine) {
    UnlhaMemberInfo info;
    while (UnlhaFindNext(handle, &info) == UNLHA_OK) mine->push_back(std::atoi(info.name));
  };
  std::thread other(step, &seen[1]);
  step(&seen[0]);
  other.join();
  uint64_t total = 0;
  EXPECT_EQ(UnlhaGetArcOriginalSizeEx(handle, &total), UNLHA_OK);
  size_t after = mallinfo2().uordblks;
  EXPECT_EQ(UnlhaCloseArchive(handle), UNLHA_OK);
  EXPECT_EQ(total, uint64_t(kMembers));
  std::vector<char> met(kMembers, 0);
  met[std::atoi(first.name)] = 1;
  for (const auto& mine : seen)
    for (int number : mine) {
      ASSERT_TRUE(number >= 0 && number < kMembers && !met[number]) << "member " << number << " met twice";
      met[number] = 1;
    }
  EXPECT_EQ(1 + seen[0].size() + seen[1].size(), size_t(kMembers));
  // Loosely: a few blocks of headers; anything the library kept per member
  // (an offset and a name, 40 MB) would add more.
  EXPECT_LT(after - std::min(after, before), size_t(16) << 20);
}

// Unlha() blocked on another thread (opening its name list, a FIFO, until
// a writer comes): UnlhaGetRunning says so, and a handle walks meanwhile.
TEST_F(ReadingThroughHandles, AHandleWalksWhileUnlhaRunsOnAnotherThread) {
  std::string archive = Put("a.lzh", WriteArchive({Member{{"one.txt"}, ToBytes("1")}, Member{{"two.txt"}, ToBytes("2")}}));
  std::string fifo = (root_ / "names").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(UnlhaGetRunning(), 0);
  Outcome listed;
  std::thread command([&] { listed = RunUnlha("l " + archive + " @" + fifo); });
  for (int wait = 0; wait < 1000 && UnlhaGetRunning() == 0; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(UnlhaGetRunning(), 1);
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  UnlhaMemberInfo info;
  EXPECT_EQ(UnlhaFindFirst(handle, "two.txt", &info), UNLHA_OK);
  EXPECT_STREQ(info.name, "two.txt");
  EXPECT_EQ(UnlhaCloseArchive(handle), UNLHA_OK);
  std::ofstream{fifo};  // opened and closed: an empty list
  command.join();
  EXPECT_EQ(UnlhaGetRunning(), 0);
  EXPECT_EQ(listed.result, UNLHA_OK);
  EXPECT_NE(listed.report.find(" 2 members"), std::string::npos) << listed.report;
}

// A name too long for the record is cut there at a whole character, and
// whole through UnlhaGetFileName; in a locale whose character set is
// Shift_JIS under another name, names stay as stored, whole double-byte
// characters, never escaped byte by byte. Damage ends a walk for good, and
// misuse of a handle (or of Unlha()) is refused.
TEST_F(ReadingThroughHandles, NamesAreWholeDamageEndsTheWalkAndMisuseIsRefused) {
  std::string name = std::string(510, 'n') + "\xe6\xbc\xa2";  // a three-byte character across byte 512
  RawMember sjis{"\x95\x5c.txt", "\x8a\xbf\x8e\x9a", ToBytes("x"), "-lh0-", 'M'};
  Bytes bytes = RawArchive({RawMember{name, "", ToBytes("data")}, sjis,
                            RawMember{"second.txt", "", ToBytes(std::string(3000, 's'))}});
  bytes.resize(bytes.size() - 1000);
  const std::string archive = Put("cut.lzh", bytes);
  UnlhaArchive* handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  ASSERT_NE(handle, nullptr);
  UnlhaMemberInfo info;
  ASSERT_EQ(UnlhaFindFirst(handle, "", &info), 0);
  EXPECT_EQ(info.flags, uint32_t(UNLHA_MEMBER_NAME_CUT));
  EXPECT_EQ(std::string(info.name), name.substr(0, 510));
  std::vector<char> whole(1000);
  EXPECT_EQ(UnlhaGetFileName(handle, whole.data(), 1000), int(name.size()));
  EXPECT_EQ(std::string(whole.data()), name);
  EXPECT_EQ(UnlhaFindNext(handle, &info), 0);
  EXPECT_EQ(UnlhaFindNext(handle, &info), 0);  // the member cut short is still met, as listings show it
  EXPECT_STREQ(info.name, "second.txt");
  for (int again = 0; again < 3; ++again) EXPECT_EQ(UnlhaFindNext(handle, &info), UNLHA_DAMAGED);
  uint32_t total = 0;  // the totals of a damaged archive are not known
  EXPECT_EQ(UnlhaGetArcOriginalSize(handle, &total), UNLHA_DAMAGED);
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
  const std::string missing = (root_ / "missing.lzh").string();
  for (const std::string& line : {"d " + missing + " a", "f " + missing + " " + root_.string() + "/ a"})
    EXPECT_EQ(RunUnlha(line).result, UNLHA_NOT_ARCHIVE) << line;  // and no archive is made of nothing:
  EXPECT_EQ(UnlhaOpenArchive(nullptr, missing.c_str(), 0), nullptr);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, archive.c_str(), 1), nullptr);
  EXPECT_EQ(Unlha(nullptr, nullptr, nullptr, 0), UNLHA_BAD_COMMAND);
  for (const char* line : {"l -r", "l -x5 a.lzh", " \t "}) EXPECT_EQ(RunUnlha(line).result, UNLHA_BAD_COMMAND) << line;

  setenv("LC_ALL", "ja_JP.SHIFT_JISX0213", 1);
  handle = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  ASSERT_EQ(UnlhaFindFirst(handle, "\x95\x5c.txt", &info), 0);
  EXPECT_STREQ(info.name, "\x8a\xbf\x8e\x9a/\x95\x5c.txt");
  UnlhaCloseArchive(handle);
}

using ReportBound = ScratchTest;

TEST_F(ReportBound, EveryReadingCommandAndDeleteFitTheBoundTheWalkGives) {
  std::string archive = Put("worst.lzh", WorstCase(true));
  Walked walked = Walk(archive);
  EXPECT_EQ(walked.members, 54u);
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

// What a front end asks before it runs a command: is this an archive (only
// one that reads is), how many members (from the headers), the same under
// the name without its extension and with '\\' between directories. And
// the buffer belongs to the caller: at every size nothing is written past
// it (RunUnlha's guard bytes), the text ends in a NUL, and a cut report is
// whole lines of the full one followed by a line that says it was cut.
TEST_F(ReportBound, ArchivesAreRecognisedAndReportsCutAtALineAtEverySize) {
  std::vector<Member> members;
  for (int i = 0; i < 57; ++i)
    members.push_back(Member{{"dir" + std::to_string(i % 3), "member-" + std::to_string(i) + ".txt"},
                             ToBytes("contents of member " + std::to_string(i) + "\n")});
  fs::create_directories(root_ / "sub");
  const std::string archive = (root_ / "sub" / "a.lzh").string();
  WriteFile(archive, WriteArchive(members));
  const struct {
    std::string path;
    int count;
  } cases[] = {
      {archive, 57},
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
