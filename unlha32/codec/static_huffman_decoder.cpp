// Decoder for the static Huffman methods lh4, lh5, lh6 and lh7: LZ77 with
// Huffman-coded blocks, each block carrying its own three tables.
//
// Every count, length and symbol of the table headers is checked before it
// is used, so corrupt data fails with a named fault instead of indexing
// past an array. The symbol loop works on local pointers into the output
// window and refills the bit buffer once per symbol, which is enough for a
// literal/length code, a position code and its extra bits together.
#include <memory>

#include "bit_reader.h"
#include "codecs.h"
#include "huffman_decoder.h"
#include "output_window.h"
#include "static_huffman_format.h"

namespace lzh {
namespace {

using namespace static_huffman;

// A literal/length code, a position code and the position's extra bits.
constexpr unsigned kMostBitsPerSymbol = 2 * kMaxCodeLength + (kMaxNP - 2);

struct BlockTables {
  HuffmanDecoder<kNC, 12> literal_length;
  HuffmanDecoder<kMaxNP, 8> position;
  HuffmanDecoder<kNT, 8> code_length;
};

// The NT and NP tables: `special` is the index after which a 2-bit count of
// zero lengths follows (3 for NT, none for NP).
template <unsigned kSymbols, unsigned kRootBits>
Status ReadSmallTable(BitReader& in, unsigned symbols, unsigned count_bits, int special,
                      HuffmanDecoder<kSymbols, kRootBits>& table) {
  unsigned n = in.Read(count_bits);
  if (n == 0) {
    unsigned symbol = in.Read(count_bits);
    LZH_REQUIRE(symbol < symbols, kCorrupt, "bad Huffman table: symbol out of range");
    table.BuildSingle(symbol);
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
  return table.Build(lengths);
}

Status ReadLiteralLengthTable(BitReader& in, BlockTables& tables) {
  unsigned n = in.Read(kCBits);
  if (n == 0) {
    unsigned symbol = in.Read(kCBits);
    LZH_REQUIRE(symbol < kNC, kCorrupt, "bad Huffman table: symbol out of range");
    tables.literal_length.BuildSingle(symbol);
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
  return tables.literal_length.Build(lengths);
}

Status ReadBlockHeader(BitReader& in, const Params& params, BlockTables& tables,
                       unsigned* symbols) {
  *symbols = in.Read(16);
  LZH_REQUIRE(*symbols != 0, kCorrupt, "empty Huffman block");
  LZH_TRY(ReadSmallTable(in, kNT, kTBits, 3, tables.code_length));
  LZH_TRY(ReadLiteralLengthTable(in, tables));
  LZH_TRY(ReadSmallTable(in, params.np, params.pbits, -1, tables.position));
  // A truncated header decodes from invented zero bits; stop here rather
  // than produce a block of output from them.
  return in.Check();
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
    BitCursor bits = in.cursor();
    while (out < stop) {
      if (block_left == 0) [[unlikely]] {
        in.cursor() = bits;
        LZH_TRY(in.ExplainFailure(ReadBlockHeader(in, params, *tables, &block_left)));
        bits = in.cursor();
      }
      --block_left;
      if (!bits.TryRefill()) [[unlikely]] {
        in.cursor() = bits;
        in.Refill();
        bits = in.cursor();
      }
      unsigned symbol = tables->literal_length.Decode(bits);
      if (symbol < 256) {
        *out++ = static_cast<uint8_t>(symbol);
        // Literals come in runs: the same refill usually still holds a
        // whole next symbol, match included.
        if (bits.count < kMostBitsPerSymbol || block_left == 0 || out >= stop) continue;
        --block_left;
        symbol = tables->literal_length.Decode(bits);
        if (symbol < 256) {
          *out++ = static_cast<uint8_t>(symbol);
          continue;
        }
      }
      size_t length = symbol - (256 - kMinMatch);
      unsigned position = tables->position.Decode(bits);
      size_t distance = position <= 1 ? position + 1
                                      : (size_t{1} << (position - 1)) + bits.Take(position - 1) + 1;
      if (distance > params.window) [[unlikely]] {
        in.cursor() = bits;
        return in.ExplainFailure(Status::Corrupt("distance beyond the window"));
      }
      if (length > static_cast<size_t>(limit - out)) length = static_cast<size_t>(limit - out);
      out = OutputWindow::Copy(out, distance, length);
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
