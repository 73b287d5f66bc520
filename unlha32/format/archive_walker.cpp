// A self-extracting program is searched first from where its image ends,
// when its headers tell: that finds the archive whatever the program's
// size, and before anything inside the program that looks like a header.
// Otherwise the search runs from the start. It tries every offset that
// looks like a method id ("-l??-" at offset 2) and keeps the first header
// that proves itself: a level-0/1 checksum or a header CRC that matches,
// or, for level-2/3 headers without a CRC, data that lies within the file.
// A plain archive needs no proof at offset 0: a truncated download must
// still be recognised, so that its damage can be reported. Nor is a file
// whose first header is damaged searched: a later header found that way
// would pass it off as a self-extracting archive and silently drop the
// first member. A program starts with an ELF or MZ signature, or (a DOS
// .COM program) with code; a file that starts with a method id at offset 2,
// or with a header that holds together apart from its checks and whose
// member ends where the archive provably goes on, is an archive whose
// first header is damaged. In a self-extracting file the same search runs
// again after each end byte, because one program can carry several
// archives.
//
// Directory and link entries (-lhd-) carry no data, yet some writers fill
// their size fields from the file system (a link's size is the length of
// its target) and write nothing after the header. Such an entry's data is
// taken to be empty only when the walk can go on right after its header
// more surely than where its stated data would end; an entry that does
// hold bytes keeps them.
#include "format/archive_walker.h"

#include <algorithm>
#include <cstring>

#include "format/header_parser.h"
#include "format/program_image.h"

