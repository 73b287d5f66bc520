// Encoder for lh5, lh6 and lh7: the LZ parse goes into blocks of symbols;
// each block gets Huffman tables built from its own counts and is written
// as: symbol count, NT table, NC table, NP table, symbols. The lh6 and lh7
// parse is the parser's cheapest path, priced by the code lengths the
// previous stretch of the path would get (PathCosts); lh5 uses lazy matching
// to stay fast.
//
// Readers differ in what they accept, so the writer keeps to the strict
// form: code lengths of at most 16 bits, a table with one symbol in use in
// its one-symbol form, and no byte after the last one holding bits. Two
// more reader faults shape the end of the data:
// - one reader fails when the last block's literal/length table has one
//   symbol; the last block therefore always holds two different symbols
//   (the final symbol is re-expressed when needed), and a member that can
//   only be written as one-symbol blocks is reported as store_instead;
// - another fails when the last code starts so close to the end that
//   fewer bits remain than the longest code of its table; the last
//   symbol's codes then swap lengths with a longest code of their tables.
// Blocks end where the statistics of the symbols change (see
// WriteSettledBlocks), and a block is written only while at least kGranule
// symbols stay pending, which keeps the last block from being tiny.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "codec/bit_writer.h"
#include "codec/chunked_parse.h"
#include "codec/codecs.h"
#include "codec/huffman_code_builder.h"
#include "codec/lz_parser.h"
#include "codec/static_huffman_format.h"

namespace lzh {
namespace {

using namespace static_huffman;

// Block boundaries fall on multiples of kGranule symbols; up to kPending
// symbols gather before the blocks among them are chosen.
constexpr unsigned kGranule = 1024;
constexpr unsigned kPending = kMaxBlockSymbols / kGranule * kGranule;
constexpr unsigned kGranules = kPending / kGranule;

// n * log2(n) for every count a block can hold, in 1/256 bits, the sums of
// which price a block by the entropy of its symbols. Integers keep the
// block boundaries the same whatever the floating point of the build.
constexpr unsigned kPriceScale = 256;
const uint32_t* CountLogCount() {
  static const std::unique_ptr<uint32_t[]> table = [] {
    auto t = std::make_unique<uint32_t[]>(kMaxBlockSymbols + 1);  // zeros
    for (unsigned n = 2; n <= kMaxBlockSymbols; ++n) {
      double bits = n * std::log2(static_cast<double>(n));
      t[n] = static_cast<uint32_t>(std::llround(bits * kPriceScale));
    }
    return t;
  }();
  return table.get();
}

MatchFinderConfig ConfigFor(Method method) {
  switch (method) {
    case Method::kLh5:
      // Lazy matching at about 1.5 x gzip -6's speed; a longer chain costs
      // more time than it saves bytes. In 8 KiB, even the farthest 3-byte
      // match is cheaper than its literals.
      return {8192, kMinMatch, kMaxMatch, 96, 16, 32, 128, 8192, 15};
    case Method::kLh6:
      return {32768, kMinMatch, kMaxMatch, 32, 32, 128, 64, 4096, 16};
    default:
      // lh7 has the time to spare against gzip -9: trees searched 256
      // nodes deep and matches followed to the longest length pack the
      // binaries 0.015 % smaller than 64 nodes and 128 bytes, for 5 % more
      // time.
      return {65536, kMinMatch, kMaxMatch, 256, 64, 256, 256, 4096, 16};
  }
}

inline unsigned PositionSymbol(unsigned q) { return static_cast<unsigned>(std::bit_width(q)); }
inline uint16_t LengthSymbol(unsigned length) {
  return static_cast<uint16_t>(length + (256 - kMinMatch));
}

// Prices literals and matches for the optimal parse by what their symbols
// cost in the path tallied so far: -log2 of each symbol's share, in 1/256
// bits (finer than a Huffman code's whole bits, which lets near-equal
// choices fall the cheaper way more often: 0.1 % smaller). The shares are
// those of a weight per symbol that keeps half the weight before each
// stretch the parse plans and adds that stretch's count: priced by the
// last stretch alone, the few thousand symbols of binaries give the rarer
// lengths and positions prices far off what their blocks get (0.15 %
// larger there). Each stretch is parsed a second time with its own first
// path weighed in, counted four times over (see Foresee; counted twice,
// the binaries pack 0.008 % larger); with that second pass, keeping half
// packs smaller than keeping three quarters. Every weight is raised by
// a fixed amount first, so symbols absent from the path keep a finite,
// high price instead of becoming unreachable.
class PathCosts {
  static constexpr uint32_t kCostScale = 256;
  static constexpr uint32_t kRaise = 8;
  static constexpr unsigned kMantissaBits = 12;

