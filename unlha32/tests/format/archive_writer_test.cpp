// The archive writer's own paths that the commands cannot steer: the
// -lh0- fallback for what does not compress, a source that fails part-way
// through (for every method), and one that shrank between its two readings.
#include <gtest/gtest.h>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "format/member_data.h"
#include "format/output.h"
#include "os/file_stream.h"
#include "tests/format/test_data.h"

namespace lzh {
namespace {

constexpr Method kWrittenMethods[] = {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6,
                                      Method::kLh7};


MemberHeader NewMember(const std::string& name, Method method, uint64_t size) {
  MemberHeader h;
  h.method = method;
  h.original_size = size;
  h.path = {"dir", name};
  h.mtime = 1700000000;
  h.os_id = 'U';
  h.has_unix_mode = true;
  h.unix_mode = 0100644;
  return h;
}

struct ReadBack {
  MemberHeader header;
  std::vector<uint8_t> bytes;
};

std::vector<ReadBack> ReadArchive(const std::vector<uint8_t>& archive) {
  MemoryReader reader(archive);
  ArchiveWalker walker(reader);
  EXPECT_TRUE(walker.Open().ok());
  std::vector<ReadBack> members;
  for (bool end = false;;) {
    ReadBack member;
    Status s = walker.Next(&member.header, &end);
    EXPECT_TRUE(s.ok()) << s.message();
    if (!s.ok() || end) break;
    MemoryOutput sink;
    Status decoded = ExtractMemberData(reader, member.header, sink);
    EXPECT_TRUE(decoded.ok()) << member.header.PathString() << ": " << decoded.message();
    member.bytes = sink.bytes();
    members.push_back(std::move(member));
  }
  EXPECT_TRUE(walker.has_end_byte());
  EXPECT_EQ(walker.end_offset() + 1, archive.size());
  return members;
}

TEST(ArchiveRoundTrip, StoresWhatDoesNotCompress) {
  std::vector<std::pair<std::vector<uint8_t>, uint64_t>> cases = {
      {{}, 0}, {{'x'}, 1}, {test::RandomBytes(100000, 9), 100000}};
  for (auto& [bytes, stored_size] : cases) {
    MemoryOutput output;
    ArchiveWriter writer(output, 2);
    MemberHeader h = NewMember("f", Method::kLh5, bytes.size());
    MemoryInput source(bytes);
    ASSERT_TRUE(writer.AddMember(&h, source).ok());
    ASSERT_TRUE(writer.Finish().ok());
    EXPECT_EQ(h.method, Method::kLh0);
    EXPECT_EQ(h.packed_size, stored_size);
    std::vector<ReadBack> members = ReadArchive(output.bytes());
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].header.MethodText(), "-lh0-");
    EXPECT_TRUE(members[0].bytes == bytes);
    EXPECT_EQ(output.bytes().size(), members[0].header.data_offset + stored_size + 1);
  }
}

// Fails after handing out `fail_after` bytes.
class FailingInput final : public MemberInput {
 public:
  explicit FailingInput(size_t fail_after) : fail_after_(fail_after) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    LZH_REQUIRE(given_ < fail_after_, kIo, "cannot read the file");
    *got = std::min(capacity, fail_after_ - given_);
    std::fill(buffer, buffer + *got, 'q');
    given_ += *got;
    return Status::Ok();
  }
  Status Rewind() override {
    given_ = 0;
    return Status::Ok();
  }

 private:
  size_t fail_after_;
  size_t given_ = 0;
};

TEST(ArchiveWriterFaults, UnreadableSourceLeavesNoTrace) {
  for (Method method : kWrittenMethods) {
    MemoryOutput output;
    ArchiveWriter writer(output, 2);
    std::vector<uint8_t> text = test::TextBytes(5000, 4);
    MemberHeader good = NewMember("good", Method::kLh5, text.size());
    MemoryInput source(text);
    ASSERT_TRUE(writer.AddMember(&good, source).ok());
    size_t before = output.bytes().size();
    MemberHeader bad = NewMember("bad", method, 100000);
    FailingInput failing(70000);
    Status s = writer.AddMember(&bad, failing);
    EXPECT_EQ(s.fault(), Fault::kIo);
    EXPECT_EQ(output.bytes().size(), before);
    ASSERT_TRUE(writer.Finish().ok());
    std::vector<ReadBack> members = ReadArchive(output.bytes());
    ASSERT_EQ(members.size(), 1u);
    EXPECT_TRUE(members[0].bytes == text);
  }
}

// Random bytes on the first reading, a short run on the second: a file that
// shrank between compression and the stored fallback.
class ShrinkingInput final : public MemberInput {
 public:
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    const std::vector<uint8_t>& now = rewound_ ? second_ : first_;
    *got = std::min(capacity, now.size() - position_);
    std::copy(now.begin() + position_, now.begin() + position_ + *got, buffer);
    position_ += *got;
    return Status::Ok();
  }
  Status Rewind() override {
    rewound_ = true;
    position_ = 0;
    return Status::Ok();
  }

 private:
  std::vector<uint8_t> first_ = test::RandomBytes(50000, 5);
  std::vector<uint8_t> second_ = test::TextBytes(10, 5);
  bool rewound_ = false;
  size_t position_ = 0;
};

TEST(ArchiveWriterFaults, SourceThatShrankIsStoredAsItIsNow) {
  MemoryOutput output;
  ArchiveWriter writer(output, 2);
  MemberHeader h = NewMember("shrinking", Method::kLh7, 50000);
  ShrinkingInput input;
  ASSERT_TRUE(writer.AddMember(&h, input).ok());
  ASSERT_TRUE(writer.Finish().ok());
  std::vector<ReadBack> members = ReadArchive(output.bytes());
  ASSERT_EQ(members.size(), 1u);
  EXPECT_TRUE(members[0].bytes == test::TextBytes(10, 5));
}

}  // namespace
}  // namespace lzh
