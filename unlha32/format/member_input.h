// MemberInput: the bytes of a file being added to an archive.
//
// The archive writer may need them twice: it compresses them first, and
// when the result is not smaller it stores them instead, reading them again
// from the start. So the input must rewind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

class MemberInput : public ByteSource {
 public:
  // Starts again from the first byte.
  virtual Status Rewind() = 0;
};

class FileInput final : public MemberInput {
 public:
  static Status Open(const std::string& path, std::unique_ptr<FileInput>* input);
  ~FileInput() override;
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override;
  Status Rewind() override;

 private:
  explicit FileInput(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

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
