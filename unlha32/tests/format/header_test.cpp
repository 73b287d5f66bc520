// Header parsing and writing: round trips through the writer, hand-made
// headers for what our writer never produces (level 3, odd writers' habits,
// every extended header), and damaged headers named after their fault.
// Through the format layer: most of these fields (owners, comments,
// Windows times, stored name forms) never reach the exported functions.
// A header is compared as one line of all its fields, so that each case
// states every field and a failure shows the one that went wrong.
#include <gtest/gtest.h>

#include <sstream>

#include "format/header_parser.h"
#include "format/header_writer.h"
#include "tests/format/header_bytes.h"

namespace lzh {
namespace {

using test::Bytes;
using test::Ext;
using test::Fields;

// Method, level, sizes, CRC, mode, time ("!" when invalid), attribute,
// system, ids and owners, code page, name encoding, comment, path, then
// what only some headers have.
std::string Summary(const MemberHeader& h) {
  std::string path;
  for (const std::string& part : h.path) path += "/" + part;
  std::ostringstream s;
  s << h.MethodText() << int(h.method) << " L" << int{h.level} << " " << h.packed_size << "/"
    << h.original_size << std::hex << " crc" << h.crc << " a" << int{h.attribute} << std::oct
    << " m" << h.unix_mode << std::dec << " t" << h.mtime << (h.mtime_valid ? "" : "!") << " "
    << char(h.os_id ? h.os_id : '-') << " " << h.uid << ":" << h.gid << " " << h.user << ":"
    << h.group << " cp" << h.code_page << " e" << int(h.name_encoding) << " '" << h.comment << "' "
    << path << (h.is_directory ? " dir" : "") << (h.is_symlink ? " -> " + h.link_target : "")
    << (h.has_header_crc ? " hcrc" : "") << std::hex;
  if (h.has_dos_time) s << " dos" << h.dos_time;
  if (h.has_windows_times) s << " win" << h.write_time;
  return s.str();
}

MemberHeader Parsed(const Bytes& bytes) {
  MemberHeader h;
  Status s = ParseHeader(bytes, 0, &h);
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
  h.has_unix_mode = h.has_unix_ids = h.has_code_page = true;
  h.unix_mode = 0100644;
  h.uid = 1000;
  h.gid = 100;
  h.user = "alice";
  h.group = "users";
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

// A level-2 header whose first extended header announces `size`.
Bytes Level2WithFirstExtensionSize(uint16_t size) {
  Bytes bytes = test::Level23(2, Fields{}, 0, 'U', {{0x01, "abc"}}, false);
  bytes[24] = static_cast<uint8_t>(size);
  bytes[25] = static_cast<uint8_t>(size >> 8);
  return bytes;
}

// Every field comes back at every level that has room for it (sizes past
// 4 GiB only at level 2); read-only, hidden and system too, while the base
// byte of levels 1 and 2 stays 0x20: one common reader refuses any other.
TEST(HeaderRoundTrip, EveryFieldSurvivesEachWrittenLevel) {
  for (int level = 0; level <= 2; ++level) {
    for (bool directory : {false, true}) {
      SCOPED_TRACE(std::to_string(level) + (directory ? " directory" : " file"));
      MemberHeader in = SampleMember();
      in.attribute = 0x27;
      in.is_directory = directory;
      if (directory) in.method = Method::kLhd;
      MemberHeader big = in;
      big.packed_size = (uint64_t{5} << 30) + 7;
      big.original_size = (uint64_t{6} << 30) + 9;
      Bytes bytes;
      EXPECT_EQ(BuildHeader(big, level, false, &bytes).fault(),
                level < 2 ? Fault::kTooLarge : Fault::kNone);
      if (level == 2) in = big;
      bytes = Built(in, level);
      MemberHeader out = Parsed(bytes);
      EXPECT_EQ(out.attribute & 0x27, directory ? 0x07 : 0x27);
      EXPECT_EQ(bytes[19], level > 0 ? 0x20 : directory ? 0x17 : 0x27);
      EXPECT_EQ(out.data_offset, bytes.size());
      EXPECT_EQ(out.header_length, bytes.size());
      MemberHeader want = in;
      want.level = static_cast<uint8_t>(level);
      want.mtime_valid = true;
      want.attribute = out.attribute;
      want.dos_time = out.dos_time;
      want.has_dos_time = out.has_dos_time;
      want.has_header_crc = level == 2;
      want.method_id = out.method_id;
      want.name_encoding = NameEncoding::kUtf8;
      if (level == 0) {
        want.user = want.group = want.comment = "";
        want.code_page = 0;
      }
      EXPECT_EQ(Summary(out), Summary(want));
    }
  }
}

// Some name length puts the plain total size on a multiple of 256; the
// 0x00 extended header then grows to 6 bytes, or the header's first byte
// would read as the archive's end.
TEST(HeaderRoundTrip, Level2TotalSizeNeverEndsInAZeroByte) {
  for (size_t n = 1; n < 300; ++n) {
    MemberHeader h = SampleMember();
    h.path = {std::string(n, 'x')};
    Bytes bytes = Built(h, 2);
    EXPECT_NE(bytes[0], 0) << n;
    EXPECT_EQ(bytes.size(), static_cast<size_t>(bytes[0] | (bytes[1] << 8)));
    EXPECT_EQ(Parsed(bytes).path, h.path);
  }
}

// Headers of other writers, each with all it must give; every one ends
// where its data starts.
TEST(HeaderVectors, OtherWritersHeadersGiveEveryField) {
  Fields f;
  f.method = "-lh7-";
  f.packed = 10;
  f.original = 20;
  Bytes sizes;
  test::Add64(&sizes, uint64_t{1} << 33);
  test::Add64(&sizes, uint64_t{3} << 32);
  const std::vector<Ext> every_extension = {
      {0x01, "name.txt"},
      {0x42, std::string(sizes.begin(), sizes.end())},
      {0x02, "\xFFtop\xFFsub"},
      {0x3F, "comment"},
      test::Ext16(0x40, 0x21),
      {0x41, std::string(24, '\x01')},
      test::Ext32(0x46, 1252),
      test::Ext16(0x50, 0100600),
      test::Ext32(0x51, (2000u << 16) | 50u),  // gid 50, uid 2000
      {0x52, "staff"},
      {0x53, "bob"},
      test::Ext32(0x54, 1234567890),  // loses to the base header's Unix time
      {0x7F, "unknown kind"},
  };
  // Writers commonly give 0x00 three more bytes; the CRC still covers them.
  Bytes long_crc =
      test::Level23(2, Fields{}, 0, 'W', {{0x00, std::string(5, '\0')}, {0x01, "f"}}, false);
  test::FillHeaderCrc(&long_crc, 27);
  Fields no_time, pm2;
  no_time.time = 0;
  pm2.method = "-pm2-";
  const struct {
    const char* what;
    Bytes bytes;
    std::string summary;
  } cases[] = {
      {"level 3, every extended header", test::Level23(3, f, 1600000000, 'U', every_extension),
       "-lh7-6 L3 8589934592/12884901888 crc1234 a21 m100600 t1600000000 U 2000:50 bob:staff "
       "cp1252 e0 "
       "'comment' /top/sub/name.txt hcrc win101010101010101"},
      {"level 1, header CRC, Unix time",
       test::Level1(f, "x.c", 'A', {{0x02, "src"}, test::Ext32(0x54, 1000000000)}, true),
       "-lh7-6 L1 10/20 crc1234 a20 m0 t1000000000 A 0:0 : cp0 e2 '' /src/x.c hcrc "
       "dos4a215c00"},
      {"level 2, total size 2 short",
       test::Level23(2, Fields{}, 0, 'K', {{0x01, "os9k"}}, false, -2),
       "-lh0-0 L2 0/0 crc1234 a20 m0 t0 K 0:0 : cp0 e2 '' /os9k"},
      {"level 2, a padding byte", test::Level23(2, Fields{}, 0, '9', {{0x01, "os9"}}, true, 0, 1),
       "-lh0-0 L2 0/0 crc1234 a20 m0 t0 9 0:0 : cp0 e2 '' /os9 hcrc"},
      {"level 2, 0x00 of 5 bytes", long_crc,
       "-lh0-0 L2 0/0 crc1234 a20 m0 t0 W 0:0 : cp0 e1 '' /f hcrc"},
      {"level 0, Unix extension",
       test::Level0(Fields{}, "tool", test::UnixExtension(777777777, 0100755, 10, 20)),
       "-lh0-0 L0 0/0 crc1234 a20 m100755 t777777777 U 10:20 : cp0 e2 '' /tool dos4a215c00"},
      {"level 0, no valid stamp", test::Level0(no_time, "old"),
       "-lh0-0 L0 0/0 crc1234 a20 m0 t0! - 0:0 : cp0 e1 '' /old dos0"},
      {"level 0, Amiga comment",
       test::Level0(Fields{}, std::string("Dir/readme\0Read me first", 24)),
       "-lh0-0 L0 0/0 crc1234 a20 m0 t1483270320 - 0:0 : cp0 e1 'Read me first' /Dir/readme "
       "dos4a215c00"},
      {"rare method", test::Level0(pm2, "x"),
       "-pm2-10 L0 0/0 crc1234 a20 m0 t1483270320 - 0:0 : cp0 e1 '' /x dos4a215c00"},
  };
  for (const auto& c : cases) {
    MemberHeader h = Parsed(c.bytes);
    EXPECT_EQ(Summary(h), c.summary) << c.what;
    EXPECT_EQ(h.data_offset, c.bytes.size()) << c.what;
  }
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
  auto level1 = [](const std::string& name, uint8_t os, std::vector<Ext> exts = {}) {
    return test::Level1(Fields{}, name, os, std::move(exts));
  };
  auto level2 = [](uint8_t os, std::vector<Ext> exts) {
    return test::Level23(2, Fields{}, 0, os, std::move(exts));
  };
  const struct {
    const char* what;
    Bytes bytes;
    Path path;
    std::string link_target;
  } cases[] = {
      {"level-0 directory", test::Level0(dir, "docs\\old\\"), {"docs", "old"}},
      {"empty directory", test::Level0(dir, ""), {}},
      {"pipe inside the directory",
       test::Level1(dir, "b", 'U', {{0x02, "dir\377link|..\377a\377"}, link}),
       {"dir", "link"},
       "../a/b"},
      {"level-0 Shift_JIS", test::Level0(Fields{}, sjis), {"\x95\x5C", "\x95\x5C.txt"}},
      {"code page 932",
       level2('U', {{0x01, sjis}, test::Ext32(0x46, 932)}),
       {"\x95\x5C", "\x95\x5C.txt"}},
      {"Windows", level1(sjis, 'W'), {"\x95\x5C", "\x95\x5C.txt"}},
      {"Unix without a code page", level1(sjis, 'U'), {"\x95", "\x95", ".txt"}},
      {"Unix UTF-8", level1("\xE8\xA1\xA8\\x.txt", 'U'), {"\xE8\xA1\xA8", "x.txt"}},
      {"GBK", level1("\x81\x5C\\x", 'W', {test::Ext32(0x46, 936)}), {"\x81\x5C", "x"}},
      {"Shift_JIS second byte '|'",
       test::Level1(dir, "\x83\x7C|t", 'M', {link}),
       {"\x83\x7C"},
       "t"},
      {"UTF-16 forms",
       level2('W', {{0x01, "_.txt"},
                    {0x02, "__\xFF"},
                    {0x44, test::Utf16({0x00E9, '.', 't', 'x', 't'})},
                    {0x45, test::Utf16({0x65E5, 0xD83D, 0xDE00, 0xFFFF, 'b', 0xFFFF})}}),
       {"\xE6\x97\xA5\xF0\x9F\x98\x80", "b", "\xC3\xA9.txt"}},
      {"unpaired surrogate", level2('W', {{0x44, test::Utf16({0xD800, 'a'})}}), {"\357\277\275a"}},
      {"extended header size 0 ends the chain", Level2WithFirstExtensionSize(0), {}},
  };
  for (const auto& c : cases) {
    MemberHeader h = Parsed(c.bytes);
    EXPECT_EQ(h.path, c.path) << c.what;
    EXPECT_EQ(h.link_target, c.link_target) << c.what;
    EXPECT_EQ(h.is_directory, c.bytes[4] == 'h' && c.bytes[5] == 'd' && c.link_target.empty())
        << c.what;
  }
  MemberHeader damaged = Parsed(test::Level23(2, dir, 0, 'U', {{0x01, "nolink"}, link}));  // no '|'
  EXPECT_TRUE(damaged.is_symlink && damaged.symlink_damaged);
}

// Damaged headers, each named after its fault: one field made wrong (in a
// level-0 header, its checksum set right after it; a chain may run past
// the stated total, not past the sane maximum), and a header of every
// level cut at every length.
TEST(HeaderFaults, DamagedHeadersAreNamed) {
  auto level0_with = [](size_t at, uint8_t value) {
    Bytes bytes = test::Level0(Fields{}, "abcdef");
    bytes[at] = value;
    bytes[1] = test::Checksum(bytes, 2, bytes.size());
    return bytes;
  };
  Bytes huge_chain(kMaxHeaderBytes + 100, 0);
  Bytes head = Level2WithFirstExtensionSize(0xFFFF);
  std::copy(head.begin(), head.end(), huge_chain.begin());
  huge_chain[26 + 0xFFFF - 2] = huge_chain[26 + 0xFFFF - 1] = 0xFF;
  std::vector<std::pair<Bytes, const char*>> cases = {
      {level0_with(21, 200), "bad header size"},
      {level0_with(2, 'x'), "bad method id"},
      {level0_with(20, 4), "unknown header level"},
      {Level2WithFirstExtensionSize(0x7000), "truncated header"},
      {huge_chain, "header too large"},
  };
  Fields f;
  for (const Bytes& whole :
       {test::Level0(f, "name.txt"),
        test::Level1(f, "name.txt", 'U', {{0x02, "d\xFF"}, test::Ext16(0x50, 0644)}, true),
        test::Level23(2, f, 0, 'U', {{0x01, "name.txt"}, {0x02, "d\xFF"}}),
        test::Level23(3, f, 0, 'U', {{0x01, "name.txt"}})}) {
    for (size_t n = 0; n < whole.size(); ++n)
      cases.push_back({Bytes(whole.begin(), whole.begin() + n), "truncated header"});
  }
  for (const auto& [bytes, message] : cases) {
    MemberHeader h;
    EXPECT_STREQ(ParseHeader(bytes, 0, &h).message(), message) << bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace lzh
