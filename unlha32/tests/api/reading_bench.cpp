// Benchmark of the reading commands through the exported functions, run
// on demand (not a test): counting and listing many members, testing and
// extracting one large lh5 member, extracting many small ones. Prints
// figures; the archives are written to a scratch directory first.
#include <chrono>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "format/archive_writer.h"
#include "os/file_stream.h"
#include "include/unlha32.h"

namespace {

namespace fs = std::filesystem;

void WriteArchive(const fs::path& path, int members, size_t size) {
  lzh::os::File file;
  if (!lzh::os::File::Create(path.string(), &file).ok()) std::exit(1);
  lzh::os::FileOutput output(file);
  lzh::ArchiveWriter writer(output, 2);
  std::vector<uint8_t> data(size);
  uint32_t seed = 1;
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    data[i] = i % 5 == 0 ? static_cast<uint8_t>(seed >> 24) : static_cast<uint8_t>("the quick brown fox "[i % 20]);
  }
  for (int m = 0; m < members; ++m) {
    lzh::MemberHeader header;
    header.path = {"d" + std::to_string(m % 10), "f" + std::to_string(m)};
    header.method = lzh::Method::kLh5;
    header.mtime = 1300000000;
    header.mtime_valid = true;
    header.os_id = 'U';
    header.original_size = size;
    lzh::MemoryInput input(data);
    if (!writer.AddMember(&header, input).ok()) std::exit(1);
  }
  if (!writer.Finish().ok() || !file.Close().ok()) std::exit(1);
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  fs::path dir = fs::temp_directory_path() / "unlha32_reading_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const int kMany = 20000;
  const size_t kBig = 64u << 20;
  fs::path many = dir / "many.lzh", big = dir / "big.lzh";
  WriteArchive(many, kMany, 100);
  WriteArchive(big, 1, kBig);
  std::vector<char> report((kMany + 5) * 80);
  auto run = [&](const std::string& line) {
    if (Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size())) != UNLHA_OK)
      std::printf("  (failed: %s)\n", line.c_str());
  };
  double s = Seconds([&] { UnlhaGetFileCount(many.c_str()); });
  std::printf("count %d members:          %8.3f s\n", kMany, s);
  s = Seconds([&] { run("l " + many.string()); });
  std::printf("l %d members:              %8.3f s\n", kMany, s);
  s = Seconds([&] { run("t " + big.string()); });
  std::printf("t 64 MiB lh5 member:       %8.3f s  %6.0f MiB/s\n", s, 64 / s);
  s = Seconds([&] { run("x -f " + big.string() + " " + (dir / "out").string() + "/"); });
  std::printf("x 64 MiB lh5 member:       %8.3f s  %6.0f MiB/s\n", s, 64 / s);
  s = Seconds([&] { run("x " + many.string() + " " + (dir / "out").string() + "/"); });
  std::printf("x %d small members:        %8.3f s  %6.0f members/s\n", kMany, s, kMany / s);
  fs::remove_all(dir);
}
