// The streams of base/stream.h over an open os::File, and a sink that
// drops what it is given: the one I/O seam between the layers that pack
// and unpack (which see streams only) and the disk.
//
// The commands read the files they add and write the members they extract
// through these, and so do the tests, the benchmarks and the sample
// makers, so that what they measure and check is the library's own file
// access. The adapters borrow the file: whoever opened it closes it, and
// can see a failure of the close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "base/stream.h"
#include "os/file.h"

namespace lzh::os {

// Reads `file` from its current position; Rewind goes back to its start.
class FileInput final : public MemberInput {
 public:
  explicit FileInput(File& file) : file_(file) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override { return file_.Read(buffer, capacity, got); }
  Status Rewind() override { return file_.Seek(0); }

 private:
  File& file_;
};

// Writes `file` from its start (a file just created, or emptied).
class FileOutput final : public SeekableOutput {
 public:
  explicit FileOutput(File& file) : file_(file) {}
  Status Write(const uint8_t* data, size_t size) override;
  Status Seek(uint64_t offset) override;
  uint64_t Position() const override { return position_; }
  Status Truncate() override { return file_.Truncate(position_); }

 private:
  File& file_;
  uint64_t position_ = 0;  // kept here, so that Position() cannot fail
};

class DiscardSink final : public ByteSink {
 public:
  Status Write(const uint8_t*, size_t) override { return Status::Ok(); }
};

}  // namespace lzh::os
