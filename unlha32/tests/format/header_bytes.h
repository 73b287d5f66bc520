// Hand-made header bytes for the format tests, laid out field by field as
// the format defines them, independently of the library's writer, so that
// the parser is tested against the layout and not against itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/crc16.h"

namespace lzh::test {

using Bytes = std::vector<uint8_t>;

inline void Add8(Bytes* b, uint32_t v) { b->push_back(static_cast<uint8_t>(v)); }
inline void Add16(Bytes* b, uint32_t v) { Add8(b, v); Add8(b, v >> 8); }
inline void Add32(Bytes* b, uint32_t v) { Add16(b, v & 0xFFFF); Add16(b, v >> 16); }
inline void Add64(Bytes* b, uint64_t v) { Add32(b, static_cast<uint32_t>(v)); Add32(b, static_cast<uint32_t>(v >> 32)); }
inline void AddText(Bytes* b, std::string_view s) { b->insert(b->end(), s.begin(), s.end()); }
inline void Append(Bytes* b, const Bytes& more) { b->insert(b->end(), more.begin(), more.end()); }

inline uint8_t Checksum(const Bytes& b, size_t from, size_t to) {
  unsigned sum = 0;
  for (size_t i = from; i < to; ++i) sum += b[i];
  return static_cast<uint8_t>(sum);
}

struct Ext {
  uint8_t type;
  std::string data;
};

inline Ext Ext16(uint8_t type, uint16_t v) { Bytes b; Add16(&b, v); return {type, std::string(b.begin(), b.end())}; }
inline Ext Ext32(uint8_t type, uint32_t v) { Bytes b; Add32(&b, v); return {type, std::string(b.begin(), b.end())}; }
// A UTF-16LE string from ASCII or explicit code units.
inline std::string Utf16(std::initializer_list<uint16_t> units) {
  std::string s;
  for (uint16_t u : units) { s.push_back(static_cast<char>(u & 0xFF)); s.push_back(static_cast<char>(u >> 8)); }
  return s;
}

// Serialises a chain; `width` is the next-size field width (2 or 4).
inline Bytes Chain(const std::vector<Ext>& exts, size_t width, size_t* first_size) {
  Bytes b;
  *first_size = exts.empty() ? 0 : exts[0].data.size() + 1 + width;
  for (size_t i = 0; i < exts.size(); ++i) {
    Add8(&b, exts[i].type);
    AddText(&b, exts[i].data);
    size_t next = i + 1 < exts.size() ? exts[i + 1].data.size() + 1 + width : 0;
    if (width == 2) Add16(&b, static_cast<uint32_t>(next)); else Add32(&b, static_cast<uint32_t>(next));
  }
  return b;
}

// Writes the CRC of the whole header into the 0x00 extended header's two
// bytes at `at`, which are zero while it is computed.
inline void FillHeaderCrc(Bytes* b, size_t at) {
  uint16_t crc = Crc16(0, b->data(), b->size());
  (*b)[at] = static_cast<uint8_t>(crc);
  (*b)[at + 1] = static_cast<uint8_t>(crc >> 8);
}

struct Fields {
  std::string method = "-lh0-";
  uint32_t packed = 0;
  uint32_t original = 0;
  uint32_t time = 0x4A215C00;  // 2017-01-01 11:32:00 as an MS-DOS stamp
  uint8_t attribute = 0x20;
  uint16_t crc = 0x1234;
};

// The level-0 Unix extension: 'U', a version byte, mtime, mode, uid, gid.
inline Bytes UnixExtension(uint32_t mtime, uint16_t mode, uint16_t uid, uint16_t gid) {
  Bytes b = {'U', 0};
  Add32(&b, mtime); Add16(&b, mode); Add16(&b, uid); Add16(&b, gid);
  return b;
}

inline Bytes Level0(const Fields& f, std::string_view name, const Bytes& extension = {}) {
  Bytes b = {0, 0};
  AddText(&b, f.method);
  Add32(&b, f.packed); Add32(&b, f.original); Add32(&b, f.time);
  Add8(&b, f.attribute); Add8(&b, 0); Add8(&b, static_cast<uint32_t>(name.size()));
  AddText(&b, name); Add16(&b, f.crc);
  Append(&b, extension);
  b[0] = static_cast<uint8_t>(b.size() - 2);
  b[1] = Checksum(b, 2, b.size());
  return b;
}

// Level 1: the skip size is the packed size plus the extended headers.
// With `header_crc`, a 0x00 extended header is put first and filled in.
inline Bytes Level1(const Fields& f, std::string_view name, uint8_t os, std::vector<Ext> exts,
                    bool header_crc = false) {
  if (header_crc) exts.insert(exts.begin(), Ext{0x00, std::string(2, '\0')});
  size_t first = 0;
  Bytes chain = Chain(exts, 2, &first);
  Bytes b = {0, 0};
  AddText(&b, f.method);
  Add32(&b, static_cast<uint32_t>(f.packed + chain.size())); Add32(&b, f.original); Add32(&b, f.time);
  Add8(&b, f.attribute); Add8(&b, 1); Add8(&b, static_cast<uint32_t>(name.size()));
  AddText(&b, name); Add16(&b, f.crc); Add8(&b, os); Add16(&b, static_cast<uint32_t>(first));
  b[0] = static_cast<uint8_t>(b.size() - 2);
  b[1] = Checksum(b, 2, b.size());
  size_t base = b.size();
  Append(&b, chain);
  if (header_crc) {
    FillHeaderCrc(&b, base + 1);
    b[1] = Checksum(b, 2, base);
  }
  return b;
}

// Level 2 (or 3 with width 4). `total_adjust` bends the stated total size
// (OS-9/68K writers state 2 less); `padding` adds bytes after the chain.
inline Bytes Level23(int level, const Fields& f, uint32_t unix_time, uint8_t os, std::vector<Ext> exts,
                     bool header_crc = true, int total_adjust = 0, size_t padding = 0) {
  size_t width = level == 3 ? 4 : 2;
  if (header_crc) exts.insert(exts.begin(), Ext{0x00, std::string(2, '\0')});
  size_t first = 0;
  Bytes chain = Chain(exts, width, &first);
  Bytes b;
  Add16(&b, level == 3 ? 4 : 0);
  AddText(&b, f.method);
  Add32(&b, f.packed); Add32(&b, f.original); Add32(&b, unix_time);
  Add8(&b, f.attribute); Add8(&b, static_cast<uint32_t>(level)); Add16(&b, f.crc); Add8(&b, os);
  if (level == 3) { Add32(&b, 0); Add32(&b, static_cast<uint32_t>(first)); } else { Add16(&b, static_cast<uint32_t>(first)); }
  size_t base = b.size();
  Append(&b, chain);
  b.resize(b.size() + padding, 0);
  uint32_t total = static_cast<uint32_t>(static_cast<int>(b.size()) + total_adjust);
  if (level == 3) { b[24] = total & 0xFF; b[25] = (total >> 8) & 0xFF; b[26] = (total >> 16) & 0xFF; b[27] = total >> 24; }
  else { b[0] = total & 0xFF; b[1] = (total >> 8) & 0xFF; }
  if (header_crc) FillHeaderCrc(&b, base + 1);
  return b;
}

}  // namespace lzh::test
