// The file output's position, kept beside the file's own.
#include "os/file_stream.h"

namespace lzh::os {

Status FileOutput::Write(const uint8_t* data, size_t size) {
  LZH_TRY(file_.Write(data, size));
  position_ += size;
  return Status::Ok();
}

Status FileOutput::Seek(uint64_t offset) {
  LZH_TRY(file_.Seek(offset));
  position_ = offset;
  return Status::Ok();
}

}  // namespace lzh::os
