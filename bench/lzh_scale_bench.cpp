// lzh_scale_bench: the library-side halves of suite.sh's scale figures.
// The shell times whole programs; what only a program linked to the
// library can time is the library's own work, which the front end's
// figures are judged against.
//
//   lzh_scale_bench make ARCHIVE MEMBERS     writes an archive of MEMBERS
//                                            small lh5 members (level 2)
//   lzh_scale_bench empty ARCHIVE MEMBERS    the same with empty members,
//                                            which are stored (-lh0-)
//   lzh_scale_bench count ARCHIVE            UnlhaGetFileCount, wall seconds
//   lzh_scale_bench test ARCHIVE...          Unlha("t -n ARCHIVE") for each,
//                                            wall seconds in all
//
// Figures go to stdout as "<value> <seconds>" for the script to read.
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

int Make(const char* path, int members, bool empty) {
  lzh::os::File file;
  if (!lzh::os::File::Create(path, &file).ok()) return 1;
  lzh::os::FileOutput output(file);
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
  return writer.Finish().ok() && file.Close().ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 2 ? argv[1] : "";
  if ((mode == "make" || mode == "empty") && argc == 4)
    return Make(argv[2], std::atoi(argv[3]), mode == "empty");
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
  std::fprintf(stderr, "usage: lzh_scale_bench make|empty ARCHIVE MEMBERS | count ARCHIVE | test ARCHIVE...\n");
  return 2;
}
