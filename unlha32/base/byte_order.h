// Little-endian fields, the byte order of every number in an LZH header and
// of UTF-16 names. Loads take a pointer the caller has already checked to
// have the bytes; stores append to or patch a header being built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzh {

inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p) { return LoadLe16(p) | (static_cast<uint32_t>(LoadLe16(p + 2)) << 16); }
inline uint64_t LoadLe64(const uint8_t* p) { return LoadLe32(p) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32); }

inline void AppendLe16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendLe32(std::vector<uint8_t>* out, uint32_t v) {
  AppendLe16(out, v & 0xFFFF);
  AppendLe16(out, v >> 16);
}
inline void AppendLe64(std::vector<uint8_t>* out, uint64_t v) {
  AppendLe32(out, static_cast<uint32_t>(v));
  AppendLe32(out, static_cast<uint32_t>(v >> 32));
}
inline void StoreLe16(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  (*out)[at] = static_cast<uint8_t>(v);
  (*out)[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace lzh
