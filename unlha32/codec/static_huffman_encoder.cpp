// Encoder for lh5, lh6 and lh7: the LZ parse goes into blocks of symbols;
// each block gets Huffman tables built from its own counts and is written
// as: symbol count, NT table, NC table, NP table, symbols.
//
// Readers differ in what they accept, so the writer keeps to the strict
// form: code lengths of at most 16 bits, a table with one symbol in use in
// its one-symbol form, no byte after the last one holding bits, and a
// report (store_instead) when every block had a one-symbol literal/length
// table, which one common reader refuses.
#include <bit>
#include <cstring>
#include <memory>

#include "bit_writer.h"
#include "codecs.h"
#include "huffman_code_builder.h"
#include "lz_parser.h"
#include "static_huffman_format.h"

namespace lzh {
namespace {

using namespace static_huffman;

// Blocks end after this many symbols: long enough that the tables cost
// little, short enough that they follow changes in the data.
constexpr unsigned kBlockSymbols = 16384;
static_assert(kBlockSymbols <= kMaxBlockSymbols);

MatchFinderConfig ConfigFor(Method method) {
  switch (method) {
    case Method::kLh5:
      return {8192, kMinMatch, kMaxMatch, 48, 16, 32, 128, 4096, 15};
    case Method::kLh6:
      return {32768, kMinMatch, kMaxMatch, 128, 32, 128, 256, 4096, 16};
    default:
      return {65536, kMinMatch, kMaxMatch, 512, 64, 256, 256, 4096, 16};
  }
}

inline unsigned PositionSymbol(unsigned q) { return static_cast<unsigned>(std::bit_width(q)); }

class BlockWriter {
 public:
  BlockWriter(ByteSink& sink, const Params& params, uint64_t give_up_at)
      : writer_(sink), params_(params), give_up_at_(give_up_at) {}

  inline void Literal(uint8_t byte) {
    symbols_[count_++] = byte;
    ++literal_length_counts_[byte];
    if (count_ == kBlockSymbols) WriteBlock();
  }

  inline void Match(unsigned length, unsigned distance) {
    unsigned symbol = length + (256 - kMinMatch);
    unsigned q = distance - 1;
    symbols_[count_] = static_cast<uint16_t>(symbol);
    positions_[count_] = static_cast<uint16_t>(q);
    ++count_;
    ++literal_length_counts_[symbol];
    ++position_counts_[PositionSymbol(q)];
    if (count_ == kBlockSymbols) WriteBlock();
  }

  bool Stopped() const { return writer_.size() >= give_up_at_ || !writer_.Check().ok(); }

  Status Finish(uint64_t* packed_size, bool* only_one_symbol_blocks) {
    if (count_ > 0) WriteBlock();
    LZH_TRY(writer_.Finish());
    *packed_size = writer_.size();
    *only_one_symbol_blocks = !wrote_full_block_;
    return Status::Ok();
  }

 private:
  // write_pt_len: lengths up to 6 in 3 bits, longer ones as 111 followed by
  // (length - 7) one bits and a zero bit.
  void WriteSmallTable(const uint8_t* lengths, unsigned symbols, unsigned count_bits,
                       int special) {
    unsigned n = symbols;
    while (n > 0 && lengths[n - 1] == 0) --n;
    writer_.Put(n, count_bits);
    for (unsigned i = 0; i < n;) {
      unsigned length = lengths[i++];
      if (length <= 6) {
        writer_.Put(length, 3);
      } else {
        writer_.Put((1u << (length - 3)) - 2, length - 3);
      }
      if (static_cast<int>(i) == special) {
        unsigned zeros = 0;
        while (zeros < 3 && i + zeros < n && lengths[i + zeros] == 0) ++zeros;
        writer_.Put(zeros, 2);
        i += zeros;
      }
    }
  }

