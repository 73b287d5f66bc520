# Writes a C++ source holding the bytes of INPUT as lzh::sfx::Stub().
# Run as: cmake -DINPUT=... -DOUTPUT=... -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new" "// Generated from the self-extracting program at build time; do not edit.
#include \"sfx/stub.h\"

namespace lzh::sfx {
namespace {
const uint8_t kStub[${size}] = {
${bytes}};
}  // namespace

std::span<const uint8_t> Stub() { return kStub; }

}  // namespace lzh::sfx
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
