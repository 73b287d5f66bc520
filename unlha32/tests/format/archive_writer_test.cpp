// The archive writer's own paths that the commands cannot steer: a source
// that fails part-way through, for every method, one that shrank between
// its two readings, and a member of more than 4 GiB written and read back
// without 4 GiB of memory or disk. Then what it writes read back by
// independent decoders: 7z, bsdtar and unar (black boxes) must extract
// every file byte for byte, at every header level, with every method they
// read. A tool that is not installed is skipped.
#include "format/archive_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "format/archive_walker.h"
#include "format/header_writer.h"
#include "format/member_data.h"
#include "format/output.h"
#include "tests/codec/codec_test_support.h"

namespace lzh {
namespace {

using test::Bytes;

MemberHeader NewMember(const std::string& name, Method method, uint64_t size) {
  MemberHeader h;
  h.method = method;
  h.original_size = size;
  h.path = {"top", name};
  h.mtime = 1600000000;
  h.os_id = 'U';
  h.has_unix_mode = true;
  h.unix_mode = 0100644;
  return h;
}

// Keeps the first MiB of what it is given and counts all of it.
struct ReadBack final : public ByteSink {
  Status Write(const uint8_t* data, size_t size) override {
    const uint64_t room = count < (1u << 20) ? (1u << 20) - count : 0;
    bytes.insert(bytes.end(), data, data + std::min<uint64_t>(size, room));
    count += size;
    return Status::Ok();
  }
  MemberHeader header;
  Bytes bytes;
  uint64_t count = 0;
};

// Every member of a whole archive, extracted (and so checked against its
// CRC); the archive ends with its end byte.
std::vector<ReadBack> ReadArchive(RandomAccessReader& archive) {
  ArchiveWalker walker(archive);
  EXPECT_TRUE(walker.Open().ok());
  std::vector<ReadBack> members;
  ReadBack member;
  for (bool end = false; walker.Next(&member.header, &end).ok() && !end; member = ReadBack()) {
    Status decoded = ExtractMemberData(archive, member.header, member);
    EXPECT_TRUE(decoded.ok()) << member.header.PathString() << ": " << decoded.message();
    members.push_back(member);
  }
  EXPECT_TRUE(walker.has_end_byte());
  EXPECT_EQ(walker.end_offset() + 1, archive.Size());
  return members;
}

// Random bytes repeating with a prime period, so that a block at a wrong
// offset differs, made as they are read: a source of 4 GiB costs nothing.
void Pattern(uint64_t offset, uint8_t* out, size_t size) {
  static constexpr size_t kPeriod = 65521;
  static const test::Bytes cycle = test::RandomBytes(kPeriod, 17);
  for (size_t done = 0, run; done < size; done += run) {
    size_t at = static_cast<size_t>((offset + done) % kPeriod);
    run = std::min(size - done, kPeriod - at);
    std::memcpy(out + done, cycle.data() + at, run);
  }
}

// Hands out the pattern, `size` bytes of it on the first reading and
// `resize` after a rewind; fails with an I/O error where it would hand out
// more than `fail_after` bytes.
class ScriptedInput final : public MemberInput {
 public:
  ScriptedInput(uint64_t size, uint64_t resize, uint64_t fail_after = UINT64_MAX)
      : size_(size), resize_(resize), fail_after_(fail_after) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    LZH_REQUIRE(position_ < std::min(size_, fail_after_) || position_ == size_, kIo,
                "cannot read the file");
    *got = static_cast<size_t>(
        std::min({uint64_t{capacity}, size_ - position_, fail_after_ - position_}));
    Pattern(position_, buffer, *got);
    position_ += *got;
    return Status::Ok();
  }
  Status Rewind() override {
    size_ = resize_;
    position_ = 0;
    return Status::Ok();
  }

