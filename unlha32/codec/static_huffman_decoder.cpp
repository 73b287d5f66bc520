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
// on local copies of the bit buffer and output pointer, one refill per
// step; block ends, the input's end and the member's last 256 bytes go one
// symbol at a time through the careful path, which clips matches.
#include <algorithm>
#include <bit>
#include <memory>

#include "bit_reader.h"
#include "codecs.h"
#include "huffman_decoder.h"
#include "output_window.h"
#include "static_huffman_format.h"

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
Status ReadSmallTable(BitReader& in, unsigned symbols, unsigned count_bits, int special,
                      HuffmanDecoder<kSymbols, kRootBits>& table, MakeEntry make_entry) {
  unsigned n = in.Read(count_bits);
  if (n == 0) {
    unsigned symbol = in.Read(count_bits);
    LZH_REQUIRE(symbol < symbols, kCorrupt, "bad Huffman table: symbol out of range");
    table.BuildSingle(make_entry(symbol, 0));
    return Status::Ok();
  }
  LZH_REQUIRE(n <= symbols, kCorrupt, "bad Huffman table: too many code lengths");
  uint8_t lengths[kSymbols] = {};
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
    lengths[i++] = static_cast<uint8_t>(length);
    if (static_cast<int>(i) == special) {
      // The run may reach past n (the lengths there are zero anyway), but
      // never past the table.
      unsigned zeros = in.Read(2);
      i += zeros;
      LZH_REQUIRE(i <= symbols, kCorrupt, "bad Huffman table: zero run too long");
    }
  }
  return table.Build(lengths, make_entry);
}

Status ReadLiteralLengthTable(BitReader& in, BlockTables& tables) {
  unsigned n = in.Read(kCBits);
  if (n == 0) {
    unsigned symbol = in.Read(kCBits);
    LZH_REQUIRE(symbol < kNC, kCorrupt, "bad Huffman table: symbol out of range");
    tables.literal_length.BuildSingle(LiteralLengthEntry(symbol, 0));
    return Status::Ok();
  }
  LZH_REQUIRE(n <= kNC, kCorrupt, "bad Huffman table: too many code lengths");
  uint8_t lengths[kNC] = {};
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
      lengths[i++] = static_cast<uint8_t>(t - 2);
      continue;
    }
    LZH_REQUIRE(zeros <= n - i, kCorrupt, "bad Huffman table: zero run passes the table end");
    i += zeros;
  }
  return tables.literal_length.Build(lengths, LiteralLengthEntry);
}

Status ReadBlockHeader(BitReader& in, const Params& params, BlockTables& tables,
                       unsigned* symbols) {
  *symbols = in.Read(16);
  LZH_REQUIRE(*symbols != 0, kCorrupt, "empty Huffman block");
  LZH_TRY(ReadSmallTable(in, kNT, kTBits, 3, tables.code_length, SymbolEntry));
  LZH_TRY(ReadLiteralLengthTable(in, tables));
  LZH_TRY(ReadSmallTable(in, params.np, params.pbits, -1, tables.position, PositionEntry));
  // A truncated header decodes from invented zero bits; stop here rather
  // than produce a block of output from them.
  return in.Check();
}

// The distance and bit count of the position code at the top of `bits`.
inline size_t DecodePosition(const PositionTable& table, uint64_t bits, unsigned* used) {
  uint32_t position = table.Lookup(bits);
  *used = position & PositionTable::kBitsMask;
  uint32_t extra_mask = (1u << (position >> kExtraShift)) - 1;
  return (position >> 8 & 0xFFFF) + (static_cast<uint32_t>(std::rotl(bits, *used)) & extra_mask);
}

// The match of a length entry already looked up: consumes its code, the
// position code and the extra bits, copies into `out` (clipped to `limit`
// if kClip). False for a match from beyond the window.
template <bool kClip>
inline bool DecodeMatch(const PositionTable& table, uint32_t entry, size_t window,
                        const uint8_t* limit, BitCursor& bits, uint8_t*& out) {
  bits.Skip(entry & LiteralLengthTable::kBitsMask);
  unsigned used;
  size_t distance = DecodePosition(table, bits.bits, &used);
  bits.Skip(used);
  if (distance > window) [[unlikely]]
    return false;
  size_t length = entry >> 8 & 0x1FF;
  if (kClip) length = std::min(length, static_cast<size_t>(limit - out));
  out = OutputWindow::Copy(out, distance, length);
  return true;
}

// Decodes one literal or match into `out`, with a full bit buffer, clipping
// a match to `limit`. False for a match from beyond the window.
inline bool DecodeSymbol(const BlockTables& tables, size_t window, const uint8_t* limit,
                         BitCursor& bits, uint8_t*& out) {
  uint32_t entry = tables.literal_length.Lookup(bits.bits);
  if (!(entry & kMatch)) {
    *out++ = static_cast<uint8_t>(entry >> 8);
    bits.Skip(entry & LiteralLengthTable::kBitsMask);
    return true;
  }
  return DecodeMatch<true>(tables.position, entry, window, limit, bits, out);
}

// The hot loop: steps while the block has two symbols left, the output is
// below `fast_stop` (where no match can pass the member's end) and the
// input has 8 bytes at hand. A step is a match, a literal and a match, or
// two literals: after a literal the buffer still holds a whole code, so
// literal runs go two symbols per refill. It makes no call, so that its
// state stays in registers. False for a match from beyond the window.
[[gnu::noinline]] bool DecodeRun(const BlockTables& tables, size_t window, uint8_t* fast_stop,
                                 BitCursor& cursor, uint8_t*& cursor_out,
                                 unsigned& cursor_block_left) {
  BitCursor bits = cursor;
  uint8_t* out = cursor_out;
  unsigned block_left = cursor_block_left;
  bool fine = true;
  while (out < fast_stop && block_left >= 2 && bits.TryRefill()) {
    uint32_t entry = tables.literal_length.Lookup(bits.bits);
    if (!(entry & kMatch)) {
      *out++ = static_cast<uint8_t>(entry >> 8);
      bits.Skip(entry & LiteralLengthTable::kBitsMask);
      --block_left;
      entry = tables.literal_length.Lookup(bits.bits);
      if (!(entry & kMatch)) {
        *out++ = static_cast<uint8_t>(entry >> 8);
        bits.Skip(entry & LiteralLengthTable::kBitsMask);
        --block_left;
        continue;
      }
      // The match's codes may need more bits than are left; near the end
      // of the input the careful path takes over.
      if (!bits.TryRefill()) [[unlikely]]
        break;
    }
    --block_left;
    fine = DecodeMatch<false>(tables.position, entry, window, nullptr, bits, out);
    if (!fine) [[unlikely]]
      break;
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
  auto tables = std::make_unique<BlockTables>();
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
      bool fine = DecodeRun(*tables, params.window, fast_stop, bits, out, block_left);
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