namespace lzh {
namespace {

constexpr size_t kBufferBytes = 256 * 1024;

bool DataWithin(const MemberHeader& h, uint64_t size) {
  return h.data_offset <= size && h.packed_size <= size - h.data_offset;
}

}  // namespace

Status ArchiveWalker::Window(uint64_t offset, std::span<const uint8_t>* bytes) {
  uint64_t size = reader_.Size();
  size_t want = static_cast<size_t>(std::min<uint64_t>(kMaxHeaderBytes, size - offset));
  if (offset < buffer_offset_ || offset + want > buffer_offset_ + buffer_size_) {
    // No larger than the archive: a walker is made for every question a
    // front end asks of a small archive, and zeroing a whole block each time
    // cost more than everything else a wildcard route does.
    if (buffer_.empty()) buffer_.resize(static_cast<size_t>(std::min<uint64_t>(kBufferBytes, size)));
    size_t fill = static_cast<size_t>(std::min<uint64_t>(kBufferBytes, size - offset));
    buffer_offset_ = offset;
    buffer_size_ = 0;
    LZH_TRY(ReadExactlyAt(reader_, offset, buffer_.data(), fill));
    buffer_size_ = fill;
  }
  *bytes = std::span<const uint8_t>(buffer_.data() + (offset - buffer_offset_), want);
  return Status::Ok();
}

bool ArchiveWalker::IsArchiveAt(uint64_t offset, bool validated) {
  std::span<const uint8_t> bytes;
  if (!Window(offset, &bytes).ok() || bytes.empty() || bytes[0] == 0) return false;
  if (!ParseHeader(bytes, offset, &probe_).ok()) return false;
  if (!validated) return true;
  // Parsing has checked the level-0/1 checksum and any header CRC, and a
  // level-2/3 chain must have ended within the bytes; the sizes must fit.
  return DataWithin(probe_, reader_.Size());
}

bool ArchiveWalker::StartsWithDamagedHeader() {
  std::span<const uint8_t> bytes;
  if (!Window(0, &bytes).ok() || bytes.size() < 7) return false;
  if (bytes[2] == '-' && bytes[3] == 'l' && bytes[6] == '-') return true;
  if ((bytes[0] == 'M' && bytes[1] == 'Z') || std::memcmp(bytes.data(), "\x7F" "ELF", 4) == 0) return false;
  const uint64_t size = reader_.Size();
  if (!ParseHeader(bytes, 0, &probe_, HeaderChecks::kLayout).ok() || !DataWithin(probe_, size)) return false;
  const uint64_t member_end = probe_.data_offset + probe_.packed_size;
  if (member_end + 1 == size) return Window(member_end, &bytes).ok() && bytes[0] == 0;  // the end byte
  return EvidenceAt(member_end) == Evidence::kProven;
}

ArchiveWalker::Evidence ArchiveWalker::EvidenceAt(uint64_t offset) {
  uint64_t size = reader_.Size();
  if (offset >= size) return offset == size ? Evidence::kProven : Evidence::kNone;
  std::span<const uint8_t> bytes;
  if (!Window(offset, &bytes).ok()) return Evidence::kNone;
  if (bytes[0] == 0) return Evidence::kPlausible;  // an end byte, or any zero
  if (IsArchiveAt(offset, true)) return Evidence::kProven;
  return IsArchiveAt(offset, false) ? Evidence::kPlausible : Evidence::kNone;
}

Status ArchiveWalker::FindValidatedHeader(uint64_t from, uint64_t limit, uint64_t* found) {
  uint64_t size = reader_.Size();
  limit = std::min(limit, size);
  *found = size;
  for (uint64_t offset = from; offset < limit && offset + kMinHeaderBytes <= size; ++offset) {
    std::span<const uint8_t> bytes;
    LZH_TRY(Window(offset, &bytes));
    if (bytes[2] == '-' && bytes[3] == 'l' && bytes[6] == '-' && bytes[20] <= 3 &&
        IsArchiveAt(offset, true)) {
      *found = offset;
      break;
    }
  }
  return Status::Ok();
}

Status ArchiveWalker::Open() {
  uint64_t size = reader_.Size();
  archive_offset_ = 0;
  first_header_damaged_ = false;
  if (size == 1) {
    uint8_t byte = 1;
    LZH_TRY(ReadExactlyAt(reader_, 0, &byte, 1));
    LZH_REQUIRE(byte == 0, kCorrupt, "not an LZH archive");
  } else if (!IsArchiveAt(0, false)) {
    first_header_damaged_ = StartsWithDamagedHeader();
    if (first_header_damaged_) return Status::Ok();
    uint64_t image_end = 0;
    archive_offset_ = size;
    if (ProgramImageEnd(reader_, &image_end).ok())
      LZH_TRY(FindValidatedHeader(image_end, image_end + kImagePaddingBytes, &archive_offset_));
    if (archive_offset_ == size) LZH_TRY(FindValidatedHeader(1, kSelfExtractorSearchBytes, &archive_offset_));
    LZH_REQUIRE(archive_offset_ < size, kCorrupt, "not an LZH archive");
  }
  next_offset_ = archive_offset_;
  return Status::Ok();
}

Status ArchiveWalker::Next(MemberHeader* header, bool* end) {
  uint64_t size = reader_.Size();
  *end = false;
  header->data_offset = 0;  // what a member cut short has, and nothing else (see the header)
  if (first_header_damaged_) {
    first_header_damaged_ = false;
    next_offset_ = size;
    return Status::Corrupt("the first header is damaged");
  }
  if (next_offset_ >= size) {
    *end = true;
    end_offset_ = size;
    has_end_byte_ = false;
    return Status::Ok();
  }
  std::span<const uint8_t> bytes;
  Status status = Window(next_offset_, &bytes);
  if (status.ok() && bytes[0] == 0 && self_extracting()) {
    // A self-extractor may carry a second archive after the first (an
    // Amiga one keeps its own help archive first): go on with it.
    uint64_t following = size;
    status = FindValidatedHeader(next_offset_ + 1, next_offset_ + 1 + kSelfExtractorSearchBytes,
                                 &following);
    if (status.ok() && following < size) next_offset_ = following;
    if (status.ok()) status = Window(next_offset_, &bytes);  // the search moved the window
  }
  if (status.ok() && bytes[0] == 0) {
    *end = true;
    end_offset_ = next_offset_;
    has_end_byte_ = true;
    next_offset_ = size;  // whatever follows the end byte is not ours
    return Status::Ok();
  }
  if (status.ok()) status = ParseHeader(bytes, next_offset_, header);
  if (status.ok() && header->method == Method::kLhd && header->packed_size != 0) {
    Evidence stated = DataWithin(*header, size) ? EvidenceAt(header->data_offset + header->packed_size)
                                                : Evidence::kNone;
    if (EvidenceAt(header->data_offset) > stated) header->packed_size = 0;
  }
  if (status.ok() && !DataWithin(*header, size))
    status = Status::Truncated("member data runs past the end of the archive");
  next_offset_ = status.ok() ? header->data_offset + header->packed_size : size;
  return status;
}

}  // namespace lzh