  // log2(n) in 1/kCostScale bits: the exponent, and the log of the top
  // kMantissaBits bits below the leading one from a table (under 1/2800
  // bit off), rounded once to integers, so that the parse itself is
  // integer work and its choices the same on every build (no entry lies
  // within 1/38,000 of a rounding tie, so no libm rounds one otherwise).
  static uint32_t CostOf(uint32_t n) {
    static const std::unique_ptr<uint16_t[]> fraction = [] {
      auto t = std::make_unique<uint16_t[]>(size_t{1} << kMantissaBits);
      for (uint32_t m = 0; m < (1u << kMantissaBits); ++m)
        t[m] = static_cast<uint16_t>(std::llround(
            std::log2(1.0 + m / static_cast<double>(1u << kMantissaBits)) * kCostScale));
      return t;
    }();
    const unsigned exponent = static_cast<unsigned>(std::bit_width(n)) - 1;
    const uint32_t mantissa = exponent >= kMantissaBits
                                  ? n >> (exponent - kMantissaBits)
                                  : n << (kMantissaBits - exponent);
    return exponent * kCostScale + fraction[mantissa & ((1u << kMantissaBits) - 1)];
  }

 public:
  explicit PathCosts(unsigned np) : np_(np) { Update(); }

  uint32_t LiteralCost(uint8_t byte) const { return literal_length_cost_[byte]; }
  uint32_t LengthCost(unsigned length) const {
    return literal_length_cost_[LengthSymbol(length)];
  }
  uint32_t DistanceCost(unsigned distance) const {
    return position_cost_[PositionSymbol(distance - 1)];
  }

  void Literal(uint8_t byte) { ++literal_length_counts_[byte]; }
  void Match(unsigned length, unsigned distance) {
    ++literal_length_counts_[LengthSymbol(length)];
    ++position_counts_[PositionSymbol(distance - 1)];
  }

  // Prices the stretch just tallied by its own path as well: the weights
  // as they would be with that path counted four times over. The tally is
  // cleared and the weights are kept, for the stretch's second parse.
  void Foresee() { Reprice(false); }

  // Folds the tally into the weights and prices the next stretch by them.
  void Update() { Reprice(true); }

 private:
  void Reprice(bool fold) {
    Reweigh(literal_length_counts_, literal_length_weights_, kNC, literal_length_cost_, fold);
    Reweigh(position_counts_, position_weights_, np_, position_cost_, fold);
    for (unsigned p = 2; p < np_; ++p) position_cost_[p] += kCostScale * (p - 1);
  }

  // Prices each symbol by its share of `weights` with `counts` added
  // (folded into `weights` when `fold`, else counted twice), and clears
  // the counts.
  static void Reweigh(uint32_t* counts, uint32_t* weights, unsigned symbols, uint32_t* cost,
                      bool fold) {
    uint32_t weighed[kNC];
    uint32_t total = 0;
    for (unsigned s = 0; s < symbols; ++s) {
      weighed[s] = weights[s] / 2 + (fold ? 2 : 8) * counts[s];
      if (fold) weights[s] = weighed[s];
      total += weighed[s] + kRaise;
      counts[s] = 0;
    }
    const uint32_t cost_of_total = CostOf(total);
    for (unsigned s = 0; s < symbols; ++s) cost[s] = cost_of_total - CostOf(weighed[s] + kRaise);
  }

