// ByteSource and ByteSink: the streaming edges of every encoder and decoder.
//
// Codecs never see files. They pull input in blocks and push output in
// blocks through these two interfaces, so that memory stays bounded by the
// window and a few fixed buffers whatever the member size, and so that the
// same code serves files, memory (tests, fuzzers) and the archive writer.
// Calls are per block, never per byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"

namespace lzh {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `capacity` bytes into `buffer`; `*got` is 0 only at the end.
  virtual Status Read(uint8_t* buffer, size_t capacity, size_t* got) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes all `size` bytes or fails.
  virtual Status Write(const uint8_t* data, size_t size) = 0;
};

}  // namespace lzh
