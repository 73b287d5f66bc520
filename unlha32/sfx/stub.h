// The self-extracting program's bytes, compiled into the library at build
// time (a generated source): the `s` command needs no file beside the
// library to find, and always writes the program built with it.
#pragma once

#include <cstdint>
#include <span>

namespace lzh::sfx {

std::span<const uint8_t> Stub();

}  // namespace lzh::sfx
