// File and memory inputs for the archive writer.
#include "format/member_input.h"

#include <algorithm>
#include <cstring>

#include "format/file_platform.h"

namespace lzh {

Status FileInput::Open(const std::string& path, std::unique_ptr<FileInput>* input) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Status::Io("cannot open the file");
  input->reset(new FileInput(file));
  return Status::Ok();
}

FileInput::~FileInput() { std::fclose(file_); }

Status FileInput::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  *got = std::fread(buffer, 1, capacity, file_);
  LZH_REQUIRE(*got == capacity || !std::ferror(file_), kIo, "cannot read the file");
  return Status::Ok();
}

Status FileInput::Rewind() {
  LZH_REQUIRE(SeekFile(file_, 0), kIo, "cannot read the file");
  std::clearerr(file_);
  return Status::Ok();
}

Status MemoryInput::Read(uint8_t* buffer, size_t capacity, size_t* got) {
  *got = std::min(capacity, bytes_.size() - position_);
  if (*got > 0) std::memcpy(buffer, bytes_.data() + position_, *got);
  position_ += *got;
  return Status::Ok();
}

}  // namespace lzh
