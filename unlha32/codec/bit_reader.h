// BitReader: most-significant-bit-first reading of a member's compressed
// data, shared by every bit-packed decoder (lh1, lh4-7, lzs).
//
// The hot path is one branch-free refill per decoded symbol: the 64-bit
// buffer is topped up to at least 56 bits from an in-memory block, which
// covers a code, a position code and its extra bits (at most 48 bits). The
// source is read in large blocks and never beyond the declared compressed
// size. Past the end of the real data the buffer is filled with zero bits
// so that decoding never stalls inside a code; Overran() then tells whether
// any of those invented bits were consumed, which is how an incomplete code
// at the end is reported as truncated data rather than read past.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "status.h"
#include "stream.h"

namespace lzh {

class BitReader {
 public:
  BitReader(ByteSource& source, uint64_t compressed_size)
      : source_(source), unread_(compressed_size), block_(new uint8_t[kBlockSize]) {
    next_ = end_ = block_.get();
  }

  // Makes at least 56 bits available to Peek/Skip (zero bits past the end).
  inline void Refill() {
    if (end_ - next_ >= 8) [[likely]] {
      uint64_t word;
      std::memcpy(&word, next_, 8);
      word = LoadBigEndian(word);
      bits_ |= word >> count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    RefillSlow();
  }

  // The next `n` bits (1 <= n <= 32), without consuming them.
  inline uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  // The next bits as a left-aligned word, for table look-ups.
  inline uint64_t Window() const { return bits_; }
  inline void Skip(unsigned n) {
    bits_ <<= n;
    count_ -= n;
  }
  // Consumes and returns `n` bits (0 <= n <= 32); needs a Refill before
  // when more than the bits already buffered may be needed.
  inline uint32_t Take(unsigned n) {
    if (n == 0) return 0;
    uint32_t value = Peek(n);
    Skip(n);
    return value;
  }
  // Take with its own refill, for the cold paths (table headers).
  uint32_t Read(unsigned n) {
    Refill();
    return Take(n);
  }

  // True when bits beyond the end of the real data have been consumed.
  bool Overran() const { return Consumed() > delivered_ * 8; }

  // A fault found in bits read past the end of the data is a symptom of
  // truncation, and is reported as such.
  Status ExplainFailure(Status status) const {
    if (!status.ok() && (Overran() || !io_status_.ok())) return Check();
    return status;
  }

  // The state to report after (or during) decoding: an I/O failure first,
  // then a read into the invented bits past the end.
  Status Check() const {
    if (!io_status_.ok()) return io_status_;
    LZH_REQUIRE(!Overran(), kTruncated, "truncated data");
    return Status::Ok();
  }

 private:
  static constexpr size_t kBlockSize = 64 * 1024;

  static inline uint64_t LoadBigEndian(uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(word);
    return word;
  }

  uint64_t Consumed() const { return loaded_bits_total() - count_; }
  uint64_t loaded_bits_total() const {
    return (delivered_ + padding_ - static_cast<uint64_t>(end_ - next_)) * 8;
  }

  void RefillSlow() {
    if (next_ == end_ && unread_ > 0 && io_status_.ok()) LoadBlock();
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (next_ < end_) {
        byte = *next_++;
      } else if (unread_ > 0 && io_status_.ok()) {
        LoadBlock();
        continue;
      } else {
        ++padding_;
      }
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }

  void LoadBlock() {
    size_t want = unread_ < kBlockSize ? static_cast<size_t>(unread_) : kBlockSize;
    size_t got = 0;
    Status status = source_.Read(block_.get(), want, &got);
    if (!status.ok()) {
      io_status_ = status;
      got = 0;
    }
    if (got == 0) unread_ = 0;  // the source ended early: the rest is padding
    unread_ -= got > unread_ ? unread_ : got;
    delivered_ += got;
    next_ = block_.get();
    end_ = next_ + got;
  }

  ByteSource& source_;
  uint64_t unread_;  // bytes of the compressed size not yet taken from the source
  std::unique_ptr<uint8_t[]> block_;
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t bits_ = 0;    // left-aligned; bits below the top `count_` are zero
  unsigned count_ = 0;   // valid bits in bits_
  uint64_t delivered_ = 0;  // real bytes obtained from the source
  uint64_t padding_ = 0;    // zero bytes invented past the end
  Status io_status_;
};

}  // namespace lzh
