// A member of more than 4 GiB written at level 2 and read back, without
// 4 GiB of memory or disk: the source is a pattern generated as it is read,
// and the archive keeps only the bytes around the member's data. The data
// in between is checked against the pattern while it is written and served
// from the pattern when it is read back. Stored (-lh0-), so that the run
// costs two CRC passes and no compression.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "format/header_writer.h"
#include "format/member_data.h"
#include "format/output.h"
#include "tests/codec/codec_test_support.h"

namespace lzh {
namespace {

// Random bytes repeating with a prime period, so that a block written at
// a wrong offset does not match.
class Pattern {
 public:
  void Fill(uint64_t offset, uint8_t* out, size_t size) const {
    for (size_t done = 0, run; done < size; done += run) {
      size_t at = static_cast<size_t>((offset + done) % kPeriod);
      run = std::min(size - done, kPeriod - at);
      std::memcpy(out + done, cycle_.data() + at, run);
    }
  }

 private:
  static constexpr size_t kPeriod = 65521;
  test::Bytes cycle_ = test::RandomBytes(kPeriod, 17);
};

class PatternInput final : public MemberInput {
 public:
  PatternInput(const Pattern& pattern, uint64_t size) : pattern_(pattern), size_(size) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = static_cast<size_t>(std::min<uint64_t>(capacity, size_ - position_));
    pattern_.Fill(position_, buffer, *got);
    position_ += *got;
    return Status::Ok();
  }
  Status Rewind() override {
    position_ = 0;
    return Status::Ok();
  }

 private:
  const Pattern& pattern_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// An archive that keeps what is written outside [hole_begin, hole_end) and
// only checks what lands inside: it must be the pattern, counted from
// `pattern_origin`. Read back, the hole is the pattern.
class ArchiveWithAHole final : public SeekableOutput, public RandomAccessReader {
 public:
  ArchiveWithAHole(const Pattern& pattern, uint64_t pattern_origin, uint64_t hole_begin, uint64_t hole_end)
      : pattern_(pattern), origin_(pattern_origin), hole_begin_(hole_begin), hole_end_(hole_end) {}

  Status Write(const uint8_t* data, size_t size) override {
    Runs(position_, size, [&](uint64_t at, size_t done, size_t run, bool in_hole) {
      if (in_hole) {
        expected_.resize(run);
        pattern_.Fill(at - origin_, expected_.data(), run);
        wrong_writes_ += std::memcmp(data + done, expected_.data(), run) != 0;
        hole_bytes_written_ += run;
        return;
      }
      if (kept_.size() < Kept(at) + run) kept_.resize(Kept(at) + run);
      std::memcpy(kept_.data() + Kept(at), data + done, run);
    });
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
    if (position_ < hole_begin_ || position_ >= hole_end_) kept_.resize(Kept(position_));
    return Status::Ok();
  }

  uint64_t Size() const override { return size_; }
  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override {
    *got = offset >= size_ ? 0 : static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
    Runs(offset, *got, [&](uint64_t at, size_t done, size_t run, bool in_hole) {
      if (in_hole) pattern_.Fill(at - origin_, buffer + done, run);
      else std::memcpy(buffer + done, kept_.data() + Kept(at), run);
    });
    return Status::Ok();
  }

  int wrong_writes() const { return wrong_writes_; }
  uint64_t hole_bytes_written() const { return hole_bytes_written_; }

 private:
  // Calls `visit` for each run of [offset, offset + size) wholly inside or
  // outside the hole.
  template <typename Visit>
  void Runs(uint64_t offset, size_t size, Visit visit) const {
    for (size_t done = 0, run; done < size; done += run) {
      uint64_t at = offset + done;
      uint64_t limit = at < hole_begin_ ? hole_begin_ : at < hole_end_ ? hole_end_ : UINT64_MAX;
      run = static_cast<size_t>(std::min<uint64_t>(size - done, limit - at));
      visit(at, done, run, at >= hole_begin_ && at < hole_end_);
    }
  }
  // Where a byte outside the hole is kept.
  size_t Kept(uint64_t at) const {
    return static_cast<size_t>(at < hole_begin_ ? at : at - (hole_end_ - hole_begin_));
  }

