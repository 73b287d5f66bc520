// Fuzz target: the exported Unlha() on an archive from a stranger, as a
// front end drives it: the input is written to an archive file in a
// private directory and listed, tested and extracted into a directory
// beside it; then walked through the handle functions, as a program that
// embeds the library reads it.
//
// The private tree is scratch/a/b/{input.lzh,out}. After every command the
// tree must hold nothing but those two and whatever is inside out/, so a
// member that climbs one or two levels out of the target is caught; the
// archive itself must be unchanged (a member may not overwrite it); and the
// report must be NUL-terminated inside its buffer, the guard bytes after
// the buffer untouched. The handle walk must end (at the end, or with damage
// that every later step repeats) after no more members than the member
// count, give NUL-terminated texts, and its totals must be the sums of what
// it found.
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

uint64_t SaturatingSum(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

void WalkThroughHandles() {
  int opened = UNLHA_INTERNAL;
  UnlhaArchive* handle = UnlhaOpenArchiveEx(nullptr, archive.c_str(), 0, &opened);
  FUZZ_CHECK((handle != nullptr) == (opened == UNLHA_OK), "a handle and a failure at once");
  if (handle == nullptr) {
    FUZZ_CHECK(opened == UNLHA_NOT_ARCHIVE, "an archive refused for a reason other than not being one");
    return;
  }
  const int count = UnlhaGetFileCount(archive.c_str());
  UnlhaMemberInfo info;
  uint64_t original = 0;
  int found = 0;
  int step = UnlhaFindFirst(handle, nullptr, &info);
  for (; step == UNLHA_OK; step = UnlhaFindNext(handle, &info)) {
    FUZZ_CHECK(++found <= count, "the walk found more members than the count");
    FUZZ_CHECK(memchr(info.name, '\0', sizeof info.name) && memchr(info.method, '\0', sizeof info.method) &&
                   memchr(info.attributes, '\0', sizeof info.attributes),
               "a record text without NUL");
    char name[8];
    int length = UnlhaGetFileName(handle, name, sizeof name);
    FUZZ_CHECK(length >= 0 && strlen(name) <= static_cast<size_t>(length) && strlen(name) < sizeof name,
               "a cut name that is not NUL-terminated within its buffer");
    uint64_t size = 0;
    FUZZ_CHECK(UnlhaGetOriginalSizeEx(handle, &size) == UNLHA_OK, "no size for the current member");
    original = SaturatingSum(original, size);
  }
  FUZZ_CHECK(step == UNLHA_NO_MORE_MEMBERS || step == UNLHA_DAMAGED, "the walk ended with another result");
  FUZZ_CHECK(UnlhaFindNext(handle, &info) == step, "the end of the walk does not repeat");
  FUZZ_CHECK(found == count, "the walk and the member count disagree");
  uint64_t total = 0;
  FUZZ_CHECK(UnlhaGetArcOriginalSizeEx(handle, &total) == (step == UNLHA_DAMAGED ? UNLHA_DAMAGED : UNLHA_OK),
             "the totals answer otherwise than the walk ended");
  FUZZ_CHECK(total == original, "the totals are not the sums of the walk");
  step = UnlhaFindFirst(handle, "*a*", &info);
  for (int selected = 0; step == UNLHA_OK; step = UnlhaFindNext(handle, &info))
    FUZZ_CHECK(++selected <= found, "a pattern selected more members than there are");
  FUZZ_CHECK(UnlhaCloseArchive(handle) == UNLHA_OK, "the handle did not close");
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
  WalkThroughHandles();

  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(target)) fs::remove_all(entry.path(), ignored);
  return 0;
}
