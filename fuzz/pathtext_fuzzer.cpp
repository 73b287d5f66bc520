// Fuzz target: the front end's path routines on any text, in single-byte
// text and in Shift_JIS (first input byte chooses), where a trail byte can
// look like a separator, a dot or a wildcard.
//
// The pieces are exactly-sized heap blocks, so AddressSanitizer sees any
// write past them. A path that SplitPath took whole, of legal length and
// not ending in a lone lead byte, must join back to itself: otherwise a
// directory or name boundary fell inside a character.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "pathtext/pathtext.h"

namespace {

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

bool EndsInLoneLeadByte(const std::string& text) {
  bool lone = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
      lone = i + 1 == text.size();
      ++i;
    }
  }
  return lone;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  LoadLeadBytes(data[0] & 1 ? ShiftJisLead : NoLead);
  std::string path(reinterpret_cast<const char*>(data + 1), strnlen(reinterpret_cast<const char*>(data + 1), size - 1));

  auto drive = std::make_unique<char[]>(kDriveSize);
  auto directory = std::make_unique<char[]>(kPathSize);
  auto base = std::make_unique<char[]>(kPathSize);
  auto extension = std::make_unique<char[]>(kPathSize);
  int whole = SplitPath(path.c_str(), drive.get(), directory.get(), base.get(), extension.get());
  HasWildcardChars(path.c_str());

  auto joined = std::make_unique<char[]>(kPathSize);
  int fits = MakePath(joined.get(), drive.get(), directory.get(), base.get(), extension.get());
  FUZZ_CHECK(fits || joined[0] == '\0', "MakePath failed but left text behind");
  if (whole && path.size() < kPathSize && !EndsInLoneLeadByte(path)) {
    FUZZ_CHECK(fits, "a whole split did not join back");
    FUZZ_CHECK(path == joined.get(), "split and join changed the path");
  }
  return 0;
}
