// File and memory outputs. The file output keeps its own position rather
// than asking stdio, so that Position() is cheap and cannot fail.
#include "format/output.h"

#include <algorithm>
#include <cstring>

#include "format/file_platform.h"

namespace lzh {

Status FileOutput::Create(const std::string& path, std::unique_ptr<FileOutput>* output) {
  std::FILE* file = std::fopen(path.c_str(), "wb+");
  if (file == nullptr) return Status::Io("cannot create the archive");
  output->reset(new FileOutput(file));
  return Status::Ok();
}

FileOutput::~FileOutput() {
  if (file_ != nullptr) std::fclose(file_);
}

Status FileOutput::Write(const uint8_t* data, size_t size) {
  LZH_REQUIRE(std::fwrite(data, 1, size, file_) == size, kIo, "cannot write the archive");
  position_ += size;
  return Status::Ok();
}

Status FileOutput::Seek(uint64_t offset) {
  LZH_REQUIRE(SeekFile(file_, offset), kIo, "cannot write the archive");
  position_ = offset;
  return Status::Ok();
}

Status FileOutput::Truncate() {
  LZH_REQUIRE(std::fflush(file_) == 0 && TruncateFile(file_, position_), kIo,
              "cannot write the archive");
  return Status::Ok();
}

Status FileOutput::Close() {
  bool flushed = FlushToDisk(file_);
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  LZH_REQUIRE(flushed && closed, kIo, "cannot write the archive");
  return Status::Ok();
}

Status MemoryOutput::Write(const uint8_t* data, size_t size) {
  if (size == 0) return Status::Ok();
  if (bytes_.size() < position_ + size) bytes_.resize(position_ + size);
  std::memcpy(bytes_.data() + position_, data, size);
  position_ += size;
  return Status::Ok();
}

Status MemoryOutput::Seek(uint64_t offset) {
  LZH_REQUIRE(offset <= bytes_.size(), kIo, "seek past the end of the output");
  position_ = static_cast<size_t>(offset);
  return Status::Ok();
}

Status MemoryOutput::Truncate() {
  bytes_.resize(position_);
  return Status::Ok();
}

}  // namespace lzh
