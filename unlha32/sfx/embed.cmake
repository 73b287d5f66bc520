# Writes a C++ source holding the bytes of INPUT as lzh::sfx::Stub().
# Run as: cmake -DINPUT=... -DOUTPUT=... -DLIMIT=... -P embed.cmake
# A LIMIT other than 0 is the most bytes the program may have: every
# self-extracting archive carries it, and growth past it should be noticed
# where it happens.
file(SIZE "${INPUT}" size)
if(LIMIT AND size GREATER LIMIT)
  message(FATAL_ERROR "The self-extracting program ${INPUT} has ${size} bytes, more than the ${LIMIT} it may have.")
endif()
file(READ "${INPUT}" hex HEX)
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
