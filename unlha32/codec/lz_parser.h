// LzParser: the LZ77 half of every encoder. It pulls the member's bytes
// from the source in large blocks, finds matches over 3-byte prefix hashes,
// and hands the parse to a consumer one literal or match at a time. Two
// parses are offered:
// - Run: a match or a literal followed by a longer match one byte later
//   (lazy matching, over hash chains), for lh1, whose adaptive codes have
//   no stable costs, and for lh5, which must stay fast;
// - RunOptimal: every match of every position of a chunk is collected (from
//   binary trees, which find them in far fewer steps than chains), and
//   the cheapest path through the chunk is chosen by costs the consumer
//   derives from the codes of the previous path (a shortest-path parse,
//   repeated once with the costs of its own first result).
//
// It is a template over the consumer so that the per-token calls inline
// into the loop. One flat buffer holds `window` bytes of history and a
// large run of input; it slides rarely, so positions in the hash tables are
// stored as 32-bit stream offsets and never rewritten. Stale or wrapped
// entries are harmless: a candidate is used only when its distance lies in
// the window and the bytes really match. Distances never exceed the bytes
// already read, so no match refers to anything before the member's start.
//
// The buffers (about 3 MiB) belong to the thread and serve every member it
// encodes: allocating and zeroing them per member cost more than packing a
// small member. A new member starts its stream offsets a window past the
// previous member's end, so the tables' old entries lie out of reach; well
// before the offsets could wrap, the hash heads are cleared and they start
// again, so that what one parse finds never depends on what the thread
// parsed before it (threads take chunks of a member in any order).
//
// A parse may be primed: the first bytes of its input are only entered
// into the match finder, so that a chunk of a long member is parsed with
// the window before it in reach, as one parse of the whole member would.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/crc16.h"
#include "base/status.h"
#include "base/stream.h"

namespace lzh {

// Passes a source's bytes on, counting them and taking their CRC-16 and
// last three bytes: what an encoder reports of the member it packed.
class TallyingSource final : public ByteSource {
 public:
  explicit TallyingSource(ByteSource& source) : source_(source) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    LZH_TRY(source_.Read(buffer, capacity, got));
    const size_t size = *got;
    crc_ = Crc16(crc_, buffer, size);
    consumed_ += size;
    uint8_t last[6];
    const size_t fresh = std::min<size_t>(size, 3);
    std::memcpy(last, last_bytes_, 3);
    std::memcpy(last + 3, buffer + size - fresh, fresh);
    std::memcpy(last_bytes_, last + fresh, 3);
    return Status::Ok();
  }
  uint64_t consumed() const { return consumed_; }
  uint16_t crc() const { return crc_; }
  // The last three bytes read (fewer are real for a shorter input).
  const uint8_t* last_bytes() const { return last_bytes_; }

 private:
  ByteSource& source_;
  uint64_t consumed_ = 0;
  uint16_t crc_ = 0;
  uint8_t last_bytes_[3] = {};
};

struct MatchFinderConfig {
  unsigned window;       // longest distance (a power of two, at most kMaxWindow)
  unsigned min_match;
  unsigned max_match;
  unsigned max_chain;    // candidates (chain links or tree nodes) tried per position
  unsigned good_match;   // a pending match this long: try a quarter of the chain
  unsigned lazy_match;   // a pending match this long is taken without looking further
  unsigned nice_match;   // a match this long ends the search
  unsigned far_shortest; // shortest matches farther than this cost more than literals
  unsigned hash_bits;    // at most kMaxHashBits
};

class LzParser {
 public:
  static constexpr unsigned kMaxWindow = 65536;
  // Positions the cost-based parse plans together: long enough that the
  // costs settle, short enough that they follow the data.
  static constexpr size_t kPlannedTogether = 16384;
  static constexpr unsigned kMaxHashBits = 16;

  // The first `primed` bytes of `source` (at most kMaxWindow) are history
  // only: matches may reach into them, but they are not parsed.
  LzParser(ByteSource& source, const MatchFinderConfig& config, size_t primed = 0)
      : source_(source), config_(config), state_(ThreadState()), primed_(primed) {
    if (state_.base > kRestartOffset) {
      std::memset(state_.head.get(), 0, sizeof(uint32_t) << kMaxHashBits);
      state_.base = state_.filled = 0;
    }
    // A gap of a full window keeps the previous member's offsets out of reach.
    state_.base += state_.filled + kMaxWindow;
    state_.filled = 0;
  }