 private:
  uint64_t size_, resize_, fail_after_, position_ = 0;
};

// For every method: after a member that did not compress (stored in full),
// one whose source fails part-way through leaves nothing behind, and one
// that shrank between compression and the stored fallback (random bytes
// on the first reading, only ten of them on the second) is stored as it
// is now.
TEST(ArchiveWriterFaults, FailingAndShrinkingSourcesLeaveAReadableArchive) {
  Bytes random(50000);
  Pattern(0, random.data(), random.size());
  for (Method method : {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7}) {
    SCOPED_TRACE(MethodIdText(method));
    MemoryOutput output;
    ArchiveWriter writer(output, 2);
    MemberHeader stored = NewMember("stored", Method::kLh5, random.size());
    MemoryInput source(random);
    ASSERT_TRUE(writer.AddMember(&stored, source).ok());
    const size_t before = output.bytes().size();
    MemberHeader bad = NewMember("bad", method, 100000);
    ScriptedInput failing(100000, 100000, 70000);
    EXPECT_EQ(writer.AddMember(&bad, failing).fault(), Fault::kIo);
    EXPECT_EQ(output.bytes().size(), before);
    MemberHeader shrinking = NewMember("shrinking", method, random.size());
    ScriptedInput shrinking_source(random.size(), 10);
    ASSERT_TRUE(writer.AddMember(&shrinking, shrinking_source).ok());
    ASSERT_TRUE(writer.Finish().ok());
    MemoryReader reader(output.bytes());
    std::vector<ReadBack> members = ReadArchive(reader);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].header.MethodText(), "-lh0-");
    EXPECT_EQ(members[0].header.packed_size, random.size());
    EXPECT_TRUE(members[0].bytes == random);
    EXPECT_TRUE(members[1].bytes == Bytes(random.begin(), random.begin() + 10));
  }
}

// The member of more than 4 GiB, stored (-lh0-) so that the run costs two
// CRC passes and no compression. Its archive keeps what is written outside
// [hole_begin, hole_end) and only counts and checks what lands inside: it
// must be the pattern, counted from `origin`. Read back, the hole is the
// pattern. Only a request across an edge of the hole goes byte by byte.
class ArchiveWithAHole final : public SeekableOutput, public RandomAccessReader {
 public:
  ArchiveWithAHole(uint64_t origin, uint64_t hole_begin, uint64_t hole_end)
      : origin_(origin), hole_begin_(hole_begin), hole_end_(hole_end) {}

  Status Write(const uint8_t* data, size_t size) override {
    if (InHole(position_, size)) {
      test::Bytes expected(size);
      Pattern(position_ - origin_, expected.data(), size);
      wrong_writes += std::memcmp(data, expected.data(), size) != 0;
      hole_bytes_written += size;
    } else {
      for (size_t i = 0; i < size; ++i) {
        hole_bytes_written += InHole(position_ + i, 1);
        if (!InHole(position_ + i, 1)) Kept(position_ + i) = data[i];
      }
    }
    position_ += size;
    size_ = std::max(size_, position_);
    return Status::Ok();
  }
  Status Seek(uint64_t offset) override {
    position_ = offset;
    return Status::Ok();
  }
  uint64_t Position() const override { return position_; }
  Status Truncate() override {
    size_ = position_;
    return Status::Ok();
  }

  uint64_t Size() const override { return size_; }
  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = offset >= size_ ? 0 : static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
    // The hole's bytes; offset - origin_ may wrap, for bytes overwritten below.
    Pattern(offset - origin_, buffer, *got);
    if (!InHole(offset, *got)) {
      for (size_t i = 0; i < *got; ++i)
        if (!InHole(offset + i, 1)) buffer[i] = Kept(offset + i);
    }
    return Status::Ok();
  }

  int wrong_writes = 0;
  uint64_t hole_bytes_written = 0;

 private:
  bool InHole(uint64_t at, size_t size) const {
    return at >= hole_begin_ && at + size <= hole_end_;
  }
  // Where a byte outside the hole is kept.
  uint8_t& Kept(uint64_t at) {
    size_t index = static_cast<size_t>(at < hole_begin_ ? at : at - (hole_end_ - hole_begin_));
    if (kept_.size() <= index) kept_.resize(index + 1);
    return kept_[index];
  }

  uint64_t origin_, hole_begin_, hole_end_;
  test::Bytes kept_;
  uint64_t position_ = 0, size_ = 0;
};

