// LzParser: the LZ77 half of every encoder. It pulls the member's bytes
// from the source in large blocks, finds matches with hash chains over
// 3-byte prefixes, and hands the parse to a consumer one literal or match at
// a time, choosing between a match and a literal followed by a longer match
// one byte later (lazy matching).
//
// It is a template over the consumer so that the per-token calls inline
// into the loop. One flat buffer holds `window` bytes of history and a
// large run of input; it slides rarely, so positions in the hash tables are
// stored as 32-bit stream offsets and never rewritten. Stale or wrapped
// entries are harmless: a candidate is used only when its distance lies in
// the window and the bytes really match. Distances never exceed the bytes
// already read, so no match refers to anything before the member's start.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "crc16.h"
#include "status.h"
#include "stream.h"

namespace lzh {

struct MatchFinderConfig {
  unsigned window;       // longest distance
  unsigned min_match;
  unsigned max_match;
  unsigned max_chain;    // candidates tried per position
  unsigned good_match;   // a pending match this long: try a quarter of the chain
  unsigned lazy_match;   // a pending match this long is taken without looking further
  unsigned nice_match;   // a match this long ends the search
  unsigned far_shortest; // shortest matches farther than this cost more than literals
  unsigned hash_bits;
};

class LzParser {
 public:
  LzParser(ByteSource& source, const MatchFinderConfig& config)
      : source_(source),
        config_(config),
        capacity_(config.window + kInputRun),
        buffer_(new uint8_t[capacity_ + kSlack]()),
        head_(new uint32_t[size_t{1} << config.hash_bits]()),
        chain_(new uint32_t[config.window]()) {}

  // Runs the whole input through `consumer`, which provides
  //   void Literal(uint8_t byte);
  //   void Match(unsigned length, unsigned distance);
  //   bool Stopped();   // checked once per input block: stop early
  template <typename Consumer>
  Status Run(Consumer& consumer) {
    const unsigned min_match = config_.min_match;
    size_t pos = 0;
    unsigned pending_length = 0;  // a match starting at pos - 1
    unsigned pending_distance = 0;
    bool pending_literal = false;  // the byte at pos - 1 is not yet emitted
    for (;;) {
      if (filled_ - pos < kLookahead && !ended_) {
        if (consumer.Stopped()) return Status::Ok();
        LZH_TRY(Fill(&pos));
      }
      if (pos >= filled_) break;
      unsigned length = 0;
      unsigned distance = 0;
      if (filled_ - pos >= min_match) {
        uint32_t candidate = Insert(pos);
        if (pending_length < config_.lazy_match) {
          length = Longest(pos, candidate, pending_length, &distance);
          if (length == min_match && distance > config_.far_shortest) length = 0;
        }
      }
      if (pending_length >= min_match && length <= pending_length) {
        consumer.Match(pending_length, pending_distance);
        size_t end = pos - 1 + pending_length;
        for (size_t p = pos + 1; p < end; ++p)
          if (filled_ - p >= min_match) Insert(p);
        pos = end;
        pending_length = 0;
        pending_literal = false;
        continue;
      }
      if (pending_literal) consumer.Literal(buffer_[pos - 1]);
      pending_length = length;
      pending_distance = distance;
      pending_literal = true;
      ++pos;
    }
    if (pending_literal) consumer.Literal(buffer_[pos - 1]);
    return Status::Ok();
  }

  uint64_t consumed() const { return consumed_; }

  // The last three bytes read (after Run; fewer are valid for a shorter
  // input).
  void CopyLastBytes(uint8_t* bytes) const {
    std::memcpy(bytes, &buffer_[filled_ >= 3 ? filled_ - 3 : 0], 3);
  }
  uint16_t crc() const { return crc_; }

 private:
  static constexpr size_t kInputRun = 256 * 1024;
  static constexpr size_t kLookahead = 512;  // > the longest match of any method
  static constexpr size_t kSlack = 16;       // match comparison reads up to 8 bytes ahead

