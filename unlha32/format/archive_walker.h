// ArchiveWalker: the members of an archive, header by header, without
// touching their data (listing, counting, finding a member to extract).
//
// Headers are parsed from a large window buffer refilled only when the next
// header might not fit in it, so walking an archive of many small members
// costs one read per few hundred KiB and no allocation per member (reuse
// one MemberHeader for the whole walk).
//
// Usage:
//   ArchiveWalker walker(reader);
//   LZH_TRY(walker.Open());
//   MemberHeader header;
//   for (bool end = false;;) {
//     LZH_TRY(walker.Next(&header, &end));
//     if (end) break;
//     ...
//   }
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/status.h"
#include "format/member_header.h"
#include "format/reader.h"

namespace lzh {

// A self-extracting ELF, PE or DOS MZ program keeps its archive where its
// image ends (ProgramImageEnd), or this many bytes later at most: some
// writers pad or align what they append.
inline constexpr uint64_t kImagePaddingBytes = 64 * 1024;
// Any other program (a DOS .COM file, another system's executable, or one
// whose headers do not hold together) is searched for its archive within
// this many bytes: old extractors stay within 64 KiB, and large modern
// ones are ELF or PE programs found by their image size.
inline constexpr uint64_t kSelfExtractorSearchBytes = 64 * 1024;

class ArchiveWalker {
 public:
  explicit ArchiveWalker(RandomAccessReader& reader) : reader_(reader) {}

  // Finds the archive: a header at offset 0, a lone end byte (an empty
  // archive), a damaged header at offset 0 (see StartsWithDamagedHeader;
  // the first Next then fails with kCorrupt "the first header is
  // damaged"), or else (a self-extracting program) the first validated
  // header within kImagePaddingBytes of the program's image end, or failing
  // that within kSelfExtractorSearchBytes of the start. Fails with kCorrupt
  // "not an LZH archive".
  Status Open();

  // True when the archive was found after a prefix (self-extracting file);
  // archive_offset() is where its first header starts.
  bool self_extracting() const { return archive_offset_ > 0; }
  uint64_t archive_offset() const { return archive_offset_; }

  // Reads the next header. At the end of the archive (an end byte, or the
  // end of the input when the end byte is missing) sets *end; bytes after
  // an end byte are ignored, except that in a self-extracting file a
  // further archive within 64 KiB of the end byte (validated as in Open)
  // is walked as well. When a member's data runs past the end of the
  // input, returns kTruncated "member data runs past the end of the
  // archive" with *header filled in. A directory or link entry whose size
  // fields promise data that is not there has its packed_size set to 0.
  // At the end and after any other error, *header has no data offset (0),
  // whatever it held before, so that a header reused from member to member
  // never passes for a member cut short. After any error the walk is over:
  // the next call reports the end.
  Status Next(MemberHeader* header, bool* end);

  // Once Next has reported the end: where the archive stops (the end byte's
  // offset, or the input size) and whether it had its end byte.
  uint64_t end_offset() const { return end_offset_; }
  bool has_end_byte() const { return has_end_byte_; }

 private:
  // The input from `offset` on, min(kMaxHeaderBytes, what is left) bytes.
  Status Window(uint64_t offset, std::span<const uint8_t>* bytes);
  bool IsArchiveAt(uint64_t offset, bool validated);
  // True for a file whose start is a member header that fails its checks
  // rather than a program carrying an archive.
  bool StartsWithDamagedHeader();
  // How surely the archive goes on at `offset`: proven by a validated
  // header or the very end of the input, plausible for a zero byte (an end
  // byte) or a header that merely parses.
  enum class Evidence : uint8_t { kNone, kPlausible, kProven };
  Evidence EvidenceAt(uint64_t offset);
  // The first validated header in [from, limit), or the input size.
  Status FindValidatedHeader(uint64_t from, uint64_t limit, uint64_t* found);

  RandomAccessReader& reader_;
  std::vector<uint8_t> buffer_;
  uint64_t buffer_offset_ = 0;
  size_t buffer_size_ = 0;
  uint64_t archive_offset_ = 0;
  uint64_t next_offset_ = 0;
  uint64_t end_offset_ = 0;
  bool has_end_byte_ = false;
  bool first_header_damaged_ = false;
  MemberHeader probe_;  // scratch header for the archive search
};

}  // namespace lzh
