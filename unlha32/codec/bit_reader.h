// BitReader: most-significant-bit-first reading of a member's compressed
// data, shared by every bit-packed decoder (lh1, lh4-7, lzs).
//
// The hot path refills without a branch, at most once per decoded symbol:
// the 64-bit buffer is topped up to at least 56 bits from an in-memory
// block, which covers a code, a position code and its extra bits (at most
// 47 bits), or two literal codes and the look-ups after them. The
// source is read in large blocks and never beyond the declared compressed
// size. Past the end of the real data the buffer is filled with zero bits
// so that decoding never stalls inside a code; Overran() then tells whether
// any of those invented bits were consumed, which is how an incomplete code
// at the end is reported as truncated data rather than read past.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "base/status.h"
#include "base/stream.h"

namespace lzh {

// The hot part of the reader's state. A decoder's inner loop copies it into
// a local variable so that it lives in registers: output bytes are stored
// through uint8_t pointers, which may alias anything in memory and would
// otherwise force a reload of the state after every byte.
struct BitCursor {
  uint64_t bits = 0;   // left-aligned; below the top `count` bits: zeros or the next input bits
  unsigned count = 0;  // valid bits in `bits`
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;

  // Tops up to at least 56 bits when 8 input bytes are at hand.
  inline bool TryRefill() {
    if (end - next < 8) [[unlikely]]
      return false;
    RefillAtHand();
    return true;
  }

  // TryRefill for a caller that has made sure of the 8 bytes, without the
  // test: a hot loop that checks once for all the refills of its step.
  inline void RefillAtHand() {
    uint64_t word;
    std::memcpy(&word, next, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    bits |= word >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }

  // The next `n` bits (1 <= n <= 32), without consuming them.
  inline uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits >> (64 - n)); }
  inline void Skip(unsigned n) {
    bits <<= n;
    count -= n;
  }
  // Consumes and returns `n` bits (0 <= n <= 32).
  inline uint32_t Take(unsigned n) {
    if (n == 0) return 0;
    uint32_t value = Peek(n);
    Skip(n);
    return value;
  }
};

class BitReader {
 public:
  BitReader(ByteSource& source, uint64_t compressed_size)
      : source_(source),
        unread_(compressed_size),
        block_size_(static_cast<size_t>(std::min<uint64_t>(compressed_size, kBlockSize))),
        block_(new uint8_t[block_size_]) {
    cursor_.next = cursor_.end = block_.get();
  }

  BitCursor& cursor() { return cursor_; }

  // Makes at least 56 bits available to Peek/Skip (zero bits past the end).
  inline void Refill() {
    if (!cursor_.TryRefill()) RefillSlow();
  }
  inline uint32_t Peek(unsigned n) const { return cursor_.Peek(n); }
  inline void Skip(unsigned n) { cursor_.Skip(n); }
  inline uint32_t Take(unsigned n) { return cursor_.Take(n); }
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

  uint64_t Consumed() const {
    uint64_t accounted = delivered_ + padding_ - static_cast<uint64_t>(cursor_.end - cursor_.next);
    return accounted * 8 - cursor_.count;
  }

  void RefillSlow() {
    if (cursor_.next == cursor_.end && unread_ > 0 && io_status_.ok()) LoadBlock();
    if (cursor_.TryRefill()) return;
    while (cursor_.count <= 56) {
      uint64_t byte = 0;
      if (cursor_.next < cursor_.end) {
        byte = *cursor_.next++;
      } else if (unread_ > 0 && io_status_.ok()) {
        LoadBlock();
        continue;
      } else {
        ++padding_;
      }
      cursor_.bits |= byte << (56 - cursor_.count);
      cursor_.count += 8;
    }
  }

  void LoadBlock() {
    size_t want = unread_ < block_size_ ? static_cast<size_t>(unread_) : block_size_;
    size_t got = 0;
    Status status = source_.Read(block_.get(), want, &got);
    if (!status.ok()) {
      io_status_ = status;
      got = 0;
    }
    if (got == 0) unread_ = 0;  // the source ended early: the rest is padding
    unread_ -= got > unread_ ? unread_ : got;
    delivered_ += got;
    cursor_.next = block_.get();
    cursor_.end = cursor_.next + got;
  }

  ByteSource& source_;
  uint64_t unread_;  // bytes of the compressed size not yet taken from the source
  size_t block_size_;  // no larger than the member's data: small members are common
  std::unique_ptr<uint8_t[]> block_;
  BitCursor cursor_;
  uint64_t delivered_ = 0;  // real bytes obtained from the source
  uint64_t padding_ = 0;    // zero bytes invented past the end
  Status io_status_;
};

}  // namespace lzh
