// ParseInChunks: the LZ parse of a long member on every core.
//
// The input is cut into chunks of kChunkBytes, and each chunk is parsed on
// its own, on whichever thread of a pool is free, by a parser primed with
// the window's worth of input before the chunk: no match reaches further
// back than the window, so the parse differs from one over the whole member
// only where a chunk starts, in the price estimates of its first stretch.
// The chunks' tokens are recorded compactly and handed to the consumer in
// order on the caller's thread, which also reads the input and codes the
// blocks. Where the chunks fall depends on the input alone, never on
// timing or on the number of threads: any number of threads writes the same
// bytes, and one thread runs the same steps in turn.
//
// The first chunk is parsed straight from the input into the consumer, so
// that a member of one chunk (the common case) costs no pool, copy or
// record. Memory: up to threads + 1 chunks in flight, each its input and
// its tokens (at most 9/8 of its input).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "os/thread_pool.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

inline constexpr size_t kChunkBytes = size_t{1} << 20;

// A chunk's parse as a compact stream: a flag byte ahead of every eight
// tokens (bit i set: token i is a match), then a literal's byte or a
// match's length - 3 and distance - 1 (two bytes, low first).
class ParseRecord {
 public:
  void Clear() {
    bytes_.clear();
    flag_bit_ = 8;
  }

  void Literal(uint8_t byte) {
    NextToken(false);
    bytes_.push_back(byte);
  }
  void Match(unsigned length, unsigned distance) {
    NextToken(true);
    unsigned q = distance - 1;
    const uint8_t token[3] = {static_cast<uint8_t>(length - 3), static_cast<uint8_t>(q),
                              static_cast<uint8_t>(q >> 8)};
    bytes_.insert(bytes_.end(), token, token + 3);
  }
  bool Stopped() const { return false; }

  template <typename Consumer>
  void Replay(Consumer& consumer) const {
    const uint8_t* at = bytes_.data();
    const uint8_t* const end = at + bytes_.size();
    while (at < end) {
      unsigned flags = *at++;
      for (unsigned bit = 0; bit < 8 && at < end; ++bit) {
        if (flags >> bit & 1) {
          consumer.Match(at[0] + 3u, (at[1] | at[2] << 8) + 1u);
          at += 3;
        } else {
          consumer.Literal(*at++);
        }
      }
    }
  }

 private:
  void NextToken(bool match) {
    if (flag_bit_ == 8) {
      flags_at_ = bytes_.size();
      bytes_.push_back(0);
      flag_bit_ = 0;
    }
    bytes_[flags_at_] |= static_cast<uint8_t>(match << flag_bit_);
    ++flag_bit_;
  }

  std::vector<uint8_t> bytes_;
  size_t flags_at_ = 0;
  unsigned flag_bit_ = 8;
};

namespace chunked_parse {

// The first chunk of the input, passed on as it is read, keeping the last
// `window` bytes for the chunk after it.
class FirstChunk final : public ByteSource {
 public:
  FirstChunk(ByteSource& in, size_t window) : in_(in), window_(window) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    size_t want = std::min(capacity, kChunkBytes - passed_);
    if (want == 0) return Status::Ok();
    LZH_TRY(in_.Read(buffer, want, got));
    passed_ += *got;
    size_t keep = std::min(*got, window_);
    tail_.insert(tail_.end(), buffer + *got - keep, buffer + *got);
    if (tail_.size() > window_) tail_.erase(tail_.begin(), tail_.end() - static_cast<std::ptrdiff_t>(window_));
    return Status::Ok();
  }
  bool full() const { return passed_ == kChunkBytes; }
  const std::vector<uint8_t>& tail() const { return tail_; }

 private:
  ByteSource& in_;
  const size_t window_;
  size_t passed_ = 0;
  std::vector<uint8_t> tail_;
};

class ChunkSource final : public ByteSource {
 public:
  explicit ChunkSource(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = std::min(capacity, bytes_.size() - taken_);
    std::memcpy(buffer, bytes_.data() + taken_, *got);
    taken_ += *got;
    return Status::Ok();
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t taken_ = 0;
};

// A chunk after the first: its input (the window before it, then its own
// bytes) and, once parsed, its tokens.
template <typename Parse>
class Chunk final : public os::ThreadPool::Task {
 public:
  explicit Chunk(const Parse& parse) : parse_(parse) {}

  // Takes the last `window` bytes of `history`, then reads the next chunk
  // of `in`; false when `in` had nothing left.
  Status Read(ByteSource& in, const std::vector<uint8_t>& history, size_t window, bool* got_any) {
    primed = std::min(window, history.size());
    input.assign(history.end() - static_cast<std::ptrdiff_t>(primed), history.end());
    size_t filled = primed;
    input.resize(primed + kChunkBytes);
    Status read;
    while (filled < input.size()) {
      size_t got = 0;
      read = in.Read(input.data() + filled, input.size() - filled, &got);
      if (!read.ok() || got == 0) break;
      filled += got;
    }
    input.resize(filled);
    *got_any = filled > primed;
    return read;
  }

  bool full() const { return input.size() - primed == kChunkBytes; }

  void Run() override {
    record.Clear();
    ChunkSource source(input);
    status = parse_(source, primed, record);
  }

  std::vector<uint8_t> input;
  size_t primed = 0;
  ParseRecord record;
  Status status;

 private:
  const Parse& parse_;
};

}  // namespace chunked_parse

// Reads `in` to its end and hands its parse to `consumer` (Literal, Match,
// Stopped, as LzParser's consumers). parse(source, primed, consumer) runs
// one parser over `source`, whose first `primed` bytes are history, into
// `consumer` itself (the first chunk) or a ParseRecord. At most `threads`
// threads parse (0: os::UsableThreads(), asked only for a member longer
// than a chunk). Stops early, without reading the rest, once
// consumer.Stopped() holds.
template <typename Parse, typename Consumer>
Status ParseInChunks(ByteSource& in, size_t window, unsigned threads, const Parse& parse,
                     Consumer& consumer) {
  using Chunk = chunked_parse::Chunk<Parse>;
  chunked_parse::FirstChunk first(in, window);
  LZH_TRY(parse(first, 0, consumer));
  if (!first.full() || consumer.Stopped()) return Status::Ok();

  if (threads == 0) threads = os::UsableThreads();
  const size_t slots = threads + 1;
  std::vector<std::unique_ptr<Chunk>> chunks;
  for (size_t i = 0; i < slots; ++i) chunks.push_back(std::make_unique<Chunk>(parse));
  // Declared after the chunks: its end joins the helpers before the chunks
  // they may be parsing go.
  os::ThreadPool pool(threads);
  size_t oldest = 1;  // chunks in flight: oldest, oldest + 1, ... (mod slots)
  size_t in_flight = 0;
  bool ended = false;
  const std::vector<uint8_t>* history = &first.tail();
  do {
    while (!ended && in_flight < slots) {
      Chunk& next = *chunks[(oldest + in_flight) % slots];
      bool got_any = false;
      LZH_TRY(next.Read(in, *history, window, &got_any));
      ended = !got_any || !next.full();
      if (!got_any) break;
      pool.Submit(next);
      ++in_flight;
      history = &next.input;
    }
    if (in_flight == 0) break;
    Chunk& chunk = *chunks[oldest % slots];
    pool.Wait(chunk);
    LZH_TRY(chunk.status);
    chunk.record.Replay(consumer);
    ++oldest;
    --in_flight;
  } while (!consumer.Stopped());
  return Status::Ok();
}

}  // namespace lzh