  const unsigned np_;
  uint32_t literal_length_counts_[kNC] = {};
  uint32_t position_counts_[kMaxNP] = {};
  uint32_t literal_length_cost_[kNC];
  uint32_t position_cost_[kMaxNP];
  uint32_t literal_length_weights_[kNC] = {};
  uint32_t position_weights_[kMaxNP] = {};
};

// Stands in for the BitWriter to measure a block before writing it.
struct BitCounter {
  uint64_t bits = 0;
  void Put(uint32_t, unsigned n) { bits += n; }
};

// A block's counts and tables; lengths and codes stay 0 for a table in its
// one-symbol form.
struct BlockCodes {
  uint32_t literal_length_counts[kNC];
  uint32_t position_counts[kMaxNP];
  uint32_t code_length_counts[kNT];
  unsigned literal_length_used;
  unsigned code_length_used;
  unsigned position_used;
  unsigned literal_length_n;  // lengths sent: up to the last non-zero one
  uint8_t literal_length_bits[kNC];
  uint16_t literal_length_codes[kNC];
  uint8_t code_length_bits[kNT];
  uint16_t code_length_codes[kNT];
  uint8_t position_bits[kMaxNP];
  uint16_t position_codes[kMaxNP];
};

// Gives `symbol` the longest length of the table by swapping with a
// symbol that has it; the set of lengths, and so the code space, is
// unchanged.
void MakeLongest(uint8_t* bits, unsigned symbols, unsigned symbol) {
  unsigned longest = symbol;
  for (unsigned s = 0; s < symbols; ++s)
    if (bits[s] > bits[longest]) longest = s;
  std::swap(bits[symbol], bits[longest]);
}

class BlockWriter {
  // Rough prices of a block's tables, in bits: a fixed part, and one per
  // symbol in use (on binaries, a block's tables take some 800 bits for
  // about 190 symbols in use). With the search over all boundaries, 3 bits
  // an entry packs the binaries smallest: 2 cuts too many blocks, 4 too
  // few. A fixed part of 50 rather than the 100 bits a table's header
  // takes leaves the exact split (WriteSplit) more blocks to weigh.
  static constexpr int64_t kBlockPrice = 50 * kPriceScale;
  static constexpr int64_t kEntryPrice = 3 * kPriceScale;

 public:
  BlockWriter(ByteSink& sink, const Params& params, uint64_t give_up_at)
      : writer_(sink), params_(params), give_up_at_(give_up_at) {}

  inline void Literal(uint8_t byte) {
    if (count_ == kPending) WriteSettledBlocks(false);
    symbols_[count_++] = byte;
  }

  inline void Match(unsigned length, unsigned distance) {
    if (count_ == kPending) WriteSettledBlocks(false);
    symbols_[count_] = LengthSymbol(length);
    positions_[count_] = static_cast<uint16_t>(distance - 1);
    ++count_;
  }

  bool Stopped() const { return writer_.size() >= give_up_at_ || !writer_.Check().ok(); }

  // `last_bytes` are the member's last three bytes (fewer for a shorter
  // member), for re-expressing the final symbol.
  Status Finish(const uint8_t* last_bytes, uint64_t* packed_size, bool* only_one_symbol_blocks) {
    if (count_ >= 2 * kGranule) WriteSettledBlocks(true);
    if (count_ > 0) {
      BuildSmallestCodes(0, count_);
      if (codes_->literal_length_used < 2 && wrote_full_block_ && SplitLastSymbol(last_bytes))
        BuildSmallestCodes(0, count_);
      if (codes_->literal_length_used >= 2 && !LastCodesClearOfEnd()) {
        unsigned symbol = symbols_[count_ - 1];
        MakeLongest(codes_->literal_length_bits, kNC, symbol);
        if (symbol >= 256 && codes_->position_used >= 2)
          MakeLongest(codes_->position_bits, params_.np, PositionSymbol(positions_[count_ - 1]));
        BuildCodesFromLengths();
      }
      EmitBlock(writer_, count_);
      if (codes_->literal_length_used >= 2) wrote_full_block_ = true;
    }
    LZH_TRY(writer_.Finish());
    *packed_size = writer_.size();
    *only_one_symbol_blocks = !wrote_full_block_;
    return Status::Ok();
  }

 private:
  // Writes the first `end` pending symbols as a block.
  void WriteBlock(unsigned end) {
    BuildSmallestCodes(0, end);
    EmitBlock(writer_, end);
    if (codes_->literal_length_used >= 2) wrote_full_block_ = true;
    count_ -= end;
    std::memmove(symbols_, symbols_ + end, count_ * sizeof symbols_[0]);
    std::memmove(positions_, positions_ + end, count_ * sizeof positions_[0]);
  }

