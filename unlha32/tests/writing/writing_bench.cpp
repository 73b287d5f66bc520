// Benchmark of the writing commands through Unlha(), run on demand (not a
// test): adding one large file and many small ones, then the changes that
// rewrite a large archive while compressing nothing (d, a of one small
// file), which cost the copy of every other member plus the sync. Prints
// figures; the files are made in a scratch directory first.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "include/unlha32.h"

namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, size_t size, uint32_t seed) {
  std::vector<char> data(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    data[i] = i % 5 == 0 ? static_cast<char>(seed >> 24) : "the quick brown fox "[i % 20];
  }
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  fs::path dir = fs::temp_directory_path() / "unlha32_writing_bench";
  fs::remove_all(dir);
  fs::create_directories(dir / "big");
  fs::create_directories(dir / "many");
  const int kMany = 5000;
  const size_t kBig = 64u << 20;
  WriteText(dir / "big/big.bin", kBig, 1);
  for (int i = 0; i < kMany; ++i) WriteText(dir / "many" / ("f" + std::to_string(i)), 200, i);
  WriteText(dir / "big/small.txt", 100, 2);
  std::vector<char> report((kMany + 5) * 160);
  auto run = [&](const std::string& line) {
    if (Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size())) != UNLHA_OK)
      std::printf("  (failed: %s)\n", line.c_str());
  };
  const std::string big = (dir / "big.lzh").string(), many = (dir / "many.lzh").string();
  double s = Seconds([&] { run("a -n " + big + " " + (dir / "big").string() + "/ big.bin"); });
  std::printf("a 64 MiB file (lh5):        %8.3f s  %6.1f MiB/s\n", s, 64 / s);
  s = Seconds([&] { run("a -n " + many + " " + (dir / "many").string() + "/"); });
  std::printf("a %d small files:         %8.3f s  %6.0f files/s\n", kMany, s, kMany / s);
  s = Seconds([&] { run("a -n " + big + " " + (dir / "big").string() + "/ small.txt"); });
  std::printf("a 1 small file to 64 MiB:   %8.3f s\n", s);
  s = Seconds([&] { run("d " + big + " small.txt"); });
  std::printf("d 1 member from 64 MiB:     %8.3f s\n", s);
  s = Seconds([&] { run("d " + many + " f1*"); });
  std::printf("d 1111 of %d members:     %8.3f s\n", kMany, s);
  fs::remove_all(dir);
}
