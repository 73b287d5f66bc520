// RandomAccessReader: where archive bytes come from.
//
// The format layer reads an archive at arbitrary 64-bit offsets: headers one
// after the other while walking, a member's data when decoding, a header's
// exact bytes when copying it into a rewritten archive. Files and memory
// (tests, fuzzers) serve the same interface. The file implementation keeps
// all offsets 64-bit on every platform, the 32-bit Windows build included.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "base/status.h"
#include "base/stream.h"
#include "os/file.h"

namespace lzh {

class RandomAccessReader {
 public:
  virtual ~RandomAccessReader() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to `size` bytes at `offset`; `*got` is smaller than `size` only
  // at the end of the input.
  virtual Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) = 0;
};

// Reads exactly `size` bytes at `offset`, or fails with "truncated data".
Status ReadExactlyAt(RandomAccessReader& reader, uint64_t offset, uint8_t* buffer, size_t size);

// A view of bytes owned by the caller; they must outlive the reader.
class MemoryReader final : public RandomAccessReader {
 public:
  explicit MemoryReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A file opened through the OS layer, which reaches every name the
// system has (the wide API on Windows) and says why an open failed.
class FileReader final : public RandomAccessReader {
 public:
  // Opens `path` (a path in the library's form, see os/text.h).
  static Status Open(const std::string& path, std::unique_ptr<FileReader>* reader);
  // Another reader of the same open file, with a block of its own: for
  // another thread, which must not share this reader's block. It reads
  // through this reader's file, so it must not outlive this reader.
  std::unique_ptr<FileReader> Twin();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  uint64_t Size() const override { return size_; }
  Status ReadAt(uint64_t offset, uint8_t* buffer, size_t size, size_t* got) override;

 private:
  // Reads shorter than this are served from a block of this size read at
  // their offset: the data of small members lies between headers, and one
  // system call per member cost more than decoding it.
  static constexpr size_t kBlockBytes = 64 * 1024;

  FileReader(os::File file, uint64_t size) : owned_(std::move(file)), file_(&owned_), size_(size) {}
  FileReader(os::File* file, uint64_t size) : file_(file), size_(size) {}
  Status ReadFile(uint64_t offset, uint8_t* buffer, size_t size, size_t* got);

  os::File owned_;  // a twin's stays closed: it reads its original's
  os::File* file_;
  uint64_t size_;
  std::unique_ptr<uint8_t[]> block_;
  uint64_t block_offset_ = 0;
  size_t block_size_ = 0;
};

// Streams the byte range [offset, offset + size) of a reader, in blocks; the
// range is what DecodeMember sees of a member. Ends early (got = 0) where
// the reader ends.
class RangeSource final : public ByteSource {
 public:
  RangeSource(RandomAccessReader& reader, uint64_t offset, uint64_t size)
      : reader_(reader), offset_(offset), remaining_(size) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override;

 private:
  RandomAccessReader& reader_;
  uint64_t offset_;
  uint64_t remaining_;
};

}  // namespace lzh