  // Writes the pending symbols as the cheapest run of blocks that end on
  // granule boundaries, all but the last of them: the last is judged again
  // once more symbols have come (at the end, Finish writes it). When one
  // block is cheapest, it is written up to one granule before the end
  // unless `at_end`. The cheapest run is found over every choice of
  // boundaries (shortest path over the granules), not one split at a time:
  // binaries change statistics every few thousand symbols, and a block
  // each for those stretches packs them 0.5 % smaller than the best single
  // split of what is pending did. Prices are estimates, the symbols'
  // entropy plus a rough price per table entry; the extra bits of
  // positions are the same either way and left out.
  void WriteSettledBlocks(bool at_end) {
    const unsigned boundaries = (count_ - kGranule) / kGranule;  // each leaves >= kGranule
    const unsigned np = params_.np;
    uint32_t* totals = counts_at_.get();  // per boundary (and at count_): kNC + np counts
    const unsigned stride = kNC + np;
    std::memset(totals, 0, stride * sizeof totals[0]);
    for (unsigned k = 1; k <= boundaries + 1; ++k) {
      uint32_t* row = totals + k * stride;
      std::memcpy(row, row - stride, stride * sizeof row[0]);
      unsigned stop = k <= boundaries ? k * kGranule : count_;
      for (unsigned i = (k - 1) * kGranule; i < stop; ++i) {
        unsigned symbol = symbols_[i];
        ++row[symbol];
        if (symbol >= 256) ++row[kNC + PositionSymbol(positions_[i])];
      }
    }
    // cheapest[j]: the least price of blocks covering rows 0 to j, the
    // last of which starts at row start[j].
    const unsigned last = boundaries + 1;
    int64_t cheapest[kGranules + 1];
    unsigned start[kGranules + 1];
    cheapest[0] = 0;
    for (unsigned j = 1; j <= last; ++j) {
      cheapest[j] = INT64_MAX;
      for (unsigned i = 0; i < j; ++i) {
        int64_t price = cheapest[i] + Price(i, j);
        if (price < cheapest[j]) {
          cheapest[j] = price;
          start[j] = i;
        }
      }
    }
    unsigned rows[kGranules + 1];  // the blocks' end rows, the last first
    unsigned blocks = 0;
    for (unsigned j = last; j != 0; j = start[j]) rows[blocks++] = j;
    if (blocks == 1) {
      if (!at_end) WriteBlock(boundaries * kGranule);
      return;
    }
    // Each end, first to last, then moves to the symbol where the blocks
    // on either side of it cost least (the last written one keeps a
    // granule pending): a block's statistics rarely change on a granule
    // boundary, and ends placed to the symbol pack the binaries 0.25 %
    // smaller than ends on granules; counting symbol by symbol costs a
    // pass over each block, far less than a finer granule in the search.
    unsigned ends[kGranules + 2];  // block starts and ends: 0, ..., count_
    ends[0] = 0;
    for (unsigned k = 1; k < blocks; ++k) ends[k] = rows[blocks - k] * kGranule;
    ends[blocks] = count_;
    for (unsigned k = 1; k < blocks; ++k) {
      const unsigned latest = k + 1 == blocks ? count_ - kGranule : count_;
      ends[k] = CheapestEnd(ends[k - 1], std::max(ends[k - 1] + 1, ends[k] - kGranule),
                            std::min({ends[k + 1] - 1, latest, ends[k] + kGranule}), ends[k + 1]);
    }
    for (unsigned k = 1; k < blocks; ++k) WriteSplit(ends[k] - ends[k - 1], kSplitDepth);
  }

  // Writes the first `end` pending symbols as a block, or as two where
  // that is smaller by exact size, each of them split again `depth` - 1
  // times the same way. The estimates that place the ends price small
  // blocks too low: splitting where they say, without the exact check,
  // packs larger; with it, splitting each block and its halves packs the
  // binaries 0.07 % smaller, and a third level gains 0.004 %.
  static constexpr unsigned kSplitDepth = 3;
  void WriteSplit(unsigned end, unsigned depth) {
    if (depth > 0 && end >= 2) {
      const unsigned middle = CheapestEnd(0, 1, end - 1, end);
      if (ExactSize(0, middle) + ExactSize(middle, end) < ExactSize(0, end)) {
        WriteSplit(middle, depth - 1);
        WriteSplit(end - middle, depth - 1);
        return;
      }
    }
    WriteBlock(end);
  }

