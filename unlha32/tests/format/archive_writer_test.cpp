// Archive round trips through the writer, the walker and the codec, for
// every written method and header level; the -lh0- fallback; byte-for-byte
// copies; members that fail while being written.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "format/header_writer.h"
#include "format/member_data.h"
#include "os/file_stream.h"
#include "tests/format/memory_sink.h"
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
    test::MemorySink sink;
    Status decoded = ExtractMemberData(reader, member.header, sink);
    EXPECT_TRUE(decoded.ok()) << member.header.PathString() << ": " << decoded.message();
    member.bytes = std::move(sink.bytes);
    members.push_back(std::move(member));
  }
  EXPECT_TRUE(walker.has_end_byte());
  EXPECT_EQ(walker.end_offset() + 1, archive.size());
  return members;
}

TEST(ArchiveRoundTrip, EveryMethodAndLevelIsByteIdentical) {
  std::vector<test::NamedInput> corpus = test::RoundTripCorpus();
  for (int level = 0; level <= 2; ++level) {
    for (Method method : kWrittenMethods) {
      SCOPED_TRACE(std::string(MethodIdText(method)) + " level " + std::to_string(level));
      MemoryOutput output;
      ArchiveWriter writer(output, level);
      for (const test::NamedInput& input : corpus) {
        MemberHeader h = NewMember(input.name, method, input.bytes.size());
        MemoryInput source(input.bytes);
        Status s = writer.AddMember(&h, source);
        ASSERT_TRUE(s.ok()) << input.name << ": " << s.message();
        EXPECT_EQ(h.original_size, input.bytes.size());
        EXPECT_LE(h.packed_size, h.original_size) << input.name;
      }
      ASSERT_TRUE(writer.Finish().ok());
      std::vector<ReadBack> members = ReadArchive(output.bytes());
      ASSERT_EQ(members.size(), corpus.size());
      for (size_t i = 0; i < corpus.size(); ++i) {
        EXPECT_EQ(members[i].header.path, (std::vector<std::string>{"dir", corpus[i].name}));
        EXPECT_EQ(members[i].header.level, level);
        EXPECT_EQ(members[i].header.mtime, 1700000000);
        EXPECT_TRUE(members[i].bytes == corpus[i].bytes) << corpus[i].name;
      }
    }
  }
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

TEST(ArchiveRoundTrip, DirectoryAndLinkEntries) {
  for (int level = 0; level <= 2; ++level) {
    MemoryOutput output;
    ArchiveWriter writer(output, level);
    MemberHeader dir = NewMember("sub", Method::kLhd, 0);
    dir.is_directory = true;
    dir.unix_mode = 040755;
    MemberHeader link = NewMember("link", Method::kLhd, 0);
    link.is_symlink = true;
    link.unix_mode = 0120777;
    link.link_target = "sub/target";
    ASSERT_TRUE(writer.AddEntry(dir).ok());
    ASSERT_TRUE(writer.AddEntry(link).ok());
    ASSERT_TRUE(writer.Finish().ok());
    std::vector<ReadBack> members = ReadArchive(output.bytes());
    ASSERT_EQ(members.size(), 2u);
    EXPECT_TRUE(members[0].header.is_directory);
    EXPECT_EQ(members[0].header.path, (std::vector<std::string>{"dir", "sub"}));
    EXPECT_TRUE(members[1].header.is_symlink);
    EXPECT_EQ(members[1].header.link_target, "sub/target");
  }
}

TEST(ArchiveRoundTrip, CopiedMembersAreByteIdentical) {
  MemoryOutput first;
  ArchiveWriter writer(first, 1);
  std::vector<uint8_t> text = test::TextBytes(20000, 3);
  for (const char* name : {"a", "b", "c"}) {
    MemberHeader h = NewMember(name, Method::kLh5, text.size());
    MemoryInput source(text);
    ASSERT_TRUE(writer.AddMember(&h, source).ok());
  }
  ASSERT_TRUE(writer.Finish().ok());

  MemoryReader reader(first.bytes());
  ArchiveWalker walker(reader);
  ASSERT_TRUE(walker.Open().ok());
  MemoryOutput second;
  ArchiveWriter copier(second, 2);
  MemberHeader h;
  for (bool end = false;;) {
    ASSERT_TRUE(walker.Next(&h, &end).ok());
    if (end) break;
    ASSERT_TRUE(copier.CopyMember(reader, h).ok());
  }
  ASSERT_TRUE(copier.Finish().ok());
  EXPECT_TRUE(second.bytes() == first.bytes());
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

TEST(ArchiveWriterFaults, LowLevelsRefuse4GiBMembersBeforeReading) {
  for (int level = 0; level <= 1; ++level) {
    MemoryOutput output;
    ArchiveWriter writer(output, level);
    MemberHeader h = NewMember("huge", Method::kLh5, uint64_t{5} << 30);
    FailingInput never(0);
    EXPECT_EQ(writer.AddMember(&h, never).fault(), Fault::kTooLarge);
    EXPECT_TRUE(output.bytes().empty());
  }
}

TEST(ArchiveRoundTrip, FileOutputAndFileReader) {
  std::filesystem::path path = test::UniqueTempPath("lzh_format_round_trip");
  std::vector<uint8_t> text = test::TextBytes(100000, 6);
  {
    os::File file;
    ASSERT_TRUE(os::File::Create(path.string(), &file).ok());
    os::FileOutput output(file);
    ArchiveWriter writer(output, 2);
    for (Method method : {Method::kLh5, Method::kLh0}) {
      MemberHeader h = NewMember("t", method, text.size());
      MemoryInput source(text);
      ASSERT_TRUE(writer.AddMember(&h, source).ok());
    }
    ASSERT_TRUE(writer.Finish().ok());
    ASSERT_TRUE(file.Close().ok());
  }
  std::unique_ptr<FileReader> reader;
  ASSERT_TRUE(FileReader::Open(path.string(), &reader).ok());
  ArchiveWalker walker(*reader);
  ASSERT_TRUE(walker.Open().ok());
  MemberHeader h;
  int count = 0;
  for (bool end = false;;) {
    ASSERT_TRUE(walker.Next(&h, &end).ok());
    if (end) break;
    test::MemorySink sink;
    ASSERT_TRUE(ExtractMemberData(*reader, h, sink).ok());
    EXPECT_TRUE(sink.bytes == text);
    ++count;
  }
  EXPECT_EQ(count, 2);
  reader.reset();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace lzh
