// MemoryOutput: an archive written to memory (the tests, the fuzzers).
// The interface, SeekableOutput, is base/stream.h's; a file's is
// os/file_stream.h's, so that the format layer does no file I/O of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

class MemoryOutput final : public SeekableOutput {
 public:
  Status Write(const uint8_t* data, size_t size) override;
  Status Seek(uint64_t offset) override;
  uint64_t Position() const override { return position_; }
  Status Truncate() override;
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

}  // namespace lzh