  // Runs the whole input through `consumer` with lazy matching. It provides
  //   void Literal(uint8_t byte);
  //   void Match(unsigned length, unsigned distance);
  //   bool Stopped();   // checked once per input block: stop early
  template <typename Consumer>
  Status Run(Consumer& consumer) {
    const unsigned min_match = config_.min_match;
    const uint8_t* buffer = state_.buffer.get();
    size_t pos = 0;
    LZH_TRY(Prime(&pos));
    EnterUntil(&pos, primed_, [this](size_t p) { Insert(p); });
    unsigned pending_length = 0;  // a match starting at pos - 1
    unsigned pending_distance = 0;
    bool pending_literal = false;  // the byte at pos - 1 is not yet emitted
    for (;;) {
      if (state_.filled - pos < kLookahead && !ended_) {
        if (consumer.Stopped()) return Status::Ok();
        LZH_TRY(Fill(&pos, kLookahead));
      }
      const size_t filled = state_.filled;
      if (pos >= filled) break;
      unsigned length = 0;
      unsigned distance = 0;
      if (filled - pos >= min_match) {
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
          if (filled - p >= min_match) Insert(p);
        pos = end;
        pending_length = 0;
        pending_literal = false;
        continue;
      }
      if (pending_literal) consumer.Literal(buffer[pos - 1]);
      pending_length = length;
      pending_distance = distance;
      pending_literal = true;
      ++pos;
    }
    if (pending_literal) consumer.Literal(buffer[pos - 1]);
    return Status::Ok();
  }

  // Runs the whole input through `consumer` with the cheapest parse by the
  // costs of `costs`, which provides
  //   uint32_t LiteralCost(uint8_t byte) const;
  //   uint32_t LengthCost(unsigned length) const;
  //   uint32_t DistanceCost(unsigned distance) const;
  //   void Literal(uint8_t byte);                        // tallies the path
  //   void Match(unsigned length, unsigned distance);
  //   void Foresee();   // costs for a second parse of the stretch, from its tally
  //   void Update();    // costs for the next stretch, from the tally
  //
  // Each stretch's path is planned over kOverlap positions more than it
  // takes: the path stops at the first step that reaches past the
  // stretch's planned part, and the next stretch starts there with the
  // matches already gathered for the rest. Stretches planned end to end
  // would cut the match that crosses each end in two.
  template <typename Costs, typename Consumer>
  Status RunOptimal(Costs& costs, Consumer& consumer) {
    size_t pos = 0;
    LZH_TRY(Prime(&pos));
    // The last stretch of a long priming is parsed for its costs alone, so
    // that the first stretch parsed is priced as it would be in one parse
    // of the whole member.
    const auto enter = [this](size_t p) { Enter(p); };
    EnterUntil(&pos, primed_ >= kChunk ? primed_ - kChunk : primed_, enter);
    if (pos < primed_ && state_.filled >= primed_) {
      const size_t end = CollectMatches(pos, 0);  // primed_, unless the match pool filled
      ChoosePath(pos, end, costs);
      Walk(pos, end, costs);
      costs.Update();
      pos = end;
    }
    EnterUntil(&pos, primed_, enter);
    size_t gathered = 0;  // positions from pos on whose matches are gathered
    for (;;) {
      // The lookahead past the chunk gives its last positions their full
      // match length, however the source hands out its bytes.
      if (state_.filled - pos < kChunk + kLookahead && !ended_) {
        if (consumer.Stopped()) return Status::Ok();
        LZH_TRY(Fill(&pos, kChunk + kLookahead));
      }
      if (pos >= state_.filled) break;
      const size_t end = CollectMatches(pos, gathered);
      const bool last = ended_ && end == state_.filled;
      const size_t planned = last || end - pos <= 2 * kOverlap ? end : end - kOverlap;
      ChoosePath(pos, end, costs);
      Walk(pos, planned, costs);
      costs.Foresee();
      ChoosePath(pos, end, costs);
      Walk(pos, planned, costs);
      costs.Update();
      const size_t next = Walk(pos, planned, consumer);
      gathered = KeepMatchesFrom(next - pos, end - pos);
      pos = next;
    }
    return Status::Ok();
  }

