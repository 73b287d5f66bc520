// Decoders for the two oldest methods, lzs and lz5: plain LZSS whose copies
// name an absolute position in a small ring buffer instead of a distance.
//
// Both run on the shared output window: a ring position p seen when the
// ring's write position is w is the distance ((w - p - 1) mod N) + 1, and
// the window's history is loaded with the ring's initial contents in the
// order they precede the first output byte. Neither method can name a
// position outside the ring, so no copy is ever out of range.
#include <array>

#include "codec/bit_reader.h"
#include "codec/codecs.h"
#include "codec/output_window.h"

namespace lzh {
namespace {

// Runs `step(in, out, write_position)` until the member is complete; a step
// writes one literal or one copy and returns the new output pointer.
template <typename Step>
Status DecodeRing(ByteSource& source, uint64_t compressed_size, uint64_t original_size,
                  ByteSink& sink, uint16_t* crc, const uint8_t* ring, size_t ring_size,
                  size_t start, Step step) {
  BitReader in(source, compressed_size);
  OutputWindow window(sink, ring_size, original_size);
  uint8_t* history = window.history_to_fill();
  for (size_t i = 0; i < ring_size; ++i) history[i] = ring[(start + i) % ring_size];
  uint64_t produced = 0;
  while (window.remaining() > 0) {
    uint8_t* limit;
    uint8_t* out = window.cursor();
    uint8_t* const first = out;
    uint8_t* const stop = window.stop(&limit);
    size_t write_position = (start + produced) % ring_size;
    while (out < stop) {
      in.Refill();
      uint8_t* next = step(in, out, write_position, limit);
      write_position = (write_position + static_cast<size_t>(next - out)) & (ring_size - 1);
      out = next;
    }
    produced += static_cast<size_t>(out - first);
    window.set_cursor(out);
    LZH_TRY(in.Check());
    LZH_TRY(window.Flush());
  }
  LZH_TRY(in.Check());
  return window.Finish(crc);
}

inline uint8_t* CopyFromRing(uint8_t* out, uint8_t* limit, size_t ring_size,
                             size_t write_position, size_t ring_position, size_t length) {
  size_t distance = ((write_position - ring_position - 1) & (ring_size - 1)) + 1;
  if (length > static_cast<size_t>(limit - out)) length = static_cast<size_t>(limit - out);
  return OutputWindow::Copy(out, distance, length);
}

std::array<uint8_t, 4096> Lz5InitialRing() {
  std::array<uint8_t, 4096> ring{};
  size_t i = 0;
  for (unsigned value = 0; value < 256; ++value)
    for (int k = 0; k < 13; ++k) ring[i++] = static_cast<uint8_t>(value);
  for (unsigned value = 0; value < 256; ++value) ring[i++] = static_cast<uint8_t>(value);
  for (unsigned value = 256; value-- > 0;) ring[i++] = static_cast<uint8_t>(value);
  i += 128;  // zeros
  for (int k = 0; k < 110; ++k) ring[i++] = 0x20;
  return ring;  // the last 18 bytes stay zero
}

}  // namespace

Status DecodeLzs(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                 ByteSink& out, uint16_t* crc) {
  constexpr size_t kRing = 2048;
  std::array<uint8_t, kRing> ring;
  ring.fill(0x20);
  return DecodeRing(in, compressed_size, original_size, out, crc, ring.data(), kRing,
                    kRing - 17,
                    [](BitReader& bits, uint8_t* to, size_t write_position, uint8_t* limit) {
                      if (bits.Take(1)) {
                        *to = static_cast<uint8_t>(bits.Take(8));
                        return to + 1;
                      }
                      size_t position = bits.Take(11);
                      size_t length = bits.Take(4) + 2;
                      return CopyFromRing(to, limit, kRing, write_position, position, length);
                    });
}

Status DecodeLz5(ByteSource& in, uint64_t compressed_size, uint64_t original_size,
                 ByteSink& out, uint16_t* crc) {
  constexpr size_t kRing = 4096;
  static const std::array<uint8_t, kRing> kInitialRing = Lz5InitialRing();
  unsigned flags = 0;  // the current flag byte, with a marker bit above its unused bits
  return DecodeRing(in, compressed_size, original_size, out, crc, kInitialRing.data(), kRing,
                    kRing - 18,
                    [&flags](BitReader& bits, uint8_t* to, size_t write_position, uint8_t* limit) {
                      if (flags <= 1) flags = bits.Take(8) | 0x100;
                      bool literal = flags & 1;
                      flags >>= 1;
                      if (literal) {
                        *to = static_cast<uint8_t>(bits.Take(8));
                        return to + 1;
                      }
                      size_t low = bits.Take(8);
                      size_t high = bits.Take(8);
                      size_t position = low | ((high & 0xF0) << 4);
                      size_t length = (high & 0x0F) + 3;
                      return CopyFromRing(to, limit, kRing, write_position, position, length);
                    });
}

}  // namespace lzh
