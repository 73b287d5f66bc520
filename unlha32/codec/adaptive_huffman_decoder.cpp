// Decoder for lh1: LZSS over a 4 KiB window with an adaptive Huffman code
// for literals and lengths and a fixed code for the high bits of positions.
//
// The window starts as spaces; real archives copy from that initial region,
// and the output window's space-filled history serves it without a special
// case. Codes are walked down the tree one bit at a time (the tree changes
// after every symbol, so there is no table to build); positions use a
// 256-entry look-up table for their fixed code.
#include <array>

#include "codec/adaptive_huffman_tree.h"
#include "codec/bit_reader.h"
#include "codec/codecs.h"
#include "codec/output_window.h"

namespace lzh {
namespace {

using namespace adaptive_huffman;

struct PositionEntry {
  uint8_t high;    // the position's high 6 bits
  uint8_t length;  // bits of the code
};

constexpr std::array<PositionEntry, 256> MakePositionTable() {
  std::array<PositionEntry, 256> table{};
  unsigned code = 0;
  unsigned previous_length = PositionCodeLength(0);
  for (unsigned high = 0; high < 64; ++high) {
    unsigned length = PositionCodeLength(high);
    code <<= length - previous_length;
    previous_length = length;
    unsigned first = code << (8 - length);
    for (unsigned i = 0; i < (1u << (8 - length)); ++i)
      table[first + i] = {static_cast<uint8_t>(high), static_cast<uint8_t>(length)};
    ++code;
  }
  return table;
}

constexpr std::array<PositionEntry, 256> kPositionTable = MakePositionTable();

}  // namespace

Status DecodeAdaptiveHuffman(ByteSource& source, uint64_t compressed_size,
                             uint64_t original_size, ByteSink& sink, uint16_t* crc) {
  BitReader in(source, compressed_size);
  OutputWindow window(sink, kWindow, original_size);
  Tree tree;
  while (window.remaining() > 0) {
    uint8_t* limit;
    uint8_t* out = window.cursor();
    uint8_t* const stop = window.stop(&limit);
    BitCursor bits = in.cursor();
    auto refill = [&] {
      if (!bits.TryRefill()) {
        in.cursor() = bits;
        in.Refill();
        bits = in.cursor();
      }
    };
    while (out < stop) {
      int node = tree.son[kRoot];
      while (node < kNodes) {
        if (bits.count == 0) refill();
        node = tree.son[node + static_cast<int>(bits.Take(1))];
      }
      int symbol = node - kNodes;
      tree.Update(symbol);
      if (symbol < 256) {
        *out++ = static_cast<uint8_t>(symbol);
        continue;
      }
      size_t length = static_cast<size_t>(symbol) - (256 - kMinMatch);
      refill();
      PositionEntry entry = kPositionTable[bits.Peek(8)];
      bits.Skip(entry.length);
      size_t distance = ((size_t{entry.high} << 6) | bits.Take(6)) + 1;
      if (length > static_cast<size_t>(limit - out)) length = static_cast<size_t>(limit - out);
      out = OutputWindow::Copy(out, distance, length);
    }
    in.cursor() = bits;
    window.set_cursor(out);
    LZH_TRY(in.Check());
    LZH_TRY(window.Flush());
  }
  LZH_TRY(in.Check());
  return window.Finish(crc);
}

}  // namespace lzh
