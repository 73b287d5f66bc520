// Constants of the static Huffman methods (lh4-lh7), shared by their
// decoder and encoder.
#pragma once

#include <cstddef>

#include "codec/method.h"

namespace lzh::static_huffman {

inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 256;
inline constexpr unsigned kNC = 510;  // literals and lengths 3..256
inline constexpr unsigned kNT = 19;   // code lengths of the NC table
inline constexpr unsigned kMaxNP = 17;
inline constexpr unsigned kTBits = 5;
inline constexpr unsigned kCBits = 9;
inline constexpr unsigned kMaxBlockSymbols = 65535;
inline constexpr unsigned kMaxCodeBits = 16;

struct Params {
  size_t window;
  unsigned np;    // position symbols
  unsigned pbits; // width of the NP table's counts
};

inline Params ParamsOf(Method method) {
  switch (method) {
    case Method::kLh4: return {4096, 14, 4};
    case Method::kLh5: return {8192, 14, 4};
    case Method::kLh6: return {32768, 16, 5};
    default: return {65536, 17, 5};
  }
}

}  // namespace lzh::static_huffman
