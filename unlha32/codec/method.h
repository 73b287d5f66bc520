// Method: the five-byte compression method id of a member ("-lh5-"), and
// what the codec can do with it. Rare methods are recognised so that they
// can be listed and reported by name; only their data is out of reach.
#pragma once

#include <cstdint>

namespace lzh {

enum class Method : uint8_t {
  kLh0,  // stored
  kLhd,  // directory or symbolic link, no data
  kLh1,  // LZSS, 4 KiB window, adaptive Huffman
  kLh4,  // LZSS, 4 KiB window, static Huffman blocks
  kLh5,  // as lh4, 8 KiB window
  kLh6,  // as lh4, 32 KiB window
  kLh7,  // as lh4, 64 KiB window
  kLz4,  // stored (older name)
  kLzs,  // LZSS, 2 KiB ring, bit-packed flags
  kLz5,  // LZSS, 4 KiB ring, byte-packed flags
  kOther,  // a well-formed "-xxx-" id we cannot decode (lh2, lh3, pm1, ...)
};

// Recognises the 5 bytes at offset 2 of a header: "-" + 3 characters + "-".
// Returns false when the bytes are not a method id at all.
bool ParseMethodId(const uint8_t id[5], Method* method);

// The canonical id text of a method we write or decode ("-lh5-"); for
// kOther the caller keeps the id bytes it read.
const char* MethodIdText(Method method);

bool CanDecode(Method method);
bool CanEncode(Method method);  // lh0, lh1, lh5, lh6, lh7

}  // namespace lzh
