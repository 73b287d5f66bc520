// Fuzz target: the exported Unlha() on an archive from a stranger, as a
// front end drives it: the input is written to an archive file in a
// private directory and listed, tested and extracted into a directory
// beside it.
//
// The private tree is scratch/a/b/{input.lzh,out}. After every command the
// tree must hold nothing but those two and whatever is inside out/, so a
// member that climbs one or two levels out of the target is caught; the
// archive itself must be unchanged (a member may not overwrite it); and the
// report must be NUL-terminated inside its buffer, the guard bytes after
// the buffer untouched.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "include/unlha32.h"

namespace fs = std::filesystem;

namespace {

fs::path scratch, inner, archive, target;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Names(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void RunCommand(const std::string& line, uint32_t report_size) {
  constexpr size_t kGuard = 32;
  std::vector<char> report(report_size + kGuard, '\x5a');
  int result = Unlha(nullptr, line.c_str(), report.data(), report_size);
  FUZZ_CHECK(result >= UNLHA_OK && result <= UNLHA_INTERNAL, "result outside the documented codes");
  FUZZ_CHECK(result != UNLHA_INTERNAL, "internal failure on an archive");
  for (size_t i = report_size; i < report.size(); ++i) FUZZ_CHECK(report[i] == '\x5a', "report overran its buffer");
  FUZZ_CHECK(memchr(report.data(), '\0', report_size) != nullptr, "report without NUL");

  FUZZ_CHECK(Names(scratch) == std::vector<std::string>{"a"}, "something appeared two levels above the target");
  FUZZ_CHECK(Names(scratch / "a") == std::vector<std::string>{"b"}, "something appeared one level above the target");
  FUZZ_CHECK((Names(inner) == std::vector<std::string>{"input.lzh", "out"}), "something appeared beside the target");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char directory[] = "/tmp/unlha32-fuzz-XXXXXX";
  if (!mkdtemp(directory)) std::abort();
  scratch = directory;
  inner = scratch / "a" / "b";
  archive = inner / "input.lzh";
  target = inner / "out";
  fs::create_directories(target);
  // Names are reported in the locale's form; make it the same for every run.
  setenv("LC_ALL", "C.UTF-8", 1);
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  RunCommand("l " + archive.string(), 1 << 16);
  RunCommand("v " + archive.string(), 300);
  RunCommand("t " + archive.string(), 1 << 12);
  RunCommand("x -m -c " + archive.string() + " " + target.string() + "/", 1 << 12);
  FUZZ_CHECK(ReadAll(archive) == std::vector<uint8_t>(data, data + size), "the archive was changed");

  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(target)) fs::remove_all(entry.path(), ignored);
  return 0;
}