 private:
  static constexpr size_t kInputRun = 256 * 1024;
  static constexpr size_t kCapacity = kMaxWindow + kInputRun;
  static constexpr size_t kLookahead = 512;  // > the longest match of any method
  static constexpr size_t kSlack = 16;       // match comparison reads up to 8 bytes ahead
  static constexpr size_t kChunk = kPlannedTogether;
  static constexpr size_t kMatchPool = kChunk * 8;
  static constexpr size_t kOverlap = 512;
  static_assert(kChunk <= kInputRun / 2);
  static_assert(kMaxWindow + kLookahead <= kInputRun);
  // Stream offsets are 32 bits; a parse starts below this one, far enough
  // from the wrap for any primed chunk.
  static constexpr uint64_t kRestartOffset = uint64_t{1} << 31;

  static constexpr unsigned kEnterLength = 32;

  // A match as the optimal parse stores it: distance << 9 | length.
  static constexpr unsigned kLengthBits = 9;

  struct State {
    std::unique_ptr<uint8_t[]> buffer{new uint8_t[kCapacity + kSlack]()};
    std::unique_ptr<uint32_t[]> head{new uint32_t[size_t{1} << kMaxHashBits]()};
    std::unique_ptr<uint32_t[]> chain{new uint32_t[kMaxWindow]()};
    std::unique_ptr<uint32_t[]> tree{new uint32_t[2 * kMaxWindow]()};  // below, above per position
    // The optimal parse's chunk: matches per position, then the path.
    std::unique_ptr<uint32_t[]> match_start{new uint32_t[kChunk + 1]};
    std::unique_ptr<uint32_t[]> matches{new uint32_t[kMatchPool]};
    std::unique_ptr<uint32_t[]> cost{new uint32_t[kChunk + 1]};
    std::unique_ptr<uint32_t[]> choice{new uint32_t[kChunk]};  // as a match; length 1: literal
    size_t filled = 0;
    uint64_t base = 0;  // stream offset of buffer[0]
  };

  static State& ThreadState() {
    thread_local State state;
    return state;
  }

  uint32_t StreamOffset(size_t pos) const { return static_cast<uint32_t>(state_.base + pos); }

  uint32_t Hash(size_t pos) const {
    const uint8_t* p = &state_.buffer[pos];
    uint32_t key = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    return (key * 2654435761u) >> (32 - config_.hash_bits);
  }

