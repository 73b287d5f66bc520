// ByteSource and ByteSink: the streaming edges of every encoder and decoder.
//
// Codecs never see files. They pull input in blocks and push output in
// blocks through these two interfaces, so that memory stays bounded by the
// window and a few fixed buffers whatever the member size, and so that the
// same code serves files, memory (tests, fuzzers) and the archive writer.
// Calls are per block, never per byte. The archive writer's input and
// output go back over what they did (MemberInput, SeekableOutput); memory
// implements both in format/, an open file in os/file_stream.h.
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

// The bytes of a file being added to an archive. The archive writer may
// need them twice: it compresses them first, and when the result is not
// smaller it stores them instead, reading them again from the start.
class MemberInput : public ByteSource {
 public:
  // Starts again from the first byte.
  virtual Status Rewind() = 0;
};

// Where the archive writer puts an archive. It goes back over what it
// wrote: a header is written with placeholder sizes and patched once the
// data is out, and compressed data that turns out larger than the original
// is overwritten by the stored bytes.
class SeekableOutput : public ByteSink {
 public:
  // Write (from ByteSink) writes at the current position and moves it.
  virtual Status Seek(uint64_t offset) = 0;
  virtual uint64_t Position() const = 0;
  // Cuts the output at the current position.
  virtual Status Truncate() = 0;
};

}  // namespace lzh
