// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final XOR):
// the checksum of every member's original bytes and of level-2 headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// Continues a CRC over `size` more bytes; start with crc = 0.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace lzh
