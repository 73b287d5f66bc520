// Member data through ExtractMemberData: what a damaged or unreadable
// member reports.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "format/member_data.h"
#include "tests/format/header_bytes.h"
#include "tests/format/memory_sink.h"
#include "tests/format/test_data.h"

namespace lzh {
namespace {

// A one-member level-0 archive of `bytes` packed with `method`.
std::vector<uint8_t> OneMember(Method method, const std::vector<uint8_t>& bytes) {
  MemoryOutput output;
  ArchiveWriter writer(output, 0);
  MemberHeader h;
  h.method = method;
  h.original_size = bytes.size();
  h.path = {"m"};
  MemoryInput input(bytes);
  EXPECT_TRUE(writer.AddMember(&h, input).ok());
  EXPECT_TRUE(writer.Finish().ok());
  return output.bytes();
}

Status Extract(const std::vector<uint8_t>& archive, test::MemorySink* sink) {
  MemoryReader reader(archive);
  ArchiveWalker walker(reader);
  LZH_TRY(walker.Open());
  MemberHeader h;
  bool end = false;
  LZH_TRY(walker.Next(&h, &end));
  return ExtractMemberData(reader, h, *sink);
}

void FixLevel0Checksum(std::vector<uint8_t>* archive) {
  (*archive)[1] = test::Checksum(*archive, 2, static_cast<size_t>((*archive)[0]) + 2);
}

TEST(MemberData, ChangedDataIsACrcMismatch) {
  std::vector<uint8_t> text = test::TextBytes(3000, 8);
  for (Method method : {Method::kLh0, Method::kLh5}) {
    std::vector<uint8_t> archive = OneMember(method, text);
    size_t header_size = static_cast<size_t>(archive[0]) + 2;
    if (method == Method::kLh0) archive[header_size + 100] ^= 1;
    else archive[header_size - 2] ^= 1;  // the stored CRC
    FixLevel0Checksum(&archive);
    test::MemorySink sink;
    EXPECT_STREQ(Extract(archive, &sink).message(), "CRC mismatch");
  }
}

TEST(MemberData, PackedSizeShorterThanTheStreamIsTruncatedData) {
  std::vector<uint8_t> archive = OneMember(Method::kLh5, test::TextBytes(50000, 9));
  uint32_t packed = archive[7] | (archive[8] << 8) | (archive[9] << 16);
  packed /= 2;
  archive[7] = static_cast<uint8_t>(packed);
  archive[8] = static_cast<uint8_t>(packed >> 8);
  archive[9] = static_cast<uint8_t>(packed >> 16);
  FixLevel0Checksum(&archive);
  test::MemorySink sink;
  Status s = Extract(archive, &sink);
  EXPECT_FALSE(s.ok());
  EXPECT_LT(sink.bytes.size(), 50000u);
}

TEST(MemberData, OriginalSizeLargerThanTheStreamDeliversFails) {
  std::vector<uint8_t> archive = OneMember(Method::kLh0, test::TextBytes(100, 10));
  archive[11] = 200;  // original size 200, only 100 stored
  FixLevel0Checksum(&archive);
  test::MemorySink sink;
  EXPECT_FALSE(Extract(archive, &sink).ok());
}

TEST(MemberData, RareMethodsAreUnsupportedByName) {
  test::Fields f;
  f.method = "-pm2-";
  f.packed = f.original = 3;
  std::vector<uint8_t> archive = test::Level0(f, "x");
  test::AddText(&archive, "abc");
  test::MemorySink sink;
  Status s = Extract(archive, &sink);
  EXPECT_EQ(s.fault(), Fault::kUnsupported);
  EXPECT_STREQ(s.message(), "unsupported method -pm2-");
  archive[3] = 'q';  // "-qm2-": no name to give
  FixLevel0Checksum(&archive);
  EXPECT_STREQ(Extract(archive, &sink).message(), "unsupported method");
}

TEST(MemberData, DirectoryEntriesHaveNoData) {
  test::Fields f;
  f.method = "-lhd-";
  test::MemorySink sink;
  EXPECT_TRUE(Extract(test::Level0(f, "d\\"), &sink).ok());
  EXPECT_TRUE(sink.bytes.empty());
}

}  // namespace
}  // namespace lzh