  // Where, from `first` to `final`, a block that starts at `start` ends
  // so that it and the next one, up to `next_end`, cost least.
  unsigned CheapestEnd(unsigned start, unsigned first, unsigned final, unsigned next_end) {
    BlockTally& before = tallies_[0];
    BlockTally& after = tallies_[1];
    before.Clear(kNC + params_.np);
    after.Clear(kNC + params_.np);
    for (unsigned i = start; i < first - 1; ++i) before.Add(symbols_[i], positions_[i]);
    for (unsigned i = first - 1; i < next_end; ++i) after.Add(symbols_[i], positions_[i]);
    unsigned best_end = first;
    int64_t best = INT64_MAX;
    for (unsigned at = first; at <= final; ++at) {
      before.Add(symbols_[at - 1], positions_[at - 1]);
      after.Remove(symbols_[at - 1], positions_[at - 1]);
      int64_t price = before.Price() + after.Price();
      if (price < best) {
        best = price;
        best_end = at;
      }
    }
    return best_end;
  }

  // The bits of a block of the pending symbols from `start` to `end`:
  // its tables and codes, all but the positions' extra bits (the same
  // however the symbols are cut). Builds the codes to measure them.
  uint64_t ExactSize(unsigned start, unsigned end) {
    BuildCodes(start, end);
    return MeasureCodes();
  }

  // The bits of the block whose codes were built last, as ExactSize counts.
  uint64_t MeasureCodes() {
    BitCounter tables;
    EmitBlock(tables, 0);
    const BlockCodes& codes = *codes_;
    uint64_t bits = tables.bits;
    for (unsigned s = 0; s < kNC; ++s)
      bits += uint64_t{codes.literal_length_counts[s]} * codes.literal_length_bits[s];
    for (unsigned p = 0; p < params_.np; ++p)
      bits += uint64_t{codes.position_counts[p]} * codes.position_bits[p];
    return bits;
  }

  // Estimated size of a block of the symbols between two rows of counts_at_.
  // Branch-free over the entries (the search calls it some 2,000 times for
  // each run of blocks), with the row's symbol count known from its place.
  int64_t Price(unsigned from, unsigned to) const {
    const uint32_t* count_log_count = CountLogCount();
    const unsigned stride = kNC + params_.np;
    const uint32_t* a = counts_at_.get() + from * stride;
    const uint32_t* b = counts_at_.get() + to * stride;
    unsigned used = 0;
    int64_t sum_count_log_count = 0;
    for (unsigned s = 0; s < stride; ++s) {
      unsigned n = b[s] - a[s];
      used += n != 0;
      sum_count_log_count += count_log_count[n];
    }
    unsigned matches = 0;
    for (unsigned s = kNC; s < stride; ++s) matches += b[s] - a[s];
    const unsigned symbols = std::min(to * kGranule, count_) - from * kGranule;
    return EstimatedPrice(used, sum_count_log_count, symbols, matches);
  }

  // The symbols' entropy (their count's n log n, less each symbol's, for
  // the literal/length symbols and the positions apart) and the tables'
  // rough price.
  static int64_t EstimatedPrice(unsigned used, int64_t sum_count_log_count, unsigned symbols,
                                unsigned matches) {
    const uint32_t* count_log_count = CountLogCount();
    return kBlockPrice + kEntryPrice * used - sum_count_log_count + count_log_count[symbols] +
           count_log_count[matches];
  }

  // One block's counts with the terms of its estimated price kept current,
  // so that a symbol moves from one block to the next in a few steps.
  class BlockTally {
   public:
    void Clear(unsigned entries) {
      std::memset(counts_, 0, entries * sizeof counts_[0]);
      used_ = symbols_ = matches_ = 0;
      sum_count_log_count_ = 0;
    }
    void Add(unsigned symbol, unsigned q) { Change(symbol, q, 1); }
    void Remove(unsigned symbol, unsigned q) { Change(symbol, q, -1); }
    int64_t Price() const { return EstimatedPrice(used_, sum_count_log_count_, symbols_, matches_); }

   private:
    void Change(unsigned symbol, unsigned q, int by) {
      Count(symbol, by);
      symbols_ += by;
      if (symbol < 256) return;
      Count(kNC + PositionSymbol(q), by);
      matches_ += by;
    }
    void Count(unsigned entry, int by) {
      const uint32_t* count_log_count = CountLogCount();
      uint32_t& n = counts_[entry];
      sum_count_log_count_ -= count_log_count[n];
      used_ -= n != 0;
      n += by;
      used_ += n != 0;
      sum_count_log_count_ += count_log_count[n];
    }

