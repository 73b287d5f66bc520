// File, memory and range readers. The file reader serves short reads from
// a block around them, so that the members of an archive of small files
// cost no system call each.
#include "format/reader.h"

#include <algorithm>
#include <cstring>

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
  os::File file;
  LZH_TRY(os::File::OpenRead(path, &file));
  uint64_t size = 0;
  LZH_TRY(file.Size(&size));
  reader->reset(new FileReader(std::move(file), size));
  return Status::Ok();
}

std::unique_ptr<FileReader> FileReader::Twin() { return std::unique_ptr<FileReader>(new FileReader(file_, size_)); }

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
  // Short reads happen (a pipe, a network file): read until the end.
  while (*got < size) {
    size_t n = 0;
    LZH_TRY(file_->ReadAt(offset + *got, buffer + *got, size - *got, &n));
    if (n == 0) break;
    *got += n;
  }
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
