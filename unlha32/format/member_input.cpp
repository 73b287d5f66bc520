// The memory input for the archive writer.
#include "format/member_input.h"

#include <algorithm>
#include <cstring>

namespace lzh {

Status MemoryInput::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  *got = std::min(capacity, bytes_.size() - position_);
  if (*got > 0) std::memcpy(buffer, bytes_.data() + position_, *got);
  position_ += *got;
  return Status::Ok();
}

}  // namespace lzh
