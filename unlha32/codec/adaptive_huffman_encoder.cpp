// Encoder for lh1. The LZ parse (4 KiB window, matches of 3 to 60 bytes)
// is coded symbol by symbol with the adaptive tree, updated exactly as the
// decoder updates it. A symbol's code is the path from the root to its
// leaf, gathered leaf first and sent root first.
//
// The parser never refers to anything before the member's first byte:
// readers disagree about what the initial window holds beyond its last 60
// bytes, so no reference into it is safe.
#include <memory>

#include "codec/adaptive_huffman_tree.h"
#include "codec/bit_writer.h"
#include "codec/codecs.h"
#include "codec/lz_parser.h"

namespace lzh {
namespace {

using namespace adaptive_huffman;

struct PositionCode {
  uint8_t code;
  uint8_t length;
};

struct PositionCodes {
  PositionCode of[64];
  constexpr PositionCodes() : of{} {
    unsigned code = 0;
    unsigned previous_length = PositionCodeLength(0);
    for (unsigned high = 0; high < 64; ++high) {
      unsigned length = PositionCodeLength(high);
      code <<= length - previous_length;
      previous_length = length;
      of[high] = {static_cast<uint8_t>(code), static_cast<uint8_t>(length)};
      ++code;
    }
  }
};

constexpr PositionCodes kPositionCodes;

class SymbolWriter {
 public:
  SymbolWriter(ByteSink& sink, uint64_t give_up_at) : writer_(sink), give_up_at_(give_up_at) {}

  void Literal(uint8_t byte) { PutSymbol(byte); }

  void Match(unsigned length, unsigned distance) {
    PutSymbol(static_cast<int>(length + (256 - kMinMatch)));
    unsigned q = distance - 1;
    const PositionCode& high = kPositionCodes.of[q >> 6];
    writer_.Put(high.code, high.length);
    writer_.Put(q & 63, 6);
  }

  bool Stopped() const { return writer_.size() >= give_up_at_ || !writer_.Check().ok(); }

  Status Finish(uint64_t* packed_size) {
    LZH_TRY(writer_.Finish());
    *packed_size = writer_.size();
    return Status::Ok();
  }

 private:
  void PutSymbol(int symbol) {
    // The counts are halved long before a path could pass 64 levels.
    uint64_t code = 0;
    unsigned length = 0;
    int node = tree_.parent[symbol + kNodes];
    do {
      code |= static_cast<uint64_t>(node & 1) << length;
      ++length;
      node = tree_.parent[node];
    } while (node != kRoot);
    if (length > 32) {
      writer_.Put(static_cast<uint32_t>(code >> 32), length - 32);
      length = 32;
    }
    writer_.Put(static_cast<uint32_t>(code), length);
    tree_.Update(symbol);
  }

  BitWriter writer_;
  const uint64_t give_up_at_;
  Tree tree_;
};

}  // namespace

Status EncodeAdaptiveHuffman(ByteSource& in, ByteSink& out, uint64_t give_up_at,
                             EncodeResult* result) {
  constexpr MatchFinderConfig kConfig = {kWindow, kMinMatch, kMaxMatch, 64, 16, 32, 60, kWindow, 13};
  TallyingSource source(in);
  LzParser parser(source, kConfig);
  auto symbols = std::make_unique<SymbolWriter>(out, give_up_at);
  LZH_TRY(parser.Run(*symbols));
  LZH_TRY(symbols->Finish(&result->packed_size));
  result->original_size = source.consumed();
  result->crc = source.crc();
  result->store_instead = result->packed_size >= give_up_at;
  return Status::Ok();
}

}  // namespace lzh
