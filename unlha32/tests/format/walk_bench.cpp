// Benchmark, run on demand (not a test): how fast the format layer walks
// an archive of many members, headers only, as listing and counting do.
// Builds a 100,000-member archive in the temporary directory, then prints
// the time to write it and to count its members through the file reader.
//
//   cmake --build build --target lzh_format_bench && build/.../lzh_format_bench
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "os/file_stream.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  using namespace lzh;
  constexpr int kMembers = 100000;
  std::filesystem::path path = std::filesystem::temp_directory_path() / "lzh_format_bench.lzh";

  auto start = std::chrono::steady_clock::now();
  {
    os::File file;
    if (!os::File::Create(path.string(), &file).ok()) return 1;
    os::FileOutput output(file);
    ArchiveWriter writer(output, 2);
    const uint8_t data[] = "small member contents\n";
    for (int i = 0; i < kMembers; ++i) {
      MemberHeader h;
      h.method = Method::kLh5;
      h.original_size = sizeof data;
      h.path = {"dir" + std::to_string(i % 100), "file" + std::to_string(i) + ".txt"};
      h.os_id = 'U';
      h.has_unix_mode = true;
      h.unix_mode = 0100644;
      MemoryInput input(data);
      if (!writer.AddMember(&h, input).ok() ) return 1;
    }
    if (!writer.Finish().ok() || !file.Close().ok()) return 1;
  }
  double write_seconds = Seconds(start);

  start = std::chrono::steady_clock::now();
  std::unique_ptr<FileReader> reader;
  if (!FileReader::Open(path.string(), &reader).ok()) return 1;
  ArchiveWalker walker(*reader);
  if (!walker.Open().ok()) return 1;
  MemberHeader h;
  int count = 0;
  for (bool end = false;;) {
    if (!walker.Next(&h, &end).ok()) return 1;
    if (end) break;
    ++count;
  }
  double walk_seconds = Seconds(start);

  std::printf("archive: %d members, %.1f MiB\n", count,
              static_cast<double>(reader->Size()) / (1 << 20));
  std::printf("write (lh5, level 2): %.3f s, %.0f members/s\n", write_seconds, kMembers / write_seconds);
  std::printf("count (headers only): %.3f s, %.0f members/s\n", walk_seconds, count / walk_seconds);
  reader.reset();
  std::filesystem::remove(path);
  return count == kMembers ? 0 : 1;
}
