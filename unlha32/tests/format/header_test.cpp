// Header parsing and writing: round trips through the writer, hand-made
// headers for what our writer never produces (level 3, odd writers' habits,
// every extended header), and damaged headers named after their fault.
// Through the format layer: most of these fields (owners, comments,
// Windows times, stored name forms) never reach the exported functions.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/format/header_bytes.h"
#include "format/header_parser.h"
#include "format/header_writer.h"

namespace lzh {
namespace {

using test::Bytes;
using test::Ext;
using test::Fields;

Status Parse(const Bytes& bytes, MemberHeader* h) { return ParseHeader(bytes, 0, h); }

MemberHeader Parsed(const Bytes& bytes) {
  MemberHeader h;
  Status s = Parse(bytes, &h);
  EXPECT_TRUE(s.ok()) << s.message();
  return h;
}

MemberHeader SampleMember() {
  MemberHeader h;
  h.method = Method::kLh5;
  h.packed_size = 1234;
  h.original_size = 56789;
  h.crc = 0xBEEF;
  h.mtime = 1500000000;  // even seconds survive the MS-DOS stamp
  h.os_id = 'U';
  h.has_unix_mode = true;
  h.unix_mode = 0100644;
  h.has_unix_ids = true;
  h.uid = 1000;
  h.gid = 100;
  h.user = "alice";
  h.group = "users";
  h.has_code_page = true;
  h.code_page = 65001;
  h.comment = "a comment";
  h.path = {"dir", "sub", "file.txt"};
  return h;
}

Bytes Built(const MemberHeader& h, int level, bool wide = false) {
  Bytes out;
  Status s = BuildHeader(h, level, wide, &out);
  EXPECT_TRUE(s.ok()) << s.message();
  return out;
}

TEST(HeaderRoundTrip, EveryFieldSurvivesEachWrittenLevel) {
  for (int level = 0; level <= 2; ++level) {
    SCOPED_TRACE(level);
    MemberHeader in = SampleMember();
    Bytes bytes = Built(in, level);
    MemberHeader out = Parsed(bytes);
    EXPECT_EQ(out.level, level);
    EXPECT_EQ(out.method, Method::kLh5);
    EXPECT_EQ(out.MethodText(), "-lh5-");
    EXPECT_EQ(out.packed_size, in.packed_size);
    EXPECT_EQ(out.original_size, in.original_size);
    EXPECT_EQ(out.crc, in.crc);
    EXPECT_TRUE(out.mtime_valid);
    EXPECT_EQ(out.mtime, in.mtime);
    EXPECT_EQ(out.path, in.path);
    EXPECT_EQ(out.attribute, kAttributeArchive);
    EXPECT_EQ(out.os_id, 'U');
    EXPECT_TRUE(out.has_unix_mode);
    EXPECT_EQ(out.unix_mode, in.unix_mode);
    EXPECT_EQ(out.uid, in.uid);
    EXPECT_EQ(out.gid, in.gid);
    EXPECT_FALSE(out.is_directory);
    EXPECT_FALSE(out.is_symlink);
    EXPECT_EQ(out.header_length, bytes.size());
    EXPECT_EQ(out.data_offset, bytes.size());
    if (level == 0) {
      EXPECT_EQ(out.stored_name, "dir\\sub\\file.txt");
    } else {
      EXPECT_EQ(out.user, "alice");
      EXPECT_EQ(out.group, "users");
      EXPECT_EQ(out.code_page, 65001u);
      EXPECT_EQ(out.name_encoding, NameEncoding::kUtf8);
      EXPECT_EQ(out.comment, "a comment");
      EXPECT_EQ(out.stored_directory, "dir\xFFsub\xFF");
      EXPECT_EQ(out.stored_name, "file.txt");
    }
    if (level == 2) {
      EXPECT_TRUE(out.has_header_crc);
    }
  }
}

// Read-only, hidden and system come back at every level, while the base
// byte of levels 1 and 2 stays 0x20: one common reader refuses any other.
TEST(HeaderRoundTrip, AttributesSurviveEachLevelBehindTheBaseByteReadersWant) {
  for (int level = 0; level <= 2; ++level) {
    for (bool directory : {false, true}) {
      SCOPED_TRACE(std::to_string(level) + (directory ? " directory" : " file"));
      MemberHeader in = SampleMember();
      in.attribute = 0x27;
      in.is_directory = directory;
      if (directory) in.method = Method::kLhd;
      Bytes bytes = Built(in, level);
      EXPECT_EQ(Parsed(bytes).attribute & 0x27, directory ? 0x07 : 0x27);
      EXPECT_EQ(bytes[19], level > 0 ? 0x20 : directory ? 0x17 : 0x27);
    }
  }
}

TEST(HeaderRoundTrip, SizesOf4GiBNeedLevel2) {
  MemberHeader h = SampleMember();
  h.packed_size = (uint64_t{5} << 30) + 7;
  h.original_size = (uint64_t{6} << 30) + 9;
  MemberHeader out = Parsed(Built(h, 2));
  EXPECT_EQ(out.packed_size, h.packed_size);
  EXPECT_EQ(out.original_size, h.original_size);
  Bytes bytes;
  EXPECT_EQ(BuildHeader(h, 0, false, &bytes).fault(), Fault::kTooLarge);
  EXPECT_EQ(BuildHeader(h, 1, false, &bytes).fault(), Fault::kTooLarge);
}

TEST(HeaderRoundTrip, Level2TotalSizeNeverEndsInAZeroByte) {
  // Some name length puts the plain total size on a multiple of 256; the
  // 0x00 extended header then grows to 6 bytes.
  bool grown = false;
  for (size_t n = 1; n < 300; ++n) {
    MemberHeader h = SampleMember();
    h.path = {std::string(n, 'x')};
    Bytes bytes = Built(h, 2);
    EXPECT_NE(bytes[0], 0) << n;
    EXPECT_EQ(bytes.size(), static_cast<size_t>(bytes[0] | (bytes[1] << 8)));
    EXPECT_EQ(Parsed(bytes).path, h.path);
    if (bytes[24] == 6) grown = true;
  }
  EXPECT_TRUE(grown);
}

// --- Hand-made headers: what other writers produce ---

TEST(HeaderVectors, Level3WithEveryExtendedHeader) {
  Fields f;
  f.method = "-lh7-";
  f.packed = 10;
  f.original = 20;
  std::vector<Ext> exts = {
      {0x01, "name.txt"},
      {0x02, std::string("\xFF" "top\xFF" "sub", 8)},
      {0x3F, "comment"},
      test::Ext16(0x40, 0x21),
      {0x41, std::string(24, '\x01')},
      test::Ext32(0x46, 1252),
      test::Ext16(0x50, 0100600),
      test::Ext32(0x51, (2000u << 16) | 50u),  // gid 50, uid 2000
      {0x52, "staff"},
      {0x53, "bob"},
      test::Ext32(0x54, 1234567890),
      {0x7F, "unknown kind"},
  };
  MemberHeader h = Parsed(test::Level23(3, f, 1600000000, 'U', exts));
  EXPECT_EQ(h.level, 3);
  EXPECT_EQ(h.method, Method::kLh7);
  EXPECT_TRUE(h.has_header_crc);
  EXPECT_EQ(h.path, (std::vector<std::string>{"top", "sub", "name.txt"}));
  EXPECT_EQ(h.comment, "comment");
  EXPECT_EQ(h.attribute, 0x21);
  EXPECT_TRUE(h.has_windows_times);
  EXPECT_EQ(h.write_time, 0x0101010101010101ull);
  EXPECT_EQ(h.code_page, 1252u);
  EXPECT_EQ(h.name_encoding, NameEncoding::kUnknown);
  EXPECT_EQ(h.unix_mode, 0100600);
  EXPECT_EQ(h.uid, 2000);
  EXPECT_EQ(h.gid, 50);
  EXPECT_EQ(h.group, "staff");
  EXPECT_EQ(h.user, "bob");
  EXPECT_EQ(h.mtime, 1600000000);  // the base header's Unix time
  EXPECT_EQ(h.packed_size, 10u);
}

TEST(HeaderVectors, Level3With64BitSizes) {
  Fields f;
  Bytes sizes;
  test::Add64(&sizes, uint64_t{1} << 33);
  test::Add64(&sizes, uint64_t{3} << 32);
  MemberHeader h = Parsed(test::Level23(3, f, 0, 'U', {{0x01, "big"}, {0x42, std::string(sizes.begin(), sizes.end())}}));
  EXPECT_EQ(h.packed_size, uint64_t{1} << 33);
  EXPECT_EQ(h.original_size, uint64_t{3} << 32);
}

TEST(HeaderVectors, Level1WithHeaderCrcAndUnixTime) {
  Fields f;
  f.packed = 5;
  Bytes bytes = test::Level1(f, "x.c", 'A', {{0x02, "src"}, test::Ext32(0x54, 1000000000)}, true);
  MemberHeader h = Parsed(bytes);
  EXPECT_TRUE(h.has_header_crc);
  EXPECT_EQ(h.packed_size, 5u);  // skip size minus the extended headers
  EXPECT_EQ(h.mtime, 1000000000);
  EXPECT_EQ(h.dos_time, f.time);
  EXPECT_EQ(h.path, (std::vector<std::string>{"src", "x.c"}));
  EXPECT_EQ(h.data_offset, bytes.size());
}

TEST(HeaderVectors, Level2WithoutHeaderCrcIsAccepted) {
  MemberHeader h = Parsed(test::Level23(2, Fields{}, 5, 'a', {{0x01, "atari.prg"}}, false));
  EXPECT_FALSE(h.has_header_crc);
  EXPECT_EQ(h.path, std::vector<std::string>{"atari.prg"});
  EXPECT_EQ(h.mtime, 5);
}

TEST(HeaderVectors, Level2TotalSizeTwoShortTakesTheChainEnd) {
  Bytes bytes = test::Level23(2, Fields{}, 0, 'K', {{0x01, "os9k"}}, false, -2);
  MemberHeader h = Parsed(bytes);
  EXPECT_EQ(h.header_length, bytes.size());
}

TEST(HeaderVectors, Level2PaddingByteTakesTheStatedSize) {
  Bytes bytes = test::Level23(2, Fields{}, 0, '9', {{0x01, "os9"}}, true, 0, 1);
  MemberHeader h = Parsed(bytes);
  EXPECT_EQ(h.header_length, bytes.size());
  EXPECT_TRUE(h.has_header_crc);
}

TEST(HeaderVectors, HeaderCrcWithExtraIgnoredBytes) {
  // Writers commonly give 0x00 three more bytes; the CRC still covers them.
  std::vector<Ext> exts = {{0x00, std::string(5, '\0')}, {0x01, "f"}};
  Bytes bytes = test::Level23(2, Fields{}, 0, 'W', exts, false);
  uint16_t crc = Crc16(0, bytes.data(), bytes.size());
  bytes[27] = static_cast<uint8_t>(crc);
  bytes[28] = static_cast<uint8_t>(crc >> 8);
  EXPECT_TRUE(Parsed(bytes).has_header_crc);
}

TEST(HeaderVectors, Level0UnixExtensionWinsOverTheDosStamp) {
  MemberHeader h = Parsed(test::Level0(Fields{}, "tool", test::UnixExtension(777777777, 0100755, 10, 20)));
  EXPECT_EQ(h.os_id, 'U');
  EXPECT_EQ(h.mtime, 777777777);
  EXPECT_EQ(h.unix_mode, 0100755);
  EXPECT_EQ(h.uid, 10);
  EXPECT_EQ(h.gid, 20);
}

TEST(HeaderVectors, InvalidDosStampStillLists) {
  Fields f;
  f.time = 0;
  MemberHeader h = Parsed(test::Level0(f, "old"));
  EXPECT_FALSE(h.mtime_valid);
  EXPECT_TRUE(h.has_dos_time);
}

TEST(HeaderVectors, AmigaCommentAfterANulInALevel0Name) {
  MemberHeader h = Parsed(test::Level0(Fields{}, std::string("Dir/readme\0Read me first", 24)));
  EXPECT_EQ(h.path, (std::vector<std::string>{"Dir", "readme"}));
  EXPECT_EQ(h.comment, "Read me first");
}

// How a name's bytes split into a path, by level, system and code page:
// '\' and '/' and 0xFF separate, but not as the second byte of a Shift_JIS
// (or GBK) character, nor in a Unix name of valid UTF-8; UTF-16 forms win
// over the byte forms; a link's target follows its '|'.
TEST(HeaderVectors, NamesSplitIntoThePathTheirSystemMeant) {
  using Path = std::vector<std::string>;
  Fields dir;
  dir.method = "-lhd-";
  const Ext link = test::Ext16(0x50, 0120777);
  const std::string sjis = "\x95\x5C\\\x95\x5C.txt";  // 0x95 0x5C is one character
  const struct {
    const char* what;
    Bytes bytes;
    Path path;
    std::string link_target;
  } cases[] = {
      {"level-1 whole path", test::Level1(Fields{}, "a\\b/c.txt", 'M', {}), {"a", "b", "c.txt"}},
      {"level-0 directory", test::Level0(dir, "docs\\old\\"), {"docs", "old"}},
      {"level-1 directory", test::Level1(dir, "", 'H', {{0x02, "subdir\xFFsubdir2\xFF"}}), {"subdir", "subdir2"}},
      {"empty directory", test::Level0(dir, ""), {}},
      {"pipe inside the directory", test::Level1(dir, "b", 'U', {{0x02, "dir\xFFlink|..\xFF" "a\xFF"}, link}),
       {"dir", "link"}, "../a/b"},
      {"level-0 Shift_JIS", test::Level0(Fields{}, sjis), {"\x95\x5C", "\x95\x5C.txt"}},
      {"code page 932", test::Level23(2, Fields{}, 0, 'U', {{0x01, sjis}, test::Ext32(0x46, 932)}),
       {"\x95\x5C", "\x95\x5C.txt"}},
      {"Windows", test::Level1(Fields{}, sjis, 'W', {}), {"\x95\x5C", "\x95\x5C.txt"}},
      {"Unix without a code page", test::Level1(Fields{}, sjis, 'U', {}), {"\x95", "\x95", ".txt"}},
      {"Unix UTF-8", test::Level1(Fields{}, "\xE8\xA1\xA8\\x.txt", 'U', {}), {"\xE8\xA1\xA8", "x.txt"}},
      {"GBK", test::Level1(Fields{}, "\x81\x5C\\x", 'W', {test::Ext32(0x46, 936)}), {"\x81\x5C", "x"}},
      {"Shift_JIS second byte '|'", test::Level1(dir, "\x83\x7C|t", 'M', {link}), {"\x83\x7C"}, "t"},
      {"UTF-16 forms", test::Level23(2, Fields{}, 0, 'W', {{0x01, "_.txt"}, {0x02, "__\xFF"},
                                                           {0x44, test::Utf16({0x00E9, '.', 't', 'x', 't'})},
                                                           {0x45, test::Utf16({0x65E5, 0xD83D, 0xDE00, 0xFFFF, 'b', 0xFFFF})}}),
       {"\xE6\x97\xA5\xF0\x9F\x98\x80", "b", "\xC3\xA9.txt"}},
      {"unpaired surrogate", test::Level23(2, Fields{}, 0, 'W', {{0x44, test::Utf16({0xD800, 'a'})}}),
       {"\xEF\xBF\xBD" "a"}},
  };
  for (const auto& c : cases) {
    MemberHeader h = Parsed(c.bytes);
    EXPECT_EQ(h.path, c.path) << c.what;
    EXPECT_EQ(h.link_target, c.link_target) << c.what;
    EXPECT_EQ(h.is_directory, c.bytes[4] == 'h' && c.bytes[5] == 'd' && c.link_target.empty()) << c.what;
  }
  MemberHeader damaged = Parsed(test::Level23(2, dir, 0, 'U', {{0x01, "nolink"}, link}));  // no '|'

  EXPECT_TRUE(damaged.is_symlink && damaged.symlink_damaged);
}

TEST(HeaderVectors, RareMethodsAreListedByName) {
  Fields f;
  f.method = "-pm2-";
  MemberHeader h = Parsed(test::Level0(f, "x"));
  EXPECT_EQ(h.method, Method::kOther);
  EXPECT_EQ(h.MethodText(), "-pm2-");
}

// --- Damaged headers ---

std::vector<Bytes> ValidHeadersOfEveryLevel() {
  Fields f;
  return {
      test::Level0(f, "name.txt"),
      test::Level1(f, "name.txt", 'U', {{0x02, "d\xFF"}, test::Ext16(0x50, 0644)}, true),
      test::Level23(2, f, 0, 'U', {{0x01, "name.txt"}, {0x02, "d\xFF"}}),
      test::Level23(3, f, 0, 'U', {{0x01, "name.txt"}}),
  };
}

TEST(HeaderFaults, TruncatedAtEveryLength) {
  for (const Bytes& full : ValidHeadersOfEveryLevel()) {
    MemberHeader whole;
    ASSERT_TRUE(Parse(full, &whole).ok());
    for (size_t n = 0; n < full.size(); ++n) {
      Bytes cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
      MemberHeader h;
      Status s = Parse(cut, &h);
      EXPECT_FALSE(s.ok()) << "level " << int(full[20]) << " cut at " << n;
      EXPECT_EQ(s.fault(), Fault::kTruncated) << s.message() << " at " << n;
    }
  }
}

// A level-2 header whose first extended header announces `size`.
Bytes Level2WithFirstExtensionSize(uint16_t size) {
  Bytes bytes = test::Level23(2, Fields{}, 0, 'U', {{0x01, "abc"}}, false);
  bytes[24] = static_cast<uint8_t>(size);
  bytes[25] = static_cast<uint8_t>(size >> 8);
  return bytes;
}

TEST(HeaderFaults, ExtendedHeaderSizeZeroEndsTheChain) {
  MemberHeader h;
  EXPECT_TRUE(Parse(Level2WithFirstExtensionSize(0), &h).ok());
  EXPECT_TRUE(h.path.empty());
}

TEST(HeaderFaults, ExtendedHeaderRunsPastTheEndOfTheInput) {
  MemberHeader h;
  EXPECT_EQ(Parse(Level2WithFirstExtensionSize(0x7000), &h).fault(), Fault::kTruncated);
  Bytes big(kMaxHeaderBytes + 100, 0);
  Bytes head = Level2WithFirstExtensionSize(0xFFFF);
  std::copy(head.begin(), head.end(), big.begin());
  // The chain may run past the stated total, not past the sane maximum.
  big[26 + 0xFFFF - 2] = 0xFF;
  big[26 + 0xFFFF - 1] = 0xFF;
  EXPECT_STREQ(Parse(big, &h).message(), "header too large");
}

// One field of a valid level-0 header made wrong (the checksum set right).
TEST(HeaderFaults, BadFieldsAreNamed) {
  const struct {
    size_t at;
    uint8_t value;
    const char* message;
  } cases[] = {{21, 200, "bad header size"}, {2, 'x', "bad method id"}, {20, 4, "unknown header level"}};
  for (const auto& c : cases) {
    Bytes bytes = test::Level0(Fields{}, "abcdef");
    bytes[c.at] = c.value;
    bytes[1] = test::Checksum(bytes, 2, bytes.size());
    MemberHeader h;
    EXPECT_STREQ(Parse(bytes, &h).message(), c.message);
  }
}

}  // namespace
}  // namespace lzh