  uint32_t StreamOffset(size_t pos) const { return static_cast<uint32_t>(base_ + pos); }

  uint32_t Hash(size_t pos) const {
    const uint8_t* p = &buffer_[pos];
    uint32_t key = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    return (key * 2654435761u) >> (32 - config_.hash_bits);
  }

  // Links `pos` into its chain and returns the previous chain head.
  uint32_t Insert(size_t pos) {
    uint32_t hash = Hash(pos);
    uint32_t previous = head_[hash];
    uint32_t offset = StreamOffset(pos);
    chain_[offset & (config_.window - 1)] = previous;
    head_[hash] = offset;
    return previous;
  }

  static unsigned CommonLength(const uint8_t* a, const uint8_t* b, unsigned limit) {
    unsigned length = 0;
    while (length < limit) {
      uint64_t x;
      uint64_t y;
      std::memcpy(&x, a + length, 8);
      std::memcpy(&y, b + length, 8);
      uint64_t diff = x ^ y;
      if (diff != 0) {
        unsigned same = std::endian::native == std::endian::little
                            ? static_cast<unsigned>(std::countr_zero(diff)) / 8
                            : static_cast<unsigned>(std::countl_zero(diff)) / 8;
        return std::min(length + same, limit);
      }
      length += 8;
    }
    return limit;
  }

  // The longest match at `pos` that beats `at_least`, following the chain
  // from `candidate`; 0 when there is none.
  unsigned Longest(size_t pos, uint32_t candidate, unsigned at_least, unsigned* best_distance) {
    unsigned limit = static_cast<unsigned>(std::min<size_t>(config_.max_match, filled_ - pos));
    size_t reach = std::min<size_t>(config_.window, pos);
    unsigned chain = at_least >= config_.good_match ? config_.max_chain / 4 : config_.max_chain;
    const uint8_t* here = &buffer_[pos];
    uint32_t offset = StreamOffset(pos);
    unsigned best = std::max(at_least, config_.min_match - 1);
    unsigned found = 0;
    uint32_t last_distance = 0;
    while (chain-- > 0 && best < limit) {
      uint32_t distance = offset - candidate;
      // Chains run to older positions; anything else is a stale link.
      if (distance <= last_distance || distance > reach) break;
      last_distance = distance;
      const uint8_t* there = here - distance;
      if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
        unsigned length = CommonLength(there, here, limit);
        if (length > best) {
          best = length;
          found = length;
          *best_distance = distance;
          if (length >= config_.nice_match) break;
        }
      }
      candidate = chain_[candidate & (config_.window - 1)];
    }
    return found;
  }

  // Reads more input, first sliding the buffer down when it is full.
  Status Fill(size_t* pos) {
    if (capacity_ - filled_ < kLookahead) {
      size_t shift = *pos - config_.window;
      std::memmove(buffer_.get(), buffer_.get() + shift, filled_ - shift);
      filled_ -= shift;
      *pos -= shift;
      base_ += shift;
    }
    while (!ended_ && filled_ - *pos < kLookahead) {
      size_t got = 0;
      LZH_TRY(source_.Read(buffer_.get() + filled_, capacity_ - filled_, &got));
      if (got == 0) {
        ended_ = true;
        break;
      }
      crc_ = Crc16(crc_, buffer_.get() + filled_, got);
      consumed_ += got;
      filled_ += got;
    }
    return Status::Ok();
  }

  ByteSource& source_;
  const MatchFinderConfig config_;
  const size_t capacity_;
  std::unique_ptr<uint8_t[]> buffer_;
  std::unique_ptr<uint32_t[]> head_;
  std::unique_ptr<uint32_t[]> chain_;
  size_t filled_ = 0;
  uint64_t base_ = 0;  // stream offset of buffer_[0]
  bool ended_ = false;
  uint64_t consumed_ = 0;
  uint16_t crc_ = 0;
};

}  // namespace lzh
