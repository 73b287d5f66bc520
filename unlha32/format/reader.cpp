// File, memory and range readers. The file reader remembers where the stdio
// stream stands so that sequential reads (walking headers, streaming data)
// cost no seek, and serves short reads from a block around them, so that
// the members of an archive of small files cost no seek each.
#include "format/reader.h"

#include <algorithm>
#include <cstring>

#include "format/file_platform.h"

namespace lzh {

Status ReadExactlyAt(RandomAccessReader& reader, uint64_t offset, uint8_t* buffer, size_t size) {
  size_t got = 0;
  LZH_TRY(reader.ReadAt(offset, buffer, size, &got));
  LZH_REQUIRE(got == size, kTruncated, "truncated data");
  return Status::Ok();
}

Status MemoryReader::ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  if (offset >= bytes_.size()) return Status::Ok();
  size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_.size() - offset));
  std::memcpy(buffer, bytes_.data() + offset, n);
  *got = n;
  return Status::Ok();
}

Status FileReader::Open(const std::string& path, std::unique_ptr<FileReader>* reader) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Status::Io("cannot open the archive");
  uint64_t size = 0;
  if (!FileSize(file, &size)) {
    std::fclose(file);
    return Status::Io("cannot read the archive");
  }
  reader->reset(new FileReader(file, size));
  return Status::Ok();
}

FileReader::~FileReader() { std::fclose(file_); }

Status FileReader::ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  if (offset >= size_) return Status::Ok();
  size = static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
  if (size >= kBlockBytes) return ReadFile(offset, buffer, size, got);
  if (offset < block_offset_ || offset + size > block_offset_ + block_size_) {
    if (!block_) block_ = std::make_unique_for_overwrite<uint8_t[]>(kBlockBytes);
    block_size_ = 0;
    size_t filled = 0;
    LZH_TRY(ReadFile(offset, block_.get(), static_cast<size_t>(std::min<uint64_t>(kBlockBytes, size_ - offset)),
                     &filled));
    block_offset_ = offset;
    block_size_ = filled;
  }
  *got = static_cast<size_t>(std::min<uint64_t>(size, block_offset_ + block_size_ - offset));
  std::memcpy(buffer, block_.get() + (offset - block_offset_), *got);
  return Status::Ok();
}

Status FileReader::ReadFile(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) {
  if (offset != position_) {
    position_ = UINT64_MAX;
    if (!SeekFile(file_, offset)) return Status::Io("cannot read the archive");
  }
  size_t n = std::fread(buffer, 1, size, file_);
  if (n < size && std::ferror(file_)) {
    position_ = UINT64_MAX;
    return Status::Io("cannot read the archive");
  }
  position_ = offset + n;
  *got = n;
  return Status::Ok();
}

Status RangeSource::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  *got = 0;
  size_t want = static_cast<size_t>(std::min<uint64_t>(capacity, remaining_));
  if (want == 0) return Status::Ok();
  LZH_TRY(reader_.ReadAt(offset_, buffer, want, got));
  offset_ += *got;
  remaining_ -= *got;
  return Status::Ok();
}

}  // namespace lzh
