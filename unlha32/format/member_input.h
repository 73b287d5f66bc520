// MemoryInput: bytes in memory as the archive writer's input (the tests,
// the fuzzers, small files the commands read whole). The interface,
// MemberInput, is base/stream.h's; a file's is os/file_stream.h's, so that
// the format layer does no file I/O of its own.
#pragma once

#include <cstdint>
#include <span>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

// Bytes owned by the caller; they must outlive the input.
class MemoryInput final : public MemberInput {
 public:
  explicit MemoryInput(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override;
  Status Rewind() override {
    position_ = 0;
    return Status::Ok();
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

}  // namespace lzh