  const Pattern& pattern_;
  uint64_t origin_, hole_begin_, hole_end_;
  test::Bytes kept_, expected_;
  uint64_t position_ = 0, size_ = 0, hole_bytes_written_ = 0;
  int wrong_writes_ = 0;
};

// Counts what it is given, keeping nothing (the CRC is checked on the way).
class CountingSink final : public ByteSink {
 public:
  Status Write(const uint8_t*, size_t size) override {
    count += size;
    return Status::Ok();
  }
  uint64_t count = 0;
};

MemberHeader NewMember(const std::string& name, Method method, uint64_t size) {
  MemberHeader h;
  h.method = method;
  h.original_size = size;
  h.path = {name};
  h.mtime = 1700000000;
  h.os_id = 'U';
  return h;
}

// 64-bit sizes in the header, and 64-bit offsets everywhere after it: the
// member behind the big one and the end byte must be found where they are.
TEST(FourGibibyteMember, Level2WritesAndReadsBack64BitSizesAndOffsets) {
  constexpr uint64_t kSize = kFourGiB + 12345;
  const Pattern pattern;
  MemberHeader big = NewMember("big.bin", Method::kLh0, kSize);
  test::Bytes header_bytes;
  ASSERT_TRUE(BuildHeader(big, 2, true, &header_bytes).ok());
  const uint64_t data_start = header_bytes.size();
  ArchiveWithAHole archive(pattern, data_start, data_start + 65536, data_start + kSize - 65536);

  ArchiveWriter writer(archive, 2);
  PatternInput input(pattern, kSize);
  ASSERT_TRUE(writer.AddMember(&big, input).ok());
  EXPECT_EQ(big.data_offset, data_start);
  EXPECT_EQ(big.packed_size, kSize);
  test::Bytes text = test::Text(5000, 3);
  MemberHeader after = NewMember("after.txt", Method::kLh5, text.size());
  MemoryInput text_input(text);
  ASSERT_TRUE(writer.AddMember(&after, text_input).ok());
  ASSERT_TRUE(writer.Finish().ok());
  EXPECT_EQ(archive.wrong_writes(), 0);
  EXPECT_EQ(archive.hole_bytes_written(), kSize - 2 * 65536);

  ArchiveWalker walker(archive);
  ASSERT_TRUE(walker.Open().ok());
  MemberHeader read;
  bool end = false;
  ASSERT_TRUE(walker.Next(&read, &end).ok());
  ASSERT_FALSE(end);
  EXPECT_EQ(read.PathString(), "big.bin");
  EXPECT_EQ(read.original_size, kSize);
  EXPECT_EQ(read.packed_size, kSize);
  EXPECT_EQ(read.crc, big.crc);
  EXPECT_EQ(read.data_offset, data_start);
  CountingSink counted;
  Status decoded = ExtractMemberData(archive, read, counted);
  EXPECT_TRUE(decoded.ok()) << decoded.message();
  EXPECT_EQ(counted.count, kSize);

  ASSERT_TRUE(walker.Next(&read, &end).ok());
  ASSERT_FALSE(end);
  EXPECT_EQ(read.PathString(), "after.txt");
  EXPECT_EQ(read.header_offset, data_start + kSize);
  MemoryOutput small;
  ASSERT_TRUE(ExtractMemberData(archive, read, small).ok());
  EXPECT_TRUE(small.bytes() == text);

  ASSERT_TRUE(walker.Next(&read, &end).ok());
  EXPECT_TRUE(end);
  EXPECT_TRUE(walker.has_end_byte());
  EXPECT_EQ(walker.end_offset() + 1, archive.Size());
}

}  // namespace
}  // namespace lzh
