// Slicing-by-8: eight table look-ups per eight input bytes. The CRC is on
// the decoder's hot path (every extracted byte passes through it), so the
// byte-at-a-time loop is kept only for the tail.
#include "crc16.h"

#include <array>
#include <bit>
#include <cstring>

namespace lzh {
namespace {

using Tables = std::array<std::array<uint16_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xA001u : 0u);
    t[0][i] = static_cast<uint16_t>(crc);
  }
  for (unsigned i = 0; i < 256; ++i)
    for (unsigned k = 1; k < 8; ++k)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size) {
  while (size >= 8) {
    uint32_t low;
    uint32_t high;
    std::memcpy(&low, data, 4);
    std::memcpy(&high, data + 4, 4);
    if constexpr (std::endian::native == std::endian::big) {
      low = __builtin_bswap32(low);
      high = __builtin_bswap32(high);
    }
    low ^= crc;
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
          kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^
          kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
          kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
    data += 8;
    size -= 8;
  }
  while (size--) crc = static_cast<uint16_t>((crc >> 8) ^ kTables[0][(crc ^ *data++) & 0xFF]);
  return crc;
}

}  // namespace lzh
