// lzh_codec_bench: compresses one file with one method through the codec's
// API, decompresses it again, and prints sizes, speeds and peak memory on
// one line for run.sh. Input and output stream through files (as the
// archiver does), so the peak memory is the codec's own plus stdio.
// Decoding is repeated for a second and its fastest run counts: one run
// lasts only a few clock ticks.
//
// It also wraps the packed data in a minimal level-0 archive so that other
// programs can be timed decoding the very same member.
//
//   lzh_codec_bench METHOD INPUT OUTPUT.lzh
//   -> method original packed encode_s decode_s peak_kib   (processor seconds)
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "codec/encoder.h"
#include "os/file_stream.h"

namespace {

using lzh::Status;

// Processor time (user + system) of this process: unlike wall time, it
// stays meaningful when other work shares the machine.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A level-0 header for one member named "corpus".
std::vector<uint8_t> Level0Header(const char* method, uint32_t packed, uint32_t original,
                                  uint16_t crc) {
  std::vector<uint8_t> body(method, method + 5);
  PutLittleEndian(body, packed, 4);
  PutLittleEndian(body, original, 4);
  PutLittleEndian(body, 0x5A210000, 4);  // 2025-01-01 00:00
  body.push_back(0x20);                  // attribute
  body.push_back(0);                     // level
  const char name[] = "corpus";
  body.push_back(sizeof name - 1);
  body.insert(body.end(), name, name + sizeof name - 1);
  PutLittleEndian(body, crc, 2);
  uint8_t sum = 0;
  for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
  std::vector<uint8_t> header = {static_cast<uint8_t>(body.size()), sum};
  header.insert(header.end(), body.begin(), body.end());
  return header;
}

int Fail(const char* what, const Status& status) {
  std::fprintf(stderr, "lzh_codec_bench: %s: %s\n", what, status.message());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lzh_codec_bench METHOD INPUT OUTPUT.lzh\n");
    return 2;
  }
  std::string id = std::string("-") + argv[1] + "-";
  lzh::Method method;
  if (!lzh::ParseMethodId(reinterpret_cast<const uint8_t*>(id.c_str()), &method) ||
      !lzh::CanEncode(method)) {
    std::fprintf(stderr, "lzh_codec_bench: cannot write method %s\n", argv[1]);
    return 2;
  }
  std::string packed_path = std::string(argv[3]) + ".packed";
  constexpr double kLeastDecodingSeconds = 1.0;

  lzh::os::File input, packed_out;
  if (!lzh::os::File::OpenRead(argv[2], &input).ok() || !lzh::os::File::Create(packed_path, &packed_out).ok())
    return Fail("open", Status::Io("cannot open files"));
  lzh::os::FileInput source(input);
  lzh::os::FileOutput packed_sink(packed_out);
  lzh::EncodeResult result;
  double start = CpuSeconds();
  Status status = lzh::EncodeMember(method, source, packed_sink, UINT64_MAX, &result);
  double encode_seconds = CpuSeconds() - start;
  if (status.ok()) status = packed_out.Close();
  if (!status.ok()) return Fail("encode", status);

  // One decode of a small file takes a few clock ticks, so it is repeated
  // for a while and the fastest run counts.
  double decode_seconds = 0;
  double decoding_since = CpuSeconds();
  for (int run = 0; run == 0 || CpuSeconds() - decoding_since < kLeastDecodingSeconds; ++run) {
    lzh::os::File packed_in;
    if (!lzh::os::File::OpenRead(packed_path, &packed_in).ok()) return Fail("open", Status::Io("cannot open files"));
    lzh::os::FileInput packed_source(packed_in);
    lzh::os::DiscardSink discard;
    uint16_t crc = 0;
    start = CpuSeconds();
    status = lzh::DecodeMember(method, packed_source, result.packed_size, result.original_size,
                               discard, &crc);
    double seconds = CpuSeconds() - start;
    if (!status.ok()) return Fail("decode", status);
    if (crc != result.crc) return Fail("decode", Status::Corrupt("CRC mismatch"));
    if (run == 0 || seconds < decode_seconds) decode_seconds = seconds;
  }

  // The archive: header, the packed data, the end byte.
  FILE* archive = std::fopen(argv[3], "wb");
  FILE* packed_in = std::fopen(packed_path.c_str(), "rb");
  std::vector<uint8_t> header = Level0Header(id.c_str(), static_cast<uint32_t>(result.packed_size),
                                             static_cast<uint32_t>(result.original_size), result.crc);
  std::fwrite(header.data(), 1, header.size(), archive);
  std::vector<uint8_t> block(1 << 20);
  size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), packed_in)) > 0)
    std::fwrite(block.data(), 1, got, archive);
  std::fputc(0, archive);
  std::fclose(archive);
  std::fclose(packed_in);
  std::remove(packed_path.c_str());

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s %llu %llu %.3f %.3f %ld\n", argv[1],
              static_cast<unsigned long long>(result.original_size),
              static_cast<unsigned long long>(result.packed_size), encode_seconds, decode_seconds,
              usage.ru_maxrss);
  return 0;
}