// 64-bit sizes in the header, and 64-bit offsets everywhere after it: the
// member behind the big one and the end byte must be found where they are.
TEST(FourGibibyteMember, Level2WritesAndReadsBack64BitSizesAndOffsets) {
  constexpr uint64_t kSize = kFourGiB + 12345;
  MemberHeader big = NewMember("big.bin", Method::kLh0, kSize);
  test::Bytes header_bytes;
  ASSERT_TRUE(BuildHeader(big, 2, true, &header_bytes).ok());
  const uint64_t data_start = header_bytes.size();
  ArchiveWithAHole archive(data_start, data_start + 65536, data_start + kSize - 65536);

  ArchiveWriter writer(archive, 2);
  ScriptedInput input(kSize, kSize);
  ASSERT_TRUE(writer.AddMember(&big, input).ok());
  EXPECT_EQ(big.data_offset, data_start);
  EXPECT_EQ(big.packed_size, kSize);
  test::Bytes text = test::Text(5000, 3);
  MemberHeader after = NewMember("after.txt", Method::kLh5, text.size());
  MemoryInput text_input(text);
  ASSERT_TRUE(writer.AddMember(&after, text_input).ok());
  ASSERT_TRUE(writer.Finish().ok());
  EXPECT_EQ(archive.wrong_writes, 0);
  EXPECT_EQ(archive.hole_bytes_written, kSize - 2 * 65536);

  std::vector<ReadBack> members = ReadArchive(archive);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].header.PathString(), "top/big.bin");
  EXPECT_EQ(members[0].header.original_size, kSize);
  EXPECT_EQ(members[0].header.packed_size, kSize);
  EXPECT_EQ(members[0].header.crc, big.crc);
  EXPECT_EQ(members[0].header.data_offset, data_start);
  EXPECT_EQ(members[0].count, kSize);
  EXPECT_EQ(members[1].header.header_offset, data_start + kSize);
  EXPECT_TRUE(members[1].bytes == text);
}

namespace fs = std::filesystem;

// A reader's command is `into` + the directory + `from` + the archive.
struct Tool {
  const char* name;
  const char* into;
  const char* from;
  std::vector<Method> methods;
};

const Tool kTools[] = {
    {"7z", "7z x -y -o", " ", {Method::kLh0, Method::kLh5, Method::kLh6, Method::kLh7}},
    {"bsdtar", "bsdtar -C ", " -xf ", {Method::kLh0, Method::kLh5, Method::kLh6, Method::kLh7}},
    {"unar", "unar -q -f -o ", " ", {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7}},
};

// What trips a reader when a writer is careless: a one-byte file, a run,
// files that end at every bit position of a last byte, text past every
// window, and bytes that do not compress.
std::vector<std::pair<std::string, Bytes>> OracleInputs() {
  std::vector<std::pair<std::string, Bytes>> inputs = {
      {"one", Bytes{'x'}}, {"run", Bytes(70000, 'r')}, {"text", test::Text(300000, 1)},
      {"noise", test::RandomBytes(20000, 2)}};
  for (size_t size = 2; size <= 17; ++size) inputs.emplace_back("tiny" + std::to_string(size), test::Text(size, 3));
  return inputs;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class Oracle : public testing::TestWithParam<Tool> {};

TEST_P(Oracle, ExtractsOurArchivesByteIdentically) {
  const Tool& tool = GetParam();
  if (std::system(("command -v " + std::string(tool.name) + " > /dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << tool.name << " is not installed";
  const auto inputs = OracleInputs();
  // A directory no concurrent run shares (ctest may run several build trees' tests at once).
  const fs::path work =
      fs::temp_directory_path() / ("lzh_oracle_" + std::string(tool.name) + std::to_string(std::random_device()()));
  for (int level = 0; level <= 2; ++level) {
    for (Method method : tool.methods) {
      const std::string label = std::to_string(level) + MethodIdText(method);
      SCOPED_TRACE(label);
      const fs::path archive = work / ("a" + label + ".lzh"), out = work / ("x" + label);
      fs::create_directories(out);
      MemoryOutput output;
      ArchiveWriter writer(output, level);
      for (const auto& [name, data] : inputs) {
        MemberHeader h = NewMember(name, method, data.size());
        MemoryInput source(data);
        ASSERT_TRUE(writer.AddMember(&h, source).ok());
      }
      ASSERT_TRUE(writer.Finish().ok());
      std::ofstream(archive, std::ios::binary)
          .write(reinterpret_cast<const char*>(output.bytes().data()),
                 static_cast<std::streamsize>(output.bytes().size()));
      const fs::path log = work / "log";
      int result = std::system((tool.into + ("'" + out.string() + "'") + tool.from + "'" + archive.string() +
                                "' > '" + log.string() + "' 2>&1")
                                   .c_str());
      Bytes logged = ReadFile(log);
      EXPECT_EQ(result, 0) << std::string(logged.begin(), logged.end());
      for (const auto& [name, data] : inputs) EXPECT_TRUE(ReadFile(out / "top" / name) == data) << name;
    }
  }
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Tools, Oracle, testing::ValuesIn(kTools),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace lzh
