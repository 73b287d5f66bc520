// The memory output.
#include "format/output.h"

#include <algorithm>
#include <cstring>

namespace lzh {

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
