// Decoder for the static Huffman methods lh4, lh5, lh6 and lh7: LZ77 with
// Huffman-coded blocks, each block carrying its own three tables.
//
// Every count, length and symbol of the table headers is checked before it
// is used, so corrupt data fails with a named fault instead of indexing
// past an array. The table entries carry the decoded values ready for use:
// a literal entry its byte, a length entry the match length, a position
// entry the distance base and the count of its extra bits, which it
// consumes together with the code, so that a match costs two dependent
// look-ups and no arithmetic on the symbol. The hot loop (DecodeRun) works
// on local copies of the bit buffer and output pointer and looks up the
// entries a symbol may lead to before it knows which kind the symbol is;
// block ends, the input's end and the member's last 256 bytes go one
// symbol at a time through the careful path, which clips matches, and so
// do blocks of a few symbols (with a narrow root, see kNarrowRootSymbols),
// in a loop of their own.
#include <algorithm>
#include <bit>
#include <memory>

#include "codec/bit_reader.h"
#include "codec/codecs.h"
#include "codec/huffman_decoder.h"
#include "codec/output_window.h"
#include "codec/static_huffman_format.h"

namespace lzh {
namespace {

using namespace static_huffman;

using LiteralLengthTable = HuffmanDecoder<kNC, 12>;
using PositionTable = HuffmanDecoder<kMaxNP, 8>;
using CodeLengthTable = HuffmanDecoder<kNT, 8>;

// Literal/length entries: a literal has its byte at bit 8, a match has
// kMatch and its length at bit 8.
constexpr uint32_t kMatch = 1u << 31;

// Position entries: the distance base at bit 8, the count of extra bits at
// bit 24; the low bits count the code and the extra bits.
constexpr unsigned kExtraShift = 24;

struct BlockTables {
  LiteralLengthTable literal_length;
  PositionTable position;
  CodeLengthTable code_length;
};

uint32_t SymbolEntry(unsigned symbol, unsigned length) { return length | symbol << 8; }

uint32_t LiteralLengthEntry(unsigned symbol, unsigned length) {
  if (symbol < 256) return length | symbol << 8;
  return length | kMatch | (symbol - (256 - kMinMatch)) << 8;
}

uint32_t PositionEntry(unsigned symbol, unsigned length) {
  if (symbol <= 1) return length | (symbol + 1) << 8;
  unsigned extra = symbol - 1;
  return (length + extra) | ((1u << extra) + 1) << 8 | extra << kExtraShift;
}

// The NT and NP tables: `special` is the index after which a 2-bit count of
// zero lengths follows (3 for NT, none for NP).
template <unsigned kSymbols, unsigned kRootBits, typename MakeEntry>
Status ReadSmallTable(BitReader& in, unsigned symbols, unsigned count_bits, int special, RootWidth width,
                      HuffmanDecoder<kSymbols, kRootBits>& table, MakeEntry make_entry) {
  unsigned n = in.Read(count_bits);
  if (n == 0) {
    unsigned symbol = in.Read(count_bits);
    LZH_REQUIRE(symbol < symbols, kCorrupt, "bad Huffman table: symbol out of range");
    table.BuildSingle(make_entry(symbol, 0), width);
    return Status::Ok();
  }
  LZH_REQUIRE(n <= symbols, kCorrupt, "bad Huffman table: too many code lengths");
  uint8_t lengths[kSymbols];
  uint16_t coded[kSymbols];
  unsigned coded_count = 0;
  unsigned i = 0;
  while (i < n) {
    unsigned length = in.Read(3);
    if (length == 7) {
      in.Refill();
      while (in.Take(1) == 1) {
        ++length;
        LZH_REQUIRE(length <= kMaxCodeLength, kCorrupt, "bad Huffman table: code too long");
      }
    }
    if (length != 0) coded[coded_count++] = static_cast<uint16_t>(i);
    lengths[i++] = static_cast<uint8_t>(length);
    if (static_cast<int>(i) == special) {
      // The run may reach past n (the lengths there are zero anyway), but
      // never past the table.
      unsigned zeros = in.Read(2);
      i += zeros;
      LZH_REQUIRE(i <= symbols, kCorrupt, "bad Huffman table: zero run too long");
    }
  }
  return table.Build(lengths, coded, coded_count, make_entry, width);
}

Status ReadLiteralLengthTable(BitReader& in, RootWidth width, BlockTables& tables) {
  unsigned n = in.Read(kCBits);
  if (n == 0) {
    unsigned symbol = in.Read(kCBits);
    LZH_REQUIRE(symbol < kNC, kCorrupt, "bad Huffman table: symbol out of range");
    tables.literal_length.BuildSingle(LiteralLengthEntry(symbol, 0), width);
    return Status::Ok();
  }
  LZH_REQUIRE(n <= kNC, kCorrupt, "bad Huffman table: too many code lengths");
  uint8_t lengths[kNC];
  uint16_t coded[kNC];
  unsigned coded_count = 0;
  unsigned i = 0;
  while (i < n) {
    in.Refill();
    unsigned t = tables.code_length.Decode(in.cursor());
    unsigned zeros;
    if (t == 0) {
      zeros = 1;
    } else if (t == 1) {
      zeros = in.Take(4) + 3;
    } else if (t == 2) {
      zeros = in.Take(kCBits) + 20;
    } else {
      coded[coded_count++] = static_cast<uint16_t>(i);
      lengths[i++] = static_cast<uint8_t>(t - 2);
      continue;
    }
    LZH_REQUIRE(zeros <= n - i, kCorrupt, "bad Huffman table: zero run passes the table end");
    i += zeros;
  }
  return tables.literal_length.Build(lengths, coded, coded_count, LiteralLengthEntry, width);
}

// A block of fewer symbols than this (a small member's whole data) gets
// roots only as wide as their longest codes and is decoded symbol by
// symbol: filling the full roots would cost more than the hot loop saves on
// so few symbols, and a member this small mostly has too little input at
// hand for the hot loop anyway. The position table is narrowed only with
// the literal/length table, which decides whether the hot loop runs.
constexpr unsigned kNarrowRootSymbols = 32;

Status ReadBlockHeader(BitReader& in, const Params& params, BlockTables& tables,
                       unsigned* symbols) {
  *symbols = in.Read(16);
  LZH_REQUIRE(*symbols != 0, kCorrupt, "empty Huffman block");
  const RootWidth width = *symbols < kNarrowRootSymbols ? RootWidth::kLongestCode : RootWidth::kFull;
  LZH_TRY(ReadSmallTable(in, kNT, kTBits, 3, width, tables.code_length, SymbolEntry));
  LZH_TRY(ReadLiteralLengthTable(in, width, tables));
  const RootWidth position_width = tables.literal_length.full_root() ? RootWidth::kFull : RootWidth::kLongestCode;
  LZH_TRY(ReadSmallTable(in, params.np, params.pbits, -1, position_width, tables.position, PositionEntry));
  // A truncated header decodes from invented zero bits; stop here rather
  // than produce a block of output from them.
  return in.Check();
}

// The distance of a position entry looked up from `bits`, and in `used`
// the count of bits its code and extra bits take from there.
inline size_t Distance(uint32_t position, uint64_t bits, unsigned* used) {
  *used = position & PositionTable::kBitsMask;
  uint32_t extra_mask = (1u << (position >> kExtraShift)) - 1;
  return (position >> 8 & 0xFFFF) + (static_cast<uint32_t>(std::rotl(bits, *used)) & extra_mask);
}

// Decodes one literal or match into `out`, with a full bit buffer, clipping
// a match to `limit`. False for a match from beyond the window.
inline bool DecodeSymbol(const BlockTables& tables, size_t window, const uint8_t* limit,
                         BitCursor& bits, uint8_t*& out) {
  uint32_t entry = tables.literal_length.LookupAnyWidth(bits.bits);
  bits.Skip(entry & LiteralLengthTable::kBitsMask);
  if (!(entry & kMatch)) {
    *out++ = static_cast<uint8_t>(entry >> 8);
    return true;
  }
  unsigned used;
  size_t distance = Distance(tables.position.LookupAnyWidth(bits.bits), bits.bits, &used);
  bits.Skip(used);
  if (distance > window) [[unlikely]]
    return false;
  size_t length = std::min<size_t>(entry >> 8 & 0x1FF, limit - out);
  out = OutputWindow::Copy(out, distance, length);
  return true;
}

// The steps of a block with a narrow root, which the hot loop cannot read:
// symbol by symbol, as the careful path goes, until the block or the output
// run ends, clipping matches to `limit`. A call of its own, like the hot
// loop, so that the cursor stays in registers from symbol to symbol and
// goes back to the reader only for a slow refill. False for a match from
// beyond the window.
[[gnu::noinline]] bool DecodeNarrowBlock(const BlockTables& tables, size_t window, const uint8_t* limit,
                                         const uint8_t* stop, BitReader& in, uint8_t*& cursor_out,
                                         unsigned& cursor_block_left) {
  BitCursor bits = in.cursor();
  uint8_t* out = cursor_out;
  unsigned block_left = cursor_block_left;
  bool fine = true;
  while (fine && out < stop && block_left > 0) {
    if (!bits.TryRefill()) {
      in.cursor() = bits;
      in.Refill();
      bits = in.cursor();
    }
    --block_left;
    fine = DecodeSymbol(tables, window, limit, bits, out);
  }
  in.cursor() = bits;
  cursor_out = out;
  cursor_block_left = block_left;
  return fine;
}

// The hot loop: steps while the block has three symbols left, the output is
// below `fast_stop` (where no match can pass the member's end) and the
// input has 32 bytes at hand, enough for the refills of a step (at most
// three), which therefore need no test. A step is up to three literals, or
// fewer and a match.
//
// Most of the time goes to mispredicted literal-or-match branches, so
// everything either side needs is fetched before the branch: while a
// symbol's entry is examined, the entry of the symbol after it (were it a
// literal) and the position code's entry (were it a length) are already
// being looked up, and whichever side the branch resumes on finds its
// look-up done. A refill goes where a look-up is in flight, off the chain
// of dependent steps. It makes no call, so that its state stays in
// registers. False for a match from beyond the window.
[[gnu::noinline]] bool DecodeRun(const BlockTables& tables, size_t window, uint8_t* fast_stop,
                                 BitCursor& cursor, uint8_t*& cursor_out,
                                 unsigned& cursor_block_left) {
  constexpr uint32_t kBitsMask = LiteralLengthTable::kBitsMask;
  const LiteralLengthTable& codes = tables.literal_length;
  BitCursor bits = cursor;
  uint8_t* out = cursor_out;
  unsigned block_left = cursor_block_left;
  bool fine = true;
  if (bits.end - bits.next < 32) return fine;
  const uint8_t* const in_stop = bits.end - 32;
  bits.RefillAtHand();
  uint32_t entry = codes.Lookup(bits.bits);
  uint64_t after;     // the buffer past the code of `entry`
  uint32_t position;  // the position's root entry looked up from `after`
  // Takes the symbol of `entry` if it is a literal; false (consuming
  // nothing) if it is a length. Every other call refills: the buffer holds
  // 56 bits after a refill, so at least 24 remain past two codes, enough
  // for the look-ups that follow them; a match refills again before it
  // takes the extra bits of its position.
  auto take_literal = [&](bool refill) {
    if (refill) bits.RefillAtHand();
    after = bits.bits << (entry & kBitsMask);
    uint32_t next = codes.Lookup(after);
    position = tables.position.RootEntry(after);
    if (entry & kMatch) return false;
    bits.bits = after;
    bits.count -= entry & kBitsMask;
    *out++ = static_cast<uint8_t>(entry >> 8);
    --block_left;
    entry = next;
    return true;
  };
  while (out < fast_stop && block_left >= 3 && bits.next <= in_stop) {
    if (take_literal(true) && take_literal(false) && take_literal(true)) continue;
    --block_left;
    position = tables.position.Follow(position, after);
    bits.bits = after;
    bits.count -= entry & kBitsMask;
    bits.RefillAtHand();
    unsigned used;
    size_t distance = Distance(position, bits.bits, &used);
    bits.Skip(used);
    if (distance > window) [[unlikely]] {
      fine = false;
      break;
    }
    size_t length = entry >> 8 & 0x1FF;
    entry = codes.Lookup(bits.bits);
    out = OutputWindow::Copy(out, distance, length);
  }
  cursor = bits;
  cursor_out = out;
  cursor_block_left = block_left;
  return fine;
}

}  // namespace

Status DecodeStaticHuffman(Method method, ByteSource& source, uint64_t compressed_size,
                           uint64_t original_size, ByteSink& sink, uint16_t* crc) {
  const Params params = ParamsOf(method);
  BitReader in(source, compressed_size);
  OutputWindow window(sink, params.window, original_size);
  // The thread's own, like the output buffer, so that a small member does
  // not pay for allocating them; not zeroed: a member's first block header
  // fills what its codes use.
  thread_local const std::unique_ptr<BlockTables> thread_tables = std::make_unique_for_overwrite<BlockTables>();
  BlockTables* const tables = thread_tables.get();
  unsigned block_left = 0;

  while (window.remaining() > 0) {
    uint8_t* limit;
    uint8_t* out = window.cursor();
    uint8_t* const stop = window.stop(&limit);
    // Below fast_stop no match can pass the member's end.
    uint8_t* const fast_stop =
        std::min(stop, limit - std::min<size_t>(limit - out, kMaxMatch));
    BitCursor bits = in.cursor();
    while (out < stop) {
      bool fine;
      if (tables->literal_length.full_root()) {
        fine = DecodeRun(*tables, params.window, fast_stop, bits, out, block_left);
      } else {
        in.cursor() = bits;
        fine = DecodeNarrowBlock(*tables, params.window, limit, stop, in, out, block_left);
        bits = in.cursor();
      }
      if (fine && out < stop) {
        // At the end of a block, or near the end of the input or member.
        in.cursor() = bits;
        if (block_left == 0) {
          LZH_TRY(in.ExplainFailure(ReadBlockHeader(in, params, *tables, &block_left)));
          bits = in.cursor();
          continue;
        }
        in.Refill();
        bits = in.cursor();
        --block_left;
        fine = DecodeSymbol(*tables, params.window, limit, bits, out);
      }
      if (!fine) [[unlikely]] {
        in.cursor() = bits;
        return in.ExplainFailure(Status::Corrupt("distance beyond the window"));
      }
    }
    in.cursor() = bits;
    window.set_cursor(out);
    // Bounds the work done on invented bits: a stream that ends early stops
    // at the next flush at the latest.
    LZH_TRY(in.Check());
    LZH_TRY(window.Flush());
  }
  LZH_TRY(in.Check());
  return window.Finish(crc);
}

}  // namespace lzh