    uint32_t counts_[kNC + kMaxNP];
    unsigned used_;
    unsigned symbols_;
    unsigned matches_;
    int64_t sum_count_log_count_;
  };

  // Re-expresses the end of a pending block made of one repeated symbol so
  // that it holds two different ones. A block after a full one holds at
  // least kGranule symbols, so a run of literals has three to turn into a
  // match.
  bool SplitLastSymbol(const uint8_t* last_bytes) {
    if (count_ < 4) return false;
    unsigned last = count_ - 1;
    unsigned symbol = symbols_[last];
    if (symbol < 256) {
      // Three equal literals become a copy from distance 1.
      symbols_[last - 2] = LengthSymbol(kMinMatch);
      positions_[last - 2] = 0;
      count_ -= 2;
      return true;
    }
    unsigned length = symbol - (256 - kMinMatch);
    if (length == kMinMatch) {
      for (unsigned i = 0; i < 3; ++i) symbols_[last + i] = last_bytes[i];
      count_ += 2;
    } else {
      symbols_[last] = static_cast<uint16_t>(symbol - 1);
      symbols_[count_++] = last_bytes[2];
    }
    return true;
  }

  // Whether every code of the last symbol has at least as many bits after
  // its start (padding included) as the longest code of its table.
  bool LastCodesClearOfEnd() {
    BitCounter counter;
    EmitBlock(counter, count_);
    uint64_t end = writer_.bit_count() + counter.bits;
    unsigned tail = static_cast<unsigned>(-end & 7);
    const BlockCodes& codes = *codes_;
    unsigned symbol = symbols_[count_ - 1];
    if (symbol >= 256) {
      unsigned p = PositionSymbol(positions_[count_ - 1]);
      tail += codes.position_bits[p] + (p > 1 ? p - 1 : 0);
      if (tail < Longest(codes.position_bits, params_.np)) return false;
    }
    tail += codes.literal_length_bits[symbol];
    return tail >= Longest(codes.literal_length_bits, kNC);
  }

  static unsigned Longest(const uint8_t* bits, unsigned symbols) {
    unsigned longest = 0;
    for (unsigned s = 0; s < symbols; ++s) longest = std::max<unsigned>(longest, bits[s]);
    return longest;
  }

  // The codes of the pending symbols from `start` to `end` that make their
  // block smallest: those built from their counts, or from their counts
  // each raised by a small amount. A raise shortens the rarest symbols'
  // codes towards the others' lengths, which the block's tables then send
  // in fewer and cheaper code-length codes: the binaries pack 0.035 %
  // smaller; raises beyond these four gain under 0.001 %.
  void BuildSmallestCodes(unsigned start, unsigned end) {
    BuildCodes(start, end);
    BlockCodes& codes = *codes_;
    if (codes.literal_length_used < 2) return;
    uint64_t smallest = MeasureCodes();
    uint8_t literal_length_bits[kNC];
    uint8_t position_bits[kMaxNP];
    const auto keep = [&] {
      std::memcpy(literal_length_bits, codes.literal_length_bits, sizeof literal_length_bits);
      std::memcpy(position_bits, codes.position_bits, sizeof position_bits);
    };
    keep();
    for (uint32_t raise : {1u, 2u, 4u, 8u}) {
      BuildRaisedCodeLengths(codes.literal_length_counts, kNC, raise, codes.literal_length_bits);
      BuildRaisedCodeLengths(codes.position_counts, params_.np, raise, codes.position_bits);
      BuildCodesFromLengths();
      const uint64_t bits = MeasureCodes();
      if (bits < smallest) {
        smallest = bits;
        keep();
      }
    }
    std::memcpy(codes.literal_length_bits, literal_length_bits, sizeof literal_length_bits);
    std::memcpy(codes.position_bits, position_bits, sizeof position_bits);
    BuildCodesFromLengths();
  }

