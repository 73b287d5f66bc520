// Status messages are static strings, so the rare methods that real archives
// carry get their own message naming them; any other id gets a generic one
// and the caller can show header.MethodText().
#include "format/member_data.h"

#include <cstring>

#include "codec/decoder.h"

namespace lzh {
namespace {

struct RareMethod {
  char id[6];
  const char* message;
};

constexpr RareMethod kRareMethods[] = {
    {"-lh2-", "unsupported method -lh2-"}, {"-lh3-", "unsupported method -lh3-"},
    {"-lh8-", "unsupported method -lh8-"}, {"-lh9-", "unsupported method -lh9-"},
    {"-lha-", "unsupported method -lha-"}, {"-lhb-", "unsupported method -lhb-"},
    {"-lhc-", "unsupported method -lhc-"}, {"-lhe-", "unsupported method -lhe-"},
    {"-lhx-", "unsupported method -lhx-"}, {"-lz7-", "unsupported method -lz7-"},
    {"-lz8-", "unsupported method -lz8-"}, {"-pm0-", "unsupported method -pm0-"},
    {"-pm1-", "unsupported method -pm1-"}, {"-pm2-", "unsupported method -pm2-"},
};

Status Unsupported(const MemberHeader& header) {
  for (const RareMethod& rare : kRareMethods)
    if (std::memcmp(rare.id, header.method_id.data(), 5) == 0) return Status::Unsupported(rare.message);
  return Status::Unsupported("unsupported method");
}

}  // namespace

Status ExtractMemberData(RandomAccessReader& reader, const MemberHeader& header, ByteSink& out) {
  if (header.method == Method::kLhd) return Status::Ok();
  if (!CanDecode(header.method)) return Unsupported(header);
  RangeSource source(reader, header.data_offset, header.packed_size);
  uint16_t crc = 0;
  LZH_TRY(DecodeMember(header.method, source, header.packed_size, header.original_size, out, &crc));
  LZH_REQUIRE(crc == header.crc, kCorrupt, "CRC mismatch");
  return Status::Ok();
}

}  // namespace lzh
