// Walking archives: where an archive starts (self-extracting prefixes),
// where it ends (end byte, missing end byte, junk), and members whose data
// the input does not hold.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/header_parser.h"
#include "tests/format/header_bytes.h"
#include "tests/format/walk_all.h"

namespace lzh {
namespace {

using test::Bytes;
using test::Fields;
using test::Walk;
using test::WalkAll;

// A member: a level-0/2 header for `name` followed by `data` stored.
Bytes StoredMember(const std::string& name, const std::string& data, int level = 0) {
  Fields f;
  f.packed = f.original = static_cast<uint32_t>(data.size());
  Bytes b = level == 0 ? test::Level0(f, name) : test::Level23(2, f, 0, 'U', {{0x01, name}});
  test::AddText(&b, data);
  return b;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) test::Append(&all, part);
  return all;
}

Bytes TwoMembers() {
  Bytes a = StoredMember("one", "first");
  test::Append(&a, StoredMember("two", "second", 2));
  return a;
}

// Where an archive ends: at its end byte, at the end of the file without
// one, before junk; and where the file ends first.
TEST(Walker, EndsAtTheEndByteOrTheFileAndNamesWhatIsCut) {
  Bytes two = TwoMembers();
  Bytes junk = StoredMember("ghost", "not ours");
  junk.insert(junk.end(), {0x1A, 0x1A, 0xFF});
  Fields huge;
  huge.packed = 0xFFFFFFFF;
  Bytes cut_header = StoredMember("one", "first");
  Bytes second = StoredMember("two", "x");
  cut_header.insert(cut_header.end(), second.begin(), second.begin() + 10);
  const struct Case {
    const char* what;
    Bytes archive;
    const char* message;  // nullptr: read whole
    std::vector<std::string> names;
    bool end_byte;
  } cases[] = {
      {"end byte", Joined({two, {0}}), nullptr, {"one", "two"}, true},
      {"no end byte", two, nullptr, {"one", "two"}, false},
      {"junk after the end byte", Joined({two, {0}, junk}), nullptr, {"one", "two"}, true},
      {"a lone end byte", {0}, nullptr, {}, true},
      {"data cut short", Bytes(two.begin(), two.end() - 3), "member data runs past the end of the archive", {"one"}},
      {"size 0xFFFFFFFF", Joined({test::Level0(huge, "huge"), {0}}), "member data runs past the end of the archive", {}},
      {"header cut short", cut_header, "truncated header", {"one"}},
      {"empty", {}, "not an LZH archive", {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}, "not an LZH archive", {}},
      {"dashes", Bytes(100000, 0x2D), "not an LZH archive", {}},
      {"a byte 1", {1}, "not an LZH archive", {}},
  };
  for (const Case& c : cases) {
    Walk w = WalkAll(c.archive);
    if (c.message) EXPECT_STREQ(w.status.message(), c.message) << c.what;
    else EXPECT_TRUE(w.status.ok()) << c.what << ": " << w.status.message();
    EXPECT_EQ(w.names, c.names) << c.what;
    if (!c.message) {
      EXPECT_EQ(w.has_end_byte, c.end_byte) << c.what;
    }
    if (!c.message) {
      EXPECT_EQ(w.end_offset, two.size() * !c.names.empty()) << c.what;
    }
  }
}

// A level-0 link entry with the Unix extension and no "|target" in its
// name, then a member: with sizes 0, with its target's length in the size
// fields and nothing stored (a link's lstat size; 12 reaches a zero byte
// inside the next header, which is no end byte; also as the last
// member), and with that many bytes really stored. Each walk goes on
// exactly at the next header, and the link stays a damaged one.
TEST(Walker, LinkEntryWithoutATargetIsFollowedByTheNextMember) {
  struct Case {
    uint32_t size;
    std::string stored;
    bool member_after;
  };
  for (const Case& c : {Case{0, "", true}, Case{12, "", true}, Case{12, "", false}, Case{11, "../a/target", true}}) {
    Fields f;
    f.method = "-lhd-";
    f.packed = f.original = c.size;
    Bytes archive = test::Level0(f, "nolink", test::UnixExtension(777777777, 0120777, 1000, 1000));
    MemberHeader link;
    ASSERT_TRUE(ParseHeader(archive, 0, &link).ok());
    EXPECT_TRUE(link.symlink_damaged);
    test::AddText(&archive, c.stored);
    if (c.member_after) test::Append(&archive, StoredMember("after.txt", "after"));
    archive.push_back(0);
    Walk w = WalkAll(archive);
    EXPECT_TRUE(w.status.ok()) << w.status.message() << " size " << c.size << " stored " << c.stored.size();
    EXPECT_EQ(w.names, (c.member_after ? std::vector<std::string>{"nolink", "after.txt"}
                                       : std::vector<std::string>{"nolink"}));
    EXPECT_EQ(w.end_offset, archive.size() - 1);
  }
}

// An executable stub: "MZ", text that looks like method ids but is no
// header, then the archive.
Bytes SelfExtractor(size_t stub_size, const Bytes& archive) {
  Bytes b(stub_size, 0x90);
  b[0] = 'M';
  b[1] = 'Z';
  std::string decoy = "xx-lh5-decoy text with -lh0- inside and zeros";
  std::copy(decoy.begin(), decoy.end(), b.begin() + 100);
  test::Append(&b, archive);
  return b;
}

TEST(Walker, FindsTheArchiveInASelfExtractor) {
  Bytes archive = TwoMembers();
  archive.push_back(0);
  for (size_t stub : {size_t{1000}, size_t{0xD000}, size_t{kSelfExtractorSearchBytes - 30}}) {
    Walk w = WalkAll(SelfExtractor(stub, archive));
    ASSERT_TRUE(w.status.ok()) << stub;
    EXPECT_TRUE(w.self_extracting);
    EXPECT_EQ(w.archive_offset, stub);
    EXPECT_EQ(w.names, (std::vector<std::string>{"one", "two"}));
  }
}

TEST(Walker, SelfExtractorCarryingTwoArchivesShowsBoth) {
  Bytes help = StoredMember("help.txt", "how to use");
  help.push_back(0);
  Bytes payload = StoredMember("payload", "the real thing", 2);
  payload.push_back(0);
  Bytes both = help;
  both.insert(both.end(), 3000, 0x4E);  // more program code between them
  test::Append(&both, payload);
  Walk w = WalkAll(SelfExtractor(2000, both));
  ASSERT_TRUE(w.status.ok());
  EXPECT_EQ(w.names, (std::vector<std::string>{"help.txt", "payload"}));
  EXPECT_EQ(w.end_offset, 2000 + both.size() - 1);
}

TEST(Walker, ArchiveBeyondTheSearchRangeIsNotFound) {
  Walk w = WalkAll(SelfExtractor(kSelfExtractorSearchBytes + 10, TwoMembers()));
  EXPECT_STREQ(w.status.message(), "not an LZH archive");
}

TEST(Walker, SelfExtractorWithLevel2HeaderWithoutCrc) {
  Fields f;
  f.packed = f.original = 4;
  Bytes archive = test::Level23(2, f, 0, 'a', {{0x01, "atari"}}, false);
  test::AddText(&archive, "data");
  Walk w = WalkAll(SelfExtractor(5000, archive));
  ASSERT_TRUE(w.status.ok());
  EXPECT_EQ(w.names, std::vector<std::string>{"atari"});
}

}  // namespace
}  // namespace lzh
