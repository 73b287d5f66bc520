// OutputWindow: where the LZ77-family decoders write their output.
//
// One flat buffer holds the history, up to the largest window, followed by
// a large run of fresh output. Copies therefore never wrap, which keeps the
// inner loops simple, and the history starts out holding whatever the
// method says the window holds before the first byte (spaces, or the lz5
// pattern), so references before the start need no special case. When the
// fresh part is full it goes to the sink (and the CRC) in one call, and the
// last `window` bytes move to the front. Output never goes beyond the
// member's declared original size.
//
// Archives of many small members are common, so a member must cost what
// its own bytes cost: the buffer belongs to the thread and serves every
// member it decodes, and the history of spaces is refilled only where a
// member with more output than the fresh part (whose history slid) or a
// ring-method member left other bytes in it. The last flush of a member
// does not slide.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/crc16.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

class OutputWindow {
 public:
  static constexpr size_t kLongestCopy = 256;
  static constexpr size_t kLargestWindow = 65536;

  // `window` is at most kLargestWindow; the history starts as spaces.
  OutputWindow(ByteSink& sink, size_t window, uint64_t original_size)
      : sink_(sink), thread_(ThreadBuffer()), window_(window), remaining_(original_size) {
    uint8_t* fresh = thread_.bytes.get() + kLargestWindow;
    if (thread_.spaces < window_ && remaining_ > 0) {
      std::memset(fresh - window_, 0x20, window_ - thread_.spaces);
      thread_.spaces = window_;
    }
    cursor_ = flushed_ = fresh;
  }

  // The history before the first output byte, for a method that starts it
  // with other bytes than spaces.
  uint8_t* history_to_fill() {
    thread_.spaces = 0;
    return thread_.bytes.get() + kLargestWindow - window_;
  }
  size_t window() const { return window_; }

  // Output not yet produced, of the declared original size.
  uint64_t remaining() const { return remaining_ - static_cast<size_t>(cursor_ - flushed_); }

  // The stretch the decoder may fill before calling Flush is [cursor, stop);
  // a copy that starts before stop may run on up to `limit`, which is the
  // member's end when that is near (copies must be clipped to it).
  uint8_t* cursor() { return cursor_; }
  uint8_t* stop(uint8_t** limit) {
    size_t room = static_cast<size_t>(thread_.bytes.get() + kLargestWindow + kFreshSize - cursor_);
    uint64_t left = remaining();
    *limit = cursor_ + static_cast<size_t>(std::min<uint64_t>(left, room + kLongestCopy));
    return cursor_ + static_cast<size_t>(std::min<uint64_t>(left, room));
  }
  void set_cursor(uint8_t* cursor) { cursor_ = cursor; }

  // Copies `length` bytes from `distance` back (1 <= distance <= window);
  // the source may overlap the destination. May write up to 31 bytes
  // beyond the copy, which later output overwrites: most matches are short,
  // and a fixed 32-byte copy of them costs no branch.
  static inline uint8_t* Copy(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* from = out - distance;
    if (distance >= 16) [[likely]] {
      std::memcpy(out, from, 16);
      std::memcpy(out + 16, from + 16, 16);
      for (size_t i = 32; i < length; i += 16) std::memcpy(out + i, from + i, 16);
    } else if (distance >= 8) {
      for (size_t i = 0; i < length; i += 8) std::memcpy(out + i, from + i, 8);
    } else if (distance == 1) {
      std::memset(out, *from, length);
    } else {
      for (size_t i = 0; i < length; ++i) out[i] = from[i];
    }
    return out + length;
  }

  // Hands the fresh output to the sink and, unless the member is complete,
  // slides the history down.
  Status Flush() {
    size_t fresh = static_cast<size_t>(cursor_ - flushed_);
    if (fresh == 0) return Status::Ok();
    crc_ = Crc16(crc_, flushed_, fresh);
    LZH_TRY(sink_.Write(flushed_, fresh));
    remaining_ -= fresh;
    uint8_t* start = thread_.bytes.get() + kLargestWindow;
    if (remaining_ > 0) {
      std::memmove(start - window_, cursor_ - window_, window_);
      thread_.spaces = 0;
    }
    cursor_ = flushed_ = start;
    return Status::Ok();
  }

  Status Finish(uint16_t* crc) {
    LZH_TRY(Flush());
    *crc = crc_;
    return Status::Ok();
  }

 private:
  static constexpr size_t kFreshSize = 256 * 1024;
  static constexpr size_t kSlack = 32;  // Copy writes up to 31 bytes too many

  struct Buffer {
    std::unique_ptr<uint8_t[]> bytes{new uint8_t[kLargestWindow + kFreshSize + kLongestCopy + kSlack]};
    size_t spaces = 0;  // the history's last bytes known to be spaces
  };

  static Buffer& ThreadBuffer() {
    thread_local Buffer buffer;
    return buffer;
  }

  ByteSink& sink_;
  Buffer& thread_;
  size_t window_;
  uint64_t remaining_;  // of the original size, not counting unflushed output
  uint8_t* cursor_;
  uint8_t* flushed_;
  uint16_t crc_ = 0;
};

}  // namespace lzh
