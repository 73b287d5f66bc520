// Fuzz target: the header parser and the archive walker on arbitrary bytes.
//
// The input is an archive as a file would hold it. ParseHeader sees it
// directly (as the walker's window would), then the walker goes through it
// the way listing does. Every header the walker accepts must lie inside the
// input and after the previous one, or a hostile chain could make a reader
// loop or read outside the archive.
#include <cstddef>
#include <cstdint>
#include <span>

#include "format/archive_walker.h"
#include "format/header_parser.h"
#include "fuzz_check.h"

using namespace lzh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  MemberHeader header;
  if (size > 0 && data[0] != 0) {
    Status parsed = ParseHeader(bytes.first(std::min(size, kMaxHeaderBytes)), 0, &header);
    if (parsed.ok()) {
      FUZZ_CHECK(header.header_length >= kMinHeaderBytes, "header shorter than any level allows");
      FUZZ_CHECK(header.header_length <= size, "header longer than the input");
      FUZZ_CHECK(header.data_offset >= header.header_length, "data starts inside the header");
    }
  }

  MemoryReader reader(bytes);
  ArchiveWalker walker(reader);
  if (!walker.Open().ok()) return 0;
  uint64_t previous_end = walker.archive_offset();
  for (bool end = false;;) {
    Status next = walker.Next(&header, &end);
    if (end) break;
    if (!next.ok()) {
      bool over = false;
      FUZZ_CHECK(walker.Next(&header, &over).ok() && over, "walk goes on after an error");
      break;
    }
    FUZZ_CHECK(header.header_offset >= previous_end, "walker went backwards");
    FUZZ_CHECK(header.data_offset <= size, "header runs past the input");
    FUZZ_CHECK(header.data_offset + header.packed_size <= size, "member data runs past the input");
    previous_end = header.data_offset + header.packed_size;
  }
  FUZZ_CHECK(walker.end_offset() <= size, "end of archive past the input");
  return 0;
}
