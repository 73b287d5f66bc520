// CRC-16/ARC over large buffers. The CRC is on the decoder's hot path (every
// extracted byte passes through it once, when the output window is
// flushed), so there are two implementations:
//  - x86-64 with PCLMULQDQ (checked at run time): carry-less multiplication
//    folds four 16-byte lanes at a time into a 128-bit remainder, which the
//    table finishes; several times faster than any table.
//  - slicing-by-16 tables everywhere else (i686 builds, other processors)
//    and for short inputs and tails (by 8 and 4 for what is left under 16).
#include "codec/crc16.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LZH_CRC16_CLMUL 1
#endif

namespace lzh {
namespace {

using Tables = std::array<std::array<uint16_t, 256>, 16>;

constexpr Tables MakeTables() {
  Tables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xA001u : 0u);
    t[0][i] = static_cast<uint16_t>(crc);
  }
  for (unsigned i = 0; i < 256; ++i)
    for (unsigned k = 1; k < 16; ++k)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}

constexpr Tables kTables = MakeTables();

uint16_t Crc16Table(uint16_t crc, const uint8_t* data, size_t size) {
  while (size >= 16) {
    uint32_t word[4];
    std::memcpy(word, data, 16);
    if constexpr (std::endian::native == std::endian::big)
      for (uint32_t& w : word) w = __builtin_bswap32(w);
    word[0] ^= crc;
    uint32_t sum = 0;
    for (unsigned i = 0; i < 4; ++i) {
      const unsigned table = 15 - 4 * i;
      sum ^= kTables[table][word[i] & 0xFF] ^ kTables[table - 1][(word[i] >> 8) & 0xFF] ^
             kTables[table - 2][(word[i] >> 16) & 0xFF] ^ kTables[table - 3][word[i] >> 24];
    }
    crc = static_cast<uint16_t>(sum);
    data += 16;
    size -= 16;
  }
  // Headers and small members are mostly tail: eight and four bytes at a
  // time through the same tables before single bytes.
  for (unsigned step = 8; step >= 4; step /= 2) {
    if (size < step) continue;
    uint32_t word[2];
    std::memcpy(word, data, step);
    if constexpr (std::endian::native == std::endian::big)
      for (unsigned i = 0; i < step / 4; ++i) word[i] = __builtin_bswap32(word[i]);
    word[0] ^= crc;
    uint32_t sum = 0;
    for (unsigned k = 0; k < step; ++k) sum ^= kTables[step - 1 - k][(word[k / 4] >> (8 * (k % 4))) & 0xFF];
    crc = static_cast<uint16_t>(sum);
    data += step;
    size -= step;
  }
  while (size--) crc = static_cast<uint16_t>((crc >> 8) ^ kTables[0][(crc ^ *data++) & 0xFF]);
  return crc;
}

#ifdef LZH_CRC16_CLMUL

// Folding constants. The CRC is reflected: in a little-endian load the
// lowest bit is the highest power of x. A 16-byte lane A = H*x^64 + L
// moved D bits further along is H*x^(D+64) + L*x^D; reduced modulo the
// polynomial (x^16 + x^15 + x^2 + 1) those powers become 16-bit factors.
// A reflected carry-less product comes out one bit short, which is made up
// by using x^(n-1) instead of x^n.
constexpr uint64_t ReflectedPowerOfX(unsigned n) {
  uint32_t remainder = 1;
  for (unsigned i = 0; i < n; ++i) {
    remainder <<= 1;
    if (remainder & 0x10000) remainder ^= 0x18005;
  }
  uint64_t reflected = 0;
  for (unsigned degree = 0; degree < 16; ++degree)
    if (remainder & (1u << degree)) reflected |= uint64_t{1} << (63 - degree);
  return reflected;
}

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i lane, __m128i constants,
                                                           __m128i next) {
  __m128i high = _mm_clmulepi64_si128(lane, constants, 0x00);  // H * x^(D+63)
  __m128i low = _mm_clmulepi64_si128(lane, constants, 0x11);   // L * x^(D-1)
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Needs size >= 64.
__attribute__((target("pclmul,sse2"))) uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data,
                                                           size_t size) {
  const __m128i by_512 = _mm_set_epi64x(static_cast<long long>(ReflectedPowerOfX(512 - 1)),
                                        static_cast<long long>(ReflectedPowerOfX(512 + 63)));
  const __m128i by_128 = _mm_set_epi64x(static_cast<long long>(ReflectedPowerOfX(128 - 1)),
                                        static_cast<long long>(ReflectedPowerOfX(128 + 63)));
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  // The running CRC enters as the message's first two bytes would.
  __m128i lane0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(crc));
  __m128i lane1 = load(data + 16);
  __m128i lane2 = load(data + 32);
  __m128i lane3 = load(data + 48);
  data += 64;
  size -= 64;
  for (; size >= 64; data += 64, size -= 64) {
    lane0 = Fold(lane0, by_512, load(data));
    lane1 = Fold(lane1, by_512, load(data + 16));
    lane2 = Fold(lane2, by_512, load(data + 32));
    lane3 = Fold(lane3, by_512, load(data + 48));
  }
  __m128i folded = Fold(Fold(Fold(lane0, by_128, lane1), by_128, lane2), by_128, lane3);
  for (; size >= 16; data += 16, size -= 16) folded = Fold(folded, by_128, load(data));
  // The remainder is congruent to everything read so far; its own CRC is
  // therefore the CRC of all of it.
  uint8_t remainder[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), folded);
  crc = Crc16Table(0, remainder, 16);
  return Crc16Table(crc, data, size);
}

bool HasClmul() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") != 0;
  }();
  return has;
}

#endif

}  // namespace

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size) {
#ifdef LZH_CRC16_CLMUL
  if (size >= 64 && HasClmul()) return Crc16Clmul(crc, data, size);
#endif
  return Crc16Table(crc, data, size);
}

}  // namespace lzh