  // Code lengths for `counts` with every count in use raised by `raise`.
  static void BuildRaisedCodeLengths(const uint32_t* counts, unsigned symbols, uint32_t raise,
                                     uint8_t* lengths) {
    uint32_t raised[kNC];
    for (unsigned s = 0; s < symbols; ++s) raised[s] = counts[s] != 0 ? counts[s] + raise : 0;
    BuildCodeLengths(raised, symbols, kMaxCodeBits, lengths);
  }

  // The codes of the pending symbols from `start` to `end`.
  void BuildCodes(unsigned start, unsigned end) {
    BlockCodes& codes = *codes_;
    std::memset(codes.literal_length_counts, 0, sizeof codes.literal_length_counts);
    std::memset(codes.position_counts, 0, sizeof codes.position_counts);
    for (unsigned i = start; i < end; ++i) {
      unsigned symbol = symbols_[i];
      ++codes.literal_length_counts[symbol];
      if (symbol >= 256) ++codes.position_counts[PositionSymbol(positions_[i])];
    }
    codes.literal_length_used = BuildCodeLengths(codes.literal_length_counts, kNC, kMaxCodeBits,
                                                 codes.literal_length_bits);
    codes.position_used = BuildCodeLengths(codes.position_counts, params_.np, kMaxCodeBits,
                                           codes.position_bits);
    BuildCodesFromLengths();
  }

  // Everything that follows from the literal/length and position lengths.
  void BuildCodesFromLengths() {
    BlockCodes& codes = *codes_;
    std::memset(codes.code_length_counts, 0, sizeof codes.code_length_counts);
    std::memset(codes.code_length_bits, 0, sizeof codes.code_length_bits);
    codes.code_length_used = 0;
    codes.literal_length_n = 0;
    if (codes.literal_length_used >= 2) {
      unsigned n = kNC;
      while (codes.literal_length_bits[n - 1] == 0) --n;
      codes.literal_length_n = n;
      WalkLiteralLengthTable(codes, [&](unsigned symbol, unsigned, unsigned) {
        ++codes.code_length_counts[symbol];
      });
      codes.code_length_used =
          BuildCodeLengths(codes.code_length_counts, kNT, kMaxCodeBits, codes.code_length_bits);
    }
    BuildCanonicalCodes(codes.code_length_bits, kNT, codes.code_length_codes);
    BuildCanonicalCodes(codes.literal_length_bits, kNC, codes.literal_length_codes);
    BuildCanonicalCodes(codes.position_bits, params_.np, codes.position_codes);
  }

  template <typename Out>
  void EmitBlock(Out& out, unsigned symbols) {
    const BlockCodes& codes = *codes_;
    out.Put(symbols, 16);
    if (codes.literal_length_used >= 2) {
      if (codes.code_length_used >= 2) {
        EmitSmallTable(out, codes.code_length_bits, kNT, kTBits, 3);
      } else {
        EmitOneSymbolTable(out, codes.code_length_counts, kNT, kTBits);
      }
      out.Put(codes.literal_length_n, kCBits);
      WalkLiteralLengthTable(codes, [&](unsigned symbol, unsigned extra, unsigned extra_bits) {
        out.Put(codes.code_length_codes[symbol], codes.code_length_bits[symbol]);
        out.Put(extra, extra_bits);
      });
    } else {
      // The NT table is not needed: sent as n = 0, symbol 0.
      out.Put(0, kTBits);
      out.Put(0, kTBits);
      EmitOneSymbolTable(out, codes.literal_length_counts, kNC, kCBits);
    }
    if (codes.position_used >= 2) {
      EmitSmallTable(out, codes.position_bits, params_.np, params_.pbits, -1);
    } else {
      EmitOneSymbolTable(out, codes.position_counts, params_.np, params_.pbits);
    }

    for (unsigned i = 0; i < symbols; ++i) {
      unsigned symbol = symbols_[i];
      out.Put(codes.literal_length_codes[symbol], codes.literal_length_bits[symbol]);
      if (symbol < 256) continue;
      unsigned q = positions_[i];
      unsigned p = PositionSymbol(q);
      out.Put(codes.position_codes[p], codes.position_bits[p]);
      if (p > 1) out.Put(q & ((1u << (p - 1)) - 1), p - 1);
    }
  }

