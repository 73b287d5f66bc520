// The placeholder header and the final one must have the same length: the
// writer decides up front, from the size the caller found, whether 64-bit
// sizes are needed, and the header writer guarantees that the length then
// depends on nothing that changes (sizes, CRC, method id are fixed-width).
#include "format/archive_writer.h"

#include <algorithm>

#include "codec/crc16.h"
#include "codec/encoder.h"
#include "format/header_writer.h"

namespace lzh {
namespace {

constexpr size_t kCopyBlock = 64 * 1024;

// Counts what the encoder writes, so the packed size need not be trusted
// from anywhere else.
class CountingSink final : public ByteSink {
 public:
  explicit CountingSink(ByteSink& out) : out_(out) {}
  Status Write(const uint8_t* data, size_t size) override {
    count_ += size;
    return out_.Write(data, size);
  }
  uint64_t count() const { return count_; }

 private:
  ByteSink& out_;
  uint64_t count_ = 0;
};

}  // namespace

Status ArchiveWriter::WriteHeader(const MemberHeader& header, bool wide_sizes) {
  LZH_TRY(BuildHeader(header, level_, wide_sizes, &header_bytes_));
  return output_.Write(header_bytes_.data(), header_bytes_.size());
}

Status ArchiveWriter::Abandon(uint64_t offset, Status failure) {
  if (output_.Seek(offset).ok()) (void)output_.Truncate();
  return failure;
}

Status ArchiveWriter::StoreFrom(MemberInput& input, uint64_t expected, uint64_t* size, uint16_t* crc) {
  LZH_TRY(input.Rewind());
  const size_t want = static_cast<size_t>(std::min<uint64_t>(expected, kCopyBlock - 1) + 1);
  if (buffer_.size() < want) buffer_.resize(want);
  *size = 0;
  *crc = 0;
  for (;;) {
    size_t got = 0;
    LZH_TRY(input.Read(buffer_.data(), buffer_.size(), &got));
    if (got == 0) return Status::Ok();
    *crc = Crc16(*crc, buffer_.data(), got);
    *size += got;
    LZH_TRY(output_.Write(buffer_.data(), got));
  }
}

Status ArchiveWriter::AddMember(MemberHeader* header, MemberInput& input) {
  LZH_REQUIRE(CanEncode(header->method), kUnsupported, "method not written");
  uint64_t start = output_.Position();
  bool wide_sizes = NeedsWideSizes(header->original_size, header->original_size);
  MemberHeader final_header = *header;
  final_header.is_directory = final_header.is_symlink = false;
  final_header.packed_size = 0;
  final_header.crc = 0;
  Status status = WriteHeader(final_header, wide_sizes);
  if (!status.ok()) return Abandon(start, status);
  size_t header_length = header_bytes_.size();
  uint64_t data_start = output_.Position();

  bool stored = true;
  uint64_t encoded_end = data_start;
  if (header->method != Method::kLh0) {
    CountingSink sink(output_);
    EncodeResult result;
    status = EncodeMember(header->method, input, sink, header->original_size, &result);
    if (!status.ok()) return Abandon(start, status);
    encoded_end = data_start + sink.count();
    if (!result.store_instead && result.packed_size < result.original_size) {
      stored = false;
      final_header.packed_size = sink.count();
      final_header.original_size = result.original_size;
      final_header.crc = result.crc;
    }
  }
  if (stored) {
    final_header.method = Method::kLh0;
    status = output_.Seek(data_start);
    if (status.ok())
      status = StoreFrom(input, header->original_size, &final_header.original_size, &final_header.crc);
    if (!status.ok()) return Abandon(start, status);
    final_header.packed_size = final_header.original_size;
  }
  if (NeedsWideSizes(final_header.packed_size, final_header.original_size) && !wide_sizes)
    return Abandon(start, Status::TooLarge("file grew past 4 GiB while being read"));

  // Patch the header. Compressed bytes can lie past the stored ones only
  // when the file shrank between the two readings; cut them.
  uint64_t end = output_.Position();
  if (end < encoded_end) status = output_.Truncate();
  if (status.ok()) status = output_.Seek(start);
  if (status.ok()) status = WriteHeader(final_header, wide_sizes);
  if (status.ok() && header_bytes_.size() != header_length)
    status = Status::Corrupt("header length changed while patching");
  if (status.ok()) status = output_.Seek(end);
  if (!status.ok()) return Abandon(start, status);

  final_header.level = static_cast<uint8_t>(level_);
  final_header.header_offset = start;
  final_header.header_length = header_length;
  final_header.data_offset = data_start;
  *header = final_header;
  return Status::Ok();
}

Status ArchiveWriter::AddEntry(const MemberHeader& header) {
  uint64_t start = output_.Position();
  MemberHeader entry = header;
  entry.method = Method::kLhd;
  entry.packed_size = entry.original_size = 0;
  entry.crc = 0;
  Status status = WriteHeader(entry, false);
  return status.ok() ? status : Abandon(start, status);
}

Status ArchiveWriter::CopyMember(RandomAccessReader& from, const MemberHeader& header) {
  uint64_t start = output_.Position();
  uint64_t offset = header.header_offset;
  uint64_t remaining = header.data_offset - header.header_offset + header.packed_size;
  if (buffer_.size() < kCopyBlock) buffer_.resize(kCopyBlock);
  while (remaining > 0) {
    size_t block = static_cast<size_t>(std::min<uint64_t>(remaining, buffer_.size()));
    Status status = ReadExactlyAt(from, offset, buffer_.data(), block);
    if (status.ok()) status = output_.Write(buffer_.data(), block);
    if (!status.ok()) return Abandon(start, status);
    offset += block;
    remaining -= block;
  }
  return Status::Ok();
}

Status ArchiveWriter::Finish() {
  const uint8_t end_byte = 0;
  LZH_TRY(output_.Write(&end_byte, 1));
  return output_.Truncate();
}

}  // namespace lzh
