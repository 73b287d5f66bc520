// ArchiveWriter: builds an archive member by member on a SeekableOutput.
//
// New members are compressed straight into the output behind a placeholder
// header, which is patched once sizes and CRC are known; when compression
// does not pay (or the result would trip other readers) the member is
// stored instead, over the compressed bytes. Untouched members of an
// existing archive are copied byte for byte. A member that fails leaves no
// trace: the output is cut back to where the member began, so the caller
// may report it and go on with the next one. Temporary files and renaming
// are the caller's business.
//
// Usage:
//   ArchiveWriter writer(output, /*level=*/2);
//   LZH_TRY(writer.AddMember(&header, input));   // header: path, method, ...
//   LZH_TRY(writer.CopyMember(old_archive, old_header));
//   LZH_TRY(writer.Finish());
#pragma once

#include <cstdint>
#include <vector>

#include "base/status.h"
#include "format/member_header.h"
#include "format/member_input.h"
#include "format/output.h"
#include "format/reader.h"

namespace lzh {

class ArchiveWriter {
 public:
  // New members get headers of `level` (0, 1 or 2). Writing starts at the
  // output's current position, after any prefix (a self-extractor stub)
  // the caller wrote.
  ArchiveWriter(SeekableOutput& output, int level) : output_(output), level_(level) {}

  // Adds a file. On entry *header describes it: path, mtime, os_id, Unix
  // metadata, code page, the method to try (lh0, lh1, lh5, lh6, lh7), and
  // original_size = its size as the caller found it (which decides whether
  // 64-bit sizes are needed, and the point where compression gives up). On
  // success *header holds what was written: method (-lh0- when storing won),
  // sizes, CRC, level and offsets. kTooLarge when the size needs a level
  // the writer does not use, or the file grew past 4 GiB while being read.
  Status AddMember(MemberHeader* header, MemberInput& input);

  // Adds a -lhd- entry: a directory (is_directory) or a symbolic link
  // (is_symlink, link_target, Unix mode with the link type bits).
  Status AddEntry(const MemberHeader& header);

  // Copies a member of another archive, header and data, byte for byte;
  // `header` is what the walker returned for it in `from`.
  Status CopyMember(RandomAccessReader& from, const MemberHeader& header);

  // Writes the end byte and cuts the output after it.
  Status Finish();

 private:
  Status WriteHeader(const MemberHeader& header, bool wide_sizes);
  // `expected` is the size the caller found: the buffer grows no larger
  // than the member needs (most are small), the copy reads to the end.
  Status StoreFrom(MemberInput& input, uint64_t expected, uint64_t* size, uint16_t* crc);
  // Cuts the output back to `offset` after a failure and returns `failure`.
  Status Abandon(uint64_t offset, Status failure);

  SeekableOutput& output_;
  int level_;
  std::vector<uint8_t> header_bytes_;
  std::vector<uint8_t> buffer_;
};

}  // namespace lzh