  // write_pt_len: lengths up to 6 in 3 bits, longer ones as 111 followed by
  // (length - 7) one bits and a zero bit.
  template <typename Out>
  static void EmitSmallTable(Out& out, const uint8_t* lengths, unsigned symbols,
                             unsigned count_bits, int special) {
    unsigned n = symbols;
    while (n > 0 && lengths[n - 1] == 0) --n;
    out.Put(n, count_bits);
    for (unsigned i = 0; i < n;) {
      unsigned length = lengths[i++];
      if (length <= 6) {
        out.Put(length, 3);
      } else {
        out.Put((1u << (length - 3)) - 2, length - 3);
      }
      if (static_cast<int>(i) == special) {
        unsigned zeros = 0;
        while (zeros < 3 && i + zeros < n && lengths[i + zeros] == 0) ++zeros;
        out.Put(zeros, 2);
        i += zeros;
      }
    }
  }

  // n = 0, then the one symbol in use (symbol 0 when none is).
  template <typename Out>
  static void EmitOneSymbolTable(Out& out, const uint32_t* counts, unsigned symbols,
                                 unsigned count_bits) {
    unsigned symbol = 0;
    while (symbol < symbols && counts[symbol] == 0) ++symbol;
    out.Put(0, count_bits);
    out.Put(symbol == symbols ? 0 : symbol, count_bits);
  }

  // The NC lengths as NT symbols with their extra bits.
  template <typename Emit>
  static void WalkLiteralLengthTable(const BlockCodes& codes, Emit emit) {
    const uint8_t* bits = codes.literal_length_bits;
    const unsigned n = codes.literal_length_n;
    for (unsigned i = 0; i < n;) {
      if (bits[i] != 0) {
        emit(bits[i++] + 2u, 0u, 0u);
        continue;
      }
      unsigned zeros = 1;
      while (i + zeros < n && bits[i + zeros] == 0) ++zeros;
      i += zeros;
      if (zeros <= 2) {
        for (unsigned k = 0; k < zeros; ++k) emit(0u, 0u, 0u);
      } else if (zeros <= 18) {
        emit(1u, zeros - 3, 4u);
      } else if (zeros == 19) {
        emit(0u, 0u, 0u);
        emit(1u, 15u, 4u);
      } else {
        emit(2u, zeros - 20, kCBits);
      }
    }
  }

  BitWriter writer_;
  const Params params_;
  const uint64_t give_up_at_;
  unsigned count_ = 0;
  bool wrote_full_block_ = false;
  std::unique_ptr<BlockCodes> codes_ = std::make_unique_for_overwrite<BlockCodes>();
  // Two spare entries: splitting the last symbol may add two.
  uint16_t symbols_[kPending + 2];
  uint16_t positions_[kPending + 2];
  // Counts of every symbol before each granule boundary, for WriteSettledBlocks.
  std::unique_ptr<uint32_t[]> counts_at_ =
      std::make_unique_for_overwrite<uint32_t[]>((kGranules + 1) * (kNC + kMaxNP));
  // The blocks on either side of an end being placed, for CheapestEnd.
  std::unique_ptr<BlockTally[]> tallies_ = std::make_unique<BlockTally[]>(2);
};

}  // namespace

Status EncodeStaticHuffman(Method method, ByteSource& in, ByteSink& out, uint64_t give_up_at,
                           unsigned threads, EncodeResult* result) {
  const Params params = ParamsOf(method);
  const MatchFinderConfig config = ConfigFor(method);
  auto blocks = std::make_unique<BlockWriter>(out, params, give_up_at);
  // lh5 must keep pace with gzip -6: the cheapest-path parse packs its 8 KiB
  // window about 2 % smaller, but even over binary trees it runs at a third
  // of lazy matching's speed, below gzip -6's.
  auto parse = [&](ByteSource& source, size_t primed, auto& consumer) {
    LzParser parser(source, config, primed);
    if (method == Method::kLh5) return parser.Run(consumer);
    PathCosts costs(params.np);
    return parser.RunOptimal(costs, consumer);
  };
  TallyingSource source(in);
  LZH_TRY(ParseInChunks(source, params.window, threads, parse, *blocks));
  bool only_one_symbol_blocks = false;
  LZH_TRY(blocks->Finish(source.last_bytes(), &result->packed_size, &only_one_symbol_blocks));
  result->original_size = source.consumed();
  result->crc = source.crc();
  result->store_instead = only_one_symbol_blocks || result->packed_size >= give_up_at;
  return Status::Ok();
}

}  // namespace lzh
