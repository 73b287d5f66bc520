// SeekableOutput: where the archive writer puts an archive.
//
// The writer goes back over what it wrote: a header is written with
// placeholder sizes and patched once the data is out, and compressed data
// that turns out larger than the original is overwritten by the stored
// bytes. So the output must seek and truncate, which a file and a memory
// buffer (tests) both can.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

class SeekableOutput : public ByteSink {
 public:
  // Write (from ByteSink) writes at the current position and moves it.
  virtual Status Seek(uint64_t offset) = 0;
  virtual uint64_t Position() const = 0;
  // Cuts the output at the current position.
  virtual Status Truncate() = 0;
};

class FileOutput final : public SeekableOutput {
 public:
  // Creates `path`, or empties it when it exists.
  static Status Create(const std::string& path, std::unique_ptr<FileOutput>* output);
  ~FileOutput() override;  // closes without reporting; call Close() to know
  Status Write(const uint8_t* data, size_t size) override;
  Status Seek(uint64_t offset) override;
  uint64_t Position() const override { return position_; }
  Status Truncate() override;
  // Flushes everything to the disk and closes; a failure here (a full disk)
  // means the file is incomplete.
  Status Close();

 private:
  explicit FileOutput(std::FILE* file) : file_(file) {}
  std::FILE* file_;
  uint64_t position_ = 0;
};

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
