// BitWriter: most-significant-bit-first output for the encoders.
//
// Bits gather in a 64-bit accumulator and leave 32 at a time into a large
// block that goes to the sink in one call. The last byte is padded with
// zero bits, and nothing follows it: the packed size is exactly the bytes
// that hold bits. A failing sink is remembered and reported by Finish (and
// Check), so that Put stays branch-light.
#pragma once

#include <cstdint>
#include <memory>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

class BitWriter {
 public:
  explicit BitWriter(ByteSink& sink) : sink_(sink), block_(new uint8_t[kBlockSize]) {
    next_ = block_.get();
  }

  // Appends the low `n` bits of `value` (n <= 32; higher bits must be 0).
  inline void Put(uint32_t value, unsigned n) {
    accumulator_ = (accumulator_ << n) | value;
    count_ += n;
    if (count_ >= 32) {
      count_ -= 32;
      uint32_t word = static_cast<uint32_t>(accumulator_ >> count_);
      next_[0] = static_cast<uint8_t>(word >> 24);
      next_[1] = static_cast<uint8_t>(word >> 16);
      next_[2] = static_cast<uint8_t>(word >> 8);
      next_[3] = static_cast<uint8_t>(word);
      next_ += 4;
      if (next_ == block_.get() + kBlockSize) FlushBlock();
    }
  }

  // Bytes produced so far, counting a partly filled last byte.
  uint64_t size() const {
    return written_ + static_cast<uint64_t>(next_ - block_.get()) + (count_ + 7) / 8;
  }

  // Bits produced so far.
  uint64_t bit_count() const {
    return (written_ + static_cast<uint64_t>(next_ - block_.get())) * 8 + count_;
  }

  Status Check() const { return status_; }

  // Pads the last byte with zero bits and hands everything to the sink.
  Status Finish() {
    while (count_ >= 8) {
      count_ -= 8;
      *next_++ = static_cast<uint8_t>(accumulator_ >> count_);
    }
    if (count_ > 0) *next_++ = static_cast<uint8_t>(accumulator_ << (8 - count_));
    count_ = 0;
    FlushBlock();
    return status_;
  }

 private:
  static constexpr size_t kBlockSize = 64 * 1024;

  void FlushBlock() {
    size_t size = static_cast<size_t>(next_ - block_.get());
    if (status_.ok() && size > 0) status_ = sink_.Write(block_.get(), size);
    written_ += size;
    next_ = block_.get();
  }

  ByteSink& sink_;
  std::unique_ptr<uint8_t[]> block_;
  uint8_t* next_;
  uint64_t accumulator_ = 0;
  unsigned count_ = 0;
  uint64_t written_ = 0;
  Status status_;
};

}  // namespace lzh