  // Runs over the NC lengths as NT symbols, either counting them or
  // writing them.
  template <typename Emit>
  void WalkLiteralLengthTable(unsigned n, Emit emit) {
    for (unsigned i = 0; i < n;) {
      if (literal_length_bits_[i] != 0) {
        emit(literal_length_bits_[i++] + 2u, 0u, 0u);
        continue;
      }
      unsigned zeros = 1;
      while (i + zeros < n && literal_length_bits_[i + zeros] == 0) ++zeros;
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

  void WriteBlock() {
    // Tables in their one-symbol form keep all-zero codes of 0 bits.
    uint8_t code_length_bits[kNT] = {};
    uint16_t code_length_codes[kNT] = {};
    uint16_t literal_length_codes[kNC] = {};
    uint8_t position_bits[kMaxNP] = {};
    uint16_t position_codes[kMaxNP] = {};

    writer_.Put(count_, 16);
    unsigned used = BuildCodeLengths(literal_length_counts_, kNC, kMaxCodeBits,
                                     literal_length_bits_);
    if (used >= 2) {
      wrote_full_block_ = true;
      unsigned n = kNC;
      while (literal_length_bits_[n - 1] == 0) --n;
      uint32_t code_length_counts[kNT] = {};
      WalkLiteralLengthTable(n, [&](unsigned symbol, unsigned, unsigned) { ++code_length_counts[symbol]; });
      unsigned nt_used = BuildCodeLengths(code_length_counts, kNT, kMaxCodeBits, code_length_bits);
      if (nt_used >= 2) {
        WriteSmallTable(code_length_bits, kNT, kTBits, 3);
        BuildCanonicalCodes(code_length_bits, kNT, code_length_codes);
      } else {
        WriteOneSymbolTable(code_length_counts, kNT, kTBits);
      }
      writer_.Put(n, kCBits);
      WalkLiteralLengthTable(n, [&](unsigned symbol, unsigned extra, unsigned extra_bits) {
        writer_.Put(code_length_codes[symbol], code_length_bits[symbol]);
        writer_.Put(extra, extra_bits);
      });
      BuildCanonicalCodes(literal_length_bits_, kNC, literal_length_codes);
    } else {
      // The NT table is not needed: sent as n = 0, symbol 0.
      writer_.Put(0, kTBits);
      writer_.Put(0, kTBits);
      WriteOneSymbolTable(literal_length_counts_, kNC, kCBits);
    }

    unsigned np = params_.np;
    if (BuildCodeLengths(position_counts_, np, kMaxCodeBits, position_bits) >= 2) {
      WriteSmallTable(position_bits, np, params_.pbits, -1);
      BuildCanonicalCodes(position_bits, np, position_codes);
    } else {
      WriteOneSymbolTable(position_counts_, np, params_.pbits);
    }

    for (unsigned i = 0; i < count_; ++i) {
      unsigned symbol = symbols_[i];
      writer_.Put(literal_length_codes[symbol], literal_length_bits_[symbol]);
      if (symbol < 256) continue;
      unsigned q = positions_[i];
      unsigned p = PositionSymbol(q);
      writer_.Put(position_codes[p], position_bits[p]);
      if (p > 1) writer_.Put(q & ((1u << (p - 1)) - 1), p - 1);
    }

    count_ = 0;
    std::memset(literal_length_counts_, 0, sizeof literal_length_counts_);
    std::memset(position_counts_, 0, sizeof position_counts_);
  }

  // n = 0, then the one symbol in use (symbol 0 when none is).
  void WriteOneSymbolTable(const uint32_t* counts, unsigned symbols, unsigned count_bits) {
    unsigned symbol = 0;
    while (symbol < symbols && counts[symbol] == 0) ++symbol;
    writer_.Put(0, count_bits);
    writer_.Put(symbol == symbols ? 0 : symbol, count_bits);
  }

  BitWriter writer_;
  const Params params_;
  const uint64_t give_up_at_;
  unsigned count_ = 0;
  bool wrote_full_block_ = false;
  uint16_t symbols_[kBlockSymbols];
  uint16_t positions_[kBlockSymbols];
  uint32_t literal_length_counts_[kNC] = {};
  uint32_t position_counts_[kMaxNP] = {};
  uint8_t literal_length_bits_[kNC];
};

}  // namespace

Status EncodeStaticHuffman(Method method, ByteSource& in, ByteSink& out, uint64_t give_up_at,
                           EncodeResult* result) {
  LzParser parser(in, ConfigFor(method));
  auto blocks = std::make_unique<BlockWriter>(out, ParamsOf(method), give_up_at);
  LZH_TRY(parser.Run(*blocks));
  bool only_one_symbol_blocks = false;
  LZH_TRY(blocks->Finish(&result->packed_size, &only_one_symbol_blocks));
  result->original_size = parser.consumed();
  result->crc = parser.crc();
  result->store_instead = only_one_symbol_blocks || result->packed_size >= give_up_at;
  return Status::Ok();
}

}  // namespace lzh