  // Links `pos` into its chain and returns the previous chain head.
  uint32_t Insert(size_t pos) {
    uint32_t hash = Hash(pos);
    uint32_t previous = state_.head[hash];
    uint32_t offset = StreamOffset(pos);
    state_.chain[offset & (config_.window - 1)] = previous;
    state_.head[hash] = offset;
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

  // Follows the chain from `candidate` and passes every match longer than
  // all before it to found(length, distance), starting above `at_least`.
  // Returns the longest length found (at_least when none is longer).
  template <typename Found>
  unsigned Search(size_t pos, uint32_t candidate, unsigned at_least, unsigned chain,
                  Found found) {
    unsigned limit =
        static_cast<unsigned>(std::min<size_t>(config_.max_match, state_.filled - pos));
    size_t reach = std::min<size_t>(config_.window, pos);
    const uint8_t* here = &state_.buffer[pos];
    uint32_t offset = StreamOffset(pos);
    unsigned best = at_least;
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
          found(length, distance);
          if (length >= config_.nice_match) break;
        }
      }
      candidate = state_.chain[candidate & (config_.window - 1)];
    }
    return best;
  }

  // Inserts `pos` into the binary tree of its hash bucket and passes every
  // match longer than all before it to found(length, distance); returns the
  // longest length found (min_match - 1 when none). Each bucket is a tree
  // of its window positions ordered by the bytes that follow them, rooted
  // at the newest: walking down from the root towards `pos`'s place visits
  // only the nearest strings in that order, so few nodes find the long
  // matches that a hash chain reaches only after many misses, and the walk
  // re-links the tree around `pos` as it goes. A walk stopped early by
  // depth or nice length leaves the order slightly off, which costs matches
  // but never correctness: every length is counted from the first byte.
  // Matches are compared up to `longest` bytes.
  template <typename Found>
  unsigned TreeSearch(size_t pos, Found found, unsigned longest) {
    const unsigned limit =
        static_cast<unsigned>(std::min<size_t>(longest, state_.filled - pos));
    const unsigned stop = std::min(limit, config_.nice_match);
    const size_t reach = std::min<size_t>(config_.window, pos);
    const uint32_t mask = config_.window - 1;
    const uint8_t* here = &state_.buffer[pos];
    const uint32_t offset = StreamOffset(pos);
    uint32_t* tree = state_.tree.get();
    uint32_t hash = Hash(pos);
    uint32_t candidate = state_.head[hash];
    state_.head[hash] = offset;
    // Where the next node found below (above) `pos` in the order is linked.
    uint32_t* below = &tree[2 * (offset & mask)];
    uint32_t* above = below + 1;
    unsigned best = config_.min_match - 1;
    for (unsigned depth = config_.max_chain;; --depth) {
      uint32_t distance = offset - candidate;
      if (distance - 1 >= reach || depth == 0) {
        *below = *above = 0;  // out of reach, or a stale link at worst
        return best;
      }
      const uint8_t* there = here - distance;
      uint32_t* node = &tree[2 * (candidate & mask)];
      unsigned length = CommonLength(there, here, limit);
      if (length > best) {
        best = length;
        found(length, distance);
      }
      if (length >= stop) {
        *below = node[0];
        *above = node[1];
        return best;
      }
      if (there[length] < here[length]) {
        *below = candidate;
        below = &node[1];
        candidate = node[1];
      } else {
        *above = candidate;
        above = &node[0];
        candidate = node[0];
      }
    }
  }

  // Enters `pos` into its tree without looking for matches. The walk
  // compares at most kEnterLength bytes and takes over the links of a node
  // that far alike: runs and repeats would otherwise cost a full match
  // length of comparing per byte, and the order among strings that share
  // so long a prefix matters little.
  void Enter(size_t pos) { TreeSearch(pos, [](unsigned, unsigned) {}, kEnterLength); }

  // The longest match at `pos` that beats `at_least`; 0 when there is none.
  unsigned Longest(size_t pos, uint32_t candidate, unsigned at_least, unsigned* best_distance) {
    unsigned chain = at_least >= config_.good_match ? config_.max_chain / 4 : config_.max_chain;
    unsigned found = 0;
    Search(pos, candidate, std::max(at_least, config_.min_match - 1), chain,
           [&](unsigned length, unsigned distance) {
             found = length;
             *best_distance = distance;
           });
    return found;
  }

  // Gathers the matches of the positions from `start` on, a chunk at most,
  // after the first `gathered` ones, which the previous stretch left (see
  // KeepMatchesFrom), and returns the chunk's end. Positions inside a
  // match of nice length are only inserted: the long match is almost
  // always the way past them, and searching runs of equal bytes position
  // by position costs quadratic time.
  size_t CollectMatches(size_t start, size_t gathered) {
    size_t end = std::min(state_.filled, start + kChunk);
    uint32_t* match_start = state_.match_start.get();
    uint32_t* matches = state_.matches.get();
    uint32_t used = gathered > 0 ? match_start[gathered] : 0;
    for (size_t pos = start + gathered; pos < end;) {
      if (used + config_.max_chain > kMatchPool) {
        end = pos;
        break;
      }
      match_start[pos - start] = used;
      if (state_.filled - pos < config_.min_match) {
        ++pos;
        continue;
      }
      unsigned longest = TreeSearch(pos, [&](unsigned length, unsigned distance) {
        matches[used++] = distance << kLengthBits | length;
      }, config_.max_match);
      if (longest < config_.nice_match) {
        ++pos;
        continue;
      }
      size_t stop = std::min<size_t>(pos + longest, end);
      while (++pos < stop) {
        match_start[pos - start] = used;
        if (state_.filled - pos >= config_.min_match) Enter(pos);
      }
    }
    match_start[end - start] = used;
    return end;
  }

  // Chooses the cheapest path through [start, end), back to front: the
  // cost of each position is that of its best first step plus the cost of
  // the rest from where the step ends. Each stored match stands for every
  // length above the previous (shorter) one at its distance.
  template <typename Costs>
  void ChoosePath(size_t start, size_t end, const Costs& costs) {
    const uint8_t* buffer = state_.buffer.get();
    const uint32_t* match_start = state_.match_start.get();
    const uint32_t* matches = state_.matches.get();
    uint32_t* cost = state_.cost.get();
    uint32_t* choice = state_.choice.get();
    const unsigned n = static_cast<unsigned>(end - start);
    cost[n] = 0;
    for (unsigned i = n; i-- > 0;) {
      uint32_t best = cost[i + 1] + costs.LiteralCost(buffer[start + i]);
      uint32_t best_choice = 1;
      unsigned room = n - i;
      unsigned length = config_.min_match;
      for (uint32_t k = match_start[i]; k < match_start[i + 1] && length <= room; ++k) {
        unsigned distance = matches[k] >> kLengthBits;
        unsigned longest = std::min(matches[k] & ((1u << kLengthBits) - 1), room);
        uint32_t distance_cost = costs.DistanceCost(distance);
        for (; length <= longest; ++length) {
          uint32_t total = distance_cost + costs.LengthCost(length) + cost[i + length];
          if (total < best) {
            best = total;
            best_choice = distance << kLengthBits | length;
          }
        }
      }
      cost[i] = best;
      choice[i] = best_choice;
    }
  }

  // Hands `sink` the chosen path from `start` until it reaches `end` or
  // beyond; returns where it stopped.
  template <typename Sink>
  size_t Walk(size_t start, size_t end, Sink& sink) {
    const uint32_t* choice = state_.choice.get();
    const unsigned n = static_cast<unsigned>(end - start);
    unsigned i = 0;
    while (i < n) {
      unsigned length = choice[i] & ((1u << kLengthBits) - 1);
      if (length == 1) {
        sink.Literal(state_.buffer[start + i]);
      } else {
        sink.Match(length, choice[i] >> kLengthBits);
      }
      i += length;
    }
    return start + i;
  }

  // Moves the matches of the stretch's positions from `from` to `end` to
  // the front, for the next stretch, which starts at `from`; returns how
  // many positions they cover.
  size_t KeepMatchesFrom(size_t from, size_t end) {
    uint32_t* match_start = state_.match_start.get();
    uint32_t* matches = state_.matches.get();
    const uint32_t first = match_start[from];
    std::memmove(matches, matches + first, (match_start[end] - first) * sizeof matches[0]);
    for (size_t i = from; i <= end; ++i) match_start[i - from] = match_start[i] - first;
    return end - from;
  }

  // Reads the primed bytes and what follows them for the first matches.
  Status Prime(size_t* pos) {
    return primed_ == 0 ? Status::Ok() : Fill(pos, primed_ + kLookahead);
  }

  // Enters the positions from `pos` up to `until` (or the input's end)
  // into the match finder with `enter`, leaving `pos` there.
  template <typename EnterPosition>
  void EnterUntil(size_t* pos, size_t until, EnterPosition enter) {
    const size_t end = std::min(until, state_.filled);
    for (; *pos < end; ++*pos)
      if (state_.filled - *pos >= config_.min_match) enter(*pos);
  }

  // Reads until `need` bytes lie ahead of `pos` (or the input ends), first
  // sliding the buffer down when too little room is left.
  Status Fill(size_t* pos, size_t need) {
    uint8_t* buffer = state_.buffer.get();
    size_t& filled = state_.filled;
    if (kCapacity - filled < need) {
      size_t shift = *pos - config_.window;
      std::memmove(buffer, buffer + shift, filled - shift);
      filled -= shift;
      *pos -= shift;
      state_.base += shift;
    }
    while (!ended_ && filled - *pos < need) {
      size_t got = 0;
      LZH_TRY(source_.Read(buffer + filled, kCapacity - filled, &got));
      if (got == 0) {
        ended_ = true;
        break;
      }
      filled += got;
    }
    return Status::Ok();
  }

  ByteSource& source_;
  const MatchFinderConfig config_;
  State& state_;
  const size_t primed_;
  bool ended_ = false;
};

}  // namespace lzh
