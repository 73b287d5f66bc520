// lzh_scale_bench: the library-side halves of suite.sh's scale figures,
// and the library's own table of what its commands cost. The shell times
// whole programs; what only a program linked to the library can time is
// the library's own work, which the front end's figures are judged against.
//
//   lzh_scale_bench make ARCHIVE MEMBERS     writes an archive of MEMBERS
//                                            small lh5 members (level 2)
//   lzh_scale_bench empty ARCHIVE MEMBERS    the same with empty members,
//                                            which are stored (-lh0-)
//   lzh_scale_bench count ARCHIVE            UnlhaGetFileCount, wall seconds
//   lzh_scale_bench test ARCHIVE...          Unlha("t -n ARCHIVE") for each,
//                                            wall seconds in all
//   lzh_scale_bench commands DIR             the reading and writing commands
//                                            on one large file and many small
//                                            ones made in DIR; a table of
//                                            wall seconds
//
// Figures go to stdout as "<value> <seconds>" for the script to read.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "format/archive_writer.h"
#include "os/file_stream.h"
#include "include/unlha32.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The archive is built in memory and written at once: a million members
// take some tens of MB.
int Make(const char* path, int members, bool empty) {
  lzh::MemoryOutput output;
  lzh::ArchiveWriter writer(output, 2);
  const uint8_t data[] = "a small member, as a source tree has thousands of\n";
  for (int i = 0; i < members; ++i) {
    lzh::MemberHeader header;
    header.method = lzh::Method::kLh5;
    header.original_size = empty ? 0 : sizeof data;
    header.path = {"dir" + std::to_string(i % 100), "file" + std::to_string(i) + ".txt"};
    header.os_id = 'U';
    header.mtime = 1700000000;
    header.mtime_valid = true;
    lzh::MemoryInput input(empty ? std::span<const uint8_t>() : std::span<const uint8_t>(data));
    if (!writer.AddMember(&header, input).ok()) return 1;
  }
  if (!writer.Finish().ok()) return 1;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(output.bytes().data()), static_cast<std::streamsize>(output.bytes().size()));
  return file.flush() ? 0 : 1;
}

// Text with a fifth of random bytes: it compresses, but not to nothing.
void WriteText(const std::filesystem::path& path, size_t size, uint32_t seed) {
  std::vector<char> data(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    data[i] = i % 5 == 0 ? static_cast<char>(seed >> 24) : "the quick brown fox "[i % 20];
  }
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

// What the commands cost the library itself: adding and extracting one
// large file and many small ones, and the changes that rewrite a large
// archive while compressing nothing (the copy of every other member plus
// the sync).
int Commands(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  const int kMany = 5000;
  fs::remove_all(dir);
  fs::create_directories(dir / "big");
  fs::create_directories(dir / "many");
  WriteText(dir / "big/big.bin", 64u << 20, 1);
  WriteText(dir / "big/small.txt", 100, 2);
  for (int i = 0; i < kMany; ++i) WriteText(dir / "many" / ("f" + std::to_string(i)), 200, i);
  const std::string big = (dir / "big.lzh").string(), many = (dir / "many.lzh").string();
  const std::string out = (dir / "out").string() + "/";
  std::vector<char> report((kMany + 5) * 160);
  int worst = 0;
  auto time = [&](const char* what, const std::string& line) {
    auto start = std::chrono::steady_clock::now();
    int result = Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size()));
    std::printf("%-34s %8.3f s%s\n", what, SecondsSince(start), result == 0 ? "" : "  (failed)");
    if (result > worst) worst = result;
  };
  time("a 64 MiB file (lh5)", "a -n " + big + " " + (dir / "big").string() + "/ big.bin");
  time("a 5000 small files", "a -n " + many + " " + (dir / "many").string() + "/");
  time("t 64 MiB member", "t -n " + big);
  time("x 64 MiB member", "x -n -f " + big + " " + out);
  time("x 5000 small members", "x -n " + many + " " + out);
  time("l 5000 members", "l " + many);
  time("a 1 small file to 64 MiB", "a -n " + big + " " + (dir / "big").string() + "/ small.txt");
  time("d 1 member from 64 MiB", "d " + big + " small.txt");
  time("d 1111 of 5000 members", "d " + many + " f1*");
  fs::remove_all(dir);
  return worst != 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 2 ? argv[1] : "";
  if ((mode == "make" || mode == "empty") && argc == 4)
    return Make(argv[2], std::atoi(argv[3]), mode == "empty");
  if (mode == "commands" && argc == 3) return Commands(argv[2]);
  auto start = std::chrono::steady_clock::now();
  if (mode == "count" && argc == 3) {
    int count = UnlhaGetFileCount(argv[2]);
    std::printf("%d %.4f\n", count, SecondsSince(start));
    return count < 0;
  }
  if (mode == "test") {
    std::vector<char> report(64 * 1024);
    int worst = 0;
    for (int i = 2; i < argc; ++i) {
      std::string line = std::string("t -n \"") + argv[i] + "\"";
      int result = Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size()));
      if (result > worst) worst = result;
    }
    std::printf("%d %.4f\n", worst, SecondsSince(start));
    return worst != 0;
  }
  std::fprintf(stderr, "usage: lzh_scale_bench make|empty ARCHIVE MEMBERS | count ARCHIVE | test ARCHIVE... | commands DIR\n");
  return 2;
}
